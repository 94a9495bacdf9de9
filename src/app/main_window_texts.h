// Every text the main window and start-up show to the user, in one place.
#pragma once

#include <QString>

namespace pressory::app::texts {

inline const QString kTitle = QStringLiteral("Pressory");

// Messages.
inline const QString kAlreadyRunning = QStringLiteral("既に起動しています。");
// Under it, before the lock file's path.
inline const QString kRemoveLeftLock =
    QStringLiteral("別の Pressory が動いていないときは、次のファイルを削除してから起動してください:");
inline const QString kRecordedSuffix = QStringLiteral(" に記録しました。");
inline const QString kNotRecordedSuffix = QStringLiteral(" に記録できませんでした。");
inline const QString kResetDone = QStringLiteral("リセットしました。");
// At start, when a file the program writes cannot be written.
inline const QString kCannotWriteSuffix = QStringLiteral(" に書き込めません。");
inline const QString kCountsGoOn =
    QStringLiteral("キーは数え続けますが、このままでは履歴や設定を保存できないことがあります。");

// At the start where the files first moved to the per-user folder.
inline const QString kFilesMoved =
    QStringLiteral("プログラムのフォルダーに書き込めないため、履歴と設定のファイルは次のフォルダーに置きます:\n%1");
// The key source's notice: its button, and what is said when that failed.
inline const QString kCountEveryKey = QStringLiteral("すべてのキーを数える");
inline const QString kCountEveryKeyFailed = QStringLiteral("キーボードとマウスを読む許可を与えられませんでした。");
// Under the total in the tip of the notification icon: which source counts.
inline const QString kKeySourceInUse = QStringLiteral("キーの読み取り: %1");

inline const QString kFilesCopied = QStringLiteral("これまでの履歴と設定は、そのフォルダーへコピーしました。");

// The pause: the caption of the total and the window's title while paused.
inline const QString kPausedCaption = QStringLiteral("停止");
inline const QString kPausedTitle = QStringLiteral("Pressory (一時停止中)");

// The activity database and its export.
inline const QString kActivityExportTitle = QStringLiteral("活動データをCSVで保存");
inline const QString kActivityExportName = QStringLiteral("PressoryActivity.csv");
inline const QString kActivityExportFilter = QStringLiteral("CSV ファイル (*.csv)");
inline const QString kActivityExported = QStringLiteral("%1 に活動データを保存しました。");
inline const QString kActivityNotExported = QStringLiteral("%1 に活動データを保存できませんでした。\n%2");
inline const QString kActivityNoDatabase = QStringLiteral("活動データベースを使えないため、保存できません。");
inline const QString kActivityMovedAside =
    QStringLiteral("活動データベース %1 が壊れていたため、%2 に移して新しいデータベースを始めました。");
inline const QString kActivityNewer = QStringLiteral(
    "活動データベース %1 は新しいバージョンの Pressory のものです。この起動では活動データを記録しません。");
inline const QString kActivityUnusable =
    QStringLiteral("活動データベース %1 を開けません。この起動では活動データを記録できないことがあります。\n%2");
inline const QString kActivityNeverTitle = QStringLiteral("記録しないアプリ");
inline const QString kActivityNeverLabel = QStringLiteral(
    "キーを数えても、アプリ名を記録しないアプリ (1 行に 1 つ。X11 ではウィンドウのクラス名、Windows "
    "では実行ファイル名):");

// Mode button: "小" offers the small window (full mode), "大" the large one (compact mode).
inline const QString kSmall = QStringLiteral("小");
inline const QString kLarge = QStringLiteral("大");

// Menu bar.
inline const QString kFile = QStringLiteral("ファイル(&F)");
inline const QString kFileHistory = QStringLiteral("履歴を表示(&H)");
inline const QString kFileStatistics = QStringLiteral("統計を表示(&G)");
inline const QString kFileMaxRow = QStringLiteral("履歴表示の最大件数設定(&C)");
inline const QString kFileMaxRowCount[6] = {
    QStringLiteral("  10(&1)"), QStringLiteral("  50(&2)"), QStringLiteral(" 100(&3)"),
    QStringLiteral(" 200(&4)"), QStringLiteral(" 500(&5)"), QStringLiteral("1000(&6)"),
};
inline const QString kFileNoSaveReset = QStringLiteral("保存しないでリセット(&N)");
inline const QString kFileSaveReset = QStringLiteral("保存してリセット(&S)");
inline const QString kFileQuit = QStringLiteral("終了(&X)");
inline const QString kFilePause = QStringLiteral("一時停止(&P)");
inline const QString kFileActivityExport = QStringLiteral("活動データをCSVで保存…(&E)");
inline const QString kFileActivity = QStringLiteral("活動データの設定(&A)");
inline const QString kFileActivityPerApp = QStringLiteral("アプリごとに数える(&A)");
inline const QString kFileActivityNever = QStringLiteral("記録しないアプリ…(&R)");
inline const QString kFileActivityChord = QStringLiteral("左右のCtrlキーの同時押しで一時停止(&C)");
inline const QString kFileActivityKeepPause = QStringLiteral("一時停止を次の起動まで保つ(&K)");
inline const QString kVision = QStringLiteral("表示(&V)");
inline const QString kVisionTop = QStringLiteral("常に前面に表示(&F)");
inline const QString kVisionKeyColor = QStringLiteral("キー点滅色の設定(&B)");
inline const QString kVisionFrmColor = QStringLiteral("背景色の設定(&C)");
inline const QString kVisionPictureEnable = QStringLiteral("背景の画像を有効(&E)");
inline const QString kVisionPicture = QStringLiteral("背景に画像ファイルを設定(&D)");
inline const QString kVisionHeatMap = QStringLiteral("キーの使用頻度を色で表示(&M)");
inline const QString kSound = QStringLiteral("サウンド(&S)");
inline const QString kSoundEnable = QStringLiteral("音声を有効(&E)");
inline const QString kSoundFile = QStringLiteral("音声ファイル設定(&F)");
inline const QString kHelp = QStringLiteral("ヘルプ(&H)");
inline const QString kHelpHelp = QStringLiteral("READMEを表示(&H)");
inline const QString kHelpVersion = QStringLiteral("バージョン情報(&A)");

// The notification icon's menu; its tip puts the total below the name.
inline const QString kTrayShow = QStringLiteral("表示(&S)");
inline const QString kTrayQuit = QStringLiteral("終了(&X)");
inline const QString kTrayPaused = QStringLiteral("一時停止中");
inline const QString kTrayTotal = QStringLiteral("%1: %2");

}  // namespace pressory::app::texts

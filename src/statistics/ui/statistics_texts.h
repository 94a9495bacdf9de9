// Every text the statistics window shows, in one place.
#pragma once

#include <QString>

namespace pressory::statistics::texts {

inline const QString kCaption = QStringLiteral("統計");

// Instead of the charts when there is nothing to show.
inline const QString kNoHistory =
    QStringLiteral("まだ履歴がありません。「保存してリセット」で記録すると、ここに統計が表示されます。");
inline const QString kCannotRead = QStringLiteral("履歴ファイルを読み取れませんでした。");
// While the history file is read.
inline const QString kReadingHistory = QStringLiteral("履歴ファイルを読み込み中…");

// The keyboard's heat map and its legend.
inline const QString kHeatTitle = QStringLiteral("キーごとの押した回数（全期間）");
inline const QString kLegendLow = QStringLiteral("0");
inline const QString kCellTip = QStringLiteral("%1: %2 回");  // caption, count

// The chart.
inline const QString kChartTitle = QStringLiteral("1日ごとの合計（記録のある最後の日までの90日）");
inline const QString kBarsName = QStringLiteral("合計");
inline const QString kAverageName = QStringLiteral("7日移動平均");
inline const QString kBarTip = QStringLiteral("%1\n合計: %2");  // date, total

// Totals.
inline const QString kAllTime = QStringLiteral("総打鍵数: %1");
inline const QString kRecords = QStringLiteral("記録の件数: %1 件");
inline const QString kDays = QStringLiteral("記録した日数: %1 日（%2 〜 %3）");
inline const QString kBusiest = QStringLiteral("最も多い日: %1（%2）");
// The records left out, by reason: "読み取れない記録が 2 件、未来の日付の記録が 1 件あり、集計から除きました。"
inline const QString kSkippedUnreadable = QStringLiteral("読み取れない記録が %1 件");
inline const QString kSkippedFuture = QStringLiteral("未来の日付の記録が %1 件");
inline const QString kSkippedJoin = QStringLiteral("、");
inline const QString kSkippedEnd = QStringLiteral("あり、集計から除きました。");
inline const QString kTopTitle = QStringLiteral("よく押したキー（上位10）");
inline const QString kTopLine = QStringLiteral("%1. %2  %3 回（%4）");  // rank, caption, count, share

// Buttons and saving.
inline const QString kSavePicture = QStringLiteral("画像として保存…");
inline const QString kSaveCsv = QStringLiteral("CSVで保存…");
inline const QString kClose = QStringLiteral("閉じる");
inline const QString kSavePictureCaption = QStringLiteral("画像として保存");
inline const QString kSaveCsvCaption = QStringLiteral("CSVで保存");
inline const QString kPictureFilter = QStringLiteral("PNG 画像 (*.png)");
inline const QString kCsvFilter = QStringLiteral("CSV ファイル (*.csv)");
inline const QString kPictureName = QStringLiteral("PressoryStatistics.png");
inline const QString kCsvName = QStringLiteral("PressoryDays.csv");
inline const QString kNotSaved = QStringLiteral("%1 に保存できませんでした。");  // path; a reason may follow

}  // namespace pressory::statistics::texts

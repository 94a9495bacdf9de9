// Every text the sound settings window shows, in one place.
#pragma once

#include <QString>

namespace pressory::sound::texts {

inline const QString kCaption = QStringLiteral("音声設定");
inline const QString kHelpLabels[6] = {
    QStringLiteral("【ファイルの設定】　：　"),
    QStringLiteral("【ファイルの確認】　：　"),
    QStringLiteral("【ファイルの解除】　：　"),
    QStringLiteral("ファイルマネージャからWAVファイルをドラッグドロップ"),
    QStringLiteral("テキストボックスを左クリック"),
    QStringLiteral("テキストボックスを右クリック"),
};
inline const QString kOk = QStringLiteral("OK");
inline const QString kCancel = QStringLiteral("キャンセル");

// The file chooser a cell opens (Enter or a double-click).
inline const QString kChooseWav = QStringLiteral("WAVファイルの選択");
inline const QString kWavFilter = QStringLiteral("WAVファイル (*.wav *.WAV)");

// Messages.
inline const QString kNoFile = QStringLiteral("ファイルが設定されていません。");
inline const QString kUpdated = QStringLiteral("更新しました。");
// A path the settings file cannot hold; the path follows on the next line.
inline const QString kLineBreakInPath =
    QStringLiteral("このファイルのパスには改行が含まれているため、設定できません。");
// A failed write of the settings file; the file's path stands before it.
inline const QString kNotSavedSuffix = QStringLiteral(" に保存できませんでした。");

}  // namespace pressory::sound::texts

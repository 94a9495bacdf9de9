// Every text the history viewer shows, in one place (the progress window's
// are in widgets/progress_window_texts.h).
#pragma once

#include <QString>

namespace pressory::history::texts {

inline const QString kHistoryCaption = QStringLiteral("履歴");
inline const QString kHeaderRatios = QStringLiteral("対合計特殊キー率(%)");
inline const QString kHeaderTopFive = QStringLiteral("文字キー上位５位");
inline const QString kOk = QStringLiteral("OK");
inline const QString kNoHistoryFile = QStringLiteral("履歴ファイルがありません｡");

}  // namespace pressory::history::texts

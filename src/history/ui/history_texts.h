// Every text the history viewer shows, in one place (the progress window's
// are in widgets/progress_window_texts.h).
#pragma once

#include <QString>

namespace pressory::history::texts {

inline const QString kHistoryCaption = QStringLiteral("履歴");
inline const QString kHeaderRatios = QStringLiteral("対合計特殊キー率(%)");
inline const QString kHeaderTopFive = QStringLiteral("文字キー上位５位");
inline const QString kOk = QStringLiteral("OK");
// What screen readers call the two key columns whose caption is the same
// "\\": the ¥ key's (first in the file), then the ろ key's.
inline const QString kBackslashColumnNames[2] = {QStringLiteral("\\ (￥)"), QStringLiteral("\\ (ろ)")};
inline const QString kNoHistoryFile = QStringLiteral("履歴ファイルがありません｡");

}  // namespace pressory::history::texts

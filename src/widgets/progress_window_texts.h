// Every text the progress window shows, in one place.
#pragma once

#include <QString>

namespace pressory::widgets::texts {

inline const QString kProgressCaption = QStringLiteral("Pressory");
inline const QString kWorking = QStringLiteral("処理中です・・・");

}  // namespace pressory::widgets::texts

// The texts the appearance commands show to the user, in one place.
#pragma once

#include <QString>

namespace pressory::appearance::texts {

// A chosen picture file that cannot be shown.
inline const QString kNotAPicture = QStringLiteral("指定されたファイルは画像として読み込めません。");

// The one entry of the picture file chooser: the description as the person
// sees it, and the patterns that select the files.
inline const QString kPictureFilterDescription =
    QStringLiteral("画像ファイルを選んでね♪(*.gif,*.jpg,*.jpeg,*.png,*.bmp)");
inline const QString kPicturePatterns = QStringLiteral("*.gif *.jpg *.jpeg *.png *.bmp");

}  // namespace pressory::appearance::texts

// The program's icon: a key cap with a count, drawn at 16 x 16 and 32 x 32
// pixels in a few plain colours. The window and the notification area use it.
#pragma once

#include <QIcon>
#include <QImage>

namespace pressory::widgets {

QIcon appIcon();

// The same picture at any size, for the icon files of an installed program.
QImage appIconImage(int size);

}  // namespace pressory::widgets

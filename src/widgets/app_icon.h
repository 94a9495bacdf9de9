// The program's icon: a key cap with a count, in a few plain colours. Up to
// 32 x 32 pixels it is pixel art on a 32-unit grid; larger sizes draw the same
// picture in smooth shapes, so that it stays sharp in menus and software
// centres. The window and the notification area use it.
#pragma once

#include <QIcon>
#include <QImage>

namespace pressory::widgets {

QIcon appIcon();

// The same picture at any size, for the icon files of an installed program.
QImage appIconImage(int size);

}  // namespace pressory::widgets

// The program's icon: a key cap with a count, in a few plain colours. Up to
// 32 x 32 pixels it is pixel art on a 32-unit grid; larger sizes draw the same
// picture in smooth shapes, so that it stays sharp in menus and software
// centres.
#pragma once

#include <QIcon>
#include <QImage>

namespace pressory::widgets {

// The window's and the notification area's icon: 16 and 32 pixels.
QIcon appIcon();

// The same picture at any size, for the icon files of an installed program.
QImage appIconImage(int size);

}  // namespace pressory::widgets

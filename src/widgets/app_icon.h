// The program's icon: a key cap with a count, drawn at 16 x 16 and 32 x 32
// pixels in a few plain colours. The window and the notification area use it.
#pragma once

#include <QIcon>

namespace pressory::widgets {

QIcon appIcon();

}  // namespace pressory::widgets

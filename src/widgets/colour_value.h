// Colour values as the program stores them (0x00BBGGRR, or 0x800000nn for
// system colour nn) turned into colours of the current palette.
#pragma once

#include <QColor>
#include <QPalette>
#include <cstdint>

namespace pressory::widgets {

// A plain value gives its red, green and blue bytes; a system-colour
// reference gives the matching colour of `palette`. Unknown system indexes
// give the palette's window colour.
QColor colourOf(std::int32_t value, const QPalette& palette);

}  // namespace pressory::widgets

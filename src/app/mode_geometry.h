// The geometry rules of the main window's two modes: their frames, where the
// compact window starts, and how the other mode's outer rectangle is kept (as
// 16-bit signed pixel values). The window system frames a window only after
// it is shown, so sizes are fitted again once the frame is known.
#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>
#include <Qt>
#include <cstdint>

namespace pressory::app {

// Full mode: a fixed single frame with the minimise button and the system
// menu, no maximise button. Compact mode: a fixed dialog frame, always in
// front of other windows.
inline constexpr Qt::WindowFlags kFullFlags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                                              Qt::WindowCloseButtonHint;
inline constexpr Qt::WindowFlags kCompactFlags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                                                 Qt::WindowStaysOnTopHint;

// The compact window at start: left 10, 120 pixels above the screen's bottom
// edge, 140 x 70 pixels.
QRect compactStartRect(const QRect& screen);

// A pixel value as the other mode's rectangle keeps it.
std::int16_t toInt16(int v);

// An outer rectangle as it is kept for the other mode: each value 16-bit.
QRect keptRect(const QRect& outer);

// A kept rectangle whose size grows by the frame the window system added
// since the window was created without one.
QRect withFrame(const QRect& kept, const QMargins& framed, const QMargins& unframed);

// The frame around a window: its frame rectangle less its client rectangle.
QMargins marginsBetween(const QRect& frame, const QRect& client);

// The client size that gives the outer size with the frame `m` (at least 1 x 1).
QSize clientSizeFor(const QSize& outer, const QMargins& m);

}  // namespace pressory::app

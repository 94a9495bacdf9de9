// The geometry exchange between the main window's two modes. The window keeps
// the other mode's outer rectangle in four hidden text fields (their text is
// the store, as 16-bit signed pixel values); a switch places the window at the
// stored rectangle and stores the one it leaves. The window system frames a
// window only after it is shown, so sizes are fitted again once the frame is
// known.
#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>
#include <Qt>
#include <cstdint>

class QLineEdit;

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

// A pixel value as the fields keep it.
std::int16_t toInt16(int v);

// The four hidden fields that hold the other mode's outer rectangle.
struct GeometryFields {
    QLineEdit* sizeX = nullptr;
    QLineEdit* sizeY = nullptr;
    QLineEdit* posiX = nullptr;
    QLineEdit* posiY = nullptr;

    void store(const QRect& outer) const;
    QRect stored() const;
    // Grows the stored size by the frame the window system added since the
    // window was created without one.
    void addFrame(const QMargins& framed, const QMargins& unframed) const;
};

// The frame around a window: its frame rectangle less its client rectangle.
QMargins marginsBetween(const QRect& frame, const QRect& client);

// The client size that gives the outer size with the frame `m` (at least 1 x 1).
QSize clientSizeFor(const QSize& outer, const QMargins& m);

}  // namespace pressory::app

// Twips (1/1440 inch) of the window's design turned into pixels of the screen.
#pragma once

#include <QLine>
#include <QRect>
#include <cmath>

#include "counting/key_layout.h"

class QWidget;

namespace pressory::widgets {

class TwipScale {
public:
    // Logical dots per inch of the screen, horizontally and vertically.
    TwipScale(double dpiX, double dpiY) : dpiX_(dpiX > 0 ? dpiX : 96.0), dpiY_(dpiY > 0 ? dpiY : 96.0) {}

    int x(int twips) const { return static_cast<int>(std::lround(twips * dpiX_ / 1440.0)); }
    int y(int twips) const { return static_cast<int>(std::lround(twips * dpiY_ / 1440.0)); }

    QRect rect(const counting::TwipRect& r) const { return QRect(x(r.left), y(r.top), x(r.width), y(r.height)); }
    QLine line(const counting::TwipLine& l) const { return QLine(x(l.x1), y(l.y1), x(l.x2), y(l.y2)); }

private:
    double dpiX_;
    double dpiY_;
};

// The scale of the screen `window` is on, or of the primary screen when it is
// on none (or is null); 96 dots per inch when there is no screen at all.
TwipScale screenScale(const QWidget* window = nullptr);

}  // namespace pressory::widgets

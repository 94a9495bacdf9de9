#include "app/mode_geometry.h"

#include <algorithm>

namespace pressory::app {

namespace {
constexpr int kCompactLeft = 10;
constexpr int kCompactAboveBottom = 120;
constexpr int kCompactWidth = 140;
constexpr int kCompactHeight = 70;
}  // namespace

QRect compactStartRect(const QRect& screen) {
    return {screen.left() + kCompactLeft, screen.top() + screen.height() - kCompactAboveBottom, kCompactWidth,
            kCompactHeight};
}

std::int16_t toInt16(int v) { return static_cast<std::int16_t>(std::clamp(v, -32768, 32767)); }

QRect keptRect(const QRect& outer) {
    return {toInt16(outer.left()), toInt16(outer.top()), toInt16(outer.width()), toInt16(outer.height())};
}

QRect withFrame(const QRect& kept, const QMargins& framed, const QMargins& unframed) {
    return keptRect({kept.left(), kept.top(),
                     kept.width() + framed.left() + framed.right() - unframed.left() - unframed.right(),
                     kept.height() + framed.top() + framed.bottom() - unframed.top() - unframed.bottom()});
}

QMargins marginsBetween(const QRect& f, const QRect& g) {
    return {g.left() - f.left(), g.top() - f.top(), f.right() - g.right(), f.bottom() - g.bottom()};
}

QSize clientSizeFor(const QSize& outer, const QMargins& m) {
    return {std::max(1, outer.width() - m.left() - m.right()), std::max(1, outer.height() - m.top() - m.bottom())};
}

}  // namespace pressory::app

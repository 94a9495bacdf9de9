#include "app/mode_geometry.h"

#include <QLineEdit>
#include <algorithm>

namespace pressory::app {

namespace {
constexpr int kCompactLeft = 10;
constexpr int kCompactAboveBottom = 120;
constexpr int kCompactWidth = 140;
constexpr int kCompactHeight = 70;

QString number(int v) { return QString::number(toInt16(v)); }
int value(const QLineEdit* field) { return static_cast<int>(toInt16(field->text().toInt())); }
}  // namespace

QRect compactStartRect(const QRect& screen) {
    return {screen.left() + kCompactLeft, screen.top() + screen.height() - kCompactAboveBottom, kCompactWidth,
            kCompactHeight};
}

std::int16_t toInt16(int v) { return static_cast<std::int16_t>(std::clamp(v, -32768, 32767)); }

void GeometryFields::store(const QRect& outer) const {
    sizeX->setText(number(outer.width()));
    sizeY->setText(number(outer.height()));
    posiX->setText(number(outer.left()));
    posiY->setText(number(outer.top()));
}

QRect GeometryFields::stored() const { return {value(posiX), value(posiY), value(sizeX), value(sizeY)}; }

void GeometryFields::addFrame(const QMargins& framed, const QMargins& unframed) const {
    const QRect saved = stored();
    sizeX->setText(number(saved.width() + framed.left() + framed.right() - unframed.left() - unframed.right()));
    sizeY->setText(number(saved.height() + framed.top() + framed.bottom() - unframed.top() - unframed.bottom()));
}

QMargins marginsBetween(const QRect& f, const QRect& g) {
    return {g.left() - f.left(), g.top() - f.top(), f.right() - g.right(), f.bottom() - g.bottom()};
}

QSize clientSizeFor(const QSize& outer, const QMargins& m) {
    return {std::max(1, outer.width() - m.left() - m.right()), std::max(1, outer.height() - m.top() - m.bottom())};
}

}  // namespace pressory::app

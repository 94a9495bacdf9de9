#include "app/client_area.h"

#include <QPaintEvent>
#include <QPainter>

#include "app/colour_value.h"
#include "counting/key_layout.h"

namespace pressory::app {

ClientArea::ClientArea(QWidget* parent) : QWidget(parent), backColour_(colour::kDesignBackground) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ClientArea::setBackColour(std::int32_t value) {
    backColour_ = value;
    update();
}

void ClientArea::setPicture(const QPixmap& picture) {
    picture_ = picture;
    update();
}

void ClientArea::setLines(const QLine& line1, const QLine& line2) {
    lines_ = {line1, line2};
    update();
}

void ClientArea::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.fillRect(event->rect(), colourOf(backColour_, palette()));
    if (!picture_.isNull()) {
        // At its own size in pixels, neither stretched nor tiled.
        p.drawPixmap(QRect(QPoint(0, 0), picture_.size()), picture_);
    }
    p.setPen(QPen(colourOf(colour::kWindowText, palette()), 1));
    for (const QLine& l : lines_) p.drawLine(l);
}

}  // namespace pressory::app

#include "app/client_area.h"

#include <QPaintEvent>
#include <QPainter>

#include "counting/key_layout.h"
#include "widgets/colour_value.h"

namespace pressory::app {

using widgets::colourOf;

ClientArea::ClientArea(QWidget* parent) : QWidget(parent), backColour_(counting::colour::kDesignBackground) {
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

void ClientArea::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.fillRect(event->rect(), colourOf(backColour_, palette()));
    if (!picture_.isNull()) {
        // At its own size in pixels, neither stretched nor tiled.
        p.drawPixmap(QRect(QPoint(0, 0), picture_.size()), picture_);
    }
}

}  // namespace pressory::app

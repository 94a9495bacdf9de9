#include "app/count_cell.h"

#include <QPainter>
#include <qdrawutil.h>

#include "app/colour_value.h"
#include "counting/key_layout.h"

namespace pressory::app {

CountCell::CountCell(QWidget* parent, Qt::Alignment alignment)
    : QWidget(parent), text_(QStringLiteral("0")), colour_(colour::kWindowBackground), alignment_(alignment) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
}

void CountCell::setText(const QString& text) {
    if (text == text_) return;
    text_ = text;
    ++repaintRequests_;
    update();
}

void CountCell::setColourValue(std::int32_t value) {
    if (value == colour_) return;
    colour_ = value;
    ++repaintRequests_;
    update();
}

void CountCell::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = rect();
    const QBrush fill(colourOf(colour_, palette()));
    qDrawWinPanel(&p, r, palette(), true, &fill);
    p.setPen(palette().color(QPalette::Text));
    p.drawText(r.adjusted(3, 1, -3, -1), static_cast<int>(alignment_ | Qt::AlignVCenter), text_);
}

}  // namespace pressory::app

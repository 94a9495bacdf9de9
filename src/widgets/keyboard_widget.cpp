#include "widgets/keyboard_widget.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

#include "counting/key_layout.h"
#include "widgets/colour_value.h"
#include "widgets/count_cell.h"

namespace pressory::widgets {

KeyboardWidget::KeyboardWidget(QWidget* parent, const TwipScale& tw, int offsetTwipsY) : QWidget(parent), scale_(tw) {
    installCountCellAccessibility();
    setObjectName(QStringLiteral("keyboard"));
    auto moved = [offsetTwipsY](counting::TwipRect r) {
        r.top += offsetTwipsY;
        return r;
    };
    setGeometry(0, 0, tw.x(counting::layout::kClientWidth), tw.y(counting::layout::kClientHeight + offsetTwipsY));

    for (const counting::KeyCell& key : counting::layout::cells()) {
        const auto i = static_cast<std::size_t>(key.vk);
        auto* cell = new CountCell(this, key.counted() ? Qt::AlignRight : Qt::AlignLeft);
        cell->setObjectName(QStringLiteral("txtKey(%1)").arg(key.vk));
        cell->setGeometry(tw.rect(moved(key.cellRect())));
        cell->setVisible(key.shown);
        cell->installEventFilter(this);
        cells_[i] = cell;
        if (key.hasCaption()) {
            const QString text = QString::fromUtf8(key.caption.data(), static_cast<qsizetype>(key.caption.size()));
            auto* caption = new QLabel(text, this);
            caption->setObjectName(QStringLiteral("Label1(%1)").arg(key.vk));
            caption->setGeometry(tw.rect(moved(key.captionRect())));
            // A caption the font draws wider than its place ("Space", "Home"
            // and "Break" in a proportional font) is widened to its text, to
            // the right, where the next caption starts farther away.
            if (const int wide = caption->fontMetrics().horizontalAdvance(text) + 1; wide > caption->width())
                caption->resize(wide, caption->height());
            caption->setVisible(key.shown);
            // The caption's bottom row lies on the cell's top row, where the
            // caption draws nothing: under the cell, whose every paint would
            // otherwise lay out the caption's text again.
            caption->stackUnder(cell);
            captions_[i] = caption;
            cell->setAccessibleName(text);
        }
    }

    auto movedLine = [offsetTwipsY](counting::TwipLine l) {
        l.y1 += offsetTwipsY;
        l.y2 += offsetTwipsY;
        return l;
    };
    lines_ = {tw.line(movedLine(counting::layout::kLine1)), tw.line(movedLine(counting::layout::kLine2))};
}

CountCell* KeyboardWidget::cell(int vk) const {
    return vk >= 0 && vk <= 255 ? cells_[static_cast<std::size_t>(vk)] : nullptr;
}

QLabel* KeyboardWidget::caption(int vk) const {
    return vk >= 0 && vk <= 255 ? captions_[static_cast<std::size_t>(vk)] : nullptr;
}

void KeyboardWidget::setLines(const counting::TwipLine& horizontal, const counting::TwipLine& vertical) {
    lines_ = {scale_.line(horizontal), scale_.line(vertical)};
    update();
}

void KeyboardWidget::setKeyShown(int vk, bool shown) {
    if (CountCell* c = cell(vk)) c->setVisible(shown);
    if (QLabel* l = caption(vk)) l->setVisible(shown);
}

// The separator lines in the window-text colour, one pixel wide.
void KeyboardWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(QPen(colourOf(counting::colour::kWindowText, palette()), 1));
    for (const QLine& l : lines_) p.drawLine(l);
}

bool KeyboardWidget::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        for (const counting::KeyCell& key : counting::layout::cells()) {
            if (cells_[key.vk] == watched) {
                emit cellPressed(key.vk, static_cast<QMouseEvent*>(event)->button());
                break;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace pressory::widgets

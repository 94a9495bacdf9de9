#include "widgets/count_cell.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>
#include <qdrawutil.h>

#include "counting/key_layout.h"
#include "widgets/colour_value.h"

namespace pressory::widgets {
namespace {

// The cell as assistive technology reads it: the accessible name is its
// caption, the value and the text are what the cell shows.
class CountCellAccessible final : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit CountCellAccessible(CountCell* cell) : QAccessibleWidget(cell, QAccessible::EditableText) {}

    CountCell* cell() const { return static_cast<CountCell*>(widget()); }

    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        s.editable = false;
        s.focusable = false;
        return s;
    }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return cell()->text();
        return QAccessibleWidget::text(t);
    }

    // Read-only text: no selection, the caret at the start.
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int start, int end) const override { return cell()->text().mid(start, end - start); }
    int characterCount() const override { return static_cast<int>(cell()->text().size()); }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* start, int* end) const override {
        *start = *end = 0;
        return {};
    }
};

QAccessibleInterface* countCellFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("pressory::widgets::CountCell") && object && object->isWidgetType())
        return new CountCellAccessible(static_cast<CountCell*>(object));
    return nullptr;
}

}  // namespace

void installCountCellAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(countCellFactory);
        return true;
    }();
    (void)installed;
}

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
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent ev(this, text_);
        QAccessible::updateAccessibility(&ev);
    }
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

}  // namespace pressory::widgets

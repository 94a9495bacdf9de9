// A read-only count cell: a sunken box filled with its colour value and its
// text (a count, or a path). Painted by hand: a keyboard holds 91 of them and
// repaints a cell only when its text or colour changes. Screen readers and UI
// automation see it as a read-only text field named by its caption, whose
// value is its text.
#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>

class QPainter;

namespace pressory::widgets {

class CountCell final : public QWidget {
    Q_OBJECT
public:
    explicit CountCell(QWidget* parent, Qt::Alignment alignment);
    ~CountCell() override;

    const QString& text() const { return text_; }
    void setText(const QString& text);

    // A colour value (0x00BBGGRR or a system-colour reference).
    std::int32_t colourValue() const { return colour_; }
    void setColourValue(std::int32_t value);

    Qt::Alignment alignment() const { return alignment_; }

    // How many times a change asked for a repaint (for the windows' tests).
    int repaintRequests() const { return repaintRequests_; }

    // While a batch is open (on the GUI thread), the cells that change are
    // not left for the event loop to paint later, which would wake it once
    // more just for that: when the last open batch closes, they are painted
    // at once, in one pass and one flush per window, each once however often
    // it changed. A cell that lies outside its
    // window's area (the keyboard of the compact window) or is hidden is not
    // painted at all; it is painted whole when it shows.
    class RepaintBatch {
    public:
        RepaintBatch();
        ~RepaintBatch();
        RepaintBatch(const RepaintBatch&) = delete;
        RepaintBatch& operator=(const RepaintBatch&) = delete;
    };

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct DigitGlyphs;
    static const DigitGlyphs& digitGlyphs(const QFont& font);
    bool drawDigits(QPainter& painter, const QRect& textRect) const;
    void requestRepaint();

    QString text_;
    std::int32_t colour_;
    Qt::Alignment alignment_;
    int repaintRequests_ = 0;
    bool inBatch_ = false;
    mutable const DigitGlyphs* glyphs_ = nullptr;  // of font(); found again after a font change
};

// Makes count cells known to the accessibility layer. Called once by every
// window that shows cells; further calls do nothing.
void installCountCellAccessibility();

}  // namespace pressory::widgets

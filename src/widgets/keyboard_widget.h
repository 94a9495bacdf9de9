// The keyboard of the layout table: a cell for every code of the table at its
// twip geometry, the captions above the cells, and the two separator lines.
// It paints no background of its own, so the window's colour and picture show
// between the cells. Windows put it into their client area and give the cells
// their texts: the main window shows counts, the sound settings show paths.
#pragma once

#include <QLine>
#include <QWidget>
#include <array>
#include <cstdint>

#include "widgets/twips.h"

class QLabel;

namespace pressory::widgets {

class CountCell;

class KeyboardWidget final : public QWidget {
    Q_OBJECT
public:
    // Every element is placed `offsetTwipsY` twips below its place in the
    // table. Cells of counted keys are right-justified, the others
    // left-justified; the table says which are shown at first.
    KeyboardWidget(QWidget* parent, const TwipScale& scale, int offsetTwipsY = 0);

    // The cell and the caption of a code, or null when the table has none.
    CountCell* cell(int vk) const;
    QLabel* caption(int vk) const;

    // Shows or hides a code's cell together with its caption.
    void setKeyShown(int vk, bool shown);

    // Places the two separator lines (twips of the window's client area, not
    // moved by the offset): a window whose lines do not simply follow the
    // keyboard sets them here.
    void setLines(const counting::TwipLine& horizontal, const counting::TwipLine& vertical);

signals:
    // A mouse button went down on a cell.
    void cellPressed(int vk, Qt::MouseButton button);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::array<CountCell*, 256> cells_{};
    std::array<QLabel*, 256> captions_{};
    TwipScale scale_;
    std::array<QLine, 2> lines_{};
};

}  // namespace pressory::widgets

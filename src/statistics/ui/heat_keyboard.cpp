#include "statistics/ui/heat_keyboard.h"

#include <QFontInfo>
#include <QFontMetrics>

#include "counting/key_layout.h"
#include "statistics/heat_scale.h"
#include "statistics/statistics_rules.h"
#include "statistics/ui/statistics_texts.h"
#include "widgets/count_cell.h"
#include "widgets/keyboard_widget.h"

namespace pressory::statistics {
namespace {

QString text(const std::string& utf8) { return QString::fromStdString(utf8); }
QString text(std::string_view utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

// A smaller font for a cell whose text would not fit: a clipped count would
// show its last digits only, and read as a smaller number.
void fitText(widgets::CountCell* cell) {
    QFont f = cell->parentWidget()->font();
    const int room = cell->width() - 4;
    while (QFontMetrics(f).horizontalAdvance(cell->text()) > room && QFontInfo(f).pointSizeF() > 5.5)
        f.setPointSizeF(QFontInfo(f).pointSizeF() - 0.5);
    cell->setFont(f);
}

}  // namespace

void showHeat(widgets::KeyboardWidget& keyboard, const std::array<std::int64_t, 256>& counts,
              const std::array<bool, 256>& known, std::int64_t top) {
    for (const counting::KeyCell& key : counting::layout::cells()) {
        widgets::CountCell* cell = keyboard.cell(key.vk);
        if (!known[key.vk]) {
            cell->setText({});
            cell->setColourValue(counting::colour::kUp);
            cell->setToolTip({});
            continue;
        }
        const std::int64_t count = counts[key.vk];
        cell->setText(text(compactCount(count)));
        fitText(cell);
        cell->setColourValue(colourValueOf(heatColour(heatLevel(count, top))));
        cell->setToolTip(texts::kCellTip.arg(text(key.caption), text(groupDigits(count))));
    }
}

}  // namespace pressory::statistics

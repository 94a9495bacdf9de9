#include "app/counts_view.h"

#include <QString>
#include <algorithm>

#include "counting/key_layout.h"
#include "widgets/count_cell.h"
#include "widgets/keyboard_widget.h"

namespace pressory::app {
namespace {
QString number(std::int32_t v) { return QString::number(v); }
}  // namespace

CountsView::CountsView(widgets::KeyboardWidget& keyboard, widgets::CountCell& total, const counting::Poller& poller)
    : keyboard_(keyboard), total_(total), poller_(poller) {}

void CountsView::paintTick(std::span<const counting::CellChange> changes, bool totalChanged) {
    const bool heat = heatShown();
    bool rescaled = false;
    for (const counting::CellChange& c : changes) {
        widgets::CountCell* cell = keyboard_.cell(c.vk);
        if (c.text) {
            cell->setText(number(poller_.count(c.vk)));
            if (heat) rescaled = heat_.observe(poller_.count(c.vk)) || rescaled;
        }
        if (c.colour || (heat && c.text)) cell->setColourValue(colourShown(c.vk));
    }
    // A new largest count moves the whole scale; most cells keep their
    // colour, and a cell whose colour stays is not repainted.
    if (rescaled) repaintColours();
    if (totalChanged) total_.setText(number(poller_.total()));
}

void CountsView::paintCounts() {
    for (std::uint8_t vk : counting::layout::countedCodes()) keyboard_.cell(vk)->setText(number(poller_.count(vk)));
    total_.setText(number(poller_.total()));
    if (heatShown()) repaintColours();
}

void CountsView::setTint(bool on) {
    tint_ = on;
    repaintColours();
}

void CountsView::setCellsShown(bool shown) {
    cellsShown_ = shown;
    if (shown && tint_) repaintColours();
}

std::int32_t CountsView::colourShown(int vk) const {
    const std::int32_t colour = poller_.cellColour(vk);
    if (!heatShown() || colour != counting::colour::kUp) return colour;
    return heat_.cellColour(poller_.count(vk), colour);
}

void CountsView::repaintColours() {
    std::int32_t largest = 0;
    for (std::uint8_t vk : counting::layout::countedCodes()) largest = std::max(largest, poller_.count(vk));
    heat_.rescale(largest);
    for (std::uint8_t vk : counting::layout::countedCodes()) keyboard_.cell(vk)->setColourValue(colourShown(vk));
}

}  // namespace pressory::app

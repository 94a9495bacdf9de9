// The period's counts as the main window shows them: each counted key's cell
// with its count, in the poller's colour (the blink colour while held), and
// the total. With the heat tint switched on and the cells shown (the full
// window), a key's cell, while the key is up, takes the heat colour of its
// share of the period's presses.
#pragma once

#include <cstdint>
#include <span>

#include "counting/poller.h"
#include "statistics/heat_tint.h"

namespace pressory::widgets {
class CountCell;
class KeyboardWidget;
}  // namespace pressory::widgets

namespace pressory::app {

class CountsView {
public:
    // The widgets and the poller outlive the view.
    CountsView(widgets::KeyboardWidget& keyboard, widgets::CountCell& total, const counting::Poller& poller);

    // What a tick changed.
    void paintTick(std::span<const counting::CellChange> changes, bool totalChanged);
    // Every count and the total again (after a reset).
    void paintCounts();
    // The heat tint switched on or off: every cell's colour at once.
    void setTint(bool on);
    // Whether the cells show (the full window); shown again, the tint follows
    // the counts again.
    void setCellsShown(bool shown);

private:
    bool heatShown() const { return tint_ && cellsShown_; }
    // The colour a counted cell shows now: the poller's, or its heat colour
    // while the key is up and the tint is shown.
    std::int32_t colourShown(int vk) const;
    // Every counted cell's colour again, the heat scale from the counts.
    void repaintColours();

    widgets::KeyboardWidget& keyboard_;
    widgets::CountCell& total_;
    const counting::Poller& poller_;
    statistics::HeatTint heat_;
    bool tint_ = false;
    bool cellsShown_ = true;
};

}  // namespace pressory::app

// The colour chooser of the blink-colour and background-colour commands, and
// the rule that turns its answer into a colour value.
#pragma once

#include <QColor>
#include <QPalette>
#include <cstdint>
#include <optional>

class QWidget;

namespace pressory::appearance {

// A modal colour dialog.
class ColourChooser {
public:
    virtual ~ColourChooser() = default;
    // Shows the dialog starting at `initial` and returns when it is closed:
    // the chosen colour, or nothing when the person cancelled.
    virtual std::optional<QColor> choose(const QColor& initial, QWidget* parent) = 0;
};

// QColorDialog.
class QtColourChooser final : public ColourChooser {
public:
    std::optional<QColor> choose(const QColor& initial, QWidget* parent) override;
};

// The plain colour value 0x00BBGGRR of a colour.
std::int32_t colourValueOf(const QColor& colour);

// Runs the chooser from the colour that `current` stands for in `palette` (a
// system-colour reference shows as the palette's colour). The chosen colour
// as a plain value; on a cancel, or without a chooser, `current` itself, so
// a system-colour reference stays a reference.
std::int32_t chooseColourValue(ColourChooser* chooser, std::int32_t current, const QPalette& palette, QWidget* parent);

}  // namespace pressory::appearance

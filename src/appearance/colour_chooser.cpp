#include "appearance/colour_chooser.h"

#include <QColorDialog>

#include "widgets/colour_value.h"

namespace pressory::appearance {

std::optional<QColor> QtColourChooser::choose(const QColor& initial, QWidget* parent) {
    QColorDialog dialog(initial, parent);
    dialog.setObjectName(QStringLiteral("CommonDialog1"));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QColor chosen = dialog.selectedColor();
    if (!chosen.isValid()) return std::nullopt;
    return chosen;
}

std::int32_t colourValueOf(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    const auto v = static_cast<std::uint32_t>(rgb.red()) | (static_cast<std::uint32_t>(rgb.green()) << 8) |
                   (static_cast<std::uint32_t>(rgb.blue()) << 16);
    return static_cast<std::int32_t>(v);
}

std::int32_t chooseColourValue(ColourChooser* chooser, std::int32_t current, const QPalette& palette, QWidget* parent) {
    if (chooser == nullptr) return current;
    const std::optional<QColor> chosen = chooser->choose(widgets::colourOf(current, palette), parent);
    if (!chosen || !chosen->isValid()) return current;
    return colourValueOf(*chosen);
}

}  // namespace pressory::appearance

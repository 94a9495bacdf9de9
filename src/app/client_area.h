// The main window's client area: its background colour, the background
// picture drawn once at its own size from the top-left corner, and the two
// separator lines. The cells, captions and the mode button sit on top of it.
#pragma once

#include <QLine>
#include <QPixmap>
#include <QWidget>
#include <array>
#include <cstdint>

namespace pressory::app {

class ClientArea final : public QWidget {
public:
    explicit ClientArea(QWidget* parent);

    std::int32_t backColour() const { return backColour_; }
    void setBackColour(std::int32_t value);

    const QPixmap& picture() const { return picture_; }
    void setPicture(const QPixmap& picture);

    // Separator lines, drawn in the window-text colour, one pixel wide.
    void setLines(const QLine& line1, const QLine& line2);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::int32_t backColour_;
    QPixmap picture_;
    std::array<QLine, 2> lines_{};
};

}  // namespace pressory::app

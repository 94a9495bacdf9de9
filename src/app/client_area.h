// The main window's client area: its background colour and the background
// picture drawn once at its own size from the top-left corner. The keyboard,
// the total and the mode button sit on top of it.
#pragma once

#include <QPixmap>
#include <QWidget>
#include <cstdint>

namespace pressory::app {

class ClientArea final : public QWidget {
public:
    explicit ClientArea(QWidget* parent);

    std::int32_t backColour() const { return backColour_; }
    void setBackColour(std::int32_t value);

    const QPixmap& picture() const { return picture_; }
    void setPicture(const QPixmap& picture);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::int32_t backColour_;
    QPixmap picture_;
};

}  // namespace pressory::app

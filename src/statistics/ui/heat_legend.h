// The legend of the heat map: a bar of the colour scale from its light end
// (left) to its dark end (right), with the counts of the two ends beside it.
#pragma once

#include <QWidget>
#include <cstdint>

class QLabel;

namespace pressory::statistics {

// The bar alone: each column of pixels in the colour of its place on the scale.
class HeatLegendBar final : public QWidget {
    Q_OBJECT
public:
    explicit HeatLegendBar(QWidget* parent = nullptr);
    // The colour painted at pixel column x (0 .. width() - 1).
    QColor colourAt(int x) const;
    QSize sizeHint() const override { return {240, 14}; }

protected:
    void paintEvent(QPaintEvent* event) override;
};

class HeatLegend final : public QWidget {
    Q_OBJECT
public:
    explicit HeatLegend(QWidget* parent = nullptr);
    // The count of the dark end.
    void setMaximum(std::int64_t maximum);
    // What the scale is of (the keyboard's keys of all time when not set).
    void setTitle(const QString& title);

    HeatLegendBar* bar() const { return bar_; }
    QLabel* lowLabel() const { return low_; }
    QLabel* highLabel() const { return high_; }

private:
    HeatLegendBar* bar_;
    QLabel* title_;
    QLabel* low_;
    QLabel* high_;
};

}  // namespace pressory::statistics

#include "statistics/ui/heat_legend.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

#include "statistics/heat_scale.h"
#include "statistics/statistics_rules.h"
#include "statistics/ui/statistics_texts.h"

namespace pressory::statistics {

HeatLegendBar::HeatLegendBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("picLegendBar"));
    setFixedSize(sizeHint());
}

QColor HeatLegendBar::colourAt(int x) const {
    const double level = width() > 1 ? static_cast<double>(x) / (width() - 1) : 0.0;
    const Rgb c = heatColour(level);
    return QColor(c.r, c.g, c.b);
}

void HeatLegendBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    for (int x = 0; x < width(); ++x) {
        p.setPen(colourAt(x));
        p.drawLine(x, 0, x, height() - 1);
    }
    p.setPen(palette().color(QPalette::WindowText));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

HeatLegend::HeatLegend(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("legend"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    title_ = new QLabel(texts::kHeatTitle, this);
    title_->setObjectName(QStringLiteral("lblLegendTitle"));
    low_ = new QLabel(texts::kLegendLow, this);
    low_->setObjectName(QStringLiteral("lblLegendLow"));
    bar_ = new HeatLegendBar(this);
    high_ = new QLabel(this);
    high_->setObjectName(QStringLiteral("lblLegendHigh"));
    row->addWidget(title_);
    row->addSpacing(12);
    row->addWidget(low_);
    row->addWidget(bar_);
    row->addWidget(high_);
    row->addStretch(1);
}

void HeatLegend::setMaximum(std::int64_t maximum) { high_->setText(QString::fromStdString(groupDigits(maximum))); }

void HeatLegend::setTitle(const QString& title) { title_->setText(title); }

}  // namespace pressory::statistics

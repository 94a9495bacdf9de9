#include "statistics/ui/activity_pages.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>

#include "counting/key_layout.h"
#include "statistics/heat_scale.h"
#include "statistics/statistics_rules.h"
#include "statistics/ui/activity_table.h"
#include "statistics/ui/activity_texts.h"
#include "statistics/ui/heat_keyboard.h"
#include "statistics/ui/heat_legend.h"
#include "widgets/keyboard_widget.h"
#include "widgets/twips.h"

namespace pressory::statistics {
namespace {

// The tally's index of the application of a row of the applications table.
constexpr int kAppRole = Qt::UserRole + 3;

// The keyboard as in the history's tab: drawn higher, with its lines.
constexpr int kKeyboardOffsetTwips = -960;
constexpr int kKeyboardHeightTwips = 3780;
constexpr counting::TwipLine kHorizontalLine{120, 1650 + kKeyboardOffsetTwips, 11280, 1650 + kKeyboardOffsetTwips};
constexpr counting::TwipLine kVerticalLine{9240, 120, 9240, kKeyboardHeightTwips - 60};

constexpr int kGridCellWidth = 30;  // square cells; their counts are in tooltips and accessible texts
constexpr int kChartHeight = 220;
constexpr int kAxisLabels = 8;  // about this many day labels on the speed chart
constexpr std::size_t kAppTopKeys = 10;
constexpr int kAppsMinimumHeight = 180;

QLabel* namedLabel(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

}  // namespace

ActivityPage::ActivityPage(const char* name, QWidget* parent) : QWidget(parent) {
    setObjectName(QString::fromLatin1(name));
    column_ = new QVBoxLayout(this);
    column_->setContentsMargins(4, 4, 4, 4);  // as the history's tab
    lblSource_ = namedLabel(this, "lblActivitySource");
    lblSource_->setWordWrap(true);
    column_->addWidget(lblSource_);
}

void ActivityPage::setSource(const QString& text) { lblSource_->setText(text); }

HoursPage::HoursPage(QWidget* parent) : ActivityPage("pagHours", parent) {
    QVBoxLayout* column = this->column();
    auto* title = new QLabel(texts::kGridTitle, this);
    lblBusiest_ = namedLabel(this, "lblBusiest");
    grid_ = new QTableWidget(kWeekdays, kHoursPerDay, this);
    grid_->setObjectName(QStringLiteral("grdHours"));
    grid_->setAccessibleName(texts::kGridTitle);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setSelectionMode(QAbstractItemView::NoSelection);  // a selected cell would hide its colour
    grid_->setProperty("corner", texts::kGridCorner);
    QStringList hourLabels;
    for (int h = 0; h < kHoursPerDay; ++h) hourLabels << QString::number(h);
    grid_->setHorizontalHeaderLabels(hourLabels);
    grid_->setVerticalHeaderLabels(texts::kWeekdayRows);
    grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid_->horizontalHeader()->setDefaultSectionSize(kGridCellWidth);
    grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid_->verticalHeader()->setDefaultSectionSize(kGridCellWidth - 4);
    grid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid_->setFixedSize(
        grid_->verticalHeader()->sizeHint().width() + kHoursPerDay * kGridCellWidth + 2 * grid_->frameWidth(),
        grid_->horizontalHeader()->sizeHint().height() + kWeekdays * grid_->verticalHeader()->defaultSectionSize() +
            2 * grid_->frameWidth());
    legend_ = new HeatLegend(this);
    legend_->setTitle(texts::kGridLegend);
    column->addWidget(title);
    column->addWidget(lblBusiest_);
    column->addWidget(grid_);
    column->addWidget(legend_);
    column->addStretch(1);
}

void HoursPage::showReading(const ActivityReading& reading) {
    const ActivityTally& t = reading.current;
    const std::int64_t top = largestGridCell(t);
    legend_->setMaximum(top);
    for (int r = 0; r < kWeekdays; ++r) {
        for (int h = 0; h < kHoursPerDay; ++h) {
            const std::int64_t count = t.grid()[static_cast<std::size_t>(r)][static_cast<std::size_t>(h)];
            auto* item = new QTableWidgetItem;
            const QString words = texts::kGridCell.arg(texts::kWeekdayRows[r]).arg(h).arg(utf8(groupDigits(count)));
            item->setToolTip(words);
            item->setData(Qt::AccessibleTextRole, words);
            item->setData(kExportRole, QString::number(count));
            if (count > 0) {
                const Rgb c = heatColour(heatLevel(count, top));
                item->setBackground(QColor(c.r, c.g, c.b));
            }
            grid_->setItem(r, h, item);
        }
    }
    QStringList words;
    if (const auto hour = busiestHour(t))
        words << texts::kBusiestHour.arg(hour->index).arg(utf8(groupDigits(hour->count)));
    if (const auto day = busiestWeekday(t))
        words << texts::kBusiestWeekday.arg(texts::kWeekdayRows[day->index], utf8(groupDigits(day->count)));
    lblBusiest_->setText(words.join(QStringLiteral("　")));
}

AppsPage::AppsPage(const widgets::TwipScale& tw, QWidget* parent) : ActivityPage("pagApps", parent) {
    QVBoxLayout* column = this->column();
    auto* row = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    lblApps_ = namedLabel(this, "lblApps");
    grdApps_ =
        makeTable(this, QStringLiteral("grdApps"), {texts::kAppColumn, texts::kCountColumn, texts::kShareColumn}, true);
    grdApps_->setMinimumHeight(kAppsMinimumHeight);
    left->addWidget(lblApps_);
    left->addWidget(grdApps_);
    auto* right = new QVBoxLayout;
    lblAppKeys_ = namedLabel(this, "lblAppKeys");
    grdAppKeys_ = makeTable(this, QStringLiteral("grdAppKeys"),
                            {texts::kKeyColumn, texts::kCountColumn, texts::kShareColumn}, true);
    right->addWidget(lblAppKeys_);
    right->addWidget(grdAppKeys_);
    row->addLayout(left, 3);
    row->addLayout(right, 2);
    column->addLayout(row, 1);
    auto* keyboardHost = new QWidget(this);
    keyboardHost->setFixedSize(tw.x(counting::layout::kClientWidth), tw.y(kKeyboardHeightTwips));
    keyboard_ = new widgets::KeyboardWidget(keyboardHost, tw, kKeyboardOffsetTwips);
    keyboard_->setObjectName(QStringLiteral("kbdApp"));
    keyboard_->setLines(kHorizontalLine, kVerticalLine);
    column->addWidget(keyboardHost);
    legend_ = new HeatLegend(this);
    legend_->setTitle(texts::kAppLegend);
    column->addWidget(legend_);
    connect(grdApps_, &QTableWidget::itemSelectionChanged, this, &AppsPage::onGrdAppsItemSelectionChanged);
}

void AppsPage::showReading(const ActivityReading& reading) {
    tally_ = reading.current;
    appKeysRead_ = reading.appKeysRead;
    const std::vector<NamedShare> shares = appShares(tally_);
    lblApps_->setText(texts::kAppsTitle.arg(shares.size()));
    {
        const QSignalBlocker hold(grdApps_);
        fillTable(grdApps_, static_cast<int>(shares.size()), [&](int r) {
            const NamedShare& s = shares[static_cast<std::size_t>(r)];
            QTableWidgetItem* name = textItem(appName(s.name));
            name->setData(kAppRole, static_cast<qulonglong>(s.index));
            grdApps_->setItem(r, 0, name);
            grdApps_->setItem(r, 1, countItem(s.count));
            grdApps_->setItem(r, 2, percentItem(s.percent));
        });
    }
    if (!shares.empty()) {
        grdApps_->selectRow(0);  // shows its keys
        return;
    }
    lblAppKeys_->clear();
    grdAppKeys_->setRowCount(0);
    showHeat(*keyboard_, {}, {}, 0);
    legend_->setMaximum(0);
}

void AppsPage::showAppKeys(const ActivityReading& reading) {
    tally_ = reading.current;
    appKeysRead_ = reading.appKeysRead;
    onGrdAppsItemSelectionChanged();
}

void AppsPage::onGrdAppsItemSelectionChanged() {
    const QList<QTableWidgetItem*> selected = grdApps_->selectedItems();
    if (selected.isEmpty()) return;
    if (const QTableWidgetItem* name = grdApps_->item(selected.front()->row(), 0))
        showApp(name->data(kAppRole).toULongLong());
}

void AppsPage::showApp(std::size_t app) {
    if (app >= tally_.appNames().size()) return;
    lblAppKeys_->setText(texts::kAppKeysTitle.arg(appName(tally_.appNames()[app])) +
                         (appKeysRead_ ? QString() : texts::kAppKeysReading));
    const std::vector<NamedShare> top = keyShares(tally_, app, kAppTopKeys);
    fillTable(grdAppKeys_, static_cast<int>(top.size()), [&](int r) {
        const NamedShare& s = top[static_cast<std::size_t>(r)];
        grdAppKeys_->setItem(r, 0, textItem(utf8(s.name)));
        grdAppKeys_->setItem(r, 1, countItem(s.count));
        grdAppKeys_->setItem(r, 2, percentItem(s.percent));
    });
    const std::array<std::int64_t, 256> counts = layoutCounts(tally_, app);
    std::array<bool, 256> counted{};
    for (std::uint8_t vk : counting::layout::countedCodes()) counted[vk] = true;
    const std::int64_t most = largestKeyCount(counts);
    legend_->setMaximum(most);
    showHeat(*keyboard_, counts, counted, most);
}

SpeedPage::SpeedPage(const widgets::TwipScale& tw, QWidget* parent) : ActivityPage("pagSpeed", parent) {
    QVBoxLayout* column = this->column();
    lblSpeed_ = namedLabel(this, "lblSpeed");
    auto* chart = new QChart;
    chart->setTitle(texts::kSpeedChartTitle);
    chart->setBackgroundRoundness(0);
    chart->legend()->setAlignment(Qt::AlignTop);
    chart_ = new QChartView(chart, this);
    chart_->setObjectName(QStringLiteral("chtSpeed"));
    chart_->setRenderHint(QPainter::Antialiasing);
    chart_->setMinimumSize(tw.x(counting::layout::kClientWidth), kChartHeight);
    chart_->setAccessibleName(texts::kSpeedChartTitle);
    grdSpeed_ = makeTable(this, QStringLiteral("grdSpeed"), texts::kSpeedColumns, true, 0, Qt::AscendingOrder);
    column->addWidget(lblSpeed_);
    column->addWidget(chart_);
    column->addWidget(grdSpeed_, 1);
}

void SpeedPage::showReading(const ActivityReading& reading) {
    const ActivityTally& t = reading.current;
    const SpeedSummary speed = speedOf(t);
    QStringList lines;
    if (t.activeMinutes() > 0)
        lines << texts::kSpeedAverage.arg(utf8(formatSpeed(speed.average)), utf8(groupDigits(t.total())),
                                          utf8(groupDigits(t.activeMinutes())));
    else
        lines << texts::kSpeedNone;
    if (speed.best)
        lines << texts::kSpeedBest.arg(utf8(groupDigits(speed.best->peakCount)),
                                       utf8(formatMinute(speed.best->peakMinute)));
    lblSpeed_->setText(lines.join(QLatin1Char('\n')));

    fillTable(grdSpeed_, static_cast<int>(speed.days.size()), [&](int r) {
        const DaySpeed& d = speed.days[static_cast<std::size_t>(r)];
        const auto i = static_cast<std::size_t>(r);
        grdSpeed_->setItem(r, 0, textItem(dayText(d.day)));
        grdSpeed_->setItem(r, 1, countItem(t.dayTotals()[i]));
        grdSpeed_->setItem(r, 2, countItem(t.dayActiveMinutes()[i]));
        grdSpeed_->setItem(r, 3, speedItem(d.average));
        grdSpeed_->setItem(r, 4, countItem(d.peak));
    });
    showChart(speed);
}

void SpeedPage::showChart(const SpeedSummary& speed) {
    QChart* chart = chart_->chart();
    chart->removeAllSeries();
    for (QAbstractAxis* axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }
    auto* peaks = new QLineSeries;
    peaks->setName(texts::kPeakSeries);
    peaks->setPen(QPen(QColor(0x25, 0x34, 0x94), 2));
    auto* averages = new QLineSeries;
    averages->setName(texts::kAverageSeries);
    averages->setPen(QPen(QColor(0x41, 0xb6, 0xc4), 2));
    QList<QPointF> peakPoints;
    QList<QPointF> averagePoints;
    double highest = 0;
    QStringList described;
    for (std::size_t i = 0; i < speed.days.size(); ++i) {
        const DaySpeed& d = speed.days[i];
        peakPoints.append(QPointF(static_cast<qreal>(i), static_cast<qreal>(d.peak)));
        averagePoints.append(QPointF(static_cast<qreal>(i), d.average));
        highest = std::max({highest, static_cast<double>(d.peak), d.average});
        if (d.peak > 0)
            described << QStringLiteral("%1 %2 %3, %4 %5")
                             .arg(dayText(d.day), texts::kPeakSeries, QString::number(d.peak), texts::kAverageSeries,
                                  utf8(formatSpeed(d.average)));
    }
    // A single day is a point, not a line.
    for (QLineSeries* s : {peaks, averages}) s->setPointsVisible(speed.days.size() < 2);
    peaks->replace(peakPoints);
    averages->replace(averagePoints);
    chart->addSeries(peaks);
    chart->addSeries(averages);
    auto* dayAxis = new QCategoryAxis;
    dayAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    const int n = static_cast<int>(speed.days.size());
    dayAxis->setRange(-0.5, std::max(n, 1) - 0.5);
    const int every = std::max(1, (n + kAxisLabels - 1) / kAxisLabels);
    for (int i = (n - 1) % every; i >= 0 && i < n; i += every)
        dayAxis->append(utf8(shortDay(speed.days[static_cast<std::size_t>(i)].day)), i);
    auto* valueAxis = new QValueAxis;
    valueAxis->setRange(0, highest > 0 ? highest * 1.05 : 1);
    valueAxis->setLabelFormat(QStringLiteral("%.0f"));
    valueAxis->applyNiceNumbers();
    chart->addAxis(dayAxis, Qt::AlignBottom);
    chart->addAxis(valueAxis, Qt::AlignLeft);
    for (QLineSeries* s : {peaks, averages}) {
        s->attachAxis(dayAxis);
        s->attachAxis(valueAxis);
    }
    chart_->setAccessibleDescription(described.join(QLatin1Char('\n')));
}

KeysPage::KeysPage(QWidget* parent) : ActivityPage("pagKeys", parent) {
    QVBoxLayout* column = this->column();
    lblKeys_ = namedLabel(this, "lblKeys");
    grdKeys_ = makeTable(this, QStringLiteral("grdKeys"),
                         {texts::kKeyColumn, texts::kCountColumn, texts::kKeysShareColumn}, true);
    column->addWidget(lblKeys_);
    column->addWidget(grdKeys_, 1);
}

void KeysPage::showReading(const ActivityReading& reading) {
    const ActivityTally& t = reading.current;
    const std::vector<NamedShare> keys = outsideKeys(t);
    std::int64_t sum = 0;
    for (const NamedShare& k : keys) sum += k.count;
    const double share = t.total() > 0 ? 100.0 * static_cast<double>(sum) / static_cast<double>(t.total()) : 0.0;
    lblKeys_->setText(texts::kKeysTitle.arg(utf8(groupDigits(sum)), utf8(formatPercent(share))));
    fillTable(grdKeys_, static_cast<int>(keys.size()), [&](int r) {
        const NamedShare& k = keys[static_cast<std::size_t>(r)];
        grdKeys_->setItem(r, 0, textItem(utf8(k.name)));
        grdKeys_->setItem(r, 1, countItem(k.count));
        grdKeys_->setItem(r, 2, percentItem(k.percent));
    });
}

ComparePage::ComparePage(QWidget* parent) : ActivityPage("pagCompare", parent) {
    QVBoxLayout* column = this->column();
    lblCompare_ = namedLabel(this, "lblCompare");
    grdCompare_ = makeTable(this, QStringLiteral("grdCompare"), texts::kCompareColumns, false);
    column->addWidget(lblCompare_);
    column->addWidget(grdCompare_, 1);
}

void ComparePage::showReading(const ActivityReading& reading) {
    const bool ok = reading.status == ActivityStatus::Ok;
    if (!ok || !reading.hasPrevious) {
        lblCompare_->setText(ok ? texts::kCompareNone : QString());
        grdCompare_->setRowCount(0);
        return;
    }
    // From its first hour to where it ends, which is an hour of a day when it
    // is cut at the hour now.
    const HourRange before = reading.previous.range();
    lblCompare_->setText(
        texts::kCompareTitle.arg(texts::kPeriodSpan.arg(utf8(formatHour(before.first)), utf8(formatHour(before.end)))));
    const Comparison c = compare(reading.current, reading.previous);
    std::vector<std::pair<QString, const Change*>> rows{{texts::kCompareTotal, &c.total},
                                                        {texts::kCompareSpeed, &c.speed}};
    for (const Change& k : c.keys) rows.emplace_back(texts::kCompareKey.arg(utf8(k.name)), &k);
    fillTable(grdCompare_, static_cast<int>(rows.size()), [&](int r) {
        const auto& [name, change] = rows[static_cast<std::size_t>(r)];
        grdCompare_->setItem(r, 0, textItem(name));
        const bool speedRow = change == &c.speed;
        grdCompare_->setItem(r, 1, speedRow ? speedItem(change->current) : countItem(std::llround(change->current)));
        grdCompare_->setItem(r, 2, speedRow ? speedItem(change->previous) : countItem(std::llround(change->previous)));
        grdCompare_->setItem(r, 3, changeItem(change->percent));
    });
}

}  // namespace pressory::statistics

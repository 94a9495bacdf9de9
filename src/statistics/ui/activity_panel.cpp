#include "statistics/ui/activity_panel.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDateTime>
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
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>

#include "counting/key_layout.h"
#include "history/history_summary.h"
#include "statistics/heat_scale.h"
#include "statistics/statistics_rules.h"
#include "statistics/ui/activity_texts.h"
#include "statistics/ui/heat_keyboard.h"
#include "statistics/ui/heat_legend.h"
#include "statistics/ui/statistics_texts.h"
#include "widgets/keyboard_widget.h"
#include "widgets/twips.h"

namespace pressory::statistics {
namespace {

QString text(const std::string& utf8) { return QString::fromStdString(utf8); }

// What a cell holds for the CSV, where its text is shortened or grouped.
constexpr int kExportRole = Qt::UserRole + 1;
// What a numeric column sorts by.
constexpr int kSortRole = Qt::UserRole + 2;
// The tally's index of the application of a row of the applications table.
constexpr int kAppRole = Qt::UserRole + 3;

// The keyboard as in the history view: drawn higher, with its lines.
constexpr int kKeyboardOffsetTwips = -960;
constexpr int kKeyboardHeightTwips = 3780;
constexpr counting::TwipLine kHorizontalLine{120, 1650 + kKeyboardOffsetTwips, 11280, 1650 + kKeyboardOffsetTwips};
constexpr counting::TwipLine kVerticalLine{9240, 120, 9240, kKeyboardHeightTwips - 60};

constexpr int kGridCellWidth = 30;  // square cells; their counts are in tooltips and accessible texts
constexpr int kChartHeight = 220;
constexpr int kAxisLabels = 8;  // about this many day labels on the speed chart
constexpr std::size_t kAppTopKeys = 10;

// A cell that sorts by its number, not by its text.
class NumberItem final : public QTableWidgetItem {
public:
    NumberItem(const QString& shown, double value, const QString& exported) : QTableWidgetItem(shown) {
        setData(kSortRole, value);
        setData(kExportRole, exported);
        setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    bool operator<(const QTableWidgetItem& other) const override {
        return data(kSortRole).toDouble() < other.data(kSortRole).toDouble();
    }
};

QTableWidgetItem* countItem(std::int64_t count) {
    return new NumberItem(text(groupDigits(count)), static_cast<double>(count), QString::number(count));
}

QTableWidgetItem* percentItem(double percent) {
    const QString shown = text(formatPercent(percent));
    return new NumberItem(shown, percent, shown);
}

QTableWidgetItem* speedItem(double perMinute) {
    const QString shown = text(formatSpeed(perMinute));
    return new NumberItem(shown, perMinute, shown);
}

QTableWidgetItem* textItem(const QString& s) { return new QTableWidgetItem(s); }

QString appName(const std::string& name) { return name.empty() ? texts::kUnknownApp : text(name); }

// A sortable table starts sorted by `sortColumn` in `order`.
QTableWidget* makeTable(QWidget* parent, const QString& name, const QStringList& headers, bool sortable,
                        int sortColumn = 1, Qt::SortOrder order = Qt::DescendingOrder) {
    auto* t = new QTableWidget(0, static_cast<int>(headers.size()), parent);
    t->setObjectName(name);
    t->setHorizontalHeaderLabels(headers);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->verticalHeader()->hide();
    t->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    t->horizontalHeader()->setStretchLastSection(true);
    t->horizontalHeader()->setSortIndicator(sortColumn, order);
    t->setSortingEnabled(sortable);
    return t;
}

// Fills a table row by row with sorting held off (it would move rows while
// they are filled).
template <typename Fill>
void fillTable(QTableWidget* t, int rows, Fill fill) {
    const bool sortable = t->isSortingEnabled();
    t->setSortingEnabled(false);
    t->clearContents();
    t->setRowCount(rows);
    for (int r = 0; r < rows; ++r) fill(r);
    t->setSortingEnabled(sortable);
}

QString dayText(int day) { return text(history::formatDay(day)); }

QString spanText(HourRange range) {
    return texts::kPeriodSpan.arg(dayText(dayOfHour(range.first)), dayText(dayOfHour(range.end - 1)));
}

std::int64_t systemHour() {
    const QDateTime now = QDateTime::currentDateTime();
    return localHourOf(now.toSecsSinceEpoch(), now.offsetFromUtc());
}

int dayOfDate(const QDate& d) { return history::dayNumber({d.year(), d.month(), d.day()}); }

QDate dateOfDay(int day) {
    const history::Date d = history::dateOfDay(day);
    return QDate(d.year, d.month, d.day);
}

}  // namespace

ActivityPanel::ActivityPanel(const widgets::TwipScale& tw, QWidget* parent) : QWidget(parent), nowHour_(systemHour) {
    setObjectName(QStringLiteral("pnlActivity"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    auto* bar = new QHBoxLayout;
    auto* periodLabel = new QLabel(texts::kPeriod, this);
    cboPeriod_ = new QComboBox(this);
    cboPeriod_->setObjectName(QStringLiteral("cboPeriod"));
    cboPeriod_->addItems(texts::kPeriods);
    periodLabel->setBuddy(cboPeriod_);
    const QDate today = dateOfDay(dayOfHour(nowHour_()));
    dtpFrom_ = new QDateEdit(today.addDays(-6), this);
    dtpFrom_->setObjectName(QStringLiteral("dtpFrom"));
    dtpTo_ = new QDateEdit(today, this);
    dtpTo_->setObjectName(QStringLiteral("dtpTo"));
    for (QDateEdit* d : {dtpFrom_, dtpTo_}) {
        d->setDisplayFormat(texts::kDateFormat);
        d->setCalendarPopup(true);
        d->setDateRange(QDate(2000, 1, 1), today);
        d->setEnabled(false);
    }
    auto* to = new QLabel(texts::kRangeTo, this);
    bar->addWidget(periodLabel);
    bar->addWidget(cboPeriod_);
    bar->addWidget(dtpFrom_);
    bar->addWidget(to);
    bar->addWidget(dtpTo_);
    bar->addStretch(1);
    column->addLayout(bar);
    lblSource_ = new QLabel(this);
    lblSource_->setObjectName(QStringLiteral("lblActivitySource"));
    lblSource_->setWordWrap(true);
    column->addWidget(lblSource_);

    // Hour by weekday.
    auto* hours = new QWidget;
    hours->setObjectName(QStringLiteral("pagHours"));
    auto* hoursColumn = new QVBoxLayout(hours);
    hoursColumn->setContentsMargins(4, 4, 4, 4);  // as the history's page
    auto* gridTitle = new QLabel(texts::kGridTitle, hours);
    lblBusiest_ = new QLabel(hours);
    lblBusiest_->setObjectName(QStringLiteral("lblBusiest"));
    auto* grid = new QTableWidget(kWeekdays, kHoursPerDay, hours);
    grid->setObjectName(QStringLiteral("grdHours"));
    grid->setAccessibleName(texts::kGridTitle);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionMode(QAbstractItemView::NoSelection);  // a selected cell would hide its colour
    grid->setProperty("corner", texts::kGridCorner);
    QStringList hourLabels;
    for (int h = 0; h < kHoursPerDay; ++h) hourLabels << QString::number(h);
    grid->setHorizontalHeaderLabels(hourLabels);
    grid->setVerticalHeaderLabels(texts::kWeekdayRows);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->horizontalHeader()->setDefaultSectionSize(kGridCellWidth);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(kGridCellWidth - 4);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setFixedSize(
        grid->verticalHeader()->sizeHint().width() + kHoursPerDay * kGridCellWidth + 2 * grid->frameWidth(),
        grid->horizontalHeader()->sizeHint().height() + kWeekdays * grid->verticalHeader()->defaultSectionSize() +
            2 * grid->frameWidth());
    gridLegend_ = new HeatLegend(hours);
    gridLegend_->setTitle(texts::kGridLegend);
    hoursColumn->addWidget(gridTitle);
    hoursColumn->addWidget(lblBusiest_);
    hoursColumn->addWidget(grid);
    hoursColumn->addWidget(gridLegend_);
    hoursColumn->addStretch(1);
    pages_[Hours] = hours;
    tables_[Hours] = grid;

    // Applications.
    auto* apps = new QWidget;
    apps->setObjectName(QStringLiteral("pagApps"));
    auto* appsColumn = new QVBoxLayout(apps);
    appsColumn->setContentsMargins(4, 4, 4, 4);  // as the history's page
    auto* appsRow = new QHBoxLayout;
    auto* appsLeft = new QVBoxLayout;
    lblApps_ = new QLabel(apps);
    lblApps_->setObjectName(QStringLiteral("lblApps"));
    tables_[Apps] =
        makeTable(apps, QStringLiteral("grdApps"), {texts::kAppColumn, texts::kCountColumn, texts::kShareColumn}, true);
    appsLeft->addWidget(lblApps_);
    appsLeft->addWidget(tables_[Apps]);
    auto* appsRight = new QVBoxLayout;
    lblAppKeys_ = new QLabel(apps);
    lblAppKeys_->setObjectName(QStringLiteral("lblAppKeys"));
    grdAppKeys_ = makeTable(apps, QStringLiteral("grdAppKeys"),
                            {texts::kKeyColumn, texts::kCountColumn, texts::kShareColumn}, true);
    appsRight->addWidget(lblAppKeys_);
    appsRight->addWidget(grdAppKeys_);
    appsRow->addLayout(appsLeft, 3);
    appsRow->addLayout(appsRight, 2);
    appsColumn->addLayout(appsRow, 1);
    auto* keyboardHost = new QWidget(apps);
    keyboardHost->setFixedSize(tw.x(counting::layout::kClientWidth), tw.y(kKeyboardHeightTwips));
    keyboard_ = new widgets::KeyboardWidget(keyboardHost, tw, kKeyboardOffsetTwips);
    keyboard_->setObjectName(QStringLiteral("kbdApp"));
    keyboard_->setLines(kHorizontalLine, kVerticalLine);
    appsColumn->addWidget(keyboardHost);
    keyLegend_ = new HeatLegend(apps);
    keyLegend_->setTitle(texts::kAppLegend);
    appsColumn->addWidget(keyLegend_);
    tables_[Apps]->setMinimumHeight(180);
    pages_[Apps] = apps;
    connect(tables_[Apps], &QTableWidget::itemSelectionChanged, this, &ActivityPanel::onGrdAppsItemSelectionChanged);

    // Speed.
    auto* speed = new QWidget;
    speed->setObjectName(QStringLiteral("pagSpeed"));
    auto* speedColumn = new QVBoxLayout(speed);
    speedColumn->setContentsMargins(4, 4, 4, 4);  // as the history's page
    lblSpeed_ = new QLabel(speed);
    lblSpeed_->setObjectName(QStringLiteral("lblSpeed"));
    auto* chart = new QChart;
    chart->setTitle(texts::kSpeedChartTitle);
    chart->setBackgroundRoundness(0);
    chart->legend()->setAlignment(Qt::AlignTop);
    speedChart_ = new QChartView(chart, speed);
    speedChart_->setObjectName(QStringLiteral("chtSpeed"));
    speedChart_->setRenderHint(QPainter::Antialiasing);
    speedChart_->setMinimumSize(tw.x(counting::layout::kClientWidth), kChartHeight);
    speedChart_->setAccessibleName(texts::kSpeedChartTitle);
    tables_[Speed] = makeTable(speed, QStringLiteral("grdSpeed"), texts::kSpeedColumns, true, 0, Qt::AscendingOrder);
    speedColumn->addWidget(lblSpeed_);
    speedColumn->addWidget(speedChart_);
    speedColumn->addWidget(tables_[Speed], 1);
    pages_[Speed] = speed;

    // Every key.
    auto* keys = new QWidget;
    keys->setObjectName(QStringLiteral("pagKeys"));
    auto* keysColumn = new QVBoxLayout(keys);
    keysColumn->setContentsMargins(4, 4, 4, 4);  // as the history's page
    lblKeys_ = new QLabel(keys);
    lblKeys_->setObjectName(QStringLiteral("lblKeys"));
    tables_[Keys] = makeTable(keys, QStringLiteral("grdKeys"),
                              {texts::kKeyColumn, texts::kCountColumn, texts::kKeysShareColumn}, true);
    keysColumn->addWidget(lblKeys_);
    keysColumn->addWidget(tables_[Keys], 1);
    pages_[Keys] = keys;

    // Compare.
    auto* comparePage = new QWidget;
    comparePage->setObjectName(QStringLiteral("pagCompare"));
    auto* compareColumn = new QVBoxLayout(comparePage);
    compareColumn->setContentsMargins(4, 4, 4, 4);  // as the history's page
    lblCompare_ = new QLabel(comparePage);
    lblCompare_->setObjectName(QStringLiteral("lblCompare"));
    tables_[Compare] = makeTable(comparePage, QStringLiteral("grdCompare"), texts::kCompareColumns, false);
    compareColumn->addWidget(lblCompare_);
    compareColumn->addWidget(tables_[Compare], 1);
    pages_[Compare] = comparePage;

    connect(cboPeriod_, &QComboBox::currentIndexChanged, this, &ActivityPanel::onCboPeriodCurrentIndexChanged);
    connect(dtpFrom_, &QDateEdit::dateChanged, this, &ActivityPanel::onDtpRangeDateChanged);
    connect(dtpTo_, &QDateEdit::dateChanged, this, &ActivityPanel::onDtpRangeDateChanged);
    connect(&watcher_, &QFutureWatcher<ActivityReading>::finished, this, &ActivityPanel::onReadingFinished);
    clearViews();
}

void ActivityPanel::setClock(std::function<std::int64_t()> nowHour) {
    nowHour_ = std::move(nowHour);
    const QDate today = dateOfDay(dayOfHour(nowHour_()));
    for (QDateEdit* d : {dtpFrom_, dtpTo_}) d->setMaximumDate(today);
}

void ActivityPanel::setDatabase(const std::string& path) {
    path_ = path;
    startReading();
}

void ActivityPanel::setPeriod(PeriodKind kind) { cboPeriod_->setCurrentIndex(static_cast<int>(kind)); }

void ActivityPanel::setRange(const QDate& first, const QDate& last) {
    const QSignalBlocker holdFrom(dtpFrom_);
    const QSignalBlocker holdTo(dtpTo_);
    dtpFrom_->setDate(first);
    dtpTo_->setDate(last);
    onDtpRangeDateChanged();
}

void ActivityPanel::onCboPeriodCurrentIndexChanged(int index) {
    const bool range = index == static_cast<int>(PeriodKind::Range);
    dtpFrom_->setEnabled(range);
    dtpTo_->setEnabled(range);
    startReading();
}

void ActivityPanel::onDtpRangeDateChanged() {
    if (cboPeriod_->currentIndex() == static_cast<int>(PeriodKind::Range)) startReading();
}

void ActivityPanel::startReading() {
    if (path_.empty()) return;
    PeriodRequest request;
    request.kind = static_cast<PeriodKind>(std::max(0, cboPeriod_->currentIndex()));
    request.nowHour = nowHour_();
    request.firstDay = dayOfDate(dtpFrom_->date());
    request.lastDay = dayOfDate(dtpTo_->date());
    lblSource_->setText(texts::kActivityReading);
    // A reading still running for an earlier period is not waited for: its
    // result is dropped when it ends.
    watcher_.setFuture(QtConcurrent::run(readActivity, path_, request));
}

void ActivityPanel::onReadingFinished() {
    shown_ = watcher_.result();
    switch (shown_.status) {
    case ActivityStatus::Missing: showStatus(texts::kNoActivity); break;
    case ActivityStatus::Unreadable:
        showStatus(texts::kActivityUnreadable + QLatin1Char('\n') + text(shown_.error));
        break;
    case ActivityStatus::Newer: showStatus(texts::kActivityNewer); break;
    case ActivityStatus::Ok: {
        const QString period = texts::kPeriods.value(cboPeriod_->currentIndex());
        QString source = texts::kActivitySource.arg(period + QStringLiteral("（") + spanText(shown_.current.range()) +
                                                    QStringLiteral("）"));
        if (shown_.current.total() == 0) source += QLatin1Char('\n') + texts::kNoPresses;
        lblSource_->setText(source);
        showHours();
        showApps();
        showSpeed();
        showKeys();
        showCompare();
        break;
    }
    }
    emit readingShown();
}

void ActivityPanel::showStatus(const QString& message) {
    lblSource_->setText(message);
    shown_.current = {};
    shown_.previous = {};
    clearViews();
}

void ActivityPanel::clearViews() {
    showHours();
    showApps();
    showSpeed();
    showKeys();
    showCompare();
}

void ActivityPanel::showHours() {
    const ActivityTally& t = shown_.current;
    const std::int64_t top = largestGridCell(t);
    gridLegend_->setMaximum(top);
    QTableWidget* grid = tables_[Hours];
    for (int r = 0; r < kWeekdays; ++r) {
        for (int h = 0; h < kHoursPerDay; ++h) {
            const std::int64_t count = t.grid()[static_cast<std::size_t>(r)][static_cast<std::size_t>(h)];
            auto* item = new QTableWidgetItem;
            const QString words = texts::kGridCell.arg(texts::kWeekdayRows[r]).arg(h).arg(text(groupDigits(count)));
            item->setToolTip(words);
            item->setData(Qt::AccessibleTextRole, words);
            item->setData(kExportRole, QString::number(count));
            if (count > 0) {
                const Rgb c = heatColour(heatLevel(count, top));
                item->setBackground(QColor(c.r, c.g, c.b));
            }
            grid->setItem(r, h, item);
        }
    }
    QStringList words;
    if (const auto hour = busiestHour(t))
        words << texts::kBusiestHour.arg(hour->index).arg(text(groupDigits(hour->count)));
    if (const auto day = busiestWeekday(t))
        words << texts::kBusiestWeekday.arg(texts::kWeekdayRows[day->index], text(groupDigits(day->count)));
    lblBusiest_->setText(words.join(QStringLiteral("　")));
}

void ActivityPanel::showApps() {
    const std::vector<NamedShare> shares = appShares(shown_.current);
    lblApps_->setText(texts::kAppsTitle.arg(shares.size()));
    QTableWidget* t = tables_[Apps];
    {
        const QSignalBlocker hold(t);
        fillTable(t, static_cast<int>(shares.size()), [&](int r) {
            const NamedShare& s = shares[static_cast<std::size_t>(r)];
            QTableWidgetItem* name = textItem(appName(s.name));
            name->setData(kAppRole, static_cast<qulonglong>(s.index));
            t->setItem(r, 0, name);
            t->setItem(r, 1, countItem(s.count));
            t->setItem(r, 2, percentItem(s.percent));
        });
    }
    if (shares.empty()) {
        lblAppKeys_->clear();
        grdAppKeys_->setRowCount(0);
        std::array<bool, 256> none{};
        showHeat(*keyboard_, {}, none, 0);
        keyLegend_->setMaximum(0);
        return;
    }
    t->selectRow(0);  // shows its keys
}

void ActivityPanel::onGrdAppsItemSelectionChanged() {
    const QList<QTableWidgetItem*> selected = tables_[Apps]->selectedItems();
    if (selected.isEmpty()) return;
    const QTableWidgetItem* name = tables_[Apps]->item(selected.front()->row(), 0);
    if (name) showAppKeys(name->data(kAppRole).toULongLong());
}

void ActivityPanel::showAppKeys(std::size_t app) {
    const ActivityTally& t = shown_.current;
    if (app >= t.appNames().size()) return;
    lblAppKeys_->setText(texts::kAppKeysTitle.arg(appName(t.appNames()[app])));
    const std::vector<NamedShare> top = keyShares(t, app, kAppTopKeys);
    fillTable(grdAppKeys_, static_cast<int>(top.size()), [&](int r) {
        const NamedShare& s = top[static_cast<std::size_t>(r)];
        grdAppKeys_->setItem(r, 0, textItem(text(s.name)));
        grdAppKeys_->setItem(r, 1, countItem(s.count));
        grdAppKeys_->setItem(r, 2, percentItem(s.percent));
    });
    const std::array<std::int64_t, 256> counts = layoutCounts(t, app);
    std::array<bool, 256> known{};
    for (std::uint8_t vk : counting::layout::countedCodes()) known[vk] = true;
    const std::int64_t most = largestKeyCount(counts);
    keyLegend_->setMaximum(most);
    showHeat(*keyboard_, counts, known, most);
}

void ActivityPanel::showSpeed() {
    const SpeedSummary speed = speedOf(shown_.current);
    QStringList lines;
    if (shown_.current.activeMinutes() > 0) {
        lines << texts::kSpeedAverage.arg(text(formatSpeed(speed.average)), text(groupDigits(shown_.current.total())),
                                          text(groupDigits(shown_.current.activeMinutes())));
    } else {
        lines << texts::kSpeedNone;
    }
    if (speed.best)
        lines << texts::kSpeedBest.arg(text(groupDigits(speed.best->peakCount)),
                                       text(formatMinute(speed.best->peakMinute)));
    lblSpeed_->setText(lines.join(QLatin1Char('\n')));

    QTableWidget* t = tables_[Speed];
    fillTable(t, static_cast<int>(speed.days.size()), [&](int r) {
        const DaySpeed& d = speed.days[static_cast<std::size_t>(r)];
        const auto i = static_cast<std::size_t>(r);
        t->setItem(r, 0, textItem(dayText(d.day)));
        t->setItem(r, 1, countItem(shown_.current.dayTotals()[i]));
        t->setItem(r, 2, countItem(shown_.current.dayActiveMinutes()[i]));
        t->setItem(r, 3, speedItem(d.average));
        t->setItem(r, 4, countItem(d.peak));
    });

    QChart* chart = speedChart_->chart();
    chart->removeAllSeries();
    for (QAbstractAxis* axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }
    auto* peaks = new QLineSeries;
    peaks->setName(texts::kPeakSeries);
    peaks->setPen(QPen(QColor(0x25, 0x34, 0x94), 2));
    peaks->setPointsVisible(speed.days.size() < 2);
    auto* averages = new QLineSeries;
    averages->setName(texts::kAverageSeries);
    averages->setPen(QPen(QColor(0x41, 0xb6, 0xc4), 2));
    averages->setPointsVisible(speed.days.size() < 2);
    double highest = 0;
    QStringList described;
    for (std::size_t i = 0; i < speed.days.size(); ++i) {
        const DaySpeed& d = speed.days[i];
        peaks->append(static_cast<qreal>(i), static_cast<qreal>(d.peak));
        averages->append(static_cast<qreal>(i), d.average);
        highest = std::max({highest, static_cast<double>(d.peak), d.average});
        if (d.peak > 0)
            described << QStringLiteral("%1 %2 %3, %4 %5")
                             .arg(dayText(d.day), texts::kPeakSeries, QString::number(d.peak), texts::kAverageSeries,
                                  text(formatSpeed(d.average)));
    }
    chart->addSeries(peaks);
    chart->addSeries(averages);
    auto* dayAxis = new QCategoryAxis;
    dayAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    const int n = static_cast<int>(speed.days.size());
    dayAxis->setRange(-0.5, std::max(n, 1) - 0.5);
    const int every = std::max(1, (n + kAxisLabels - 1) / kAxisLabels);
    for (int i = (n - 1) % every; i >= 0 && i < n; i += every)
        dayAxis->append(text(shortDay(speed.days[static_cast<std::size_t>(i)].day)), i);
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
    speedChart_->setAccessibleDescription(described.join(QLatin1Char('\n')));
}

void ActivityPanel::showKeys() {
    const std::vector<NamedShare> keys = outsideKeys(shown_.current);
    std::int64_t sum = 0;
    for (const NamedShare& k : keys) sum += k.count;
    const double share = shown_.current.total() > 0
                             ? 100.0 * static_cast<double>(sum) / static_cast<double>(shown_.current.total())
                             : 0.0;
    lblKeys_->setText(texts::kKeysTitle.arg(text(groupDigits(sum)), text(formatPercent(share))));
    QTableWidget* t = tables_[Keys];
    fillTable(t, static_cast<int>(keys.size()), [&](int r) {
        const NamedShare& k = keys[static_cast<std::size_t>(r)];
        t->setItem(r, 0, textItem(text(k.name)));
        t->setItem(r, 1, countItem(k.count));
        t->setItem(r, 2, percentItem(k.percent));
    });
}

void ActivityPanel::showCompare() {
    QTableWidget* t = tables_[Compare];
    if (!shown_.hasPrevious || shown_.status != ActivityStatus::Ok) {
        lblCompare_->setText(shown_.status == ActivityStatus::Ok ? texts::kCompareNone : QString());
        t->setRowCount(0);
        return;
    }
    lblCompare_->setText(texts::kCompareTitle.arg(spanText(shown_.previous.range())));
    const Comparison c = compare(shown_.current, shown_.previous);
    std::vector<std::pair<QString, const Change*>> rows{{texts::kCompareTotal, &c.total},
                                                        {texts::kCompareSpeed, &c.speed}};
    for (const Change& k : c.keys) rows.emplace_back(texts::kCompareKey.arg(text(k.name)), &k);
    fillTable(t, static_cast<int>(rows.size()), [&](int r) {
        const Change& ch = *rows[static_cast<std::size_t>(r)].second;
        t->setItem(r, 0, textItem(rows[static_cast<std::size_t>(r)].first));
        if (r == 1) {
            t->setItem(r, 1, speedItem(ch.current));
            t->setItem(r, 2, speedItem(ch.previous));
        } else {
            t->setItem(r, 1, countItem(static_cast<std::int64_t>(ch.current)));
            t->setItem(r, 2, countItem(static_cast<std::int64_t>(ch.previous)));
        }
        const QString change = ch.percent ? text(formatChange(*ch.percent)) : texts::kNoChange;
        t->setItem(r, 3, new NumberItem(change, ch.percent.value_or(0), change));
    });
}

std::vector<std::vector<std::string>> ActivityPanel::rowsOf(const QTableWidget& table) {
    const QString corner = table.property("corner").toString();
    const bool rowHeads = !corner.isEmpty();
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> header;
    if (rowHeads) header.push_back(corner.toStdString());
    for (int c = 0; c < table.columnCount(); ++c) {
        const QTableWidgetItem* h = table.horizontalHeaderItem(c);
        header.push_back(h ? h->text().toStdString() : std::string());
    }
    rows.push_back(std::move(header));
    for (int r = 0; r < table.rowCount(); ++r) {
        std::vector<std::string> row;
        if (rowHeads) {
            const QTableWidgetItem* h = table.verticalHeaderItem(r);
            row.push_back(h ? h->text().toStdString() : std::string());
        }
        for (int c = 0; c < table.columnCount(); ++c) {
            const QTableWidgetItem* item = table.item(r, c);
            if (!item) {
                row.emplace_back();
                continue;
            }
            const QVariant exported = item->data(kExportRole);
            row.push_back((exported.isValid() ? exported.toString() : item->text()).toStdString());
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace pressory::statistics

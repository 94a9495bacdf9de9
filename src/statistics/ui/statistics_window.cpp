#include "statistics/ui/statistics_window.h"

#include <QCursor>
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>
#include <QtCharts/QBarCategoryAxis>
#include <QtCharts/QBarSeries>
#include <QtCharts/QBarSet>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <utility>

#include "counting/key_layout.h"
#include "platform/text_codec.h"
#include "statistics/heat_scale.h"
#include "statistics/reader/activity_reader.h"
#include "statistics/ui/activity_pages.h"
#include "statistics/ui/activity_panel.h"
#include "statistics/ui/activity_table.h"
#include "statistics/ui/activity_texts.h"
#include "statistics/ui/heat_keyboard.h"
#include "statistics/ui/heat_legend.h"
#include "statistics/ui/statistics_texts.h"
#include "widgets/count_cell.h"
#include "widgets/keyboard_widget.h"
#include "widgets/message_boxes.h"
#include "widgets/twips.h"

namespace pressory::statistics {
namespace {

QString text(const std::string& utf8) { return QString::fromStdString(utf8); }
QString text(std::string_view utf8) { return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())); }

// The keyboard is drawn this far higher than in the main window, so that its
// first captions stand near the top; the lines move with it.
constexpr int kKeyboardOffsetTwips = -960;
constexpr int kKeyboardHeightTwips = 3780;
constexpr counting::TwipLine kHorizontalLine{120, 1650 + kKeyboardOffsetTwips, 11280, 1650 + kKeyboardOffsetTwips};
constexpr counting::TwipLine kVerticalLine{9240, 120, 9240, kKeyboardHeightTwips - 60};

constexpr int kChartHeight = 250;
constexpr int kAxisLabelEvery = 7;         // days between the day axis's labels, counted back from the last
constexpr int kBarTipMs = 10 * 60 * 1000;  // a bar's tooltip stays while the mouse rests on it

// The scroll area asks for the whole of its page, so that the window opens as
// large as its content (no larger than the screen) and scrolls when smaller.
class PageScrollArea final : public QScrollArea {
public:
    using QScrollArea::QScrollArea;
    QSize sizeHint() const override {
        const int f = 2 * frameWidth();
        return widget() ? widget()->sizeHint() + QSize(f, f) : QScrollArea::sizeHint();
    }
};

QString existingOrHome(QStandardPaths::StandardLocation location) {
    const QString folder = QStandardPaths::writableLocation(location);
    return !folder.isEmpty() && QDir(folder).exists() ? folder : QDir::homePath();
}

QColor qColour(Rgb c) { return QColor(c.r, c.g, c.b); }

// The records left out of the figures, by reason, in one line; empty when none.
QString skippedLine(const history::HistorySummary& summary) {
    QStringList reasons;
    if (summary.skipped > 0) reasons << texts::kSkippedUnreadable.arg(text(groupDigits(summary.skipped)));
    if (summary.future > 0) reasons << texts::kSkippedFuture.arg(text(groupDigits(summary.future)));
    return reasons.isEmpty() ? QString() : reasons.join(texts::kSkippedJoin) + texts::kSkippedEnd;
}

}  // namespace

StatisticsWindow::StatisticsWindow(widgets::MessageBoxes& boxes, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                         Qt::WindowMaximizeButtonHint),
      boxes_(boxes) {
    setObjectName(QStringLiteral("frmStatistics"));
    setWindowTitle(texts::kCaption);
    const widgets::TwipScale tw = widgets::screenScale(owner);

    auto* layout = new QVBoxLayout(this);
    activity_ = new ActivityPanel(tw, this);
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("tabViews"));
    layout->addWidget(tabs_, 1);
    auto* historyTab = new QWidget;
    auto* historyColumn = new QVBoxLayout(historyTab);
    historyColumn->setContentsMargins(4, 4, 4, 4);  // the tab's frame is margin enough
    lblHistorySource_ = new QLabel(texts::kHistorySource, historyTab);
    lblHistorySource_->setObjectName(QStringLiteral("lblHistorySource"));
    lblHistorySource_->setWordWrap(true);
    historyColumn->addWidget(lblHistorySource_);
    scroll_ = new PageScrollArea(historyTab);
    scroll_->setObjectName(QStringLiteral("scrContent"));
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    auto* page = new QWidget;
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    historyColumn->addWidget(scroll_, 1);
    tabs_->addTab(historyTab, texts::kTabHistory);
    const QStringList names{texts::kTabHours, texts::kTabApps, texts::kTabSpeed, texts::kTabKeys, texts::kTabCompare};
    for (int p = 0; p < ActivityPanel::PageCount; ++p) {
        auto* pageScroll = new PageScrollArea;
        pageScroll->setFrameShape(QFrame::NoFrame);
        pageScroll->setWidgetResizable(true);
        pageScroll->setWidget(activity_->page(static_cast<ActivityPanel::Page>(p)));
        tabs_->addTab(pageScroll, names[p]);
    }
    connect(tabs_, &QTabWidget::currentChanged, this, &StatisticsWindow::onTabsCurrentChanged);
    connect(activity_, &ActivityPanel::readingShown, this, &StatisticsWindow::updateButtons);

    lblMessage_ = new QLabel(page);
    lblMessage_->setObjectName(QStringLiteral("lblMessage"));
    lblMessage_->setWordWrap(true);
    lblMessage_->setMinimumWidth(tw.x(7200));
    lblMessage_->hide();
    pageLayout->addWidget(lblMessage_);

    content_ = new QWidget(page);
    content_->setObjectName(QStringLiteral("content"));
    auto* column = new QVBoxLayout(content_);
    column->setContentsMargins(0, 0, 0, 0);
    pageLayout->addWidget(content_);
    pageLayout->addStretch(1);
    scroll_->setWidget(page);

    auto* keyboardHost = new QWidget(content_);
    keyboardHost->setFixedSize(tw.x(counting::layout::kClientWidth), tw.y(kKeyboardHeightTwips));
    keyboard_ = new widgets::KeyboardWidget(keyboardHost, tw, kKeyboardOffsetTwips);
    keyboard_->setLines(kHorizontalLine, kVerticalLine);
    column->addWidget(keyboardHost);

    legend_ = new HeatLegend(content_);
    column->addWidget(legend_);

    auto* chart = new QChart;
    chart->setTitle(texts::kChartTitle);
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(2, 2, 14, 2));  // room for the last day's label
    chart->legend()->setAlignment(Qt::AlignTop);
    chartView_ = new QChartView(chart, content_);
    chartView_->setObjectName(QStringLiteral("chtDays"));
    chartView_->setRenderHint(QPainter::Antialiasing);
    chartView_->setFixedSize(tw.x(counting::layout::kClientWidth), kChartHeight);
    chartView_->setAccessibleName(texts::kChartTitle);
    chartView_->viewport()->installEventFilter(this);
    column->addWidget(chartView_);

    auto* totalsRow = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    lblTotals_ = new QLabel(content_);
    lblTotals_->setObjectName(QStringLiteral("lblTotals"));
    lblTotals_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblSkipped_ = new QLabel(content_);
    lblSkipped_->setObjectName(QStringLiteral("lblSkipped"));
    lblSkipped_->hide();
    left->addWidget(lblTotals_);
    left->addWidget(lblSkipped_);
    left->addStretch(1);
    totalsRow->addLayout(left, 1);

    auto* right = new QVBoxLayout;
    auto* topTitle = new QLabel(texts::kTopTitle, content_);
    topTitle->setObjectName(QStringLiteral("lblTopTitle"));
    right->addWidget(topTitle);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(0);
    const int rows = static_cast<int>(kTopKeys + 1) / 2;
    for (std::size_t i = 0; i < kTopKeys; ++i) {
        auto* l = new QLabel(content_);
        l->setObjectName(QStringLiteral("lblTopKey(%1)").arg(i + 1));
        const int at = static_cast<int>(i);
        grid->addWidget(l, at % rows, at / rows);
        lblTopKeys_[i] = l;
    }
    right->addLayout(grid);
    right->addStretch(1);
    totalsRow->addLayout(right, 1);
    column->addLayout(totalsRow);

    // The period, for the activity views, left of the buttons: the tabs do
    // not move when it shows.
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(activity_);
    buttons->addStretch(1);
    cmdSavePicture_ = new QPushButton(texts::kSavePicture, this);
    cmdSavePicture_->setObjectName(QStringLiteral("cmdSavePicture"));
    cmdSaveCsv_ = new QPushButton(texts::kSaveCsv, this);
    cmdSaveCsv_->setObjectName(QStringLiteral("cmdSaveCsv"));
    cmdClose_ = new QPushButton(texts::kClose, this);
    cmdClose_->setObjectName(QStringLiteral("cmdClose"));
    cmdClose_->setDefault(true);
    buttons->addWidget(cmdSavePicture_);
    buttons->addWidget(cmdSaveCsv_);
    buttons->addWidget(cmdClose_);
    layout->addLayout(buttons);
    connect(cmdSavePicture_, &QPushButton::clicked, this, &StatisticsWindow::onCmdSavePictureClicked);
    connect(cmdSaveCsv_, &QPushButton::clicked, this, &StatisticsWindow::onCmdSaveCsvClicked);
    connect(cmdClose_, &QPushButton::clicked, this, &StatisticsWindow::onCmdCloseClicked);
    connect(&historyWatcher_, &QFutureWatcher<history::HistorySummary>::finished, this,
            &StatisticsWindow::onHistoryRead);

    chooseSavePath_ = [](QWidget* parent, const QString& caption, const QString& suggested, const QString& filter) {
        return QFileDialog::getSaveFileName(parent, caption, suggested, filter);
    };
    showMessage(texts::kNoHistory);
}

StatisticsWindow::~StatisticsWindow() {
    if (stopReading_) stopReading_->store(true);
}

// The size the content asks for, within the screen's free area; before the
// window is first shown, and `again` once it is while it still has the size
// it was given: a size the person chose stands.
void StatisticsWindow::fitToContent(bool again) {
    if (isVisible() && !(again && size() == fitted_)) return;
    // The scroll area's size hint follows its page, which it is not told of;
    // the tabs above it learn of the change only from posted events.
    scroll_->widget()->layout()->activate();
    for (QWidget* w = scroll_; w && w != this; w = w->parentWidget()) {
        w->updateGeometry();
        if (w->layout()) w->layout()->activate();
    }
    layout()->activate();
    QSize size = sizeHint();
    // The tabs' height follows the history's tab (whose texts wrap); the
    // activity views may ask for more, a short line about the history for less.
    const QMargins margins = layout()->contentsMargins();
    size.setHeight(std::max(size.height(), margins.top() + tabs_->sizeHint().height() + layout()->spacing() +
                                               cmdClose_->sizeHint().height() + margins.bottom()));
    if (const QScreen* s = screen()) {
        // Not shown yet: the frame is not known; room for a title bar and borders.
        const int frame = 2 * style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
        const int titleBar = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this) + frame;
        const QSize room = s->availableGeometry().size() - QSize(frame, titleBar);
        // Cut in height, the content scrolls up and down: room for that scroll bar.
        if (size.height() > room.height())
            size.rwidth() += style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroll_);
        size = size.boundedTo(room);
    }
    resize(size);
    fitted_ = size;
}

// Once on screen, the frame is known: when the window came out lower than its
// content, the up-and-down scroll bar takes width, which the window is given
// so that the content does not scroll sideways as well.
void StatisticsWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (std::exchange(shown_, true)) return;
    QTimer::singleShot(0, this, &StatisticsWindow::widenForScrollBar);
}

void StatisticsWindow::widenForScrollBar() {
    const QWidget* page = scroll_->widget();
    if (page->sizeHint().height() <= scroll_->height()) return;
    const int needed = width() - scroll_->width() + page->minimumSizeHint().width() +
                       style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroll_);
    if (needed <= width()) return;
    const QScreen* s = screen();
    const int room = s ? s->availableGeometry().width() - (frameGeometry().width() - width()) : needed;
    resize(std::max(width(), std::min(needed, room)), height());
    fitted_ = size();
}

void StatisticsWindow::load(const std::string& historyPath) {
    if (stopReading_) stopReading_->store(true);
    stopReading_ = std::make_shared<std::atomic<bool>>(false);
    // Records dated after today are left out: the chart ends at the last day that has come.
    const QDate now = QDate::currentDate();
    const int today = history::dayNumber({now.year(), now.month(), now.day()});
    // Until the figures come, the tab keeps their room, so that the window
    // opens at the size they ask for.
    QSizePolicy room = content_->sizePolicy();
    room.setRetainSizeWhenHidden(true);
    content_->setSizePolicy(room);
    showMessage(texts::kReadingHistory);
    // The file is only read; the program's thread goes on counting meanwhile.
    historyWatcher_.setFuture(QtConcurrent::run([historyPath, today, stop = stopReading_] {
        const auto encode = [](std::string_view utf8) { return platform::utf8ToCp932(utf8); };
        const auto goOn = [&stop](std::uintmax_t, std::uintmax_t) { return !stop->load(); };
        return history::summarizeHistory(historyPath, encode, goOn, today);
    }));
    activity_->setDatabase(activityPathBeside(historyPath));
}

void StatisticsWindow::onHistoryRead() {
    const history::HistorySummary summary = historyWatcher_.result();
    if (summary.cancelled) return;  // stopped for a newer reading
    QSizePolicy room = content_->sizePolicy();
    room.setRetainSizeWhenHidden(false);
    content_->setSizePolicy(room);
    showSummary(summary);
    // The tabs and the scroll area learn of the new content from posted
    // events: the window fits it after them, and gives the up-and-down
    // scroll bar its width as at the first showing, unless the person chose
    // a size meanwhile.
    QTimer::singleShot(0, this, [this] {
        const bool ours = !isVisible() || size() == fitted_;
        fitToContent(true);
        if (ours && isVisible()) widenForScrollBar();
        emit historyShown();
    });
}

void StatisticsWindow::showMessage(const QString& message) {
    lblMessage_->setText(message);
    lblMessage_->show();
    content_->hide();
    historyShown_ = false;
    updateButtons();
    chartView_->setAccessibleDescription({});
    fitToContent();
}

void StatisticsWindow::showSummary(const history::HistorySummary& summary) {
    series_.clear();
    days_.clear();
    if (summary.status != history::ReadStatus::Ok && summary.status != history::ReadStatus::Missing) {
        showMessage(texts::kCannotRead);
        return;
    }
    if (summary.records == 0) {
        QString message = texts::kNoHistory;
        if (const QString skipped = skippedLine(summary); !skipped.isEmpty()) message += QLatin1Char('\n') + skipped;
        showMessage(message);
        return;
    }
    days_ = summary.days;
    series_ = recentDays(days_);
    lblMessage_->hide();
    content_->show();
    historyShown_ = true;
    updateButtons();
    showKeyboard(summary);
    showChart();
    showTotals(summary);
    fitToContent();
}

void StatisticsWindow::showKeyboard(const history::HistorySummary& summary) {
    const std::int64_t top = largestKeyCount(summary.keySums);
    legend_->setMaximum(top);
    showHeat(*keyboard_, summary.keySums, summary.hasColumn, top);
}

void StatisticsWindow::showChart() {
    QChart* chart = chartView_->chart();
    chart->removeAllSeries();
    for (QAbstractAxis* axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }

    bars_ = new QBarSet(texts::kBarsName);
    bars_->setColor(qColour(heatColour(0.8)));
    bars_->setBorderColor(qColour(heatColour(1.0)));
    average_ = new QLineSeries;
    average_->setName(texts::kAverageName);
    average_->setPen(QPen(QColor(0x30, 0x30, 0x30), 2));
    QStringList categories;
    double highest = 0;
    for (std::size_t i = 0; i < series_.size(); ++i) {
        const DayPoint& p = series_[i];
        bars_->append(static_cast<qreal>(p.total));
        average_->append(static_cast<qreal>(i), p.average);
        categories.append(text(history::formatDay(p.day)));
        highest = std::max({highest, static_cast<double>(p.total), p.average});
    }
    auto* barSeries = new QBarSeries;
    barSeries->setBarWidth(0.8);
    barSeries->append(bars_);
    chart->addSeries(barSeries);
    chart->addSeries(average_);
    connect(bars_, &QBarSet::hovered, this, &StatisticsWindow::onBarsHovered);

    // The bars stand on categories, one per day; the axis that shows is a
    // value axis over the same places, labelled every few days back from the last.
    auto* dayCategories = new QBarCategoryAxis;
    dayCategories->append(categories);
    dayCategories->setVisible(false);
    auto* dayAxis = new QCategoryAxis;
    dayAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    const int n = static_cast<int>(series_.size());
    dayAxis->setRange(-0.5, n - 0.5);
    for (int i = (n - 1) % kAxisLabelEvery; i < n; i += kAxisLabelEvery)
        dayAxis->append(text(shortDay(series_[static_cast<std::size_t>(i)].day)), i);
    auto* valueAxis = new QValueAxis;
    valueAxis->setRange(0, highest > 0 ? highest * 1.05 : 1);
    valueAxis->setLabelFormat(QStringLiteral("%.0f"));
    valueAxis->applyNiceNumbers();
    chart->addAxis(dayCategories, Qt::AlignBottom);
    chart->addAxis(dayAxis, Qt::AlignBottom);
    chart->addAxis(valueAxis, Qt::AlignLeft);
    barSeries->attachAxis(dayCategories);
    barSeries->attachAxis(valueAxis);
    average_->attachAxis(dayAxis);
    average_->attachAxis(valueAxis);

    // What a screen reader reads instead of the bars: every day's date and total.
    QStringList days;
    for (int i = 0; i < n; ++i) days << barToolTip(i).replace(QLatin1Char('\n'), QLatin1Char(' '));
    chartView_->setAccessibleDescription(days.join(QLatin1Char('\n')));
}

void StatisticsWindow::showTotals(const history::HistorySummary& summary) {
    QStringList lines;
    lines << texts::kAllTime.arg(text(groupDigits(summary.totalPresses)));
    lines << texts::kRecords.arg(text(groupDigits(summary.records)));
    lines << texts::kDays.arg(text(groupDigits(static_cast<std::int64_t>(summary.days.size()))),
                              text(history::formatDay(summary.firstDay())),
                              text(history::formatDay(summary.lastDay())));
    if (const auto busiest = busiestDay(summary.days))
        lines << texts::kBusiest.arg(text(history::formatDay(busiest->day)), text(groupDigits(busiest->total)));
    lblTotals_->setText(lines.join(QLatin1Char('\n')));
    // Cleared as well as hidden: screen readers also list hidden labels.
    lblSkipped_->setText(skippedLine(summary));
    lblSkipped_->setVisible(!lblSkipped_->text().isEmpty());

    const std::vector<KeyShare> top = topKeys(summary.keySums);
    for (std::size_t i = 0; i < kTopKeys; ++i) {
        if (i < top.size()) {
            const KeyShare& k = top[i];
            lblTopKeys_[i]->setText(texts::kTopLine.arg(i + 1).arg(text(k.caption), text(groupDigits(k.count)),
                                                                   text(formatPercent(k.percent))));
        } else {
            lblTopKeys_[i]->clear();
        }
    }
}

QString StatisticsWindow::barToolTip(int index) const {
    if (index < 0 || index >= static_cast<int>(series_.size())) return {};
    const DayPoint& p = series_[static_cast<std::size_t>(index)];
    return texts::kBarTip.arg(text(history::formatDay(p.day)), text(groupDigits(p.total)));
}

void StatisticsWindow::onBarsHovered(bool status, int index) {
    hoveredBar_ = status ? index : -1;
    if (status)
        showBarToolTip();
    else
        QToolTip::hideText();
}

void StatisticsWindow::showBarToolTip() {
    QToolTip::showText(QCursor::pos(), barToolTip(hoveredBar_), chartView_, {}, kBarTipMs);
}

// The chart's own tooltip event, when the mouse comes to rest, would hide the
// bar's tooltip (the chart has none of its own): over a bar it shows the bar's.
bool StatisticsWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == chartView_->viewport() && event->type() == QEvent::ToolTip && hoveredBar_ >= 0) {
        showBarToolTip();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

QString StatisticsWindow::pictureFolder() { return existingOrHome(QStandardPaths::PicturesLocation); }

QString StatisticsWindow::documentFolder() { return existingOrHome(QStandardPaths::DocumentsLocation); }

void StatisticsWindow::tellNotSaved(const QString& path, const QString& reason) {
    QString message = texts::kNotSaved.arg(QDir::toNativeSeparators(path));
    if (!reason.isEmpty()) message += QLatin1Char('\n') + reason;
    boxes_.show(widgets::BoxIcon::Exclamation, message);
}

void StatisticsWindow::onTabsCurrentChanged(int) { updateButtons(); }

// The period is chosen on the activity views only. The history's tab saves
// when it shows figures; an activity view when its reading is on screen.
void StatisticsWindow::updateButtons() {
    const int tab = tabs_->currentIndex();
    activity_->setVisible(tab > 0);  // the history file has no period to choose
    const bool ready = tab == 0 ? historyShown_ : activity_->shownReading().status == ActivityStatus::Ok;
    cmdSavePicture_->setEnabled(ready);
    cmdSaveCsv_->setEnabled(ready);
}

bool StatisticsWindow::savePicture(const QString& path) {
    // The whole page, also the part scrolled out of view; an activity view
    // with the line that says its period.
    const int tab = tabs_->currentIndex();
    const QPixmap picture =
        tab == 0 ? scroll_->widget()->grab() : activity_->page(static_cast<ActivityPanel::Page>(tab - 1))->grab();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        tellNotSaved(path, file.errorString());
        return false;
    }
    if (!picture.save(&file, "PNG")) {
        file.cancelWriting();
        tellNotSaved(path, file.errorString());
        return false;
    }
    if (!file.commit()) {
        tellNotSaved(path, file.errorString());
        return false;
    }
    return true;
}

bool StatisticsWindow::saveCsv(const QString& path) {
    const int tab = tabs_->currentIndex();
    const std::string csv = tab == 0
                                ? dayTotalsCsv(days_)
                                : csvTable(tableRows(*activity_->table(static_cast<ActivityPanel::Page>(tab - 1))));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(csv.data(), static_cast<qint64>(csv.size())) != static_cast<qint64>(csv.size()) || !file.commit()) {
        tellNotSaved(path, file.errorString());
        return false;
    }
    return true;
}

void StatisticsWindow::onCmdSavePictureClicked() {
    const QString path = chooseSavePath_(this, texts::kSavePictureCaption,
                                         QDir(pictureFolder()).filePath(texts::kPictureName), texts::kPictureFilter);
    if (!path.isEmpty()) savePicture(path);
}

void StatisticsWindow::onCmdSaveCsvClicked() {
    const QString path =
        chooseSavePath_(this, texts::kSaveCsvCaption,
                        QDir(documentFolder()).filePath(texts::kCsvNames.value(tabs_->currentIndex(), texts::kCsvName)),
                        texts::kCsvFilter);
    if (!path.isEmpty()) saveCsv(path);
}

void StatisticsWindow::onCmdCloseClicked() { accept(); }

}  // namespace pressory::statistics

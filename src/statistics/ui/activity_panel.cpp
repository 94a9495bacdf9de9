#include "statistics/ui/activity_panel.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QPromise>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>

#include "history/history_summary.h"
#include "statistics/ui/activity_pages.h"
#include "statistics/ui/activity_table.h"
#include "statistics/ui/activity_texts.h"

namespace pressory::statistics {
namespace {

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
    auto* bar = new QHBoxLayout(this);
    bar->setContentsMargins(0, 0, 0, 0);
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
    bar->addWidget(periodLabel);
    bar->addWidget(cboPeriod_);
    bar->addWidget(dtpFrom_);
    bar->addWidget(new QLabel(texts::kRangeTo, this));
    bar->addWidget(dtpTo_);

    pages_[Hours] = new HoursPage;
    pages_[Apps] = new AppsPage(tw);
    pages_[Speed] = new SpeedPage(tw);
    pages_[Keys] = new KeysPage;
    pages_[Compare] = new ComparePage;

    connect(cboPeriod_, &QComboBox::currentIndexChanged, this, &ActivityPanel::onCboPeriodCurrentIndexChanged);
    connect(dtpFrom_, &QDateEdit::dateChanged, this, &ActivityPanel::onDtpRangeDateChanged);
    connect(dtpTo_, &QDateEdit::dateChanged, this, &ActivityPanel::onDtpRangeDateChanged);
    connect(&watcher_, &QFutureWatcher<ActivityReading>::resultReadyAt, this, &ActivityPanel::onReadingResult);
    showPages();
}

QTableWidget* ActivityPanel::table(Page p) const { return pages_[p]->table(); }
HoursPage* ActivityPanel::hours() const { return static_cast<HoursPage*>(pages_[Hours]); }
AppsPage* ActivityPanel::apps() const { return static_cast<AppsPage*>(pages_[Apps]); }
SpeedPage* ActivityPanel::speed() const { return static_cast<SpeedPage*>(pages_[Speed]); }
KeysPage* ActivityPanel::keys() const { return static_cast<KeysPage*>(pages_[Keys]); }
ComparePage* ActivityPanel::compare() const { return static_cast<ComparePage*>(pages_[Compare]); }

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
    setSource(texts::kActivityReading);
    // A reading still running for an earlier period is not waited for: its
    // result is dropped when it ends.
    // An early reading from the database's sums comes first where it has
    // them, the whole one after it.
    watcher_.setFuture(QtConcurrent::run([path = path_, request](QPromise<ActivityReading>& promise) {
        promise.addResult(
            readActivity(path, request, [&promise](const ActivityReading& early) { promise.addResult(early); }));
    }));
}

void ActivityPanel::onReadingResult(int index) {
    shown_ = watcher_.resultAt(index);
    switch (shown_.status) {
    case ActivityStatus::Missing: setSource(texts::kNoActivity); break;
    case ActivityStatus::Unreadable:
        setSource(texts::kActivityUnreadable + QLatin1Char('\n') + utf8(shown_.error));
        break;
    case ActivityStatus::Newer: setSource(texts::kActivityNewer); break;
    case ActivityStatus::Ok: {
        const QString period = texts::kPeriods.value(static_cast<int>(shown_.request.kind));
        QString source = texts::kActivitySource.arg(period + QStringLiteral("（") + spanText(shown_.current.range()) +
                                                    QStringLiteral("）"));
        if (shown_.current.total() == 0) source += QLatin1Char('\n') + texts::kNoPresses;
        setSource(source);
        break;
    }
    }
    // After the early reading only the applications' keys are new.
    if (index > 0)
        apps()->showAppKeys(shown_);
    else
        showPages();
    emit figuresShown();
    if (shown_.appKeysRead) emit readingShown();
}

void ActivityPanel::setSource(const QString& text) {
    source_ = text;
    for (ActivityPage* page : pages_) page->setSource(text);
}

void ActivityPanel::showPages() {
    for (ActivityPage* page : pages_) page->showReading(shown_);
}

}  // namespace pressory::statistics

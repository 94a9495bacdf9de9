// ActivityPanel: the statistics window's period selector (the panel itself)
// and the views of the activity database that follow it (activity_pages.h). The database is
// read on a worker thread when the database is set and whenever the period
// changes; the newest reading is shown, older ones are dropped. Where the
// database has its sums, an early reading from them shows first and the
// applications' keys follow.
#pragma once

#include <QDate>
#include <QFutureWatcher>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "statistics/reader/activity_reader.h"

class QComboBox;
class QDateEdit;
class QLabel;
class QTableWidget;

namespace pressory::widgets {
class TwipScale;
}

namespace pressory::statistics {

class ActivityPage;
class AppsPage;
class ComparePage;
class HoursPage;
class KeysPage;
class SpeedPage;

class ActivityPanel final : public QWidget {
    Q_OBJECT
public:
    enum Page { Hours, Apps, Speed, Keys, Compare, PageCount };

    ActivityPanel(const widgets::TwipScale& scale, QWidget* parent = nullptr);

    // The local hour now; the system clock by default. The range's days go
    // up to its day.
    void setClock(std::function<std::int64_t()> nowHour);

    // Starts reading the database at `path` for the selected period.
    void setDatabase(const std::string& path);

    // Selects a period (and reads it); a range uses the two date fields.
    void setPeriod(PeriodKind kind);
    void setRange(const QDate& first, const QDate& last);

    // The views, to be placed in the window's tabs, and the table each
    // view's CSV holds.
    ActivityPage* page(Page p) const { return pages_[p]; }
    QTableWidget* table(Page p) const;
    HoursPage* hours() const;
    AppsPage* apps() const;
    SpeedPage* speed() const;
    KeysPage* keys() const;
    ComparePage* compare() const;

    bool reading() const { return watcher_.isRunning(); }
    const ActivityReading& shownReading() const { return shown_; }

    QComboBox* cboPeriod() const { return cboPeriod_; }
    QDateEdit* dtpFrom() const { return dtpFrom_; }
    QDateEdit* dtpTo() const { return dtpTo_; }
    // The period shown and where its figures come from, or why there are
    // none: the first line of every view.
    const QString& source() const { return source_; }

signals:
    // A reading (or what it found missing) is on screen, whole.
    void readingShown();
    // Figures are on screen: an early reading (without the applications'
    // keys yet) or the whole one.
    void figuresShown();

private slots:
    void onCboPeriodCurrentIndexChanged(int index);
    void onDtpRangeDateChanged();
    void onReadingResult(int index);

private:
    void startReading();
    void showPages();
    void setSource(const QString& text);

    std::array<ActivityPage*, PageCount> pages_{};
    QComboBox* cboPeriod_;
    QDateEdit* dtpFrom_;
    QDateEdit* dtpTo_;
    QString source_;

    std::string path_;
    std::function<std::int64_t()> nowHour_;
    QFutureWatcher<ActivityReading> watcher_;
    ActivityReading shown_;
};

}  // namespace pressory::statistics

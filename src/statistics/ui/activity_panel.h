// ActivityPanel: the statistics window's period selector and the views of
// the activity database that follow it (hour by weekday, applications,
// speed, every key, comparison). The database is read on a worker thread when
// the database is set and whenever the period changes; the newest reading is
// shown, older ones are dropped. What is shown is decided by the activity
// views' rules; this only places it.
#pragma once

#include <QDate>
#include <QFutureWatcher>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "statistics/reader/activity_reader.h"

class QChartView;
class QComboBox;
class QDateEdit;
class QLabel;
class QTableWidget;

namespace pressory::widgets {
class KeyboardWidget;
struct TwipScale;
}  // namespace pressory::widgets

namespace pressory::statistics {

class HeatLegend;

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

    // The views, to be placed in the window's tabs, and their tables (the one
    // a view's CSV holds).
    QWidget* page(Page p) const { return pages_[p]; }
    QTableWidget* table(Page p) const { return tables_[p]; }
    // A table's header and rows as text (numbers in full), for its CSV.
    static std::vector<std::vector<std::string>> rowsOf(const QTableWidget& table);

    bool reading() const { return watcher_.isRunning(); }
    const ActivityReading& shownReading() const { return shown_; }

    QComboBox* cboPeriod() const { return cboPeriod_; }
    QDateEdit* dtpFrom() const { return dtpFrom_; }
    QDateEdit* dtpTo() const { return dtpTo_; }
    QLabel* lblSource() const { return lblSource_; }
    QLabel* lblBusiest() const { return lblBusiest_; }
    QLabel* lblAppKeys() const { return lblAppKeys_; }
    QTableWidget* grdAppKeys() const { return grdAppKeys_; }
    widgets::KeyboardWidget* appKeyboard() const { return keyboard_; }
    HeatLegend* gridLegend() const { return gridLegend_; }
    QLabel* lblSpeed() const { return lblSpeed_; }
    QChartView* speedChart() const { return speedChart_; }
    QLabel* lblKeys() const { return lblKeys_; }
    QLabel* lblCompare() const { return lblCompare_; }

signals:
    // A reading (or what it found missing) is on screen.
    void readingShown();

private slots:
    void onCboPeriodCurrentIndexChanged(int index);
    void onDtpRangeDateChanged();
    void onReadingFinished();
    void onGrdAppsItemSelectionChanged();

private:
    void startReading();
    void showStatus(const QString& text);
    void clearViews();
    void showHours();
    void showApps();
    void showAppKeys(std::size_t app);
    void showSpeed();
    void showKeys();
    void showCompare();

    std::array<QWidget*, PageCount> pages_{};
    std::array<QTableWidget*, PageCount> tables_{};
    QComboBox* cboPeriod_;
    QDateEdit* dtpFrom_;
    QDateEdit* dtpTo_;
    QLabel* lblSource_;
    QLabel* lblBusiest_ = nullptr;
    HeatLegend* gridLegend_ = nullptr;
    QLabel* lblApps_ = nullptr;
    QLabel* lblAppKeys_ = nullptr;
    QTableWidget* grdAppKeys_ = nullptr;
    widgets::KeyboardWidget* keyboard_ = nullptr;
    HeatLegend* keyLegend_ = nullptr;
    QLabel* lblSpeed_ = nullptr;
    QChartView* speedChart_ = nullptr;
    QLabel* lblKeys_ = nullptr;
    QLabel* lblCompare_ = nullptr;

    std::string path_;
    std::function<std::int64_t()> nowHour_;
    QFutureWatcher<ActivityReading> watcher_;
    ActivityReading shown_;
};

}  // namespace pressory::statistics

// The activity views, one page each: hour by weekday, applications, speed,
// every key, comparison. Each shows the figures of a reading as the activity
// views' rules decide them and has the table its CSV holds.
#pragma once

#include <QWidget>

#include "statistics/reader/activity_reader.h"

class QChartView;
class QLabel;
class QTableWidget;
class QVBoxLayout;

namespace pressory::widgets {
class KeyboardWidget;
class TwipScale;
}  // namespace pressory::widgets

namespace pressory::statistics {

class HeatLegend;

// A view: a column that starts with the line naming the period and where
// its figures come from (or why there are none).
class ActivityPage : public QWidget {
    Q_OBJECT
public:
    ActivityPage(const char* name, QWidget* parent);
    void setSource(const QString& text);
    QLabel* lblSource() const { return lblSource_; }
    // The figures of a reading; one that is not Ok shows none.
    virtual void showReading(const ActivityReading& reading) = 0;
    // The table the view's CSV holds.
    virtual QTableWidget* table() const = 0;

protected:
    QVBoxLayout* column() const { return column_; }

private:
    QVBoxLayout* column_;
    QLabel* lblSource_;
};

// A 7 x 24 grid (rows Monday to Sunday, columns the hours) in heat colours;
// each cell's weekday, hour and count in its tooltip and accessible text.
class HoursPage final : public ActivityPage {
    Q_OBJECT
public:
    explicit HoursPage(QWidget* parent = nullptr);
    void showReading(const ActivityReading& reading) override;
    QTableWidget* table() const override { return grid_; }
    QLabel* lblBusiest() const { return lblBusiest_; }
    HeatLegend* legend() const { return legend_; }

private:
    QLabel* lblBusiest_;
    QTableWidget* grid_;
    HeatLegend* legend_;
};

// The applications by presses; the selected one's top keys and keyboard.
class AppsPage final : public ActivityPage {
    Q_OBJECT
public:
    AppsPage(const widgets::TwipScale& scale, QWidget* parent = nullptr);
    void showReading(const ActivityReading& reading) override;
    // The whole reading after an early one of the same period: the keys of
    // the application selected meanwhile.
    void showAppKeys(const ActivityReading& reading);
    QTableWidget* table() const override { return grdApps_; }
    QTableWidget* grdAppKeys() const { return grdAppKeys_; }
    QLabel* lblAppKeys() const { return lblAppKeys_; }
    widgets::KeyboardWidget* keyboard() const { return keyboard_; }

private slots:
    void onGrdAppsItemSelectionChanged();

private:
    void showApp(std::size_t app);

    ActivityTally tally_;
    bool appKeysRead_ = true;  // false while only the sums are read
    QLabel* lblApps_;
    QTableWidget* grdApps_;
    QLabel* lblAppKeys_;
    QTableWidget* grdAppKeys_;
    widgets::KeyboardWidget* keyboard_;
    HeatLegend* legend_;
};

// Keys per minute: the average and the best minute, per day as lines and a table.
class SpeedPage final : public ActivityPage {
    Q_OBJECT
public:
    SpeedPage(const widgets::TwipScale& scale, QWidget* parent = nullptr);
    void showReading(const ActivityReading& reading) override;
    QTableWidget* table() const override { return grdSpeed_; }
    QLabel* lblSpeed() const { return lblSpeed_; }
    QChartView* chart() const { return chart_; }

private:
    void showChart(const SpeedSummary& speed);

    QLabel* lblSpeed_;
    QChartView* chart_;
    QTableWidget* grdSpeed_;
};

// The keys and buttons outside the keyboard drawing.
class KeysPage final : public ActivityPage {
    Q_OBJECT
public:
    explicit KeysPage(QWidget* parent = nullptr);
    void showReading(const ActivityReading& reading) override;
    QTableWidget* table() const override { return grdKeys_; }
    QLabel* lblKeys() const { return lblKeys_; }

private:
    QLabel* lblKeys_;
    QTableWidget* grdKeys_;
};

// The period against the one of the same length before it.
class ComparePage final : public ActivityPage {
    Q_OBJECT
public:
    explicit ComparePage(QWidget* parent = nullptr);
    void showReading(const ActivityReading& reading) override;
    QTableWidget* table() const override { return grdCompare_; }
    QLabel* lblCompare() const { return lblCompare_; }

private:
    QLabel* lblCompare_;
    QTableWidget* grdCompare_;
};

}  // namespace pressory::statistics

// StatisticsWindow: the whole history at a glance in its first tab. The
// keyboard coloured by how often each key was pressed, the total of each of
// the last days as bars with their 7-day average, the all-time totals and the
// most pressed keys. The other tabs are the activity database's views for a
// chosen period (ActivityPanel). The picture of the current tab and its table
// (the per-day totals for the first) can be saved. Everything shown is
// decided by the summary and the statistics rules; this only places it.
#pragma once

#include <QDialog>
#include <QFutureWatcher>
#include <QSize>
#include <QString>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "history/history_summary.h"
#include "statistics/statistics_rules.h"

class QBarSet;
class QChartView;
class QLabel;
class QLineSeries;
class QPushButton;
class QScrollArea;
class QTabWidget;

namespace pressory::widgets {
class KeyboardWidget;
class MessageBoxes;
}  // namespace pressory::widgets

namespace pressory::statistics {

class ActivityPanel;
class HeatLegend;

class StatisticsWindow final : public QDialog {
    Q_OBJECT
public:
    // Failures to save are told through `boxes`.
    explicit StatisticsWindow(widgets::MessageBoxes& boxes, QWidget* owner = nullptr);
    // A reading still running is told to stop; it ends on its own thread.
    ~StatisticsWindow() override;

    // Starts reading the whole history file on a worker thread (read only)
    // and returns at once: the history's tab says it is reading until the
    // summary is shown (historyShown); a missing, empty or unreadable file
    // shows a line saying so. A reading started earlier is dropped. The
    // activity database beside the history file is read in the background
    // for the other tabs.
    void load(const std::string& historyPath);
    bool readingHistory() const { return historyWatcher_.isRunning(); }

    // Shows a summary already made.
    void showSummary(const history::HistorySummary& summary);

    // Asks where to save: (parent, caption, suggested name, filter) -> a path,
    // or an empty string when the person cancelled. QFileDialog by default.
    using SaveChooser = std::function<QString(QWidget*, const QString&, const QString&, const QString&)>;
    void setSaveChooser(SaveChooser chooser) { chooseSavePath_ = std::move(chooser); }

    // Saves the picture of the current tab's content (all of it, also what is
    // scrolled out of view; an activity view with its period) as PNG / its
    // table as CSV (the per-day totals for the history file's tab); a
    // failure is told in a message box. True when the file was written.
    bool savePicture(const QString& path);
    bool saveCsv(const QString& path);

    // The text a bar's tooltip shows (index 0 is the chart's first day).
    QString barToolTip(int index) const;

    // Where the save dialogs start: the person's Pictures / Documents folder
    // (the home folder when it does not exist).
    static QString pictureFolder();
    static QString documentFolder();

    QTabWidget* tabs() const { return tabs_; }
    ActivityPanel* activity() const { return activity_; }
    QLabel* lblHistorySource() const { return lblHistorySource_; }
    widgets::KeyboardWidget* keyboard() const { return keyboard_; }
    HeatLegend* legend() const { return legend_; }
    QBarSet* barSet() const { return bars_; }
    QLineSeries* averageSeries() const { return average_; }
    QLabel* lblMessage() const { return lblMessage_; }
    QChartView* chartView() const { return chartView_; }
    QScrollArea* scrollArea() const { return scroll_; }
    QWidget* content() const { return content_; }
    QLabel* lblTotals() const { return lblTotals_; }
    QLabel* lblSkipped() const { return lblSkipped_; }
    QLabel* lblTopKey(int rank) const { return lblTopKeys_[static_cast<std::size_t>(rank)]; }
    QPushButton* cmdSavePicture() const { return cmdSavePicture_; }
    QPushButton* cmdSaveCsv() const { return cmdSaveCsv_; }
    QPushButton* cmdClose() const { return cmdClose_; }

signals:
    // The history file's summary (or what it found missing) is on screen.
    void historyShown();

private slots:
    void onHistoryRead();
    void onCmdSavePictureClicked();
    void onCmdSaveCsvClicked();
    void onCmdCloseClicked();
    void onBarsHovered(bool status, int index);
    void onTabsCurrentChanged(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void fitToContent(bool again = false);
    void widenForScrollBar();
    void showBarToolTip();
    void showMessage(const QString& text);
    void showKeyboard(const history::HistorySummary& summary);
    void showChart();
    void showTotals(const history::HistorySummary& summary);
    void tellNotSaved(const QString& path, const QString& reason);
    void updateButtons();

    QTabWidget* tabs_;
    ActivityPanel* activity_;
    QLabel* lblHistorySource_;
    widgets::KeyboardWidget* keyboard_;
    HeatLegend* legend_;
    QChartView* chartView_;
    QBarSet* bars_ = nullptr;
    QLineSeries* average_ = nullptr;
    QLabel* lblMessage_;
    QScrollArea* scroll_;
    QWidget* content_;
    QLabel* lblTotals_;
    QLabel* lblSkipped_;
    std::array<QLabel*, kTopKeys> lblTopKeys_{};
    QPushButton* cmdSavePicture_;
    QPushButton* cmdSaveCsv_;
    QPushButton* cmdClose_;

    QFutureWatcher<history::HistorySummary> historyWatcher_;
    std::shared_ptr<std::atomic<bool>> stopReading_;
    QSize fitted_;  // the size the window was given for its content

    std::vector<DayPoint> series_;
    DayMap days_;
    int hoveredBar_ = -1;
    bool shown_ = false;
    bool historyShown_ = false;  // the history's tab has figures to save
    SaveChooser chooseSavePath_;
    widgets::MessageBoxes& boxes_;
};

}  // namespace pressory::statistics

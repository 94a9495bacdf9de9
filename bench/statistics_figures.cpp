// Figures of the statistics window over an activity database (made by
// bench/make_activity_year.py) beside a history file of a given number of
// records, both in a temporary folder:
// - opening: how long load() holds the program's thread (the history file is
//   read on a worker thread), the window's first paint, the history's tab
//   filled in, the activity views' first reading on screen, and the longest
//   pause of the event loop meanwhile;
// - each period: the reading alone (readActivity on this thread) and the
//   switch from choosing the period to the grid painted with its figures (the
//   early ones from the sums where the database has them) and to every view
//   whole;
// - the longest pause of the event loop while the database was read.
// With --shots DIR it saves a picture of the window on each tab (past 30
// days) for the README; --history FILE takes that history file in place of
// the made one.
// Usage: statistics_figures ACTIVITY.db [history records] [rounds] [--shots DIR] [--history FILE]
// Prints figures; never fails on a time.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "history_files.h"
#include "statistics/reader/activity_reader.h"
#include "statistics/ui/activity_panel.h"
#include "statistics/ui/activity_texts.h"
#include "statistics/ui/statistics_window.h"
#include "widgets/message_boxes.h"

using namespace pressory;
using namespace pressory::statistics;
namespace fs = std::filesystem;

namespace {

class NoBoxes final : public widgets::MessageBoxes {
public:
    void show(widgets::BoxIcon, const QString& text) override { std::printf("box: %s\n", qPrintable(text)); }
    void dismissAll() override {}
};

// Notes the time of the next paint of a widget.
// Notes the time of the first paint of a widget (once `after` is true, when given).
class PaintWatch : public QObject {
public:
    qint64 at = -1;
    const QElapsedTimer* clock = nullptr;
    const bool* after = nullptr;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint && at < 0 && (!after || *after)) at = clock->nsecsElapsed();
        return false;
    }
};

// The longest gap between the ticks of a 1 ms timer: how long the event loop
// was held.
class LoopWatch : public QObject {
public:
    LoopWatch() {
        connect(&timer_, &QTimer::timeout, this, [this] {
            const qint64 now = clock_.nsecsElapsed();
            if (last_ >= 0) longest = std::max(longest, now - last_);
            last_ = now;
        });
    }
    void start() {
        longest = 0;
        last_ = -1;
        clock_.start();
        timer_.start(1);
    }
    void stop() { timer_.stop(); }
    qint64 longest = 0;

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = -1;
};

bool waitFor(const std::function<bool()>& done, int ms = 20000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    std::vector<std::string> args(argv + 1, argv + argc);
    auto option = [&args](const char* name) {
        std::string value;
        if (const auto it = std::find(args.begin(), args.end(), name); it != args.end() && it + 1 != args.end()) {
            value = *(it + 1);
            args.erase(it, it + 2);
        }
        return value;
    };
    const std::string shots = option("--shots");
    const std::string givenHistory = option("--history");
    if (args.empty()) {
        std::fprintf(
            stderr,
            "usage: statistics_figures ACTIVITY.db [history records] [rounds] [--shots DIR] [--history FILE]\n");
        return 2;
    }
    const int records = args.size() > 1 ? std::stoi(args[1]) : 20000;
    const int rounds = args.size() > 2 ? std::stoi(args[2]) : 5;

    const fs::path dir = fs::temp_directory_path() / ("pressory-statistics-figures-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path history = dir / "PressoryHistory.csv";
    if (givenHistory.empty())
        bench::writeSampleHistory(history, records);
    else
        fs::copy_file(givenHistory, history);
    const fs::path database = dir / kActivityFileName;
    fs::copy_file(args[0], database);
    std::printf("history: %s, %.1f MB; activity database: %.1f MB\n",
                givenHistory.empty() ? (std::to_string(records) + " records").c_str() : givenHistory.c_str(),
                fs::file_size(history) / 1e6, fs::file_size(database) / 1e6);

    QElapsedTimer clock;
    const std::int64_t now = [] {
        const QDateTime t = QDateTime::currentDateTime();
        return localHourOf(t.toSecsSinceEpoch(), t.offsetFromUtc());
    }();

    // The reading alone, per period.
    for (int kind = 0; kind <= static_cast<int>(PeriodKind::All); ++kind) {
        std::vector<double> ms;
        ActivityReading r;
        for (int i = 0; i < rounds; ++i) {
            clock.start();
            r = readActivity(database.string(), {static_cast<PeriodKind>(kind), now, 0, 0});
            ms.push_back(clock.nsecsElapsed() / 1e6);
        }
        std::printf("read %-8s: median %6.1f ms (%lld presses, %zu days)\n", qPrintable(texts::kPeriods[kind]),
                    median(ms), static_cast<long long>(r.current.total()), r.current.dayTotals().size());
    }

    NoBoxes boxes;
    LoopWatch loop;
    std::vector<double> historyMs, paintMs, filledMs, activityMs, holdMs;
    std::vector<std::vector<double>> periodMs(static_cast<std::size_t>(PeriodKind::All) + 1);
    std::vector<std::vector<double>> shownMs(periodMs.size());
    qint64 longestHold = 0;
    for (int round = 0; round <= rounds; ++round) {
        clock.start();
        StatisticsWindow w(boxes);
        PaintWatch painted;
        painted.clock = &clock;
        w.installEventFilter(&painted);
        bool shown = false;
        qint64 filled = -1;
        bool figures = false;  // an early reading from the sums, or the whole one
        QObject::connect(w.activity(), &ActivityPanel::readingShown, [&] { shown = true; });
        QObject::connect(w.activity(), &ActivityPanel::figuresShown, [&] { figures = true; });
        QObject::connect(&w, &StatisticsWindow::historyShown, [&] { filled = clock.nsecsElapsed(); });
        loop.start();
        w.load(history.string());
        const qint64 loaded = clock.nsecsElapsed();
        w.show();
        waitFor([&] { return painted.at >= 0 && shown && filled >= 0; });
        const qint64 activity = clock.nsecsElapsed();
        loop.stop();
        if (round > 0) {  // round 0 pays for fonts and styles once
            historyMs.push_back(loaded / 1e6);
            paintMs.push_back(painted.at / 1e6);
            filledMs.push_back(filled / 1e6);
            activityMs.push_back(activity / 1e6);
            holdMs.push_back(loop.longest / 1e6);
        }
        std::printf(
            "open %d: load() %.1f ms, first paint %.1f ms, history tab filled %.1f ms, activity views shown "
            "%.1f ms, longest event-loop pause %.1f ms\n",
            round, loaded / 1e6, painted.at / 1e6, filled / 1e6, activity / 1e6, loop.longest / 1e6);

        w.tabs()->setCurrentIndex(1);
        QTableWidget* grid = w.activity()->table(ActivityPanel::Hours);
        for (int kind = static_cast<int>(PeriodKind::All); kind >= 0; --kind) {
            PaintWatch gridPainted;
            gridPainted.clock = &clock;
            gridPainted.after = &figures;
            grid->viewport()->installEventFilter(&gridPainted);
            shown = false;
            figures = false;
            loop.start();
            clock.start();
            w.activity()->cboPeriod()->setCurrentIndex(kind);
            waitFor([&] { return shown; });
            const qint64 read = clock.nsecsElapsed();
            // The grid's first paint with the new figures (early or whole).
            waitFor([&] { return gridPainted.at >= 0; });
            grid->viewport()->removeEventFilter(&gridPainted);
            loop.stop();
            longestHold = std::max(longestHold, loop.longest);
            if (round > 0) {
                periodMs[static_cast<std::size_t>(kind)].push_back(gridPainted.at / 1e6);
                shownMs[static_cast<std::size_t>(kind)].push_back(read / 1e6);
            }
        }
        if (round == rounds && !shots.empty()) {
            QDir().mkpath(QString::fromStdString(shots));
            w.activity()->setPeriod(PeriodKind::Last30Days);
            waitFor([&] { return !w.activity()->reading(); });
            QApplication::processEvents();
            // The names of the README's pictures.
            const QStringList names{"statistics",       "statistics-hours", "statistics-apps",
                                    "statistics-speed", "statistics-keys",  "statistics-compare"};
            for (int tab = 0; tab < w.tabs()->count(); ++tab) {
                w.tabs()->setCurrentIndex(tab);
                w.resize(std::max(w.width(), 820), std::max(w.height(), 900));
                for (int i = 0; i < 10; ++i) QApplication::processEvents();
                const QString file = QDir(QString::fromStdString(shots)).filePath(names[tab] + ".png");
                w.grab().save(file);
                std::printf("saved %s\n", qPrintable(file));
            }
        }
        w.close();
    }
    std::printf(
        "median of %d: load() %.1f ms, first paint %.1f ms, history tab filled %.1f ms, activity views on "
        "screen %.1f ms, longest event-loop pause while opening %.1f ms\n",
        rounds, median(historyMs), median(paintMs), median(filledMs), median(activityMs), median(holdMs));
    for (int kind = 0; kind <= static_cast<int>(PeriodKind::All); ++kind)
        std::printf("switch to %-8s: every view whole after %.1f ms, grid painted after %.1f ms (medians)\n",
                    qPrintable(texts::kPeriods[kind]), median(shownMs[static_cast<std::size_t>(kind)]),
                    median(periodMs[static_cast<std::size_t>(kind)]));
    std::printf("longest event-loop pause while switching: %.1f ms\n", longestHold / 1e6);
    fs::remove_all(dir);
    return 0;
}

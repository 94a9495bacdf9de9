// Figures of the history viewer: the time from the call that opens it to the
// first paint of its grid, and the memory it holds while open, on a history
// file of a given number of records (made in a temporary folder).
// Usage: QT_QPA_PLATFORM=offscreen history_viewer_figures <records> [row-limit item 1..6] [rounds]
// Prints one line per round and a summary; never fails on a time.
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "counting/key_layout.h"
#include "history/history_record.h"
#include "history/ui/history_opener.h"
#include "history/ui/history_window.h"
#include "history_files.h"
#include "platform/text_codec.h"
#include "widgets/message_boxes.h"

using namespace pressory;
namespace fs = std::filesystem;

namespace {

long rssKiB() {
    long pages = 0, resident = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

class NoBoxes final : public widgets::MessageBoxes {
public:
    void show(widgets::BoxIcon, const QString& text) override { std::printf("box: %s\n", qPrintable(text)); }
    void dismissAll() override {}
};

// Notes the first paint of the grid's cells.
class FirstPaint : public QObject {
public:
    qint64 at = -1;
    const QElapsedTimer* clock = nullptr;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint && at < 0) at = clock->nsecsElapsed();
        return false;
    }
};

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const int records = argc > 1 ? std::atoi(argv[1]) : 200000;
    const int item = argc > 2 ? std::atoi(argv[2]) : 6;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 5;

    const fs::path dir = fs::temp_directory_path() / ("pressory-viewer-figures-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path file = dir / "PressoryHistory.csv";
    bench::writeSampleHistory(file, records);
    const fs::path tiny = dir / "tiny.csv";
    bench::writeSampleHistory(tiny, 1);
    std::printf("file: %d records, %.1f MB, row-limit item %d\n", records, fs::file_size(file) / 1e6, item);

    QWidget owner;
    owner.resize(400, 300);
    owner.show();
    NoBoxes boxes;
    std::vector<double> ms;
    long rssBefore = 0, rssOpen = 0, rssAfter = 0;
    // Round 0 opens a one-record file: what the program pays the first time
    // (fonts, style, text conversion) is not counted in the rounds after it.
    for (int round = 0; round <= rounds; ++round) {
        const fs::path& opened = round == 0 ? tiny : file;
        QApplication::processEvents();
        rssBefore = rssKiB();
        QElapsedTimer clock;
        FirstPaint firstPaint;
        firstPaint.clock = &clock;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* w = qobject_cast<history::HistoryWindow*>(QApplication::activeModalWidget());
            if (!w) return;
            if (!w->property("watched").toBool()) {
                w->setProperty("watched", true);
                w->grdHistory()->viewport()->installEventFilter(&firstPaint);
                w->grdHistory()->viewport()->update();
            }
            if (firstPaint.at < 0) return;
            rssOpen = rssKiB();
            w->accept();
        });
        poll.start(0);
        clock.start();
        history::showHistoryWindow(&owner, opened.string(), item, boxes, QIcon());
        poll.stop();
        QApplication::processEvents();
        rssAfter = rssKiB();
        if (round > 0) ms.push_back(firstPaint.at / 1e6);
        std::printf("%s %d: call -> grid painted %.1f ms; RSS before %ld KiB, open %+ld KiB, after close %+ld KiB\n",
                    round == 0 ? "first opening, 1 record:" : "round", round, firstPaint.at / 1e6, rssBefore,
                    rssOpen - rssBefore, rssAfter - rssBefore);
    }
    std::sort(ms.begin(), ms.end());
    if (ms.empty()) return 0;
    std::printf("median %.1f ms, best %.1f ms, worst %.1f ms\n", ms[ms.size() / 2], ms.front(), ms.back());
    fs::remove_all(dir);
    return 0;
}

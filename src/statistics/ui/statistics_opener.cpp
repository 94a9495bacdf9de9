#include "statistics/ui/statistics_opener.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QScopeGuard>

#include "statistics/ui/statistics_window.h"
#include "widgets/progress_window.h"

namespace pressory::statistics {
namespace {

constexpr qint64 kPumpMs = 15;
constexpr std::int64_t kBarSteps = 1000;

}  // namespace

void showStatisticsWindow(QWidget* parent, const std::string& historyPath, widgets::MessageBoxes& boxes,
                          const QIcon& icon) {
    // On the heap and watched: the owner may be closed while the file is
    // read, and takes its children with it.
    const QPointer<QWidget> owner(parent);
    const QPointer<StatisticsWindow> window(new StatisticsWindow(boxes, parent));
    const auto discard = qScopeGuard([&window] { delete window.data(); });
    window->setWindowIcon(icon);
    bool loaded = false;
    {
        const QPointer<widgets::ProgressWindow> progress(new widgets::ProgressWindow(icon, parent));
        const auto closeProgress = qScopeGuard([&progress] { delete progress.data(); });
        progress->show();
        // Timers and painting run, not the user's input: the window is not
        // on screen yet, and a second opening must not start from inside this one.
        auto letEventsRun = [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); };
        letEventsRun();
        QElapsedTimer sincePump;
        sincePump.start();
        auto step = [&](std::uintmax_t done, std::uintmax_t size) {
            if (progress && size > 0)
                progress->showProgress(static_cast<std::int64_t>(done * kBarSteps / size), kBarSteps);
            if (sincePump.elapsed() >= kPumpMs) {
                letEventsRun();
                sincePump.restart();
            }
            return window && progress && (!parent || owner);
        };
        if (!window || !progress || (parent && !owner)) return;
        loaded = window->load(historyPath, step);
    }
    if (!loaded || !window || (parent && !owner)) return;
    window->exec();
}

}  // namespace pressory::statistics

#include "statistics/ui/statistics_window.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QScopeGuard>

#include "statistics/ui/frm_statistics.h"
#include "widgets/progress_window.h"

namespace pressory::statistics {
namespace {

constexpr qint64 kPumpMs = 15;
constexpr std::int64_t kBarSteps = 1000;

}  // namespace

void showStatistics(QWidget* parent, const std::string& historyPath, widgets::MessageBoxes& boxes, const QIcon& icon) {
    // On the heap and watched: the owner may be closed while the file is
    // read, and takes its children with it.
    const QPointer<QWidget> owner(parent);
    const QPointer<FrmStatistics> frmStatistics(new FrmStatistics(boxes, parent));
    const auto discard = qScopeGuard([&frmStatistics] { delete frmStatistics.data(); });
    frmStatistics->setWindowIcon(icon);
    bool loaded = false;
    {
        const QPointer<widgets::FrmDoEvents> progress(new widgets::FrmDoEvents(icon, parent));
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
            return frmStatistics && progress && (!parent || owner);
        };
        if (!frmStatistics || !progress || (parent && !owner)) return;
        loaded = frmStatistics->load(historyPath, step);
    }
    if (!loaded || !frmStatistics || (parent && !owner)) return;
    frmStatistics->exec();
}

}  // namespace pressory::statistics

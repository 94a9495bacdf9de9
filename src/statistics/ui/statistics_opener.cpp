#include "statistics/ui/statistics_opener.h"

#include <QPointer>
#include <QScopeGuard>

#include "statistics/ui/statistics_window.h"

namespace pressory::statistics {

void showStatisticsWindow(QWidget* parent, const std::string& historyPath, widgets::MessageBoxes& boxes,
                          const QIcon& icon) {
    // On the heap and watched: the owner may be closed while the window is
    // open, and takes its children with it.
    const QPointer<StatisticsWindow> window(new StatisticsWindow(boxes, parent));
    const auto discard = qScopeGuard([&window] { delete window.data(); });
    window->setWindowIcon(icon);
    window->load(historyPath);  // on a worker thread: the window shows at once
    window->exec();
}

}  // namespace pressory::statistics

#include "history/ui/history_opener.h"

#include <QPointer>
#include <QScopeGuard>

#include "history/ui/history_texts.h"
#include "history/ui/history_window.h"
#include "history/viewer_rules.h"
#include "platform/app_folder.h"

namespace pressory::history {

void showHistoryWindow(QWidget* parent, const std::string& historyPath, int rowLimitIndex, widgets::MessageBoxes& boxes,
                       const QIcon& icon) {
    if (!platform::fileExists(historyPath)) {
        boxes.show(widgets::BoxIcon::Exclamation, texts::kNoHistoryFile);
        return;
    }
    // On the heap and watched: the owner may be closed while the viewer is
    // loading or open, and takes its children with it.
    const QPointer<QWidget> owner(parent);
    const QPointer<HistoryWindow> window(new HistoryWindow(parent));
    const auto discard = qScopeGuard([&window] { delete window.data(); });
    const bool loaded = window->load(historyPath, rowLimitForIndex(rowLimitIndex), icon);
    if (!window || (parent && !owner)) return;
    // Gone (or unreadable, or cut shorter) between the test and the reading:
    // the same warning, and the viewer is not shown.
    if (!loaded) {
        boxes.show(widgets::BoxIcon::Exclamation, texts::kNoHistoryFile);
        return;
    }
    window->exec();
}

}  // namespace pressory::history

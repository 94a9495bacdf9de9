#include "history/history_viewer.h"

#include "history/frm_key_history.h"
#include "history/history_texts.h"
#include "history/viewer_rules.h"
#include "platform/app_folder.h"

namespace pressory::history {

void showHistoryViewer(QWidget* parent, const std::string& historyPath, int rowLimitIndex,
                       app::MessageBoxes& boxes, const QIcon& icon) {
    if (!platform::fileExists(historyPath)) {
        boxes.show(app::BoxIcon::Exclamation, texts::kNoHistoryFile);
        return;
    }
    FrmKeyHistory frmKeyHistory(parent);
    // Gone (or unreadable, or cut shorter) between the test and the reading:
    // the same warning, and the viewer is not shown.
    if (!frmKeyHistory.load(historyPath, rowLimitForIndex(rowLimitIndex), icon)) {
        boxes.show(app::BoxIcon::Exclamation, texts::kNoHistoryFile);
        return;
    }
    frmKeyHistory.exec();
}

}  // namespace pressory::history

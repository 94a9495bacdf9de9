// The File menu's "履歴を表示(&H)": the history viewer, opened modally over
// the main window.
#pragma once

#include <QIcon>
#include <string>

#include "widgets/message_boxes.h"

class QWidget;

namespace pressory::history {

// Shows the newest records of the history file at `historyPath`, at most as
// many as the row-limit item `rowLimitIndex` (1..6) gives, and returns when
// the viewer is closed with its OK button. Without a readable history file it
// shows "履歴ファイルがありません｡" through `boxes` instead. Timers and
// painting keep running while the file is read and while the viewer is open.
void showHistoryWindow(QWidget* parent, const std::string& historyPath, int rowLimitIndex, widgets::MessageBoxes& boxes,
                       const QIcon& icon);

}  // namespace pressory::history

// The File menu's "統計を表示(&G)": the statistics window, opened modally over
// the main window.
#pragma once

#include <QIcon>
#include <string>

#include "widgets/message_boxes.h"

class QWidget;

namespace pressory::statistics {

// Shows StatisticsWindow until it is closed; it reads the history file at
// `historyPath` on a worker thread and fills in when the reading ends. Timers
// and painting keep running meanwhile, so the main window goes on counting.
// If the owner goes away, the window goes with it.
void showStatisticsWindow(QWidget* parent, const std::string& historyPath, widgets::MessageBoxes& boxes,
                          const QIcon& icon);

}  // namespace pressory::statistics

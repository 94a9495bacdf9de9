// The File menu's "統計を表示(&G)": the statistics window, opened modally over
// the main window.
#pragma once

#include <QIcon>
#include <string>

#include "widgets/message_boxes.h"

class QWidget;

namespace pressory::statistics {

// Summarises the history file at `historyPath` with the progress window on
// screen, then shows StatisticsWindow until it is closed. Timers and painting
// keep running meanwhile, so the main window goes on counting. If the owner
// goes away while the file is read, nothing is shown.
void showStatisticsWindow(QWidget* parent, const std::string& historyPath, widgets::MessageBoxes& boxes,
                          const QIcon& icon);

}  // namespace pressory::statistics

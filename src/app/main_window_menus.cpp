// MainWindow's menu bar: the items with their names, captions, access keys,
// shortcuts and check marks, connected to the window's handlers; the check
// marks follow the settings.
#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "app/main_window.h"
#include "app/main_window_texts.h"
#include "app/settings_model.h"

namespace pressory::app {
namespace {

QAction* addItem(QMenu* menu, const char* name, const QString& caption, QKeyCombination shortcut = {}) {
    QAction* a = menu->addAction(caption);
    a->setObjectName(QString::fromLatin1(name));
    if (shortcut != QKeyCombination()) a->setShortcut(QKeySequence(shortcut));
    return a;
}

// A menu of the menu bar or a submenu; the menu and its item share the name.
template <class Parent>
QMenu* addMenu(Parent* parent, const char* name, const QString& caption) {
    QMenu* m = parent->addMenu(caption);
    m->setObjectName(QString::fromLatin1(name));
    m->menuAction()->setObjectName(QString::fromLatin1(name));
    return m;
}

void addSeparator(QMenu* menu, const char* name) { menu->addSeparator()->setObjectName(QString::fromLatin1(name)); }

}  // namespace

void MainWindow::buildMenus() {
    QMenu* mnuFile = addMenu(menuBar(), "mnuFile", texts::kFile);
    connect(addItem(mnuFile, "mnuFileHistory", texts::kFileHistory, Qt::CTRL | Qt::Key_H), &QAction::triggered, this,
            &MainWindow::onMnuFileHistoryTriggered);
    connect(addItem(mnuFile, "mnuFileStatistics", texts::kFileStatistics, Qt::CTRL | Qt::Key_G), &QAction::triggered,
            this, &MainWindow::onMnuFileStatisticsTriggered);
    QMenu* maxRow = addMenu(mnuFile, "mnuFileMaxRow", texts::kFileMaxRow);
    for (int i = 1; i <= 6; ++i) {
        QAction* a = addItem(maxRow, "", texts::kFileMaxRowCount[i - 1]);
        a->setObjectName(QStringLiteral("mnuFileMaxRowCount(%1)").arg(i));
        a->setCheckable(true);
        mnuFileMaxRowCount_[static_cast<std::size_t>(i - 1)] = a;
    }
    connect(addItem(mnuFile, "mnuFileNoSaveReset", texts::kFileNoSaveReset, Qt::CTRL | Qt::Key_N), &QAction::triggered,
            this, &MainWindow::onMnuFileNoSaveResetTriggered);
    connect(addItem(mnuFile, "mnuFileSaveReset", texts::kFileSaveReset, Qt::CTRL | Qt::Key_S), &QAction::triggered,
            this, &MainWindow::onMnuFileSaveResetTriggered);
    buildActivityMenu(mnuFile);
    addSeparator(mnuFile, "mnulineF");
    connect(addItem(mnuFile, "mnuFileQuit", texts::kFileQuit, Qt::CTRL | Qt::Key_Q), &QAction::triggered, this,
            &QWidget::close);

    QMenu* mnuVision = addMenu(menuBar(), "mnuVision", texts::kVision);
    connect(addItem(mnuVision, "mnuVisionTop", texts::kVisionTop), &QAction::triggered, this,
            &MainWindow::onCmdResizeClicked);
    addSeparator(mnuVision, "mnulineV");
    connect(addItem(mnuVision, "mnuVisionKeyColor", texts::kVisionKeyColor), &QAction::triggered, this,
            &MainWindow::onMnuVisionKeyColorTriggered);
    connect(addItem(mnuVision, "mnuVisionFrmColor", texts::kVisionFrmColor), &QAction::triggered, this,
            &MainWindow::onMnuVisionFrmColorTriggered);
    mnuVisionPictureEnable_ = addItem(mnuVision, "mnuVisionPictureEnable", texts::kVisionPictureEnable);
    mnuVisionPictureEnable_->setCheckable(true);
    mnuVisionPictureEnable_->setChecked(false);
    connect(mnuVisionPictureEnable_, &QAction::triggered, this, &MainWindow::onMnuVisionPictureEnableTriggered);
    connect(addItem(mnuVision, "mnuVisionPicture", texts::kVisionPicture), &QAction::triggered, this,
            &MainWindow::onMnuVisionPictureTriggered);
    mnuVisionHeatMap_ = addItem(mnuVision, "mnuVisionHeatMap", texts::kVisionHeatMap);
    mnuVisionHeatMap_->setCheckable(true);
    mnuVisionHeatMap_->setChecked(false);

    QMenu* mnuSound = addMenu(menuBar(), "mnuSound", texts::kSound);
    mnuSoundEnable_ = addItem(mnuSound, "mnuSoundEnable", texts::kSoundEnable);
    mnuSoundEnable_->setCheckable(true);
    mnuSoundEnable_->setChecked(true);  // a click inverts it: the action toggles itself
    connect(addItem(mnuSound, "mnuSoundFile", texts::kSoundFile), &QAction::triggered, this,
            &MainWindow::onMnuSoundFileTriggered);

    QMenu* mnuHelp = addMenu(menuBar(), "mnuHelp", texts::kHelp);
    connect(addItem(mnuHelp, "mnuHelpHelp", texts::kHelpHelp), &QAction::triggered, this,
            &MainWindow::onMnuHelpHelpTriggered);
    addSeparator(mnuHelp, "mnulineH");
    connect(addItem(mnuHelp, "mnuHelpVersion", texts::kHelpVersion), &QAction::triggered, this,
            &MainWindow::onMnuHelpVersionTriggered);
}

// The pause, the export and the activity database's settings, above the File
// menu's Quit.
void MainWindow::buildActivityMenu(QMenu* mnuFile) {
    mnuFilePause_ = addItem(mnuFile, "mnuFilePause", texts::kFilePause, Qt::CTRL | Qt::Key_P);
    mnuFilePause_->setCheckable(true);
    QAction* exportItem = addItem(mnuFile, "mnuFileActivityExport", texts::kFileActivityExport);
    connect(exportItem, &QAction::triggered, this, &MainWindow::onMnuFileActivityExportTriggered);
    QMenu* activity = addMenu(mnuFile, "mnuFileActivity", texts::kFileActivity);
    mnuFileActivityPerApp_ = addItem(activity, "mnuFileActivityPerApp", texts::kFileActivityPerApp);
    mnuFileActivityPerApp_->setCheckable(true);
    connect(addItem(activity, "mnuFileActivityNever", texts::kFileActivityNever), &QAction::triggered, this,
            &MainWindow::onMnuFileActivityNeverTriggered);
    mnuFileActivityChord_ = addItem(activity, "mnuFileActivityChord", texts::kFileActivityChord);
    mnuFileActivityChord_->setCheckable(true);
    mnuFileActivityKeepPause_ = addItem(activity, "mnuFileActivityKeepPause", texts::kFileActivityKeepPause);
    mnuFileActivityKeepPause_->setCheckable(true);
}

void MainWindow::bindCheckMarks() {
    settings_->bindRowLimit(mnuFileMaxRowCount_);
    settings_->bindSwitch(mnuSoundEnable_, Setting::Sound);
    settings_->bindSwitch(mnuVisionPictureEnable_, Setting::Picture);
    settings_->bindSwitch(mnuVisionHeatMap_, Setting::HeatMap);
    settings_->bindSwitch(mnuFilePause_, Setting::Paused);
    settings_->bindSwitch(mnuFileActivityPerApp_, Setting::PerApp);
    settings_->bindSwitch(mnuFileActivityChord_, Setting::PauseChord);
    settings_->bindSwitch(mnuFileActivityKeepPause_, Setting::KeepPause);
}

}  // namespace pressory::app

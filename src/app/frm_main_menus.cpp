// frmMain's menu bar: the items with their names, captions, access keys,
// shortcuts and check marks, connected to the window's handlers.
#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "app/frm_main.h"
#include "app/frm_main_texts.h"

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

void frmMain::buildMenus() {
    mnuFile_ = addMenu(menuBar(), "mnuFile", texts::kFile);
    connect(addItem(mnuFile_, "mnuFileHistory", texts::kFileHistory, Qt::CTRL | Qt::Key_H), &QAction::triggered, this,
            &frmMain::onMnuFileHistoryTriggered);
    connect(addItem(mnuFile_, "mnuFileStatistics", texts::kFileStatistics, Qt::CTRL | Qt::Key_G), &QAction::triggered,
            this, &frmMain::onMnuFileStatisticsTriggered);
    QMenu* maxRow = addMenu(mnuFile_, "mnuFileMaxRow", texts::kFileMaxRow);
    for (int i = 1; i <= 6; ++i) {
        QAction* a = addItem(maxRow, "", texts::kFileMaxRowCount[i - 1]);
        a->setObjectName(QStringLiteral("mnuFileMaxRowCount(%1)").arg(i));
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, i] { onMnuFileMaxRowCountTriggered(i); });
        mnuFileMaxRowCount_[static_cast<std::size_t>(i)] = a;
    }
    connect(addItem(mnuFile_, "mnuFileNoSaveReset", texts::kFileNoSaveReset, Qt::CTRL | Qt::Key_N), &QAction::triggered,
            this, &frmMain::onMnuFileNoSaveResetTriggered);
    connect(addItem(mnuFile_, "mnuFileSaveReset", texts::kFileSaveReset, Qt::CTRL | Qt::Key_S), &QAction::triggered,
            this, &frmMain::onMnuFileSaveResetTriggered);
    addSeparator(mnuFile_, "mnulineF");
    connect(addItem(mnuFile_, "mnuFileQuit", texts::kFileQuit, Qt::CTRL | Qt::Key_Q), &QAction::triggered, this,
            &QWidget::close);

    mnuVision_ = addMenu(menuBar(), "mnuVision", texts::kVision);
    connect(addItem(mnuVision_, "mnuVisionTop", texts::kVisionTop), &QAction::triggered, this,
            &frmMain::onCmdResizeClicked);
    addSeparator(mnuVision_, "mnulineV");
    connect(addItem(mnuVision_, "mnuVisionKeyColor", texts::kVisionKeyColor), &QAction::triggered, this,
            &frmMain::onMnuVisionKeyColorTriggered);
    connect(addItem(mnuVision_, "mnuVisionFrmColor", texts::kVisionFrmColor), &QAction::triggered, this,
            &frmMain::onMnuVisionFrmColorTriggered);
    mnuVisionPictureEnable_ = addItem(mnuVision_, "mnuVisionPictureEnable", texts::kVisionPictureEnable);
    mnuVisionPictureEnable_->setCheckable(true);
    mnuVisionPictureEnable_->setChecked(false);
    connect(mnuVisionPictureEnable_, &QAction::triggered, this, &frmMain::onMnuVisionPictureEnableTriggered);
    connect(addItem(mnuVision_, "mnuVisionPicture", texts::kVisionPicture), &QAction::triggered, this,
            &frmMain::onMnuVisionPictureTriggered);
    mnuVisionHeatMap_ = addItem(mnuVision_, "mnuVisionHeatMap", texts::kVisionHeatMap);
    mnuVisionHeatMap_->setCheckable(true);
    mnuVisionHeatMap_->setChecked(false);
    connect(mnuVisionHeatMap_, &QAction::triggered, this, &frmMain::onMnuVisionHeatMapTriggered);

    mnuSound_ = addMenu(menuBar(), "mnuSound", texts::kSound);
    mnuSoundEnable_ = addItem(mnuSound_, "mnuSoundEnable", texts::kSoundEnable);
    mnuSoundEnable_->setCheckable(true);
    mnuSoundEnable_->setChecked(true);  // a click inverts it: the action toggles itself
    connect(addItem(mnuSound_, "mnuSoundFile", texts::kSoundFile), &QAction::triggered, this,
            &frmMain::onMnuSoundFileTriggered);

    mnuHelp_ = addMenu(menuBar(), "mnuHelp", texts::kHelp);
    connect(addItem(mnuHelp_, "mnuHelpHelp", texts::kHelpHelp), &QAction::triggered, this,
            &frmMain::onMnuHelpHelpTriggered);
    addSeparator(mnuHelp_, "mnulineH");
    connect(addItem(mnuHelp_, "mnuHelpVersion", texts::kHelpVersion), &QAction::triggered, this,
            &frmMain::onMnuHelpVersionTriggered);
}

}  // namespace pressory::app

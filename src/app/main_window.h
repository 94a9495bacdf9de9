// MainWindow: the program's main window. It carries the keyboard of count cells,
// the total, the mode button and the menu bar, and composes the helpers that
// each own one job: the key ticker (poller, timer pace, Timer1, the source's
// wake), the counts view (cells, total, heat tint), the mode switcher (the
// two modes' placement and frames), the notification area (hiding and
// restoring the window), the period commands (the order of save, reset and
// close) and the settings model its check marks follow. The window turns
// events into calls of these and shows the boxes their results call for.
#pragma once

#include <QDateTime>
#include <QMainWindow>
#include <QString>
#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "app/period_commands.h"
#include "app/period_recorder.h"
#include "counting/poller.h"
#include "platform/key_source.h"
#include "platform/sound_player.h"
#include "settings/settings.h"
#include "widgets/message_boxes.h"

class QAction;
class QLabel;
class QMenu;
class QPushButton;

namespace pressory::widgets {
class KeyboardWidget;
}  // namespace pressory::widgets
namespace pressory::appearance {
class BackgroundPicture;
class ColourChooser;
class PictureChooser;
}  // namespace pressory::appearance
namespace pressory::help {
class UrlOpener;
}  // namespace pressory::help
namespace pressory::platform {
class ForegroundApp;
}  // namespace pressory::platform

namespace pressory::app {

class ActivityRecorder;
class ClientArea;
class CountsView;
class KeySounds;
class KeyTicker;
class ModeSwitcher;
class NotifyArea;
class SettingsModel;
using platform::SoundPlayer;
using widgets::BoxIcon;
using widgets::MessageBoxes;

struct MainWindowContext {
    std::string programFolder;                         // the history file's folder
    std::string installFolder;                         // the program's own folder (readme); empty: programFolder
    std::string settingsPath;                          // Pressory.ini
    platform::PlatformKeySource* keySource = nullptr;  // null: nothing is counted
    MessageBoxes* boxes = nullptr;                     // required
    NotifyArea* notifyArea = nullptr;                  // required
    settings::SettingsRecord* settings = nullptr;      // required; owned by start-up
    SoundPlayer* soundPlayer = nullptr;                // null: no key sounds
    std::function<QDateTime()> now;                    // default: the local date and time
    // When the recovery file is next due: the clock (default: the steady
    // clock) and the least time between two writes.
    std::function<PeriodRecorder::Clock::time_point()> recoveryClock;
    std::chrono::milliseconds recoveryInterval = history::RecoveryWriteRule::kInterval;
    std::function<void()> quit;                            // default: QCoreApplication::quit
    appearance::ColourChooser* colourChooser = nullptr;    // null: the colour commands change nothing
    appearance::PictureChooser* pictureChooser = nullptr;  // null: the picture command does nothing
    help::UrlOpener* urlOpener = nullptr;                  // null: the readme cannot be shown
    // The activity database (PressoryActivity.db); empty: none, presses go nowhere.
    std::string activityPath;
    platform::ForegroundApp* foregroundApp = nullptr;  // null: every application unknown
    // The export's file, asked of the person; empty: cancelled. Default: Qt's save dialog.
    std::function<QString(QWidget* parent, const QString& suggested)> chooseExportPath;
    // The never-record list edited by the person (one name a line); false:
    // cancelled. Default: Qt's input dialog.
    std::function<bool(QWidget* parent, QString& lines)> editNeverApps;
};

class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(MainWindowContext context, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Creation: compact mode (shown for the first time), the notification
    // icon's handler, the poller's polled flags, and the timer, in this order.
    void load();
    // Start-up's settings on top of the created window: the check marks, the
    // blink and background colours, the picture and the heat tint follow the
    // settings from now on.
    void applySettings();

    // Runs the close sequence (once, whatever asks for it), then ends the
    // program unless it is already ending.
    void requestStop(CloseBy by);

    // The period's record, recovery file and settings, kept apart from the widgets.
    PeriodRecorder& recorder() { return *recorder_; }
    // The activity database's last write and its writer's end (the close, or
    // an exit the close sequence did not precede). Safe to call again.
    void finishActivity();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void buildMenus();      // main_window_menus.cpp
    void bindCheckMarks();  // main_window_menus.cpp
    // main_window_activity.cpp: the pause and the activity database's commands.
    void buildActivityMenu(QMenu* mnuFile);
    void bindActivity();
    void showPaused(bool paused);
    void onMnuFileActivityExportTriggered();
    void onMnuFileActivityNeverTriggered();

    void onCmdResizeClicked();
    void onModeChanged(bool compact);
    void onMnuFileHistoryTriggered();
    void onMnuFileStatisticsTriggered();
    void onMnuFileNoSaveResetTriggered();
    void onMnuFileSaveResetTriggered();
    void onMnuVisionKeyColorTriggered();
    void onMnuVisionFrmColorTriggered();
    void onMnuVisionPictureEnableTriggered();
    void onMnuVisionPictureTriggered();
    void onMnuHelpHelpTriggered();
    void onMnuHelpVersionTriggered();
    void onMnuSoundFileTriggered();

    void showBox(BoxIcon icon, const QString& text);
    void reportRecord(const history::WriteResult& result);
    // Which key source counts, as it names itself (empty: none, or nothing to tell).
    QString keySourceInUse() const;

    MainWindowContext ctx_;
    counting::Poller poller_;
    std::unique_ptr<PeriodRecorder> recorder_;
    SettingsModel* settings_ = nullptr;
    std::unique_ptr<KeySounds> sounds_;
    KeyTicker* ticker_ = nullptr;
    ModeSwitcher* modes_ = nullptr;
    std::unique_ptr<CountsView> counts_;
    std::unique_ptr<PeriodCommands> period_;
    std::unique_ptr<appearance::BackgroundPicture> picture_;
    ActivityRecorder* activity_ = nullptr;  // null without an activity database

    ClientArea* client_ = nullptr;
    widgets::KeyboardWidget* keyboard_ = nullptr;
    QPushButton* cmdResize_ = nullptr;
    QLabel* lblSummary_ = nullptr;

    std::array<QAction*, 6> mnuFileMaxRowCount_{};  // 1 to 6 rows
    QAction* mnuSoundEnable_ = nullptr;
    QAction* mnuVisionPictureEnable_ = nullptr;
    QAction* mnuVisionHeatMap_ = nullptr;
    QAction* mnuFilePause_ = nullptr;
    QAction* mnuFileActivityPerApp_ = nullptr;
    QAction* mnuFileActivityChord_ = nullptr;
    QAction* mnuFileActivityKeepPause_ = nullptr;
};

}  // namespace pressory::app

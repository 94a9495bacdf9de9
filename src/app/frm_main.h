// frmMain: the program's main window. It carries the keyboard of count cells,
// the total, the mode button and the menu bar; its timer runs the key poller;
// it switches between the compact and the full window, hides itself in the
// notification area when minimised, and runs the close sequence that records
// the history and writes the settings back. The rules it follows live in the
// core (poller, timer pace, history record, settings) and beside it
// (mode geometry); the window turns events into calls and shows the results.
#pragma once

#include <QDateTime>
#include <QMainWindow>
#include <QMargins>
#include <QRect>
#include <QString>
#include <QSystemTrayIcon>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/mode_geometry.h"
#include "app/period_recorder.h"
#include "counting/poller.h"
#include "counting/timer_pace.h"
#include "platform/key_source.h"
#include "platform/sound_player.h"
#include "settings/settings.h"
#include "statistics/heat_tint.h"
#include "widgets/message_boxes.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSocketNotifier;
class QTimer;

namespace pressory::widgets {
class CountCell;
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

namespace pressory::app {

class ClientArea;
class NotifyArea;
using platform::SoundPlayer;
using widgets::BoxIcon;
using widgets::CountCell;
using widgets::MessageBoxes;

// Who asked the program to end. Only a person can answer a message box; when
// the session ends or the system asks the program to stop, none is shown.
enum class CloseBy { Person, SessionEnd, Signal, ApplicationQuit };

struct FrmMainContext {
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
};

class frmMain final : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(FrmMainContext context, QWidget* parent = nullptr);
    ~frmMain() override;

    // Creation: compact mode (shown for the first time), the notification
    // icon's handler, the poller's polled flags, and the timer, in this order.
    void load();
    // Start-up's settings on top of the created window: row-limit check mark,
    // sound check mark, blink colour, background colour, picture check mark,
    // the picture itself and the heat tint's check mark.
    void applySettings();

    // Runs the close sequence (once, whatever asks for it), then ends the
    // program unless it is already ending.
    void requestStop(CloseBy by);
    bool closeSequenceDone() const { return closeState_ == CloseState::Done; }

    void onCmdResizeClicked();
    void onTimer1Timeout();
    void onNotifyIconActivated(QSystemTrayIcon::ActivationReason reason);

    // Controls, by the names the window gives them.
    widgets::KeyboardWidget* keyboard() const { return keyboard_; }
    CountCell* txtKey(int vk) const;
    QLabel* label1(int vk) const;
    CountCell* txtSummary() const { return txtSummary_; }
    QLabel* lblSummary() const { return lblSummary_; }
    QPushButton* cmdResize() const { return cmdResize_; }
    QLineEdit* txtFormPosiX() const { return geometryFields_.posiX; }
    QLineEdit* txtFormPosiY() const { return geometryFields_.posiY; }
    QLineEdit* txtFormSizeX() const { return geometryFields_.sizeX; }
    QLineEdit* txtFormSizeY() const { return geometryFields_.sizeY; }
    QTimer* timer1() const { return timer1_; }
    ClientArea* clientArea() const { return client_; }
    // A menu item by its name, e.g. "mnuFileQuit" or "mnuFileMaxRowCount(3)".
    QAction* menuItem(const QString& name) const;
    // The four top-level menus, in menu-bar order.
    std::array<QMenu*, 4> topMenus() const { return {mnuFile_, mnuVision_, mnuSound_, mnuHelp_}; }

    bool compactMode() const;
    std::int32_t blinkColour() const { return poller_.blinkColour(); }
    std::int32_t backColour() const;
    const Poller& poller() const { return poller_; }
    // The period's record, recovery file and settings, kept apart from the widgets.
    PeriodRecorder& recorder() { return *recorder_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    class KeySounds;
    enum class CloseState { NotRun, Running, Done };

    void buildControls();
    void buildMenus();  // frm_main_menus.cpp

    void onMnuFileHistoryTriggered();
    void onMnuFileStatisticsTriggered();
    void onMnuFileMaxRowCountTriggered(int index);
    void onMnuFileNoSaveResetTriggered();
    void onMnuFileSaveResetTriggered();
    void onMnuVisionKeyColorTriggered();
    void onMnuVisionFrmColorTriggered();
    void onMnuVisionPictureEnableTriggered();
    void onMnuVisionPictureTriggered();
    void onMnuVisionHeatMapTriggered();
    void onMnuHelpHelpTriggered();
    void onMnuHelpVersionTriggered();
    void onMnuSoundFileTriggered();
    void onKeysWakeActivated();

    void applyPace(const TimerPace::Step& step);
    void resetCounts();
    void showCounts();
    // Whether the cells show the heat tint: switched on, in full mode.
    bool heatShown() const;
    // The colour a counted cell shows now: the poller's, or its heat colour
    // while the key is up and the tint is shown.
    std::int32_t cellColourShown(int vk) const;
    // Every counted cell's colour again, the heat scale from the counts.
    void repaintCellColours();
    void checkRow(int index);

    void setMenusVisible(bool visible);
    void enterMode(bool compact, const QRect& outer);
    void placeOuter(const QRect& outer);
    void fitFrame();
    QMargins frameMargins() const;

    void runCloseSequence(CloseBy by);
    void syncSettingsRecord();
    void showBox(BoxIcon icon, const QString& text);
    void reportRecord(const history::WriteResult& result);

    FrmMainContext ctx_;
    Poller poller_;
    TimerPace pace_;
    std::unique_ptr<PeriodRecorder> recorder_;
    std::unique_ptr<KeySounds> sounds_;
    std::unique_ptr<appearance::BackgroundPicture> picture_;

    ClientArea* client_ = nullptr;
    widgets::KeyboardWidget* keyboard_ = nullptr;
    CountCell* txtSummary_ = nullptr;
    QLabel* lblSummary_ = nullptr;
    QPushButton* cmdResize_ = nullptr;
    GeometryFields geometryFields_;
    QTimer* timer1_ = nullptr;
    QSocketNotifier* keysWake_ = nullptr;
    bool compact_ = false;         // as the resize button's text says ("大": compact)
    bool sourceJustRead_ = false;  // a wake read the source and ticks at once: the tick reads nothing new

    QMenu* mnuFile_ = nullptr;
    QMenu* mnuVision_ = nullptr;
    QMenu* mnuSound_ = nullptr;
    QMenu* mnuHelp_ = nullptr;
    std::array<QAction*, 7> mnuFileMaxRowCount_{};  // indexes 1 to 6
    QAction* mnuSoundEnable_ = nullptr;
    QAction* mnuVisionPictureEnable_ = nullptr;
    QAction* mnuVisionHeatMap_ = nullptr;
    statistics::HeatTint heat_;

    // The outer rectangle the window was last placed at, and the frame
    // margins known then: when the window system frames the window later,
    // the client size is fitted again so that the outer size holds.
    QRect placedOuter_;
    QMargins placedMargins_;
    // The full window's size saved at load is its size as created, before
    // the window system added a frame; the frame is added once it is known.
    std::optional<QMargins> unframedLoadMargins_;

    CloseState closeState_ = CloseState::NotRun;
    bool quiet_ = false;  // no message boxes: nobody is there to answer them
};

}  // namespace pressory::app

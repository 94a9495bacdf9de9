// Start-up: one running copy per program folder, the settings record, the
// main window created and then given the settings, shown.
#include <QApplication>
#include <QGuiApplication>
#include <QSessionManager>
#include <QTimer>
#include <memory>

#include "app/frm_main.h"
#include "app/frm_main_texts.h"
#include "app/notify_area.h"
#include "app/single_instance.h"
#include "app/stop_signal_watcher.h"
#include "platform/app_folder.h"
#include "platform/key_source.h"
#include "platform/qt/qt_sound_player.h"
#include "settings/settings.h"
#include "sound/sound_paths.h"
#include "widgets/app_icon.h"
#include "widgets/message_boxes.h"

using namespace pressory;

int main(int argc, char* argv[]) {
    // The window repaints a few small boxes at every key press. On X11 the
    // shared-memory transfer of the window's image costs a round trip to the
    // server before each paint; sending the small changed piece over the
    // connection is cheaper (about 0.8 % of a core less at 20 presses a
    // second). A value set by the person is kept.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");
    QApplication app(argc, argv);
    app.setApplicationName(app::texts::kTitle);
    app.setQuitOnLastWindowClosed(false);   // the window hides in the notification area
    app.setWindowIcon(widgets::appIcon());
    widgets::QtMessageBoxes boxes;

    // A second copy is refused; the running one is left alone.
    const std::string appFolder = platform::applicationFolder();
    app::SingleInstance instance(app::SingleInstance::lockPathFor(QString::fromLocal8Bit(appFolder)));
    if (!instance.acquire()) {
        boxes.show(widgets::BoxIcon::Exclamation, app::texts::kAlreadyRunning);
        return 0;
    }
    // From here a termination request runs the close sequence from the event loop.
    app::StopSignalWatcher stopSignals;

    const std::string settingsPath = appFolder + settings::kFileName;
    settings::SettingsRecord record = settings::loadSettings(settingsPath);

    platform::KeySourceChoice keySource = platform::chooseKeySource(QGuiApplication::platformName().toStdString());
    app::QtNotifyArea notifyArea(widgets::appIcon(), app::notifyTip());

    app::FrmMainContext context;
    context.programFolder = platform::programFolder();
    context.settingsPath = settingsPath;
    context.keySource = keySource.source.get();
    context.boxes = &boxes;
    context.notifyArea = &notifyArea;
    context.settings = &record;
    // Key sounds: the table's files are loaded now, so that a press only starts playback.
    platform::qt::QtSoundPlayer soundPlayer;
    soundPlayer.preload(sound::pathsToLoad(record.soundPaths));
    context.soundPlayer = &soundPlayer;

    app::frmMain window(std::move(context));
    QObject::connect(&stopSignals, &app::StopSignalWatcher::stopRequested, &window,
                     [&window] { window.requestStop(app::CloseBy::Signal); });
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window, [&window](QSessionManager&) {
        window.requestStop(app::CloseBy::SessionEnd);
    });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &window,
                     [&window] { window.requestStop(app::CloseBy::ApplicationQuit); });

    window.load();
    window.applySettings();
    window.show();

    // Shown from the event loop, so that a stop request while it is open ends the program.
    if (!keySource.source) {
        QTimer::singleShot(0, &window, [&boxes, problem = QString::fromStdString(keySource.problem)] {
            boxes.show(widgets::BoxIcon::Critical, problem);
        });
    }
    return app.exec();
}

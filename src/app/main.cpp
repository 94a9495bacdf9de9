// Start-up: one running copy per program folder, the settings record, the
// main window created and then given the settings, shown.
#include <QApplication>
#include <QGuiApplication>
#include <QSessionManager>
#include <QStringList>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <memory>

#include "app/main_window.h"
#include "app/main_window_texts.h"
#include "app/notify_area.h"
#include "app/qt_translations.h"
#include "app/second_start.h"
#include "app/single_instance.h"
#include "app/stop_signal_watcher.h"
#include "appearance/colour_chooser.h"
#include "appearance/picture_chooser.h"
#include "counting/key_layout.h"
#include "help/readme.h"
#include "history/history_record.h"
#include "platform/app_folder.h"
#include "platform/file_access.h"
#include "platform/file_folder.h"
#include "platform/key_source.h"
#include "settings/profile_file.h"
#include "settings/settings.h"
#include "sound/sound_paths.h"
#include "sound/ui/qt_sound_player.h"
#include "widgets/app_icon.h"
#include "widgets/message_boxes.h"

using namespace pressory;

namespace {

// While it lives, an exit() of the process that the close sequence did not
// precede records the period quietly.
app::PeriodRecorder* exitRecorder = nullptr;

void finishAtExit() {
    if (exitRecorder != nullptr) exitRecorder->finishWithoutWindows(counting::layout::kSummaryCaption);
}

struct ExitGuard {
    explicit ExitGuard(app::PeriodRecorder& recorder) {
        static const bool registered = std::atexit(finishAtExit) == 0;
        (void)registered;
        exitRecorder = &recorder;
    }
    ~ExitGuard() { exitRecorder = nullptr; }
    ExitGuard(const ExitGuard&) = delete;
    ExitGuard& operator=(const ExitGuard&) = delete;
};

// The history file and the settings file, checked before a day of counting
// depends on them: one line pair per file that cannot be written.
QStringList writeProblems(const std::string& historyPath, const std::string& settingsPath) {
    QStringList problems;
    const platform::WriteCheck checks[] = {
        platform::checkWritable(historyPath, platform::WriteKind::AppendInPlace),
        platform::checkWritable(settingsPath, platform::WriteKind::ReplaceWhole),
    };
    for (const platform::WriteCheck& c : checks) {
        if (!c.ok)
            problems << QString::fromLocal8Bit(c.path) + app::texts::kCannotWriteSuffix + QLatin1Char('\n') +
                            QString::fromStdString(c.reason);
    }
    return problems;
}

}  // namespace

int main(int argc, char* argv[]) {
    // The window repaints a few small boxes at every key press. On X11 the
    // shared-memory transfer of the window's image costs a round trip to the
    // server before each paint; sending the small changed piece over the
    // connection is cheaper (about 0.8 % of a core less at 20 presses a
    // second). A value set by the person is kept.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");
    QApplication app(argc, argv);
    app.setApplicationName(app::texts::kTitle);
    app.setQuitOnLastWindowClosed(false);  // the window hides in the notification area
    app.setWindowIcon(widgets::appIcon());
    app::installQtTranslations(app);  // Qt's dialogs and buttons speak the program's language
    widgets::QtMessageBoxes boxes;

    // The files live beside the program unless it can never write there (a
    // full disk moves nothing), else in the per-user data folder (what lay
    // beside the program is carried over, and the person told once).
    const platform::FileFolderChoice files = platform::fileFolder({history::kFileName, settings::kFileName});

    // A second copy is refused; the running one is left alone. A lock that
    // cannot be made at all does not stop the start: it is reported below.
    app::SingleInstance instance(app::SingleInstance::lockPathFor(QString::fromLocal8Bit(files.folder)));
    const app::SingleInstance::Result lock = instance.acquire();
    if (lock.outcome == app::SingleInstance::Outcome::HeldByAnother) {
        app::askRunningCopyToShow(instance.path());  // its window comes forward; the box still tells why
        boxes.show(widgets::BoxIcon::Exclamation, instance.refusalText());
        return 0;
    }
    // Only the lock's holder answers a second start: without the lock
    // another copy may own the name.
    app::SecondStartListener secondStarts(instance.path());
    if (lock.outcome == app::SingleInstance::Outcome::Acquired) secondStarts.listen();
    // From here a termination request runs the close sequence from the event loop.
    app::StopSignalWatcher stopSignals;

    const std::string settingsPath = platform::pathIn(files.folder, settings::kFileName);
    settings::profile::removeStaleTemporary(settingsPath,
                                            &platform::isOwnFile);  // left by a settings write that was cut off
    settings::SettingsRecord record = settings::loadSettings(settingsPath);

    platform::KeySourceChoice keySource = platform::chooseKeySource(QGuiApplication::platformName().toStdString());
    app::QtNotifyArea notifyArea(widgets::appIcon(), app::notifyTip());

    app::MainWindowContext context;
    context.programFolder = files.folder;
    context.installFolder = platform::programFolder();
    context.settingsPath = settingsPath;
    context.keySource = keySource.source.get();
    context.boxes = &boxes;
    context.notifyArea = &notifyArea;
    context.settings = &record;
    appearance::QtColourChooser colourChooser;
    appearance::QtPictureChooser pictureChooser;
    help::DesktopUrlOpener urlOpener;
    context.colourChooser = &colourChooser;
    context.pictureChooser = &pictureChooser;
    context.urlOpener = &urlOpener;
    // Key sounds: the table's files are loaded now, so that a press only starts playback.
    sound::QtSoundPlayer soundPlayer;
    soundPlayer.preload(sound::pathsToLoad(record.soundPaths));
    context.soundPlayer = &soundPlayer;
    // A test knob, not a setting: PRESSORY_RECOVERY_INTERVAL_MS shortens the
    // least time between two writes of the recovery file (a minute), so that
    // a test can kill the program around those writes without waiting.
    if (const int ms = qEnvironmentVariableIntValue("PRESSORY_RECOVERY_INTERVAL_MS"); ms > 0)
        context.recoveryInterval = std::chrono::milliseconds(ms);

    app::MainWindow window(std::move(context));
    // The display can go away under the program (a logout without a session
    // manager, a crashed display server): the window system then ends the
    // process with exit(). The period is still recorded and the settings
    // written, from what the recorder keeps outside the windows.
    const ExitGuard exitGuard(window.recorder());

    // Periods that earlier runs could not record become records before
    // counting starts; then what waits and what cannot be written is told once.
    const QString recovered = QString::fromStdString(window.recorder().recoverLeftPeriod());
    QStringList startProblems = writeProblems(window.recorder().historyPath(), settingsPath);
    if (lock.outcome == app::SingleInstance::Outcome::Unavailable && startProblems.isEmpty())
        startProblems << instance.path() + app::texts::kCannotWriteSuffix + QLatin1Char('\n') + lock.reason;
    QObject::connect(&stopSignals, &app::StopSignalWatcher::stopRequested, &window,
                     [&window] { window.requestStop(app::CloseBy::Signal); });
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager&) { window.requestStop(app::CloseBy::SessionEnd); });
    QObject::connect(&secondStarts, &app::SecondStartListener::showRequested, &window,
                     [&notifyArea] { notifyArea.bringBack(); });
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
    if (!keySource.notice.empty()) {
        QTimer::singleShot(0, &window, [&boxes, notice = QString::fromStdString(keySource.notice)] {
            boxes.show(widgets::BoxIcon::Information, notice);
        });
    }
    if (files.moved) {
        QString notice = app::texts::kFilesMoved.arg(QString::fromLocal8Bit(files.folder));
        if (files.copied) notice += QLatin1Char('\n') + app::texts::kFilesCopied;
        QTimer::singleShot(0, &window, [&boxes, notice] { boxes.show(widgets::BoxIcon::Information, notice); });
    }
    if (!startProblems.isEmpty() || !recovered.isEmpty()) {
        QStringList told;
        if (!recovered.isEmpty()) told << recovered;
        if (!startProblems.isEmpty())
            told << startProblems.join(QStringLiteral("\n\n")) + QStringLiteral("\n\n") + app::texts::kCountsGoOn;
        QTimer::singleShot(0, &window, [&boxes, text = told.join(QStringLiteral("\n\n"))] {
            boxes.show(widgets::BoxIcon::Exclamation, text);
        });
    }
    return app.exec();
}

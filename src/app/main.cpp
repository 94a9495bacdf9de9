// Start-up: one running copy per program folder, the settings record, the
// main window created and then given the settings, shown.
#include <QApplication>
#include <QGuiApplication>
#include <QSessionManager>
#include <QStringList>
#include <QTimer>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "activity/store/activity_store.h"
#include "activity/store/activity_writer.h"
#include "app/main_window.h"
#include "app/main_window_texts.h"
#include "app/notify_area.h"
#include "app/qt_translations.h"
#include "app/second_start.h"
#include "app/single_instance.h"
#include "app/source_notice.h"
#include "app/stop_signal_watcher.h"
#include "appearance/colour_chooser.h"
#include "appearance/picture_chooser.h"
#include "counting/key_layout.h"
#include "help/readme.h"
#include "help/version.h"
#include "history/history_record.h"
#include "platform/app_folder.h"
#include "platform/file_access.h"
#include "platform/file_folder.h"
#include "platform/foreground_app.h"
#include "platform/key_source.h"
#if defined(__linux__)
#include "platform/environment.h"
#include "platform/linux/key_source_linux.h"
#endif
#include "settings/profile_file.h"
#include "settings/settings.h"
#include "sound/sound_paths.h"
#ifdef _WIN32
#include "platform/win32/sound_player_win32.h"
#else
#include "sound/ui/qt_sound_player.h"
#endif
#include "widgets/app_icon.h"
#include "widgets/message_boxes.h"

using namespace pressory;

namespace {

// While it lives, an exit() of the process that the close sequence did not
// precede records the period quietly.
app::PeriodRecorder* exitRecorder = nullptr;
app::MainWindow* exitWindow = nullptr;

void finishAtExit() {
    if (exitRecorder != nullptr) exitRecorder->finishWithoutWindows(counting::layout::kSummaryCaption);
    if (exitWindow != nullptr) exitWindow->finishActivity();
}

struct ExitGuard {
    explicit ExitGuard(app::MainWindow& window) {
        static const bool registered = std::atexit(finishAtExit) == 0;
        (void)registered;
        exitRecorder = &window.recorder();
        exitWindow = &window;
    }
    ~ExitGuard() {
        exitRecorder = nullptr;
        exitWindow = nullptr;
    }
    ExitGuard(const ExitGuard&) = delete;
    ExitGuard& operator=(const ExitGuard&) = delete;
};

// The history file and the settings file, checked before a day of counting
// depends on them: one line pair per file that cannot be written.
QStringList writeProblems(const std::string& historyPath, const std::string& settingsPath,
                          const std::string& activityPath) {
    QStringList problems;
    // The activity database is written in place, with its log and index beside it.
    const platform::WriteCheck checks[] = {
        platform::checkWritable(historyPath, platform::WriteKind::AppendInPlace),
        platform::checkWritable(settingsPath, platform::WriteKind::ReplaceWhole),
        platform::checkWritable(activityPath, platform::WriteKind::ReplaceWhole),
    };
    for (const platform::WriteCheck& c : checks) {
        if (!c.ok)
            problems << QString::fromLocal8Bit(c.path) + app::texts::kCannotWriteSuffix + QLatin1Char('\n') +
                            QString::fromStdString(c.reason);
    }
    return problems;
}

// The command line, answered before QApplication exists, so that it needs no
// display: --help and --version print and end; Qt's own options (-platform,
// -style, -session from the session manager...) are left to QApplication;
// any other option is refused with exit code 2.
constexpr const char* kUsage =
    "Usage: Pressory [OPTION]...\n"
    "Counts how often each key and mouse button is pressed, in any application, and appends\n"
    "a record of each working period to PressoryHistory.csv.\n"
    "\n"
    "  -h, --help                  show this help and exit\n"
    "  -V, --version               show the version and exit\n"
    "      --export-activity PATH  write the activity database's hourly counts to PATH as CSV\n"
    "                              (UTF-8 with BOM, CRLF) and exit, without a window\n"
    "\n"
    "Qt's options (-platform NAME, -style NAME, -display DISPLAY, ...) are accepted too.\n"
    "See pressory(1) for the files it writes.\n";

// What QCoreApplication, QGuiApplication, QApplication and the xcb platform
// take from the command line, with one dash or two, "-name value" or "-name=value".
constexpr std::string_view kQtOptions =
    " platform platformpluginpath platformtheme plugin qwindowgeometry qwindowicon qwindowtitle geometry icon title"
    " reverse session display name style stylesheet widgetcount testability qmljsdebugger nograb dograb sync visual ";

bool isQtOption(std::string_view arg) {
    arg.remove_prefix(arg.starts_with("--") ? 2 : 1);
    const std::string_view name = arg.substr(0, arg.find('='));
    if (name.empty() || name.find(' ') != std::string_view::npos) return false;
    // The list begins and ends with a space, so a match has a character on either side.
    for (std::size_t at = kQtOptions.find(name); at != std::string_view::npos; at = kQtOptions.find(name, at + 1)) {
        if (kQtOptions[at - 1] == ' ' && kQtOptions[at + name.size()] == ' ') return true;
    }
    return false;
}

// The files that go with the program's folder when it moves to the per-user
// one: the history, the settings, and the activity database with its
// write-ahead log (which holds what a killed program wrote last).
std::vector<std::string> carriedFiles() {
    const std::string database = activity::kDatabaseFileName;
    return {history::kFileName, settings::kFileName, database, database + "-wal"};
}

// --export-activity: the database of the folder the program would use, read
// without a window (while a running copy writes it too). 0 when written, 1
// with a message otherwise.
int exportActivity(const char* csvPath) {
    const platform::FileFolderChoice files = platform::fileFolder(carriedFiles());
    const std::string database = platform::pathIn(files.folder, activity::kDatabaseFileName);
    std::string reason;
    if (!activity::exportActivity(database, csvPath, &platform::replaceWhole, reason)) {
        std::fprintf(stderr, "Pressory: the activity data could not be exported: %s\n", reason.c_str());
        return 1;
    }
    return 0;
}

// 0, 1 or 2 when the command line is answered without running, -1 to run.
int answerCommandLine(int argc, char* argv[]) {
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--export-activity") {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                std::fprintf(stderr, "Pressory: --export-activity needs a file name\n%s", kUsage);
                return 2;
            }
            return exportActivity(argv[i + 1]);
        }
        if (arg.starts_with("--export-activity=")) {
            if (arg.size() == std::strlen("--export-activity=")) {
                std::fprintf(stderr, "Pressory: --export-activity needs a file name\n%s", kUsage);
                return 2;
            }
            return exportActivity(argv[i] + std::strlen("--export-activity="));
        }
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "-V" || arg == "--version") {
            std::printf("Pressory %d.%d.%d\n", help::version::kMajor, help::version::kMinor, help::version::kRevision);
            return 0;
        }
        if (arg.size() > 1 && arg[0] == '-' && !isQtOption(arg)) {
            std::fprintf(stderr, "Pressory: unknown option %s\n%s", argv[i], kUsage);
            return 2;
        }
    }
    return -1;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (const int answered = answerCommandLine(argc, argv); answered >= 0) return answered;
    // The window repaints a few small boxes at every key press. On X11 the
    // shared-memory transfer of the window's image costs a round trip to the
    // server before each paint; sending the small changed piece over the
    // connection is cheaper (about 0.8 % of a core less at 20 presses a
    // second). A value set by the person is kept.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");
#if defined(__linux__)
    // In a Wayland session the window runs on XWayland, where it can place
    // itself and stay on top; Wayland when there is no X server, or when the
    // person chose a platform.
    if (const std::string platform = platform::windowPlatformFor(platform::processEnvironment()); !platform.empty())
        qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(platform));
#endif
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.Pressory"));  // the menu entry's name
    app.setApplicationName(app::texts::kTitle);
    app.setQuitOnLastWindowClosed(false);  // the window hides in the notification area
    app.setWindowIcon(widgets::appIcon());
    app::installQtTranslations(app);  // Qt's dialogs and buttons speak the program's language
    widgets::QtMessageBoxes boxes;

    // The files live beside the program unless it can never write there (a
    // full disk moves nothing), else in the per-user data folder (what lay
    // beside the program is carried over, and the person told once).
    const platform::FileFolderChoice files = platform::fileFolder(carriedFiles());

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
    // Every key and button by its name, per hour and application, beside the history.
    const std::string activityPath = platform::pathIn(files.folder, activity::kDatabaseFileName);
    context.activityPath = activityPath;
    // The focused application, read when the focus changes; none where the
    // session cannot tell it (every press is then recorded under the unknown
    // application).
    const std::unique_ptr<platform::ForegroundApp> foregroundApp = platform::makeForegroundApp();
    context.foregroundApp = foregroundApp.get();
    // Key sounds: the table's files are loaded now, so that a press only starts playback.
#ifdef _WIN32
    platform::win32::Win32SoundPlayer soundPlayer;  // the system's player: Qt Multimedia is not shipped there
#else
    sound::QtSoundPlayer soundPlayer;
#endif
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
    const ExitGuard exitGuard(window);

    // Periods that earlier runs could not record become records before
    // counting starts; then what waits and what cannot be written is told once.
    const QString recovered = QString::fromStdString(window.recorder().recoverLeftPeriod());
    QStringList startProblems = writeProblems(window.recorder().historyPath(), settingsPath, activityPath);
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

    // Shown from the event loop, without waiting for an answer, so that a
    // stop request while it is open ends the program. A problem (nothing is
    // counted) at every start; a notice when the situation differs from the
    // one told last.
    const bool problem = !keySource.problem.empty();
    const std::string& told = problem ? keySource.problem : keySource.notice;
    const bool tell = app::tellSituation(platform::pathIn(files.folder, app::kToldSituationFileName),
                                         keySource.situation, !told.empty());
    if (problem || tell) {
        const QString helper = keySource.canOfferDevices ? app::inputAccessHelper() : QString();
        QTimer::singleShot(0, &window,
                           [problem, helper, text = app::keySourceNoticeText(told, keySource.canOfferDevices, helper)] {
                               app::showKeySourceNotice(problem, text, helper);
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

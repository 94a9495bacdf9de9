// The program's pieces around the main window: colour values, the twip
// scale, the single-copy lock, the termination requests, and the helpers the
// main window composes (key ticker, mode switcher, notification area,
// settings model), each without the window.
#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QMainWindow>
#include <QMenuBar>
#include <QProcess>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

#include "app/key_ticker.h"
#include "app/mode_switcher.h"
#include "app/notify_area.h"
#include "app/settings_model.h"
#include "app/single_instance.h"
#include "app/source_notice.h"
#include "app/stop_signal_watcher.h"
#include "counting/poller.h"
#include "platform/boot_time.h"
#include "support/scripted_key_state.h"
#include "support/unprivileged.h"
#include "support/window_fakes.h"
#include "widgets/colour_value.h"
#include "widgets/twips.h"

using namespace pressory;
using namespace pressory::app;
using namespace pressory::widgets;

namespace {
// Run as a child: take the lock and end without releasing it, as a crash would.
constexpr char kHoldLockVariable[] = "PRESSORY_TEST_HOLD_LOCK_THEN_DIE";
// Run as a child: try the lock of the given folder and exit with the outcome.
constexpr char kTryLockVariable[] = "PRESSORY_TEST_TRY_LOCK";

// A lock file as QLockFile writes it (process id, program name, host name,
// machine id, boot id), last written at `written`.
bool writeLock(const QString& path, qint64 pid, const QString& appName, const QString& host,
               const QByteArray& machineId, const QByteArray& bootId, const QDateTime& written) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    f.write(QByteArray::number(pid) + '\n' + appName.toUtf8() + '\n' + host.toUtf8() + '\n' + machineId + '\n' +
            bootId + '\n');
    return f.flush() && f.setFileTime(written, QFileDevice::FileModificationTime);
}

// A key ticker on a scripted source whose wake handle is one end of a socket
// pair: a byte sent to the other end is an event the source has received.
struct TickerRig {
    int sockets[2] = {-1, -1};
    platform::ScriptedKeyState keys;
    test::ScriptedKeySource source{keys};
    counting::Poller poller;
    std::unique_ptr<KeyTicker> ticker;
    QElapsedTimer clock;
    QList<qint64> tickTimes;  // when each tick read the keys
    int pumps = 0;
    QList<int> painted;    // the cells reported as changed, tick after tick
    qint64 writeDue = -1;  // a pending write at this time of `clock` (-1: none)

    TickerRig() {
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, sockets) != 0) qFatal("no socket pair");
        source.wake = sockets[0];
        clock.start();
        source.onRead = [this](int vk) {
            if (vk == 65) tickTimes.append(clock.elapsed());
        };
        source.onPump = [this] {  // the source reads what has arrived
            ++pumps;
            char buffer[64];
            while (::recv(sockets[0], buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
            }
        };
        ticker = std::make_unique<KeyTicker>(&source, poller, nullptr, nullptr);
        ticker->setPainter([this](std::span<const counting::CellChange> changes, bool) {
            for (const counting::CellChange& c : changes) painted.append(c.vk);
        });
        ticker->setAfterTick(
            [this](bool) { return writeDue < 0 ? -1 : std::max<qint64>(0, writeDue - clock.elapsed()); });
    }
    ~TickerRig() {
        ticker.reset();
        ::close(sockets[0]);
        ::close(sockets[1]);
    }
    void send() const { QCOMPARE(::send(sockets[1], "x", 1, 0), 1); }
    QTimer* timer() const { return ticker->findChild<QTimer*>(QStringLiteral("Timer1")); }
};

bool topmost(const QWidget& w) { return w.windowFlags().testFlag(Qt::WindowStaysOnTopHint); }
}  // namespace

class TestAppPieces : public QObject {
    Q_OBJECT
private slots:
    void plainColours();
    void systemColoursFollowThePalette();
    void twipScale();
    void secondCopyIsRefused();
    void lockLiesWithTheFilesNotInTheTemporaryFolder();
    void aLockThatCannotBeMadeIsNotARunningCopy();
    void lockOfACopyThatDiedIsTakenOver();
    void lockOfThisMachineFromBeforeItsStartIsTakenOver();
    void lockOfAnotherMachineIsTakenOverOnlyWhenNothingHoldsIt();
    void aFolderInTheLockPlaceLetsTheProgramRun();
    void theKeySourceNoticeIsToldOncePerSituation();
    void terminationRequestsReachTheEventLoop();
    void tickerFollowsTheKeySourcesEvents();
    void aWakeReadsTheSourceOnceATimedTickReadsItAgain();
    void theWatchFollowsTheHandleTheSourceNamesAfterASwitch();
    void modeSwitcherKeepsTheOtherModesPlace();
    void notifyAreaHidesTheMinimisedWindowUntilTheClose();
    void settingsModelTellsEveryChangeOnce();
};

void TestAppPieces::plainColours() {
    const QPalette pal;
    QCOMPARE(colourOf(0x00FFC0C0, pal), QColor(192, 192, 255));
    QCOMPARE(colourOf(255, pal), QColor(255, 0, 0));
    QCOMPARE(colourOf(0x00112233, pal), QColor(0x33, 0x22, 0x11));
    QCOMPARE(colourOf(0, pal), QColor(0, 0, 0));
}

void TestAppPieces::systemColoursFollowThePalette() {
    QPalette pal;
    pal.setColor(QPalette::Base, QColor(1, 2, 3));
    pal.setColor(QPalette::Text, QColor(4, 5, 6));
    pal.setColor(QPalette::Button, QColor(7, 8, 9));
    pal.setColor(QPalette::Highlight, QColor(10, 11, 12));
    QCOMPARE(colourOf(static_cast<std::int32_t>(0x80000005u), pal), QColor(1, 2, 3));
    QCOMPARE(colourOf(static_cast<std::int32_t>(0x80000008u), pal), QColor(4, 5, 6));
    QCOMPARE(colourOf(static_cast<std::int32_t>(0x8000000Fu), pal), QColor(7, 8, 9));
    QCOMPARE(colourOf(static_cast<std::int32_t>(0x8000000Du), pal), QColor(10, 11, 12));
    // A reference is never read as red, green and blue bytes.
    QVERIFY(colourOf(static_cast<std::int32_t>(0x80000005u), pal) != QColor(5, 0, 0));
}

void TestAppPieces::twipScale() {
    const TwipScale at96(96, 96);
    QCOMPARE(at96.rect({9360, 4320, 550, 300}), QRect(624, 288, 37, 20));
    QCOMPARE(at96.line({120, 1650, 11280, 1650}), QLine(8, 110, 752, 110));
    const TwipScale at144(144, 120);
    QCOMPARE(at144.x(550), 55);
    QCOMPARE(at144.y(300), 25);
}

void TestAppPieces::secondCopyIsRefused() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("copy.lock"));
    {
        SingleInstance first(path);
        const SingleInstance::Result got = first.acquire();
        QCOMPARE(got.outcome, SingleInstance::Outcome::Acquired);
        QVERIFY(bool(got));
        SingleInstance second(path);
        const SingleInstance::Result refused = second.acquire();
        QCOMPARE(refused.outcome, SingleInstance::Outcome::HeldByAnother);
        QVERIFY(!refused);
    }
    SingleInstance afterEnd(path);
    QCOMPARE(afterEnd.acquire().outcome, SingleInstance::Outcome::Acquired);
}

// The lock lies with the files, whatever the temporary folder: a copy started
// with another TMPDIR on the same folder is refused.
void TestAppPieces::lockLiesWithTheFilesNotInTheTemporaryFolder() {
    QTemporaryDir files, tmpA, tmpB;
    QCOMPARE(SingleInstance::lockPathFor(files.path()), files.path() + QStringLiteral("/Pressory.lock"));
    QCOMPARE(SingleInstance::lockPathFor(files.path() + QLatin1Char('/')),
             files.path() + QStringLiteral("/Pressory.lock"));

    const QByteArray savedTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(tmpA.path()));
    SingleInstance first(SingleInstance::lockPathFor(files.path()));
    QCOMPARE(first.acquire().outcome, SingleInstance::Outcome::Acquired);
    if (savedTmp.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", savedTmp);

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kTryLockVariable), files.path());
    env.insert(QStringLiteral("TMPDIR"), tmpB.path());
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitCode(), int(SingleInstance::Outcome::HeldByAnother));
}

// A folder where no lock file can be made (read-only) does not count as a
// running copy: the program may start, and is told why.
void TestAppPieces::aLockThatCannotBeMadeIsNotARunningCopy() {
    QTemporaryDir files;
    QVERIFY(QFile::setPermissions(files.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                                    QFileDevice::ReadGroup | QFileDevice::ExeGroup |
                                                    QFileDevice::ReadOther | QFileDevice::ExeOther));
    const QString path = SingleInstance::lockPathFor(files.path());
    // Run where permissions apply (as nobody when the tests run as root).
    const auto out = pressory::test::runUnprivileged([&] {
        SingleInstance instance(path);
        const SingleInstance::Result r = instance.acquire();
        return std::to_string(int(r.outcome)) + "|" + r.reason.toStdString() + "|" + (r ? "runs" : "refused");
    });
    QFile::setPermissions(files.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QVERIFY(out.has_value());
    QCOMPARE(QString::fromStdString(*out),
             QStringLiteral("%1|アクセスが拒否されました。|runs").arg(int(SingleInstance::Outcome::Unavailable)));

    // A folder that is not there at all: also not a running copy.
    SingleInstance nowhere(SingleInstance::lockPathFor(files.filePath(QStringLiteral("gone"))));
    const SingleInstance::Result r = nowhere.acquire();
    QCOMPARE(r.outcome, SingleInstance::Outcome::Unavailable);
    QCOMPARE(r.reason, QStringLiteral("フォルダーが見つかりません。"));
}

void TestAppPieces::lockOfACopyThatDiedIsTakenOver() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("died.lock"));
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kHoldLockVariable), path);
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitCode(), 0);
    QVERIFY(QFile::exists(path));  // left behind
    SingleInstance next(path);
    QCOMPARE(next.acquire().outcome, SingleInstance::Outcome::Acquired);
}

// A lock without a boot id (as Windows writes them) of a process that looks
// alive: held while it was written since the machine started, taken over
// when it is older than that start.
void TestAppPieces::lockOfThisMachineFromBeforeItsStartIsTakenOver() {
    QTemporaryDir dir;
    const QString path = SingleInstance::lockPathFor(dir.path());
    const std::optional<std::int64_t> booted = platform::bootTime();
    QVERIFY(booted.has_value());
    QVERIFY(*booted <= QDateTime::currentSecsSinceEpoch());
    const auto lockOfThisProcess = [&](const QDateTime& written) {
        return writeLock(path, QCoreApplication::applicationPid(),
                         QFileInfo(QCoreApplication::applicationFilePath()).fileName(), QSysInfo::machineHostName(),
                         QSysInfo::machineUniqueId(), {}, written);
    };

    QVERIFY(lockOfThisProcess(QDateTime::fromSecsSinceEpoch(*booted + 60)));
    {
        SingleInstance since(path);
        QCOMPARE(since.acquire().outcome, SingleInstance::Outcome::HeldByAnother);
    }
    QVERIFY(lockOfThisProcess(QDateTime::fromSecsSinceEpoch(*booted - 3600)));
    SingleInstance next(path);
    QCOMPARE(next.acquire().outcome, SingleInstance::Outcome::Acquired);
}

// Another machine's copy holds the system's lock on its lock file while it
// runs (over a network share too); a lock file it left by a crash, or on a
// USB stick brought here, holds none and is taken over. While held, the
// refusal says which file to remove. A machine of the same name with another
// machine id is another machine.
void TestAppPieces::lockOfAnotherMachineIsTakenOverOnlyWhenNothingHoldsIt() {
    QTemporaryDir dir;
    const QString path = SingleInstance::lockPathFor(dir.path());
    const QByteArray otherId = QSysInfo::machineUniqueId() + "-other";
    for (const QString& host : {QStringLiteral("another-host"), QSysInfo::machineHostName()}) {
        {
            // A running copy's lock, as the other machine wrote it.
            QLockFile running(path);
            QVERIFY(running.tryLock(0));
            QVERIFY(writeLock(path, 4242, QStringLiteral("Pressory"), host, otherId, "other-boot",
                              QDateTime::currentDateTime()));
            SingleInstance instance(path);
            const SingleInstance::Result r = instance.acquire();
            QCOMPARE(r.outcome, SingleInstance::Outcome::HeldByAnother);
            QVERIFY(QFile::exists(path));
            QCOMPARE(
                instance.refusalText(),
                QStringLiteral("既に起動しています。\n別の Pressory が動いていないときは、次のファイルを削除してから"
                               "起動してください:\n") +
                    QDir::toNativeSeparators(path));
            QFile::remove(path);  // as if its copy had crashed, leaving the file below
        }
        QVERIFY(writeLock(path, 4242, QStringLiteral("Pressory"), host, otherId, "other-boot",
                          QDateTime::currentDateTime()));
        SingleInstance next(path);
        QCOMPARE(next.acquire().outcome, SingleInstance::Outcome::Acquired);
    }
}

// A folder (or a link to nothing) where the lock file belongs is no running
// copy: the lock cannot be made, and the program runs.
void TestAppPieces::theKeySourceNoticeIsToldOncePerSituation() {
    QTemporaryDir dir;
    const std::string path = dir.filePath(QString::fromLatin1(kToldSituationFileName)).toStdString();
    // A desktop where nothing needs telling leaves no file behind.
    QVERIFY(!tellSituation(path, "X11", false));
    QVERIFY(!QFile::exists(QString::fromStdString(path)));
    // Told at the first start in a Wayland session, not at the next.
    QVERIFY(tellSituation(path, "X11 in Wayland", true));
    QVERIFY(!tellSituation(path, "X11 in Wayland", true));
    QVERIFY(!tellSituation(path, "X11 in Wayland", true));
    // Back on an X11 session, then Wayland again: told again.
    QVERIFY(!tellSituation(path, "X11", false));
    QVERIFY(tellSituation(path, "X11 in Wayland", true));
    // Another situation with something to tell is told at once.
    QVERIFY(tellSituation(path, "X11 in Wayland, Wayland window", true));
    // A file that cannot be written: told every time rather than never.
    const std::string inFolder = dir.filePath(QStringLiteral("folder")).toStdString();
    QVERIFY(QDir().mkpath(QString::fromStdString(inFolder)));
    QVERIFY(tellSituation(inFolder, "none", true));
    QVERIFY(tellSituation(inFolder, "none", true));
}

void TestAppPieces::aFolderInTheLockPlaceLetsTheProgramRun() {
    QTemporaryDir dir;
    const QString path = SingleInstance::lockPathFor(dir.path());
    QVERIFY(QDir().mkpath(path));
    SingleInstance instance(path);
    const SingleInstance::Result r = instance.acquire();
    QCOMPARE(r.outcome, SingleInstance::Outcome::Unavailable);
    QVERIFY(bool(r));
    QCOMPARE(r.reason, QStringLiteral("ファイルではなくフォルダーです。"));

    QVERIFY(QDir(path).removeRecursively());
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("nothing")), path));
    SingleInstance linked(path);
    QCOMPARE(linked.acquire().outcome, SingleInstance::Outcome::Unavailable);
}

void TestAppPieces::terminationRequestsReachTheEventLoop() {
    StopSignalWatcher watcher;
    QVERIFY(watcher.active());
    QSignalSpy spy(&watcher, &StopSignalWatcher::stopRequested);
    for (int s : {SIGTERM, SIGINT, SIGHUP}) {
        std::raise(s);  // handled: the test goes on
        QTRY_COMPARE(spy.size(), 1);
        QCOMPARE(spy.takeFirst().at(0).toInt(), s);
    }
}

// With a source that wakes the program, a tick runs when it has delivered
// something, at most once per 10 ms, and when a tapped key's cell is to go
// back to the up colour while the keys are shown; else the timer stands.
void TestAppPieces::tickerFollowsTheKeySourcesEvents() {
    TickerRig r;
    r.keys.down(66);  // held since before the start: the first tick finds it
    r.ticker->start();
    QVERIFY(r.timer()->isSingleShot());
    QTRY_COMPARE_WITH_TIMEOUT(r.poller.count(66), 1, 500);
    QTRY_VERIFY_WITH_TIMEOUT(!r.timer()->isActive(), 500);
    QCOMPARE(r.painted, QList<int>{66});

    // Held, and nothing arrives: no tick at all, the cell keeps its colour.
    const qsizetype ticksWhileHeld = r.tickTimes.size();
    QTest::qWait(150);
    QCOMPARE(r.tickTimes.size(), ticksWhileHeld);
    QVERIFY(!r.timer()->isActive());
    QCOMPARE(r.poller.cellColour(66), 255);

    // The release arrives: its tick paints the up colour.
    r.keys.up(66);
    r.send();
    QTRY_COMPARE_WITH_TIMEOUT(r.poller.cellColour(66), counting::colour::kUp, 300);
    QCOMPARE(r.tickTimes.size(), ticksWhileHeld + 1);
    QCOMPARE(r.painted, (QList<int>{66, 66}));

    // Keys not shown: the source is told, and a tap asks for no tick to
    // paint its cell's return to the up colour.
    r.ticker->setKeysShown(false);
    QVERIFY(!r.source.keysShown);
    const qsizetype beforeTap = r.tickTimes.size();
    r.keys.tap(65);
    r.send();
    QTRY_COMPARE_WITH_TIMEOUT(r.poller.count(65), 1, 300);
    QTest::qWait(50);
    QCOMPARE(r.tickTimes.size(), beforeTap + 1);

    // Shown again: the source is told, and a tick shows the keys at once. A
    // tap that is over before its tick blinks, and goes back to the up
    // colour 10 ms later without any further event.
    const qsizetype beforeShown = r.tickTimes.size();
    r.ticker->setKeysShown(true);
    QVERIFY(r.source.keysShown);
    QTRY_COMPARE_WITH_TIMEOUT(r.tickTimes.size(), beforeShown + 1, 300);
    r.writeDue = r.clock.elapsed() + 60'000;
    r.keys.tap(65);
    r.send();
    QTRY_COMPARE_WITH_TIMEOUT(r.poller.count(65), 2, 300);
    QTRY_COMPARE_WITH_TIMEOUT(r.poller.cellColour(65), counting::colour::kUp, 300);
    // The one timed tick left is the one the pending write asked for.
    QVERIFY(r.timer()->isActive());
    QVERIFY2(r.timer()->remainingTime() > 50'000, qPrintable(QString::number(r.timer()->remainingTime())));

    // A stream of events every millisecond: at most one tick per 10 ms.
    const qsizetype before = r.tickTimes.size();
    QElapsedTimer streamTime;
    streamTime.start();
    while (streamTime.elapsed() < 200) {
        r.send();
        QTest::qWait(1);
    }
    QTest::qWait(30);
    const QList<qint64> streamed = r.tickTimes.mid(before);
    QVERIFY2(streamed.size() >= 2, qPrintable(QString::number(streamed.size())));
    for (qsizetype i = 1; i < streamed.size(); ++i)
        QVERIFY2(streamed[i] - streamed[i - 1] >= 9,
                 qPrintable(QStringLiteral("ticks %1 ms apart").arg(streamed[i] - streamed[i - 1])));

    // The close reads the source once more, whatever the pace; then nothing ticks.
    r.keys.tap(66);
    r.ticker->readLast();
    QCOMPARE(r.poller.count(66), 2);
    r.ticker->stop();
    const qsizetype afterStop = r.tickTimes.size();
    r.send();
    QTest::qWait(30);
    QCOMPARE(r.tickTimes.size(), afterStop);
}

// The wake reads the source and its tick runs at once on what was read,
// without reading again; a tick the timer brings reads the source itself.
void TestAppPieces::aWakeReadsTheSourceOnceATimedTickReadsItAgain() {
    TickerRig r;
    r.ticker->start();
    QTRY_VERIFY_WITH_TIMEOUT(!r.timer()->isActive(), 500);
    QTest::qWait(20);  // the next event is more than a tick after the last one
    r.pumps = 0;
    r.tickTimes.clear();
    r.keys.down(65);
    r.send();
    QTRY_COMPARE_WITH_TIMEOUT(r.poller.count(65), 1, 300);
    QCOMPARE(r.tickTimes.size(), 1);
    QCOMPARE(r.pumps, 1);

    // A tick of the timer (a tap's return, a pending write) reads what has
    // arrived meanwhile, even though no wake has read it yet.
    QMetaObject::invokeMethod(r.timer(), "timeout");
    QCOMPARE(r.pumps, 2);
    QCOMPARE(r.tickTimes.size(), 2);
}

// A source may wake the program through another handle once the keys are
// shown or hidden: the ticker watches that one from then on.
void TestAppPieces::theWatchFollowsTheHandleTheSourceNamesAfterASwitch() {
    TickerRig r;
    int other[2] = {-1, -1};
    QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM, 0, other), 0);
    r.source.onPump = [&r, &other] {
        char buffer[64];
        for (int s : {r.sockets[0], other[0]})
            while (::recv(s, buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
            }
    };
    r.ticker->start();
    QTRY_VERIFY_WITH_TIMEOUT(!r.timer()->isActive(), 500);
    r.source.wake = other[0];
    r.ticker->setKeysShown(false);
    QTRY_VERIFY_WITH_TIMEOUT(!r.timer()->isActive(), 500);
    QTest::qWait(20);
    r.keys.down(65);
    QCOMPARE(::send(other[1], "x", 1, 0), 1);
    QTRY_COMPARE_WITH_TIMEOUT(r.poller.count(65), 1, 300);
    r.ticker.reset();
    ::close(other[0]);
    ::close(other[1]);
}

// The window is placed at the rectangle the other mode left and keeps the
// one it leaves, as 16-bit values.
void TestAppPieces::modeSwitcherKeepsTheOtherModesPlace() {
    QMainWindow w;
    w.menuBar()->addMenu(QStringLiteral("File"))->addAction(QStringLiteral("Quit"));
    w.resize(400, 300);
    auto* modes = new ModeSwitcher(&w);
    QSignalSpy changes(modes, &ModeSwitcher::modeChanged);
    const QRect asCreated = w.frameGeometry();
    modes->start(QRect(0, 0, 1024, 768));
    QVERIFY(modes->compact());
    QCOMPARE(changes.size(), 1);
    QCOMPARE(changes.takeFirst().at(0).toBool(), true);
    QCOMPARE(w.frameGeometry(), QRect(10, 648, 140, 70));
    QVERIFY(topmost(w));
    QVERIFY(w.menuBar()->isHidden());
    QCOMPARE(modes->otherModeRect().topLeft(), asCreated.topLeft());

    w.move(40'000, -40'000);  // beyond what 16 bits hold
    modes->toggle();
    QVERIFY(!modes->compact());
    QCOMPARE(changes.takeFirst().at(0).toBool(), false);
    QVERIFY(!topmost(w));
    QVERIFY(!w.menuBar()->isHidden());
    QCOMPARE(w.frameGeometry().topLeft(), asCreated.topLeft());
    QCOMPARE(modes->otherModeRect(), QRect(32'767, -32'768, 140, 70));
    modes->toggle();
    QCOMPARE(w.frameGeometry(), QRect(32'767, -32'768, 140, 70));
}

// Minimised, the window hides behind the icon, unless the close has begun;
// the icon's restoring click brings it back and the icon goes.
void TestAppPieces::notifyAreaHidesTheMinimisedWindowUntilTheClose() {
    QWidget w;
    w.show();
    test::FakeNotifyArea tray;
    bool closing = false;
    tray.hideOnMinimise(&w, [&] { return !closing; });
    w.showMinimized();
    QTRY_VERIFY(!w.isVisible());
    QVERIFY(tray.iconShown);
    tray.handler(QSystemTrayIcon::Trigger);  // a left click: only a host without double-clicks restores on it
    QVERIFY(!w.isVisible());
    tray.handler(QSystemTrayIcon::DoubleClick);
    QVERIFY(w.isVisible());
    QVERIFY(!w.isMinimized());
    QVERIFY(!tray.iconShown);

    closing = true;
    w.showMinimized();
    QTest::qWait(50);
    QVERIFY(w.isVisible());
    QCOMPARE(tray.adds, 1);
}

// The check marks and the record follow one another; a value that does not
// change is not told; switches read -1 or 0 as the close writes them.
void TestAppPieces::settingsModelTellsEveryChangeOnce() {
    settings::SettingsRecord record;
    record.soundEnable = 1;
    record.heatMap = 7;
    record.fileHistoryMaxRow = 2;
    SettingsModel model(record, nullptr);
    QCOMPARE(record.soundEnable, -1);
    QCOMPARE(record.heatMap, -1);
    QCOMPARE(record.pictureEnable, 0);
    QSignalSpy changes(&model, &SettingsModel::changed);

    QAction sound;
    sound.setCheckable(true);
    model.bindSwitch(&sound, Setting::Sound);
    QVERIFY(sound.isChecked());
    sound.trigger();  // a click
    QCOMPARE(record.soundEnable, 0);
    model.setOn(Setting::Sound, true);
    QVERIFY(sound.isChecked());
    model.setOn(Setting::Sound, true);
    model.setBlinkColour(record.colorTextBoxBlink);
    QCOMPARE(changes.size(), 2);

    std::array<QAction*, 6> rows{};
    std::vector<std::unique_ptr<QAction>> owned;
    for (QAction*& row : rows) {
        owned.push_back(std::make_unique<QAction>());
        row = owned.back().get();
        row->setCheckable(true);
    }
    model.bindRowLimit(rows);
    auto checked = [&] {
        QList<int> on;
        for (int i = 0; i < 6; ++i)
            if (rows[static_cast<std::size_t>(i)]->isChecked()) on.append(i + 1);
        return on;
    };
    QCOMPARE(checked(), QList<int>{2});
    rows[4]->trigger();
    QCOMPARE(record.fileHistoryMaxRow, 5);
    rows[4]->trigger();  // the checked one stays checked
    QCOMPARE(checked(), QList<int>{5});
    QCOMPARE(changes.size(), 3);

    model.setPicture("/pictures/back.png");
    QCOMPARE(record.pictureBackGround, std::string("/pictures/back.png"));
    QCOMPARE(record.pictureEnable, -1);
}

int main(int argc, char* argv[]) {
    const QByteArray tryLock = qgetenv(kTryLockVariable);
    if (!tryLock.isEmpty()) {
        SingleInstance instance(SingleInstance::lockPathFor(QFile::decodeName(tryLock)));
        return int(instance.acquire().outcome);
    }
    const QByteArray hold = qgetenv(kHoldLockVariable);
    if (!hold.isEmpty()) {
        SingleInstance instance(QString::fromLocal8Bit(hold));
        if (instance.acquire().outcome != SingleInstance::Outcome::Acquired) return 2;
        std::_Exit(0);  // no destructor runs: the lock file stays
    }
    QApplication app(argc, argv);
    TestAppPieces test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_app_pieces.moc"

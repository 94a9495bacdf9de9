// The program's pieces around the main window: colour values, the twip
// scale, the single-copy lock and the termination requests.
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <cstdlib>

#include "app/single_instance.h"
#include "app/stop_signal_watcher.h"
#include "platform/boot_time.h"
#include "support/unprivileged.h"
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
    void terminationRequestsReachTheEventLoop();
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

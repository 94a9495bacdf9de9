// The period recorder as the main window uses it: the recovery file kept
// while counting, recorded at the next start, removed by the two resets, kept
// by a close that cannot write, and the quiet finish when the windows are
// gone. A scripted key source, a steady clock of the test's own and a
// temporary program folder.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <chrono>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "app/main_window.h"
#include "app/period_commands.h"
#include "app/period_recorder.h"
#include "counting/key_layout.h"
#include "counting/poller.h"
#include "history/history_record.h"
#include "history/recovery_record.h"
#include "platform/text_codec.h"
#include "settings/profile_file.h"
#include "settings/settings.h"
#include "support/scripted_key_state.h"
#include "support/unprivileged.h"
#include "support/window_fakes.h"
#include "widgets/count_cell.h"

using namespace pressory;
using namespace pressory::app;
using namespace pressory::test;
using namespace std::chrono_literals;
using pressory::widgets::BoxIcon;

namespace {

// A main window on a program folder that outlives it, so that a second
// start can find what the first one left.
struct Rig {
    explicit Rig(const QString& folder) : folder(folder) {}
    QString folder;
    settings::SettingsRecord record;
    platform::ScriptedKeyState keys;
    RecordingBoxes boxes;
    FakeNotifyArea tray;
    ScriptedKeySource source{keys};
    PeriodRecorder::Clock::time_point t{};  // the steady clock the recovery writes are timed by
    QDateTime localNow{QDate(2024, 3, 5), QTime(9, 8, 7)};
    int quits = 0;
    std::unique_ptr<MainWindow> w;

    void create() {
        MainWindowContext c;
        c.programFolder = folder.toStdString();
        c.settingsPath = settingsPath();
        c.keySource = &source;
        c.boxes = &boxes;
        c.notifyArea = &tray;
        c.settings = &record;
        c.now = [this] { return localNow; };
        c.recoveryClock = [this] { return t; };
        c.quit = [this] { ++quits; };
        w = std::make_unique<MainWindow>(std::move(c));
    }
    // As start-up does it: the left period recorded before counting starts.
    QString start() {
        create();
        const std::string problem = w->recorder().recoverLeftPeriod();
        w->load();
        w->applySettings();
        w->show();
        return QString::fromStdString(problem);
    }
    QAction* item(const char* name) const { return w->findChild<QAction*>(QString::fromLatin1(name)); }
    widgets::CountCell* cell(const char* name) const {
        return w->findChild<widgets::CountCell*>(QString::fromLatin1(name));
    }
    // One tick, as Timer1 brings it.
    void tick() const { QMetaObject::invokeMethod(w->findChild<QTimer*>(QStringLiteral("Timer1")), "timeout"); }
    void press(int vk) {
        keys.down(vk);
        tick();
        keys.up(vk);
        tick();
    }
    // Time passes; the timer ticks once without a key.
    void wait(PeriodRecorder::Clock::duration d) {
        t += d;
        localNow = localNow.addMSecs(std::chrono::duration_cast<std::chrono::milliseconds>(d).count());
        tick();
    }
    std::string settingsPath() const { return QDir(folder).filePath(QStringLiteral("Pressory.ini")).toStdString(); }
    QString historyPath() const { return QString::fromStdString(history::historyPath(folder.toStdString())); }
    QString recoveryPath() const { return QString::fromStdString(history::recoveryPath(folder.toStdString())); }
    history::RecoveryFile recovery() const { return history::readRecoveryFile(recoveryPath().toStdString()); }
    QStringList historyLines() const {
        QFile f(historyPath());
        if (!f.open(QIODevice::ReadOnly)) return {};
        const QByteArray bytes = f.readAll();
        if (!bytes.isEmpty() && !bytes.endsWith("\r\n")) return {QStringLiteral("<no CR LF at the end>")};
        const auto utf8 = platform::cp932ToUtf8(bytes.toStdString());
        QStringList lines = QString::fromStdString(utf8.value_or("")).split(QStringLiteral("\r\n"));
        lines.removeLast();
        return lines;
    }
    QByteArray settingsBytes() const {
        QFile f(QString::fromStdString(settingsPath()));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

int columnOf(int vk) {
    const auto codes = counting::layout::countedCodes();
    return 11 + static_cast<int>(std::find(codes.begin(), codes.end(), vk) - codes.begin());
}

// One record's fields, checked to be whole.
QStringList fields(const QString& line) {
    const QStringList f = line.split(QLatin1Char(','));
    if (f.size() != 95) qWarning() << "a record of" << f.size() << "fields:" << line;
    return f;
}

history::RecoveryRecord leftRecord() {
    history::RecoveryRecord r;
    r.counts[65] = 3;
    r.counts[1] = 2;
    r.total = 5;
    r.lastActivity = {2024, 3, 4, 22, 10, 5};
    return r;
}

}  // namespace

class TestPeriodRecorder : public QObject {
    Q_OBJECT
private slots:
    void leftPeriodBecomesARecordAtStart();
    void damagedRecoveryFileIsMovedAside();
    void countsReachTheRecoveryFileAtMostOnceAMinute();
    void resetsRemoveTheRecoveryFile();
    void saveAndResetTakesTheCountsBeforeItsBox();
    void failedSaveAndResetKeepsTheCounts();
    void periodsKeptOverFailingRunsAreEachRecordedOnce();
    void keptPeriodsFollowTheNextRecord();
    void closeCutOffBeforeTheFileWentIsNotRecordedTwice();
    void failedCloseKeepsCountsForTheNextStart_data();
    void failedCloseKeepsCountsForTheNextStart();
    void readOnlyFolderLosesOnlyWhatCameAfterTheLastWrite();
    void finishWithoutWindows();
    void finishWithoutWindowsAfterOrDuringTheClose();
    void settingsRecordFollowsTheMenus();
    void failedSettingsWriteIsToldAtTheNextStart();
    void closeStepsRunInTheirOrderOnce();
};

void TestPeriodRecorder::leftPeriodBecomesARecordAtStart() {
    QTemporaryDir dir;
    {
        Rig earlier(dir.path());
        earlier.start();
        earlier.press(66);
        earlier.w->requestStop(CloseBy::Signal);
    }
    QVERIFY(!QFile::exists(Rig(dir.path()).recoveryPath()));  // a finished run leaves none
    QVERIFY(history::writeRecoveryFile(Rig(dir.path()).recoveryPath().toStdString(), leftRecord()).ok);
    // A write of it cut off by a crash left its temporary file; a link under
    // such a name is not the program's.
    const QString leftover = Rig(dir.path()).recoveryPath() + QStringLiteral(".new~Abc123");
    const QString link = Rig(dir.path()).recoveryPath() + QStringLiteral(".new~Linked");
    {
        QFile f(leftover);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("Pressory recovery record\n");
    }
    QVERIFY(QFile::link(leftover, link));

    Rig r(dir.path());
    QCOMPARE(r.start(), QString());
    QVERIFY(!QFile::exists(leftover));
    QVERIFY(QFileInfo(link).isSymLink());
    const QStringList lines = r.historyLines();
    QCOMPARE(lines.size(), 3);  // the header, the finished run, the recovered period
    const QStringList f = fields(lines[2]);
    QCOMPARE(f.size(), 95);
    QCOMPARE(f[0], QStringLiteral("2024/03/04 22:10:05"));  // the time of its last activity
    QCOMPARE(f[10], QStringLiteral("5"));
    QCOMPARE(f[columnOf(65)], QStringLiteral("3"));
    QCOMPARE(f[columnOf(1)], QStringLiteral("2"));
    QCOMPARE(f[5], QStringLiteral("A"));
    QVERIFY(!QFile::exists(r.recoveryPath()));
    QVERIFY(r.boxes.shown.isEmpty());                             // nobody is asked
    QCOMPARE(r.cell("txtSummary")->text(), QStringLiteral("0"));  // the new period starts at zero

    // Recorded once: the next start finds nothing left.
    r.w->requestStop(CloseBy::Signal);
    Rig again(dir.path());
    again.start();
    QCOMPARE(again.historyLines().size(), 4);
}

void TestPeriodRecorder::damagedRecoveryFileIsMovedAside() {
    QTemporaryDir dir;
    Rig r(dir.path());
    const std::string whole = history::serializeRecovery(leftRecord());
    const QByteArray cut = QByteArray::fromStdString(whole.substr(0, whole.size() / 2));
    {
        QFile f(r.recoveryPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(cut);
    }
    const QString told = r.start();  // never stops the start
    QVERIFY(!QFile::exists(r.recoveryPath()));
    const QStringList aside =
        QDir(dir.path()).entryList({QStringLiteral("PressoryRecovery.damaged-*.dat")}, QDir::Files);
    QCOMPARE(aside, QStringList{QStringLiteral("PressoryRecovery.damaged-20240305-090807.dat")});
    QVERIFY2(told.contains(QDir(dir.path()).filePath(aside[0])), qPrintable(told));  // the person hears where
    QFile kept(QDir(dir.path()).filePath(aside[0]));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), cut);
    QVERIFY(!QFile::exists(r.historyPath()));  // nothing made up from it

    r.press(65);  // and counting goes on into a new recovery file
    QCOMPARE(r.recovery().state, history::RecoveryState::Found);
    QCOMPARE(r.recovery().record.total, 1);
}

void TestPeriodRecorder::countsReachTheRecoveryFileAtMostOnceAMinute() {
    QTemporaryDir dir;
    Rig r(dir.path());
    r.start();
    r.wait(5min);
    QVERIFY(!QFile::exists(r.recoveryPath()));  // nothing counted, nothing written

    r.press(65);  // the first change is written at once
    history::RecoveryFile f = r.recovery();
    QCOMPARE(f.state, history::RecoveryState::Found);
    QCOMPARE(f.record.total, 1);
    QCOMPARE(f.record.counts[65], 1);
    QCOMPARE(f.record.lastActivity.minute, 13);  // 09:13:07, five minutes after the start
    QCOMPARE(f.record.lastActivity.second, 7);

    r.t += 30s;
    r.localNow = r.localNow.addSecs(30);
    r.press(66);
    QCOMPARE(r.recovery().record.total, 1);  // not yet: the last write was 30 s ago
    r.wait(29s);
    QCOMPARE(r.recovery().record.total, 1);
    r.wait(1s);  // a minute after the last write, the next tick writes
    f = r.recovery();
    QCOMPARE(f.record.total, 2);
    QCOMPARE(f.record.counts[66], 1);
    QCOMPARE(f.record.lastActivity.second, 37);  // the last press, not the write

    QVERIFY(QFile::remove(r.recoveryPath()));
    r.wait(10min);
    QVERIFY(!QFile::exists(r.recoveryPath()));  // nothing changed: nothing written
    QVERIFY(QDir(dir.path()).entryList({QStringLiteral("PressoryRecovery.dat.new~*")}, QDir::AllEntries).isEmpty());
}

void TestPeriodRecorder::resetsRemoveTheRecoveryFile() {
    QTemporaryDir dir;
    Rig r(dir.path());
    r.start();
    r.press(65);
    QVERIFY(QFile::exists(r.recoveryPath()));
    r.item("mnuFileSaveReset")->trigger();
    QVERIFY(!QFile::exists(r.recoveryPath()));
    QCOMPARE(r.historyLines().size(), 2);
    r.wait(2min);
    QVERIFY(!QFile::exists(r.recoveryPath()));  // the zeros after a reset are not kept

    r.press(66);
    r.wait(1min);
    QCOMPARE(r.recovery().record.total, 1);
    QCOMPARE(r.recovery().record.counts[66], 1);
    r.item("mnuFileNoSaveReset")->trigger();
    QVERIFY(!QFile::exists(r.recoveryPath()));
    r.wait(2min);
    QVERIFY(!QFile::exists(r.recoveryPath()));
    QCOMPARE(r.historyLines().size(), 2);

    // Nothing is left for the next start to record again.
    r.w->requestStop(CloseBy::Signal);
    Rig next(dir.path());
    next.start();
    QCOMPARE(next.historyLines().size(), 3);
}

// Save-and-reset takes the record's counts and resets before its box is
// shown: what is pressed while the box is open belongs to the new period,
// and a stop request meanwhile records that new period, never the saved one
// a second time. A kill while the box is open loses nothing either.
void TestPeriodRecorder::saveAndResetTakesTheCountsBeforeItsBox() {
    QTemporaryDir dir;
    Rig r(dir.path());
    r.start();
    r.press(65);
    r.wait(1min);
    r.press(65);  // pending: the file holds 1
    r.boxes.onShow = [&] {
        r.boxes.onShow = nullptr;
        r.press(66);  // the timer runs on while the box is open
        r.wait(2min);
    };
    r.item("mnuFileSaveReset")->trigger();
    QCOMPARE(r.boxes.shown.size(), 1);
    QCOMPARE(r.boxes.shown[0].icon, BoxIcon::Information);
    QCOMPARE(r.cell("txtSummary")->text(), QStringLiteral("1"));
    QCOMPARE(r.recovery().record.counts[66], 1);  // the new period's press is kept
    QCOMPARE(r.recovery().record.total, 1);

    // A kill now: the next start records the new period, the saved one stays single.
    Rig next(dir.path());
    next.start();
    QStringList lines = next.historyLines();
    QCOMPARE(lines.size(), 3);
    QCOMPARE(fields(lines[1])[columnOf(65)], QStringLiteral("2"));
    QCOMPARE(fields(lines[1])[columnOf(66)], QStringLiteral("0"));
    QCOMPARE(fields(lines[2])[columnOf(66)], QStringLiteral("1"));
    next.w->requestStop(CloseBy::Signal);

    // A stop request while the box is open: one more record, of what came after.
    QTemporaryDir other;
    Rig s(other.path());
    s.start();
    s.press(67);
    s.press(67);
    s.boxes.onShow = [&] {
        s.boxes.onShow = nullptr;
        s.press(68);
        s.w->requestStop(CloseBy::Signal);
    };
    s.item("mnuFileSaveReset")->trigger();
    QCOMPARE(s.quits, 1);
    lines = s.historyLines();
    QCOMPARE(lines.size(), 3);
    QCOMPARE(fields(lines[1])[columnOf(67)], QStringLiteral("2"));
    QCOMPARE(fields(lines[2])[columnOf(67)], QStringLiteral("0"));
    QCOMPARE(fields(lines[2])[columnOf(68)], QStringLiteral("1"));
    QVERIFY(!QFile::exists(s.recoveryPath()));
}

// A save-and-reset that cannot write the history resets nothing: the counts
// stay, go to the recovery file at once, and the next record holds them with
// everything pressed since.
void TestPeriodRecorder::failedSaveAndResetKeepsTheCounts() {
    QTemporaryDir dir;
    Rig r(dir.path());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("PressoryHistory.csv")));  // cannot be written
    r.start();
    r.press(65);
    r.press(65);  // pending: the file holds 1
    r.item("mnuFileSaveReset")->trigger();
    QCOMPARE(r.boxes.shown.size(), 1);
    QCOMPARE(r.boxes.shown[0].icon, BoxIcon::Critical);
    QCOMPARE(r.cell("txtSummary")->text(), QStringLiteral("2"));
    QCOMPARE(r.cell("txtKey(65)")->text(), QStringLiteral("2"));
    QCOMPARE(r.recovery().record.total, 2);  // kept at once, not a minute later

    r.press(65);
    QVERIFY(QDir(dir.path()).rmdir(QStringLiteral("PressoryHistory.csv")));
    r.w->close();
    const QStringList lines = r.historyLines();
    QCOMPARE(lines.size(), 2);
    QCOMPARE(fields(lines[1])[columnOf(65)], QStringLiteral("3"));
    QVERIFY(!QFile::exists(r.recoveryPath()));
}

// Runs that cannot write the history each keep their period, and no start
// overwrites what an earlier one kept; once the history can be written, each
// period becomes one record, oldest first, and the person hears how many wait.
void TestPeriodRecorder::periodsKeptOverFailingRunsAreEachRecordedOnce() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("PressoryHistory.csv")));
    for (int run = 1; run <= 3; ++run) {
        Rig r(dir.path());
        // Every run's period ends in the same second: kept in the order they came.
        const QString told = r.start();
        if (run == 1)
            QCOMPARE(told, QString());
        else
            QVERIFY2(told.startsWith(QStringLiteral("記録を待っている期間が %1 件あります。\n").arg(run - 1)),
                     qPrintable(told));
        for (int i = 0; i < run; ++i) r.press(64 + run);
        r.w->requestStop(CloseBy::Signal);
    }
    QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("PressoryRecovery.kept-*.dat")}, QDir::Files).size(), 2);

    QVERIFY(QDir(dir.path()).rmdir(QStringLiteral("PressoryHistory.csv")));
    Rig r(dir.path());
    QCOMPARE(r.start(), QString());
    QStringList lines = r.historyLines();
    QCOMPARE(lines.size(), 4);
    for (int run = 1; run <= 3; ++run) {
        const QStringList f = fields(lines[run]);
        QCOMPARE(f[10], QString::number(run));
        QCOMPARE(f[columnOf(64 + run)], QString::number(run));
    }
    QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("PressoryRecovery*")}, QDir::Files), QStringList());
    r.w->requestStop(CloseBy::Signal);
    Rig again(dir.path());
    QCOMPARE(again.start(), QString());
    QCOMPARE(again.historyLines().size(), 5);  // only the empty period in between
}

// The history that turns writable while the program runs: the next record
// brings the periods of earlier runs in too.
void TestPeriodRecorder::keptPeriodsFollowTheNextRecord() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("PressoryHistory.csv")));
    {
        Rig r(dir.path());
        r.start();
        r.press(65);
        r.w->requestStop(CloseBy::Signal);
    }
    Rig r(dir.path());
    QVERIFY(r.start().startsWith(QStringLiteral("記録を待っている期間が 1 件あります。")));
    QCOMPARE(r.w->recorder().periodsWaiting(), std::size_t{1});
    r.press(66);
    QVERIFY(QDir(dir.path()).rmdir(QStringLiteral("PressoryHistory.csv")));
    r.item("mnuFileSaveReset")->trigger();
    const QStringList lines = r.historyLines();
    QCOMPARE(lines.size(), 3);
    QCOMPARE(fields(lines[1])[columnOf(66)], QStringLiteral("1"));  // this period's record first
    QCOMPARE(fields(lines[2])[columnOf(65)], QStringLiteral("1"));
    QCOMPARE(r.w->recorder().periodsWaiting(), std::size_t{0});
    QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("PressoryRecovery*")}, QDir::Files), QStringList());
}

// A kill, or a power cut, right after the close's record reached the disk
// and before the recovery file was removed: the history has grown since the
// file was written, so the next start knows the period is recorded.
void TestPeriodRecorder::closeCutOffBeforeTheFileWentIsNotRecordedTwice() {
    QTemporaryDir dir;
    QByteArray left;
    {
        Rig r(dir.path());
        r.start();
        r.press(65);
        r.w->requestStop(CloseBy::Signal);  // a first record: the history is not empty
    }
    {
        Rig r(dir.path());
        r.start();
        r.press(66);
        r.press(66);
        r.wait(1min);
        QFile f(r.recoveryPath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        left = f.readAll();
        QVERIFY(left.contains("\nhistory "));
        r.w->requestStop(CloseBy::Signal);
    }
    QCOMPARE(Rig(dir.path()).historyLines().size(), 3);
    {
        QFile f(Rig(dir.path()).recoveryPath());  // as the cut-off close left it
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(left);
    }
    Rig next(dir.path());
    QCOMPARE(next.start(), QString());
    QCOMPARE(next.historyLines().size(), 3);
    QVERIFY(!QFile::exists(next.recoveryPath()));

    // The same file with the history as it was then is a period to record.
    next.w->requestStop(CloseBy::Signal);  // a record of zeros: the history grows
    QVERIFY(history::writeRecoveryFile(next.recoveryPath().toStdString(),
                                       [&] {
                                           history::RecoveryRecord rec = *history::parseRecovery(left.toStdString());
                                           rec.historySize =
                                               static_cast<std::uint64_t>(QFileInfo(next.historyPath()).size());
                                           return rec;
                                       }())
                .ok);
    Rig last(dir.path());
    last.start();
    const QStringList lines = last.historyLines();
    QCOMPARE(lines.size(), 5);
    QCOMPARE(fields(lines[4])[columnOf(66)], QStringLiteral("2"));
}

void TestPeriodRecorder::failedCloseKeepsCountsForTheNextStart_data() {
    QTest::addColumn<bool>("byPerson");
    QTest::newRow("stopped by a signal") << false;
    QTest::newRow("closed by the person") << true;
}

void TestPeriodRecorder::failedCloseKeepsCountsForTheNextStart() {
    QFETCH(bool, byPerson);
    QTemporaryDir dir;
    Rig r(dir.path());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("PressoryHistory.csv")));  // cannot be written
    r.start();
    r.press(65);  // written at once
    r.press(65);
    r.press(66);  // both pending: the last write was just now
    QCOMPARE(r.recovery().record.total, 1);
    int keptDuringBox = -1;  // a kill while the box is open loses nothing
    r.boxes.onShow = [&] { keptDuringBox = r.recovery().record.total; };
    if (byPerson)
        r.w->close();
    else
        r.w->requestStop(CloseBy::Signal);
    QCOMPARE(r.quits, 1);
    if (byPerson) {
        QCOMPARE(r.boxes.shown.size(), 1);
        QCOMPARE(r.boxes.shown[0].icon, BoxIcon::Critical);
        QVERIFY(r.boxes.shown[0].text.startsWith(r.historyPath() + QStringLiteral(" に記録できませんでした。\n")));
        QCOMPARE(keptDuringBox, 3);
    } else {
        QVERIFY(r.boxes.shown.isEmpty());
    }
    history::RecoveryFile kept = r.recovery();
    QCOMPARE(kept.state, history::RecoveryState::Found);
    QCOMPARE(kept.record.total, 3);  // everything, not only what the last write held
    QCOMPARE(kept.record.counts[65], 2);
    QVERIFY(!r.settingsBytes().isEmpty());  // the settings are written all the same

    // The display goes away after that close: nothing more happens.
    r.w->recorder().finishWithoutWindows(counting::layout::kSummaryCaption);
    QCOMPARE(r.recovery().record.total, 3);

    // The next start, with a history that can be written, records them.
    QVERIFY(QDir(dir.path()).rmdir(QStringLiteral("PressoryHistory.csv")));
    Rig next(dir.path());
    QCOMPARE(next.start(), QString());
    const QStringList lines = next.historyLines();
    QCOMPARE(lines.size(), 2);
    const QStringList f = fields(lines[1]);
    QCOMPARE(f[0], QStringLiteral("2024/03/05 09:08:07"));
    QCOMPARE(f[10], QStringLiteral("3"));
    QCOMPARE(f[columnOf(66)], QStringLiteral("1"));
    QVERIFY(!QFile::exists(next.recoveryPath()));
}

// A folder that cannot be written when the period ends: the recovery file
// still holds the counts of its last write, recorded at a later start. Run
// without root's power over permissions, in a child process, on the recorder
// alone.
void TestPeriodRecorder::readOnlyFolderLosesOnlyWhatCameAfterTheLastWrite() {
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    const std::string recovery = history::recoveryPath(folder);
    if (::geteuid() == 0) QCOMPARE(::chown(folder.c_str(), 65534, 65534), 0);
    const auto out = runUnprivileged([&]() -> std::string {
        platform::ScriptedKeyState keys;
        counting::Poller poller;
        poller.fillPolledFlags();
        settings::SettingsRecord record;
        PeriodRecorder::Clock::time_point t{};
        PeriodRecorder recorder(
            folder, folder + "/Pressory.ini", poller, record,
            [](std::chrono::seconds) { return history::LocalDateTime{2024, 3, 5, 9, 8, 7}; }, [&] { return t; });
        auto press = [&](int vk) {
            keys.down(vk);
            poller.tick(keys, nullptr);
            recorder.afterTick(poller.totalChanged());
            keys.up(vk);
            poller.tick(keys, nullptr);
            recorder.afterTick(poller.totalChanged());
        };
        press(65);  // written at once
        t += 1min;
        press(65);  // written a minute later
        t += 10s;
        press(66);  // pending when the folder turns read-only
        if (::chmod(folder.c_str(), 0555) != 0) return "chmod";
        const history::WriteResult result = recorder.saveHistory(counting::layout::kSummaryCaption);
        if (result.ok) return "the history was written";
        recorder.keepUnrecorded(result, true);
        if (recorder.saveSettings()) return "the settings were written";
        return result.reason;
    });
    QVERIFY2(out.has_value(), "the child could not run unprivileged");
    QCOMPARE(QString::fromStdString(*out), QStringLiteral("アクセスが拒否されました。"));
    QCOMPARE(::chmod(folder.c_str(), 0755), 0);

    Rig next(dir.path());
    QCOMPARE(next.start(), QString());
    const QStringList lines = next.historyLines();
    QCOMPARE(lines.size(), 2);
    QCOMPARE(fields(lines[1])[10], QStringLiteral("2"));  // B came after the last write
    QVERIFY(!QFile::exists(QString::fromStdString(recovery)));
}

void TestPeriodRecorder::finishWithoutWindows() {
    QTemporaryDir dir;
    Rig r(dir.path());
    r.start();
    r.press(67);
    r.press(67);
    r.w->recorder().finishWithoutWindows(counting::layout::kSummaryCaption);
    QVERIFY(r.w->recorder().closed());
    const QStringList lines = r.historyLines();
    QCOMPARE(lines.size(), 2);
    QCOMPARE(fields(lines[1])[columnOf(67)], QStringLiteral("2"));
    QCOMPARE(fields(lines[0])[10], QStringLiteral("合計"));
    QVERIFY(!QFile::exists(r.recoveryPath()));
    QVERIFY(r.settingsBytes().startsWith("[FILE]\r\nFileHistoryMaxRow=1\r\n"));
    QVERIFY(r.boxes.shown.isEmpty());

    r.w->recorder().finishWithoutWindows(counting::layout::kSummaryCaption);  // once only
    QCOMPARE(r.historyLines().size(), 2);
}

void TestPeriodRecorder::finishWithoutWindowsAfterOrDuringTheClose() {
    {
        QTemporaryDir dir;
        Rig r(dir.path());
        r.start();
        r.press(65);
        r.w->requestStop(CloseBy::Signal);
        const QByteArray settingsAfterClose = r.settingsBytes();
        r.record.fileHistoryMaxRow = 5;
        r.w->recorder().finishWithoutWindows(counting::layout::kSummaryCaption);
        QCOMPARE(r.historyLines().size(), 2);
        QCOMPARE(r.settingsBytes(), settingsAfterClose);
    }
    // The display goes away while the close's confirmation box is open: the
    // record is not written twice, and the settings are written.
    QTemporaryDir dir;
    Rig r(dir.path());
    r.start();
    r.press(65);
    int recordsDuringBox = -1;
    r.boxes.onShow = [&] {
        r.boxes.onShow = nullptr;
        r.w->recorder().finishWithoutWindows(counting::layout::kSummaryCaption);
        recordsDuringBox = static_cast<int>(r.historyLines().size()) - 1;
    };
    r.w->close();
    QCOMPARE(recordsDuringBox, 1);
    QCOMPARE(r.historyLines().size(), 2);
    QVERIFY(!r.settingsBytes().isEmpty());
    QVERIFY(!QFile::exists(r.recoveryPath()));
}

// What a menu command changes is in the settings record at once, so that the
// quiet finish writes it although the close sequence never ran.
void TestPeriodRecorder::settingsRecordFollowsTheMenus() {
    QTemporaryDir dir;
    Rig r(dir.path());
    r.start();
    QCOMPARE(r.record.soundEnable, 0);
    r.item("mnuSoundEnable")->trigger();
    QCOMPARE(r.record.soundEnable, -1);
    r.item("mnuVisionPictureEnable")->trigger();
    QCOMPARE(r.record.pictureEnable, -1);
    r.item("mnuFileMaxRowCount(4)")->trigger();
    QCOMPARE(r.record.fileHistoryMaxRow, 4);
    r.item("mnuSoundEnable")->trigger();
    QCOMPARE(r.record.soundEnable, 0);
    r.item("mnuSoundEnable")->trigger();

    r.w->recorder().finishWithoutWindows(counting::layout::kSummaryCaption);
    const QByteArray written = r.settingsBytes();
    QVERIFY2(written.contains("FileHistoryMaxRow=4\r\n"), written.constData());
    QVERIFY2(written.contains("SoundEnable=-1\r\n"), written.constData());
    QVERIFY2(written.contains("PictureEnable=-1\r\n"), written.constData());
}

// A settings write that fails at the close has nobody to tell (the program
// is ending): the next start tells it once, with the file's path.
void TestPeriodRecorder::failedSettingsWriteIsToldAtTheNextStart() {
    QTemporaryDir dir;
    {
        Rig r(dir.path());
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Pressory.ini")));  // cannot be written as a file
        r.start();
        r.w->requestStop(CloseBy::Signal);
        QVERIFY(QDir(dir.path()).rmdir(QStringLiteral("Pressory.ini")));
    }
    Rig next(dir.path());
    const QString told = next.start();
    QVERIFY2(told.startsWith(QString::fromStdString(next.settingsPath()) +
                             QStringLiteral(" に設定を書き込めませんでした。")),
             qPrintable(told));
    next.w->requestStop(CloseBy::Signal);
    QCOMPARE(Rig(dir.path()).start(), QString());  // once
}

// The close without a window, asked for by each: the last reading, the
// record, the box (only for a person, before the settings), the sounds, the
// settings, counting stopped, the end; once, however often it is asked for.
void TestPeriodRecorder::closeStepsRunInTheirOrderOnce() {
    for (CloseBy by : {CloseBy::Person, CloseBy::Signal, CloseBy::ApplicationQuit}) {
        QTemporaryDir dir;
        Rig files(dir.path());  // the paths only
        settings::SettingsRecord record;
        counting::Poller poller;
        poller.fillPolledFlags();
        PeriodRecorder recorder(dir.path().toStdString(), files.settingsPath(), poller, record,
                                [](std::chrono::seconds) { return history::LocalDateTime{2024, 3, 5, 9, 8, 7}; });
        RecordingSound sound;
        QStringList steps;
        const auto step = [&](const char* name) { return [&steps, name] { steps << QString::fromLatin1(name); }; };
        sound.onStop = [&] {
            steps << (files.settingsBytes().isEmpty() ? "stop sounds" : "stop sounds, settings written");
        };
        PeriodCommands commands(
            recorder, poller, &sound,
            {.countsReset = step("reset"),
             .readLast = step("read"),
             .stopCounting = [&] { steps << (files.settingsBytes().isEmpty() ? "stop" : "written, stop"); },
             .dismissBoxes = step("dismiss"),
             .closeWindow = step("close window"),
             .quit = step("quit"),
             .tellRecord =
                 [&](const history::WriteResult& r) {
                     steps << QStringLiteral("tell %1 of %2").arg(r.ok).arg(files.historyLines().size());
                 }});
        commands.requestStop(by);
        if (by == CloseBy::Person) {
            QCOMPARE(steps, QStringList{"close window"});  // the window's close runs the sequence
            QVERIFY(!commands.closeBegun());
            steps.clear();
            commands.runClose(CloseBy::Person);
        }
        QStringList expected;
        if (by != CloseBy::Person) expected << "dismiss";
        expected << "read";
        if (by == CloseBy::Person) expected << "tell 1 of 2";
        expected << "stop sounds"
                 << "written, stop";
        if (by != CloseBy::ApplicationQuit) expected << "quit";
        QCOMPARE(steps, expected);
        QCOMPARE(commands.quiet(), by != CloseBy::Person);

        // Asked again: recorded and written already, it only ends the program.
        steps.clear();
        commands.requestStop(CloseBy::Signal);
        commands.requestStop(CloseBy::ApplicationQuit);
        QCOMPARE(steps, (QStringList{"dismiss", "quit", "dismiss"}));
        QCOMPARE(files.historyLines().size(), 2);
    }
}

QTEST_MAIN(TestPeriodRecorder)
#include "test_period_recorder.moc"

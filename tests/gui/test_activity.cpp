// The main window with the activity database: the pause (menu, tray, chord)
// stops every count and shows itself; presses by name land in the database
// under the application the rules name, and the export writes them.
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QtTest>

#include "activity/activity_schema.h"
#include "activity/store/activity_store.h"
#include "platform/foreground_app.h"
#include "settings/profile_file.h"
#include "support/main_window_rig.h"

using namespace pressory;

namespace {

class FakeForegroundApp final : public platform::ForegroundApp {
public:
    std::string name;
    std::string current() override { return name; }
};

// All presses in the database, read beside the running program.
std::int64_t pressesIn(const std::string& path) {
    auto db = activity::ActivityStore::openForReading(path);
    std::int64_t presses = 0;
    std::string reason;
    if (db.store)
        db.store->forEachPress([&](std::int64_t, std::string_view, std::string_view, std::int64_t n) { presses += n; },
                               reason);
    return presses;
}

struct Rig : test::MainWindowRig {
    FakeForegroundApp focused;
    QString exportTo;
    Rig() {
        activityPath = file("PressoryActivity.db").toStdString();
        foregroundApp = &focused;
        chooseExportPath = [this](QWidget*, const QString&) { return exportTo; };
    }
    void press(std::string_view key, std::uint32_t n = 1) const {
        QVERIFY(source.sink != nullptr);
        source.sink->press(key, n);
    }
    QString exported(const QString& csv) {
        exportTo = csv;
        w->findChild<QAction*>(QStringLiteral("mnuFileActivityExport"))->trigger();
        const qsizetype before = boxes.shown.size();
        if (!QTest::qWaitFor([&] { return boxes.shown.size() > before; }, 5000)) return QStringLiteral("no box");
        return boxes.shown.last().text;
    }
};

}  // namespace

class TestActivity : public QObject {
    Q_OBJECT
private slots:
    void pauseStopsEveryCountAndShowsItself();
    void pressesLandPerApplicationAndExport();
    void damagedDatabaseIsToldOnceAtTheStart();
};

void TestActivity::pauseStopsEveryCountAndShowsItself() {
    Rig r;
    r.start();
    r.keys.tap(65);
    r.press("A");
    r.tick();
    QCOMPARE(r.total()->text(), QStringLiteral("1"));

    // The tray's menu carries the same item as the File menu.
    QVERIFY(r.tray.menu != nullptr);
    QAction* pause = r.item("mnuFilePause");
    QVERIFY(r.tray.menu->actions().contains(pause));
    pause->trigger();
    QVERIFY(pause->isChecked());
    QCOMPARE(r.find<QLabel>("lblSummary")->text(), QStringLiteral("停止"));
    QVERIFY(r.w->windowTitle().contains(QStringLiteral("一時停止中")));
    QVERIFY(!r.tray.icon.isNull());
    QVERIFY(r.tray.tip.endsWith(QStringLiteral("合計: 1\n一時停止中")));

    // Paused: the window, the record and the database count nothing, and
    // what was pressed meanwhile is not counted at the resume.
    r.keys.tap(66);
    r.press("B", 5);
    r.tick();
    QCOMPARE(r.total()->text(), QStringLiteral("1"));

    // Both Ctrl keys resume once the chord is switched on.
    r.keys.down(0xA2);
    r.keys.down(0xA3);
    r.tick();
    QVERIFY(pause->isChecked());
    r.item("mnuFileActivityChord")->trigger();
    r.keys.up(0xA2);
    r.tick();
    r.keys.down(0xA2);
    r.tick();
    QVERIFY(!pause->isChecked());
    QCOMPARE(r.find<QLabel>("lblSummary")->text(), QStringLiteral("合計"));
    QVERIFY(r.tray.tip.endsWith(QStringLiteral("合計: 1")));
    r.tick();
    QCOMPARE(r.total()->text(), QStringLiteral("1"));

    // Paused at the close without keeping it: the file does not say paused.
    pause->trigger();
    r.w->close();
    QCOMPARE(settings::profile::readText(r.settingsPath(), "ACTIVITY", "Paused"), std::string());
    QCOMPARE(settings::profile::readText(r.settingsPath(), "ACTIVITY", "PauseChord"), std::string("-1"));
    std::string csv;
    std::string reason;
    auto db = activity::ActivityStore::openForReading(r.activityPath);
    QVERIFY(db.store != nullptr);
    QStringList keys;
    QVERIFY(db.store->forEachPress(
        [&](std::int64_t, std::string_view, std::string_view key, std::int64_t n) {
            keys << QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size())) + QString::number(n);
        },
        reason));
    QCOMPARE(keys, QStringList{QStringLiteral("A1")});
}

void TestActivity::pressesLandPerApplicationAndExport() {
    Rig r;
    r.start();
    r.focused.name = "editor";
    r.press("KeyA", 2);
    r.focused.name = "KeePassXC";
    r.settings().setNeverApps("keepassxc");
    r.press("KeyA");
    r.focused.name = "=cmd";
    r.press("Enter");
    // The minute's write, while the window stays open.
    auto* minute = r.w->findChild<QTimer*>(QStringLiteral("tmrActivityMinute"));
    QVERIFY(minute != nullptr && minute->isActive());
    QMetaObject::invokeMethod(minute, "timeout");
    QTRY_COMPARE(pressesIn(r.activityPath), 4);
    const QString csv = r.file("out.csv");
    QVERIFY(r.exported(csv).contains(QStringLiteral("保存しました")));
    QFile f(csv);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("\xEF\xBB\xBF"
                                     "時刻,アプリ,キー,回数\r\n"
                                     "2024/03/05 09:00,,KeyA,1\r\n"
                                     "2024/03/05 09:00,'=cmd,Enter,1\r\n"
                                     "2024/03/05 09:00,editor,KeyA,2\r\n"));
    // Counting per application switched off: all of it unknown.
    r.item("mnuFileActivityPerApp")->trigger();
    r.focused.name = "editor";
    r.press("KeyA", 4);
    QVERIFY(r.exported(csv).contains(QStringLiteral("保存しました")));
    f.close();
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.readAll().contains("2024/03/05 09:00,,KeyA,5\r\n"));
    // A file that cannot be written is told, with the reason.
    QVERIFY(r.exported(r.file("no/such/folder/out.csv")).contains(QStringLiteral("保存できませんでした")));
}

void TestActivity::damagedDatabaseIsToldOnceAtTheStart() {
    Rig r;
    QFile junk(QString::fromStdString(r.activityPath));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(2048, 'j'));
    junk.close();
    r.start();
    QTRY_COMPARE(r.boxes.shown.size(), 1);
    QCOMPARE(r.boxes.shown[0].icon, widgets::BoxIcon::Exclamation);
    QVERIFY(r.boxes.shown[0].text.contains(QStringLiteral("PressoryActivity.damaged-")));
    // Counting into the new file goes on.
    r.press("A", 3);
    r.w->close();
    auto db = activity::ActivityStore::openForReading(r.activityPath);
    QVERIFY(db.store != nullptr);
    std::string reason;
    std::int64_t presses = 0;
    QVERIFY(db.store->forEachPress(
        [&](std::int64_t, std::string_view, std::string_view, std::int64_t n) { presses += n; }, reason));
    QCOMPARE(presses, 3);
    QCOMPARE(QDir(r.dir.path()).entryList({QStringLiteral("PressoryActivity.damaged-*.db")}).size(), 1);
}

QTEST_MAIN(TestActivity)
#include "test_activity.moc"

// The main window driven through its menus, its button, its timer and its
// close paths, with a scripted key source and a temporary program folder.
#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

#include "app/client_area.h"
#include "app/frm_main.h"
#include "app/notify_area.h"
#include "counting/key_layout.h"
#include "history/history_record.h"
#include "platform/text_codec.h"
#include "settings/profile_file.h"
#include "settings/settings.h"
#include "statistics/heat_scale.h"
#include "support/frm_main_rig.h"
#include "support/scripted_key_state.h"
#include "support/window_fakes.h"
#include "widgets/count_cell.h"
#include "widgets/keyboard_widget.h"
#include "widgets/message_boxes.h"

using namespace pressory;
using namespace pressory::app;
using namespace pressory::test;
using pressory::widgets::BoxIcon;

namespace {

// A main window in a temporary program folder, with what these tests read of it.
struct Rig : MainWindowRig {
    QString historyPath() const { return QString::fromStdString(history::historyPath(dir.path().toStdString())); }
    QByteArray historyBytes() const {
        QFile f(historyPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // The history file's lines, decoded.
    QStringList historyLines() const {
        const auto utf8 = platform::cp932ToUtf8(historyBytes().toStdString());
        QStringList lines = QString::fromStdString(utf8.value_or("")).split(QStringLiteral("\r\n"));
        if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
        return lines;
    }
    void press(int vk) {
        keys.down(vk);
        w->onTimer1Timeout();
        keys.up(vk);
        w->onTimer1Timeout();
    }
    QString count(int vk) const { return w->txtKey(vk)->text(); }
    QList<int> checkedRows() const {
        QList<int> rows;
        for (int i = 1; i <= 6; ++i)
            if (w->menuItem(QStringLiteral("mnuFileMaxRowCount(%1)").arg(i))->isChecked()) rows.append(i);
        return rows;
    }
};

// The column of a key's count in a history line.
int columnOf(int vk) {
    const auto codes = layout::countedCodes();
    return 11 + static_cast<int>(std::find(codes.begin(), codes.end(), vk) - codes.begin());
}

QRect startCompactRect() {
    const QRect sg = QGuiApplication::primaryScreen()->geometry();
    return {sg.left() + 10, sg.top() + sg.height() - 120, 140, 70};
}

QRect storedRect(const frmMain& w) {
    return {w.txtFormPosiX()->text().toInt(), w.txtFormPosiY()->text().toInt(), w.txtFormSizeX()->text().toInt(),
            w.txtFormSizeY()->text().toInt()};
}

bool topmost(const frmMain& w) { return w.windowFlags().testFlag(Qt::WindowStaysOnTopHint); }

}  // namespace

class TestFrmMain : public QObject {
    Q_OBJECT
private slots:
    void designValues();
    void menuTree();
    void checkMarksAfterStartUp_data();
    void checkMarksAfterStartUp();
    void oddSettingsFileAtStartUp();
    void backgroundPicture();
    void rowLimitChoice();
    void keysReachCellsAndTotal();
    void heatTintFollowsThePeriodsCounts();
    void keySoundsFollowTheCheckMark();
    void ticksFollowTheKeySourceEvents();
    void aRecoveryTickBeforeItsTimeKeepsTheWriteScheduled();
    void aWakeReadsTheSourceOnceATimedTickReadsItAgain();
    void saveAndReset();
    void resetWithoutSaving();
    void modeSwitchExchangesGeometry();
    void movedWindowComesBackAfterTwoSwitches();
    void shortcutsDoNotActInCompactMode();
    void closeSequenceOrderAndSettingsBytes();
    void settingsWrittenFromTheWindowsState();
    void failedHistoryWriteIsReported();
    void closeSequenceRunsOnce();
    void stopWithoutAPersonShowsNoBox();
    void stopDuringAnOpenBoxEndsIt();
    void notificationArea();
    void statusNotifierHostRestoresOnLeftClick();
    void noNotificationAreaLeavesTheWindowMinimised();
};

void TestFrmMain::designValues() {
    Rig r;
    r.create();
    frmMain& w = *r.w;
    QCOMPARE(w.windowTitle(), QStringLiteral("Pressory"));
    const QList<QSize> sizes = w.windowIcon().availableSizes();
    QVERIFY(sizes.contains(QSize(16, 16)) && sizes.contains(QSize(32, 32)));
    QCOMPARE(w.backColour(), 0x00FFC0C0);
    QCOMPARE(w.txtFormPosiX()->text(), QStringLiteral("Text1"));
    QVERIFY(!w.timer1()->isActive());

    int cells = 0, shown = 0, captions = 0;
    for (int vk = 0; vk <= 255; ++vk) {
        if (CountCell* c = w.txtKey(vk)) {
            ++cells;
            QCOMPARE(c->text(), QStringLiteral("0"));
            const bool counted = layout::isCounted(vk);
            QCOMPARE(c->alignment(), counted ? Qt::AlignRight : Qt::AlignLeft);
            if (!c->isHidden()) ++shown;
            QCOMPARE(c->isHidden(), !counted);
        }
        if (QLabel* l = w.label1(vk)) {
            ++captions;
            QCOMPARE(l->isHidden(), !layout::isCounted(vk));
        }
    }
    QCOMPARE(cells, 91);
    QCOMPARE(shown, 84);
    QCOMPARE(captions, 90);
    QCOMPARE(w.label1(34)->text(), QStringLiteral("PgDw"));
    QCOMPARE(w.label1(226)->text(), QStringLiteral("\\"));
    QCOMPARE(w.lblSummary()->text(), QStringLiteral("合計"));
    QCOMPARE(w.txtSummary()->alignment(), Qt::AlignRight);

    const QScreen* s = QGuiApplication::primaryScreen();
    if (qFuzzyCompare(s->logicalDotsPerInchX(), 96.0) && qFuzzyCompare(s->logicalDotsPerInchY(), 96.0)) {
        QCOMPARE(w.txtKey(65)->geometry(), QRect(80, 208, 37, 20));  // 1200, 3120 twips
        QCOMPARE(w.label1(2)->geometry(), QRect(704, 272, 33, 17));  // 10560, 4080; 495 x 255
        QCOMPARE(w.cmdResize()->geometry(), QRect(96, 16, 23, 20));
        QCOMPARE(w.txtSummary()->geometry(), QRect(32, 16, 57, 20));
    }

    w.load();
    QCOMPARE(w.timer1()->interval(), 10);
    QVERIFY(w.timer1()->isActive());
}

void TestFrmMain::menuTree() {
    Rig r;
    r.create();
    struct Item {
        const char* name;
        QString caption;
        QKeySequence shortcut;
    };
    auto check = [&](QMenu* menu, const QList<Item>& expected) {
        const QList<QAction*> actions = menu->actions();
        QCOMPARE(actions.size(), expected.size());
        for (qsizetype i = 0; i < actions.size(); ++i) {
            const Item& e = expected[i];
            QCOMPARE(actions[i]->objectName(), QString::fromLatin1(e.name));
            if (e.caption == QStringLiteral("-")) {
                QVERIFY(actions[i]->isSeparator());
            } else {
                QVERIFY(!actions[i]->isSeparator());
                QCOMPARE(actions[i]->text(), e.caption);
            }
            QCOMPARE(actions[i]->shortcut(), e.shortcut);
            QVERIFY(actions[i]->isEnabled());
            QVERIFY(actions[i]->isVisible());
        }
    };
    const QList<QAction*> bar = r.w->menuBar()->actions();
    QCOMPARE(bar.size(), 4);
    const QStringList barCaptions{QStringLiteral("ファイル(&F)"), QStringLiteral("表示(&V)"),
                                  QStringLiteral("サウンド(&S)"), QStringLiteral("ヘルプ(&H)")};
    for (int i = 0; i < 4; ++i) QCOMPARE(bar[i]->text(), barCaptions[i]);

    const auto menus = r.w->topMenus();
    const QKeySequence none;
    check(menus[0],
          {{"mnuFileHistory", QStringLiteral("履歴を表示(&H)"), QKeySequence(Qt::CTRL | Qt::Key_H)},
           {"mnuFileStatistics", QStringLiteral("統計を表示(&G)"), QKeySequence(Qt::CTRL | Qt::Key_G)},
           {"mnuFileMaxRow", QStringLiteral("履歴表示の最大件数設定(&C)"), none},
           {"mnuFileNoSaveReset", QStringLiteral("保存しないでリセット(&N)"), QKeySequence(Qt::CTRL | Qt::Key_N)},
           {"mnuFileSaveReset", QStringLiteral("保存してリセット(&S)"), QKeySequence(Qt::CTRL | Qt::Key_S)},
           {"mnulineF", QStringLiteral("-"), none},
           {"mnuFileQuit", QStringLiteral("終了(&X)"), QKeySequence(Qt::CTRL | Qt::Key_Q)}});
    check(r.item("mnuFileMaxRow")->menu(), {{"mnuFileMaxRowCount(1)", QStringLiteral("  10(&1)"), none},
                                            {"mnuFileMaxRowCount(2)", QStringLiteral("  50(&2)"), none},
                                            {"mnuFileMaxRowCount(3)", QStringLiteral(" 100(&3)"), none},
                                            {"mnuFileMaxRowCount(4)", QStringLiteral(" 200(&4)"), none},
                                            {"mnuFileMaxRowCount(5)", QStringLiteral(" 500(&5)"), none},
                                            {"mnuFileMaxRowCount(6)", QStringLiteral("1000(&6)"), none}});
    check(menus[1], {{"mnuVisionTop", QStringLiteral("常に前面に表示(&F)"), none},
                     {"mnulineV", QStringLiteral("-"), none},
                     {"mnuVisionKeyColor", QStringLiteral("キー点滅色の設定(&B)"), none},
                     {"mnuVisionFrmColor", QStringLiteral("背景色の設定(&C)"), none},
                     {"mnuVisionPictureEnable", QStringLiteral("背景の画像を有効(&E)"), none},
                     {"mnuVisionPicture", QStringLiteral("背景に画像ファイルを設定(&D)"), none},
                     {"mnuVisionHeatMap", QStringLiteral("キーの使用頻度を色で表示(&M)"), none}});
    check(menus[2], {{"mnuSoundEnable", QStringLiteral("音声を有効(&E)"), none},
                     {"mnuSoundFile", QStringLiteral("音声ファイル設定(&F)"), none}});
    check(menus[3], {{"mnuHelpHelp", QStringLiteral("READMEを表示(&H)"), none},
                     {"mnulineH", QStringLiteral("-"), none},
                     {"mnuHelpVersion", QStringLiteral("バージョン情報(&A)"), none}});

    // Check marks as the window is created: no row limit, sound on, picture off.
    QCOMPARE(r.checkedRows(), QList<int>{});
    QVERIFY(r.item("mnuSoundEnable")->isChecked());
    QVERIFY(!r.item("mnuVisionPictureEnable")->isChecked());
    QVERIFY(!r.item("mnuVisionTop")->isCheckable());
}

void TestFrmMain::checkMarksAfterStartUp_data() {
    QTest::addColumn<int>("maxRow");
    QTest::addColumn<int>("soundEnable");
    QTest::addColumn<int>("expectedRow");
    QTest::addColumn<bool>("soundChecked");
    QTest::newRow("defaults") << 1 << 0 << 1 << false;
    QTest::newRow("sound 1") << 2 << 1 << 2 << true;
    QTest::newRow("sound -1") << 6 << -1 << 6 << true;
    QTest::newRow("row 9 names no item") << 9 << 0 << 1 << false;
    QTest::newRow("row 0 names no item") << 0 << 0 << 1 << false;
}

void TestFrmMain::checkMarksAfterStartUp() {
    QFETCH(int, maxRow);
    QFETCH(int, soundEnable);
    QFETCH(int, expectedRow);
    QFETCH(bool, soundChecked);
    Rig r;
    r.record.fileHistoryMaxRow = static_cast<std::int16_t>(maxRow);
    r.record.soundEnable = static_cast<std::int16_t>(soundEnable);
    r.start();
    QCOMPARE(r.checkedRows(), QList<int>{expectedRow});
    QCOMPARE(r.record.fileHistoryMaxRow, expectedRow);  // what the close writes back
    QCOMPARE(r.item("mnuSoundEnable")->isChecked(), soundChecked);
    QVERIFY(!r.item("mnuVisionPictureEnable")->isChecked());
    QVERIFY(r.w->menuBar()->isHidden());
}

void TestFrmMain::oddSettingsFileAtStartUp() {
    Rig r;
    QVERIFY(profile::writeText(r.settingsPath(), "FILE", "FileHistoryMaxRow", "9"));
    QVERIFY(profile::writeText(r.settingsPath(), "SOUND", "SoundEnable", "1"));
    QVERIFY(profile::writeText(r.settingsPath(), "COLOR", "ColorTextBoxBlink", "65280"));
    QVERIFY(profile::writeText(r.settingsPath(), "COLOR", "ColorBackGround", "-2147483643"));
    r.record = settings::loadSettings(r.settingsPath());
    r.start();
    QCOMPARE(r.checkedRows(), QList<int>{1});
    QVERIFY(r.item("mnuSoundEnable")->isChecked());
    QCOMPARE(r.w->blinkColour(), 65280);
    QCOMPARE(r.w->backColour(), static_cast<std::int32_t>(0x80000005u));
    r.keys.down(65);
    r.w->onTimer1Timeout();
    QCOMPARE(r.w->txtKey(65)->colourValue(), 65280);
}

void TestFrmMain::backgroundPicture() {
    Rig r;
    const QString png = r.dir.filePath(QStringLiteral("back.png"));
    QImage image(5, 4, QImage::Format_RGB32);
    image.fill(Qt::green);
    QVERIFY(image.save(png));
    const QString broken = r.dir.filePath(QStringLiteral("broken.png"));
    {
        QFile f(broken);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a picture");
    }

    r.record.pictureEnable = 1;
    r.record.pictureBackGround = png.toStdString();
    r.start();
    QVERIFY(r.item("mnuVisionPictureEnable")->isChecked());
    QCOMPARE(r.w->clientArea()->picture().size(), QSize(5, 4));
    r.item("mnuVisionPictureEnable")->trigger();  // off: the picture goes
    QVERIFY(!r.item("mnuVisionPictureEnable")->isChecked());
    QVERIFY(r.w->clientArea()->picture().isNull());
    r.item("mnuVisionPictureEnable")->trigger();  // on: loaded again from the path
    QCOMPARE(r.w->clientArea()->picture().size(), QSize(5, 4));

    Rig off;
    off.record.pictureEnable = 0;
    off.record.pictureBackGround = png.toStdString();
    off.start();
    QVERIFY(!off.item("mnuVisionPictureEnable")->isChecked());
    QVERIFY(off.w->clientArea()->picture().isNull());

    for (const QString& path : {broken, r.dir.filePath(QStringLiteral("missing.png"))}) {
        Rig bad;
        bad.record.pictureEnable = -1;
        bad.record.pictureBackGround = path.toStdString();
        bad.start();
        QVERIFY(bad.item("mnuVisionPictureEnable")->isChecked());
        QVERIFY(bad.w->clientArea()->picture().isNull());
        QVERIFY(bad.boxes.shown.isEmpty());
    }
}

void TestFrmMain::rowLimitChoice() {
    Rig r;
    r.start();
    r.item("mnuFileMaxRowCount(3)")->trigger();
    QCOMPARE(r.checkedRows(), QList<int>{3});
    QCOMPARE(r.record.fileHistoryMaxRow, 3);
    r.item("mnuFileMaxRowCount(3)")->trigger();  // the checked one stays checked
    QCOMPARE(r.checkedRows(), QList<int>{3});
    r.item("mnuFileMaxRowCount(6)")->trigger();
    QCOMPARE(r.checkedRows(), QList<int>{6});
    QCOMPARE(r.record.fileHistoryMaxRow, 6);
}

void TestFrmMain::keysReachCellsAndTotal() {
    Rig r;
    r.start();
    frmMain& w = *r.w;
    r.keys.down(65);
    w.onTimer1Timeout();
    QCOMPARE(r.count(65), QStringLiteral("1"));
    QCOMPARE(w.txtSummary()->text(), QStringLiteral("1"));
    QCOMPARE(w.txtKey(65)->colourValue(), 255);
    const int aRepaints = w.txtKey(65)->repaintRequests();
    for (int i = 0; i < 5; ++i) w.onTimer1Timeout();  // held: counted once, nothing to repaint
    QCOMPARE(r.count(65), QStringLiteral("1"));
    QCOMPARE(w.txtKey(65)->repaintRequests(), aRepaints);
    r.keys.up(65);
    w.onTimer1Timeout();
    QCOMPARE(w.txtKey(65)->colourValue(), colour::kUp);

    r.press(66);
    QCOMPARE(r.count(66), QStringLiteral("1"));
    QCOMPARE(w.txtSummary()->text(), QStringLiteral("2"));

    // Only the cells whose keys moved were asked to repaint.
    for (int vk = 0; vk <= 255; ++vk)
        if (CountCell* c = w.txtKey(vk); c && vk != 65 && vk != 66) QCOMPARE(c->repaintRequests(), 0);
}

// The tint in full mode: each pressed key's cell in the colour of its share,
// the most pressed darkest, held keys still blinking, unpressed keys plain;
// off in compact mode and gone when switched off; the switch kept at close.
void TestFrmMain::heatTintFollowsThePeriodsCounts() {
    using statistics::colourValueOf;
    using statistics::heatColour;
    Rig r;
    r.record.heatMap = -1;
    r.start();
    frmMain& w = *r.w;
    QVERIFY(r.item("mnuVisionHeatMap")->isChecked());
    r.w->onCmdResizeClicked();  // full mode
    QVERIFY(!w.compactMode());
    for (int i = 0; i < 4; ++i) r.press(65);
    QCOMPARE(w.txtKey(65)->colourValue(), colourValueOf(heatColour(1)));
    const int bRepaintsBefore = w.txtKey(66)->repaintRequests();
    r.press(66);  // a quarter of the largest count: half way up the scale
    QCOMPARE(w.txtKey(66)->colourValue(), colourValueOf(heatColour(0.5)));
    QVERIFY(w.txtKey(66)->repaintRequests() > bRepaintsBefore);
    QCOMPARE(w.txtKey(67)->colourValue(), colour::kUp);
    // A press that does not move the largest count repaints no other cell.
    const int aRepaints = w.txtKey(65)->repaintRequests();
    r.press(66);
    QCOMPARE(w.txtKey(65)->repaintRequests(), aRepaints);
    // Held, the key blinks; released, it takes its tint again.
    r.keys.down(66);
    w.onTimer1Timeout();
    QCOMPARE(w.txtKey(66)->colourValue(), 255);
    r.keys.up(66);
    w.onTimer1Timeout();
    QCOMPARE(w.txtKey(66)->colourValue(), colourValueOf(heatColour(std::sqrt(3.0 / 4.0))));
    // B passes A: the scale moves, A is no longer the darkest.
    r.press(66);
    r.press(66);
    QCOMPARE(w.txtKey(66)->colourValue(), colourValueOf(heatColour(1)));
    QCOMPARE(w.txtKey(65)->colourValue(), colourValueOf(heatColour(std::sqrt(4.0 / 5.0))));

    // Switched off: plain cells at once; on again: the tint at once.
    r.item("mnuVisionHeatMap")->trigger();
    QCOMPARE(w.txtKey(65)->colourValue(), colour::kUp);
    QCOMPARE(w.txtKey(66)->colourValue(), colour::kUp);
    r.item("mnuVisionHeatMap")->trigger();
    QCOMPARE(w.txtKey(66)->colourValue(), colourValueOf(heatColour(1)));

    // Compact mode does not tint; back in full mode the tint has followed.
    r.w->onCmdResizeClicked();
    QVERIFY(w.compactMode());
    r.press(67);
    QCOMPARE(w.txtKey(67)->colourValue(), colour::kUp);
    r.w->onCmdResizeClicked();
    QVERIFY(w.txtKey(67)->colourValue() != colour::kUp);

    // A reset leaves every cell plain.
    r.item("mnuFileNoSaveReset")->trigger();
    QCOMPARE(w.txtKey(66)->colourValue(), colour::kUp);
    QCOMPARE(w.txtKey(67)->colourValue(), colour::kUp);

    r.item("mnuFileQuit")->trigger();
    QCOMPARE(profile::readText(r.settingsPath(), "COLOR", "HeatMap"), std::string("-1"));
}

void TestFrmMain::keySoundsFollowTheCheckMark() {
    Rig r;
    r.record.soundEnable = -1;
    r.record.soundPaths[65] = "/sounds/a.wav";
    r.start();
    r.press(65);
    r.press(66);  // no path: the request is made with the empty path
    QCOMPARE(r.sound.played, (QStringList{QStringLiteral("/sounds/a.wav"), QString()}));
    r.item("mnuSoundEnable")->trigger();  // off
    QVERIFY(!r.item("mnuSoundEnable")->isChecked());
    r.press(65);
    QCOMPARE(r.sound.played.size(), 2);
    QCOMPARE(r.count(65), QStringLiteral("2"));
}

// The timer that is to bring the recovery write can fire before its time
// (timers are not exact); the tick it brings then must leave the write
// scheduled, not drop it.
void TestFrmMain::aRecoveryTickBeforeItsTimeKeepsTheWriteScheduled() {
    int sockets[2];
    QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM, 0, sockets), 0);
    Rig r;
    r.source.wake = sockets[0];
    r.start();
    QTRY_VERIFY_WITH_TIMEOUT(!r.w->timer1()->isActive(), 500);  // the first tick found nothing
    r.press(65);  // the first change is written at once, the next one a minute later
    r.press(66);
    QVERIFY(r.w->timer1()->isActive());
    QVERIFY(r.w->timer1()->remainingTime() > 50'000);
    r.w->timer1()->stop();  // as if it had fired now, long before the write is due
    r.w->onTimer1Timeout();
    QVERIFY(r.w->timer1()->isActive());
    QVERIFY(r.w->timer1()->remainingTime() > 50'000);
    ::close(sockets[0]);
    ::close(sockets[1]);
}

// The wake reads the source and its tick runs at once on what was read,
// without reading again; a tick the timer brings reads the source itself.
void TestFrmMain::aWakeReadsTheSourceOnceATimedTickReadsItAgain() {
    int sockets[2];
    QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM, 0, sockets), 0);
    Rig r;
    r.source.wake = sockets[0];
    int pumps = 0;
    int ticks = 0;
    r.source.onRead = [&](int vk) { ticks += vk == 65 ? 1 : 0; };
    r.source.onPump = [&] {
        ++pumps;
        char buffer[64];
        while (::recv(sockets[0], buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
        }
    };
    r.start();
    QTRY_VERIFY_WITH_TIMEOUT(!r.w->timer1()->isActive(), 500);
    QTest::qWait(20);  // the next event is more than a tick after the last one
    pumps = ticks = 0;
    r.keys.down(65);
    QCOMPARE(::send(sockets[1], "x", 1, 0), 1);
    QTRY_COMPARE_WITH_TIMEOUT(r.count(65), QStringLiteral("1"), 300);
    QCOMPARE(ticks, 1);
    QCOMPARE(pumps, 1);

    // A tick of the timer (a tap's return, a pending write) reads what has
    // arrived meanwhile, even though no wake has read it yet.
    r.w->onTimer1Timeout();
    QCOMPARE(pumps, 2);
    QCOMPARE(ticks, 2);
    r.w.reset();
    ::close(sockets[0]);
    ::close(sockets[1]);
}

void TestFrmMain::ticksFollowTheKeySourceEvents() {
    int sockets[2];
    QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM, 0, sockets), 0);
    Rig r;
    r.source.wake = sockets[0];
    QElapsedTimer clock;
    clock.start();
    QList<qint64> tickTimes;  // when each tick read the keys
    r.source.onRead = [&](int vk) {
        if (vk == 65) tickTimes.append(clock.elapsed());
    };
    r.source.onPump = [&] {  // the source reads what has arrived
        char buffer[64];
        while (::recv(sockets[0], buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
        }
    };
    auto send = [&] { QCOMPARE(::send(sockets[1], "x", 1, 0), 1); };
    r.keys.down(66);  // held since before the start: the first tick finds it
    r.start();
    QVERIFY(r.w->timer1()->isSingleShot());
    QTRY_COMPARE_WITH_TIMEOUT(r.count(66), QStringLiteral("1"), 500);
    QTRY_VERIFY_WITH_TIMEOUT(!r.w->timer1()->isActive(), 500);

    // Held, and nothing arrives: no tick at all, the cell keeps its colour.
    const qsizetype ticksWhileHeld = tickTimes.size();
    QTest::qWait(150);
    QCOMPARE(tickTimes.size(), ticksWhileHeld);
    QVERIFY(!r.w->timer1()->isActive());
    QCOMPARE(r.w->txtKey(66)->colourValue(), 255);

    // The release arrives: its tick paints the up colour.
    r.keys.up(66);
    send();
    QTRY_COMPARE_WITH_TIMEOUT(r.w->txtKey(66)->colourValue(), colour::kUp, 300);
    QCOMPARE(tickTimes.size(), ticksWhileHeld + 1);

    // The compact window shows no cell: the source is told so, and a tap
    // asks for no tick to paint its cell's return to the up colour.
    QVERIFY(!r.source.keysShown);
    const qsizetype beforeTap = tickTimes.size();
    r.keys.tap(65);
    send();
    QTRY_COMPARE_WITH_TIMEOUT(r.count(65), QStringLiteral("1"), 300);
    QTest::qWait(50);
    QCOMPARE(tickTimes.size(), beforeTap + 1);

    // The full window: the source is told, and a tick shows the keys at once.
    // A tap that is over before its tick blinks, and goes back to the up
    // colour 10 ms later without any further event.
    const qsizetype beforeFull = tickTimes.size();
    r.w->cmdResize()->click();
    QVERIFY(r.source.keysShown);
    QTRY_COMPARE_WITH_TIMEOUT(tickTimes.size(), beforeFull + 1, 300);
    r.keys.tap(65);
    send();
    QTRY_COMPARE_WITH_TIMEOUT(r.count(65), QStringLiteral("2"), 300);
    QTRY_COMPARE_WITH_TIMEOUT(r.w->txtKey(65)->colourValue(), colour::kUp, 300);
    // The count changed less than a minute after the recovery file was
    // written: the one timed tick left is the one that writes it again.
    QVERIFY(r.w->timer1()->isActive());
    QVERIFY2(r.w->timer1()->remainingTime() > 50'000, qPrintable(QString::number(r.w->timer1()->remainingTime())));

    // A stream of events every millisecond: at most one tick per 10 ms.
    const qsizetype before = tickTimes.size();
    QElapsedTimer streamTime;
    streamTime.start();
    while (streamTime.elapsed() < 200) {
        send();
        QTest::qWait(1);
    }
    QTest::qWait(30);
    const QList<qint64> streamed = tickTimes.mid(before);
    QVERIFY2(streamed.size() >= 2, qPrintable(QString::number(streamed.size())));
    for (qsizetype i = 1; i < streamed.size(); ++i)
        QVERIFY2(streamed[i] - streamed[i - 1] >= 9,
                 qPrintable(QStringLiteral("ticks %1 ms apart").arg(streamed[i] - streamed[i - 1])));
    r.w.reset();
    ::close(sockets[0]);
    ::close(sockets[1]);
}

void TestFrmMain::saveAndReset() {
    Rig r;
    r.start();
    r.press(65);
    r.press(65);
    r.press(1);
    r.item("mnuFileSaveReset")->trigger();

    QStringList lines = r.historyLines();
    QCOMPARE(lines.size(), 2);
    const QStringList header = lines[0].split(QLatin1Char(','));
    const QStringList record = lines[1].split(QLatin1Char(','));
    QCOMPARE(header.size(), 95);
    QCOMPARE(header[10], QStringLiteral("合計"));
    QCOMPARE(record.size(), 95);
    QCOMPARE(record[0], QStringLiteral("2024/03/05 09:08:07"));
    QCOMPARE(record[10], QStringLiteral("3"));
    QCOMPARE(record[columnOf(65)], QStringLiteral("2"));
    QCOMPARE(record[columnOf(1)], QStringLiteral("1"));
    QVERIFY(r.historyBytes().endsWith("\r\n"));

    QCOMPARE(r.boxes.shown.size(), 1);
    QCOMPARE(r.boxes.shown[0].icon, BoxIcon::Information);
    QCOMPARE(r.boxes.shown[0].text, r.historyPath() + QStringLiteral(" に記録しました。"));
    QCOMPARE(r.count(65), QStringLiteral("0"));
    QCOMPARE(r.count(1), QStringLiteral("0"));
    QCOMPARE(r.w->txtSummary()->text(), QStringLiteral("0"));

    r.item("mnuFileSaveReset")->trigger();  // after a reset: a record of zeros
    lines = r.historyLines();
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines[2].startsWith(QStringLiteral("2024/03/05 09:08:07,,,,,,,,,,0,")));
}

void TestFrmMain::resetWithoutSaving() {
    Rig r;
    r.start();
    r.press(65);
    r.item("mnuFileNoSaveReset")->trigger();
    QVERIFY(!QFile::exists(r.historyPath()));
    QCOMPARE(r.count(65), QStringLiteral("0"));
    QCOMPARE(r.w->txtSummary()->text(), QStringLiteral("0"));
    QCOMPARE(r.boxes.shown.size(), 1);
    QCOMPARE(r.boxes.shown[0].icon, BoxIcon::Information);
    QCOMPARE(r.boxes.shown[0].text, QStringLiteral("リセットしました。"));

    r.item("mnuFileSaveReset")->trigger();
    const QByteArray before = r.historyBytes();
    r.press(66);
    r.item("mnuFileNoSaveReset")->trigger();
    QCOMPARE(r.historyBytes(), before);
}

void TestFrmMain::modeSwitchExchangesGeometry() {
    Rig r;
    r.create();
    frmMain& w = *r.w;
    const QRect asCreated = w.frameGeometry();
    w.load();
    w.applySettings();
    w.show();
    const QRect compact = startCompactRect();

    QVERIFY(w.compactMode());
    QCOMPARE(w.cmdResize()->text(), QStringLiteral("大"));
    QVERIFY(topmost(w));
    QVERIFY(w.menuBar()->isHidden());
    QCOMPARE(w.frameGeometry(), compact);
    QCOMPARE(storedRect(w).topLeft(), asCreated.topLeft());
    const QRect full = storedRect(w);  // the size as created plus the frame, once it is known
    QVERIFY(full.width() >= asCreated.width() && full.height() >= asCreated.height());

    w.cmdResize()->click();
    QCOMPARE(w.cmdResize()->text(), QStringLiteral("小"));
    QVERIFY(!topmost(w));
    QVERIFY(w.isVisible());
    QVERIFY(!w.menuBar()->isHidden());
    QCOMPARE(w.frameGeometry(), full);
    QCOMPARE(storedRect(w), compact);

    QCOMPARE(w.clientArea()->size(), QSize(asCreated.width(), asCreated.height() - w.menuBar()->height()));

    r.item("mnuVisionTop")->trigger();
    QCOMPARE(w.cmdResize()->text(), QStringLiteral("大"));
    QVERIFY(topmost(w));
    QVERIFY(w.menuBar()->isHidden());
    QVERIFY(!r.item("mnuVisionTop")->isChecked());
    QCOMPARE(w.frameGeometry(), compact);
    QCOMPARE(storedRect(w), full);
}

void TestFrmMain::movedWindowComesBackAfterTwoSwitches() {
    Rig r;
    r.start();
    frmMain& w = *r.w;
    w.move(50, 60);
    QCOMPARE(w.frameGeometry().topLeft(), QPoint(50, 60));
    w.cmdResize()->click();
    w.move(30, 40);
    const QRect fullMoved = w.frameGeometry();
    w.cmdResize()->click();
    QCOMPARE(w.frameGeometry(), QRect(50, 60, 140, 70));
    w.cmdResize()->click();
    QCOMPARE(w.frameGeometry(), fullMoved);
    w.cmdResize()->click();
    QCOMPARE(w.frameGeometry(), QRect(50, 60, 140, 70));
}

void TestFrmMain::shortcutsDoNotActInCompactMode() {
    Rig r;
    r.start();
    frmMain& w = *r.w;
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    r.press(65);
    QTest::keyClick(&w, Qt::Key_N, Qt::ControlModifier);
    QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(&w, Qt::Key_Q, Qt::ControlModifier);
    QCOMPARE(r.count(65), QStringLiteral("1"));
    QVERIFY(r.boxes.shown.isEmpty());
    QVERIFY(!QFile::exists(r.historyPath()));
    QCOMPARE(r.quits, 0);
    QVERIFY(w.isVisible());

    // The same keys act in full mode.
    w.cmdResize()->click();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(&w, Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(r.count(65), QStringLiteral("0"));
    QCOMPARE(r.boxes.shown.size(), 1);
    QTest::keyClick(&w, Qt::Key_Q, Qt::ControlModifier);
    QCOMPARE(r.quits, 1);
}

void TestFrmMain::closeSequenceOrderAndSettingsBytes() {
    Rig r;
    r.start();
    r.press(65);
    const QString ini = QString::fromStdString(r.settingsPath());
    QStringList steps;
    r.boxes.onShow = [&] {
        steps << QStringLiteral("box");
        QCOMPARE(r.historyLines().size(), 2);  // recorded before the box
        QVERIFY(!QFile::exists(ini));          // settings only after it is answered
    };
    r.sound.onStop = [&] {
        steps << QStringLiteral("stop sound");
        QVERIFY(!QFile::exists(ini));
        QVERIFY(r.tray.removes == 0);
    };
    r.w->close();
    QCOMPARE(steps, (QStringList{QStringLiteral("box"), QStringLiteral("stop sound")}));
    QCOMPARE(r.boxes.shown[0].icon, BoxIcon::Information);
    QCOMPARE(r.boxes.shown[0].text, r.historyPath() + QStringLiteral(" に記録しました。"));
    QFile f(ini);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("[FILE]\r\nFileHistoryMaxRow=1\r\n"
                                     "[SOUND]\r\nSoundEnable=0\r\n"
                                     "[COLOR]\r\nColorTextBoxBlink=255\r\nColorBackGround=-2147483633\r\n"
                                     "PictureBackGround=\r\nPictureEnable=0\r\nHeatMap=0\r\n"));
    QCOMPARE(r.tray.removes, 1);
    QVERIFY(!r.w->timer1()->isActive());
    QCOMPARE(r.quits, 1);
    QVERIFY(r.w->closeSequenceDone());
}

void TestFrmMain::settingsWrittenFromTheWindowsState() {
    Rig r;
    r.record.colorTextBoxBlink = 0x00112233;
    r.record.colorBackGround = 0x00FFC0C0;
    r.record.pictureBackGround = "/pictures/back.png";
    r.start();
    r.item("mnuFileMaxRowCount(4)")->trigger();
    r.item("mnuSoundEnable")->trigger();
    r.item("mnuVisionPictureEnable")->trigger();
    r.item("mnuFileQuit")->trigger();
    const std::string ini = r.settingsPath();
    QCOMPARE(profile::readText(ini, "FILE", "FileHistoryMaxRow"), std::string("4"));
    QCOMPARE(profile::readText(ini, "SOUND", "SoundEnable"), std::string("-1"));
    QCOMPARE(profile::readText(ini, "COLOR", "ColorTextBoxBlink"), std::string("1122867"));
    QCOMPARE(profile::readText(ini, "COLOR", "ColorBackGround"), std::string("16761024"));
    QCOMPARE(profile::readText(ini, "COLOR", "PictureBackGround"), std::string("/pictures/back.png"));
    QCOMPARE(profile::readText(ini, "COLOR", "PictureEnable"), std::string("-1"));
    QCOMPARE(r.quits, 1);
}

void TestFrmMain::failedHistoryWriteIsReported() {
    Rig r;
    QVERIFY(QDir(r.dir.path()).mkdir(QStringLiteral("PressoryHistory.csv")));  // cannot be written as a file
    r.start();
    r.press(65);
    r.item("mnuFileSaveReset")->trigger();
    QCOMPARE(r.boxes.shown.size(), 1);
    QCOMPARE(r.boxes.shown[0].icon, BoxIcon::Critical);
    const QString prefix = r.historyPath() + QStringLiteral(" に記録できませんでした。\n");
    QVERIFY2(r.boxes.shown[0].text.startsWith(prefix), qPrintable(r.boxes.shown[0].text));
    QVERIFY(r.boxes.shown[0].text.size() > prefix.size());  // the system's reason
    QCOMPARE(r.count(65), QStringLiteral("1"));             // nothing is reset: the counts wait for a record

    r.w->close();  // the close goes on after the message
    QCOMPARE(r.boxes.shown.size(), 2);
    QCOMPARE(r.boxes.shown[1].icon, BoxIcon::Critical);
    QCOMPARE(profile::readText(r.settingsPath(), "COLOR", "PictureEnable"), std::string("0"));
    QCOMPARE(r.quits, 1);
}

void TestFrmMain::closeSequenceRunsOnce() {
    Rig r;
    r.start();
    r.w->close();
    r.w->close();
    r.item("mnuFileQuit")->trigger();
    r.w->requestStop(CloseBy::Signal);
    r.w->requestStop(CloseBy::SessionEnd);
    r.w->requestStop(CloseBy::ApplicationQuit);
    QCOMPARE(r.historyLines().size(), 2);
    QCOMPARE(r.boxes.shown.size(), 1);
    QCOMPARE(r.sound.stops, 1);
    // A stop request from the system after the sequence only asks again for
    // the end (a window that refused the first would otherwise keep it alive).
    QCOMPARE(r.quits, 3);
}

void TestFrmMain::stopWithoutAPersonShowsNoBox() {
    for (CloseBy by : {CloseBy::Signal, CloseBy::SessionEnd, CloseBy::ApplicationQuit}) {
        Rig r;
        r.start();
        r.press(65);
        r.keys.tap(66);  // arrived after the last tick: read by the close
        r.w->requestStop(by);
        QCOMPARE(r.historyLines().size(), 2);
        QCOMPARE(r.historyLines()[1].split(QLatin1Char(','))[columnOf(65)], QStringLiteral("1"));
        QCOMPARE(r.historyLines()[1].split(QLatin1Char(','))[columnOf(66)], QStringLiteral("1"));
        QVERIFY(r.boxes.shown.isEmpty());
        QCOMPARE(profile::readText(r.settingsPath(), "SOUND", "SoundEnable"), std::string("0"));
        // The application already ending is not asked to end again.
        QCOMPARE(r.quits, by == CloseBy::ApplicationQuit ? 0 : 1);
    }
    Rig failing;
    QVERIFY(QDir(failing.dir.path()).mkdir(QStringLiteral("PressoryHistory.csv")));
    failing.start();
    failing.w->requestStop(CloseBy::Signal);
    QVERIFY(failing.boxes.shown.isEmpty());
    QCOMPARE(profile::readText(failing.settingsPath(), "FILE", "FileHistoryMaxRow"), std::string("1"));
}

void TestFrmMain::stopDuringAnOpenBoxEndsIt() {
    // A person closed the program, and the system asks it to stop while the
    // confirmation is still open: the box is closed and the sequence finishes once.
    Rig r;
    r.start();
    r.boxes.onShow = [&] { r.w->requestStop(CloseBy::Signal); };
    r.w->close();
    QCOMPARE(r.boxes.dismissals, 1);
    QCOMPARE(r.historyLines().size(), 2);
    QCOMPARE(r.sound.stops, 1);
    QCOMPARE(r.quits, 1);
    QVERIFY(QFile::exists(QString::fromStdString(r.settingsPath())));
}

void TestFrmMain::notificationArea() {
    Rig r;
    r.start();
    frmMain& w = *r.w;
    w.cmdResize()->click();  // full mode
    QVERIFY(r.tray.handler);
    w.showMinimized();
    QTRY_VERIFY(!w.isVisible());
    QCOMPARE(r.tray.adds, 1);
    QVERIFY(r.tray.iconShown);

    r.keys.down(65);  // counting goes on while hidden
    w.onTimer1Timeout();
    for (auto reason : {QSystemTrayIcon::Trigger, QSystemTrayIcon::Context, QSystemTrayIcon::MiddleClick}) {
        r.tray.handler(reason);
        QVERIFY(!w.isVisible());
        QVERIFY(r.tray.iconShown);
    }
    r.tray.handler(QSystemTrayIcon::DoubleClick);
    QVERIFY(w.isVisible());
    QVERIFY(!w.isMinimized());
    QVERIFY(!r.tray.iconShown);
    QVERIFY(!w.compactMode());
    QCOMPARE(r.count(65), QStringLiteral("1"));

    r.w->close();
    QCOMPARE(r.tray.removes, 2);
}

void TestFrmMain::statusNotifierHostRestoresOnLeftClick() {
    // Such a host sends Trigger for a left click and never a double-click.
    Rig r;
    r.tray.singleClickHost = true;
    r.start();
    frmMain& w = *r.w;
    w.showMinimized();
    QTRY_VERIFY(!w.isVisible());
    QVERIFY(r.tray.iconShown);
    for (auto reason : {QSystemTrayIcon::Context, QSystemTrayIcon::MiddleClick, QSystemTrayIcon::Unknown}) {
        r.tray.handler(reason);
        QVERIFY(!w.isVisible());
        QVERIFY(r.tray.iconShown);
    }
    r.tray.handler(QSystemTrayIcon::Trigger);
    QVERIFY(w.isVisible());
    QVERIFY(!w.isMinimized());
    QVERIFY(!r.tray.iconShown);
    QVERIFY(w.compactMode());  // back in the mode it was minimised in

    // Minimised again, it comes back again.
    w.showMinimized();
    QTRY_VERIFY(!w.isVisible());
    QVERIFY(r.tray.iconShown);
    r.tray.handler(QSystemTrayIcon::Trigger);
    QVERIFY(w.isVisible());
    QVERIFY(!r.tray.iconShown);
}

void TestFrmMain::noNotificationAreaLeavesTheWindowMinimised() {
    Rig r;
    r.tray.isAvailable = false;
    r.start();
    r.w->cmdResize()->click();
    r.w->showMinimized();
    QTest::qWait(50);
    QVERIFY(r.w->isVisible());
    QVERIFY(r.w->isMinimized());
    QCOMPARE(r.tray.adds, 0);
}

QTEST_MAIN(TestFrmMain)
#include "test_frm_main.moc"

// The main window driven through its menus, its button, its timer and its
// close paths, with a scripted key source and a temporary program folder.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

#include "app/client_area.h"
#include "app/main_window.h"
#include "app/mode_switcher.h"
#include "app/notify_area.h"
#include "counting/key_layout.h"
#include "history/history_record.h"
#include "platform/text_codec.h"
#include "settings/profile_file.h"
#include "settings/settings.h"
#include "statistics/heat_scale.h"
#include "support/main_window_rig.h"
#include "support/scripted_key_state.h"
#include "support/window_fakes.h"
#include "widgets/count_cell.h"
#include "widgets/keyboard_widget.h"
#include "widgets/message_boxes.h"

using namespace pressory;
using namespace pressory::app;
using namespace pressory::test;
using pressory::widgets::BoxIcon;
using pressory::widgets::CountCell;

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
        tick();
        keys.up(vk);
        tick();
    }
    QString count(int vk) const { return cell(vk)->text(); }
    QList<int> checkedRows() const {
        QList<int> rows;
        for (int i = 1; i <= 6; ++i)
            if (item(qPrintable(QStringLiteral("mnuFileMaxRowCount(%1)").arg(i)))->isChecked()) rows.append(i);
        return rows;
    }
    ModeSwitcher& modes() const { return *find<ModeSwitcher>(); }
    QPushButton* cmdResize() const { return find<QPushButton>("cmdResize"); }
    ClientArea* client() const { return find<ClientArea>("frmMainClient"); }
    widgets::KeyboardWidget* keyboard() const { return find<widgets::KeyboardWidget>("keyboard"); }
};

// The column of a key's count in a history line.
int columnOf(int vk) {
    const auto codes = counting::layout::countedCodes();
    return 11 + static_cast<int>(std::find(codes.begin(), codes.end(), vk) - codes.begin());
}

QRect startCompactRect() {
    const QRect sg = QGuiApplication::primaryScreen()->geometry();
    return {sg.left() + 10, sg.top() + sg.height() - 120, 140, 70};
}

bool topmost(const MainWindow& w) { return w.windowFlags().testFlag(Qt::WindowStaysOnTopHint); }

}  // namespace

class TestMainWindow : public QObject {
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
    void aRecoveryTickBeforeItsTimeKeepsTheWriteScheduled();
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

void TestMainWindow::designValues() {
    Rig r;
    r.create();
    MainWindow& w = *r.w;
    QCOMPARE(w.windowTitle(), QStringLiteral("Pressory"));
    const QList<QSize> sizes = w.windowIcon().availableSizes();
    QVERIFY(sizes.contains(QSize(16, 16)) && sizes.contains(QSize(32, 32)));
    QCOMPARE(r.client()->backColour(), 0x00FFC0C0);
    QVERIFY(!r.timer()->isActive());

    int cells = 0, shown = 0, captions = 0;
    for (int vk = 0; vk <= 255; ++vk) {
        if (CountCell* c = r.keyboard()->cell(vk)) {
            ++cells;
            QCOMPARE(c->text(), QStringLiteral("0"));
            const bool counted = counting::layout::isCounted(vk);
            QCOMPARE(c->alignment(), counted ? Qt::AlignRight : Qt::AlignLeft);
            if (!c->isHidden()) ++shown;
            QCOMPARE(c->isHidden(), !counted);
        }
        if (QLabel* l = r.keyboard()->caption(vk)) {
            ++captions;
            QCOMPARE(l->isHidden(), !counting::layout::isCounted(vk));
        }
    }
    QCOMPARE(cells, 91);
    QCOMPARE(shown, 84);
    QCOMPARE(captions, 90);

    // Controls by their names: the text they show, and at 96 dpi their place
    // in pixels (twips / 15).
    struct Control {
        const char* name;
        QString text;
        QRect at96;
    };
    const Control controls[] = {
        {"txtKey(65)", QStringLiteral("0"), {80, 208, 37, 20}},  // 1200, 3120 twips
        {"Label1(2)", QString(), {704, 272, 33, 17}},            // 10560, 4080; 495 x 255
        {"Label1(34)", QStringLiteral("PgDw"), {}},
        {"Label1(226)", QStringLiteral("\\"), {}},
        {"lblSummary", QStringLiteral("合計"), {}},
        {"txtSummary", QStringLiteral("0"), {32, 16, 57, 20}},
        {"cmdResize", QStringLiteral("小"), {96, 16, 23, 20}},
    };
    const QScreen* s = QGuiApplication::primaryScreen();
    const bool at96 = qFuzzyCompare(s->logicalDotsPerInchX(), 96.0) && qFuzzyCompare(s->logicalDotsPerInchY(), 96.0);
    for (const Control& c : controls) {
        QWidget* widget = r.find<QWidget>(c.name);
        QString text;
        if (auto* cell = qobject_cast<CountCell*>(widget)) text = cell->text();
        if (auto* label = qobject_cast<QLabel*>(widget)) text = label->text();
        if (auto* button = qobject_cast<QPushButton*>(widget)) text = button->text();
        if (!c.text.isNull()) QCOMPARE(text, c.text);
        if (at96 && !c.at96.isNull()) QCOMPARE(widget->geometry(), c.at96);
    }
    QCOMPARE(r.total()->alignment(), Qt::AlignRight);

    w.load();
    QCOMPARE(r.timer()->interval(), 10);
    QVERIFY(r.timer()->isActive());
}

// The menu tree in order, as the access keys and shortcuts reach it: each
// menu, then its items one level deeper; separators have no access key.
void TestMainWindow::menuTree() {
    Rig r;
    r.create();
    struct Row {
        int depth;
        QString name;
        QChar accessKey;  // null: a separator
        QKeySequence shortcut;
        bool operator==(const Row&) const = default;
    };
    const auto ctrl = [](Qt::Key k) { return QKeySequence(Qt::CTRL | k); };
    const QList<Row> expected = {
        {0, "mnuFile", 'F', {}},
        {1, "mnuFileHistory", 'H', ctrl(Qt::Key_H)},
        {1, "mnuFileStatistics", 'G', ctrl(Qt::Key_G)},
        {1, "mnuFileMaxRow", 'C', {}},
        {2, "mnuFileMaxRowCount(1)", '1', {}},
        {2, "mnuFileMaxRowCount(2)", '2', {}},
        {2, "mnuFileMaxRowCount(3)", '3', {}},
        {2, "mnuFileMaxRowCount(4)", '4', {}},
        {2, "mnuFileMaxRowCount(5)", '5', {}},
        {2, "mnuFileMaxRowCount(6)", '6', {}},
        {1, "mnuFileNoSaveReset", 'N', ctrl(Qt::Key_N)},
        {1, "mnuFileSaveReset", 'S', ctrl(Qt::Key_S)},
        {1, "mnuFilePause", 'P', ctrl(Qt::Key_P)},
        {1, "mnuFileActivityExport", 'E', {}},
        {1, "mnuFileActivity", 'A', {}},
        {2, "mnuFileActivityPerApp", 'A', {}},
        {2, "mnuFileActivityNever", 'R', {}},
        {2, "mnuFileActivityChord", 'C', {}},
        {2, "mnuFileActivityKeepPause", 'K', {}},
        {1, "mnulineF", {}, {}},
        {1, "mnuFileQuit", 'X', ctrl(Qt::Key_Q)},
        {0, "mnuVision", 'V', {}},
        {1, "mnuVisionTop", 'F', {}},
        {1, "mnulineV", {}, {}},
        {1, "mnuVisionKeyColor", 'B', {}},
        {1, "mnuVisionFrmColor", 'C', {}},
        {1, "mnuVisionPictureEnable", 'E', {}},
        {1, "mnuVisionPicture", 'D', {}},
        {1, "mnuVisionHeatMap", 'M', {}},
        {0, "mnuSound", 'S', {}},
        {1, "mnuSoundEnable", 'E', {}},
        {1, "mnuSoundFile", 'F', {}},
        {0, "mnuHelp", 'H', {}},
        {1, "mnuHelpHelp", 'H', {}},
        {1, "mnulineH", {}, {}},
        {1, "mnuHelpVersion", 'A', {}},
    };
    QList<Row> tree;
    std::function<void(const QList<QAction*>&, int)> walk = [&](const QList<QAction*>& actions, int depth) {
        for (QAction* a : actions) {
            QVERIFY(a->isEnabled() && a->isVisible());
            const QRegularExpressionMatch key = QRegularExpression(QStringLiteral("\\(&(.)\\)$")).match(a->text());
            QCOMPARE(a->isSeparator(), !key.hasMatch());
            tree.append({depth, a->objectName(), key.hasMatch() ? key.captured(1)[0] : QChar(), a->shortcut()});
            if (a->menu() != nullptr) walk(a->menu()->actions(), depth + 1);
        }
    };
    walk(r.w->menuBar()->actions(), 0);
    for (qsizetype i = 0; i < std::max(tree.size(), expected.size()); ++i) {
        const Row got = tree.value(i), want = expected.value(i);
        QVERIFY2(got == want,
                 qPrintable(QStringLiteral("item %1: %2 %3, expected %4 %5")
                                .arg(i)
                                .arg(got.name, QString(got.accessKey), want.name, QString(want.accessKey))));
    }

    // Check marks as the window is created: no row limit, sound on, picture off.
    QCOMPARE(r.checkedRows(), QList<int>{});
    QVERIFY(r.item("mnuSoundEnable")->isChecked());
    QVERIFY(!r.item("mnuVisionPictureEnable")->isChecked());
    QVERIFY(!r.item("mnuVisionTop")->isCheckable());
}

void TestMainWindow::checkMarksAfterStartUp_data() {
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

void TestMainWindow::checkMarksAfterStartUp() {
    QFETCH(int, maxRow);
    QFETCH(int, soundEnable);
    QFETCH(int, expectedRow);
    QFETCH(bool, soundChecked);
    Rig r;
    QVERIFY(settings::profile::writeText(r.settingsPath(), "FILE", "FileHistoryMaxRow", std::to_string(maxRow)));
    QVERIFY(settings::profile::writeText(r.settingsPath(), "SOUND", "SoundEnable", std::to_string(soundEnable)));
    r.record = settings::loadSettings(r.settingsPath());
    r.start();
    QCOMPARE(r.checkedRows(), QList<int>{expectedRow});
    // What the close writes back: the row of the check mark, the switch as on (-1) or off.
    QCOMPARE(r.record.fileHistoryMaxRow, expectedRow);
    QCOMPARE(r.record.soundEnable, soundChecked ? -1 : 0);
    QCOMPARE(r.item("mnuSoundEnable")->isChecked(), soundChecked);
    QVERIFY(!r.item("mnuVisionPictureEnable")->isChecked());
    QVERIFY(r.w->menuBar()->isHidden());
}

void TestMainWindow::oddSettingsFileAtStartUp() {
    Rig r;
    QVERIFY(settings::profile::writeText(r.settingsPath(), "FILE", "FileHistoryMaxRow", "9"));
    QVERIFY(settings::profile::writeText(r.settingsPath(), "SOUND", "SoundEnable", "1"));
    QVERIFY(settings::profile::writeText(r.settingsPath(), "COLOR", "ColorTextBoxBlink", "65280"));
    QVERIFY(settings::profile::writeText(r.settingsPath(), "COLOR", "ColorBackGround", "-2147483643"));
    r.record = settings::loadSettings(r.settingsPath());
    r.start();
    QCOMPARE(r.checkedRows(), QList<int>{1});
    QVERIFY(r.item("mnuSoundEnable")->isChecked());
    QCOMPARE(r.settings().blinkColour(), 65280);
    QCOMPARE(r.client()->backColour(), static_cast<std::int32_t>(0x80000005u));
    r.keys.down(65);
    r.tick();
    QCOMPARE(r.cell(65)->colourValue(), 65280);
}

void TestMainWindow::backgroundPicture() {
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
    QCOMPARE(r.client()->picture().size(), QSize(5, 4));
    r.item("mnuVisionPictureEnable")->trigger();  // off: the picture goes
    QVERIFY(!r.item("mnuVisionPictureEnable")->isChecked());
    QVERIFY(r.client()->picture().isNull());
    r.item("mnuVisionPictureEnable")->trigger();  // on: loaded again from the path
    QCOMPARE(r.client()->picture().size(), QSize(5, 4));

    Rig off;
    off.record.pictureEnable = 0;
    off.record.pictureBackGround = png.toStdString();
    off.start();
    QVERIFY(!off.item("mnuVisionPictureEnable")->isChecked());
    QVERIFY(off.client()->picture().isNull());

    for (const QString& path : {broken, r.dir.filePath(QStringLiteral("missing.png"))}) {
        Rig bad;
        bad.record.pictureEnable = -1;
        bad.record.pictureBackGround = path.toStdString();
        bad.start();
        QVERIFY(bad.item("mnuVisionPictureEnable")->isChecked());
        QVERIFY(bad.client()->picture().isNull());
        QVERIFY(bad.boxes.shown.isEmpty());
    }
}

void TestMainWindow::rowLimitChoice() {
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

void TestMainWindow::keysReachCellsAndTotal() {
    Rig r;
    r.start();
    r.keys.down(65);
    r.tick();
    QCOMPARE(r.count(65), QStringLiteral("1"));
    QCOMPARE(r.total()->text(), QStringLiteral("1"));
    QCOMPARE(r.cell(65)->colourValue(), 255);
    const int aRepaints = r.cell(65)->repaintRequests();
    for (int i = 0; i < 5; ++i) r.tick();  // held: counted once, nothing to repaint
    QCOMPARE(r.count(65), QStringLiteral("1"));
    QCOMPARE(r.cell(65)->repaintRequests(), aRepaints);
    r.keys.up(65);
    r.tick();
    QCOMPARE(r.cell(65)->colourValue(), counting::colour::kUp);

    r.press(66);
    QCOMPARE(r.count(66), QStringLiteral("1"));
    QCOMPARE(r.total()->text(), QStringLiteral("2"));

    // Only the cells whose keys moved were asked to repaint.
    for (int vk = 0; vk <= 255; ++vk)
        if (CountCell* c = r.keyboard()->cell(vk); c && vk != 65 && vk != 66) QCOMPARE(c->repaintRequests(), 0);
}

// The tint in full mode: each pressed key's cell in the colour of its share,
// the most pressed darkest, held keys still blinking, unpressed keys plain;
// off in compact mode and gone when switched off; the switch kept at close.
void TestMainWindow::heatTintFollowsThePeriodsCounts() {
    using statistics::colourValueOf;
    using statistics::heatColour;
    Rig r;
    r.record.heatMap = -1;
    r.start();
    QVERIFY(r.item("mnuVisionHeatMap")->isChecked());
    r.cmdResize()->click();  // full mode
    QVERIFY(!r.modes().compact());
    for (int i = 0; i < 4; ++i) r.press(65);
    QCOMPARE(r.cell(65)->colourValue(), colourValueOf(heatColour(1)));
    const int bRepaintsBefore = r.cell(66)->repaintRequests();
    r.press(66);  // a quarter of the largest count: half way up the scale
    QCOMPARE(r.cell(66)->colourValue(), colourValueOf(heatColour(0.5)));
    QVERIFY(r.cell(66)->repaintRequests() > bRepaintsBefore);
    QCOMPARE(r.cell(67)->colourValue(), counting::colour::kUp);
    // A press that does not move the largest count repaints no other cell.
    const int aRepaints = r.cell(65)->repaintRequests();
    r.press(66);
    QCOMPARE(r.cell(65)->repaintRequests(), aRepaints);
    // Held, the key blinks; released, it takes its tint again.
    r.keys.down(66);
    r.tick();
    QCOMPARE(r.cell(66)->colourValue(), 255);
    r.keys.up(66);
    r.tick();
    QCOMPARE(r.cell(66)->colourValue(), colourValueOf(heatColour(std::sqrt(3.0 / 4.0))));
    // B passes A: the scale moves, A is no longer the darkest.
    r.press(66);
    r.press(66);
    QCOMPARE(r.cell(66)->colourValue(), colourValueOf(heatColour(1)));
    QCOMPARE(r.cell(65)->colourValue(), colourValueOf(heatColour(std::sqrt(4.0 / 5.0))));

    // Switched off: plain cells at once; on again: the tint at once.
    r.item("mnuVisionHeatMap")->trigger();
    QCOMPARE(r.cell(65)->colourValue(), counting::colour::kUp);
    QCOMPARE(r.cell(66)->colourValue(), counting::colour::kUp);
    r.item("mnuVisionHeatMap")->trigger();
    QCOMPARE(r.cell(66)->colourValue(), colourValueOf(heatColour(1)));

    // Compact mode does not tint; back in full mode the tint has followed.
    r.cmdResize()->click();
    QVERIFY(r.modes().compact());
    r.press(67);
    QCOMPARE(r.cell(67)->colourValue(), counting::colour::kUp);
    r.cmdResize()->click();
    QVERIFY(r.cell(67)->colourValue() != counting::colour::kUp);

    // A reset leaves every cell plain.
    r.item("mnuFileNoSaveReset")->trigger();
    QCOMPARE(r.cell(66)->colourValue(), counting::colour::kUp);
    QCOMPARE(r.cell(67)->colourValue(), counting::colour::kUp);

    r.item("mnuFileQuit")->trigger();
    QCOMPARE(settings::profile::readText(r.settingsPath(), "COLOR", "HeatMap"), std::string("-1"));
}

void TestMainWindow::keySoundsFollowTheCheckMark() {
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
void TestMainWindow::aRecoveryTickBeforeItsTimeKeepsTheWriteScheduled() {
    int sockets[2];
    QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM, 0, sockets), 0);
    Rig r;
    r.source.wake = sockets[0];
    r.start();
    QTRY_VERIFY_WITH_TIMEOUT(!r.timer()->isActive(), 500);  // the first tick found nothing
    r.press(65);  // the first change is written at once, the next one a minute later
    r.press(66);
    QVERIFY(r.timer()->isActive());
    QVERIFY(r.timer()->remainingTime() > 50'000);
    r.timer()->stop();  // as if it had fired now, long before the write is due
    r.tick();
    QVERIFY(r.timer()->isActive());
    QVERIFY(r.timer()->remainingTime() > 50'000);
    ::close(sockets[0]);
    ::close(sockets[1]);
}

void TestMainWindow::saveAndReset() {
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
    QCOMPARE(r.total()->text(), QStringLiteral("0"));

    r.item("mnuFileSaveReset")->trigger();  // after a reset: a record of zeros
    lines = r.historyLines();
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines[2].startsWith(QStringLiteral("2024/03/05 09:08:07,,,,,,,,,,0,")));
}

void TestMainWindow::resetWithoutSaving() {
    Rig r;
    r.start();
    r.press(65);
    r.item("mnuFileNoSaveReset")->trigger();
    QVERIFY(!QFile::exists(r.historyPath()));
    QCOMPARE(r.count(65), QStringLiteral("0"));
    QCOMPARE(r.total()->text(), QStringLiteral("0"));
    QCOMPARE(r.boxes.shown.size(), 1);
    QCOMPARE(r.boxes.shown[0].icon, BoxIcon::Information);
    QCOMPARE(r.boxes.shown[0].text, QStringLiteral("リセットしました。"));

    r.item("mnuFileSaveReset")->trigger();
    const QByteArray before = r.historyBytes();
    r.press(66);
    r.item("mnuFileNoSaveReset")->trigger();
    QCOMPARE(r.historyBytes(), before);
}

void TestMainWindow::modeSwitchExchangesGeometry() {
    Rig r;
    r.create();
    MainWindow& w = *r.w;
    const QRect asCreated = w.frameGeometry();
    w.load();
    w.applySettings();
    w.show();
    const QRect compact = startCompactRect();

    QVERIFY(r.modes().compact());
    QCOMPARE(r.cmdResize()->text(), QStringLiteral("大"));
    QVERIFY(!r.source.keysShown);  // the compact window shows no cell
    QVERIFY(topmost(w));
    QVERIFY(w.menuBar()->isHidden());
    QCOMPARE(w.frameGeometry(), compact);
    QCOMPARE(r.modes().otherModeRect().topLeft(), asCreated.topLeft());
    const QRect full = r.modes().otherModeRect();  // the size as created plus the frame, once it is known
    QVERIFY(full.width() >= asCreated.width() && full.height() >= asCreated.height());

    r.cmdResize()->click();
    QCOMPARE(r.cmdResize()->text(), QStringLiteral("小"));
    QVERIFY(r.source.keysShown);
    QVERIFY(!topmost(w));
    QVERIFY(w.isVisible());
    QVERIFY(!w.menuBar()->isHidden());
    QCOMPARE(w.frameGeometry(), full);
    QCOMPARE(r.modes().otherModeRect(), compact);

    QCOMPARE(r.client()->size(), QSize(asCreated.width(), asCreated.height() - w.menuBar()->height()));

    r.item("mnuVisionTop")->trigger();
    QCOMPARE(r.cmdResize()->text(), QStringLiteral("大"));
    QVERIFY(topmost(w));
    QVERIFY(w.menuBar()->isHidden());
    QVERIFY(!r.item("mnuVisionTop")->isChecked());
    QCOMPARE(w.frameGeometry(), compact);
    QCOMPARE(r.modes().otherModeRect(), full);
}

void TestMainWindow::movedWindowComesBackAfterTwoSwitches() {
    Rig r;
    r.start();
    MainWindow& w = *r.w;
    w.move(50, 60);
    QCOMPARE(w.frameGeometry().topLeft(), QPoint(50, 60));
    r.cmdResize()->click();
    w.move(30, 40);
    const QRect fullMoved = w.frameGeometry();
    r.cmdResize()->click();
    QCOMPARE(w.frameGeometry(), QRect(50, 60, 140, 70));
    r.cmdResize()->click();
    QCOMPARE(w.frameGeometry(), fullMoved);
    r.cmdResize()->click();
    QCOMPARE(w.frameGeometry(), QRect(50, 60, 140, 70));
}

void TestMainWindow::shortcutsDoNotActInCompactMode() {
    Rig r;
    r.start();
    MainWindow& w = *r.w;
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
    r.cmdResize()->click();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(&w, Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(r.count(65), QStringLiteral("0"));
    QCOMPARE(r.boxes.shown.size(), 1);
    QTest::keyClick(&w, Qt::Key_Q, Qt::ControlModifier);
    QCOMPARE(r.quits, 1);
}

void TestMainWindow::closeSequenceOrderAndSettingsBytes() {
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
    QVERIFY(!r.timer()->isActive());
    QCOMPARE(r.quits, 1);
}

void TestMainWindow::settingsWrittenFromTheWindowsState() {
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
    QCOMPARE(settings::profile::readText(ini, "FILE", "FileHistoryMaxRow"), std::string("4"));
    QCOMPARE(settings::profile::readText(ini, "SOUND", "SoundEnable"), std::string("-1"));
    QCOMPARE(settings::profile::readText(ini, "COLOR", "ColorTextBoxBlink"), std::string("1122867"));
    QCOMPARE(settings::profile::readText(ini, "COLOR", "ColorBackGround"), std::string("16761024"));
    QCOMPARE(settings::profile::readText(ini, "COLOR", "PictureBackGround"), std::string("/pictures/back.png"));
    QCOMPARE(settings::profile::readText(ini, "COLOR", "PictureEnable"), std::string("-1"));
    QCOMPARE(r.quits, 1);
}

void TestMainWindow::failedHistoryWriteIsReported() {
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
    QCOMPARE(settings::profile::readText(r.settingsPath(), "COLOR", "PictureEnable"), std::string("0"));
    QCOMPARE(r.quits, 1);
}

void TestMainWindow::closeSequenceRunsOnce() {
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

void TestMainWindow::stopWithoutAPersonShowsNoBox() {
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
        QCOMPARE(settings::profile::readText(r.settingsPath(), "SOUND", "SoundEnable"), std::string("0"));
        // The application already ending is not asked to end again.
        QCOMPARE(r.quits, by == CloseBy::ApplicationQuit ? 0 : 1);
    }
    Rig failing;
    QVERIFY(QDir(failing.dir.path()).mkdir(QStringLiteral("PressoryHistory.csv")));
    failing.start();
    failing.w->requestStop(CloseBy::Signal);
    QVERIFY(failing.boxes.shown.isEmpty());
    QCOMPARE(settings::profile::readText(failing.settingsPath(), "FILE", "FileHistoryMaxRow"), std::string("1"));
}

void TestMainWindow::stopDuringAnOpenBoxEndsIt() {
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

void TestMainWindow::notificationArea() {
    Rig r;
    r.start();
    MainWindow& w = *r.w;
    r.cmdResize()->click();  // full mode
    QVERIFY(r.tray.handler);
    w.showMinimized();
    QTRY_VERIFY(!w.isVisible());
    QCOMPARE(r.tray.adds, 1);
    QVERIFY(r.tray.iconShown);

    r.keys.down(65);  // counting goes on while hidden
    r.tick();
    for (auto reason : {QSystemTrayIcon::Trigger, QSystemTrayIcon::Context, QSystemTrayIcon::MiddleClick}) {
        r.tray.handler(reason);
        QVERIFY(!w.isVisible());
        QVERIFY(r.tray.iconShown);
    }
    r.tray.handler(QSystemTrayIcon::DoubleClick);
    QVERIFY(w.isVisible());
    QVERIFY(!w.isMinimized());
    QVERIFY(!r.tray.iconShown);
    QVERIFY(!r.modes().compact());
    QCOMPARE(r.count(65), QStringLiteral("1"));

    r.w->close();
    QCOMPARE(r.tray.removes, 2);
}

void TestMainWindow::statusNotifierHostRestoresOnLeftClick() {
    // Such a host sends Trigger for a left click and never a double-click.
    Rig r;
    r.tray.singleClickHost = true;
    r.start();
    MainWindow& w = *r.w;
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
    QVERIFY(r.modes().compact());  // back in the mode it was minimised in

    // Minimised again, it comes back again.
    w.showMinimized();
    QTRY_VERIFY(!w.isVisible());
    QVERIFY(r.tray.iconShown);
    r.tray.handler(QSystemTrayIcon::Trigger);
    QVERIFY(w.isVisible());
    QVERIFY(!r.tray.iconShown);
}

void TestMainWindow::noNotificationAreaLeavesTheWindowMinimised() {
    Rig r;
    r.tray.isAvailable = false;
    r.start();
    r.cmdResize()->click();
    r.w->showMinimized();
    QTest::qWait(50);
    QVERIFY(r.w->isVisible());
    QVERIFY(r.w->isMinimized());
    QCOMPARE(r.tray.adds, 0);
}

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"

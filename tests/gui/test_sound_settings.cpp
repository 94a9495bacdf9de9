// The sound settings window: its design, dropped files, the three clicks,
// OK and cancel with the settings file's bytes, and the main window counting
// and playing on while it is open.
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QtTest>
#include <memory>

#include "app/main_window.h"
#include "counting/key_layout.h"
#include "settings/settings.h"
#include "sound/ui/sound_file_chooser.h"
#include "sound/ui/sound_settings_window.h"
#include "support/scripted_key_state.h"
#include "support/window_fakes.h"
#include "widgets/count_cell.h"
#include "widgets/keyboard_widget.h"

using namespace pressory;
using namespace pressory::test;
using pressory::sound::SoundSettingsWindow;
using pressory::widgets::BoxIcon;

namespace {

const QString kNoFile = QStringLiteral("ファイルが設定されていません。");

// Answers the file chooser with `answer` and notes what it was opened with.
struct FakeChooser final : sound::SoundFileChooser {
    std::optional<QString> answer;
    QStringList openedWith;
    std::optional<QString> choose(QWidget*, const QString& current) override {
        openedWith << current;
        return answer;
    }
};

struct Rig {
    QTemporaryDir dir;
    settings::SettingsRecord record;
    RecordingBoxes boxes;
    RecordingSound sound;
    FakeChooser chooser;
    std::unique_ptr<SoundSettingsWindow> w;

    Rig() {
        record.soundPaths[65] = "/sounds/a.wav";
        record.soundPaths[226] = "/sounds/ろ.wav";
        record.soundPaths[4] = "/sounds/middle.wav";  // no sound entry
    }
    std::string settingsPath() const { return dir.filePath(QStringLiteral("Pressory.ini")).toStdString(); }
    SoundSettingsWindow& open() {
        w = std::make_unique<SoundSettingsWindow>(
            sound::SoundSettingsContext{settingsPath(), &record, &boxes, &sound, &chooser});
        w->show();
        return *w;
    }
    QByteArray settingsBytes() const {
        QFile f(QString::fromStdString(settingsPath()));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    void writeSettings(const QByteArray& bytes) const {
        QFile f(QString::fromStdString(settingsPath()));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QString cell(int vk) const { return w->txtKey(vk)->text(); }
    QPoint centreOf(int vk) const { return w->txtKey(vk)->geometry().center(); }

    // A drag over the keyboard at a point, then the drop; returns whether
    // the drag was accepted there.
    bool drop(QMimeData* data, QPoint at) {
        widgets::KeyboardWidget* kb = w->keyboard();
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(kb, &enter);
        QDragMoveEvent move(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(kb, &move);
        const bool accepted = move.isAccepted() && move.dropAction() == Qt::CopyAction;
        QDropEvent dropped(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(kb, &dropped);
        QCoreApplication::processEvents();
        return accepted;
    }
};

QMimeData* fileDrop(const QStringList& paths) {
    auto* m = new QMimeData;
    QList<QUrl> urls;
    for (const QString& p : paths) urls.append(QUrl::fromLocalFile(p));
    m->setUrls(urls);
    return m;
}

}  // namespace

class TestSoundSettings : public QObject {
    Q_OBJECT
private slots:
    void designValues();
    void droppedFiles();
    void droppedThingsThatAreNotFiles();
    void aPathWithALineBreakIsRefused();
    void clicks();
    void cancelWritesNothing();
    void okRewritesEveryKey();
    void okWithAnUnstorablePathWritesNothing();
    void aFailedWriteIsReported();
    void keysOnTheCellsAndEscAndTheCloseBox();
    void mainWindowCountsAndPlaysWhileOpen();
};

void TestSoundSettings::designValues() {
    Rig r;
    SoundSettingsWindow& w = r.open();
    QCOMPARE(w.windowTitle(), QStringLiteral("音声設定"));
    QCOMPARE(w.objectName(), QStringLiteral("frmSoundConfig"));
    QVERIFY(w.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!w.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    const int dpiX = w.logicalDpiX(), dpiY = w.logicalDpiY();
    QCOMPARE(w.size(), QSize(qRound(11370 * dpiX / 1440.0), qRound(5625 * dpiY / 1440.0)));

    int shown = 0;
    for (const counting::KeyCell& key : counting::layout::cells()) {
        widgets::CountCell* c = w.keyboard()->cell(key.vk);
        const bool sound = key.counted();
        QCOMPARE(c->isHidden(), !sound);
        if (QLabel* l = w.keyboard()->caption(key.vk)) QCOMPARE(l->isHidden(), !sound);
        if (!sound) continue;
        ++shown;
        QCOMPARE(c->alignment(), Qt::AlignRight);
        // 240 twips lower than in the main window.
        QCOMPARE(c->geometry().top(), qRound((key.top + 240) * dpiY / 1440.0));
        QCOMPARE(c->text(), QString::fromStdString(r.record.soundPaths[key.vk]));
        QCOMPARE(w.txtKeySave(key.vk), c->text());
    }
    QCOMPARE(shown, 84);
    QVERIFY(w.txtKey(4) == nullptr);
    QCOMPARE(w.txtKeySave(4), QString());

    const QStringList labels = {QStringLiteral("【ファイルの設定】　：　"),
                                QStringLiteral("【ファイルの確認】　：　"),
                                QStringLiteral("【ファイルの解除】　：　"),
                                QStringLiteral("ファイルマネージャからWAVファイルをドラッグドロップ"),
                                QStringLiteral("テキストボックスを左クリック"),
                                QStringLiteral("テキストボックスを右クリック")};
    for (int i = 0; i < 6; ++i) QCOMPARE(w.lblHelp(i)->text(), labels[i]);
    // In the window's font, each text whole inside its label, the labels inside
    // Shape1 and above the keyboard's first captions.
    const QRect shape1 = w.findChild<QWidget*>(QStringLiteral("Shape1"))->geometry();
    for (int i = 0; i < 6; ++i) {
        const QLabel* l = w.lblHelp(i);
        QCOMPARE(l->font().pixelSize(), w.font().pixelSize());
        QVERIFY(l->fontMetrics().horizontalAdvance(l->text()) <= l->width());
        QVERIFY(shape1.contains(l->geometry()));
    }
    QCOMPARE(w.lblHelp(3)->geometry().left(), w.lblHelp(0)->geometry().right() + 1);
    QVERIFY(shape1.right() < w.width());
    QVERIFY(shape1.bottom() < w.keyboard()->caption(44)->mapTo(&w, QPoint(0, 0)).y());

    QCOMPARE(w.cmdUpdate()->text(), QStringLiteral("OK"));
    QCOMPARE(w.cmdCancel()->text(), QStringLiteral("キャンセル"));
    for (QPushButton* b : {w.cmdUpdate(), w.cmdCancel()}) {
        QVERIFY(!b->isDefault());
        QVERIFY(!b->autoDefault());
        QCOMPARE(b->geometry().top(), qRound(5160 * dpiY / 1440.0));
    }
    QCOMPARE(w.cmdCancel()->nextInFocusChain(), w.cmdUpdate());
}

void TestSoundSettings::droppedFiles() {
    Rig r;
    r.open();
    QTemporaryDir d;
    const QString one = d.filePath(QStringLiteral("キー音 1.wav"));
    QVERIFY(r.drop(fileDrop({one}), r.centreOf(66)));
    QCOMPARE(r.cell(66), QDir::toNativeSeparators(one));

    // Three files: the first one's path only. Neither the name nor the
    // existence of the file is checked.
    const QStringList three = {d.filePath(QStringLiteral("notes.txt")), d.filePath(QStringLiteral("b.wav")),
                               d.filePath(QStringLiteral("c.wav"))};
    QVERIFY(r.drop(fileDrop(three), r.centreOf(65)));
    QCOMPARE(r.cell(65), QDir::toNativeSeparators(three[0]));
    QCOMPARE(r.cell(67), QString());

    // Only the edit cells change: not the saved cells, the table or the file.
    QCOMPARE(r.w->txtKeySave(65), QStringLiteral("/sounds/a.wav"));
    QCOMPARE(r.record.soundPaths[65], std::string("/sounds/a.wav"));
    QCOMPARE(r.settingsBytes(), QByteArray("<missing>"));
    QVERIFY(r.boxes.shown.isEmpty());
    QVERIFY(r.sound.played.isEmpty());
}

void TestSoundSettings::droppedThingsThatAreNotFiles() {
    Rig r;
    r.open();
    auto* text = new QMimeData;
    text->setText(QStringLiteral("/sounds/typed.wav"));
    QVERIFY(!r.drop(text, r.centreOf(66)));
    auto* remote = new QMimeData;
    remote->setUrls({QUrl(QStringLiteral("https://example.org/a.wav"))});
    QVERIFY(!r.drop(remote, r.centreOf(66)));
    QCOMPARE(r.cell(66), QString());
    // Files dropped beside the cells, on a caption or on a hidden cell's place.
    QVERIFY(!r.drop(fileDrop({QStringLiteral("/x/beside.wav")}), QPoint(2, 2)));
    QVERIFY(!r.drop(fileDrop({QStringLiteral("/x/caption.wav")}), r.w->keyboard()->caption(65)->geometry().center()));
    QVERIFY(!r.drop(fileDrop({QStringLiteral("/x/hidden.wav")}), r.w->keyboard()->cell(20)->geometry().center()));
    for (int vk : counting::layout::countedCodes())
        QCOMPARE(r.cell(vk), QString::fromStdString(r.record.soundPaths[vk]));
    QVERIFY(r.boxes.shown.isEmpty());
}

void TestSoundSettings::aPathWithALineBreakIsRefused() {
    Rig r;
    r.open();
    QVERIFY(r.drop(fileDrop({QStringLiteral("/x/two\nlines.wav")}), r.centreOf(65)));
    QTRY_COMPARE(r.boxes.shown.size(), 1);
    QCOMPARE(r.boxes.shown[0].icon, BoxIcon::Exclamation);
    QVERIFY(r.boxes.shown[0].text.endsWith(QStringLiteral("/x/two\nlines.wav")));
    QCOMPARE(r.cell(65), QStringLiteral("/sounds/a.wav"));
}

void TestSoundSettings::clicks() {
    Rig r;
    r.open();
    auto click = [&](int vk, Qt::MouseButton b) { QTest::mousePress(r.w->txtKey(vk), b); };

    click(65, Qt::LeftButton);  // the path in a box, nothing played
    click(66, Qt::LeftButton);  // empty
    // A left click is answered when it is clear that no second click follows.
    QTRY_COMPARE(r.boxes.shown.size(), 2);
    QCOMPARE(r.boxes.shown[0].icon, BoxIcon::Information);
    QCOMPARE(r.boxes.shown[0].text, QStringLiteral("/sounds/a.wav"));
    QCOMPARE(r.boxes.shown[1].icon, BoxIcon::Information);
    QCOMPARE(r.boxes.shown[1].text, kNoFile);

    click(226, Qt::MiddleButton);  // a filled cell: nothing
    QCOMPARE(r.boxes.shown.size(), 2);
    QCOMPARE(r.cell(226), QStringLiteral("/sounds/ろ.wav"));
    click(66, Qt::MiddleButton);  // an empty cell: the message, whatever the button
    QCOMPARE(r.boxes.shown.size(), 3);
    QCOMPARE(r.boxes.shown[2].text, kNoFile);

    click(226, Qt::RightButton);  // empties without a message
    QCOMPARE(r.cell(226), QString());
    QCOMPARE(r.boxes.shown.size(), 3);
    click(226, Qt::RightButton);  // now empty: the message
    QCOMPARE(r.boxes.shown.size(), 4);
    QCOMPARE(r.boxes.shown[3].text, kNoFile);
    QCOMPARE(r.w->txtKeySave(226), QStringLiteral("/sounds/ろ.wav"));
    QVERIFY(r.sound.played.isEmpty());
}

void TestSoundSettings::cancelWritesNothing() {
    Rig r;
    const QByteArray before("[SOUND]\r\nSoundEnable=-1\r\nKey65=/sounds/a.wav\r\n");
    r.writeSettings(before);
    r.open();
    r.drop(fileDrop({QStringLiteral("/x/new.wav")}), r.centreOf(65));
    QTest::mousePress(r.w->txtKey(226), Qt::RightButton);
    r.w->cmdCancel()->click();
    QCOMPARE(r.w->result(), int(QDialog::Rejected));
    QVERIFY(!r.w->isVisible());
    QCOMPARE(r.settingsBytes(), before);
    QCOMPARE(r.record.soundPaths[65], std::string("/sounds/a.wav"));
    QCOMPARE(r.record.soundPaths[226], std::string("/sounds/ろ.wav"));
    QVERIFY(r.boxes.shown.isEmpty());
    QVERIFY(r.sound.preloads.empty());
    // Opened again, it shows the saved paths.
    r.open();
    QCOMPARE(r.cell(65), QStringLiteral("/sounds/a.wav"));
    QCOMPARE(r.cell(226), QStringLiteral("/sounds/ろ.wav"));
}

void TestSoundSettings::okRewritesEveryKey() {
    Rig r;
    r.writeSettings(
        "; mine\r\n[SOUND]\r\nSoundEnable=-1\r\nKey4=/keep/middle.wav\r\nKey65=/sounds/a.wav\r\n"
        "[COLOR]\r\nColorTextBoxBlink=255\r\n");
    r.open();
    r.drop(fileDrop({QStringLiteral("/x/b.wav")}), r.centreOf(66));
    QTest::mousePress(r.w->txtKey(65), Qt::RightButton);
    r.w->cmdUpdate()->click();

    QCOMPARE(r.boxes.shown.size(), 1);
    QCOMPARE(r.boxes.shown[0].icon, BoxIcon::Information);
    QCOMPARE(r.boxes.shown[0].text, QStringLiteral("更新しました。"));
    QCOMPARE(r.w->result(), int(QDialog::Accepted));
    QVERIFY(!r.w->isVisible());

    QByteArray added;
    for (int vk : counting::layout::countedCodes()) {
        if (vk == 65) continue;
        added += "Key" + QByteArray::number(vk) + "=" +
                 (vk == 66    ? "/x/b.wav"
                  : vk == 226 ? "/sounds/ろ.wav"
                              : "") +
                 "\r\n";
    }
    QCOMPARE(r.settingsBytes(), "; mine\r\n[SOUND]\r\nSoundEnable=-1\r\nKey4=/keep/middle.wav\r\nKey65=\r\n" + added +
                                    "[COLOR]\r\nColorTextBoxBlink=255\r\n");
    QCOMPARE(r.record.soundPaths[65], std::string());
    QCOMPARE(r.record.soundPaths[66], std::string("/x/b.wav"));
    QCOMPARE(r.record.soundPaths[4], std::string("/sounds/middle.wav"));
    QCOMPARE(r.w->txtKeySave(66), QStringLiteral("/x/b.wav"));
    // The player loads the new table.
    QCOMPARE(r.sound.preloads.size(), std::size_t(1));
    QCOMPARE(r.sound.preloads[0], (std::vector<std::string>{"/x/b.wav", "/sounds/ろ.wav"}));

    // OK without a change writes the same bytes again and says so.
    const QByteArray once = r.settingsBytes();
    r.open();
    r.w->cmdUpdate()->click();
    QCOMPARE(r.settingsBytes(), once);
    QCOMPARE(r.boxes.shown.size(), 2);
    QCOMPARE(r.boxes.shown[1].text, QStringLiteral("更新しました。"));
}

void TestSoundSettings::okWithAnUnstorablePathWritesNothing() {
    Rig r;
    r.record.soundPaths[70] = "/sounds/f.wav";
    const QByteArray before("[SOUND]\r\nKey65=/sounds/a.wav\r\n");
    r.writeSettings(before);
    r.open();
    r.w->txtKey(70)->setText(QStringLiteral("/x/bad\r\n.wav"));  // however it got there
    r.w->cmdUpdate()->click();
    QCOMPARE(r.boxes.shown.size(), 1);
    QCOMPARE(r.boxes.shown[0].icon, BoxIcon::Exclamation);
    QVERIFY(r.w->isVisible());
    QCOMPARE(r.settingsBytes(), before);
    QCOMPARE(r.record.soundPaths[70], std::string("/sounds/f.wav"));
    r.w->cmdCancel()->click();
}

void TestSoundSettings::aFailedWriteIsReported() {
    Rig r;
    r.w = std::make_unique<SoundSettingsWindow>(sound::SoundSettingsContext{
        r.dir.filePath(QStringLiteral("no/such/folder/Pressory.ini")).toStdString(), &r.record, &r.boxes, &r.sound});
    r.w->show();
    r.drop(fileDrop({QStringLiteral("/x/b.wav")}), r.centreOf(66));
    r.w->cmdUpdate()->click();
    QCOMPARE(r.boxes.shown.size(), 1);
    QCOMPARE(r.boxes.shown[0].icon, BoxIcon::Critical);
    QVERIFY(r.boxes.shown[0].text.endsWith(QStringLiteral("Pressory.ini に保存できませんでした。")));
    // In use until the program ends all the same.
    QCOMPARE(r.record.soundPaths[66], std::string("/x/b.wav"));
    QVERIFY(!r.w->isVisible());
}

// The cells take the focus: Enter chooses a file for the focused cell (a
// double-click too), Delete clears it. Enter elsewhere leaves nothing; Esc
// and the close box cancel like the cancel button.
void TestSoundSettings::keysOnTheCellsAndEscAndTheCloseBox() {
    Rig r;
    r.open();
    QVERIFY(QTest::qWaitForWindowExposed(r.w.get()));
    r.w->activateWindow();
    r.w->txtKey(66)->setFocus();
    QTRY_VERIFY(r.w->txtKey(66)->hasFocus());
    // A screen reader is told the cells can take the focus, and which has it.
    const QAccessible::State focused = QAccessible::queryAccessibleInterface(r.w->txtKey(66))->state();
    const QAccessible::State other = QAccessible::queryAccessibleInterface(r.w->txtKey(65))->state();
    QVERIFY(focused.focusable && focused.focused);
    QVERIFY(other.focusable && !other.focused);
    r.chooser.answer = QStringLiteral("/chosen/b.wav");
    QTest::keyClick(r.w->txtKey(66), Qt::Key_Return);
    QCOMPARE(r.chooser.openedWith, QStringList{QString()});
    QCOMPARE(r.cell(66), QStringLiteral("/chosen/b.wav"));
    r.chooser.answer.reset();  // cancelled: the path stays
    QTest::keyClick(r.w->txtKey(66), Qt::Key_Enter);
    QCOMPARE(r.chooser.openedWith.value(1), QStringLiteral("/chosen/b.wav"));
    QCOMPARE(r.cell(66), QStringLiteral("/chosen/b.wav"));
    r.chooser.answer = QStringLiteral("/chosen/a.wav");
    QTest::mouseDClick(r.w->txtKey(65), Qt::LeftButton);
    QCOMPARE(r.chooser.openedWith.value(2), QStringLiteral("/sounds/a.wav"));
    QCOMPARE(r.cell(65), QStringLiteral("/chosen/a.wav"));
    QTest::keyClick(r.w->txtKey(226), Qt::Key_Delete);
    QCOMPARE(r.cell(226), QString());
    QTest::keyClick(r.w->txtKey(66), Qt::Key_Delete);
    QCOMPARE(r.cell(66), QString());
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    QVERIFY(r.boxes.shown.isEmpty());  // the double-click showed no path

    QTest::keyClick(r.w->cmdUpdate(), Qt::Key_Return);
    QVERIFY(r.w->isVisible());
    QTest::keyClick(r.w.get(), Qt::Key_Escape);
    QVERIFY(!r.w->isVisible());
    QCOMPARE(r.w->result(), int(QDialog::Rejected));
    QCOMPARE(r.settingsBytes(), QByteArray("<missing>"));
    QCOMPARE(r.record.soundPaths[65], std::string("/sounds/a.wav"));

    r.open();
    QVERIFY(QTest::qWaitForWindowExposed(r.w.get()));
    QVERIFY(r.w->close());
    QCOMPARE(r.w->result(), int(QDialog::Rejected));
    QVERIFY(r.boxes.shown.isEmpty());
}

// The main window opens the window from its menu, modal and centred over
// itself; its timer keeps ticking meanwhile: keys are counted and play the
// saved paths, never the unsaved edits.
void TestSoundSettings::mainWindowCountsAndPlaysWhileOpen() {
    QTemporaryDir dir;
    settings::SettingsRecord record;
    record.soundEnable = -1;
    record.soundPaths[65] = "/sounds/a.wav";
    platform::ScriptedKeyState keys;
    ScriptedKeySource source{keys};
    RecordingBoxes boxes;
    FakeNotifyArea tray;
    RecordingSound sound;
    app::MainWindowContext c;
    c.programFolder = dir.path().toStdString();
    c.settingsPath = dir.filePath(QStringLiteral("Pressory.ini")).toStdString();
    c.keySource = &source;
    c.boxes = &boxes;
    c.notifyArea = &tray;
    c.settings = &record;
    c.soundPlayer = &sound;
    c.quit = [] {};
    app::MainWindow main(std::move(c));
    main.load();
    main.applySettings();
    main.show();
    main.findChild<QPushButton*>(QStringLiteral("cmdResize"))->click();  // full mode: the menu bar
    QVERIFY(QTest::qWaitForWindowExposed(&main));

    bool sawDialog = false, modal = false, centred = false, counted = false;
    QString countWhileOpen;
    QStringList playedWhileOpen;
    QTimer::singleShot(0, [&] {
        auto* dlg = qobject_cast<SoundSettingsWindow*>(QApplication::activeModalWidget());
        if (dlg == nullptr) return;
        sawDialog = true;
        modal = dlg->isModal();
        centred = (dlg->frameGeometry().center() - main.frameGeometry().center()).manhattanLength() <= 4;
        dlg->txtKey(66)->setText(QStringLiteral("/unsaved/b.wav"));
        keys.down(65);
        counted = QTest::qWaitFor(
            [&] {
                return main.findChild<widgets::CountCell*>(QStringLiteral("txtKey(65)"))->text() == QStringLiteral("1");
            },
            2000);
        keys.up(65);
        keys.down(66);
        counted = QTest::qWaitFor(
                      [&] {
                          return main.findChild<widgets::CountCell*>(QStringLiteral("txtKey(66)"))->text() ==
                                 QStringLiteral("1");
                      },
                      2000) &&
                  counted;
        keys.up(66);
        countWhileOpen = main.findChild<widgets::CountCell*>(QStringLiteral("txtSummary"))->text();
        playedWhileOpen = sound.played;
        dlg->cmdCancel()->click();
    });
    QTimer::singleShot(10000, [] {  // a safety net: never hang on a failure
        if (QWidget* m = QApplication::activeModalWidget()) m->close();
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->reject();
    });
    main.findChild<QAction*>(QStringLiteral("mnuSoundFile"))->trigger();

    QVERIFY(sawDialog);
    QVERIFY(modal);
    QVERIFY(centred);
    QVERIFY(counted);
    QCOMPARE(countWhileOpen, QStringLiteral("2"));
    QCOMPARE(playedWhileOpen, (QStringList{QStringLiteral("/sounds/a.wav"), QString()}));
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    QCOMPARE(record.soundPaths[66], std::string());
}

QTEST_MAIN(TestSoundSettings)
#include "test_sound_settings.moc"

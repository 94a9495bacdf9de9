// What a person meets in the first hour beside the counting: the icon's menu
// and tip, a second start bringing the window forward, the cells a screen
// reader skips in the compact window, captions shown whole, and Qt's own dialogs in Japanese.
#include <QAccessible>
#include <QAction>
#include <QColorDialog>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <future>

#include "app/notify_area.h"
#include "app/qt_translations.h"
#include "app/second_start.h"
#include "app/single_instance.h"
#include "help/about_window.h"
#include "support/main_window_rig.h"

using namespace pressory;
using namespace pressory::app;
using namespace pressory::test;

namespace {

void pressOnce(MainWindowRig& r, int vk) {
    r.keys.down(vk);
    r.tick();
    r.keys.up(vk);
    r.tick();
}

QString buttonText(QMessageBox::StandardButton which) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Pressory"), QStringLiteral("?"), QMessageBox::Ok | which);
    return box.button(which)->text();
}

}  // namespace

class TestStartAndTray : public QObject {
    Q_OBJECT
private slots:
    void trayMenuAndTip();
    void secondStartBringsTheWindowForward();
    void theKeySourceInUseIsToldInTheTipAndTheAboutWindow();
    void compactCellsAreOffScreenForScreenReaders();
    void qtDialogsSpeakJapanese();  // last: the translator stays installed
};

void TestStartAndTray::trayMenuAndTip() {
    MainWindowRig r;
    r.start();
    QMetaObject::invokeMethod(r.find<QPushButton>("cmdResize"), "click");  // full mode
    pressOnce(r, 65);
    r.w->showMinimized();
    QTRY_VERIFY(!r.w->isVisible());
    QVERIFY(r.tray.iconShown);
    QCOMPARE(r.tray.tip, notifyTip() + QStringLiteral("\n合計: 1"));

    // A press while hidden is not told at once: the tip follows within a second.
    const int changes = r.tray.tipChanges;
    pressOnce(r, 66);
    QCOMPARE(r.tray.tipChanges, changes);
    QTRY_COMPARE_WITH_TIMEOUT(r.tray.tip, notifyTip() + QStringLiteral("\n合計: 2"), 1500);

    // The menu: 表示 (its default item) brings the window back, 一時停止 is
    // the File menu's item, 終了 closes.
    QVERIFY(r.tray.menu != nullptr);
    QList<QAction*> items = r.tray.menu->actions();
    QCOMPARE(items.size(), 3);
    QCOMPARE(items[0]->text(), QStringLiteral("表示(&S)"));
    QCOMPARE(items[1], r.item("mnuFilePause"));
    items.removeAt(1);
    QCOMPARE(items[1]->text(), QStringLiteral("終了(&X)"));
    QCOMPARE(r.tray.menu->defaultAction(), items[0]);
    items[0]->trigger();
    QVERIFY(r.w->isVisible());
    QVERIFY(!r.w->isMinimized());
    QVERIFY(!r.tray.iconShown);

    r.w->showMinimized();
    QTRY_VERIFY(r.tray.iconShown);
    items[1]->trigger();
    QCOMPARE(r.quits, 1);
    QVERIFY(!r.tray.iconShown);
    QVERIFY(QFile::exists(r.file("PressoryHistory.csv")));
    items[0]->trigger();  // a late 表示 does not bring back a closed window
    QVERIFY(!r.w->isVisible());
}

void TestStartAndTray::theKeySourceInUseIsToldInTheTipAndTheAboutWindow() {
    MainWindowRig r;
    r.source.name = "X11 (XWayland のアプリケーションのみ)";
    r.start();
    pressOnce(r, 65);
    r.w->showMinimized();
    QTRY_VERIFY(r.tray.iconShown);
    QCOMPARE(r.tray.tip,
             notifyTip() + QStringLiteral("\n合計: 1\nキーの読み取り: X11 (XWayland のアプリケーションのみ)"));
    // The source switches while the program runs (access to the devices
    // given): the tip follows without a press.
    r.source.name = "evdev (入力デバイス 2 台)";
    QTRY_COMPARE_WITH_TIMEOUT(
        r.tray.tip, notifyTip() + QStringLiteral("\n合計: 1\nキーの読み取り: evdev (入力デバイス 2 台)"), 1500);

    help::AboutWindow about;
    about.load();
    about.setKeySource(QString::fromStdString(r.source.name));
    QCOMPARE(about.lblKeySource()->text(), QStringLiteral("キーの読み取り: evdev (入力デバイス 2 台)"));
    QVERIFY(about.lblDescription()->text().isEmpty());
    // Above the rule, and its text wrapped within it.
    QLabel* label = about.lblKeySource();
    QVERIFY(label->geometry().bottom() < about.separator(1)->geometry().top());
    QVERIFY2(label->heightForWidth(label->width()) <= label->height(), qPrintable(QString::number(label->height())));
}

void TestStartAndTray::secondStartBringsTheWindowForward() {
    QTemporaryDir other;
    MainWindowRig r;
    const QString lock = SingleInstance::lockPathFor(r.dir.path());
    const QString otherLock = SingleInstance::lockPathFor(other.path());
    // One name per folder, however the folder is spelt.
    QCOMPARE(secondStartServerName(r.dir.path() + QStringLiteral("/./Pressory.lock")), secondStartServerName(lock));
    QVERIFY(secondStartServerName(otherLock) != secondStartServerName(lock));

#ifndef Q_OS_WIN
    // In the user's runtime folder, whatever the temporary folder; a socket
    // file left there by a copy that was killed does not keep the name.
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    QVERIFY(secondStartServerName(lock).startsWith(runtime.path() + QStringLiteral("/Pressory-")));
    QFile left(secondStartServerName(lock));
    QVERIFY(left.open(QIODevice::WriteOnly));
    left.close();
#endif
    SecondStartListener listener(lock);
    QVERIFY2(listener.listen(), qPrintable(listener.error()));
    r.start();
    connect(&listener, &SecondStartListener::showRequested, r.w.get(), [&r] { r.tray.bringBack(); });
    QMetaObject::invokeMethod(r.find<QPushButton>("cmdResize"), "click");
    r.w->showMinimized();
    QTRY_VERIFY(r.tray.iconShown);

    // The refused copy asks from its own process; here from another thread.
    auto asked = std::async(std::launch::async, [lock] { return askRunningCopyToShow(lock); });
    QTRY_VERIFY(r.w->isVisible());
    QVERIFY(!r.w->isMinimized());
    QVERIFY(!r.tray.iconShown);
    QVERIFY(asked.get());

    // A copy of another folder reaches nobody.
    r.w->showMinimized();
    QTRY_VERIFY(r.tray.iconShown);
    auto stray = std::async(std::launch::async, [otherLock] { return askRunningCopyToShow(otherLock, 300); });
    QTest::qWait(400);
    QVERIFY(!stray.get());
    QVERIFY(r.tray.iconShown);
}

void TestStartAndTray::compactCellsAreOffScreenForScreenReaders() {
    MainWindowRig r;
    r.start();  // compact: the keyboard lies outside the small window
    auto offscreen = [](QWidget* w) { return QAccessible::queryAccessibleInterface(w)->state().offscreen; };
    QVERIFY(offscreen(r.cell(65)));
    QVERIFY(!offscreen(r.total()));
    QMetaObject::invokeMethod(r.find<QPushButton>("cmdResize"), "click");
    QVERIFY(!offscreen(r.cell(65)));
    QVERIFY(!offscreen(r.total()));

    // Captions show whole; one that fits keeps its place's width (375 twips).
    for (int vk : {32, 36, 19}) {
        const QLabel* caption = r.find<QLabel>(qPrintable(QStringLiteral("Label1(%1)").arg(vk)));
        QVERIFY2(caption->width() >= caption->fontMetrics().horizontalAdvance(caption->text()),
                 qPrintable(caption->text()));
    }
    QCOMPARE(r.find<QLabel>("Label1(65)")->width(), 25);
}

void TestStartAndTray::qtDialogsSpeakJapanese() {
    QCOMPARE(qtTranslationFolders().value(0), QCoreApplication::applicationDirPath() + QStringLiteral("/translations"));
    QVERIFY(!buttonText(QMessageBox::Cancel).contains(QStringLiteral("キャンセル")));
    const QString loaded = installQtTranslations(*QCoreApplication::instance());
    QVERIFY2(loaded.endsWith(QStringLiteral("qtbase_ja.qm")), "Debian package qt6-translations-l10n is needed");
    QCOMPARE(buttonText(QMessageBox::Cancel), QStringLiteral("キャンセル"));

    QColorDialog dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("色を選択"));
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    QStringList labels;
    for (const QLabel* l : dialog.findChildren<QLabel*>()) labels << l->text();
    QVERIFY2(labels.join(QLatin1Char(' ')).contains(QStringLiteral("基本カラー")), qPrintable(labels.join(u'|')));
}

QTEST_MAIN(TestStartAndTray)
#include "test_start_and_tray.moc"

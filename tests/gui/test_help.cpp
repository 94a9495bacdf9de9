// The Help menu: the readme handed to the URL handler (and the message when
// that fails), and the version window's texts, geometry and buttons.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "help/about_window.h"
#include "help/readme.h"
#include "help/version.h"
#include "support/main_window_rig.h"
#include "widgets/twips.h"

using namespace pressory;
using namespace pressory::test;
using pressory::widgets::BoxIcon;

namespace {
// An empty page at `path`, with its folders.
bool makePage(const QString& path) {
    return QDir().mkpath(QFileInfo(path).path()) && QFile(path).open(QIODevice::WriteOnly);
}
}  // namespace

class TestHelp : public QObject {
    Q_OBJECT
private slots:
    void readmePathAndUrl();
    void readmeCommand();
    void readmeBesideTheProgramThenInstalled();
    void readmeFailure();
    void readmeMissing();
    void titleLine();
    void aboutWindow();
    void enterAndEscClose();
    void versionCommand();
};

void TestHelp::readmePathAndUrl() {
    QCOMPARE(help::readmePath(QStringLiteral("/opt/pressory")), QStringLiteral("/opt/pressory/Help/Readme.html"));
    // A program in the root folder: the separator stands twice in the path...
    QCOMPARE(help::readmePath(QStringLiteral("/")), QStringLiteral("//Help/Readme.html"));
    // ...but the URL names the file, not a network host called "Help".
    const QUrl root = help::readmeUrl(QStringLiteral("//Help/Readme.html"));
    QCOMPARE(root.host(), QString());
    QCOMPARE(root.toLocalFile(), QStringLiteral("/Help/Readme.html"));
    QCOMPARE(help::readmeUrl(QStringLiteral("/opt/pressory/Help/Readme.html")).toEncoded(),
             QByteArray("file:///opt/pressory/Help/Readme.html"));
    QCOMPARE(help::readmeUrl(QStringLiteral("/home/a b/プレス/Help/Readme.html")).toLocalFile(),
             QStringLiteral("/home/a b/プレス/Help/Readme.html"));
}

void TestHelp::readmeCommand() {
    MainWindowRig r;
    QVERIFY(makePage(r.file("Help/Readme.html")));
    r.start();
    r.item("mnuHelpHelp")->trigger();
    r.item("mnuHelpHelp")->trigger();  // a second window; nothing of the first is kept
    const QUrl expected = QUrl::fromLocalFile(r.dir.path() + QStringLiteral("/Help/Readme.html"));
    QCOMPARE(r.urls.opened, (QList<QUrl>{expected, expected}));
    QVERIFY(r.boxes.shown.isEmpty());
}

// An installed program (bin/) finds its page in share/pressory/Help/; a page
// beside the program comes first; with neither, the path beside it is given.
void TestHelp::readmeBesideTheProgramThenInstalled() {
    QTemporaryDir prefix;
    const QString bin = prefix.filePath(QStringLiteral("bin"));
    QVERIFY(QDir().mkpath(bin));
    QCOMPARE(help::findReadme(bin), bin + QStringLiteral("/Help/Readme.html"));

    const QString installed = prefix.filePath(QStringLiteral("share/pressory/Help/Readme.html"));
    QVERIFY(QDir().mkpath(QFileInfo(installed).path()));
    QVERIFY(QFile(installed).open(QIODevice::WriteOnly));
    QCOMPARE(help::findReadme(bin), installed);

    // The main window looks from the program's own folder, not from the files' folder.
    MainWindowRig r;
    r.installFolder = bin.toStdString();
    r.start();
    r.item("mnuHelpHelp")->trigger();
    QCOMPARE(r.urls.opened, (QList<QUrl>{QUrl::fromLocalFile(installed)}));

    QVERIFY(QDir().mkpath(bin + QStringLiteral("/Help")));
    QVERIFY(QFile(bin + QStringLiteral("/Help/Readme.html")).open(QIODevice::WriteOnly));
    QCOMPARE(help::findReadme(bin), bin + QStringLiteral("/Help/Readme.html"));
}

void TestHelp::readmeFailure() {
    MainWindowRig r;
    r.urls.works = false;
    QVERIFY(makePage(r.file("Help/Readme.html")));
    r.start();
    r.item("mnuHelpHelp")->trigger();
    QCOMPARE(r.urls.opened.size(), 1);
    QCOMPARE(r.boxes.shown.size(), 1);
    QCOMPARE(r.boxes.shown[0].icon, BoxIcon::Critical);
#ifdef Q_OS_WIN
    const QString told = QStringLiteral("インターネットエクスプローラの起動に失敗しました。");
#else
    // No Windows browser is named where there is none; the file is.
    const QString told = r.file("Help/Readme.html") + QStringLiteral(" をブラウザーで開けませんでした。");
#endif
    QCOMPARE(r.boxes.shown[0].text, told);
    QCOMPARE(help::showReadme(nullptr, r.dir.path().toStdString()), told);
}

// No page: the box names where it was looked for, and no browser is asked to
// show a missing file. An installed program names its installed place.
void TestHelp::readmeMissing() {
    MainWindowRig r;
    r.start();
    r.item("mnuHelpHelp")->trigger();
    QVERIFY(r.urls.opened.isEmpty());
    QCOMPARE(r.boxes.shown.size(), 1);
    QCOMPARE(r.boxes.shown[0].icon, BoxIcon::Critical);
    QCOMPARE(r.boxes.shown[0].text, r.dir.path() + QStringLiteral("/Help/Readme.html が見つかりません。"));

    QTemporaryDir prefix;
    const QString bin = prefix.filePath(QStringLiteral("bin"));
    QVERIFY(QDir().mkpath(bin));
    QVERIFY(QDir().mkpath(prefix.filePath(QStringLiteral("share/pressory"))));
    QCOMPARE(
        help::showReadme(&r.urls, bin.toStdString()),
        prefix.filePath(QStringLiteral("share/pressory/Help/Readme.html")) + QStringLiteral(" が見つかりません。"));
    QVERIFY(r.urls.opened.isEmpty());
}

void TestHelp::titleLine() {
    QCOMPARE(help::titleLine(1, 5, 0), QStringLiteral("Pressory  Version 1.5.0"));
    QCOMPARE(help::titleLine(10, 0, 12), QStringLiteral("Pressory  Version 10.0.12"));
    // The version comes from the project's version and nowhere else.
    QCOMPARE(help::titleLine(help::version::kMajor, help::version::kMinor, help::version::kRevision),
             QStringLiteral("Pressory  Version ") + QStringLiteral(PRESSORY_TEST_PROJECT_VERSION));
}

void TestHelp::aboutWindow() {
    help::AboutWindow w;
    w.load();
    QCOMPARE(w.objectName(), QStringLiteral("frmAbout"));
    QCOMPARE(w.windowTitle(), QStringLiteral("バージョン情報"));
    QCOMPARE(w.lblTitle()->text(),
             QStringLiteral("Pressory  Version ") + QStringLiteral(PRESSORY_TEST_PROJECT_VERSION));
    QVERIFY(w.lblCredit()->text().contains(QString::fromUtf8(help::version::kCompanyName)));
    QVERIFY(w.lblDescription()->text().isEmpty());
    QCOMPARE(w.cmdOK()->text(), QStringLiteral("OK"));
    QVERIFY(w.cmdOK()->isDefault());
    for (QLabel* l : {w.lblTitle(), w.lblCredit(), w.lblDescription()})
        QCOMPARE(l->palette().color(QPalette::WindowText), QColor(Qt::black));
    QCOMPARE(w.font().pointSize(), 9);
    QVERIFY(!w.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(!w.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    for (int i = 0; i < 3; ++i) QCOMPARE(w.picIcon(i)->pixmap().size(), QSize(32, 32));
    QCOMPARE(w.separator(0)->palette().color(QPalette::Window), QColor(0xFF, 0xFF, 0xFF));
    QCOMPARE(w.separator(1)->palette().color(QPalette::Window), QColor(0x80, 0x80, 0x80));

    const QScreen* s = QGuiApplication::primaryScreen();
    const widgets::TwipScale tw(s->logicalDotsPerInchX(), s->logicalDotsPerInchY());
    QCOMPARE(w.size(), QSize(tw.x(4500), tw.y(2520)));
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QCOMPARE(w.lblTitle()->geometry(), tw.rect({1050, 240, 3165, 360}));
    QCOMPARE(w.cmdOK()->geometry(), tw.rect({3000, 2028, 1380, 345}));
    QCOMPARE(w.picIcon(2)->geometry(), tw.rect({240, 1200, 480, 480}));
    if (qFuzzyCompare(s->logicalDotsPerInchX(), 96.0) && qFuzzyCompare(s->logicalDotsPerInchY(), 96.0)) {
        QCOMPARE(w.size(), QSize(300, 168));
        QCOMPARE(w.separator(1)->geometry(), QRect(8, 128, 281, 1));
        QCOMPARE(w.separator(0)->geometry(), QRect(8, 128, 281, 2));
    }
}

void TestHelp::enterAndEscClose() {
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        help::AboutWindow w;
        w.load();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.cmdOK()));
        QTest::keyClick(&w, key);
        QVERIFY2(!w.isVisible(), qPrintable(QString::number(key)));
        QCOMPARE(w.result(), key == Qt::Key_Escape ? QDialog::Rejected : QDialog::Accepted);
    }
}

// The menu command opens the window modally, centred on the screen; the
// timer goes on counting meanwhile; OK closes it and a new one opens next time.
void TestHelp::versionCommand() {
    MainWindowRig r;
    r.start();
    for (int round = 0; round < 2; ++round) {
        QString title;
        QPoint centre;
        bool timerRan = false;
        QTimer::singleShot(0, [&] {
            auto* about = qobject_cast<help::AboutWindow*>(QApplication::activeModalWidget());
            QVERIFY(about);
            title = about->lblTitle()->text();
            centre = about->geometry().center();
            timerRan = r.timer()->isActive();
            about->cmdOK()->click();
        });
        r.item("mnuHelpVersion")->trigger();
        QVERIFY(title.startsWith(QStringLiteral("Pressory  Version ")));
        QVERIFY(timerRan);
        const QPoint screenCentre = QGuiApplication::primaryScreen()->geometry().center();
        QVERIFY2((centre - screenCentre).manhattanLength() <= 4,
                 qPrintable(QStringLiteral("%1,%2").arg(centre.x()).arg(centre.y())));
        QVERIFY(r.w->findChildren<help::AboutWindow*>().isEmpty());  // destroyed when closed
    }
}

QTEST_MAIN(TestHelp)
#include "test_help.moc"

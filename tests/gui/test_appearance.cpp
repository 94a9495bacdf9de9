// The View menu's colour and picture commands on the main window, with
// scripted dialogs, real picture files and bad ones; the picture loader and
// the real dialogs as the commands configure them.
#include <QColorDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QImageReader>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QtEndian>
#include <QtTest>
#include <sys/stat.h>

#include "app/client_area.h"
#include "app/mode_switcher.h"
#include "appearance/colour_chooser.h"
#include "appearance/picture_chooser.h"
#include "appearance/picture_loader.h"
#include "settings/profile_file.h"
#include "support/main_window_rig.h"
#include "widgets/colour_value.h"
#include "widgets/count_cell.h"
#include "widgets/keyboard_widget.h"

using namespace pressory;
using namespace pressory::test;
using pressory::widgets::BoxIcon;

namespace {

const QString kNotAPicture = QStringLiteral("指定されたファイルは画像として読み込めません。");
constexpr std::int32_t kButtonFace = static_cast<std::int32_t>(0x8000000Fu);

QString savePicture(const QString& path, QSize size, QColor colour, const char* format = nullptr) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    if (!image.save(path, format)) qFatal("cannot write %s", qPrintable(path));
    return path;
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) qFatal("cannot write %s", qPrintable(path));
}

quint32 crc32(const QByteArray& data) {
    quint32 c = 0xFFFFFFFFu;
    for (const char ch : data) {
        c ^= static_cast<quint8>(ch);
        for (int k = 0; k < 8; ++k) c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    }
    return c ^ 0xFFFFFFFFu;
}

QByteArray pngChunk(const char* type, const QByteArray& data) {
    QByteArray len(4, '\0'), crc(4, '\0');
    qToBigEndian<quint32>(static_cast<quint32>(data.size()), len.data());
    const QByteArray body = QByteArray(type) + data;
    qToBigEndian<quint32>(crc32(body), crc.data());
    return len + body + crc;
}

// A well-formed PNG whose header claims 30 000 x 30 000 RGBA pixels (3.6 GB
// decoded) followed by a little image data.
QByteArray hugePng() {
    QByteArray ihdr(13, '\0');
    qToBigEndian<quint32>(30000, ihdr.data());
    qToBigEndian<quint32>(30000, ihdr.data() + 4);
    ihdr[8] = 8;                                                       // bit depth
    ihdr[9] = 6;                                                       // RGBA
    const QByteArray idat = qCompress(QByteArray(4096, '\0')).mid(4);  // a zlib stream
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", ihdr) + pngChunk("IDAT", idat) + pngChunk("IEND", {});
}

// "GIF89a" and a logical screen of 65535 x 65535, then nothing that decodes.
QByteArray claimedGif() {
    QByteArray b("GIF89a");
    b += QByteArray("\xff\xff\xff\xff\x00\x00\x00", 7);
    b += QByteArray("\x2c\x00\x00\x00\x00\xff\xff\xff\xff\x00\x08", 11);
    b += QByteArray(64, '\x55');
    return b;
}

QColor pixelAt(QWidget* w, QPoint p) { return w->grab().toImage().pixelColor(p); }

}  // namespace

class TestAppearance : public QObject {
    Q_OBJECT
private slots:
    void blinkColourChoice();
    void cancelKeepsTheValueInForce_data();
    void cancelKeepsTheValueInForce();
    void backgroundColourShowsAtOnce();
    void pictureSwitch();
    void pictureCommand();
    void rejectedPictureKeepsTheOldOneAndTheNewPath();
    void badPictures_data();
    void badPictures();
    void badPictureAtStartUpIsSkippedSilently();
    void alwaysOnTopHasNoCheckMark();
    void realColourDialog();
    void realFileDialog();
};

void TestAppearance::blinkColourChoice() {
    MainWindowRig r;
    r.start();
    QCOMPARE(r.settings().blinkColour(), 255);
    r.colours.answers = {QColor(0x12, 0x34, 0x56)};
    r.item("mnuVisionKeyColor")->trigger();
    QCOMPARE(r.colours.initials, QList<QColor>{QColor(255, 0, 0)});  // starts from the colour in force
    QCOMPARE(r.settings().blinkColour(), 0x00563412);

    // An idle keyboard is not repainted; the next held key shows the colour.
    const std::int32_t idle = r.cell(65)->colourValue();
    QVERIFY(idle != 0x00563412);
    r.keys.down(65);
    r.tick();
    QCOMPARE(r.cell(65)->colourValue(), 0x00563412);
    r.keys.up(65);
    r.tick();
    QCOMPARE(r.cell(65)->colourValue(), idle);
    QVERIFY(r.boxes.shown.isEmpty());

    // Written at close.
    r.w->close();
    const auto written = settings::profile::readText(r.settingsPath(), "COLOR", "ColorTextBoxBlink");
    QCOMPARE(QString::fromStdString(written), QString::number(0x00563412));
}

void TestAppearance::cancelKeepsTheValueInForce_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("value");
    for (const char* command : {"mnuVisionKeyColor", "mnuVisionFrmColor"}) {
        QTest::addRow("%s plain", command) << QString::fromLatin1(command) << 0x00336699;
        QTest::addRow("%s button face", command) << QString::fromLatin1(command) << kButtonFace;
        QTest::addRow("%s window text", command) << QString::fromLatin1(command) << static_cast<int>(0x80000008u);
    }
}

void TestAppearance::cancelKeepsTheValueInForce() {
    QFETCH(QString, command);
    QFETCH(int, value);
    MainWindowRig r;
    const bool blink = command == QStringLiteral("mnuVisionKeyColor");
    (blink ? r.record.colorTextBoxBlink : r.record.colorBackGround) = value;
    r.start();
    auto inForce = [&] {
        return blink ? r.settings().blinkColour() : r.find<app::ClientArea>("frmMainClient")->backColour();
    };
    QCOMPARE(inForce(), value);

    r.colours.answers = {std::nullopt};
    r.item(qPrintable(command))->trigger();
    QCOMPARE(inForce(), value);  // the reference itself, not the colour it stood for
    QCOMPARE(r.colours.initials.size(), 1);
    // The dialog starts from the colour the value shows as.
    QWidget* owner = blink ? static_cast<QWidget*>(r.find<widgets::KeyboardWidget>("keyboard"))
                           : r.find<app::ClientArea>("frmMainClient");
    QCOMPARE(r.colours.initials[0], widgets::colourOf(value, owner->palette()));
    QVERIFY(r.colours.initials[0].isValid());
    QVERIFY(r.boxes.shown.isEmpty());

    r.w->close();
    const char* key = blink ? "ColorTextBoxBlink" : "ColorBackGround";
    QCOMPARE(QString::fromStdString(settings::profile::readText(r.settingsPath(), "COLOR", key)),
             QString::number(value));
}

void TestAppearance::backgroundColourShowsAtOnce() {
    MainWindowRig r;
    r.start();
    QCOMPARE(r.find<app::ClientArea>("frmMainClient")->backColour(), kButtonFace);
    r.colours.answers = {QColor(0x20, 0x80, 0x40)};
    r.item("mnuVisionFrmColor")->trigger();
    QCOMPARE(r.find<app::ClientArea>("frmMainClient")->backColour(), 0x00408020);
    QCOMPARE(pixelAt(r.find<app::ClientArea>("frmMainClient"), {2, 2}), QColor(0x20, 0x80, 0x40));
}

void TestAppearance::pictureSwitch() {
    MainWindowRig r;
    r.start();
    QAction* sw = r.item("mnuVisionPictureEnable");
    QVERIFY(!sw->isChecked());

    // On with an empty path: checked, no picture, no message.
    sw->trigger();
    QVERIFY(sw->isChecked());
    QVERIFY(r.find<app::ClientArea>("frmMainClient")->picture().isNull());
    QVERIFY(r.boxes.shown.isEmpty());
    sw->trigger();

    // On with a path: the picture at its own size from the top-left corner,
    // over the background colour.
    r.record.colorBackGround = 0x00FFFFFF;
    r.record.pictureBackGround = savePicture(r.file("back.png"), {10, 6}, QColor(0, 0, 255)).toStdString();
    r.find<app::ClientArea>("frmMainClient")->setBackColour(0x00FFFFFF);
    sw->trigger();
    QCOMPARE(r.find<app::ClientArea>("frmMainClient")->picture().size(), QSize(10, 6));
    QCOMPARE(pixelAt(r.find<app::ClientArea>("frmMainClient"), {9, 5}), QColor(0, 0, 255));
    QCOMPARE(pixelAt(r.find<app::ClientArea>("frmMainClient"), {11, 5}), QColor(255, 255, 255));  // not stretched
    QCOMPARE(pixelAt(r.find<app::ClientArea>("frmMainClient"), {9, 7}), QColor(255, 255, 255));   // not tiled

    // Off removes it at once; on again reloads it from the stored path.
    sw->trigger();
    QVERIFY(r.find<app::ClientArea>("frmMainClient")->picture().isNull());
    QCOMPARE(pixelAt(r.find<app::ClientArea>("frmMainClient"), {2, 2}), QColor(255, 255, 255));
    savePicture(r.file("back.png"), {7, 3}, QColor(0, 255, 0));
    sw->trigger();
    QCOMPARE(r.find<app::ClientArea>("frmMainClient")->picture().size(), QSize(7, 3));

    // On while the file has gone: no picture, no message, nothing lost.
    sw->trigger();
    QVERIFY(QFile::remove(r.file("back.png")));
    sw->trigger();
    QVERIFY(sw->isChecked());
    QVERIFY(r.find<app::ClientArea>("frmMainClient")->picture().isNull());
    QVERIFY(r.boxes.shown.isEmpty());
    QCOMPARE(QString::fromStdString(r.record.pictureBackGround), r.file("back.png"));
}

void TestAppearance::pictureCommand() {
    MainWindowRig r;
    r.start();
    QAction* sw = r.item("mnuVisionPictureEnable");

    // Cancel: nothing changes, silently.
    r.pictures.answers = {std::nullopt};
    r.item("mnuVisionPicture")->trigger();
    QCOMPARE(r.pictures.calls, 1);
    QVERIFY(!sw->isChecked());
    QVERIFY(r.record.pictureBackGround.empty());
    QVERIFY(r.boxes.shown.isEmpty());

    // A choice checks the switch although it was off, and shows the picture;
    // the formats the chooser offers all load.
    const QList<QPair<const char*, const char*>> formats{
        {"a.png", "PNG"}, {"b.jpg", "JPG"}, {"c.jpeg", "JPEG"}, {"d.bmp", "BMP"}};
    int width = 3;
    for (const auto& [name, format] : formats) {
        sw->setChecked(false);
        r.record.pictureEnable = 0;
        r.pictures.answers = {savePicture(r.file(name), {width, 4}, Qt::red, format)};
        r.item("mnuVisionPicture")->trigger();
        QVERIFY2(sw->isChecked(), name);
        QCOMPARE(r.record.pictureEnable, -1);
        QCOMPARE(QString::fromStdString(r.record.pictureBackGround), r.file(name));
        QCOMPARE(r.find<app::ClientArea>("frmMainClient")->picture().size(), QSize(width, 4));
        ++width;
    }
    // A GIF (Qt writes none: a 1 x 1 one made by hand).
    writeBytes(r.file("e.gif"), QByteArray::fromBase64("R0lGODlhAQABAIAAAP///wAAACwAAAAAAQABAAACAkQBADs="));
    r.pictures.answers = {r.file("e.gif")};
    r.item("mnuVisionPicture")->trigger();
    QCOMPARE(r.find<app::ClientArea>("frmMainClient")->picture().size(), QSize(1, 1));
    QVERIFY(r.boxes.shown.isEmpty());

    // Written at close: the path and the switch.
    r.w->close();
    QCOMPARE(QString::fromStdString(settings::profile::readText(r.settingsPath(), "COLOR", "PictureBackGround")),
             r.file("e.gif"));
    QCOMPARE(settings::profile::readText(r.settingsPath(), "COLOR", "PictureEnable"), std::string("-1"));
}

void TestAppearance::rejectedPictureKeepsTheOldOneAndTheNewPath() {
    MainWindowRig r;
    r.start();
    r.pictures.answers = {savePicture(r.file("good.png"), {8, 8}, Qt::green)};
    r.item("mnuVisionPicture")->trigger();
    QCOMPARE(r.find<app::ClientArea>("frmMainClient")->picture().size(), QSize(8, 8));

    // A name typed in the dialog for a file that does not exist, then a file
    // that is no picture; the switch off before the second.
    const QStringList bad{r.file("typed-but-missing.png"), r.file("notes.png")};
    writeBytes(bad[1], "just some text\n");
    for (const QString& path : bad) {
        r.item("mnuVisionPictureEnable")->setChecked(false);
        r.pictures.answers = {path};
        r.item("mnuVisionPicture")->trigger();
        QCOMPARE(r.boxes.shown.size(), 1);
        QCOMPARE(r.boxes.shown[0].icon, BoxIcon::Critical);
        QCOMPARE(r.boxes.shown[0].text, kNotAPicture);
        r.boxes.shown.clear();
        QVERIFY(r.item("mnuVisionPictureEnable")->isChecked());
        QCOMPARE(QString::fromStdString(r.record.pictureBackGround), path);
        QCOMPARE(r.find<app::ClientArea>("frmMainClient")->picture().size(), QSize(8, 8));  // the old one stays
    }
    r.w->close();
    QCOMPARE(QString::fromStdString(settings::profile::readText(r.settingsPath(), "COLOR", "PictureBackGround")),
             bad[1]);
    QCOMPARE(settings::profile::readText(r.settingsPath(), "COLOR", "PictureEnable"), std::string("-1"));
}

void TestAppearance::badPictures_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("30000 x 30000 PNG") << QStringLiteral("huge");
    QTest::newRow("JPEG cut in its header") << QStringLiteral("jpeg-header");
    QTest::newRow("claims to be a GIF") << QStringLiteral("gif");
    QTest::newRow("/dev/zero") << QStringLiteral("zero");
    QTest::newRow("FIFO") << QStringLiteral("fifo");
    QTest::newRow("a folder") << QStringLiteral("folder");
}

// Each is refused quickly, with the message, and the program goes on.
void TestAppearance::badPictures() {
    QFETCH(QString, kind);
    MainWindowRig r;
    r.start();
    QString path;
    if (kind == QStringLiteral("huge")) {
        path = r.file("huge.png");
        writeBytes(path, hugePng());
        QImageReader probe(path);
        QCOMPARE(probe.size(), QSize(30000, 30000));  // the header is read as such
    } else if (kind == QStringLiteral("jpeg-header")) {
        const QString full = savePicture(r.file("full.jpg"), {64, 64}, Qt::blue, "JPG");
        QFile f(full);
        QVERIFY(f.open(QIODevice::ReadOnly));
        path = r.file("cut.jpg");
        writeBytes(path, f.read(120));
    } else if (kind == QStringLiteral("gif")) {
        path = r.file("claims.gif");
        writeBytes(path, claimedGif());
    } else if (kind == QStringLiteral("zero")) {
        path = QStringLiteral("/dev/zero");
    } else if (kind == QStringLiteral("fifo")) {
        path = r.file("pipe.png");
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else {
        path = r.dir.path();
    }
    QElapsedTimer t;
    t.start();
    r.pictures.answers = {path};
    r.item("mnuVisionPicture")->trigger();
    QVERIFY2(t.elapsed() < 5000, qPrintable(QString::number(t.elapsed())));
    QCOMPARE(r.boxes.shown.size(), 1);
    QCOMPARE(r.boxes.shown[0].text, kNotAPicture);
    QCOMPARE(r.boxes.shown[0].icon, BoxIcon::Critical);
    QVERIFY(r.find<app::ClientArea>("frmMainClient")->picture().isNull());
    QVERIFY(!appearance::loadPicture(path.toStdString()));
    QCOMPARE(QImageReader::allocationLimit(), appearance::kPictureAllocationLimitMb);
}

// A JPEG cut in the middle of its data never hangs; whatever the decoder
// makes of it is the picture's own size. At start-up a bad picture is left
// out without a message.
void TestAppearance::badPictureAtStartUpIsSkippedSilently() {
    QTemporaryDir dir;
    const QString full = savePicture(dir.filePath(QStringLiteral("full.jpg")), {64, 64}, Qt::blue, "JPG");
    QFile f(full);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    writeBytes(dir.filePath(QStringLiteral("half.jpg")), bytes.left(bytes.size() / 2));
    writeBytes(dir.filePath(QStringLiteral("huge.png")), hugePng());
    writeBytes(dir.filePath(QStringLiteral("claims.gif")), claimedGif());
    const QString fifo = dir.filePath(QStringLiteral("pipe.png"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);

    if (const auto half = appearance::loadPicture(dir.filePath(QStringLiteral("half.jpg")).toStdString()))
        QCOMPARE(half->size(), QSize(64, 64));

    for (const QString& path : {dir.filePath(QStringLiteral("huge.png")), dir.filePath(QStringLiteral("claims.gif")),
                                fifo, QStringLiteral("/dev/zero")}) {
        MainWindowRig r;
        r.record.pictureEnable = -1;
        r.record.pictureBackGround = path.toStdString();
        QElapsedTimer t;
        t.start();
        r.start();
        QVERIFY2(t.elapsed() < 5000, qPrintable(path));
        QVERIFY(r.item("mnuVisionPictureEnable")->isChecked());
        QVERIFY(r.find<app::ClientArea>("frmMainClient")->picture().isNull());
        QVERIFY(r.boxes.shown.isEmpty());
        // The switch turned off and on again: still nothing, still silent.
        r.item("mnuVisionPictureEnable")->trigger();
        r.item("mnuVisionPictureEnable")->trigger();
        QVERIFY(r.find<app::ClientArea>("frmMainClient")->picture().isNull());
        QVERIFY(r.boxes.shown.isEmpty());
        QCOMPARE(QString::fromStdString(r.record.pictureBackGround), path);
    }
}

void TestAppearance::alwaysOnTopHasNoCheckMark() {
    MainWindowRig r;
    r.start();
    const app::ModeSwitcher& modes = *r.find<app::ModeSwitcher>();
    r.find<QPushButton>("cmdResize")->click();  // full mode
    QVERIFY(!modes.compact());
    QAction* top = r.item("mnuVisionTop");
    top->trigger();
    QVERIFY(modes.compact());
    QVERIFY(!top->isChecked());
    QVERIFY(!top->isCheckable());
    QVERIFY(r.w->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(r.w->menuBar()->isHidden());
}

// The Qt colour dialog starts from the colour given, and a cancel answers nothing.
void TestAppearance::realColourDialog() {
    appearance::QtColourChooser chooser;
    QColor seen;
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
        QVERIFY(d);
        seen = d->currentColor();
        d->reject();
    });
    QCOMPARE(chooser.choose(QColor(0x11, 0x22, 0x33), nullptr), std::nullopt);
    QCOMPARE(seen, QColor(0x11, 0x22, 0x33));

    QTimer::singleShot(0, [] {
        auto* d = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
        QVERIFY(d);
        d->setCurrentColor(QColor(0x44, 0x55, 0x66));
        d->accept();
    });
    const auto chosen = chooser.choose(Qt::white, nullptr);
    QVERIFY(chosen);
    QCOMPARE(appearance::colourValueOf(*chosen), 0x00665544);
}

// The file dialog: the one filter, a typed name of a missing file in an
// existing folder is returned, a name in a missing folder is not accepted,
// and the name chosen last is offered again.
void TestAppearance::realFileDialog() {
    QTemporaryDir dir;
    QFileDialog plain;
    appearance::configurePictureDialog(plain, QString());
    QCOMPARE(plain.nameFilters(), QStringList{QStringLiteral("画像ファイルを選んでね♪(*.gif,*.jpg,*.jpeg,*.png,*.bmp) "
                                                             "(*.gif *.jpg *.jpeg *.png *.bmp)")});
    QCOMPARE(plain.fileMode(), QFileDialog::AnyFile);
    QCOMPARE(plain.acceptMode(), QFileDialog::AcceptOpen);
    QVERIFY(plain.testOption(QFileDialog::HideNameFilterDetails));

    {
        appearance::PictureFileDialog d(nullptr);
        appearance::configurePictureDialog(d, QString());
        d.selectFile(dir.filePath(QStringLiteral("no-such-folder/x.png")));
        QMetaObject::invokeMethod(&d, "accept");
        QVERIFY(d.result() != QDialog::Accepted);
    }

    appearance::QtPictureChooser chooser;
    const QString typed = dir.filePath(QStringLiteral("not-there-yet.png"));
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(d);
        d->selectFile(typed);
        QMetaObject::invokeMethod(d, "accept");
    });
    QCOMPARE(chooser.choose(nullptr), std::optional<QString>(typed));

    QStringList offered;
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(d);
        offered = d->selectedFiles();
        d->reject();
    });
    QCOMPARE(chooser.choose(nullptr), std::nullopt);
    QCOMPARE(offered, QStringList{typed});
}

QTEST_MAIN(TestAppearance)
#include "test_appearance.moc"

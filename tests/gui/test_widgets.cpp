// The keyboard widget as a second window uses it: moved down, with cells
// hidden and paths as texts; and the cells as assistive technology reads them.
#include <QAccessible>
#include <QHash>
#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <QSignalSpy>
#include <QtTest>
#include <qdrawutil.h>

#include "counting/key_layout.h"
#include "sound/sound_keys.h"
#include "widgets/app_icon.h"
#include "widgets/colour_value.h"
#include "widgets/count_cell.h"
#include "widgets/keyboard_widget.h"

using namespace pressory;
using namespace pressory::widgets;

class TestWidgets : public QObject {
    Q_OBJECT
private slots:
    void keyboardMovedDownWithSomeCellsHidden();
    void pressesOnCellsAreReported();
    void cellsReadAsNamedReadOnlyTexts();
    void countsLookExactlyAsLaidOutText();
    void oneCellRedrawnAfterSizePaletteAndFontChanges();
    void batchPaintsChangedCellsInTheWindowAtItsClose();
    void windowsIconFileHoldsTheDrawingAtEverySize();
};

void TestWidgets::keyboardMovedDownWithSomeCellsHidden() {
    QWidget window;
    const TwipScale tw(96, 96);
    KeyboardWidget plain(&window, tw);
    KeyboardWidget moved(&window, tw, 240);
    int cells = 0;
    for (const counting::KeyCell& key : counting::layout::cells()) {
        ++cells;
        QVERIFY(moved.cell(key.vk));
        QCOMPARE(moved.cell(key.vk)->geometry(), plain.cell(key.vk)->geometry().translated(0, 16));  // 240 twips
        QCOMPARE(moved.cell(key.vk)->alignment(), key.counted() ? Qt::AlignRight : Qt::AlignLeft);
        if (QLabel* c = moved.caption(key.vk))
            QCOMPARE(c->geometry(), plain.caption(key.vk)->geometry().translated(0, 16));
        moved.setKeyShown(key.vk, sound::hasSoundEntry(key.vk));
    }
    QCOMPARE(cells, counting::layout::kCellCount);
    QVERIFY(!moved.cell(0) && !moved.caption(-1) && !moved.cell(256));
    window.show();
    int shown = 0;
    for (const counting::KeyCell& key : counting::layout::cells()) {
        const bool visible = moved.cell(key.vk)->isVisible();
        shown += visible ? 1 : 0;
        QCOMPARE(visible, sound::hasSoundEntry(key.vk));
        if (QLabel* c = moved.caption(key.vk)) QCOMPARE(c->isVisible(), visible);
    }
    QCOMPARE(shown, 84);
    QCOMPARE(moved.height(), plain.height() + 16);

    // Lines set apart from the keyboard are drawn where they are set.
    QImage before(moved.size(), QImage::Format_RGB32);
    before.fill(Qt::white);
    moved.render(&before);
    const QColor line = before.pixelColor(300, 126);  // 1890 twips: the line moved with the cells
    const QColor between = before.pixelColor(300, 124);
    QVERIFY(line != between);
    moved.setLines({120, 1860, 11280, 1860}, {9240, 1200, 9240, 5040});
    QImage after(moved.size(), QImage::Format_RGB32);
    after.fill(Qt::white);
    moved.render(&after);
    QCOMPARE(after.pixelColor(300, 124), line);  // 1860 twips
    QCOMPARE(after.pixelColor(300, 126), between);

    // A path as the text: only that cell asks for a repaint.
    moved.cell(65)->setText(QStringLiteral("/home/me/a.wav"));
    for (const counting::KeyCell& key : counting::layout::cells())
        QCOMPARE(moved.cell(key.vk)->repaintRequests(), key.vk == 65 ? 1 : 0);
}

void TestWidgets::pressesOnCellsAreReported() {
    QWidget window;
    KeyboardWidget keyboard(&window, TwipScale(96, 96));
    window.resize(keyboard.size());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy spy(&keyboard, &KeyboardWidget::cellPressed);
    QTest::mouseClick(keyboard.cell(65), Qt::LeftButton);
    QTest::mouseClick(keyboard.cell(13), Qt::RightButton);
    QTest::mouseClick(&keyboard, Qt::LeftButton, {}, QPoint(2, 2));  // between the cells
    QCOMPARE(spy.size(), 2);
    QCOMPARE(spy.at(0).at(0).toInt(), 65);
    QCOMPARE(spy.at(0).at(1).value<Qt::MouseButton>(), Qt::LeftButton);
    QCOMPARE(spy.at(1).at(0).toInt(), 13);
    QCOMPARE(spy.at(1).at(1).value<Qt::MouseButton>(), Qt::RightButton);
}

void TestWidgets::cellsReadAsNamedReadOnlyTexts() {
    QWidget window;
    KeyboardWidget keyboard(&window, TwipScale(96, 96));
    window.show();
    keyboard.cell(65)->setText(QStringLiteral("1234"));
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(keyboard.cell(65));
    QVERIFY(a);
    QCOMPARE(a->text(QAccessible::Name), QStringLiteral("A"));
    QCOMPARE(a->text(QAccessible::Value), QStringLiteral("1234"));
    QVERIFY(a->state().readOnly);
    QVERIFY(!a->state().focusable);  // counting cells never take the focus
    QCOMPARE(a->role(), QAccessible::EditableText);
    QVERIFY(a->textInterface());
    QCOMPARE(a->textInterface()->text(0, a->textInterface()->characterCount()), QStringLiteral("1234"));
    // The Kanji key's cell has no caption and so no name; it is still a text.
    QAccessibleInterface* kanji = QAccessible::queryAccessibleInterface(keyboard.cell(25));
    QVERIFY(kanji && kanji->textInterface());
    QCOMPARE(kanji->text(QAccessible::Value), QStringLiteral("0"));
    // The keyboard lists its cells among its children.
    QAccessibleInterface* board = QAccessible::queryAccessibleInterface(&keyboard);
    QVERIFY(board && board->indexOfChild(a) >= 0);
}

// What a cell looks like when drawn the long way: frame, fill and laid-out text.
static QImage drawnTheLongWay(const CountCell& cell) {
    QImage expected(cell.size(), QImage::Format_ARGB32);
    QPainter p(&expected);
    p.setFont(cell.font());
    const QRect r(QPoint(0, 0), cell.size());
    const QBrush fill(colourOf(cell.colourValue(), cell.palette()));
    qDrawWinPanel(&p, r, cell.palette(), true, &fill);
    p.setPen(cell.palette().color(QPalette::Text));
    p.drawText(r.adjusted(3, 1, -3, -1), static_cast<int>(cell.alignment() | Qt::AlignVCenter), cell.text());
    return expected;
}

// Counts are drawn from cached digit glyphs; they must look exactly as the
// laid-out text they replace, pixel for pixel, whatever the size, font,
// colour, alignment and number of digits.
void TestWidgets::countsLookExactlyAsLaidOutText() {
    QWidget window;
    window.show();
    for (int pixelSize : {12, 13, 17}) {
        for (const QSize size : {QSize(42, 17), QSize(80, 21), QSize(30, 15)}) {
            for (const Qt::Alignment alignment : {Qt::AlignRight, Qt::AlignLeft}) {
                CountCell cell(&window, alignment);
                QFont f = cell.font();
                f.setPixelSize(pixelSize);
                cell.setFont(f);
                cell.resize(size);
                cell.show();
                for (const QString& text :
                     {QStringLiteral("0"), QStringLiteral("7"), QStringLiteral("10"), QStringLiteral("1234"),
                      QStringLiteral("98765"), QStringLiteral("2147483647"), QStringLiteral("/a/path")}) {
                    cell.setText(text);
                    cell.setColourValue(text.size() % 2 ? 255 : counting::colour::kUp);
                    const QImage drawn = cell.grab().toImage().convertToFormat(QImage::Format_ARGB32);
                    QVERIFY2(drawn == drawnTheLongWay(cell),
                             qPrintable(QStringLiteral("text %1, %2 px, %3x%4, alignment %5")
                                            .arg(text)
                                            .arg(pixelSize)
                                            .arg(size.width())
                                            .arg(size.height())
                                            .arg(int(alignment))));
                }
            }
        }
    }
}

// The frame and the digits of a cell are kept from one repaint to the next;
// one cell whose size, palette, colour or font changes after it has been
// drawn must show the change, and a second cell of the same size and colour
// but another palette must not show the first one's frame.
void TestWidgets::oneCellRedrawnAfterSizePaletteAndFontChanges() {
    QWidget window;
    window.show();
    QFont small = window.font();
    small.setPixelSize(12);
    window.setFont(small);
    CountCell cell(&window, Qt::AlignRight);
    cell.resize(42, 17);
    cell.setText(QStringLiteral("1234"));
    cell.show();
    auto check = [&](const char* what) {
        const QImage drawn = cell.grab().toImage().convertToFormat(QImage::Format_ARGB32);
        QVERIFY2(drawn == drawnTheLongWay(cell), what);
    };
    check("first drawing");
    cell.resize(60, 21);
    check("wider and taller");
    cell.resize(30, 15);
    check("smaller");
    cell.setColourValue(255);
    check("another colour");
    cell.setColourValue(counting::colour::kUp);
    check("the up colour again");

    QPalette palette = cell.palette();
    palette.setColor(QPalette::Light, Qt::green);
    palette.setColor(QPalette::Dark, Qt::blue);
    palette.setColor(QPalette::Text, Qt::darkMagenta);
    cell.setPalette(palette);
    check("another palette");

    CountCell other(&window, Qt::AlignRight);
    other.resize(cell.size());
    other.setText(cell.text());
    other.show();
    const QImage otherDrawn = other.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    QVERIFY2(otherDrawn == drawnTheLongWay(other), "a cell of the same size in the default palette");
    QVERIFY(otherDrawn != cell.grab().toImage().convertToFormat(QImage::Format_ARGB32));

    cell.resize(60, 21);  // room for the digits: drawn from the glyphs, not laid out
    QFont f = small;
    f.setPixelSize(11);
    f.setBold(true);
    cell.setFont(f);
    check("another font");
    f.setPixelSize(10);
    f.setBold(false);
    window.setFont(f);  // a font the cell has from its parent
    cell.setFont(QFont());
    check("the parent's font");
}

namespace {

class PaintCounter : public QObject {
public:
    int of(QObject* o) const { return counts_.value(o); }
    int updateRequests() const { return updateRequests_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++counts_[watched];
        if (event->type() == QEvent::UpdateRequest) ++updateRequests_;
        return false;
    }

private:
    QHash<QObject*, int> counts_;
    int updateRequests_ = 0;
};

}  // namespace

void TestWidgets::batchPaintsChangedCellsInTheWindowAtItsClose() {
    QWidget window;
    window.resize(100, 40);
    CountCell inside(&window, Qt::AlignRight);
    inside.setGeometry(5, 5, 60, 20);
    CountCell outside(&window, Qt::AlignRight);  // beyond the window's edge, as the compact window's keys
    outside.setGeometry(120, 5, 60, 20);
    CountCell beside(&window, Qt::AlignRight);
    beside.setGeometry(70, 5, 25, 20);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::processEvents();
    PaintCounter paints;
    inside.installEventFilter(&paints);
    outside.installEventFilter(&paints);
    beside.installEventFilter(&paints);
    window.installEventFilter(&paints);
    {
        const CountCell::RepaintBatch batch;
        {
            const CountCell::RepaintBatch nested;
            inside.setText(QStringLiteral("12"));
        }
        inside.setColourValue(255);
        outside.setText(QStringLiteral("7"));
        beside.setText(QStringLiteral("8"));
        QCOMPARE(paints.of(&inside), 0);  // nothing before the outer batch closes
    }
    // Painted once at the close, before the event loop turns.
    QCOMPARE(paints.of(&inside), 1);
    QCOMPARE(paints.of(&beside), 1);
    QCOMPARE(paints.of(&outside), 0);
    // Nothing is left for the loop (not even an update request that finds
    // nothing to paint), and the cell outside is painted once it shows.
    QCoreApplication::processEvents();
    QCOMPARE(paints.of(&inside), 1);
    QCOMPARE(paints.of(&beside), 1);
    QCOMPARE(paints.of(&outside), 0);
    QCOMPARE(paints.updateRequests(), 1);  // the one repaint, sent at once
    window.resize(200, 40);
    QTRY_VERIFY(paints.of(&outside) > 0);

    // A keyboard's cell is painted alone: its caption, whose bottom row lies
    // on the cell's top row, is not painted again.
    QWidget full;
    KeyboardWidget keyboard(&full, TwipScale(96, 96));
    full.resize(keyboard.size());
    full.show();
    QVERIFY(QTest::qWaitForWindowExposed(&full));
    QCoreApplication::processEvents();
    QVERIFY(keyboard.caption(65)->geometry().intersects(keyboard.cell(65)->geometry()));
    keyboard.cell(65)->installEventFilter(&paints);
    keyboard.caption(65)->installEventFilter(&paints);
    {
        const CountCell::RepaintBatch batch;
        keyboard.cell(65)->setText(QStringLiteral("3"));
    }
    QCOMPARE(paints.of(keyboard.cell(65)), 1);
    QCOMPARE(paints.of(keyboard.caption(65)), 0);
}

// The Windows icon file is kept in the tree: it must be the program's own
// drawing at each size Windows asks for, up to 256 pixels.
void TestWidgets::windowsIconFileHoldsTheDrawingAtEverySize() {
    QImageReader ico(QStringLiteral(PRESSORY_TEST_SOURCE_DIR "/packaging/windows/pressory.ico"));
    QVERIFY2(ico.canRead(), qPrintable(ico.errorString()));
    QList<int> sizes;
    for (int i = 0; i < ico.imageCount(); ++i) {
        QVERIFY(ico.jumpToImage(i));
        const QImage image = ico.read().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.width(), image.height());
        QVERIFY2(image == pressory::widgets::appIconImage(image.width()),
                 qPrintable(QStringLiteral("%1 pixels").arg(image.width())));
        sizes.append(image.width());
    }
    QCOMPARE(sizes, (QList<int>{16, 24, 32, 48, 64, 128, 256}));
}

QTEST_MAIN(TestWidgets)
#include "test_widgets.moc"

// The history viewer and its progress window on files written the way the
// program writes them (code page 932, CR LF), in a temporary folder.
#include <QAccessible>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <filesystem>
#include <fstream>

#include "counting/key_layout.h"
#include "history/history_record.h"
#include "history/ui/history_opener.h"
#include "history/ui/history_window.h"
#include "history/viewer_rules.h"
#include "platform/text_codec.h"
#include "widgets/message_boxes.h"
#include "widgets/progress_window.h"
#include "widgets/twips.h"

using namespace pressory;
using namespace pressory::history;
using pressory::widgets::ProgressWindow;

namespace {

class RecordingBoxes final : public widgets::MessageBoxes {
public:
    QList<QPair<widgets::BoxIcon, QString>> shown;
    void show(widgets::BoxIcon icon, const QString& text) override { shown.append({icon, text}); }
    void dismissAll() override {}
};

widgets::TwipScale screenScale() {
    const QScreen* s = QGuiApplication::primaryScreen();
    return widgets::TwipScale(s->logicalDotsPerInchX(), s->logicalDotsPerInchY());
}

// A record whose total (column 10) is `n`, so that rows can be told apart.
std::string record(int n) {
    std::array<std::int32_t, 256> counts{};
    counts[65] = n;
    return recordLine({2003, 7, 15, 9, 5, n % 60}, counting::layout::countedCodes(), counts, n);
}

std::string standardHeader() { return headerLine(counting::layout::countedCodes(), "合計"); }

QString texts(const std::string& utf8) { return QString::fromStdString(utf8); }

const QString kNoFile = QStringLiteral("履歴ファイルがありません｡");

}  // namespace

class TestHistoryWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void newestRecordsUnderTheHeader();
    void rowCountsAndLabelAtTheEdges();
    void columnsWidenForWideRecordsAndKeepTheirWidths();
    void windowAsDesigned();
    void fixedColumnsStayWhenScrolledSideways();
    void columnsFitTheirTextsAndBackslashColumnsAreNamed();
    void progressBarGrowsByOneRowPerRecord();
    void timersRunWhileALongFileIsRead();
    void warningWithoutAFile();
    void shownModallyAndClosedWithOk();
    void ownerClosedWhileLoading();

private:
    std::string writeFile(const std::string& utf8Header, int firstRecord, int lastRecord);
    std::string writeBytes(const std::string& bytes);

    std::unique_ptr<QTemporaryDir> dir_;
    std::string path_;
};

void TestHistoryWindow::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    path_ = dir_->filePath(QStringLiteral("PressoryHistory.csv")).toStdString();
}

std::string TestHistoryWindow::writeBytes(const std::string& bytes) {
    std::ofstream(path_, std::ios::binary | std::ios::trunc) << bytes;
    return path_;
}

std::string TestHistoryWindow::writeFile(const std::string& utf8Header, int firstRecord, int lastRecord) {
    std::string text = utf8Header + "\r\n";
    for (int n = firstRecord; n <= lastRecord; ++n) text += record(n) + "\r\n";
    return writeBytes(platform::utf8ToCp932(text).value());
}

void TestHistoryWindow::newestRecordsUnderTheHeader() {
    writeFile(standardHeader(), 1, 15);
    HistoryWindow w;
    QVERIFY(w.load(path_, 10, QIcon()));
    const HistoryTableModel* m = w.historyModel();
    QCOMPARE(m->gridRowCount(), 11);
    QCOMPARE(m->rowCount(), 10);
    QCOMPARE(m->columnCount(), 95);
    // Row 0 is the header line, decoded from code page 932, and stays on top as the table's header.
    QCOMPARE(m->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("ログアウトの時刻"));
    QCOMPARE(m->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("マウス"));
    QCOMPARE(m->headerData(5, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("  1"));
    QCOMPARE(m->headerData(10, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("合計"));
    QCOMPARE(m->cellText(0, 94), m->headerData(94, Qt::Horizontal, Qt::DisplayRole).toString());
    // Row 1 is the newest record, the last row the oldest shown (the sixth).
    QCOMPARE(m->data(m->index(0, 10), Qt::DisplayRole).toString(), QStringLiteral("15"));
    QCOMPARE(m->data(m->index(0, 0), Qt::DisplayRole).toString(), texts(record(15).substr(0, 19)));
    QCOMPARE(m->data(m->index(0, 5), Qt::DisplayRole).toString(), QStringLiteral("A"));
    QCOMPARE(m->data(m->index(9, 10), Qt::DisplayRole).toString(), QStringLiteral("6"));
    QCOMPARE(w.lblRowCount()->text(), QStringLiteral("10 件"));
    // The progress window is gone once the grid is filled.
    for (QWidget* top : QApplication::topLevelWidgets())
        QVERIFY(!(top->objectName() == QLatin1String("frmDoEvents") && top->isVisible()));
}

void TestHistoryWindow::rowCountsAndLabelAtTheEdges() {
    const struct {
        int records;
        int limit;
        int gridRows;
    } cases[] = {{0, 10, 1}, {5, 10, 6}, {10, 10, 11}, {15, 10, 11}, {60, 50, 51}, {3, 1000, 4}};
    for (const auto& c : cases) {
        writeFile(standardHeader(), 1, c.records);
        HistoryWindow w;
        QVERIFY(w.load(path_, c.limit, QIcon()));
        QCOMPARE(w.historyModel()->gridRowCount(), c.gridRows);
        QCOMPARE(w.lblRowCount()->text(), QStringLiteral("%1 件").arg(c.gridRows - 1));
        if (c.records > 0) QCOMPARE(w.historyModel()->cellText(1, 10), QString::number(c.records));
    }
    // An empty file: no row at all, the designed 11 columns, "0 件".
    writeBytes("");
    HistoryWindow empty;
    QVERIFY(empty.load(path_, 10, QIcon()));
    QCOMPARE(empty.historyModel()->gridRowCount(), 0);
    QCOMPARE(empty.historyModel()->columnCount(), 11);
    QCOMPARE(empty.lblRowCount()->text(), QStringLiteral("0 件"));
}

void TestHistoryWindow::columnsWidenForWideRecordsAndKeepTheirWidths() {
    // A header of 3 fields and a record of 120: every field of the record is
    // shown; a field cut in a double-byte character shows U+FFFD.
    std::string wide = "x";
    for (int i = 1; i < 120; ++i) wide += "," + std::to_string(i);
    writeBytes("a,b,c\r\n" + wide + "\r\n\x8d\x87,\x8d\r\n");
    HistoryWindow w;
    QVERIFY(w.load(path_, 10, QIcon()));
    const HistoryTableModel* m = w.historyModel();
    QCOMPARE(m->columnCount(), 120);
    QCOMPARE(m->cellText(2, 119), QStringLiteral("119"));
    QCOMPARE(m->cellText(1, 0), QStringLiteral("合"));
    QCOMPARE(m->cellText(1, 1), QString(QChar(0xFFFD)));
    QCOMPARE(m->headerData(50, Qt::Horizontal, Qt::DisplayRole).toString(), QString());

    const widgets::TwipScale tw = screenScale();
    const int widths[] = {1700, 650, 650, 650, 650, 300, 300, 300, 300, 300, 650, 450, 450};
    for (int c = 0; c < 13; ++c) QCOMPARE(w.grdHistory()->columnWidth(c), tw.x(widths[c]));
    QCOMPARE(w.grdHistory()->columnWidth(119), tw.x(450));
    // The fixed columns are the first ten, at the same widths; the others are not in them.
    for (int c = 0; c < 10; ++c) {
        QVERIFY(!w.grdHistory()->frozenView()->isColumnHidden(c));
        QCOMPARE(w.grdHistory()->frozenView()->columnWidth(c), tw.x(widths[c]));
    }
    QVERIFY(w.grdHistory()->frozenView()->isColumnHidden(10));
    QVERIFY(w.grdHistory()->frozenView()->isColumnHidden(119));
}

void TestHistoryWindow::windowAsDesigned() {
    writeFile(standardHeader(), 1, 3);
    QWidget owner;
    HistoryWindow w(&owner);
    QVERIFY(w.load(path_, 10, QIcon()));
    const widgets::TwipScale tw = screenScale();
    QCOMPARE(w.windowTitle(), QStringLiteral("履歴"));
    QCOMPARE(w.size(), QSize(tw.x(11790), tw.y(8130)));
    QVERIFY(!(w.windowFlags() & Qt::WindowCloseButtonHint));
    QVERIFY(!(w.windowFlags() & Qt::WindowSystemMenuHint));
    QVERIFY(w.windowFlags() & Qt::CustomizeWindowHint);
    QCOMPARE(w.grdHistory()->geometry(), QRect(tw.x(120), tw.y(480), tw.x(11535), tw.y(7095)));
    QCOMPARE(w.cmdClose()->text(), QStringLiteral("OK"));
    QCOMPARE(w.cmdClose()->geometry(), QRect(tw.x(10320), tw.y(7680), tw.x(1300), tw.y(350)));
    QCOMPARE(w.lblHeader(0)->text(), QStringLiteral("対合計特殊キー率(%)"));
    // Each caption stands over its columns (the ratios 1-4, the top five
    // 5-9), also where the columns were widened for their texts.
    const auto columnsEdges = [&](int first, int last) {
        const int x = w.grdHistory()->x() + w.grdHistory()->frameWidth();
        return QPair<int, int>(x + w.grdHistory()->columnViewportPosition(first),
                               x + w.grdHistory()->columnViewportPosition(last) + w.grdHistory()->columnWidth(last));
    };
    for (const auto& [label, first, last] : {std::tuple{0, 1, 4}, std::tuple{1, 5, 9}}) {
        const QRect g = w.lblHeader(label)->geometry();
        QVERIFY2(std::abs(g.left() - columnsEdges(first, last).first) <= 2, qPrintable(QString::number(label)));
        QVERIFY2(std::abs(g.right() + 1 - columnsEdges(first, last).second) <= 2, qPrintable(QString::number(label)));
        QCOMPARE(g.top(), tw.y(240));
        QCOMPARE(g.height(), tw.y(255));
    }
    QCOMPARE(w.lblHeader(1)->text(), QStringLiteral("文字キー上位５位"));
    QCOMPARE(w.lblRowCount()->geometry(), QRect(tw.x(10440), tw.y(240), tw.x(1095), tw.y(255)));
    QVERIFY(w.lblRowCount()->alignment() & Qt::AlignRight);
    QVERIFY(w.lblRowCount()->font().bold());
    QCOMPARE(w.lblRowCount()->text(), QStringLiteral("3 件"));
    // The window is filled while hidden; OK comes first in the tab order.
    QVERIFY(!w.isVisible());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.cmdClose()));
    QTest::mouseClick(w.cmdClose(), Qt::LeftButton);
    QVERIFY(!w.isVisible());
    QCOMPARE(w.result(), int(QDialog::Accepted));
}

void TestHistoryWindow::fixedColumnsStayWhenScrolledSideways() {
    writeFile(standardHeader(), 1, 100);
    HistoryWindow w;
    QVERIFY(w.load(path_, 1000, QIcon()));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    HistoryGrid* grid = w.grdHistory();
    QTableView* fixed = grid->frozenView();
    QVERIFY(fixed->isVisible());
    const QRect fixedGeometry = fixed->geometry();
    int fixedWidth = 0;
    for (int c = 0; c < 10; ++c) fixedWidth += grid->columnWidth(c);
    QCOMPARE(fixedGeometry.width(), fixedWidth);
    const QModelIndex total = grid->model()->index(0, 10);
    const int totalX = grid->visualRect(total).x();
    QCOMPARE(totalX, fixedWidth);  // the total starts right of the fixed columns

    grid->horizontalScrollBar()->setValue(grid->horizontalScrollBar()->maximum());
    QVERIFY(grid->horizontalScrollBar()->value() > 0);
    // The scrolling part moved; the fixed columns did not.
    QVERIFY(grid->visualRect(total).x() < totalX);
    QCOMPARE(fixed->geometry().topLeft(), fixedGeometry.topLeft());
    QCOMPARE(fixed->geometry().height(), fixedGeometry.height());
    // No scrolling column shows cut by the fixed columns' edge: the one it
    // cut is covered up to where the next one starts.
    for (int value : {1, 37, grid->columnWidth(11) + 5, grid->horizontalScrollBar()->maximum()}) {
        grid->horizontalScrollBar()->setValue(value);
        const int edge = fixed->geometry().right() + 1 - fixedGeometry.left();
        QVERIFY(edge >= fixedWidth);
        QCOMPARE(grid->columnViewportPosition(grid->columnAt(edge)), edge);
    }
    QCOMPARE(fixed->horizontalScrollBar()->value(), 0);
    QCOMPARE(fixed->visualRect(fixed->model()->index(0, 0)).x(), 0);
    QCOMPARE(fixed->columnViewportPosition(9) + fixed->columnWidth(9), fixedWidth);
    // The last key column is now in view at the right edge.
    QVERIFY(grid->visualRect(grid->model()->index(0, 94)).right() < grid->viewport()->width());

    // Up and down, the fixed columns follow the records; the header stays on top.
    grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum());
    QVERIFY(grid->verticalScrollBar()->value() > 0);
    QCOMPARE(fixed->verticalScrollBar()->value(), grid->verticalScrollBar()->value());
    QVERIFY(grid->horizontalHeader()->isVisible());
    QVERIFY(fixed->horizontalHeader()->isVisible());
    QCOMPARE(fixedGeometry.topLeft(), QPoint(grid->frameWidth(), grid->frameWidth()));
}

// Every caption and every text shows whole (the time stamp too); a screen
// reader hears the grid's name, and the two key columns captioned "\\" by
// their keys.
void TestHistoryWindow::columnsFitTheirTextsAndBackslashColumnsAreNamed() {
    writeFile(standardHeader(), 1, 3);
    HistoryWindow w;
    QVERIFY(w.load(path_, 10, QIcon()));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    HistoryGrid* grid = w.grdHistory();
    const HistoryTableModel* m = w.historyModel();
    const QFontMetrics fm = grid->fontMetrics();
    const QFontMetrics headerFm = grid->horizontalHeader()->fontMetrics();
    const widgets::TwipScale tw = screenScale();
    QCOMPARE(m->columnCount(), 11 + static_cast<int>(counting::layout::countedCodes().size()));
    for (int c = 0; c < m->columnCount(); ++c) {
        const int width = grid->columnWidth(c);
        QVERIFY2(width >= headerFm.horizontalAdvance(m->cellText(0, c)) + 4, qPrintable(m->cellText(0, c)));
        for (int row = 1; row < m->gridRowCount(); ++row)
            QVERIFY2(width >= fm.horizontalAdvance(m->cellText(row, c)) + 4, qPrintable(m->cellText(row, c)));
        QVERIFY(width >= tw.x(columnWidthTwips(static_cast<std::size_t>(std::min(c, 11)))));
        if (c < 10) QCOMPARE(grid->frozenView()->columnWidth(c), width);
    }

    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(grid);
    QVERIFY(table);
    QCOMPARE(table->text(QAccessible::Name), QStringLiteral("履歴"));
    // A screen reader names a cell's column by the header cells it is given.
    QAccessibleTableInterface* cells = table->tableInterface();
    QVERIFY(cells);
    QStringList backslashNames;
    for (int c = 0; c < m->columnCount(); ++c) {
        if (m->cellText(0, c) != QStringLiteral("\\")) continue;
        QAccessibleInterface* cell = cells->cellAt(0, c);
        QVERIFY(cell && cell->tableCellInterface());
        const QList<QAccessibleInterface*> headers = cell->tableCellInterface()->columnHeaderCells();
        QCOMPARE(headers.size(), 1);
        backslashNames << headers[0]->text(QAccessible::Name);
    }
    QCOMPARE(backslashNames, (QStringList{QStringLiteral("\\ (￥)"), QStringLiteral("\\ (ろ)")}));
}

void TestHistoryWindow::progressBarGrowsByOneRowPerRecord() {
    writeFile(standardHeader(), 1, 12);
    QWidget owner;
    owner.resize(800, 600);
    const QIcon icon(QPixmap(32, 32));
    HistoryWindow w(&owner);
    const widgets::TwipScale tw = screenScale();
    QList<int> widths;
    int inside = -1;
    bool windowChecked = false;
    connect(&w, &HistoryWindow::progressStepped, this, [&](ProgressWindow* p, int shown, int gridRows) {
        if (!windowChecked) {
            windowChecked = true;
            QVERIFY(p->isVisible());
            QCOMPARE(p->windowTitle(), QStringLiteral("Pressory"));
            QCOMPARE(p->size(), QSize(tw.x(4710), tw.y(1335)));
            QCOMPARE(p->message()->text(), QStringLiteral("処理中です・・・"));
            QCOMPARE(p->message()->geometry(), QRect(tw.x(960), tw.y(360), tw.x(2055), tw.y(375)));
            QCOMPARE(p->iconLabel()->geometry(), QRect(tw.x(240), tw.y(240), tw.x(495), tw.y(495)));
            QVERIFY(!p->iconLabel()->pixmap().isNull());
            QCOMPARE(p->progressBar()->geometry(), QRect(tw.x(240), tw.y(840), tw.x(4215), tw.y(255)));
            QVERIFY(!(p->windowFlags() & Qt::WindowCloseButtonHint));
            QVERIFY(!(p->windowFlags() & Qt::WindowMinMaxButtonsHint));
        }
        QCOMPARE(gridRows, 11);
        const QRect fill = p->progressBar()->filledRect();
        const QRect bar = p->progressBar()->rect();
        inside = bar.width() - 4;
        QCOMPARE(fill.height(), bar.height() - 4);
        QCOMPARE(fill.left(), 2);
        QCOMPARE(p->progressBar()->reach(), shown * 4000.0 / 11);
        widths.append(fill.width());
        // Painted in navy.
        const QImage image = p->progressBar()->grab().toImage();
        QCOMPARE(image.pixelColor(fill.left() + fill.width() / 2, fill.center().y()), QColor(0, 0, 128));
    });
    QVERIFY(w.load(path_, 10, icon));
    QVERIFY(windowChecked);
    QCOMPARE(widths.size(), 10);  // one step per record shown, none for the header
    for (int k = 1; k <= 10; ++k) QCOMPARE(widths[k - 1], qRound(k * inside / 11.0));
}

void TestHistoryWindow::timersRunWhileALongFileIsRead() {
    // A 300 MB header without a line end and one record: the reading walks
    // over all of it, letting timers run now and then.
    { std::ofstream(path_, std::ios::binary | std::ios::trunc); }
    std::filesystem::resize_file(path_, 300u * 1024 * 1024);
    std::ofstream(path_, std::ios::binary | std::ios::app) << "\r\n1,2\r\n";
    int ticks = 0;
    QTimer timer;
    timer.setInterval(1);
    connect(&timer, &QTimer::timeout, this, [&ticks] { ++ticks; });
    timer.start();
    HistoryWindow w;
    QElapsedTimer took;
    took.start();
    QVERIFY(w.load(path_, 10, QIcon()));
    QCOMPARE(w.historyModel()->gridRowCount(), 2);
    QVERIFY2(ticks >= 2 || took.elapsed() < 15,
             qPrintable(QStringLiteral("%1 ticks in %2 ms").arg(ticks).arg(took.elapsed())));
}

void TestHistoryWindow::warningWithoutAFile() {
    RecordingBoxes boxes;
    showHistoryWindow(nullptr, path_, 1, boxes, QIcon());
    QCOMPARE(boxes.shown.size(), 1);
    QCOMPARE(boxes.shown[0].first, widgets::BoxIcon::Exclamation);
    QCOMPARE(boxes.shown[0].second, kNoFile);

    // A folder in the file's place: the same warning, nothing opened.
    std::filesystem::create_directory(path_);
    showHistoryWindow(nullptr, path_, 1, boxes, QIcon());
    QCOMPARE(boxes.shown.size(), 2);
    QCOMPARE(boxes.shown[1].second, kNoFile);

    // The file goes away between the menu's test and the reading.
    std::filesystem::remove(path_);
    writeFile(standardHeader(), 1, 2);
    HistoryWindow w;
    std::filesystem::remove(path_);
    QVERIFY(!w.load(path_, 10, QIcon()));
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

void TestHistoryWindow::shownModallyAndClosedWithOk() {
    writeFile(standardHeader(), 1, 30);
    RecordingBoxes boxes;
    QWidget owner;
    owner.show();
    int ticks = 0;
    QTimer counting;
    connect(&counting, &QTimer::timeout, this, [&ticks] { ++ticks; });
    counting.start(10);
    bool seen = false;
    int ticksWhenSeen = -1;
    // Looks for the viewer once it is modal, checks it, and presses OK a
    // little later; if it never shows, the safety timer closes whatever is modal.
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        auto* w = qobject_cast<HistoryWindow*>(QApplication::activeModalWidget());
        if (!w || seen) return;
        seen = true;
        QVERIFY(w->isVisible());
        QVERIFY(w->grdHistory()->isVisible());
        QCOMPARE(w->parentWidget(), &owner);
        QCOMPARE(w->historyModel()->rowCount(), 10);  // item 1: 10 rows
        QCOMPARE(w->lblRowCount()->text(), QStringLiteral("10 件"));
        ticksWhenSeen = ticks;
        QTimer::singleShot(80, w, [w] { QTest::mouseClick(w->cmdClose(), Qt::LeftButton); });
    });
    poll.start(5);
    QTimer::singleShot(20000, this, [] {
        if (QWidget* m = QApplication::activeModalWidget()) m->close();
    });
    showHistoryWindow(&owner, path_, 1, boxes, QIcon());
    QVERIFY(seen);
    QVERIFY(ticks > ticksWhenSeen);  // the timer kept counting while the viewer was open
    QVERIFY(boxes.shown.isEmpty());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

void TestHistoryWindow::ownerClosedWhileLoading() {
    // The main window goes away (its close sequence) at the first event the
    // loading lets run: nothing is shown, nothing is left behind.
    writeFile(standardHeader(), 1, 30);
    RecordingBoxes boxes;
    auto* owner = new QWidget;
    owner->show();
    QTimer::singleShot(0, this, [owner] { delete owner; });
    showHistoryWindow(owner, path_, 6, boxes, QIcon());
    QVERIFY(boxes.shown.isEmpty());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    for (QWidget* top : QApplication::topLevelWidgets())
        QVERIFY(top->objectName() != QLatin1String("frmDoEvents") &&
                top->objectName() != QLatin1String("frmKeyHistory"));
}

QTEST_MAIN(TestHistoryWindow)
#include "test_history_window.moc"

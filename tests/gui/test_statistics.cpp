// The statistics window on history files written the way the program writes
// them (code page 932, CR LF), in a temporary folder.
#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolTip>
#include <QtCharts/QBarSet>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtTest>

#include <filesystem>
#include <fstream>

#include "counting/key_layout.h"
#include "history/history_record.h"
#include "history/history_summary.h"
#include "platform/text_codec.h"
#include "statistics/heat_scale.h"
#include "statistics/ui/heat_legend.h"
#include "statistics/ui/statistics_opener.h"
#include "statistics/ui/statistics_window.h"
#include "support/window_fakes.h"
#include "widgets/count_cell.h"
#include "widgets/keyboard_widget.h"
#include "widgets/message_boxes.h"

using namespace pressory;
using namespace pressory::statistics;

namespace {

using test::RecordingBoxes;

std::string recordOf(const history::LocalDateTime& when, std::initializer_list<std::pair<int, std::int32_t>> keys) {
    std::array<std::int32_t, 256> counts{};
    std::int32_t total = 0;
    for (const auto& [vk, n] : keys) {
        counts[static_cast<std::size_t>(vk)] = n;
        total += n;
    }
    return history::recordLine(when, counting::layout::countedCodes(), counts, total);
}

std::string standardHeader() {
    return history::headerLine(counting::layout::countedCodes(), counting::layout::kSummaryCaption);
}

// Starts reading the history file and waits for the window to show it.
bool loaded(StatisticsWindow& w, const std::string& path) {
    QSignalSpy shown(&w, &StatisticsWindow::historyShown);
    w.load(path);
    return shown.count() > 0 || shown.wait(10000);
}

const QString kNoHistory =
    QStringLiteral("まだ履歴がありません。「保存してリセット」で記録すると、ここに統計が表示されます。");

}  // namespace

class TestStatistics : public QObject {
    Q_OBJECT
private slots:
    void init();
    void heatMapColoursAndCountsOfTheKeys();
    void chartHasNinetyDaysWithTotalsAndAverage();
    void resizableScrollsAndTheChartReadsAsText();
    void totalsBusiestDayTopKeysAndSkippedRecords();
    void pictureAndCsvAreSavedAndReadBack();
    void failuresToSaveAreTold();
    void aLineInsteadOfChartsWithoutHistory();
    void shownModallyWhileTimersRun();
    void ownerClosedWhileReading();

private:
    void writeLines(const std::vector<std::string>& utf8Lines);

    std::unique_ptr<QTemporaryDir> dir_;
    std::string path_;
};

void TestStatistics::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    path_ = dir_->filePath(QStringLiteral("PressoryHistory.csv")).toStdString();
}

void TestStatistics::writeLines(const std::vector<std::string>& utf8Lines) {
    std::string text;
    for (const auto& l : utf8Lines) text += l + "\r\n";
    std::ofstream(path_, std::ios::binary | std::ios::trunc) << platform::utf8ToCp932(text).value();
}

void TestStatistics::heatMapColoursAndCountsOfTheKeys() {
    writeLines({standardHeader(), recordOf({2026, 3, 1, 9, 0, 0}, {{'A', 60}, {'B', 25}, {13, 12345}}),
                recordOf({2026, 3, 2, 9, 0, 0}, {{'A', 40}}), recordOf({2026, 3, 3, 9, 0, 0}, {{'W', 99999999}})});
    RecordingBoxes boxes;
    StatisticsWindow w(boxes);
    QVERIFY(loaded(w, path_));
    const widgets::KeyboardWidget* kb = w.keyboard();
    auto colourOf = [kb](int vk) { return kb->cell(vk)->colourValue(); };
    // The darkest colour for the most pressed key, and the scale's square-root
    // levels below it.
    constexpr std::int64_t top = 99999999;
    QCOMPARE(colourOf('W'), colourValueOf(heatColour(1.0)));
    QCOMPARE(colourOf(13), colourValueOf(heatColour(heatLevel(12345, top))));
    QCOMPARE(colourOf('A'), colourValueOf(heatColour(heatLevel(100, top))));
    QCOMPARE(colourOf('B'), colourValueOf(heatColour(heatLevel(25, top))));
    QVERIFY(colourOf(13) != colourOf('A'));
    QCOMPARE(colourOf('C'), colourValueOf(heatColour(0.0)));
    // The cells' texts are the all-time counts; a large one in short form.
    QCOMPARE(kb->cell('A')->text(), QStringLiteral("100"));
    QCOMPARE(kb->cell('B')->text(), QStringLiteral("25"));
    QCOMPARE(kb->cell('C')->text(), QStringLiteral("0"));
    QCOMPARE(kb->cell(13)->text(), QStringLiteral("1.2万"));
    QCOMPARE(kb->cell(13)->toolTip(), QStringLiteral("Enter: 12,345 回"));
    QCOMPARE(kb->cell('W')->text(), QStringLiteral("9999万"));
    // Every text fits its cell whole: a clipped count would read smaller.
    for (const int vk : {int{'A'}, 13, int{'W'}}) {
        const widgets::CountCell* c = kb->cell(vk);
        QVERIFY2(QFontMetrics(c->font()).horizontalAdvance(c->text()) <= c->width() - 4, qPrintable(c->text()));
    }
    // A key the history has no column for keeps the ordinary cell.
    QCOMPARE(kb->cell(4)->text(), QString());
    QCOMPARE(colourOf(4), counting::colour::kUp);
    // The legend runs from the light end to the dark end, with its numbers.
    QCOMPARE(w.legend()->lowLabel()->text(), QStringLiteral("0"));
    QCOMPARE(w.legend()->highLabel()->text(), QStringLiteral("99,999,999"));
    const HeatLegendBar* bar = w.legend()->bar();
    QCOMPARE(bar->colourAt(0), QColor(heatColour(0).r, heatColour(0).g, heatColour(0).b));
    const Rgb dark = heatColour(1);
    QCOMPARE(bar->colourAt(bar->width() - 1), QColor(dark.r, dark.g, dark.b));
}

void TestStatistics::chartHasNinetyDaysWithTotalsAndAverage() {
    // The last day is 2026/03/02; 2/27 has two records, 2/28 and 3/1 none;
    // a day of 2025 lies before the chart.
    writeLines({standardHeader(), recordOf({2025, 6, 1, 9, 0, 0}, {{'A', 5000}}),
                recordOf({2026, 2, 27, 9, 0, 0}, {{'A', 300}}), recordOf({2026, 2, 27, 18, 0, 0}, {{'B', 400}}),
                recordOf({2026, 3, 2, 9, 0, 0}, {{'C', 1400}})});
    RecordingBoxes boxes;
    StatisticsWindow w(boxes);
    QVERIFY(loaded(w, path_));
    const QBarSet* bars = w.barSet();
    QVERIFY(bars);
    QCOMPARE(bars->count(), 90);
    QCOMPARE(bars->at(89), 1400.0);
    QCOMPARE(bars->at(88), 0.0);
    QCOMPARE(bars->at(87), 0.0);
    QCOMPARE(bars->at(86), 700.0);
    qreal sum = 0;
    for (int i = 0; i < bars->count(); ++i) sum += bars->at(i);
    QCOMPARE(sum, 2100.0);
    const QLineSeries* avg = w.averageSeries();
    QCOMPARE(avg->count(), 90);
    QCOMPARE(avg->at(89).x(), 89.0);
    QCOMPARE(avg->at(89).y(), 2100.0 / 7);
    QCOMPARE(avg->at(86).y(), 700.0 / 7);
    QCOMPARE(avg->at(85).y(), 0.0);
    // Hovering a bar tells its date and total.
    QCOMPARE(w.barToolTip(89), QStringLiteral("2026/03/02\n合計: 1,400"));
    QCOMPARE(w.barToolTip(0), QStringLiteral("2025/12/03\n合計: 0"));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    emit w.barSet()->hovered(true, 86);
    QTRY_COMPARE(QToolTip::text(), QStringLiteral("2026/02/27\n合計: 700"));
}

// The window opens at its content's size and can be made smaller: the content
// scrolls, the buttons stay in view. A screen reader reads the chart as the
// date and total of each day shown.
void TestStatistics::resizableScrollsAndTheChartReadsAsText() {
    writeLines({standardHeader(), recordOf({2026, 2, 27, 9, 0, 0}, {{'A', 300}}),
                recordOf({2026, 3, 2, 9, 0, 0}, {{'C', 1400}})});
    RecordingBoxes boxes;
    StatisticsWindow w(boxes);
    QVERIFY(loaded(w, path_));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // As large as the content asks, within the screen (the offscreen screen is
    // smaller than the content).
    const QSize opened = w.size();
    const QSize room = w.screen()->availableGeometry().size();
    QVERIFY(opened.width() <= room.width() && opened.height() <= room.height());
    QVERIFY(opened.width() == w.sizeHint().width() || opened.height() == w.sizeHint().height());
    QVERIFY(w.minimumWidth() < opened.width() / 2 && w.minimumHeight() < opened.height() / 2);
    w.resize(opened / 2);
    QTRY_COMPARE(w.size(), opened / 2);
    QVERIFY(w.scrollArea()->verticalScrollBar()->maximum() > 0);
    QVERIFY(w.rect().contains(w.cmdClose()->geometry()));

    QAccessibleInterface* chart = QAccessible::queryAccessibleInterface(w.chartView());
    QVERIFY(chart);
    const QStringList days = chart->text(QAccessible::Description).split(QLatin1Char('\n'));
    QCOMPARE(days.size(), 90);
    QCOMPARE(days.value(89), QStringLiteral("2026/03/02 合計: 1,400"));
    QCOMPARE(days.value(86), QStringLiteral("2026/02/27 合計: 300"));
    QCOMPARE(days.value(0), QStringLiteral("2025/12/03 合計: 0"));
}

void TestStatistics::totalsBusiestDayTopKeysAndSkippedRecords() {
    writeLines({standardHeader(), recordOf({2026, 1, 31, 9, 0, 0}, {{'A', 600}, {'B', 300}}),
                recordOf({2026, 2, 1, 9, 0, 0}, {{'A', 600}, {'Z', 100}}), "2026/02/01 10:00:00,broken",
                recordOf({2026, 2, 30, 9, 0, 0}, {{'A', 1}})});  // no such day
    RecordingBoxes boxes;
    StatisticsWindow w(boxes);
    QVERIFY(loaded(w, path_));
    const QString totals = w.lblTotals()->text();
    QVERIFY2(totals.contains(QStringLiteral("総打鍵数: 1,600")), qPrintable(totals));
    QVERIFY2(totals.contains(QStringLiteral("記録の件数: 2 件")), qPrintable(totals));
    QVERIFY2(totals.contains(QStringLiteral("記録した日数: 2 日（2026/01/31 〜 2026/02/01）")), qPrintable(totals));
    QVERIFY2(totals.contains(QStringLiteral("最も多い日: 2026/01/31（900）")), qPrintable(totals));
    QVERIFY(!w.lblSkipped()->isHidden());
    QCOMPARE(w.lblSkipped()->text(), QStringLiteral("読み取れない記録が 2 件あり、集計から除きました。"));
    QCOMPARE(w.lblTopKey(0)->text(), QStringLiteral("1. A  1,200 回（75.00%）"));
    QCOMPARE(w.lblTopKey(1)->text(), QStringLiteral("2. B  300 回（18.75%）"));
    QCOMPARE(w.lblTopKey(2)->text(), QStringLiteral("3. Z  100 回（6.25%）"));
    QCOMPARE(w.lblTopKey(3)->text(), QString());

    // Without bad records the line goes.
    writeLines({standardHeader(), recordOf({2026, 1, 31, 9, 0, 0}, {{'A', 1}})});
    QVERIFY(loaded(w, path_));
    QVERIFY(w.lblSkipped()->isHidden());
    QCOMPARE(w.lblSkipped()->text(), QString());

    // A record dated after today is left out with its own reason; the chart
    // still ends at the last day that has come.
    writeLines({standardHeader(), recordOf({2026, 1, 31, 9, 0, 0}, {{'A', 1}}), "broken",
                recordOf({2099, 1, 1, 9, 0, 0}, {{'A', 500}})});
    QVERIFY(loaded(w, path_));
    QCOMPARE(w.lblSkipped()->text(),
             QStringLiteral("読み取れない記録が 1 件、未来の日付の記録が 1 件あり、集計から除きました。"));
    QVERIFY2(w.lblTotals()->text().contains(QStringLiteral("総打鍵数: 1\n")), qPrintable(w.lblTotals()->text()));
    QCOMPARE(w.barToolTip(kChartDays - 1), QStringLiteral("2026/01/31\n合計: 1"));
}

void TestStatistics::pictureAndCsvAreSavedAndReadBack() {
    writeLines({standardHeader(), recordOf({2025, 12, 31, 23, 59, 59}, {{'A', 7}}),
                recordOf({2026, 1, 1, 0, 0, 1}, {{'B', 1234}}), recordOf({2026, 1, 1, 12, 0, 0}, {{'B', 1}})});
    RecordingBoxes boxes;
    StatisticsWindow w(boxes);
    QVERIFY(loaded(w, path_));
    const QString png = dir_->filePath(QStringLiteral("統計.png"));
    const QString csv = dir_->filePath(QStringLiteral("days.csv"));
    QStringList asked;
    QString answer;
    w.setSaveChooser([&](QWidget*, const QString& caption, const QString& suggested, const QString&) {
        asked << caption << suggested;
        return answer;
    });

    answer = png;
    QTest::mouseClick(w.cmdSavePicture(), Qt::LeftButton);
    QCOMPARE(asked.value(0), QStringLiteral("画像として保存"));
    // The dialogs start in the person's Pictures / Documents folder, not the history's.
    QCOMPARE(asked.value(1),
             QDir(StatisticsWindow::pictureFolder()).filePath(QStringLiteral("PressoryStatistics.png")));
    QVERIFY(QFileInfo(asked.value(1)).absolutePath() != dir_->path());
    QImage picture;
    QVERIFY(picture.load(png, "PNG"));
    // The whole content, also where the window is too small to show it.
    QVERIFY(picture.height() >= w.content()->height());
    QVERIFY(picture.width() >= w.keyboard()->width());

    answer = csv;
    QTest::mouseClick(w.cmdSaveCsv(), Qt::LeftButton);
    QCOMPARE(asked.value(2), QStringLiteral("CSVで保存"));
    QCOMPARE(QFileInfo(asked.value(3)).absolutePath(),
             QFileInfo(StatisticsWindow::documentFolder()).absoluteFilePath());
    QFile f(csv);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
    const QStringList lines = QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 4);  // header, two days, and nothing after the last CR LF
    QCOMPARE(lines[0].split(QLatin1Char(',')),
             (QStringList{QStringLiteral("日付"), QStringLiteral("合計"), QStringLiteral("記録数")}));
    QCOMPARE(lines[1].split(QLatin1Char(',')),
             (QStringList{QStringLiteral("2025/12/31"), QStringLiteral("7"), QStringLiteral("1")}));
    QCOMPARE(lines[2].split(QLatin1Char(',')),
             (QStringList{QStringLiteral("2026/01/01"), QStringLiteral("1235"), QStringLiteral("2")}));
    QCOMPARE(lines[3], QString());

    // Cancelling the dialog saves nothing.
    answer.clear();
    QFile::remove(csv);
    QTest::mouseClick(w.cmdSaveCsv(), Qt::LeftButton);
    QVERIFY(!QFile::exists(csv));
    QVERIFY(boxes.shown.isEmpty());
}

void TestStatistics::failuresToSaveAreTold() {
    writeLines({standardHeader(), recordOf({2026, 1, 1, 9, 0, 0}, {{'A', 1}})});
    RecordingBoxes boxes;
    StatisticsWindow w(boxes);
    QVERIFY(loaded(w, path_));
    const QString nowhere = dir_->filePath(QStringLiteral("no-such-folder/out.csv"));
    QVERIFY(!w.saveCsv(nowhere));
    QCOMPARE(boxes.shown.size(), 1);
    QCOMPARE(boxes.shown[0].icon, widgets::BoxIcon::Exclamation);
    QVERIFY2(
        boxes.shown[0].text.startsWith(QDir::toNativeSeparators(nowhere) + QStringLiteral(" に保存できませんでした。")),
        qPrintable(boxes.shown[0].text));
    QVERIFY(!w.savePicture(dir_->filePath(QStringLiteral("no-such-folder/out.png"))));
    QCOMPARE(boxes.shown.size(), 2);
    // A folder in the file's place.
    QVERIFY(QDir(dir_->path()).mkdir(QStringLiteral("taken.csv")));
    QVERIFY(!w.saveCsv(dir_->filePath(QStringLiteral("taken.csv"))));
    QCOMPARE(boxes.shown.size(), 3);
}

void TestStatistics::aLineInsteadOfChartsWithoutHistory() {
    RecordingBoxes boxes;
    auto expectLine = [&](const QString& line) {
        StatisticsWindow w(boxes);
        QVERIFY(loaded(w, path_));
        QCOMPARE(w.lblMessage()->text(), line);
        QVERIFY(!w.lblMessage()->isHidden());
        QVERIFY(w.content()->isHidden());
        QVERIFY(!w.cmdSaveCsv()->isEnabled());
        QVERIFY(!w.cmdSavePicture()->isEnabled());
        QVERIFY(w.cmdClose()->isEnabled());
    };
    expectLine(kNoHistory);  // no file
    writeLines({});
    expectLine(kNoHistory);  // an empty file
    writeLines({standardHeader()});
    expectLine(kNoHistory);  // the header alone
    writeLines({standardHeader(), "x"});
    expectLine(kNoHistory + QStringLiteral("\n読み取れない記録が 1 件あり、集計から除きました。"));
    std::filesystem::remove(path_);
    std::filesystem::create_directory(path_);
    expectLine(QStringLiteral("履歴ファイルを読み取れませんでした。"));
    QVERIFY(boxes.shown.isEmpty());
}

void TestStatistics::shownModallyWhileTimersRun() {
    // Enough records for the reading to take a while: the window shows at
    // once, says that it reads, and timers keep running until it fills in.
    std::vector<std::string> lines{standardHeader()};
    for (int i = 0; i < 60000; ++i) lines.push_back(recordOf({2026, 1 + i / 6000, 1 + i % 28, 9, 0, 0}, {{'K', 2}}));
    writeLines(lines);
    RecordingBoxes boxes;
    QWidget owner;
    owner.show();
    int ticks = 0;
    bool readingSeen = false;
    QTimer counting;
    connect(&counting, &QTimer::timeout, this, [&] {
        ++ticks;
        auto* w = qobject_cast<StatisticsWindow*>(QApplication::activeModalWidget());
        if (w && w->isVisible() && w->readingHistory() &&
            w->lblMessage()->text() == QStringLiteral("履歴ファイルを読み込み中…") && w->content()->isHidden() &&
            !w->cmdSaveCsv()->isEnabled())
            readingSeen = true;  // a tick ran while the file was read, with the window on screen
    });
    counting.start(1);
    bool seen = false;
    int ticksWhenSeen = -1;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        auto* w = qobject_cast<StatisticsWindow*>(QApplication::activeModalWidget());
        if (!w || seen || w->readingHistory()) return;
        seen = true;
        QCOMPARE(w->windowTitle(), QStringLiteral("統計"));
        QCOMPARE(w->objectName(), QStringLiteral("frmStatistics"));
        QCOMPARE(w->parentWidget(), &owner);
        QCOMPARE(w->keyboard()->cell('K')->text(), QStringLiteral("12万"));
        QVERIFY(w->lblMessage()->isHidden());
        QVERIFY(w->cmdSaveCsv()->isEnabled());
        ticksWhenSeen = ticks;
        QTimer::singleShot(80, w, [w] { QTest::mouseClick(w->cmdClose(), Qt::LeftButton); });
    });
    poll.start(5);
    QTimer::singleShot(30000, this, [] {
        if (QWidget* m = QApplication::activeModalWidget()) m->close();
    });
    const std::uintmax_t size = std::filesystem::file_size(path_);
    const auto written = std::filesystem::last_write_time(path_);
    showStatisticsWindow(&owner, path_, boxes, QIcon());
    QVERIFY(seen);
    QVERIFY(readingSeen);
    QVERIFY(ticks > ticksWhenSeen);  // and while the window was open
    QVERIFY(boxes.shown.isEmpty());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    for (QWidget* top : QApplication::topLevelWidgets())
        QVERIFY(top->objectName() != QLatin1String("frmDoEvents") || !top->isVisible());
    // Only read.
    QCOMPARE(std::filesystem::file_size(path_), size);
    QVERIFY(std::filesystem::last_write_time(path_) == written);
}

void TestStatistics::ownerClosedWhileReading() {
    writeLines({standardHeader(), recordOf({2026, 1, 1, 9, 0, 0}, {{'A', 1}})});
    RecordingBoxes boxes;
    auto* owner = new QWidget;
    owner->show();
    QTimer::singleShot(0, this, [owner] { delete owner; });
    showStatisticsWindow(owner, path_, boxes, QIcon());
    QVERIFY(boxes.shown.isEmpty());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    for (QWidget* top : QApplication::topLevelWidgets())
        QVERIFY(top->objectName() != QLatin1String("frmDoEvents") &&
                top->objectName() != QLatin1String("frmStatistics"));
}

QTEST_MAIN(TestStatistics)
#include "test_statistics.moc"

// The statistics window's activity views over activity databases written
// here with SQLite, in a temporary folder beside a history file.
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <sqlite3.h>

#include <string>

#include "activity/activity_schema.h"
#include "history/history_summary.h"
#include "statistics/ui/activity_pages.h"
#include "statistics/ui/activity_panel.h"
#include "statistics/ui/statistics_window.h"
#include "support/window_fakes.h"
#include "widgets/count_cell.h"
#include "widgets/keyboard_widget.h"

using namespace pressory;
using namespace pressory::statistics;

namespace {

std::int64_t hourOf(int year, int month, int day, int hour) {
    return std::int64_t{history::dayNumber({year, month, day})} * 24 + hour;
}

// Wednesday 2026/12/09, 15:00.
const std::int64_t kNow = hourOf(2026, 12, 9, 15);

class Database {
public:
    explicit Database(const std::string& path) {
        QVERIFY(sqlite3_open(path.c_str(), &db_) == SQLITE_OK);
        run(activity::kSchemaSql);
        run("INSERT INTO meta VALUES('schema_version', '1');"
            "INSERT INTO apps VALUES(1, ''), (2, 'editor'), (3, 'term');"
            "INSERT INTO keys VALUES(1, 'A'), (2, '変換'), (3, 'Space');");
    }
    ~Database() { sqlite3_close(db_); }
    void run(const std::string& sql) {
        char* error = nullptr;
        const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error);
        const QByteArray message(error ? error : "");
        sqlite3_free(error);
        QVERIFY2(rc == SQLITE_OK, message.constData());
    }
    void press(std::int64_t hour, int app, int key, int count) {
        run("INSERT INTO presses VALUES(" + std::to_string(hour) + "," + std::to_string(app) + "," +
            std::to_string(key) + "," + std::to_string(count) + ")");
    }
    void hour(std::int64_t hour, int minutes, int peak) {
        run("INSERT INTO hours VALUES(" + std::to_string(hour) + "," + std::to_string(minutes) + "," +
            std::to_string(peak) + "," + std::to_string(hour * 60 + 7) + ")");
    }

private:
    sqlite3* db_ = nullptr;
};

QString cellText(QTableWidget* t, int row, int column) {
    const QTableWidgetItem* item = t->item(row, column);
    return item ? item->text() : QString();
}

}  // namespace

class TestActivityViews : public QObject {
    Q_OBJECT
private slots:
    void init();
    void viewsFollowThePeriod();
    void tableOfTheCurrentViewSavedAsCsv();
    void missingDamagedAndLockedDatabases();
    void sumsReadAsThePresses();

private:
    // A window over the folder, its clock at kNow, with its first reading shown.
    std::unique_ptr<StatisticsWindow> open();
    static void waitShown(StatisticsWindow& w, const std::function<void()>& change);

    test::RecordingBoxes boxes_;
    std::unique_ptr<QTemporaryDir> dir_;
    std::string history_;
    std::string database_;
};

void TestActivityViews::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    history_ = dir_->filePath(QStringLiteral("PressoryHistory.csv")).toStdString();
    database_ = dir_->filePath(QStringLiteral("PressoryActivity.db")).toStdString();
}

void TestActivityViews::waitShown(StatisticsWindow& w, const std::function<void()>& change) {
    QSignalSpy shown(w.activity(), &ActivityPanel::readingShown);
    change();
    QVERIFY(shown.count() > 0 || shown.wait(10000));
}

std::unique_ptr<StatisticsWindow> TestActivityViews::open() {
    auto w = std::make_unique<StatisticsWindow>(boxes_);
    w->activity()->setClock([] { return kNow; });
    waitShown(*w, [&] { w->load(history_); });
    return w;
}

void TestActivityViews::viewsFollowThePeriod() {
    {
        Database db(database_);
        db.press(hourOf(2026, 12, 9, 9), 2, 1, 100);  // today 9:00: editor A
        db.press(hourOf(2026, 12, 9, 9), 3, 2, 20);   // term 変換
        db.hour(hourOf(2026, 12, 9, 9), 4, 45);
        db.press(hourOf(2026, 12, 8, 23), 2, 3, 7);   // yesterday, just before midnight
        db.press(hourOf(2026, 12, 7, 14), 2, 3, 50);  // Monday 14:00: editor Space
        db.hour(hourOf(2026, 12, 7, 14), 1, 50);
        db.press(hourOf(2026, 12, 2, 9), 2, 1, 118);  // last week
        db.hour(hourOf(2026, 12, 2, 9), 2, 40);
    }
    const auto w = open();
    ActivityPanel* a = w->activity();
    QTableWidget* grid = a->table(ActivityPanel::Hours);

    // Today: Wednesday's row only; every cell reads its weekday, hour and count.
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(grid);
    QVERIFY(table && table->tableInterface());
    auto cellName = [&](int row, int column) {
        QAccessibleInterface* cell = table->tableInterface()->cellAt(row, column);
        return cell ? cell->text(QAccessible::Name) : QString();
    };
    QCOMPARE(cellName(2, 9), QStringLiteral("水曜日 9時台: 120 回"));
    QCOMPARE(cellName(1, 23), QStringLiteral("火曜日 23時台: 0 回"));
    QCOMPARE(grid->item(2, 9)->toolTip(), QStringLiteral("水曜日 9時台: 120 回"));
    QCOMPARE(a->hours()->lblBusiest()->text(),
             QStringLiteral("最も多い時間帯: 9時台（120 回）　最も多い曜日: 水曜日（120 回）"));
    QVERIFY2(a->source().contains(QStringLiteral("今日（2026/12/09 〜 2026/12/09）")), qPrintable(a->source()));
    QVERIFY(a->speed()->lblSpeed()->text().contains(QStringLiteral("平均: 30.0 キー/分")));
    QVERIFY(a->speed()->lblSpeed()->text().contains(QStringLiteral("最も速い1分: 45 キー/分（2026/12/09 09:07）")));

    // This week: Monday to Sunday, compared with the week before.
    waitShown(*w, [&] { a->setPeriod(PeriodKind::ThisWeek); });
    QCOMPARE(cellName(0, 14), QStringLiteral("月曜日 14時台: 50 回"));
    QCOMPARE(cellName(1, 23), QStringLiteral("火曜日 23時台: 7 回"));
    QTableWidget* compare = a->table(ActivityPanel::Compare);
    QCOMPARE(a->compare()->lblCompare()->text(),
             QStringLiteral("前の同じ長さの期間（2026/11/30 00:00 〜 2026/12/02 16:00）との比較"));
    QCOMPARE(cellText(compare, 0, 1), QStringLiteral("177"));
    QCOMPARE(cellText(compare, 0, 2), QStringLiteral("118"));
    QCOMPARE(cellText(compare, 0, 3), QStringLiteral("+50.0%"));
    QCOMPARE(cellText(compare, 2, 0), QStringLiteral("キー A"));
    QCOMPARE(cellText(compare, 2, 3), QStringLiteral("-15.3%"));
    QCOMPARE(cellText(compare, 4, 0), QStringLiteral("キー 変換"));
    QCOMPARE(cellText(compare, 4, 3), QStringLiteral("—"));

    // Applications: most presses first; the selected one's keys and keyboard.
    QTableWidget* apps = a->table(ActivityPanel::Apps);
    QCOMPARE(apps->rowCount(), 2);
    QCOMPARE(cellText(apps, 0, 0), QStringLiteral("editor"));
    QCOMPARE(cellText(apps, 0, 2), QStringLiteral("88.70%"));
    QCOMPARE(cellText(a->apps()->grdAppKeys(), 0, 0), QStringLiteral("A"));
    QCOMPARE(a->apps()->keyboard()->cell('A')->text(), QStringLiteral("100"));
    QCOMPARE(a->apps()->keyboard()->cell(' ')->text(), QStringLiteral("57"));
    apps->selectRow(1);
    QCOMPARE(cellText(a->apps()->grdAppKeys(), 0, 0), QStringLiteral("変換"));
    QCOMPARE(a->apps()->keyboard()->cell('A')->text(), QStringLiteral("0"));

    // Every key: only those outside the drawing, sortable by count.
    QTableWidget* keys = a->table(ActivityPanel::Keys);
    QCOMPARE(keys->rowCount(), 1);
    QCOMPARE(cellText(keys, 0, 0), QStringLiteral("変換"));

    // A range of days, from the first day with data at the earliest.
    a->setRange(QDate(2026, 11, 1), QDate(2026, 12, 3));
    waitShown(*w, [&] { a->setPeriod(PeriodKind::Range); });
    QVERIFY2(a->source().contains(QStringLiteral("日付を指定（2026/12/02 〜 2026/12/03）")), qPrintable(a->source()));
    QCOMPARE(cellText(compare, 0, 1), QStringLiteral("118"));

    // All: nothing before it to compare with.
    waitShown(*w, [&] { a->setPeriod(PeriodKind::All); });
    QCOMPARE(cellText(compare, 0, 0), QString());
    QCOMPARE(a->compare()->lblCompare()->text(), QStringLiteral("全期間には比べる前の期間がありません。"));
    QCOMPARE(a->table(ActivityPanel::Speed)->rowCount(), 8);  // 2026/12/02 .. 2026/12/09
}

void TestActivityViews::tableOfTheCurrentViewSavedAsCsv() {
    {
        Database db(database_);
        db.press(hourOf(2026, 12, 9, 9), 2, 1, 1234);
        db.run("INSERT INTO apps VALUES(4, 'a \"quoted\", app')");
        db.press(hourOf(2026, 12, 9, 10), 4, 2, 5);
    }
    const auto w = open();
    w->tabs()->setCurrentIndex(1);
    QVERIFY(w->cmdSaveCsv()->isEnabled());
    const QString hours = dir_->filePath(QStringLiteral("hours.csv"));
    QVERIFY(w->saveCsv(hours));
    QFile file(hours);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QVERIFY(lines[0].startsWith("\xEF\xBB\xBF" + QStringLiteral("曜日,0,1,").toUtf8()));
    QCOMPARE(lines[3], QByteArray("水,0,0,0,0,0,0,0,0,0,1234,5,0,0,0,0,0,0,0,0,0,0,0,0,0\r"));

    w->tabs()->setCurrentIndex(2);
    const QString apps = dir_->filePath(QStringLiteral("apps.csv"));
    QVERIFY(w->saveCsv(apps));
    QFile appsFile(apps);
    QVERIFY(appsFile.open(QIODevice::ReadOnly));
    QCOMPARE(appsFile.readAll(), "\xEF\xBB\xBF" + QStringLiteral("アプリ,回数,割合\r\neditor,1234,99.60%\r\n"
                                                                 "\"a \"\"quoted\"\", app\",5,0.40%\r\n")
                                                      .toUtf8());

    w->tabs()->setCurrentIndex(3);
    const QString picture = dir_->filePath(QStringLiteral("speed.png"));
    QVERIFY(w->savePicture(picture));
    // The current view, with the line that says its period and source.
    const QImage image(picture);
    const QPixmap speed = w->activity()->page(ActivityPanel::Speed)->grab();
    QCOMPARE(image.size(), speed.toImage().size());
    QVERIFY(image.size() != w->scrollArea()->widget()->grab().toImage().size());
}

void TestActivityViews::missingDamagedAndLockedDatabases() {
    auto w = open();
    w->tabs()->setCurrentIndex(1);
    QVERIFY(w->activity()->source().startsWith(QStringLiteral("活動データベースがまだありません。")));
    QVERIFY(!w->cmdSaveCsv()->isEnabled());
    w->tabs()->setCurrentIndex(0);
    QVERIFY(!w->activity()->isVisibleTo(w.get()));

    {
        QFile junk(QString::fromStdString(database_));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(4096, 'x'));
    }
    w = open();
    QVERIFY(w->activity()->source().startsWith(QStringLiteral("活動データベースを読み取れませんでした。")));
    QVERIFY(QFile::remove(QString::fromStdString(database_)));

    // While another connection holds the database locked, the reading waits
    // on its own thread: the window goes on, and shows the figures once the
    // lock is let go.
    Database db(database_);
    db.press(hourOf(2026, 12, 9, 9), 2, 1, 42);
    db.run("BEGIN EXCLUSIVE");
    w = std::make_unique<StatisticsWindow>(boxes_);
    w->activity()->setClock([] { return kNow; });
    QSignalSpy shown(w->activity(), &ActivityPanel::readingShown);
    QElapsedTimer clock;
    clock.start();
    w->load(history_);
    QVERIFY(clock.elapsed() < 500);
    QCOMPARE(w->activity()->source(), QStringLiteral("活動データを読み込んでいます…"));
    bool ticked = false;
    QTimer::singleShot(50, [&] { ticked = true; });
    QTRY_VERIFY(ticked);
    QCOMPARE(shown.count(), 0);
    db.run("COMMIT");
    QVERIFY(shown.count() > 0 || shown.wait(10000));
    QCOMPARE(w->activity()->shownReading().current.total(), 42);
}

// A database with the sums (schema version 2) reads the same from them as
// from its rows of presses, every period and the one before it; the early
// reading has all but the applications' keys, and the window shows it first.
void TestActivityViews::sumsReadAsThePresses() {
    {
        Database db(database_);
        db.run(activity::kSchemaSqlV2);
        db.run("UPDATE meta SET value = '2' WHERE key = 'schema_version'");
        int n = 0;
        for (int day = 1; day <= 9; ++day)  // December: the weeks and the month
            for (const int hour : {0, 9, 14, 15, 23})
                for (int app = 1; app <= 3; ++app)
                    for (int key = 1; key <= 3; ++key) {
                        if (++n % 4 == 0) continue;
                        db.press(hourOf(2026, 12, day, hour), app, key, (n * 37) % 101 + 1);
                    }
        db.press(hourOf(2026, 11, 30, 23), 2, 3, 5);  // the month and the week before
        db.press(hourOf(2026, 11, 9, 10), 1, 2, 8);   // 30 days before
        db.hour(hourOf(2026, 12, 9, 9), 4, 45);
        db.hour(hourOf(2026, 12, 2, 14), 2, 40);
        db.run(activity::kMigrateV1ToV2);
    }
    auto same = [](const ActivityTally& a, const ActivityTally& b, bool appKeys) {
        QVERIFY(a.range() == b.range());
        QCOMPARE(a.total(), b.total());
        QCOMPARE(a.activeMinutes(), b.activeMinutes());
        QVERIFY(a.grid() == b.grid());
        QVERIFY(a.dayTotals() == b.dayTotals());
        QVERIFY(a.dayPeaks() == b.dayPeaks());
        QVERIFY(a.appTotals() == b.appTotals());
        QVERIFY(a.keyTotals() == b.keyTotals());
        for (std::size_t app = 0; app < a.appNames().size(); ++app)
            for (std::size_t key = 0; key < a.keyNames().size(); ++key)
                QCOMPARE(a.appKeyTotal(app, key), appKeys ? b.appKeyTotal(app, key) : 0);
    };
    const int today = dayOfHour(kNow);
    for (const PeriodKind kind : {PeriodKind::Today, PeriodKind::ThisWeek, PeriodKind::ThisMonth,
                                  PeriodKind::Last30Days, PeriodKind::All, PeriodKind::Range}) {
        const PeriodRequest request{kind, kNow, today - 8, today - 2};
        const ActivityReading rows = readActivity(database_, request, {}, false);
        int earlyReadings = 0;
        const ActivityReading sums = readActivity(database_, request, [&](const ActivityReading& early) {
            ++earlyReadings;
            QVERIFY(!early.appKeysRead);
            same(early.current, rows.current, false);
            same(early.previous, rows.previous, true);
        });
        QCOMPARE(rows.status, ActivityStatus::Ok);
        QVERIFY(rows.current.total() > 0);
        QCOMPARE(earlyReadings, 1);
        QVERIFY(sums.appKeysRead);
        QCOMPARE(sums.hasPrevious, rows.hasPrevious);
        same(sums.current, rows.current, true);
        same(sums.previous, rows.previous, true);
    }

    // The window shows the early reading, then the whole one: the keys of
    // the application chosen meanwhile.
    auto w = std::make_unique<StatisticsWindow>(boxes_);
    w->activity()->setClock([] { return kNow; });
    AppsPage* apps = w->activity()->apps();
    QString earlyTitle;
    connect(w->activity(), &ActivityPanel::figuresShown, this, [&] {
        if (!earlyTitle.isEmpty()) return;
        earlyTitle = apps->lblAppKeys()->text();
        QCOMPARE(apps->grdAppKeys()->rowCount(), 0);
        apps->table()->selectRow(2);
    });
    waitShown(*w, [&] { w->load(history_); });
    QCOMPARE(earlyTitle, QStringLiteral("%1 でよく押したキー（読み込み中…）").arg(cellText(apps->table(), 0, 0)));
    QCOMPARE(apps->lblAppKeys()->text(), QStringLiteral("%1 でよく押したキー").arg(cellText(apps->table(), 2, 0)));
    QCOMPARE(apps->table()->currentRow(), 2);
    QCOMPARE(apps->grdAppKeys()->rowCount(), 3);
}

QTEST_MAIN(TestActivityViews)
#include "test_activity_views.moc"

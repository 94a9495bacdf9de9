// Every text of the statistics window's activity views, in one place.
#pragma once

#include <QString>
#include <QStringList>

namespace pressory::statistics::texts {

// Where each view's figures come from.
inline const QString kHistorySource =
    QStringLiteral("データ: 履歴ファイル（PressoryHistory.csv）の全期間。活動データベースより前の記録も含みます。");
inline const QString kActivitySource = QStringLiteral("データ: 活動データベース（PressoryActivity.db）、%1");  // period

// The tabs.
inline const QString kTabHistory = QStringLiteral("履歴ファイル");
inline const QString kTabHours = QStringLiteral("時間帯と曜日");
inline const QString kTabApps = QStringLiteral("アプリ");
inline const QString kTabSpeed = QStringLiteral("速さ");
inline const QString kTabKeys = QStringLiteral("すべてのキー");
inline const QString kTabCompare = QStringLiteral("比較");

// The period selector; its items in the order of PeriodKind.
inline const QString kPeriod = QStringLiteral("期間(&K):");
inline const QStringList kPeriods = {QStringLiteral("今日"),   QStringLiteral("今週"),
                                     QStringLiteral("今月"),   QStringLiteral("過去30日"),
                                     QStringLiteral("全期間"), QStringLiteral("日付を指定")};
inline const QString kRangeTo = QStringLiteral("〜");
inline const QString kDateFormat = QStringLiteral("yyyy/MM/dd");
inline const QString kPeriodSpan = QStringLiteral("%1 〜 %2");  // first day, last day

// What the activity views say instead of figures.
inline const QString kActivityReading = QStringLiteral("活動データを読み込んでいます…");
inline const QString kNoActivity =
    QStringLiteral("活動データベースがまだありません。Pressory が数えた押下は1分ごとに記録され、ここに表示されます。");
inline const QString kActivityUnreadable = QStringLiteral("活動データベースを読み取れませんでした。");
inline const QString kActivityNewer =
    QStringLiteral("活動データベースはこの版より新しい Pressory が書いたもので、読み取れません。");
inline const QString kNoPresses = QStringLiteral("この期間の押下はありません。");

// Hour by weekday.
inline const QStringList kWeekdayRows = {QStringLiteral("月"), QStringLiteral("火"), QStringLiteral("水"),
                                         QStringLiteral("木"), QStringLiteral("金"), QStringLiteral("土"),
                                         QStringLiteral("日")};
inline const QString kWeekdayName = QStringLiteral("%1曜日");             // row caption
inline const QString kGridCell = QStringLiteral("%1曜日 %2時台: %3 回");  // weekday, hour, count
inline const QString kGridTitle = QStringLiteral("曜日と時間帯ごとの押した回数");
inline const QString kBusiestHour = QStringLiteral("最も多い時間帯: %1時台（%2 回）");
inline const QString kBusiestWeekday = QStringLiteral("最も多い曜日: %1曜日（%2 回）");
inline const QString kGridLegend = QStringLiteral("1時間の押した回数");
inline const QString kGridCorner = QStringLiteral("曜日");

// Applications.
inline const QString kUnknownApp = QStringLiteral("（不明なアプリ）");
inline const QString kAppColumn = QStringLiteral("アプリ");
inline const QString kKeyColumn = QStringLiteral("キー");
inline const QString kCountColumn = QStringLiteral("回数");
inline const QString kShareColumn = QStringLiteral("割合");
inline const QString kAppKeysTitle = QStringLiteral("%1 でよく押したキー");  // application
inline const QString kAppKeysReading = QStringLiteral("（読み込み中…）");
inline const QString kAppLegend = QStringLiteral("このアプリでキーごとの押した回数");
inline const QString kAppsTitle = QStringLiteral("アプリごとの押した回数（%1 件）");

// Speed.
inline const QString kSpeedAverage = QStringLiteral("平均: %1 キー/分（押した %2 回、活動した %3 分）");
inline const QString kSpeedBest = QStringLiteral("最も速い1分: %1 キー/分（%2）");  // count, date and time
inline const QString kSpeedNone = QStringLiteral("この期間に活動した分はありません。");
inline const QString kSpeedChartTitle = QStringLiteral("1日ごとの速さ（キー/分）");
inline const QString kPeakSeries = QStringLiteral("最高の1分");
inline const QString kAverageSeries = QStringLiteral("平均");
inline const QStringList kSpeedColumns = {QStringLiteral("日付"), QStringLiteral("押した回数"),
                                          QStringLiteral("活動した分"), QStringLiteral("平均（キー/分）"),
                                          QStringLiteral("最高（キー/分）")};

// Every key.
inline const QString kKeysTitle =
    QStringLiteral("キーボードの図にないキーとボタン: %1 回（この期間の押下の %2）");  // count, share
inline const QString kKeysShareColumn = QStringLiteral("全体に占める割合");

// Compare.
inline const QString kCompareTitle = QStringLiteral("前の同じ長さの期間（%1）との比較");  // span
inline const QString kCompareNone = QStringLiteral("全期間には比べる前の期間がありません。");
inline const QStringList kCompareColumns = {QStringLiteral("項目"), QStringLiteral("この期間"),
                                            QStringLiteral("前の期間"), QStringLiteral("変化")};
inline const QString kCompareTotal = QStringLiteral("合計");
inline const QString kCompareSpeed = QStringLiteral("速さ（キー/分）");
inline const QString kCompareKey = QStringLiteral("キー %1");
inline const QString kNoChange = QStringLiteral("—");  // nothing to compare with

// Saving the current view's table.
inline const QStringList kCsvNames = {QStringLiteral("PressoryDays.csv"), QStringLiteral("PressoryHours.csv"),
                                      QStringLiteral("PressoryApps.csv"), QStringLiteral("PressorySpeed.csv"),
                                      QStringLiteral("PressoryKeys.csv"), QStringLiteral("PressoryCompare.csv")};

}  // namespace pressory::statistics::texts

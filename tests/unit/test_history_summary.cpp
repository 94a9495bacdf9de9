#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "counting/key_layout.h"
#include "history/history_record.h"
#include "history/history_summary.h"
#include "platform/text_codec.h"
#include "support/temp_folder.h"

using namespace pressory;
using namespace pressory::history;
namespace fs = std::filesystem;

namespace {

std::optional<std::string> encode(std::string_view utf8) { return platform::utf8ToCp932(utf8); }

std::string cp932(const std::string& utf8) { return *platform::utf8ToCp932(utf8); }

// A record whose key `vk` was pressed `n` times and every other key not at all.
std::string recordOf(const LocalDateTime& when, int vk, std::int32_t n) {
    std::array<std::int32_t, 256> counts{};
    counts[static_cast<std::size_t>(vk)] = n;
    return recordLine(when, counting::layout::countedCodes(), counts, n);
}

std::string standardHeader() { return headerLine(counting::layout::countedCodes(), counting::layout::kSummaryCaption); }

class HistorySummaryTest : public ::testing::Test {
protected:
    test::TempFolder dir{"pressory-summary-"};
    fs::path file = dir.path() / "PressoryHistory.csv";

    // Writes the lines (UTF-8), each ending in CR LF, in code page 932.
    HistorySummary summaryOf(const std::vector<std::string>& lines) {
        std::string bytes;
        for (const auto& l : lines) bytes += cp932(l) + "\r\n";
        return summaryOfBytes(bytes);
    }
    HistorySummary summaryOfBytes(const std::string& bytes) {
        test::writeBytes(file, bytes);
        return summarizeHistory(file.string(), encode);
    }
};

TEST(CalendarDays, CountFromTheEpochAcrossLeapYearsAndBack) {
    EXPECT_EQ(dayNumber({1970, 1, 1}), 0);
    EXPECT_EQ(dayNumber({1969, 12, 31}), -1);
    EXPECT_EQ(dayNumber({2000, 3, 1}) - dayNumber({2000, 2, 28}), 2);  // 2000 is a leap year
    EXPECT_EQ(dayNumber({2100, 3, 1}) - dayNumber({2100, 2, 28}), 1);  // 2100 is not
    EXPECT_EQ(dayNumber({2026, 1, 1}) - dayNumber({2025, 12, 31}), 1);
    EXPECT_EQ(dayNumber({2024, 12, 31}) - dayNumber({2024, 1, 1}), 365);
    for (int d = dayNumber({1899, 12, 25}); d < dayNumber({2101, 1, 10}); d += 13) {
        ASSERT_EQ(dayNumber(dateOfDay(d)), d) << d;
    }
    EXPECT_EQ(dateOfDay(dayNumber({2024, 2, 29})), (Date{2024, 2, 29}));
    EXPECT_EQ(formatDay(dayNumber({2026, 3, 5})), "2026/03/05");
}

TEST_F(HistorySummaryTest, RecordsGoToTheirCalendarDayAcrossMonthAndYearEnds) {
    const auto s = summaryOf({
        standardHeader(), recordOf({2025, 12, 31, 23, 59, 59}, 'A', 5), recordOf({2026, 1, 1, 0, 0, 0}, 'A', 7),
        recordOf({2026, 1, 1, 18, 30, 0}, 'B', 11), recordOf({2026, 1, 31, 23, 0, 0}, 13, 2),
        recordOf({2026, 2, 1, 8, 0, 0}, 37, 3),  // ← : a caption outside ASCII
        recordOf({2026, 2, 1, 9, 0, 0}, 220, 20),
        recordOf({2026, 2, 1, 10, 0, 0}, 226, 30),  // the other key captioned "\"
    });
    ASSERT_EQ(s.status, ReadStatus::Ok);
    EXPECT_TRUE(s.hasHeader);
    EXPECT_EQ(s.records, 7);
    EXPECT_EQ(s.skipped, 0);
    EXPECT_EQ(s.totalPresses, 78);
    EXPECT_EQ(s.keySums['A'], 12);
    EXPECT_EQ(s.keySums['B'], 11);
    EXPECT_EQ(s.keySums[13], 2);
    EXPECT_EQ(s.keySums[37], 3);
    EXPECT_EQ(s.keySums[220], 20);
    EXPECT_EQ(s.keySums[226], 30);
    EXPECT_EQ(s.keySums['C'], 0);
    EXPECT_TRUE(s.hasColumn['C']);
    EXPECT_FALSE(s.hasColumn[4]);  // the middle button is not a column

    ASSERT_EQ(s.days.size(), 4u);
    const int dec31 = dayNumber({2025, 12, 31});
    EXPECT_EQ(s.firstDay(), dec31);
    EXPECT_EQ(s.lastDay(), dayNumber({2026, 2, 1}));
    EXPECT_EQ(s.days.at(dec31).total, 5);
    EXPECT_EQ(s.days.at(dec31 + 1).total, 18);
    EXPECT_EQ(s.days.at(dec31 + 1).records, 2);
    EXPECT_EQ(s.days.at(dayNumber({2026, 1, 31})).total, 2);
    EXPECT_EQ(s.days.at(dayNumber({2026, 2, 1})).total, 53);
    EXPECT_EQ(s.days.at(dayNumber({2026, 2, 1})).records, 3);
}

TEST_F(HistorySummaryTest, RecordsThatCannotBeReadAreSkippedAndCounted) {
    const std::string good = recordOf({2026, 5, 1, 12, 0, 0}, 'Q', 4);
    auto withField = [&good](std::size_t index, const std::string& value) {
        std::vector<std::string> f;
        std::size_t from = 0;
        for (;;) {
            const auto comma = good.find(',', from);
            f.push_back(good.substr(from, comma == std::string::npos ? std::string::npos : comma - from));
            if (comma == std::string::npos) break;
            from = comma + 1;
        }
        f.at(index) = value;
        std::string out;
        for (std::size_t i = 0; i < f.size(); ++i) out += (i ? "," : "") + f[i];
        return out;
    };
    const std::vector<std::string> bad = {
        good + ",1",                             // one field too many
        good.substr(0, good.rfind(',')),         // one field too few
        "",                                      // a blank line
        withField(0, "2026/02/30 10:00:00"),     // no such date
        withField(0, "2025/02/29 10:00:00"),     // not a leap year
        withField(0, "2026/13/01 10:00:00"),     // no such month
        withField(0, "2026/05/01 24:00:00"),     // no such hour
        withField(0, "2026/05/01 10:00"),        // too short
        withField(0, "2026-05-01 10:00:00"),     // other separators
        withField(0, ""),                        // no time stamp
        withField(10, "12a"),                    // total not a number
        withField(10, "-4"),                     // negative total
        withField(10, "2147483648"),             // beyond a count
        withField(11, ""),                       // an empty key count
        withField(11 + 20, " 3"),                // a space in a key count
        good + std::string(kRowByteLimit, 'x'),  // longer than any record
    };
    std::vector<std::string> lines = {standardHeader(), good};
    lines.insert(lines.end(), bad.begin(), bad.end());
    lines.push_back(good);
    lines.push_back(withField(10, "2147483647"));  // the largest count is read
    lines.push_back(withField(1, "x"));            // the ratio and top-five fields are not needed

    const auto s = summaryOf(lines);
    ASSERT_EQ(s.status, ReadStatus::Ok);
    EXPECT_EQ(s.skipped, static_cast<std::int64_t>(bad.size()));
    EXPECT_EQ(s.records, 4);
    EXPECT_EQ(s.keySums['Q'], 16);
    EXPECT_EQ(s.totalPresses, 4 + 4 + 2147483647LL + 4);
    ASSERT_EQ(s.days.size(), 1u);
    EXPECT_EQ(s.days.begin()->second.records, 4);
}

// A record dated after today (written while the clock was wrong) is left
// out and counted apart, wherever it lies in the file: the last day is one
// that has come.
TEST_F(HistorySummaryTest, RecordsDatedAfterTodayAreLeftOutAndCounted) {
    summaryOf({standardHeader(), recordOf({2026, 3, 1, 9, 0, 0}, 'A', 5), recordOf({2031, 7, 4, 9, 0, 0}, 'A', 1000),
               recordOf({2026, 3, 2, 23, 59, 59}, 'B', 7), recordOf({2026, 3, 3, 0, 0, 0}, 'C', 9)});
    const int today = dayNumber({2026, 3, 2});
    const auto s = summarizeHistory(file.string(), encode, {}, today);
    EXPECT_EQ(s.records, 2);
    EXPECT_EQ(s.future, 2);
    EXPECT_EQ(s.skipped, 0);
    EXPECT_EQ(s.totalPresses, 12);
    EXPECT_EQ(s.keySums['A'], 5);
    EXPECT_EQ(s.keySums['C'], 0);
    ASSERT_EQ(s.days.size(), 2u);
    EXPECT_EQ(s.lastDay(), today);

    // Without a today nothing is left out for its date.
    const auto all = summarizeHistory(file.string(), encode);
    EXPECT_EQ(all.records, 4);
    EXPECT_EQ(all.future, 0);
}

TEST_F(HistorySummaryTest, HeaderColumnsAreFoundByTheirCaptions) {
    // Columns this program does not know, before and after the keys, and the
    // keys in another order: each count lands on its key all the same.
    const auto s = summaryOf({
        "時刻,新しい列,合計,B,未知,A,←,Win,Z9",
        "2026/04/01 09:00:00,abc,30,10,?,15,5,0,zz",
        "2026/04/02 09:00:00,,7,1,,2,3,1,",
    });
    ASSERT_EQ(s.status, ReadStatus::Ok);
    EXPECT_EQ(s.skipped, 0);
    EXPECT_EQ(s.records, 2);
    EXPECT_EQ(s.keySums['A'], 17);
    EXPECT_EQ(s.keySums['B'], 11);
    EXPECT_EQ(s.keySums[37], 8);
    EXPECT_EQ(s.keySums[91], 1);  // the counted Win key; the other has no column
    EXPECT_EQ(s.keySums[92], 0);
    EXPECT_EQ(s.totalPresses, 37);
    EXPECT_TRUE(s.hasColumn['A']);
    EXPECT_FALSE(s.hasColumn['C']);
}

TEST_F(HistorySummaryTest, WithoutATotalColumnTheKeysMakeTheTotal) {
    const auto s = summaryOf({"時刻,A,B,A", "2026/04/01 09:00:00,4,5,100"});
    EXPECT_EQ(s.records, 1);
    EXPECT_EQ(s.keySums['A'], 4);  // a repeated caption counts once, at its first column
    EXPECT_EQ(s.totalPresses, 9);
    EXPECT_EQ(s.days.begin()->second.total, 9);
}

TEST_F(HistorySummaryTest, LinesAreCutAtCrLfOnly) {
    const std::string header = cp932("時刻,合計,A");
    // A lone LF and a lone CR are bytes of their line (here they spoil the
    // stamp); the last line needs no line end.
    const auto s = summaryOfBytes(header + "\r\n2026/01/01 00:00:01,1,1\r\n2026/01/01 00:00:02,2,2\n" +
                                  "2026/01/01 00:00:03,3,3\r\r\n2026/01/02 00:00:04,4,4");
    EXPECT_EQ(s.records, 2);
    EXPECT_EQ(s.skipped, 1);  // the line holding the lone LF
    EXPECT_EQ(s.keySums['A'], 5);
    EXPECT_EQ(s.lastDay(), dayNumber({2026, 1, 2}));
}

TEST_F(HistorySummaryTest, LinesSpanningTheReadPiecesAreWhole) {
    // Two MiB of records, with one record's CR the last byte of the first MiB
    // read and its LF the first byte of the next. The header has one column
    // more, whose caption's length puts the CR there.
    constexpr std::size_t kPiece = 1024 * 1024;
    const std::string rec = cp932(recordOf({2026, 6, 1, 10, 0, 0}, 'K', 3)) + ",\r\n";
    const std::string headerStart = cp932(standardHeader()) + ",";
    const std::size_t room = kPiece + 1 - headerStart.size() - 2;  // header pad + whole records before the LF
    const std::string pad(room % rec.size(), 'p');
    std::string bytes = headerStart + pad + "\r\n";
    const std::size_t records = 2 * kPiece / rec.size();
    for (std::size_t i = 0; i < records; ++i) bytes += rec;
    ASSERT_EQ(bytes[kPiece - 1], '\r');
    ASSERT_EQ(bytes[kPiece], '\n');

    const auto s = summaryOfBytes(bytes);
    EXPECT_EQ(s.skipped, 0);
    EXPECT_EQ(s.records, static_cast<std::int64_t>(records));
    EXPECT_EQ(s.keySums['K'], 3 * static_cast<std::int64_t>(records));
}

TEST_F(HistorySummaryTest, WhatIsNotAHistoryIsToldApart) {
    EXPECT_EQ(summarizeHistory((dir.path() / "none.csv").string(), encode).status, ReadStatus::Missing);
    EXPECT_EQ(summarizeHistory(dir.path().string(), encode).status, ReadStatus::NotAFile);

    const auto empty = summaryOfBytes("");
    EXPECT_EQ(empty.status, ReadStatus::Ok);
    EXPECT_FALSE(empty.hasHeader);
    EXPECT_TRUE(empty.days.empty());

    const auto headerOnly = summaryOf({standardHeader()});
    EXPECT_TRUE(headerOnly.hasHeader);
    EXPECT_EQ(headerOnly.records, 0);
    EXPECT_EQ(headerOnly.skipped, 0);
    EXPECT_TRUE(headerOnly.days.empty());
}

TEST_F(HistorySummaryTest, ProgressRunsToTheSizeAndCanStopTheReading) {
    std::vector<std::string> lines = {standardHeader()};
    for (int i = 0; i < 8000; ++i) lines.push_back(recordOf({2026, 1, 1 + i % 28, 8, 0, 0}, 'E', 1));
    std::string bytes;
    for (const auto& l : lines) bytes += cp932(l) + "\r\n";
    test::writeBytes(file, bytes);

    std::vector<std::uintmax_t> seen;
    const auto all = summarizeHistory(file.string(), encode, [&seen, &bytes](std::uintmax_t done, std::uintmax_t size) {
        EXPECT_EQ(size, bytes.size());
        seen.push_back(done);
        return true;
    });
    EXPECT_FALSE(all.cancelled);
    EXPECT_EQ(all.records, 8000);
    ASSERT_GE(seen.size(), 2u);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(seen.back(), bytes.size());

    int calls = 0;
    const auto stopped = summarizeHistory(file.string(), encode, [&calls](std::uintmax_t, std::uintmax_t) {
        ++calls;
        return false;
    });
    EXPECT_TRUE(stopped.cancelled);
    EXPECT_EQ(calls, 1);
    EXPECT_LT(stopped.records, 8000);
}

}  // namespace

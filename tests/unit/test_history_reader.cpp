#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "history/history_reader.h"
#include "history/viewer_rules.h"
#include "support/temp_folder.h"
#include "support/two_pass_history.h"

using namespace pressory;
using namespace pressory::history;
namespace fs = std::filesystem;

namespace {

using test::twoPassRows;

class HistoryReaderTest : public ::testing::Test {
protected:
    test::TempFolder dir{"pressory-reader-"};
    fs::path file = dir.path() / "PressoryHistory.csv";

    NewestLines readBack(const std::string& bytes, int rowLimit) {
        test::writeBytes(file, bytes);
        return readNewestLines(file.string(), rowLimit);
    }

    // Reads the file both ways and compares; also checks that it was only read.
    void expectSameAsTwoPass(const std::string& bytes, int rowLimit, const std::string& what) {
        test::writeBytes(file, bytes);
        const auto before = fs::last_write_time(file);
        const NewestLines got = readNewestLines(file.string(), rowLimit);
        ASSERT_EQ(got.status, ReadStatus::Ok) << what;
        const std::vector<Row> want = twoPassRows(bytes, rowLimit);
        ASSERT_EQ(got.rows.size(), want.size()) << what << " limit " << rowLimit;
        std::size_t widest = 0;
        for (std::size_t r = 0; r < want.size(); ++r) {
            ASSERT_EQ(got.rows[r], want[r]) << what << " limit " << rowLimit << " row " << r;
            widest = std::max(widest, want[r].size());
        }
        EXPECT_EQ(got.widestRow, widest) << what;
        EXPECT_EQ(test::readBytes(file), bytes) << what;
        EXPECT_EQ(fs::last_write_time(file), before) << what;
    }
};

std::string records(int from, int to) {
    std::string s;
    for (int i = from; i <= to; ++i)
        s += "2003/07/15 09:05:" + std::to_string(i) + ",1.00,,,,A,,,,," + std::to_string(i) + "\r\n";
    return s;
}

const std::string kHeader = "time,m,d,e,c,  1,  2,  3,  4,  5,total,a,b\r\n";

TEST_F(HistoryReaderTest, RowsAreTheHeaderThenTheNewestRecordsNewestFirst) {
    // Only the header: one row, no record.
    auto got = readBack(kHeader, 10);
    ASSERT_EQ(got.rows.size(), 1u);
    EXPECT_EQ(got.rows[0].front(), "time");
    EXPECT_EQ(got.rows[0].size(), 13u);

    // 5 records, limit 10: all of them, newest in row 1.
    got = readBack(kHeader + records(1, 5), 10);
    ASSERT_EQ(got.rows.size(), 6u);
    EXPECT_EQ(got.rows[1].back(), "5");
    EXPECT_EQ(got.rows[5].back(), "1");

    // 15 records, limit 10: the ten newest, the five oldest left out.
    got = readBack(kHeader + records(1, 15), 10);
    ASSERT_EQ(got.rows.size(), 11u);
    EXPECT_EQ(got.rows[0].front(), "time");
    EXPECT_EQ(got.rows[1].back(), "15");
    EXPECT_EQ(got.rows[10].back(), "6");

    // Exactly 10 records, limit 10 (11 lines): all ten.
    got = readBack(kHeader + records(1, 10), 10);
    ASSERT_EQ(got.rows.size(), 11u);
    EXPECT_EQ(got.rows[10].back(), "1");

    for (const int limit : {10, 1, 0}) {
        expectSameAsTwoPass(kHeader + records(1, 15), limit, "15 records");
        expectSameAsTwoPass(kHeader + records(1, 10), limit, "10 records");
    }
}

TEST_F(HistoryReaderTest, LinesEndOnlyAtCrLf) {
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty file", ""},
        {"only CR LF", "\r\n"},
        {"header without line end", "h1,h2"},
        {"no final CR LF", "h\r\na,b\r\nc,d"},
        {"blank lines", "h\r\n\r\n\r\nx\r\n\r\n"},
        {"lone LF inside a line", "h\r\na\nb,c\r\nd\n"},
        {"lone CR inside and at the end", "h\r\na\rb\r\nc\r"},
        {"CR before CR LF", "h\r\r\na\r\r\n\r"},
        {"LF first", "\nh\r\n\n\r\n"},
        {"only commas", ",,,\r\n,\r\n"},
        {"NUL bytes", std::string("h\0,\0\r\n\0\0,x\r\n", 13)},
        {"UTF-8 instead of code page 932", "ログアウトの時刻,マウス\r\n2003/07/15 09:05:03,12.50\r\n"},
        {"cut in a double-byte character", "\x83\x8d\x83\x4f,\x83\r\n1,\x82"},
    };
    for (const auto& c : cases)
        for (const int limit : {0, 1, 2, 10}) expectSameAsTwoPass(c.bytes, limit, c.what);

    EXPECT_TRUE(readBack("", 10).rows.empty());
    const auto blank = readBack("h\r\n\r\n\r\nx\r\n\r\n", 10);
    ASSERT_EQ(blank.rows.size(), 5u);
    EXPECT_EQ(blank.rows[1], Row{""});
    EXPECT_EQ(blank.rows[2], Row{"x"});
    const auto lone = readBack("h\r\na\nb,c\r\nd\n", 10);
    ASSERT_EQ(lone.rows.size(), 3u);
    EXPECT_EQ(lone.rows[1], Row{"d\n"});
    EXPECT_EQ(lone.rows[2], (Row{"a\nb", "c"}));
}

TEST_F(HistoryReaderTest, RecordsWiderThanTheHeaderKeepEveryField) {
    const auto got = readBack("a,b\r\n1,2,3,4,5,6,7,8,9,10,11,12,13,14\r\n1\r\n", 10);
    ASSERT_EQ(got.rows.size(), 3u);
    EXPECT_EQ(got.rows[0].size(), 2u);
    EXPECT_EQ(got.rows[1], Row{"1"});
    EXPECT_EQ(got.rows[2].size(), 14u);
    EXPECT_EQ(got.rows[2][13], "14");
    EXPECT_EQ(got.widestRow, 14u);
}

TEST_F(HistoryReaderTest, LineEndsAcrossTheReadingChunksAreFound) {
    // Line ends placed on and around the 64 KiB steps in which the file is
    // read from its end, each with CR and LF on either side of a step.
    constexpr std::size_t kStep = 64 * 1024;
    for (const std::size_t total : {kStep - 1, kStep, kStep + 1, kStep + 2, 2 * kStep + 1, 3 * kStep}) {
        // The walk starts before the final CR LF, so its steps end at total - 2 - n * kStep.
        const std::size_t step1 = total - 2 - kStep;
        const std::size_t step2 = step1 - kStep;
        for (const std::size_t crAt : {step1 - 2, step1 - 1, step1, step2 - 1, step2}) {
            if (crAt + 1 >= total - 2 || crAt > total) continue;
            std::string bytes(total, 'x');
            bytes[100] = ',';
            bytes[200] = '\r';
            bytes[201] = '\n';
            bytes[crAt] = '\r';
            bytes[crAt + 1] = '\n';
            bytes[total - 2] = '\r';
            bytes[total - 1] = '\n';
            for (const int limit : {1, 2, 3})
                expectSameAsTwoPass(bytes, limit, "size " + std::to_string(total) + " CR at " + std::to_string(crAt));
        }
    }
}

TEST_F(HistoryReaderTest, RandomFilesReadAsTheTwoPassReadingDoes) {
    std::mt19937 rng(20031715);
    // Bytes that matter to the reading, and a few that do not.
    const char alphabet[] = {'\r', '\n', ',', 'a', '\0', '\x82', '\xa0', '\r', '\n', ','};
    for (int round = 0; round < 240; ++round) {
        const std::size_t size = round < 200 ? rng() % 64 : rng() % 200000;
        std::string bytes(size, 'x');
        // Of the bytes, 1 in density is special: dense lines, short lines,
        // and lines longer than the steps in which the file is read.
        const unsigned density = round % 3 == 0 ? 2 : round % 3 == 1 ? 40 : 60000;
        for (auto& b : bytes)
            if (rng() % density == 0) b = alphabet[rng() % sizeof alphabet];
        const int limit = static_cast<int>(rng() % 12);
        expectSameAsTwoPass(bytes, limit, "round " + std::to_string(round));
        if (HasFatalFailure()) return;
    }
}

TEST_F(HistoryReaderTest, OneRowCostsAtMostItsByteAndFieldBounds) {
    // A 10 MB record and a 10 MB header: each kept to its first 16 KiB.
    std::string big(10 * 1024 * 1024, 'y');
    for (std::size_t i = 0; i < big.size(); i += 100) big[i] = ',';
    expectSameAsTwoPass("h\r\n" + big + "\r\nlast\r\n", 5, "10 MB record");
    const auto got = readBack(big + "\r\n" + big + "\r\n" + "last", 5);
    ASSERT_EQ(got.rows.size(), 3u);
    for (const auto& row : got.rows) {
        std::size_t bytes = 0;
        for (const auto& f : row) bytes += f.size() + 1;
        EXPECT_LE(bytes, kRowByteLimit + 1);
    }
    EXPECT_EQ(got.rows[0].size(), 165u);  // 16384 bytes with 164 commas, the first at 0
    EXPECT_EQ(got.rows[1], Row{"last"});
    EXPECT_EQ(got.rows[2], got.rows[0]);

    // A line of nothing but commas: at most 1024 fields.
    const auto commas = readBack("h\r\n" + std::string(5000, ','), 5);
    ASSERT_EQ(commas.rows.size(), 2u);
    EXPECT_EQ(commas.rows[1].size(), kRowFieldLimit);
    EXPECT_EQ(commas.widestRow, kRowFieldLimit);
    expectSameAsTwoPass("h\r\n" + std::string(5000, ',') + "\r\n" + std::string(1023, ',') + "x,y", 5, "commas");
}

TEST_F(HistoryReaderTest, AGigabyteWithoutLineEndsIsReadOnceWithinBounds) {
    // A sparse 1 GB file of NUL bytes followed by two records: the walk from
    // the end looks for further line ends over the whole gigabyte.
    { std::ofstream f(file, std::ios::binary); }
    const std::uintmax_t gig = 1024ull * 1024 * 1024;
    fs::resize_file(file, gig);
    {
        std::ofstream f(file, std::ios::binary | std::ios::app);
        f << "\r\n1,2\r\n3,4\r\n";
    }
    int pumps = 0;
    const auto start = std::chrono::steady_clock::now();
    const NewestLines got = readNewestLines(file.string(), 10, [&pumps] { ++pumps; });
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_EQ(got.status, ReadStatus::Ok);
    ASSERT_EQ(got.rows.size(), 3u);
    EXPECT_EQ(got.rows[0], Row{std::string(kRowByteLimit, '\0')});
    EXPECT_EQ(got.rows[1], (Row{"3", "4"}));
    EXPECT_EQ(got.rows[2], (Row{"1", "2"}));
    EXPECT_GE(pumps, 1000);  // about one per MiB, so the caller can keep its events going
    EXPECT_LT(seconds, 60.0);
    EXPECT_EQ(fs::file_size(file), gig + 12);  // only read
}

TEST_F(HistoryReaderTest, WhatIsNotAReadableFileIsRefused) {
    EXPECT_EQ(readNewestLines((dir.path() / "none.csv").string(), 10).status, ReadStatus::Missing);
    EXPECT_EQ(readNewestLines((dir.path() / "none" / "x.csv").string(), 10).status, ReadStatus::Missing);
    EXPECT_EQ(readNewestLines("", 10).status, ReadStatus::Missing);
    fs::create_directory(file);
    EXPECT_EQ(readNewestLines(file.string(), 10).status, ReadStatus::NotAFile);
    fs::remove(file);
#ifndef _WIN32
    EXPECT_EQ(readNewestLines("/dev/zero", 10).status, ReadStatus::NotAFile);
    const fs::path fifo = dir.path() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(readNewestLines(fifo.string(), 10).status, ReadStatus::NotAFile);  // would block if opened

    test::writeBytes(file, kHeader);
    fs::permissions(file, fs::perms::none);
    if (::geteuid() != 0) {
        const NewestLines got = readNewestLines(file.string(), 10);
        EXPECT_EQ(got.status, ReadStatus::CannotOpen);
        EXPECT_TRUE(got.rows.empty());
    }
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
#endif
}

TEST_F(HistoryReaderTest, AFileThatChangesWhileReadIsSeenAsItWasOrReportedChanged) {
    const std::string original = kHeader + std::string(3 * 1024 * 1024, 'z') + "\r\n" + records(1, 3);

    // Grows: the lines appended during the read are not seen.
    test::writeBytes(file, original);
    bool appended = false;
    NewestLines got = readNewestLines(file.string(), 10, [&] {
        if (appended) return;
        appended = true;
        std::ofstream(file, std::ios::binary | std::ios::app) << records(7, 9);
    });
    ASSERT_TRUE(appended);
    ASSERT_EQ(got.status, ReadStatus::Ok);
    EXPECT_EQ(got.rows, twoPassRows(original, 10));

    // Shrinks: reported, nothing shown.
    test::writeBytes(file, original);
    got = readNewestLines(file.string(), 10, [&] { fs::resize_file(file, 10); });
    EXPECT_EQ(got.status, ReadStatus::Changed);
    EXPECT_TRUE(got.rows.empty());
}

TEST(HistoryViewerRules, RowLimitRowsColumnsLabelAndWidths) {
    const int limits[] = {10, 50, 100, 200, 500, 1000};
    for (int i = 1; i <= 6; ++i) EXPECT_EQ(rowLimitForIndex(i), limits[i - 1]);
    EXPECT_EQ(rowLimitForIndex(0), 10);
    EXPECT_EQ(rowLimitForIndex(7), 10);

    EXPECT_EQ(gridRowCount(0, 10), 0);
    EXPECT_EQ(gridRowCount(1, 10), 1);    // only the header
    EXPECT_EQ(gridRowCount(6, 10), 6);    // 5 records
    EXPECT_EQ(gridRowCount(11, 10), 11);  // exactly 10 records
    EXPECT_EQ(gridRowCount(16, 10), 11);  // 15 records
    EXPECT_EQ(gridRowCount(2000001, 1000), 1001);

    EXPECT_EQ(rowCountLabel(1), "0 件");
    EXPECT_EQ(rowCountLabel(6), "5 件");
    EXPECT_EQ(rowCountLabel(11), "10 件");
    EXPECT_EQ(rowCountLabel(0), "0 件");  // an empty file

    EXPECT_EQ(gridColumnCount(0), 11u);
    EXPECT_EQ(gridColumnCount(11), 11u);
    EXPECT_EQ(gridColumnCount(95), 95u);

    const int widths[] = {1700, 650, 650, 650, 650, 300, 300, 300, 300, 300, 650, 450};
    for (std::size_t c = 0; c < std::size(widths); ++c) EXPECT_EQ(columnWidthTwips(c), widths[c]) << c;
    EXPECT_EQ(columnWidthTwips(94), 450);
}

TEST(HistoryViewerRules, ProgressGrowsByOneRowCountthPerRecord) {
    // 10 records: R = 11, the bar moves 4000/11 per record and ends at 10/11.
    for (int k = 1; k <= 10; ++k) EXPECT_DOUBLE_EQ(progressBarX(k, 11), k * 4000.0 / 11);
    EXPECT_DOUBLE_EQ(progressBarX(0, 11), 0.0);
    EXPECT_DOUBLE_EQ(progressBarX(0, 1), 0.0);  // only the header: no step
    EXPECT_DOUBLE_EQ(progressBarX(1000, 1001), 1000 * 4000.0 / 1001);
    EXPECT_DOUBLE_EQ(progressBarX(5, 0), 0.0);
}

}  // namespace

#include "platform/text_codec.h"

namespace {

TEST(Cp932ToUtf8Lossy, ReplacesWhatHasNoCharacterAndGoesOn) {
    using platform::cp932ToUtf8Lossy;
    EXPECT_EQ(cp932ToUtf8Lossy("2003/07/15 09:05:03,12.50"), "2003/07/15 09:05:03,12.50");
    EXPECT_EQ(cp932ToUtf8Lossy("\x83\x7d\x83\x45\x83\x58"), "マウス");
    EXPECT_EQ(cp932ToUtf8Lossy("\x5c\x81\x60"), "\\～");
    EXPECT_EQ(cp932ToUtf8Lossy(std::string("a\0b", 3)), std::string("a\0b", 3));
    // Cut after a lead byte; a lead byte before a byte that cannot follow it.
    EXPECT_EQ(cp932ToUtf8Lossy("\x8d\x87\x8c"), "合\xEF\xBF\xBD");
    EXPECT_EQ(cp932ToUtf8Lossy("\x82,1"), "\xEF\xBF\xBD,1");
    EXPECT_EQ(cp932ToUtf8Lossy("\xff\x83\x7d"), "\xEF\xBF\xBDマ");
    // UTF-8 read as code page 932 gives some text, never a failure.
    EXPECT_FALSE(cp932ToUtf8Lossy("ログアウトの時刻").empty());
}

}  // namespace

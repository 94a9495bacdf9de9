#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <chrono>
#include <future>

#ifndef _WIN32
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "counting/key_layout.h"
#include "files/file_reason.h"
#include "history/history_record.h"
#include "platform/text_codec.h"
#include "support/temp_folder.h"

using namespace pressory;
using namespace pressory::history;
using namespace pressory::files;
namespace fs = std::filesystem;

namespace {

using Counts = std::array<std::int32_t, 256>;
const LocalDateTime kWhen{2003, 7, 15, 9, 5, 3};

// The header with the standard keyboard and CR LF, in code page 932.
constexpr const char* kHeaderHex =
    "838d834f83418345836782cc8e9e8d8f2c837d834583582c8ded8f9c2c456e7465722c834a815b835c838b2c2020312c"
    "2020322c2020332c2020342c2020352c8d878c762c4c6566742c52696768742c426b53702c5461622c456e7465722c53"
    "686966742c4374726c2c416c742c427265616b2c4573632c53706163652c506755702c506744772c456e642c486f6d65"
    "2c81a92c81aa2c81a82c81ab2c5072696e742c496e732c44656c2c302c312c322c332c342c352c362c372c382c392c41"
    "2c422c432c442c452c462c472c482c492c4a2c4b2c4c2c4d2c4e2c4f2c502c512c522c532c542c552c562c572c582c59"
    "2c5a2c57696e2c46312c46322c46332c46342c46352c46362c46372c46382c46392c4631302c4631312c4631322c5363"
    "726f6c6c2c2a2c2b2c3c2c2d2c3e2c2f2c402c5b2c5c2c5d2c5e2c5c0d0a";

std::string fromHex(const char* hex) {
    std::string out;
    for (std::size_t i = 0; hex[i] && hex[i + 1]; i += 2)
        out.push_back(char(std::stoi(std::string(hex + i, 2), nullptr, 16)));
    return out;
}

using pressory::test::readBytes;

std::string header() { return headerLine(counting::layout::countedCodes(), counting::layout::kSummaryCaption); }
std::string record(const Counts& c, std::int32_t total) {
    return recordLine(kWhen, counting::layout::countedCodes(), c, total);
}
WriteResult append(const fs::path& p, const std::string& rec) {
    return appendRecord(p.string(), header(), rec, platform::utf8ToCp932);
}

class HistoryFile : public ::testing::Test {
protected:
    pressory::test::TempFolder folder{"pressory-history-"};
    fs::path dir = folder.path();
    fs::path file = dir / kFileName;
};

}  // namespace

TEST(HistoryRecord, RatiosRoundTheDoubleQuotientToFourDecimalsHalvesToEven) {
    struct Case {
        std::int64_t sum;
        std::int32_t total;
        const char* text;
    };
    const Case cases[] = {
        {1, 3, "33.33"},
        {2, 3, "66.67"},
        {1, 8, "12.50"},
        {1, 1, "100.00"},
        {0, 5, "0.00"},
        {1, 32, "3.12"},
        {3, 32, "9.38"},
        {5, 32, "15.62"},  // exact binary halves: to even
        {1, 20000, "0.01"},
        {3, 20000, "0.01"},
        {5, 20000, "0.03"},  // 0.00005 etc. follow the double
        {2147483646, 2147483647, "100.00"},
        {1, 2147483647, "0.00"},
        {3 * std::int64_t{2147483647}, 2147483647, "300.00"},
        {1, 0, ""},
        {0, 0, ""},
        {5, -1, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(formatRatio(c.sum, c.total), c.text) << c.sum << " of " << c.total;
}

TEST(HistoryRecord, TopFiveKeepsTiesAlphabeticalAndSkipsZeroAndNonLetters) {
    using Top = std::array<std::string_view, 5>;
    Counts c{};
    EXPECT_EQ(topFive(c), (Top{"", "", "", "", ""}));
    c['A'] = 10, c['B'] = 10, c[1] = 99, c['0'] = 99, c[91] = 99;
    EXPECT_EQ(topFive(c), (Top{"A", "B", "", "", ""}));
    c = {};
    c['A'] = 3, c['B'] = 3, c['C'] = 5, c['D'] = 1, c['X'] = 1, c['Y'] = 5, c['Z'] = 9;
    EXPECT_EQ(topFive(c), (Top{"Z", "C", "Y", "A", "B"}));
    c = {};
    for (int vk = 'A'; vk <= 'F'; ++vk) c[vk] = 2;
    c['Q'] = -4;
    EXPECT_EQ(topFive(c), (Top{"A", "B", "C", "D", "E"}));
}

TEST(HistoryRecord, RecordLineIsExact) {
    Counts c{};
    c[1] = 3, c[2] = 1, c[8] = 2, c[13] = 1, c[37] = 1, c['A'] = 5, c['B'] = 5, c['S'] = 7, c['Z'] = 1;
    c[4] = 55, c[92] = 55, c[161] = 55;  // not counted: never written, never in a ratio
    EXPECT_EQ(record(c, 26),
              "2003/07/15 09:05:03,15.38,7.69,3.85,3.85,S,A,B,Z,,26,"
              "3,1,2,0,1,0,0,0,0,0,0,0,0,0,0,1,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,5,5,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,"
              "7,0,0,0,0,0,0,1,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0");
    std::string zero = "2003/07/15 09:05:03,,,,,,,,,,0";
    for (int i = 0; i < 84; ++i) zero += ",0";
    EXPECT_EQ(record(Counts{}, 0), zero);
    EXPECT_EQ(formatDateTime({1999, 12, 31, 23, 59, 59}), "1999/12/31 23:59:59");
}

TEST(HistoryRecord, OnlyThePolledCodesMakeColumnsAndGroupSums) {
    const std::uint8_t polled[] = {13, 65};
    Counts c{};
    c[1] = 7, c[13] = 1, c['A'] = 3, c['B'] = 9;
    EXPECT_EQ(headerLine(polled, "合計"),
              "ログアウトの時刻,マウス,削除,Enter,カーソル,  1,  2,  3,  4,  5,合計,Enter,A");
    EXPECT_EQ(recordLine(kWhen, polled, c, 4), "2003/07/15 09:05:03,0.00,0.00,25.00,0.00,A,,,,,4,1,3");
}

TEST(HistoryRecord, GroupSumsOfLargeCountsDoNotOverflow) {
    Counts c{};
    const std::int32_t max = 2147483647;
    c[37] = c[38] = c[39] = c[40] = max;
    c[1] = c[2] = max;
    const std::string line = record(c, max);
    EXPECT_EQ(line.substr(0, 49), "2003/07/15 09:05:03,200.00,0.00,0.00,400.00,,,,,,");
    EXPECT_NE(line.find(",2147483647,2147483647,2147483647,2147483647,"), std::string::npos);
}

TEST(HistoryRecord, PathIsTheFolderAndOneSeparator) {
#ifdef _WIN32
    EXPECT_EQ(historyPath("C:\\Tools\\Pressory"), "C:\\Tools\\Pressory\\PressoryHistory.csv");
    EXPECT_EQ(historyPath("C:\\"), "C:\\\\PressoryHistory.csv");
#else
    EXPECT_EQ(historyPath("/opt/pressory"), "/opt/pressory/PressoryHistory.csv");
    EXPECT_EQ(historyPath("/"), "/PressoryHistory.csv");
#endif
}

TEST_F(HistoryFile, FirstWriteAddsHeaderAndRecordLaterWritesOneLine) {
    Counts c{};
    c[1] = 3, c[2] = 1, c[8] = 2, c[13] = 1, c[37] = 1, c['A'] = 5, c['B'] = 5, c['S'] = 7, c['Z'] = 1;
    const WriteResult r = append(file, record(c, 26));
    EXPECT_TRUE(r.ok) << r.reason;
    EXPECT_EQ(r.path, file.string());
    const std::string first = fromHex(kHeaderHex) + record(c, 26) + "\r\n";
    ASSERT_EQ(readBytes(file), first);
    ASSERT_TRUE(append(file, record(Counts{}, 0)).ok);
    EXPECT_EQ(readBytes(file), first + record(Counts{}, 0) + "\r\n");
}

TEST_F(HistoryFile, AnExistingFileKeepsItsBytesAndItsLastLineWhole) {
    const std::string rec = "2003/07/15 09:05:03,,,,,,,,,,0";
    // The old bytes, and what goes between them and the new record.
    const std::pair<std::string, std::string> cases[] = {
        {"old,header\r\n1,2\r\n", ""},
        {"old,header\r\n1,2", "\r\n"},  // last line cut short: its line end first
        {"old,header\r\n1,2\r", "\n"},  // a lone CR is completed, not doubled
        {"old,header\n1,2\n", ""},      // LF ends a line too: no empty line
        {"x", "\r\n"},
        {"\r", "\n"},
        {"", ""},  // an empty file: no header, no line end
        {std::string("h\r\n\0\xff\x81garbage", 14), "\r\n"},
    };
    for (const auto& [old, between] : cases) {
        pressory::test::writeBytes(file, old);
        const WriteResult r = append(file, rec);
        EXPECT_TRUE(r.ok) << r.reason;
        EXPECT_EQ(readBytes(file), old + between + rec + "\r\n") << "after " << ::testing::PrintToString(old);
    }
    EXPECT_EQ(lineEndRepair("ab"), "\r\n");
    EXPECT_EQ(lineEndRepair("\n\r"), "\n");
    EXPECT_EQ(lineEndRepair("\r\n"), "");
}

TEST_F(HistoryFile, FlushComesAfterTheWriteAndItsFailureUndoesIt) {
    pressory::test::writeBytes(file, "a,b\r\n1,2");
    int calls = 0;
    std::string seen;
    const WriteResult r = appendRecord(file.string(), header(), "3,4", platform::utf8ToCp932, [&](std::FILE* f) {
        ++calls;
        EXPECT_NE(f, nullptr);
        seen = readBytes(file);
        return std::error_code{};
    });
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(seen, "a,b\r\n1,2\r\n3,4\r\n");

    // A disk that fills up while the data goes out: failure, and the file as it was.
    auto full = [](std::FILE*) { return std::make_error_code(std::errc::no_space_on_device); };
    const std::string before = readBytes(file);
    const WriteResult failed = appendRecord(file.string(), header(), "5,6", platform::utf8ToCp932, full);
    EXPECT_FALSE(failed.ok);
    EXPECT_EQ(failed.reason, "ディスクの空き領域が足りません。");
    EXPECT_EQ(readBytes(file), before);
    const fs::path fresh = dir / "fresh.csv";
    EXPECT_FALSE(appendRecord(fresh.string(), header(), "5,6", platform::utf8ToCp932, full).ok);
    EXPECT_FALSE(fs::exists(fresh));

    // A file the write creates has its entry in the folder synchronised too;
    // an append to a file that was there adds no entry. A failed sync undoes
    // the new file.
    std::vector<std::string> synced;
    const SyncFolder sync = [&](const std::string& path) {
        synced.push_back(path);
        return std::error_code{};
    };
    EXPECT_TRUE(appendRecord(fresh.string(), header(), "5,6", platform::utf8ToCp932, {}, sync).ok);
    EXPECT_TRUE(appendRecord(fresh.string(), header(), "7,8", platform::utf8ToCp932, {}, sync).ok);
    EXPECT_EQ(synced, std::vector<std::string>{fresh.string()});
    const fs::path unsynced = dir / "unsynced.csv";
    EXPECT_FALSE(appendRecord(unsynced.string(), header(), "5,6", platform::utf8ToCp932, {}, [](const std::string&) {
                     return std::make_error_code(std::errc::io_error);
                 }).ok);
    EXPECT_FALSE(fs::exists(unsynced));
}

#ifndef _WIN32
// A pipe in place of the file: refused at once, never waited on. Should the
// writer ever open it, a reader opened here lets it go on and the test fails
// instead of hanging.
TEST_F(HistoryFile, APipeOrADeviceIsRefusedWithoutWaiting) {
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    auto pending = std::async(std::launch::async, [&] { return append(file, "2003/07/15 09:05:03,,,,,,,,,,0"); });
    if (pending.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        const int reader = ::open(file.c_str(), O_RDONLY | O_NONBLOCK);
        pending.wait();
        ::close(reader);
        FAIL() << "the writer waited on the pipe";
    }
    const WriteResult r = pending.get();
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.reason, kReasonNotRegularFile);
    EXPECT_TRUE(fs::is_fifo(file));

    const WriteResult device = append("/dev/full", "2003/07/15 09:05:03,,,,,,,,,,0");
    EXPECT_FALSE(device.ok);
    EXPECT_EQ(device.reason, kReasonNotRegularFile);
}
#endif

TEST(FileReason, CommonCausesReadInJapaneseOthersAsTheSystemSaysThem) {
    using std::errc;
    const std::pair<errc, const char*> cases[] = {
        {errc::no_space_on_device, "ディスクの空き領域が足りません。"},
        {errc::read_only_file_system, "読み取り専用のファイルシステムです。"},
        {errc::permission_denied, "アクセスが拒否されました。"},
        {errc::operation_not_permitted, "アクセスが拒否されました。"},
        {errc::is_a_directory, "ファイルではなくフォルダーです。"},
        {errc::io_error, "入出力エラーが発生しました。"},
        {errc::no_such_file_or_directory, "フォルダーが見つかりません。"},
        {errc::file_too_large, "ファイルが大きすぎます。"},
    };
    for (const auto& [code, text] : cases) {
        EXPECT_EQ(reasonText(std::make_error_code(code)), text);
        EXPECT_EQ(reasonText(static_cast<int>(code)), text);
    }
#ifdef EDQUOT
    EXPECT_EQ(reasonText(EDQUOT), "ディスクの使用量の上限を超えました。");
#endif
    EXPECT_EQ(reasonText(ENAMETOOLONG), std::strerror(ENAMETOOLONG));
    EXPECT_EQ(reasonText(std::error_code{}), "入出力エラーが発生しました。");  // failed without saying why
    EXPECT_EQ(reasonText(0), "入出力エラーが発生しました。");
#ifndef _WIN32
    // The system category on POSIX carries errno values as well.
    EXPECT_EQ(reasonText(std::error_code(ENOSPC, std::system_category())), "ディスクの空き領域が足りません。");
#endif
}

TEST_F(HistoryFile, FailuresReportTheReasonAndTouchNothing) {
    const fs::path missing = dir / "no-such-folder" / kFileName;
    WriteResult r = append(missing, "x");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.path, missing.string());
    EXPECT_EQ(r.reason, "フォルダーが見つかりません。");
    EXPECT_FALSE(fs::exists(missing.parent_path()));

    r = append(dir, "x");  // a folder where the file should be
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.reason, "ファイルではなくフォルダーです。");
    EXPECT_TRUE(fs::is_directory(dir));

    // A character code page 932 does not have: nothing is created or changed.
    EXPECT_FALSE(append(file, "2003/07/15 09:05:03,😀").ok);
    EXPECT_FALSE(fs::exists(file));
    std::ofstream(file, std::ios::binary) << "kept\r\n";
    auto none = [](std::string_view) -> std::optional<std::string> { return std::nullopt; };
    EXPECT_FALSE(appendRecord(file.string(), header(), "x", none).ok);
    EXPECT_EQ(readBytes(file), "kept\r\n");
}

#ifndef _WIN32
// A file-size limit makes the write stop part-way: the file must be cut back
// to its former bytes, and a file the write created must be gone again.
TEST_F(HistoryFile, AWriteThatStopsPartWayIsUndone) {
    std::ofstream(file, std::ios::binary) << "a,b\r\n1,2\r\n";
    const std::string before = readBytes(file);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = before.size() + 10;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);

    const WriteResult r = append(file, record(Counts{}, 0));
    const fs::path fresh = dir / "new.csv";
    const WriteResult created = append(fresh, record(Counts{}, 0));

    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.reason, "ファイルが大きすぎます。");
    EXPECT_EQ(readBytes(file), before);
    EXPECT_FALSE(created.ok);
    EXPECT_FALSE(fs::exists(fresh));
    ASSERT_TRUE(append(fresh, record(Counts{}, 0)).ok);  // and the next write starts with the header
    EXPECT_EQ(readBytes(fresh).substr(0, 16), fromHex(kHeaderHex).substr(0, 16));
}
#endif

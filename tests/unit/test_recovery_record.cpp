#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <future>
#include <string>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "history/recovery_record.h"
#include "support/temp_folder.h"

using namespace pressory::history;
using pressory::test::readBytes;
using pressory::test::writeBytes;
namespace fs = std::filesystem;

namespace {

RecoveryRecord sample() {
    RecoveryRecord r;
    r.counts[1] = 12;
    r.counts[65] = 2147483647;
    r.counts[255] = 7;
    r.total = 2147483647;
    r.lastActivity = {2026, 12, 7, 16, 9, 33};
    return r;
}

bool same(const RecoveryRecord& a, const RecoveryRecord& b) {
    const auto& x = a.lastActivity;
    const auto& y = b.lastActivity;
    return a.counts == b.counts && a.total == b.total && x.year == y.year && x.month == y.month && x.day == y.day &&
           x.hour == y.hour && x.minute == y.minute && x.second == y.second;
}

// The check line for a body, computed here independently of the writer.
std::string withCheck(const std::string& body) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char b : body) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    char line[48];
    std::snprintf(line, sizeof line, "check %zu %08x\n", body.size(), static_cast<unsigned>(~crc));
    return body + line;
}

std::string countsLine(const char* first, const char* rest = "0") {
    std::string s = std::string("counts ") + first;
    for (int i = 1; i < 256; ++i) s.append(",").append(rest);
    return s + "\n";
}

class RecoveryFileTest : public ::testing::Test {
protected:
    pressory::test::TempFolder folder{"pressory-recovery-"};
    fs::path file = folder.path() / kRecoveryFileName;
};

}  // namespace

TEST(RecoveryRecord, RoundTripAndTheFormat) {
    const RecoveryRecord r = sample();
    const std::string bytes = serializeRecovery(r);
    EXPECT_EQ(bytes.substr(0, 60), "Pressory recovery record\nversion 1\ntime 2026/12/07 16:09:33\n");
    const auto back = parseRecovery(bytes);
    ASSERT_TRUE(back);
    EXPECT_TRUE(same(*back, r));
    RecoveryRecord empty;
    empty.lastActivity = {2003, 7, 15, 0, 0, 0};
    EXPECT_TRUE(parseRecovery(serializeRecovery(empty)));
    EXPECT_FALSE(parseRecovery(serializeRecovery(RecoveryRecord{})));  // no time of activity: 0000/00/00

    // A body written by hand with its check line reads too.
    const std::string body =
        "Pressory recovery record\nversion 1\ntime 2003/07/15 09:05:03\ntotal 3\n" + countsLine("3");
    const auto hand = parseRecovery(withCheck(body));
    ASSERT_TRUE(hand);
    EXPECT_EQ(hand->counts[0], 3);
    EXPECT_EQ(hand->counts[1], 0);
    EXPECT_EQ(hand->total, 3);
    EXPECT_EQ(formatDateTime(hand->lastActivity), "2003/07/15 09:05:03");
}

TEST(RecoveryRecord, CutShortChangedOrGarbageIsDamaged) {
    const std::string bytes = serializeRecovery(sample());
    for (std::size_t n = 0; n < bytes.size(); ++n) EXPECT_FALSE(parseRecovery(bytes.substr(0, n))) << "cut at " << n;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::string changed = bytes;
        changed[i] = static_cast<char>(changed[i] ^ 0x04);
        EXPECT_FALSE(parseRecovery(changed)) << "byte " << i;
    }
    EXPECT_FALSE(parseRecovery(bytes + "x\n"));
    EXPECT_FALSE(parseRecovery(std::string(3000, '\0')));
    EXPECT_FALSE(parseRecovery("check 0 00000000\n"));

    // Whole and checked, but not a record that can be: each is refused.
    const std::string head = "Pressory recovery record\nversion 1\ntime 2003/07/15 09:05:03\n";
    const std::string bodies[] = {
        head + "total -1\n" + countsLine("0"),  // a count below 0
        head + "total 1\n" + countsLine("-1"),
        head + "total 2147483648\n" + countsLine("0"),               // beyond 32 bits
        head + "total 1\n" + countsLine("0").substr(0, 300) + "\n",  // too few counts
        head + "total 1\n" + countsLine("0", "0,0"),                 // too many
        head + "total 1\n" + countsLine(" 1"),
        head + "total 1\n" + countsLine("+1"),
        "Pressory recovery record\nversion 2\ntime 2003/07/15 09:05:03\ntotal 1\n" + countsLine("0"),
        "Pressory recovery record\nversion 1\ntime 2003/13/15 09:05:03\ntotal 1\n" + countsLine("0"),
        "Pressory recovery record\nversion 1\ntime 2003/07/15 24:05:03\ntotal 1\n" + countsLine("0"),
        head + countsLine("0") + "total 1\n",  // lines out of order
        head + "total 1\n" + countsLine("0") + "extra\n",
        head + "total 1\n" + countsLine("0") + "history -1\n",
        head + "total 1\n" + countsLine("0") + "history \n",
        head + "total 1\n" + countsLine("0") + "history 1\nhistory 1\n",
    };
    for (const auto& body : bodies) EXPECT_FALSE(parseRecovery(withCheck(body))) << body.substr(0, 120);
}

TEST_F(RecoveryFileTest, WrittenWholeReadBackAndRemoved) {
    EXPECT_EQ(recoveryPath(folder.path().string()), file.string());
    EXPECT_EQ(readRecoveryFile(file.string()).state, RecoveryState::Missing);

    int replaced = 0;
    auto replace = [&](const std::string& path, std::string_view bytes) {
        ++replaced;
        EXPECT_EQ(path, file.string());
        return pressory::files::replaceWithoutSync(path, bytes);
    };
    WriteResult w = writeRecoveryFile(file.string(), sample(), replace);
    ASSERT_TRUE(w.ok) << w.reason;
    EXPECT_EQ(replaced, 1);
    RecoveryFile got = readRecoveryFile(file.string());
    ASSERT_EQ(got.state, RecoveryState::Found);
    EXPECT_TRUE(same(got.record, sample()));

    // A second write replaces the first; nothing else is left in the folder.
    RecoveryRecord next = sample();
    next.counts[2] = 5;
    ASSERT_TRUE(writeRecoveryFile(file.string(), next).ok);
    EXPECT_TRUE(same(readRecoveryFile(file.string()).record, next));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator{}), 1);

    // A failed replacement leaves the old file and tells why.
    auto full = [](const std::string&, std::string_view) {
        return std::make_error_code(std::errc::no_space_on_device);
    };
    const std::string before = readBytes(file);
    w = writeRecoveryFile(file.string(), sample(), full);
    EXPECT_FALSE(w.ok);
    EXPECT_EQ(w.reason, "ディスクの空き領域が足りません。");
    EXPECT_EQ(readBytes(file), before);

    EXPECT_FALSE(removeRecoveryFile(file.string()));
    EXPECT_TRUE(fs::is_empty(folder.path()));
    EXPECT_FALSE(removeRecoveryFile(file.string()));  // nothing there: no error
}

TEST_F(RecoveryFileTest, DamagedFilesAreToldAndMovedAsideUnderATellingName) {
    const LocalDateTime now{2026, 12, 7, 8, 5, 9};
    EXPECT_EQ(damagedRecoveryPath(file.string(), now),
              (folder.path() / "PressoryRecovery.damaged-20261207-080509.dat").string());

    writeBytes(file, serializeRecovery(sample()).substr(0, 100));  // cut short
    EXPECT_EQ(readRecoveryFile(file.string()).state, RecoveryState::Damaged);
    std::error_code ec;
    const auto moved = moveDamagedRecoveryFile(file.string(), now, ec);
    ASSERT_TRUE(moved) << ec.message();
    EXPECT_EQ(*moved, damagedRecoveryPath(file.string(), now));
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(readBytes(*moved), serializeRecovery(sample()).substr(0, 100));

    // The same second again: the first damaged file is kept.
    writeBytes(file, "garbage");
    const auto second = moveDamagedRecoveryFile(file.string(), now, ec);
    ASSERT_TRUE(second);
    EXPECT_EQ(*second, (folder.path() / "PressoryRecovery.damaged-20261207-080509-2.dat").string());
    EXPECT_EQ(readBytes(*moved).size(), 100u);

    writeBytes(file, std::string(100000, 'x'));  // far larger than a record
    EXPECT_EQ(readRecoveryFile(file.string()).state, RecoveryState::Damaged);
    fs::remove(file);
    fs::create_directory(file);
    EXPECT_EQ(readRecoveryFile(file.string()).state, RecoveryState::Damaged);
    EXPECT_FALSE(writeRecoveryFile(file.string(), sample()).ok);
    EXPECT_FALSE(moveDamagedRecoveryFile(folder.path().string() + "/none.dat", now, ec));
    EXPECT_TRUE(ec);
}

// Periods waiting to be recorded: kept under names that sort oldest first,
// and known as recorded only by their own line standing where the history
// ended when their file was last written.
TEST_F(RecoveryFileTest, KeptPeriodsAreListedOldestFirstAndKnownByTheirOwnLine) {
    const LocalDateTime late{2026, 12, 7, 18, 0, 0}, early{2026, 12, 7, 8, 5, 9};
    std::error_code ec;
    for (const LocalDateTime& t : {late, early, early}) {
        writeBytes(file, serializeRecovery(sample()));
        ASSERT_TRUE(moveToKept(file.string(), t, ec)) << ec.message();
    }
    EXPECT_FALSE(fs::exists(file));
    writeBytes(folder.path() / "PressoryRecovery.kept-20261207-080509.dat.new~", "a temporary");
    const auto kept = keptRecoveryFiles(file.string());
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_EQ(fs::path(kept[0]).filename(), "PressoryRecovery.kept-20261207-080509.dat");
    EXPECT_EQ(fs::path(kept[1]).filename(), "PressoryRecovery.kept-20261207-080509-2.dat");
    EXPECT_EQ(fs::path(kept[2]).filename(), "PressoryRecovery.kept-20261207-180000.dat");

    const std::string history = (folder.path() / "h.csv").string();
    RecoveryRecord mine = sample(), other = sample();
    other.total -= 1;  // sample() holds the largest count
    const std::string header = "H", line = "2026/12/07 08:05:09,mine", otherLine = "2026/12/07 08:05:09,other";
    mine.historySize = 0;
    EXPECT_FALSE(recordStandsAt(history, mine, line, header));  // no history at all
    writeBytes(history, "H\r\n" + line + "\r\n");
    EXPECT_TRUE(recordStandsAt(history, mine, line, header));  // the first record of a new file
    EXPECT_FALSE(recordStandsAt(history, mine, otherLine, header));
    mine.historySize.reset();
    EXPECT_FALSE(recordStandsAt(history, mine, line, header));  // where it would stand is unknown

    // Another period's record came first: this one is still to be recorded,
    // and it stands only after its own line end repair.
    other.historySize = 3;
    mine.historySize = 3;
    writeBytes(history, "H\r\n" + otherLine + "\r\n" + line + "\r\n");
    EXPECT_TRUE(recordStandsAt(history, other, otherLine, header));
    EXPECT_FALSE(recordStandsAt(history, mine, line, header));
    writeBytes(history, "H\r\nunended" + std::string("\r\n") + line + "\r\n");
    mine.historySize = 10;
    EXPECT_TRUE(recordStandsAt(history, mine, line, header));
    writeBytes(history, "H\r\nunended" + line.substr(0, 10));  // cut short by a power cut
    EXPECT_FALSE(recordStandsAt(history, mine, line, header));
}

#ifndef _WIN32
TEST_F(RecoveryFileTest, PipesAreNeverOpened) {
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    const std::string temp = file.string() + ".new~";
    auto pending = std::async(std::launch::async, [&] { return readRecoveryFile(file.string()).state; });
    if (pending.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        const int writer = ::open(file.c_str(), O_WRONLY | O_NONBLOCK);
        pending.wait();
        ::close(writer);
        FAIL() << "the reader waited on the pipe";
    }
    EXPECT_EQ(pending.get(), RecoveryState::Damaged);

    // A pipe under the older temporary name is passed over, not opened.
    fs::remove(file);
    ASSERT_EQ(::mkfifo(temp.c_str(), 0600), 0);
    auto write = std::async(std::launch::async, [&] { return writeRecoveryFile(file.string(), sample()).ok; });
    if (write.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        const int reader = ::open(temp.c_str(), O_RDONLY | O_NONBLOCK);
        write.wait();
        ::close(reader);
        FAIL() << "the writer waited on the pipe";
    }
    EXPECT_TRUE(write.get());
    EXPECT_EQ(readRecoveryFile(file.string()).state, RecoveryState::Found);
}
#endif

TEST(RecoveryWriteRule, AtMostOnceAMinuteAndOnlyAfterAChange) {
    using namespace std::chrono_literals;
    RecoveryWriteRule::Clock::time_point t{};
    RecoveryWriteRule rule([&] { return t; });
    EXPECT_FALSE(rule.due());  // nothing counted yet
    t += 5min;
    EXPECT_FALSE(rule.due());
    rule.countsChanged();
    EXPECT_TRUE(rule.due());  // the first change is written at once
    rule.wrote(true);
    EXPECT_FALSE(rule.due());
    EXPECT_FALSE(rule.pending());

    EXPECT_FALSE(rule.dueIn()) << "nothing pending: no tick needed for it";
    rule.countsChanged();
    t += 59s;
    EXPECT_FALSE(rule.due());
    EXPECT_EQ(rule.dueIn(), std::optional<RecoveryWriteRule::Clock::duration>(1s));
    t += 1s;
    EXPECT_TRUE(rule.due());
    t += 5s;
    EXPECT_EQ(rule.dueIn(), std::optional<RecoveryWriteRule::Clock::duration>(0s)) << "overdue is due now";
    rule.wrote(true);
    t += 10min;
    EXPECT_FALSE(rule.due());  // a minute passed, but nothing changed

    // A failed write keeps the change and tries again a minute later, not at every tick.
    rule.countsChanged();
    rule.wrote(false);
    EXPECT_TRUE(rule.pending());
    t += 30s;
    EXPECT_FALSE(rule.due());
    t += 30s;
    EXPECT_TRUE(rule.due());

    rule.cleared();  // reset: the file is gone and the counts are 0
    EXPECT_FALSE(rule.due());
}

TEST(RecoveryRecord, HistorySizeRoundTripAndIsOptional) {
    RecoveryRecord r;
    r.counts[65] = 1;
    r.total = 1;
    r.lastActivity = {2026, 12, 7, 16, 9, 33};
    const auto without = parseRecovery(serializeRecovery(r));
    ASSERT_TRUE(without);
    EXPECT_FALSE(without->historySize);
    r.historySize = 18446744073709551615ull;
    const std::string bytes = serializeRecovery(r);
    EXPECT_NE(bytes.find("\nhistory 18446744073709551615\ncheck "), std::string::npos);
    const auto with = parseRecovery(bytes);
    ASSERT_TRUE(with);
    EXPECT_EQ(with->historySize, r.historySize);
    for (std::size_t n = 0; n < bytes.size(); ++n) EXPECT_FALSE(parseRecovery(bytes.substr(0, n))) << "cut at " << n;
}

TEST(RecoveryWriteRule, AShorterIntervalWhenGiven) {
    using namespace std::chrono_literals;
    RecoveryWriteRule::Clock::time_point t{};
    RecoveryWriteRule rule([&] { return t; }, 250ms);
    rule.countsChanged();
    rule.wrote(true);
    rule.countsChanged();
    t += 249ms;
    EXPECT_FALSE(rule.due());
    t += 1ms;
    EXPECT_TRUE(rule.due());
}

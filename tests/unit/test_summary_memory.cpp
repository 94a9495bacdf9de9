// The history summary's heap use does not grow with the file: every
// allocation of this program is counted (live bytes and their peak) through
// a replaced global operator new.
#include <gtest/gtest.h>
#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "counting/key_layout.h"
#include "history/history_record.h"
#include "history/history_summary.h"
#include "platform/text_codec.h"
#include "support/temp_folder.h"

namespace {
std::atomic<std::int64_t> liveBytes{0};
std::atomic<std::int64_t> peakBytes{0};
}  // namespace

void* operator new(std::size_t n) {
    void* p = std::malloc(n == 0 ? 1 : n);
    if (!p) throw std::bad_alloc();
    const std::int64_t now = liveBytes += static_cast<std::int64_t>(malloc_usable_size(p));
    std::int64_t peak = peakBytes.load();
    while (now > peak && !peakBytes.compare_exchange_weak(peak, now)) {
    }
    return p;
}

void operator delete(void* p) noexcept {
    if (!p) return;
    liveBytes -= static_cast<std::int64_t>(malloc_usable_size(p));
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

using namespace pressory;
namespace fs = std::filesystem;

namespace {

// A history of `records` records over 40 days, written in code page 932.
void writeHistory(const fs::path& path, int records) {
    std::ofstream out(path, std::ios::binary);
    out << *platform::utf8ToCp932(
               history::headerLine(counting::layout::countedCodes(), counting::layout::kSummaryCaption))
        << "\r\n";
    std::array<std::int32_t, 256> counts{};
    for (int i = 0; i < records; ++i) {
        std::int32_t total = 0;
        for (auto vk : counting::layout::countedCodes()) total += counts[vk] = (vk * 7 + i) % 500;
        out << history::recordLine({2026, 1 + (i % 40) / 28, 1 + (i % 40) % 28, 9, 0, i % 60},
                                   counting::layout::countedCodes(), counts, total)
            << "\r\n";
    }
}

// The peak of live heap bytes while the file is summarised, above what was live before.
std::int64_t peakWhileSummarising(const fs::path& path, std::int64_t& records) {
    const auto encode = [](std::string_view s) { return platform::utf8ToCp932(s); };
    const std::int64_t before = liveBytes.load();
    peakBytes = before;
    {
        const history::HistorySummary s = history::summarizeHistory(path.string(), encode);
        records = s.records;
        EXPECT_EQ(s.days.size(), 40u);
        EXPECT_EQ(s.skipped, 0);
    }
    return peakBytes.load() - before;
}

TEST(HistorySummaryMemory, PeakHeapStaysTheSameForATwentyTimesLongerFile) {
    test::TempFolder dir("pressory-summary-memory-");
    const fs::path small = dir.path() / "small.csv";
    const fs::path large = dir.path() / "large.csv";
    writeHistory(small, 2000);   // about 0.6 MB
    writeHistory(large, 40000);  // about 12 MB
    ASSERT_GT(fs::file_size(large), 10u * 1024 * 1024);

    std::int64_t smallRecords = 0;
    std::int64_t largeRecords = 0;
    const std::int64_t smallPeak = peakWhileSummarising(small, smallRecords);
    const std::int64_t largePeak = peakWhileSummarising(large, largeRecords);
    EXPECT_EQ(smallRecords, 2000);
    EXPECT_EQ(largeRecords, 40000);
    // The read buffer (1 MiB) and a few small tables; nothing per record.
    EXPECT_LT(largePeak, 1200 * 1024) << "small file: " << smallPeak;
    EXPECT_LT(largePeak - smallPeak, 8 * 1024) << "small " << smallPeak << ", large " << largePeak;
}

}  // namespace

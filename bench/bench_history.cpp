#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "counting/key_layout.h"
#include "history/history_record.h"
#include "platform/text_codec.h"

using namespace pressory;
namespace fs = std::filesystem;

namespace {

const history::LocalDateTime kWhen{2003, 7, 15, 9, 5, 3};

// Counts of a long working day: every key pressed, letters most of all.
std::array<std::int32_t, 256> dayCounts() {
    std::array<std::int32_t, 256> c{};
    std::int32_t total = 0;
    for (auto vk : counting::layout::countedCodes()) {
        c[vk] = (vk >= 'A' && vk <= 'Z') ? 1000 + vk * 37 % 900 : 40 + vk % 70;
        total += c[vk];
    }
    c[0] = total;  // code 0 has no cell; the total rides along here
    return c;
}

std::string dayRecord() {
    auto c = dayCounts();
    const std::int32_t total = c[0];
    c[0] = 0;
    return history::recordLine(kWhen, counting::layout::countedCodes(), c, total);
}

// A temporary folder with a small history file and one of 200 000 records,
// made once and removed at exit.
struct Files {
    fs::path dir = fs::temp_directory_path() / "pressory-bench-history";
    fs::path small = dir / "small.csv";
    fs::path large = dir / "large.csv";
    std::uintmax_t smallSize = 0;
    std::uintmax_t largeSize = 0;
    Files() {
        fs::remove_all(dir);
        fs::create_directories(dir);
        const std::string head = *platform::utf8ToCp932(
            history::headerLine(counting::layout::countedCodes(), counting::layout::kSummaryCaption) + "\r\n");
        const std::string line = dayRecord() + "\r\n";
        std::ofstream(small, std::ios::binary) << head << line;
        std::ofstream out(large, std::ios::binary);
        out << head;
        for (int i = 0; i < 200000; ++i) out << line;
        out.close();
        smallSize = fs::file_size(small);
        largeSize = fs::file_size(large);
    }
    ~Files() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

Files& files() {
    static Files f;
    return f;
}

void BM_BuildRecord(benchmark::State& state) {
    auto c = dayCounts();
    const std::int32_t total = c[0];
    c[0] = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(history::recordLine(kWhen, counting::layout::countedCodes(), c, total));
}
BENCHMARK(BM_BuildRecord);

// Appending one record (header text passed as the program does; the file
// exists, so it is not written). The file is cut back between rounds so that
// its size stays as stated.
void appendTo(benchmark::State& state, const fs::path& path, std::uintmax_t size) {
    const std::string header = history::headerLine(counting::layout::countedCodes(), counting::layout::kSummaryCaption);
    const std::string record = dayRecord();
    for (auto _ : state) {
        const auto r = history::appendRecord(path.string(), header, record, platform::utf8ToCp932);
        if (!r.ok) state.SkipWithError(r.reason.c_str());
        state.PauseTiming();
        fs::resize_file(path, size);
        state.ResumeTiming();
    }
    state.counters["file_bytes"] = static_cast<double>(size);
}

void BM_AppendToSmallHistory(benchmark::State& state) { appendTo(state, files().small, files().smallSize); }
BENCHMARK(BM_AppendToSmallHistory)->Unit(benchmark::kMicrosecond);

void BM_AppendTo200000RecordHistory(benchmark::State& state) { appendTo(state, files().large, files().largeSize); }
BENCHMARK(BM_AppendTo200000RecordHistory)->Unit(benchmark::kMicrosecond);

}  // namespace

// The summary of the whole history for the statistics window, over files of
// 200 000 and 2 000 000 records (~72 MB and ~720 MB; see summary_files.h).
// The 2 000 000-record file is made only with PRESSORY_BENCH_LARGE=1; without
// it that case is skipped. The files are made once per run in a temporary
// folder (so they are in the page cache) and removed at exit.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <unistd.h>

#include "history/history_summary.h"
#include "platform/text_codec.h"
#include "summary_files.h"

using namespace pressory;
namespace fs = std::filesystem;

namespace {

bench::SampleFiles& files() {
    static bench::SampleFiles f("pressory-bench-summary-",
                                [](const fs::path& p, int records) { bench::writeSummarySample(p, records); });
    return f;
}

void BM_SummarizeHistory(benchmark::State& state) {
    const int records = static_cast<int>(state.range(0));
    if (records > 200000 && !bench::largeFilesWanted()) {
        state.SkipWithError("set PRESSORY_BENCH_LARGE=1 to make the 2 000 000-record file");
        return;
    }
    const std::string path = files().of(records).string();
    const auto encode = [](std::string_view s) { return platform::utf8ToCp932(s); };
    for (auto _ : state) {
        const history::HistorySummary s = history::summarizeHistory(path, encode);
        if (s.records != records || s.skipped != 0) state.SkipWithError("records lost");
        benchmark::DoNotOptimize(s.keySums.data());
    }
    const double bytes = static_cast<double>(fs::file_size(path));
    state.counters["file_MB"] = bytes / 1e6;
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
}
BENCHMARK(BM_SummarizeHistory)->Arg(200000)->Arg(2000000)->Unit(benchmark::kMillisecond);

}  // namespace

// Reading the newest rows of the history file back, as the viewer does, from
// files of 1 000, 200 000 and 2 000 000 records of 95 fields (~360 bytes).
// The 2 000 000-record file (~720 MB) is made only with PRESSORY_BENCH_LARGE=1;
// without it those cases are skipped. The files are made once per run in a
// temporary folder (so they are in the page cache) and removed at exit.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>

#include "counting/key_layout.h"
#include "history/history_reader.h"
#include "history/history_record.h"
#include "history_files.h"
#include "platform/text_codec.h"

using namespace pressory;
namespace fs = std::filesystem;

namespace {

bench::SampleFiles& files() {
    static bench::SampleFiles f("pressory-bench-reader-",
                                [](const fs::path& p, int records) { bench::writeSampleHistory(p, records); });
    return f;
}

// Arguments: records in the file, rows wanted.
void BM_ReadNewestRows(benchmark::State& state) {
    const int records = static_cast<int>(state.range(0));
    const int rows = static_cast<int>(state.range(1));
    if (records > 200000 && !bench::largeFilesWanted()) {
        state.SkipWithError("set PRESSORY_BENCH_LARGE=1 to make the 2 000 000-record file");
        return;
    }
    const std::string path = files().of(records).string();
    for (auto _ : state) {
        const history::NewestLines got = history::readNewestLines(path, rows);
        if (got.rows.size() != static_cast<std::size_t>(rows) + 1) state.SkipWithError("wrong row count");
        benchmark::DoNotOptimize(got.rows.data());
    }
    state.counters["file_MB"] = static_cast<double>(fs::file_size(path)) / 1e6;
}
BENCHMARK(BM_ReadNewestRows)->ArgsProduct({{1000, 200000, 2000000}, {10, 1000}})->Unit(benchmark::kMicrosecond);

}  // namespace

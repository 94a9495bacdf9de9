// Figures of the history summary outside the benchmark library, so that the
// peak memory of one summary can be read with /usr/bin/time -v:
//   history_summary_figures write FILE RECORDS   makes a sample history
//   history_summary_figures read FILE            summarises it once, prints the time
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "history/history_summary.h"
#include "platform/text_codec.h"
#include "summary_files.h"

using namespace pressory;

int main(int argc, char** argv) {
    const std::string mode = argc > 2 ? argv[1] : "";
    if (mode == "write" && argc == 4) {
        bench::writeSummarySample(argv[2], std::atoi(argv[3]));
        return 0;
    }
    if (mode != "read" || argc != 3) {
        std::fprintf(stderr, "usage: %s write FILE RECORDS | read FILE\n", argv[0]);
        return 2;
    }
    const auto encode = [](std::string_view s) { return platform::utf8ToCp932(s); };
    const auto t0 = std::chrono::steady_clock::now();
    const history::HistorySummary s = history::summarizeHistory(argv[2], encode);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    std::printf("records %lld, skipped %lld, days %zu, total %lld: %.1f ms\n", static_cast<long long>(s.records),
                static_cast<long long>(s.skipped), s.days.size(), static_cast<long long>(s.totalPresses), ms);
    return s.status == history::ReadStatus::Ok ? 0 : 1;
}

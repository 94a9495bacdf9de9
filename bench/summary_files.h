// Sample histories for the summary's figures: the records of history_files.h,
// eight to a day on consecutive days from 2003/07/15, so that the summary also
// keeps a day table of realistic shape (25 000 days for 200 000 records).
#pragma once

#include <filesystem>
#include <string>

#include "history/history_summary.h"
#include "history_files.h"

namespace pressory::bench {

inline constexpr int kRecordsPerDay = 8;

inline void writeSummarySample(const std::filesystem::path& path, int records) {
    const int firstDay = history::dayNumber({2003, 7, 15});
    writeSampleHistory(path, records, [firstDay](std::string& line, int n) {
        line.replace(0, 10, history::formatDay(firstDay + (n - 1) / kRecordsPerDay));
    });
}

}  // namespace pressory::bench

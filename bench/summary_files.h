// Sample histories for the summary's figures: the records of history_files.h,
// eight to a day on consecutive days from 2003/07/15, so that the summary also
// keeps a day table of realistic shape (25 000 days for 200 000 records).
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include "history/history_summary.h"
#include "history_files.h"

namespace pressory::bench {

inline constexpr int kRecordsPerDay = 8;

inline void writeSummarySample(const std::filesystem::path& path, int records) {
    std::ofstream out(path, std::ios::binary);
    out << *platform::utf8ToCp932(history::headerLine(layout::countedCodes(), layout::kSummaryCaption)) << "\r\n";
    const int firstDay = history::dayNumber({2003, 7, 15});
    std::string chunk;
    for (int i = 1; i <= records; ++i) {
        std::string line = sampleRecord(i);
        line.replace(0, 10, history::formatDay(firstDay + (i - 1) / kRecordsPerDay));
        chunk += line;
        chunk += "\r\n";
        if (chunk.size() > (1 << 20)) {
            out << chunk;
            chunk.clear();
        }
    }
    out << chunk;
}

}  // namespace pressory::bench

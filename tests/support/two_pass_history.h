// The viewer's reading as first designed, kept as the reference the history
// reader is compared with: read the whole file line by line to count the
// lines L, then read it again and place line j (j > L - R) in row L - j.
// A line ends at CR LF; the text after the last CR LF is a line only when it
// is not empty.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "history/history_reader.h"
#include "history/viewer_rules.h"

namespace pressory::test {

inline std::vector<history::Row> twoPassRows(const std::string& bytes, int rowLimit) {
    auto forEachLine = [&bytes](auto&& onLine) {
        std::size_t from = 0;
        std::int64_t j = 0;
        while (from < bytes.size()) {
            const std::size_t end = bytes.find("\r\n", from);
            if (end == std::string::npos) {
                onLine(j++, bytes.substr(from));
                break;
            }
            onLine(j++, bytes.substr(from, end - from));
            from = end + 2;
        }
        return j;
    };
    const std::int64_t lineCount = forEachLine([](std::int64_t, const std::string&) {});
    const std::int64_t rows = history::gridRowCount(lineCount, rowLimit);
    std::vector<history::Row> grid(static_cast<std::size_t>(rows));
    forEachLine([&](std::int64_t j, const std::string& line) {
        if (j == 0)
            grid[0] = history::splitFields(line);
        else if (j > lineCount - rows)
            grid[static_cast<std::size_t>(lineCount - j)] = history::splitFields(line);
    });
    return grid;
}

}  // namespace pressory::test

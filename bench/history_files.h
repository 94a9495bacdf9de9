// History files for the figures: a header and working-day records that
// differ a little from one another, as the program writes them.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "counting/key_layout.h"
#include "history/history_record.h"
#include "platform/text_codec.h"

namespace pressory::bench {

// Record n: letters pressed about a thousand times, the other keys less.
inline std::string sampleRecord(int n) {
    std::array<std::int32_t, 256> c{};
    std::int32_t total = 0;
    for (auto vk : layout::countedCodes()) {
        c[vk] = (vk >= 'A' && vk <= 'Z') ? 1000 + (vk * 37 + n) % 900 : 40 + (vk + n) % 70;
        total += c[vk];
    }
    return history::recordLine({2003, 7, 15, 9, 5, n % 60}, layout::countedCodes(), c, total);
}

// Writes the header and `records` records to `path`, in code page 932.
inline void writeSampleHistory(const std::filesystem::path& path, int records) {
    std::ofstream out(path, std::ios::binary);
    out << *platform::utf8ToCp932(history::headerLine(layout::countedCodes(), layout::kSummaryCaption)) << "\r\n";
    std::string chunk;
    for (int i = 1; i <= records; ++i) {
        chunk += sampleRecord(i);
        chunk += "\r\n";
        if (chunk.size() > (1 << 20)) {
            out << chunk;
            chunk.clear();
        }
    }
    out << chunk;
}

}  // namespace pressory::bench

// History files for the figures: a header and working-day records that
// differ a little from one another, as the program writes them.
#pragma once

#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <unistd.h>

#include "counting/key_layout.h"
#include "history/history_record.h"
#include "platform/text_codec.h"

namespace pressory::bench {

// Record n: letters pressed about a thousand times, the other keys less.
inline std::string sampleRecord(int n) {
    std::array<std::int32_t, 256> c{};
    std::int32_t total = 0;
    for (auto vk : counting::layout::countedCodes()) {
        c[vk] = (vk >= 'A' && vk <= 'Z') ? 1000 + (vk * 37 + n) % 900 : 40 + (vk + n) % 70;
        total += c[vk];
    }
    return history::recordLine({2003, 7, 15, 9, 5, n % 60}, counting::layout::countedCodes(), c, total);
}

// Writes the header and `records` records to `path`, in code page 932;
// `adjust`, when given, may change record n's line before it is written.
inline void writeSampleHistory(const std::filesystem::path& path, int records,
                               const std::function<void(std::string& line, int n)>& adjust = {}) {
    std::ofstream out(path, std::ios::binary);
    out << *platform::utf8ToCp932(
               history::headerLine(counting::layout::countedCodes(), counting::layout::kSummaryCaption))
        << "\r\n";
    std::string chunk;
    for (int i = 1; i <= records; ++i) {
        std::string line = sampleRecord(i);
        if (adjust) adjust(line, i);
        chunk += line;
        chunk += "\r\n";
        if (chunk.size() > (1 << 20)) {
            out << chunk;
            chunk.clear();
        }
    }
    out << chunk;
}

// Whether the benchmarks should also make their largest files
// (PRESSORY_BENCH_LARGE=1).
inline bool largeFilesWanted() {
    const char* v = std::getenv("PRESSORY_BENCH_LARGE");
    return v && std::string(v) == "1";
}

// Sample files made on first use, one per record count, in a folder of
// their own that goes when the benchmark ends.
class SampleFiles {
public:
    using Writer = void (*)(const std::filesystem::path&, int);
    SampleFiles(const std::string& prefix, Writer write)
        : dir_(std::filesystem::temp_directory_path() / (prefix + std::to_string(::getpid()))), write_(write) {}
    ~SampleFiles() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    SampleFiles(const SampleFiles&) = delete;
    SampleFiles& operator=(const SampleFiles&) = delete;

    const std::filesystem::path& of(int records) {
        auto it = made_.find(records);
        if (it != made_.end()) return it->second;
        if (made_.empty()) std::filesystem::create_directories(dir_);
        const std::filesystem::path p = dir_ / ("history-" + std::to_string(records) + ".csv");
        write_(p, records);
        return made_.emplace(records, p).first->second;
    }

private:
    std::filesystem::path dir_;
    Writer write_;
    std::map<int, std::filesystem::path> made_;
};

}  // namespace pressory::bench

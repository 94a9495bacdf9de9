// Any bytes as a history file: the reader never fails on it, reads the same
// rows as the two-pass reading (header, then the newest records newest
// first), keeps each row within its bounds and leaves the file as it was.
//
// Input: the row limit (one byte), a filler length (two bytes, so that line
// ends can fall on the reader's 64 KiB steps), where the filler goes (two
// bytes), the filler byte, then the file's bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "history/history_reader.h"
#include "support/two_pass_history.h"

using namespace pressory;

namespace {

#define CHECK(cond)                \
    do {                           \
        if (!(cond)) std::abort(); \
    } while (false)

// One scratch file per process, removed when the run ends.
struct ScratchFile {
    std::string path = "/tmp/fuzz_history_reader." + std::to_string(::getpid()) + ".csv";
    ~ScratchFile() { std::remove(path.c_str()); }
};

const std::string& scratchFile() {
    static const ScratchFile file;
    return file.path;
}

void write(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    CHECK(f != nullptr);
    CHECK(std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size());
    CHECK(std::fclose(f) == 0);
}

std::string readAll(const std::string& path) {
    std::string out;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    CHECK(f != nullptr);
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    std::fclose(f);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const int rowLimit = in.ConsumeIntegralInRange<int>(-1, 40);
    const std::size_t filler = in.ConsumeIntegral<std::uint16_t>();
    const std::size_t fillerAt = in.ConsumeIntegral<std::uint16_t>();
    const char fillerByte = static_cast<char>(in.ConsumeIntegral<std::uint8_t>());
    std::string bytes = in.ConsumeRemainingBytesAsString();
    bytes.insert(std::min(fillerAt, bytes.size()), filler, fillerByte);

    const std::string& path = scratchFile();
    write(path, bytes);
    const history::NewestLines got = history::readNewestLines(path, rowLimit);
    CHECK(got.status == history::ReadStatus::Ok);
    CHECK(got.rows == test::twoPassRows(bytes, rowLimit));
    std::size_t widest = 0;
    for (const auto& row : got.rows) {
        CHECK(!row.empty() && row.size() <= history::kRowFieldLimit);
        std::size_t kept = row.size() - 1;
        for (const auto& f : row) kept += f.size();
        CHECK(kept <= history::kRowByteLimit);
        widest = std::max(widest, row.size());
    }
    CHECK(got.widestRow == widest);
    CHECK(got.rows.size() <= static_cast<std::size_t>(std::max(rowLimit, 0)) + 1);
    CHECK(readAll(path) == bytes);
    return 0;
}

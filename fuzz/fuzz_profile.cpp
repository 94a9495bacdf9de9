// Any bytes as a profile file: reading never fails, the settings record keeps
// its ranges, and a single-key edit reads back, changes no other value and
// removes no line end.
//
// Input: section, key, value, a second section and key (each ended by a
// backslash and one more character), then the file's bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "settings/profile_file.h"
#include "settings/settings.h"

using namespace pressory;

namespace {

#define CHECK(cond)                \
    do {                           \
        if (!(cond)) std::abort(); \
    } while (false)

bool blank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

std::string folded(std::string_view s) {
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool breaks(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

bool storable(const std::string& section, const std::string& key, const std::string& value) {
    const std::string k = folded(key);
    return !k.empty() && k.front() != '[' && k.front() != ';' && !k.starts_with("\xEF\xBB\xBF") &&
           k.find('=') == std::string::npos && section.find(']') == std::string::npos && !breaks(section) &&
           !breaks(key) && !breaks(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string section = in.ConsumeRandomLengthString(32);
    const std::string key = in.ConsumeRandomLengthString(32);
    const std::string value = in.ConsumeRandomLengthString(64);
    const std::string otherSection = in.ConsumeRandomLengthString(32);
    const std::string otherKey = in.ConsumeRandomLengthString(32);
    const std::string bytes = in.ConsumeRemainingBytesAsString();

    const settings::profile::ProfileDocument doc(bytes);
    const settings::SettingsRecord r = settings::loadSettings(doc);
    CHECK(r.fileHistoryMaxRow >= 1 && r.fileHistoryMaxRow <= 6);
    (void)doc.readInt(section, key, 7);
    const auto several = doc.values(section, std::vector<std::string>{key, otherKey, key});
    CHECK(several[0] == doc.value(section, key) && several[1] == doc.value(section, otherKey) &&
          several[2] == several[0]);

    const std::string after = settings::profile::withValue(bytes, section, key, value);
    if (!storable(section, key, value)) {
        CHECK(after == bytes);
        return 0;
    }
    const settings::profile::ProfileDocument edited(after);
    CHECK(edited.value(section, key) == value);
    CHECK(settings::profile::withValue(after, section, key, value) == after);
    if (folded(section) != folded(otherSection) || folded(key) != folded(otherKey))
        CHECK(edited.value(otherSection, otherKey) == doc.value(otherSection, otherKey));

    // What differs lies between a common head and a common tail; no line end
    // is removed, and an added key brings one to three.
    const std::size_t most = std::min(bytes.size(), after.size());
    std::size_t head = 0;
    while (head < most && bytes[head] == after[head]) ++head;
    std::size_t tail = 0;
    while (tail < most - head && bytes[bytes.size() - 1 - tail] == after[after.size() - 1 - tail]) ++tail;
    CHECK(!breaks(std::string_view(bytes).substr(head, bytes.size() - head - tail)));
    const auto lines = [](const std::string& s) { return std::count(s.begin(), s.end(), '\n'); };
    const auto added = lines(after) - lines(bytes);
    if (doc.value(section, key))
        CHECK(added == 0);
    else
        CHECK(added >= 1 && added <= 3);
    return 0;
}

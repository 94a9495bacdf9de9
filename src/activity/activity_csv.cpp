#include "activity/activity_csv.h"

#include "activity/local_time.h"

namespace pressory::activity {

std::string csvHead() { return "\xEF\xBB\xBF時刻,アプリ,キー,回数\r\n"; }

std::string csvField(std::string_view text, bool guardFormula) {
    std::string value;
    if (guardFormula && !text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos)
        value = "'";
    value += text;
    if (value.find_first_of(",\"\r\n") == std::string::npos) return value;
    std::string quoted = "\"";
    for (char c : value) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string csvLine(std::int64_t hour, std::string_view app, std::string_view key, std::int64_t count) {
    return hourText(hour) + ',' + csvField(app, true) + ',' + csvField(key, false) + ',' + std::to_string(count) +
           "\r\n";
}

}  // namespace pressory::activity

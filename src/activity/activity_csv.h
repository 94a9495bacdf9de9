// The export of the activity tables: UTF-8 with a byte order mark (so that
// spreadsheet programs on Windows read it as UTF-8), lines ended by CR LF
// (what those programs write and read), one line per hour, application and
// key: 時刻,アプリ,キー,回数 with the hour as "YYYY/MM/DD HH:00".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pressory::activity {

// The byte order mark and the header line.
std::string csvHead();
// One line. An application not known is an empty field.
std::string csvLine(std::int64_t hour, std::string_view app, std::string_view key, std::int64_t count);
// A field as CSV: in double quotes (doubled inside) when it holds a comma, a
// quote or a line break. An application name that a spreadsheet would take
// for a formula (beginning with = + - @, a tab or a CR) gets a leading '
// so that opening the file never runs what a window's class says.
std::string csvField(std::string_view text, bool guardFormula);

}  // namespace pressory::activity

#include "activity/app_rules.h"

#include <algorithm>

#include "activity/activity_schema.h"

namespace pressory::activity {
namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string_view trimmed(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

bool sameName(std::string_view a, std::string_view lowerB) {
    return a.size() == lowerB.size() &&
           std::equal(a.begin(), a.end(), lowerB.begin(), [](char x, char y) { return lower(x) == y; });
}

}  // namespace

AppRules::AppRules(bool perApp, std::string_view neverList) : perApp_(perApp), never_(parseList(neverList)) {
    for (std::string& n : never_) std::transform(n.begin(), n.end(), n.begin(), lower);
}

std::vector<std::string> AppRules::parseList(std::string_view list) {
    std::vector<std::string> names;
    while (!list.empty()) {
        const std::size_t bar = list.find('|');
        const std::string_view name = trimmed(list.substr(0, bar));
        if (!name.empty()) names.emplace_back(name);
        list = bar == std::string_view::npos ? std::string_view() : list.substr(bar + 1);
    }
    return names;
}

std::string AppRules::joinList(const std::vector<std::string>& names) {
    std::string list;
    for (const std::string& n : names) {
        const std::string_view name = trimmed(n);
        if (name.empty() || name.find('|') != std::string_view::npos) continue;
        if (!list.empty()) list += '|';
        list += name;
    }
    return list;
}

std::string_view AppRules::recordedName(std::string_view current) const {
    if (!perApp_ || current.empty()) return kUnknownApp;
    for (const std::string& n : never_)
        if (sameName(current, n)) return kUnknownApp;
    return current;
}

}  // namespace pressory::activity

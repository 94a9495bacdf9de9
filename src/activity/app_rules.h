// Which application a press is recorded under: the focused application, or
// the unknown application when counting per application is switched off or
// the application is on the list of those never to record.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pressory::activity {

class AppRules {
public:
    AppRules() = default;
    // `perApp`: the switch "アプリごとに数える". `neverList`: names separated
    // by '|' (a character no Windows file name and no usual window class
    // holds), matched without regard to ASCII case; blanks around each are
    // ignored.
    AppRules(bool perApp, std::string_view neverList);

    // The name to record for the focused application `current` (empty when not known).
    std::string_view recordedName(std::string_view current) const;

    bool perApp() const { return perApp_; }
    const std::vector<std::string>& never() const { return never_; }

    static std::vector<std::string> parseList(std::string_view list);
    static std::string joinList(const std::vector<std::string>& names);

private:
    bool perApp_ = true;
    std::vector<std::string> never_;  // lower case
};

}  // namespace pressory::activity

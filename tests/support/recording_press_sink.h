// A press sink that keeps what it was given: presses per key name.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "activity/press_sink.h"

namespace pressory::test {

class RecordingPressSink final : public activity::PressSink {
public:
    void press(std::string_view key, std::uint32_t count) override { presses[std::string(key)] += count; }
    std::uint32_t of(std::string_view key) const {
        const auto it = presses.find(std::string(key));
        return it == presses.end() ? 0 : it->second;
    }
    std::uint64_t total() const {
        std::uint64_t n = 0;
        for (const auto& [key, count] : presses) n += count;
        return n;
    }

    std::map<std::string, std::uint32_t> presses;
};

}  // namespace pressory::test

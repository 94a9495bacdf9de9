#include "platform/win32/win32_key_source.h"

#include <windows.h>

#include <algorithm>
#include <string_view>

#include "activity/key_names.h"

namespace pressory::platform::win32 {
namespace {

std::int16_t systemQuery(int vk) { return static_cast<std::int16_t>(GetAsyncKeyState(vk)); }

constexpr std::uint16_t kDownBit = 0x8000;
constexpr std::uint16_t kPressedBit = 0x0001;

}  // namespace

Win32KeySource::Win32KeySource(Query query) : query_(query != nullptr ? query : systemQuery) {}

std::int16_t Win32KeySource::asyncKeyState(int vk) {
    if (vk < 0 || vk > 255) return 0;
    const auto i = static_cast<std::size_t>(vk);
    if (unread_.test(i)) {
        unread_.reset(i);
        return reading_[i];
    }
    return query_(vk);
}

void Win32KeySource::setPressSink(activity::PressSink* sink) {
    sink_ = sink;
    unread_.reset();
}

void Win32KeySource::pump() {
    if (sink_ == nullptr) return;
    // A key may give several codes at once (半角/全角 as 0x19 and 0xF3, for
    // one): one press of its name per pump.
    std::array<std::string_view, 16> named{};
    std::size_t namedCount = 0;
    for (int vk = 1; vk < 255; ++vk) {
        const auto i = static_cast<std::size_t>(vk);
        const std::int16_t value = query_(vk);
        reading_[i] = value;
        unread_.set(i);
        const auto bits = static_cast<std::uint16_t>(value);
        const bool down = (bits & kDownBit) != 0;
        const bool began = !down_.test(i) && (down || (bits & kPressedBit) != 0);
        down_.set(i, down);
        if (!began) continue;
        const std::string_view name = activity::keyNameOfVirtualKey(vk);
        if (name.empty()) continue;
        const auto end = named.begin() + static_cast<std::ptrdiff_t>(namedCount);
        if (std::find(named.begin(), end, name) != end) continue;
        if (namedCount < named.size()) named[namedCount++] = name;
        sink_->press(name, 1);
    }
}

}  // namespace pressory::platform::win32

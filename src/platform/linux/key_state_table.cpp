#include "platform/linux/key_state_table.h"

namespace pressory::platform {
namespace {
bool validCode(int code) { return code >= 0 && code < keymap::kCodeCount; }
std::size_t at(int i) { return static_cast<std::size_t>(i); }
constexpr std::int32_t kMaxPresses = 2147483647;
}  // namespace

KeyStateTable::Device* KeyStateTable::find(DeviceId id) noexcept {
    for (Device& d : devices_)
        if (d.id == id) return &d;
    return nullptr;
}

const KeyStateTable::Device* KeyStateTable::find(DeviceId id) const noexcept {
    for (const Device& d : devices_)
        if (d.id == id) return &d;
    return nullptr;
}

KeyStateTable::Device& KeyStateTable::findOrAdd(DeviceId id) {
    if (Device* d = find(id)) return *d;
    devices_.push_back(Device{id, {}});
    return devices_.back();
}

void KeyStateTable::vkDown(int vk, bool newPress) noexcept {
    moved_.add(vk);
    if (downCount_[at(vk)]++ == 0 && newPress) {
        latch_[at(vk)] = true;
        if (presses_[at(vk)] < kMaxPresses) ++presses_[at(vk)];
    }
    if (const int g = keymap::genericVk(vk)) vkDown(g, newPress);
}

void KeyStateTable::vkUp(int vk) noexcept {
    moved_.add(vk);
    if (downCount_[at(vk)] > 0) --downCount_[at(vk)];
    if (const int g = keymap::genericVk(vk)) vkUp(g);
}

void KeyStateTable::press(DeviceId device, int code) { pressOn(device, code, true); }

void KeyStateTable::pressAgain(DeviceId device, int code) { pressOn(device, code, false); }

void KeyStateTable::pressOn(DeviceId device, int code, bool newPress) {
    if (!validCode(code)) return;
    const int vk = keymap::vkFromInputCode(code);
    if (vk == 0) return;
    Device& d = findOrAdd(device);
    if (d.down.test(at(code))) return;
    d.down.set(at(code));
    if (device != kUnknownOwner) {
        if (Device* u = find(kUnknownOwner); u != nullptr && u->down.test(at(code))) {
            // The key held since the start: now its holder is known.
            u->down.reset(at(code));
            return;
        }
    }
    vkDown(vk, newPress);
}

void KeyStateTable::release(DeviceId device, int code) {
    if (!validCode(code)) return;
    const int vk = keymap::vkFromInputCode(code);
    if (vk == 0) return;
    Device* d = find(device);
    if (d == nullptr || !d->down.test(at(code))) {
        d = find(kUnknownOwner);
        if (d == nullptr || !d->down.test(at(code))) return;
    }
    d->down.reset(at(code));
    vkUp(vk);
}

void KeyStateTable::seed(int code) {
    if (!validCode(code)) return;
    for (const Device& d : devices_)
        if (d.down.test(at(code))) return;
    press(kUnknownOwner, code);
}

void KeyStateTable::releaseDevice(DeviceId device) {
    Device* d = find(device);
    if (d == nullptr) return;
    for (int c = 0; c < keymap::kCodeCount; ++c)
        if (d->down.test(at(c))) vkUp(keymap::vkFromInputCode(c));
    devices_.erase(devices_.begin() + (d - devices_.data()));
}

void KeyStateTable::syncDevice(DeviceId device, const CodeSet& down) {
    const Device* d = find(device);
    const CodeSet before = d != nullptr ? d->down : CodeSet{};
    const CodeSet changed = before ^ down;
    if (changed.none()) return;
    for (int c = 0; c < keymap::kCodeCount; ++c) {
        if (!changed.test(at(c))) continue;
        if (down.test(at(c)))
            press(device, c);
        else
            release(device, c);
    }
}

void KeyStateTable::trimUnknown(const CodeSet& down) {
    Device* u = find(kUnknownOwner);
    if (u == nullptr) return;
    const CodeSet gone = u->down & ~down;
    for (int c = 0; c < keymap::kCodeCount; ++c)
        if (gone.test(at(c))) release(kUnknownOwner, c);
}

counting::KeyReading KeyStateTable::take(int vk) noexcept {
    if (vk < 0 || vk > 255) return {0, 0};
    std::uint16_t s = downCount_[at(vk)] > 0 ? 0x8000u : 0u;
    if (latch_[at(vk)]) {
        s |= 1u;
        latch_[at(vk)] = false;
    }
    const std::int32_t presses = presses_[at(vk)];
    presses_[at(vk)] = 0;
    return {static_cast<std::int16_t>(s), presses};
}

bool KeyStateTable::isDown(int vk) const noexcept { return vk >= 0 && vk <= 255 && downCount_[at(vk)] > 0; }

bool KeyStateTable::isDownOn(DeviceId device, int code) const noexcept {
    const Device* d = find(device);
    return d != nullptr && validCode(code) && d->down.test(at(code));
}

}  // namespace pressory::platform

// A key source that counts through a fallback (X11 on XWayland, which sees
// the keys typed into X11 applications only) until the input devices can be
// read, and through them from then on. Access to the devices may be given
// while the program runs (the uaccess rule it offers): the folder watch of
// the device source sees the nodes become readable, and the next wake
// switches without a restart.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/evdev/evdev_key_source.h"
#include "platform/key_source.h"

namespace pressory::platform {

class SwitchingKeySource final : public PlatformKeySource {
public:
    // `fallback` counts until `devices` has a keyboard; `fallbackInUse` is
    // what inUse() says meanwhile.
    SwitchingKeySource(std::unique_ptr<PlatformKeySource> fallback, std::string fallbackInUse,
                       std::unique_ptr<evdev::EvdevKeySource> devices);
    ~SwitchingKeySource() override;
    SwitchingKeySource(const SwitchingKeySource&) = delete;
    SwitchingKeySource& operator=(const SwitchingKeySource&) = delete;

    // One descriptor for both sources (an epoll set); -1 when either can
    // only be polled.
    int wakeHandle() const override { return wakeFd_; }
    void pump() override;
    std::int16_t asyncKeyState(int vk) override { return readKey(vk).state; }
    counting::KeyReading readKey(int vk) override;
    void setKeysShown(bool shown) override;
    void setPressSink(activity::PressSink* sink) override;
    std::string inUse() const override;

    // Whether the input devices count now.
    bool switched() const noexcept { return fallback_ == nullptr; }

private:
    void switchToDevices();

    std::unique_ptr<PlatformKeySource> fallback_;
    std::string fallbackInUse_;
    std::unique_ptr<evdev::EvdevKeySource> devices_;
    int wakeFd_ = -1;
    // Presses the fallback had read and not yet handed over when it went.
    std::array<std::int32_t, 256> carried_{};
};

}  // namespace pressory::platform

// The key state read straight from the kernel's input devices: for Wayland
// sessions and the console, where the X server sees nothing global. Every
// keyboard and mouse among /dev/input/event* is read and their keys merged;
// devices plugged in later are picked up, devices that go away release
// their keys. A key remapper's virtual keyboard is read like any other, and
// a press that arrives from both it and the physical keyboard counts once.
// Reading the devices needs read access to them: the `uaccess` rule that
// the program offers, or membership of the `input` group.
//
// Only the state of the keys is kept, never which keys were pressed in what
// order.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/evdev/input_device.h"
#include "platform/evdev/remap_echo.h"
#include "platform/key_source.h"
#include "platform/linux/key_state_table.h"

namespace pressory::platform::evdev {

class EvdevKeySource final : public PlatformKeySource {
public:
    // Opens one device node; null when it is not to be read.
    using Opener = std::function<std::unique_ptr<InputDevice>(const std::string& path)>;

    // Reads the devices named event* in `dir` that `opener` accepts, and
    // watches `dir` for devices that appear or disappear later. An empty
    // `dir` starts with no device and watches nothing.
    EvdevKeySource(std::string dir, Opener opener);
    ~EvdevKeySource() override;
    EvdevKeySource(const EvdevKeySource&) = delete;
    EvdevKeySource& operator=(const EvdevKeySource&) = delete;

    // One descriptor (an epoll set of every device and the folder watch) that
    // is readable while a device or the watch has something to read. -1 when
    // a device without a handle of its own was added, or the set could not
    // be made: then the source can only be polled.
    int wakeHandle() const override { return canWake_ ? wakeFd_ : -1; }
    void pump() override;
    std::int16_t asyncKeyState(int vk) override { return table_.read(vk); }
    counting::KeyReading readKey(int vk) override { return table_.take(vk); }
    void setPressSink(activity::PressSink* sink) override { sink_ = sink; }
    bool takeMoved(counting::CodeSet& moved) override {
        table_.takeMoved(moved);
        return true;
    }

    // Adds an open device under a name (its path). The keys it holds down now
    // count as pressed.
    void addDevice(const std::string& path, std::unique_ptr<InputDevice> device);

    std::string inUse() const override;

    std::size_t deviceCount() const noexcept { return devices_.size(); }
    bool hasKeyboard() const noexcept;
    bool watching() const noexcept { return watchFd_ >= 0; }

private:
    struct Slot {
        std::string path;
        std::unique_ptr<InputDevice> device;
        KeyStateTable::DeviceId id;
        bool dropping;  // lost records: skip to the next report, then ask the device
        bool isVirtual;
    };

    void scanDirectory();
    void tryOpen(const std::string& path);
    void readWatch();
    bool readDevice(Slot& slot, bool pairEchoes);  // false when the device went away
    void resync(Slot& slot);
    void dropDevice(std::size_t index);
    bool wakeOn(int fd);
    void stopWakingOn(int fd);

    std::string dir_;
    Opener opener_;
    int watchFd_ = -1;
    int wakeFd_ = -1;
    bool canWake_ = false;
    std::vector<Slot> devices_;
    KeyStateTable::DeviceId nextId_ = 1;
    KeyStateTable table_;
    activity::PressSink* sink_ = nullptr;
    RemapEcho echo_;
};

}  // namespace pressory::platform::evdev

// One Linux input device (/dev/input/event*) as the evdev key source reads it.
#pragma once

#include <linux/input.h>

#include <cstddef>
#include <memory>
#include <span>
#include <string>

#include "platform/linux/key_state_table.h"

namespace pressory::platform::evdev {

struct ReadResult {
    enum class Status {
        Records,  // `count` records were read (possibly fewer than asked for)
        Empty,    // nothing to read now
        Gone,     // the device went away (unplugged, or its end was closed)
    };
    Status status;
    std::size_t count;
};

class InputDevice {
public:
    virtual ~InputDevice() = default;
    // Reads pending records without blocking.
    virtual ReadResult read(std::span<input_event> out) = 0;
    // The keys and buttons the device holds down now; false when it cannot tell.
    virtual bool queryKeys(KeyStateTable::CodeSet& down) = 0;
    // A keyboard has letter keys; a mouse or a keypad does not.
    virtual bool isKeyboard() const = 0;
    // A virtual device (uinput), as key remappers send through; a physical
    // one otherwise.
    virtual bool isVirtual() const { return false; }
    // A descriptor that is readable when records arrive or the device goes
    // away; -1 when there is none to wait on.
    virtual int handle() const { return -1; }
};

// A device read through a file descriptor.
class FdInputDevice final : public InputDevice {
public:
    // Opens an input device node. Null, with `error` set to the errno, when it
    // cannot be opened; null with error 0 when it has no key or button the
    // program counts (a power button, a joystick, a sensor).
    static std::unique_ptr<FdInputDevice> open(const std::string& path, int* error = nullptr);

    // Takes over an open descriptor, which it sets non-blocking and closes.
    FdInputDevice(int fd, bool keyboard, bool isVirtual = false);
    ~FdInputDevice() override;
    FdInputDevice(const FdInputDevice&) = delete;
    FdInputDevice& operator=(const FdInputDevice&) = delete;

    ReadResult read(std::span<input_event> out) override;
    bool queryKeys(KeyStateTable::CodeSet& down) override;
    bool isKeyboard() const override { return keyboard_; }
    bool isVirtual() const override { return virtual_; }
    int handle() const override { return fd_; }

private:
    int fd_;
    bool keyboard_;
    bool virtual_;
    // The start of a record that arrived in pieces (only a pipe does that).
    unsigned char partial_[sizeof(input_event)];
    std::size_t partialLen_ = 0;
};

}  // namespace pressory::platform::evdev

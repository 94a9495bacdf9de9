// Presses keys and mouse buttons on an X server through the XTEST extension,
// by exact keycode and button number, on a connection of its own.
#pragma once

struct _XDisplay;

namespace pressory::test {

class XTestInjector {
public:
    // Connects to the display (null: $DISPLAY). valid() tells whether it did
    // and whether the server has XTEST.
    explicit XTestInjector(const char* displayName = nullptr);
    ~XTestInjector();
    XTestInjector(const XTestInjector&) = delete;
    XTestInjector& operator=(const XTestInjector&) = delete;

    bool valid() const noexcept { return display_ != nullptr; }
    _XDisplay* display() const noexcept { return display_; }
    void key(int keycode, bool down);
    void button(int button, bool down);
    void tapKey(int keycode) {
        key(keycode, true);
        key(keycode, false);
    }
    void tapButton(int b) {
        button(b, true);
        button(b, false);
    }
    // Sends what is buffered.
    void flush();
    // Waits until the server has handled everything sent.
    void sync();

private:
    _XDisplay* display_ = nullptr;
};

}  // namespace pressory::test

#include "support/xtest_injector.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace pressory::test {

XTestInjector::XTestInjector(const char* displayName) {
    Display* d = XOpenDisplay(displayName);
    if (d == nullptr) return;
    int ev = 0, err = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(d, &ev, &err, &major, &minor)) {
        XCloseDisplay(d);
        return;
    }
    display_ = d;
}

XTestInjector::~XTestInjector() {
    if (display_ != nullptr) XCloseDisplay(display_);
}

void XTestInjector::key(int keycode, bool down) {
    XTestFakeKeyEvent(display_, static_cast<unsigned>(keycode), down ? True : False, CurrentTime);
}

void XTestInjector::button(int b, bool down) {
    XTestFakeButtonEvent(display_, static_cast<unsigned>(b), down ? True : False, CurrentTime);
}

void XTestInjector::flush() { XFlush(display_); }

void XTestInjector::sync() { XSync(display_, False); }

}  // namespace pressory::test

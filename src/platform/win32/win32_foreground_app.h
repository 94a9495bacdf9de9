// The application of the foreground window on Windows: the file name of the
// executable of the process that owns it ("notepad.exe"), looked up only when
// the foreground window is another one.
#pragma once

#include <string>

#include "platform/foreground_app.h"

namespace pressory::platform::win32 {

class Win32ForegroundApp final : public ForegroundApp {
public:
    // Empty when there is no foreground window (the secure desktop, a
    // locked session) or its process cannot be asked (one of another user's,
    // elevated above this one).
    std::string current() override;

private:
    void* window_ = nullptr;  // the HWND whose application app_ is
    std::string app_;
};

}  // namespace pressory::platform::win32

// The application of the active X11 window, against a real X server: windows
// of two X clients with different classes, activated through a real window
// manager (openbox), and a server without one.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/x11/x11_foreground_app.h"
#include "support/temp_folder.h"

#include <xcb/xcb.h>

extern char** environ;

using pressory::platform::x11::X11ForegroundApp;

namespace {

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* r =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = r != nullptr ? r->atom : XCB_NONE;
    std::free(r);
    return a;
}

xcb_window_t rootOf(xcb_connection_t* c) { return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root; }

// An X client of its own with one mapped window; `wmClass` is the instance
// and class strings as WM_CLASS holds them, empty for a window without one.
class Client {
public:
    explicit Client(const std::string& wmClass) : c_(xcb_connect(nullptr, nullptr)) {
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c_)).data;
        window_ = xcb_generate_id(c_);
        xcb_create_window(c_, XCB_COPY_FROM_PARENT, window_, screen->root, 10, 10, 200, 100, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        if (!wmClass.empty())
            xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window_, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                                static_cast<std::uint32_t>(wmClass.size()), wmClass.data());
        xcb_map_window(c_, window_);
        xcb_aux_sync();
    }
    ~Client() { xcb_disconnect(c_); }
    xcb_window_t window() const { return window_; }
    // Asks the window manager to activate the window, as a pager does, until
    // it says the window is active (it may be busy with windows just mapped).
    bool activate() {
        for (int i = 0; i < 50; ++i) {
            if (i % 5 == 0) requestActive();
            if (activeWindow() == window_) return true;
            usleep(20 * 1000);
        }
        return false;
    }

private:
    void requestActive() {
        xcb_client_message_event_t ev{};
        ev.response_type = XCB_CLIENT_MESSAGE;
        ev.format = 32;
        ev.window = window_;
        ev.type = atom(c_, "_NET_ACTIVE_WINDOW");
        ev.data.data32[0] = 2;  // from a pager
        ev.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(c_, 0, rootOf(c_), XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&ev));
        xcb_aux_sync();
    }
    xcb_window_t activeWindow() {
        xcb_window_t w = XCB_NONE;
        xcb_get_property_reply_t* r = xcb_get_property_reply(
            c_, xcb_get_property(c_, 0, rootOf(c_), atom(c_, "_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW, 0, 1), nullptr);
        if (r != nullptr && r->format == 32 && xcb_get_property_value_length(r) >= 4)
            std::memcpy(&w, xcb_get_property_value(r), sizeof w);
        std::free(r);
        return w;
    }
    void xcb_aux_sync() { std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)); }
    xcb_connection_t* c_;
    xcb_window_t window_ = 0;
};

// Pumps as the program does, when the handle wakes, until the application
// is `want` or the time has passed; returns the last answer.
std::string waitFor(X11ForegroundApp& app, const std::string& want,
                    std::chrono::milliseconds time = std::chrono::seconds(5)) {
    const auto until = std::chrono::steady_clock::now() + time;
    while (app.current() != want && std::chrono::steady_clock::now() < until) {
        pollfd p{app.wakeHandle(), POLLIN, 0};
        if (poll(&p, 1, 50) > 0) app.pump();
    }
    return app.current();
}

class WindowManager {
public:
    WindowManager() : home_("pressory-openbox-") {
        const std::string home = "HOME=" + home_.path().string();
        const std::string display = std::string("DISPLAY=") + std::getenv("DISPLAY");
        std::vector<std::string> env{home, display, "XDG_CONFIG_HOME=" + home_.path().string(),
                                     "XDG_CACHE_HOME=" + home_.path().string()};
        std::vector<char*> envp;
        for (std::string& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        char name[] = "openbox";
        char* argv[] = {name, nullptr};
        if (posix_spawnp(&pid_, "openbox", nullptr, nullptr, argv, envp.data()) != 0) pid_ = -1;
    }
    ~WindowManager() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    // Whether it has started and manages the screen (it says so on the root
    // window), within 10 s.
    bool ready() const {
        if (pid_ <= 0) return false;
        xcb_connection_t* c = xcb_connect(nullptr, nullptr);
        const xcb_atom_t check = atom(c, "_NET_SUPPORTING_WM_CHECK");
        bool found = false;
        for (int i = 0; i < 200 && !found; ++i) {
            xcb_get_property_reply_t* r =
                xcb_get_property_reply(c, xcb_get_property(c, 0, rootOf(c), check, XCB_ATOM_WINDOW, 0, 1), nullptr);
            found = r != nullptr && r->type != XCB_NONE;
            std::free(r);
            if (!found) usleep(50 * 1000);
        }
        xcb_disconnect(c);
        return found;
    }

private:
    pressory::test::TempFolder home_;
    pid_t pid_ = -1;
};

}  // namespace

TEST(X11ForegroundApp, TheClassOfTheActiveWindowOfEachClient) {
    WindowManager wm;
    ASSERT_TRUE(wm.ready()) << "openbox (Debian package openbox) is needed for this test";
    auto app = X11ForegroundApp::open();
    ASSERT_NE(app, nullptr);
    // The instance name, then the class: the class is the application.
    Client editor(std::string("editor\0PressoryEditor\0", 22));
    Client mail(std::string("mail\0PressoryMail\0", 18));
    Client bare("");

    ASSERT_TRUE(bare.activate());  // the window manager has taken all three
    ASSERT_TRUE(editor.activate());
    EXPECT_EQ(waitFor(*app, "PressoryEditor"), "PressoryEditor");
    ASSERT_TRUE(mail.activate());
    EXPECT_EQ(waitFor(*app, "PressoryMail"), "PressoryMail");
    ASSERT_TRUE(editor.activate());
    EXPECT_EQ(waitFor(*app, "PressoryEditor"), "PressoryEditor");
    // A window without a class: not known.
    ASSERT_TRUE(bare.activate());
    EXPECT_EQ(waitFor(*app, ""), "");
    ASSERT_TRUE(mail.activate());
    EXPECT_EQ(waitFor(*app, "PressoryMail"), "PressoryMail");
}

TEST(X11ForegroundApp, WithoutAWindowManagerThatTellsTheApplicationIsNotKnown) {
    // No window manager runs here; one that ran before has left its property.
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    xcb_delete_property(c, rootOf(c), atom(c, "_NET_ACTIVE_WINDOW"));
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    auto app = X11ForegroundApp::open();
    ASSERT_NE(app, nullptr);
    Client editor(std::string("editor\0PressoryEditor\0", 22));
    EXPECT_FALSE(editor.activate());  // nobody answers
    xcb_set_input_focus(c, XCB_INPUT_FOCUS_POINTER_ROOT, XCB_INPUT_FOCUS_POINTER_ROOT, XCB_CURRENT_TIME);
    EXPECT_EQ(waitFor(*app, "PressoryEditor", std::chrono::milliseconds(500)), "");
    xcb_disconnect(c);
}

TEST(X11ForegroundApp, AWindowIdThatComesBackIsReadAgain) {
    // The server gives a client that connects the ids of one that has left:
    // the window made active next may carry the id of the one active before,
    // and be another application's. (No window manager: the property is set
    // here, as one would set it.)
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    const xcb_atom_t active = atom(c, "_NET_ACTIVE_WINDOW");
    const auto setActive = [&](xcb_window_t w) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, rootOf(c), active, XCB_ATOM_WINDOW, 32, 1, &w);
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    };
    auto app = X11ForegroundApp::open();
    ASSERT_NE(app, nullptr);
    xcb_window_t first = XCB_NONE;
    {
        Client editor(std::string("editor\0PressoryEditor\0", 22));
        first = editor.window();
        setActive(first);
        EXPECT_EQ(waitFor(*app, "PressoryEditor"), "PressoryEditor");
    }
    Client mail(std::string("mail\0PressoryMail\0", 18));
    ASSERT_EQ(mail.window(), first) << "the server did not reuse the id of the client that left";
    setActive(mail.window());
    EXPECT_EQ(waitFor(*app, "PressoryMail"), "PressoryMail");
    xcb_delete_property(c, rootOf(c), active);
    xcb_disconnect(c);
}

TEST(X11ForegroundApp, NoServerMeansNone) { EXPECT_EQ(X11ForegroundApp::open(":99999"), nullptr); }

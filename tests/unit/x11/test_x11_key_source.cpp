#include <gtest/gtest.h>

#include <cstdlib>

#include <poll.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <string>

#include "counting/poller.h"
#include "platform/key_source.h"
#include "platform/linux/key_source_linux.h"
#include "platform/x11/x11_key_source.h"
#include "support/recording_press_sink.h"
#include "support/xtest_injector.h"

// Xlib defines None and other plain names: after the program's own headers.
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

using pressory::counting::Poller;
using pressory::platform::x11::X11KeySource;
using pressory::test::XTestInjector;

namespace {

// X keycodes of the server's evdev numbering.
constexpr int kA = 38;
constexpr int kB = 56;
constexpr int kLeftShift = 50;
constexpr int kRightShift = 62;
constexpr int kYen = 132;
constexpr int kRo = 97;
constexpr std::int16_t kDown = static_cast<std::int16_t>(0x8000);

class X11Source : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(inject.valid()) << "no X display with XTEST";
        openSource();
        poller.fillPolledFlags();
    }
    void TearDown() override {
        // Nothing stays down on the shared server.
        for (int kc : {kA, kB, kLeftShift, kRightShift, kYen, kRo}) inject.key(kc, false);
        for (int b = 1; b <= 3; ++b) inject.button(b, false);
        inject.sync();
    }
    void openSource() {
        src = X11KeySource::open();
        ASSERT_NE(src, nullptr);
    }
    // Waits until the source has the events of `n` more presses and releases.
    void arrive(int n) {
        const auto want = seen + static_cast<std::uint64_t>(n);
        inject.sync();
        for (int i = 0; i < 500 && src->eventsSeen() < want; ++i) {
            src->roundTrip();
            src->pump();
            if (src->eventsSeen() < want) usleep(1000);
        }
        ASSERT_EQ(src->eventsSeen(), want) << "events lost or doubled";
        seen = want;
    }
    void tick() { poller.tick(*src, nullptr); }

    XTestInjector inject;
    std::unique_ptr<X11KeySource> src;
    Poller poller;
    std::uint64_t seen = 0;
};

}  // namespace

TEST_F(X11Source, APressOfNoTimeBetweenTwoReadingsCountsOnce) {
    tick();
    inject.tapKey(kA);
    arrive(2);
    tick();
    EXPECT_EQ(poller.count(65), 1);
    EXPECT_NE(poller.currentState(65), 0);
    tick();
    EXPECT_EQ(poller.currentState(65), 0);
    EXPECT_EQ(poller.count(65), 1);

    // Many in a row, a tick between each: every one counted, none twice.
    for (int i = 0; i < 100; ++i) {
        inject.tapKey(i % 2 ? kA : kB);
        arrive(2);
        tick();
    }
    EXPECT_EQ(poller.count(65), 51);
    EXPECT_EQ(poller.count(66), 50);
    EXPECT_EQ(poller.total(), 101);
}

TEST_F(X11Source, AHeldKeyReadsDownUntilReleased) {
    inject.key(kA, true);
    arrive(1);
    EXPECT_EQ(src->asyncKeyState(65), kDown | 1);
    for (int i = 0; i < 5; ++i) {
        src->roundTrip();
        src->pump();
        EXPECT_EQ(src->asyncKeyState(65), kDown);
    }
    inject.key(kA, false);
    arrive(1);
    EXPECT_EQ(src->asyncKeyState(65), 0);
}

TEST_F(X11Source, RightShiftIsTheGenericShiftAndTheRightOne) {
    inject.key(kRightShift, true);
    arrive(1);
    EXPECT_NE(src->asyncKeyState(16), 0);
    EXPECT_NE(src->asyncKeyState(161), 0);
    EXPECT_EQ(src->asyncKeyState(160), 0);
    inject.key(kLeftShift, true);
    inject.key(kRightShift, false);
    arrive(2);
    EXPECT_EQ(src->asyncKeyState(16), kDown);
    EXPECT_EQ(src->asyncKeyState(161), 0);
    inject.key(kLeftShift, false);
    arrive(1);
    EXPECT_EQ(src->asyncKeyState(16), 0);
}

TEST_F(X11Source, YenAndRoAreTwoKeysWhateverTheLayoutSays) {
    inject.tapKey(kYen);
    inject.tapKey(kRo);
    arrive(4);
    EXPECT_EQ(src->asyncKeyState(220), 1);
    EXPECT_EQ(src->asyncKeyState(226), 1);
}

TEST_F(X11Source, MouseButtonsCountAndTheWheelDoesNot) {
    for (int vk = 0; vk <= 255; ++vk) src->asyncKeyState(vk);  // clear every latch
    for (int wheel = 4; wheel <= 7; ++wheel) inject.tapButton(wheel);
    arrive(8);
    for (int vk = 0; vk <= 255; ++vk) EXPECT_EQ(src->asyncKeyState(vk), 0) << vk;

    inject.tapButton(1);
    arrive(2);
    EXPECT_EQ(src->asyncKeyState(1), 1);
    inject.tapButton(2);
    arrive(2);
    EXPECT_EQ(src->asyncKeyState(4), 1);
    inject.button(3, true);
    arrive(1);
    EXPECT_EQ(src->asyncKeyState(2), kDown | 1);
    EXPECT_EQ(src->asyncKeyState(1), 0);
    EXPECT_EQ(src->asyncKeyState(4), 0);
    inject.button(3, false);
    arrive(1);
    EXPECT_EQ(src->asyncKeyState(2), 0);
}

TEST_F(X11Source, AKeyAndAButtonHeldAtTheStartAreSeenAndReleased) {
    inject.key(kB, true);
    inject.button(1, true);
    inject.sync();
    openSource();
    seen = 0;
    tick();
    EXPECT_EQ(poller.count(66), 1);
    EXPECT_EQ(poller.count(1), 1);
    tick();
    EXPECT_EQ(poller.currentState(66), kDown);
    inject.key(kB, false);
    inject.button(1, false);
    arrive(2);
    tick();
    EXPECT_EQ(poller.currentState(66), 0) << "the release of a key held at the start is not lost";
    EXPECT_EQ(poller.currentState(1), 0);
    inject.tapKey(kB);
    arrive(2);
    tick();
    EXPECT_EQ(poller.count(66), 2);
}

TEST_F(X11Source, KeysNotShownWakeOnlyForPressesAndTheStateStaysExact) {
    auto wakeWithin = [this](int ms) {
        pollfd p{src->wakeHandle(), POLLIN, 0};
        return poll(&p, 1, ms) == 1 && (p.revents & POLLIN) != 0;
    };
    inject.key(kB, true);  // held across the switch
    arrive(1);
    tick();
    src->setKeysShown(false);
    src->roundTrip();
    src->pump();

    inject.key(kA, true);
    inject.sync();
    EXPECT_TRUE(wakeWithin(2000)) << "no wake for a press";
    arrive(1);
    inject.key(kA, false);
    inject.key(kB, false);
    inject.sync();
    EXPECT_FALSE(wakeWithin(100)) << "a release woke the program";
    arrive(2);  // read at the next wake all the same
    tick();
    EXPECT_EQ(poller.count(65), 1);
    EXPECT_EQ(poller.count(66), 1);
    EXPECT_EQ(poller.currentState(65), 1) << "pressed since the last tick, and up";
    EXPECT_EQ(poller.currentState(66), 0);

    // The right Shift pressed while the left one is held is no new press of
    // the pair, though no release woke the program.
    inject.key(kLeftShift, true);
    inject.key(kRightShift, true);
    inject.key(kRightShift, false);
    inject.key(kLeftShift, false);
    inject.key(kLeftShift, true);
    inject.key(kLeftShift, false);
    arrive(6);
    tick();
    EXPECT_EQ(poller.count(16), 2);

    // Shown again: a key held since before reads down, without a new press,
    // and its release wakes the program.
    inject.key(kA, true);
    arrive(1);
    src->setKeysShown(true);
    src->roundTrip();
    src->pump();
    tick();
    EXPECT_EQ(poller.count(65), 2);
    EXPECT_EQ(poller.currentState(65) & kDown, kDown);
    inject.key(kA, false);
    inject.sync();
    EXPECT_TRUE(wakeWithin(2000)) << "no wake for a release";
    arrive(1);
    tick();
    EXPECT_EQ(poller.currentState(65), 0);
}

TEST_F(X11Source, TheChoiceOnXcbIsThisSource) {
    auto choice = pressory::platform::chooseKeySource("xcb");
    ASSERT_NE(choice.source, nullptr);
    EXPECT_NE(dynamic_cast<X11KeySource*>(choice.source.get()), nullptr);
    EXPECT_GE(choice.source->wakeHandle(), 0);
    EXPECT_TRUE(choice.problem.empty());
}

// A Wayland session without readable input devices is counted through
// XWayland (the source's own connection to $DISPLAY, whatever Qt runs on),
// and the person is told what that misses; an X11 session is not.
TEST_F(X11Source, AWaylandSessionWithoutInputDevicesFallsBackToX11WithANotice) {
    const std::string noDevices = "/nonexistent-input-folder";
    auto wayland = [](const char* name) -> const char* {
        if (std::string_view(name) == "DISPLAY") return std::getenv("DISPLAY");
        return std::string_view(name) == "WAYLAND_DISPLAY" ? "wayland-0" : nullptr;
    };
    auto choice = pressory::platform::chooseLinuxKeySource("wayland", noDevices, wayland);
    ASSERT_NE(choice.source, nullptr);
    EXPECT_EQ(choice.source->inUse(), pressory::platform::kXWaylandOnlyInUse);
    EXPECT_GE(choice.source->wakeHandle(), 0);
    EXPECT_EQ(choice.notice, std::string(pressory::platform::kX11OnlyText) + "\n\n" +
                                 std::string(pressory::platform::kWaylandWindowText));
    EXPECT_TRUE(choice.canOfferDevices);
    EXPECT_TRUE(choice.problem.empty());

    auto x11 = [](const char* name) -> const char* {
        if (std::string_view(name) == "DISPLAY") return std::getenv("DISPLAY");
        return std::string_view(name) == "XDG_SESSION_TYPE" ? "x11" : nullptr;
    };
    choice = pressory::platform::chooseLinuxKeySource("xcb", noDevices, x11);
    ASSERT_NE(choice.source, nullptr);
    EXPECT_NE(dynamic_cast<X11KeySource*>(choice.source.get()), nullptr);
    EXPECT_EQ(choice.source->inUse(), "X11");
    EXPECT_TRUE(choice.notice.empty());
    EXPECT_FALSE(choice.canOfferDevices);

    // The display is the one the environment names, not the process's own.
    auto noDisplay = [](const char* name) -> const char* {
        return std::string_view(name) == "XDG_SESSION_TYPE" ? "x11" : nullptr;
    };
    choice = pressory::platform::chooseLinuxKeySource("xcb", noDevices, noDisplay);
    EXPECT_EQ(choice.source, nullptr);
    EXPECT_FALSE(choice.problem.empty());
}

TEST_F(X11Source, APressMakesTheWakeHandleReadableUntilPumped) {
    const int wake = src->wakeHandle();
    ASSERT_GE(wake, 0);
    auto readableWithin = [wake](int ms) {
        pollfd p{wake, POLLIN, 0};
        return poll(&p, 1, ms) == 1 && (p.revents & POLLIN) != 0;
    };
    src->pump();
    EXPECT_FALSE(readableWithin(0));
    inject.key(kA, true);
    inject.sync();
    EXPECT_TRUE(readableWithin(2000)) << "no wake for a press";
    // The pump that follows the wake has the press in the state.
    src->pump();
    EXPECT_EQ(src->eventsSeen(), 1u);
    EXPECT_EQ(src->asyncKeyState(65) & kDown, kDown);
    EXPECT_FALSE(readableWithin(50)) << "nothing more arrived";
    inject.key(kA, false);
    inject.sync();
    EXPECT_TRUE(readableWithin(2000)) << "no wake for a release";
    src->pump();
    EXPECT_EQ(src->eventsSeen(), 2u);
}

TEST(X11SourceOpen, NoServerMeansNoSource) { EXPECT_EQ(X11KeySource::open(":999"), nullptr); }

namespace {

// A second master device (a second pointer and keyboard pair, each with its
// own XTEST device), made and removed while keys are held on it.
int masterPointer(Display* d, const char* name) {
    int n = 0;
    XIDeviceInfo* info = XIQueryDevice(d, XIAllMasterDevices, &n);
    int id = -1;
    for (int i = 0; i < n; ++i)
        if (info[i].use == XIMasterPointer && std::string(info[i].name) == std::string(name) + " pointer")
            id = info[i].deviceid;
    XIFreeDeviceInfo(info);
    return id;
}

}  // namespace

TEST_F(X11Source, KeysHeldOnAMasterDeviceThatIsRemovedAreReleased) {
    Display* d = inject.display();
    char name[] = "pressory-test";
    XIAddMasterInfo add{XIAddMaster, name, True, True};
    ASSERT_EQ(XIChangeHierarchy(d, reinterpret_cast<XIAnyHierarchyChangeInfo*>(&add), 1), Success);
    XSync(d, False);
    const int pointer = masterPointer(d, name);
    ASSERT_GE(pointer, 0);
    // The injector's presses now go through the new master's XTEST devices.
    XISetClientPointer(d, None, pointer);
    inject.key(kA, true);
    inject.button(1, true);
    arrive(2);
    EXPECT_NE(src->asyncKeyState(65), 0);
    EXPECT_NE(src->asyncKeyState(1), 0);

    XIRemoveMasterInfo remove{XIRemoveMaster, pointer, XIFloating, 0, 0};
    ASSERT_EQ(XIChangeHierarchy(d, reinterpret_cast<XIAnyHierarchyChangeInfo*>(&remove), 1), Success);
    XSync(d, False);
    for (int i = 0; i < 500 && src->asyncKeyState(65) != 0; ++i) {
        usleep(1000);
        src->roundTrip();
        src->pump();
    }
    EXPECT_EQ(src->asyncKeyState(65), 0);
    EXPECT_EQ(src->asyncKeyState(1), 0);
    seen = src->eventsSeen();

    // The server's own devices still count.
    inject.tapKey(kA);
    arrive(2);
    EXPECT_EQ(src->asyncKeyState(65), 1);
}

TEST_F(X11Source, EveryPressReachesThePressSinkByItsName) {
    pressory::test::RecordingPressSink sink;
    src->setPressSink(&sink);
    // X keycodes: keypad 1 87, keypad + 86, 変換 100, CapsLock 66 (twice, so
    // that the lock ends as it was), Menu 135, and a key no table names.
    for (int kc : {87, 86, 100, 66, 66, 135, 255}) inject.tapKey(kc);
    // The middle button, the side buttons, two steps down, one up, one right.
    for (int b : {2, 8, 9, 5, 5, 4, 7}) inject.tapButton(b);
    arrive(28);
    // A key held: its press once, however long it is held.
    inject.key(kA, true);
    arrive(1);
    for (int i = 0; i < 3; ++i) {
        inject.key(kA, true);
        inject.sync();
        src->roundTrip();
        src->pump();
    }
    inject.key(kA, false);
    inject.sync();
    src->roundTrip();
    src->pump();

    const std::map<std::string, std::uint32_t> want{
        {"テンキー 1", 1}, {"テンキー +", 1}, {"変換", 1},       {"CapsLock", 2},   {"Menu", 1},
        {"evdev 247", 1},  {"中クリック", 1}, {"戻るボタン", 1}, {"進むボタン", 1}, {"ホイール下", 2},
        {"ホイール上", 1}, {"ホイール右", 1}, {"A", 1},
    };
    EXPECT_EQ(sink.presses, want);
    // The window counts as it did: of these keys only A has a counting cell.
    tick();
    EXPECT_EQ(poller.total(), 1);
}

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "counting/poller.h"
#include "platform/evdev/evdev_key_source.h"
#include "platform/linux/key_source_linux.h"
#include "platform/linux/switching_key_source.h"
#include "support/recording_press_sink.h"
#include "support/temp_folder.h"

using pressory::counting::Poller;
using namespace pressory::platform;
using namespace pressory::platform::evdev;

namespace {

constexpr std::int16_t kDown = static_cast<std::int16_t>(0x8000);

// What an in-memory device holds; the test keeps it after the source has
// dropped the device.
struct FakeState {
    std::deque<input_event> pending;
    KeyStateTable::CodeSet held;
    bool canQuery = true;
    bool gone = false;
    bool keyboard = true;
    bool isVirtual = false;
    int queries = 0;
    std::int64_t nowUs = 0;  // the kernel's time of the next records

    void push(std::uint16_t type, std::uint16_t code, std::int32_t value) {
        input_event ev{};
        ev.input_event_sec = static_cast<decltype(ev.input_event_sec)>(nowUs / 1'000'000);
        ev.input_event_usec = static_cast<decltype(ev.input_event_usec)>(nowUs % 1'000'000);
        ev.type = type;
        ev.code = code;
        ev.value = value;
        pending.push_back(ev);
        if (type == EV_KEY && value == 1) held.set(code);
        if (type == EV_KEY && value == 0) held.reset(code);
    }
    void key(std::uint16_t code, std::int32_t value) {
        push(EV_KEY, code, value);
        push(EV_SYN, SYN_REPORT, 0);
    }
};

class FakeDevice final : public InputDevice {
public:
    explicit FakeDevice(std::shared_ptr<FakeState> s) : s_(std::move(s)) {}
    ReadResult read(std::span<input_event> out) override {
        if (s_->pending.empty()) return {s_->gone ? ReadResult::Status::Gone : ReadResult::Status::Empty, 0};
        std::size_t n = 0;
        while (n < out.size() && !s_->pending.empty()) {
            out[n++] = s_->pending.front();
            s_->pending.pop_front();
        }
        return {ReadResult::Status::Records, n};
    }
    bool queryKeys(KeyStateTable::CodeSet& down) override {
        ++s_->queries;
        if (!s_->canQuery) return false;
        down = s_->held;
        return true;
    }
    bool isKeyboard() const override { return s_->keyboard; }
    bool isVirtual() const override { return s_->isVirtual; }

private:
    std::shared_ptr<FakeState> s_;
};

std::shared_ptr<FakeState> addFake(EvdevKeySource& src, const std::string& path, bool isVirtual = false) {
    auto s = std::make_shared<FakeState>();
    s->isVirtual = isVirtual;
    src.addDevice(path, std::make_unique<FakeDevice>(s));
    return s;
}

struct Keys : pressory::counting::KeyStateSource {
    explicit Keys(EvdevKeySource& s) : src(s) {}
    std::int16_t asyncKeyState(int vk) override { return src.asyncKeyState(vk); }
    EvdevKeySource& src;
};

// A folder standing in for /dev/input.
class TempDir {
public:
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    pressory::test::TempFolder folder_{"pressory-input-"};
    std::string path_ = folder_.path().string();
};

void touch(const std::string& path) { std::ofstream(path) << ""; }

class EvdevSourceTest : public ::testing::Test {
protected:
    void SetUp() override { poller.fillPolledFlags(); }
    void tick() {
        src.pump();
        Keys k(src);
        poller.tick(k, nullptr);
    }
    EvdevKeySource src{"", {}};
    Poller poller;
};

}  // namespace

TEST_F(EvdevSourceTest, TwoKeyboardsAreMergedAndOneKeyOnBothIsOnePress) {
    auto a = addFake(src, "/dev/input/event0");
    auto b = addFake(src, "/dev/input/event1");
    EXPECT_EQ(src.deviceCount(), 2u);
    a->key(KEY_A, 1);
    b->key(KEY_B, 1);
    tick();
    EXPECT_EQ(poller.count(65), 1);
    EXPECT_EQ(poller.count(66), 1);

    b->key(KEY_A, 1);  // the same key on the other keyboard
    a->key(KEY_A, 0);
    tick();
    EXPECT_EQ(src.asyncKeyState(65), kDown);
    b->key(KEY_A, 0);
    b->key(KEY_B, 0);
    tick();
    EXPECT_EQ(src.asyncKeyState(65), 0);
    EXPECT_EQ(poller.count(65), 1);
    EXPECT_EQ(poller.total(), 2);

    // Pressed on both within one tick: still one press.
    a->key(KEY_C, 1);
    b->key(KEY_C, 1);
    a->key(KEY_C, 0);
    b->key(KEY_C, 0);
    tick();
    tick();
    EXPECT_EQ(poller.count(67), 1);
}

TEST_F(EvdevSourceTest, ARemappersPressAndTheKeyboardsAreOnePressTwoKeyboardsAreTwo) {
    auto keyboard = addFake(src, "/dev/input/event0");
    auto remapper = addFake(src, "/dev/input/event9", true);  // keyd's virtual keyboard
    auto tap = [](FakeState& d, std::uint16_t code, std::int64_t atUs) {
        d.nowUs = atUs;
        d.key(code, 1);
        d.key(code, 0);
    };
    // Read with the number of presses, as the program reads.
    auto tick = [this] {
        src.pump();
        poller.tick(src, nullptr);
    };
    // Not grabbed: each press arrives from both, the remapper's a moment
    // later, in the same tick or the next.
    tap(*keyboard, KEY_A, 1'000'000);
    tap(*remapper, KEY_A, 1'001'000);
    tick();
    tap(*keyboard, KEY_A, 1'100'000);
    tick();
    tap(*remapper, KEY_A, 1'102'000);
    tick();
    EXPECT_EQ(poller.count(65), 2);
    // A tap-or-hold key: the remapper sends it at the release, later, and
    // the devices are read in whichever order.
    tap(*remapper, KEY_ESC, 2'200'000);
    tap(*keyboard, KEY_ESC, 2'000'000);
    tick();
    EXPECT_EQ(poller.count(27), 1);

    // Grabbed: only the remapper's presses arrive, and each counts.
    tap(*remapper, KEY_B, 3'000'000);
    tap(*remapper, KEY_B, 3'050'000);
    tick();
    EXPECT_EQ(poller.count(66), 2);

    // Two physical keyboards: the same key at different times is two presses.
    auto second = addFake(src, "/dev/input/event1");
    tap(*keyboard, KEY_C, 4'000'000);
    tap(*second, KEY_C, 4'010'000);
    tick();
    EXPECT_EQ(poller.count(67), 2);
    // The same key on the keyboard and the remapper seconds apart: two presses.
    tap(*keyboard, KEY_D, 5'000'000);
    tap(*remapper, KEY_D, 6'000'000);
    tick();
    EXPECT_EQ(poller.count(68), 2);
}

TEST_F(EvdevSourceTest, AKeyboardPluggedInIsCountedFromItsFirstPress) {
    TempDir dir;
    std::map<std::string, std::shared_ptr<FakeState>> devices;
    EvdevKeySource watched(dir.path(), [&](const std::string& path) -> std::unique_ptr<InputDevice> {
        auto s = std::make_shared<FakeState>();
        devices[path] = s;
        return std::make_unique<FakeDevice>(s);
    });
    touch(dir / "event5");
    watched.pump();  // the watch opens it
    ASSERT_EQ(devices.size(), 1u);
    devices[dir / "event5"]->key(KEY_Q, 1);
    devices[dir / "event5"]->key(KEY_Q, 0);
    watched.pump();
    poller.tick(watched, nullptr);
    EXPECT_EQ(poller.count(81), 1);
}

TEST_F(EvdevSourceTest, ADeviceThatGoesAwayReleasesItsKeys) {
    auto a = addFake(src, "/dev/input/event0");
    auto b = addFake(src, "/dev/input/event1");
    a->key(KEY_A, 1);
    a->key(KEY_RIGHTSHIFT, 1);
    b->key(KEY_B, 1);
    tick();
    a->gone = true;
    tick();
    EXPECT_EQ(src.deviceCount(), 1u);
    EXPECT_EQ(src.asyncKeyState(65), 0);
    EXPECT_EQ(src.asyncKeyState(16), 0);
    EXPECT_EQ(src.asyncKeyState(66), kDown) << "the other device still holds B";
    EXPECT_EQ(poller.cellColour(65), pressory::counting::colour::kUp);
}

TEST_F(EvdevSourceTest, RecordsReadBeforeTheDeviceWentAwayStillCount) {
    auto a = addFake(src, "/dev/input/event0");
    a->key(KEY_A, 1);
    a->key(KEY_A, 0);
    a->key(KEY_B, 1);
    a->gone = true;
    tick();
    tick();
    EXPECT_EQ(src.deviceCount(), 0u);
    EXPECT_EQ(poller.count(65), 1);
    EXPECT_EQ(poller.count(66), 1);
    EXPECT_EQ(poller.currentState(66), 0) << "released with its device";
}

TEST_F(EvdevSourceTest, AutoRepeatIsNotAPressNorARelease) {
    auto a = addFake(src, "/dev/input/event0");
    a->key(KEY_A, 1);
    tick();
    for (int i = 0; i < 5; ++i) {
        a->key(KEY_A, 2);
        tick();
        EXPECT_EQ(poller.currentState(65), kDown) << "held through the repeats";
    }
    a->key(KEY_A, 0);
    a->key(KEY_A, 2);  // a repeat that arrives late changes nothing
    tick();
    EXPECT_EQ(poller.currentState(65), 0);
    EXPECT_EQ(poller.count(65), 1);
}

TEST_F(EvdevSourceTest, ATapShorterThanATickIsCountedOnce) {
    auto a = addFake(src, "/dev/input/event0");
    a->key(KEY_SPACE, 1);
    a->key(KEY_SPACE, 0);
    tick();
    EXPECT_EQ(poller.count(32), 1);
    EXPECT_NE(poller.currentState(32), 0);
    tick();
    EXPECT_EQ(poller.currentState(32), 0);
    EXPECT_EQ(poller.count(32), 1);
}

TEST_F(EvdevSourceTest, RightShiftIsTheGenericShiftAndNotTheLeft) {
    auto a = addFake(src, "/dev/input/event0");
    a->key(KEY_RIGHTSHIFT, 1);
    src.pump();
    EXPECT_NE(src.asyncKeyState(16), 0);
    EXPECT_NE(src.asyncKeyState(161), 0);
    EXPECT_EQ(src.asyncKeyState(160), 0);
    a->key(KEY_RIGHTSHIFT, 0);
    a->key(KEY_RIGHTALT, 1);
    a->key(KEY_RIGHTCTRL, 1);
    src.pump();
    EXPECT_EQ(src.asyncKeyState(16), 0);
    EXPECT_NE(src.asyncKeyState(18), 0);
    EXPECT_NE(src.asyncKeyState(17), 0);
}

TEST_F(EvdevSourceTest, MouseButtonsAndKeysHeldWhenTheDeviceIsAdded) {
    auto state = std::make_shared<FakeState>();
    state->keyboard = false;
    state->held.set(BTN_LEFT);
    src.addDevice("/dev/input/event5", std::make_unique<FakeDevice>(state));
    EXPECT_FALSE(src.hasKeyboard());
    tick();
    EXPECT_EQ(poller.count(1), 1) << "the button that was down at the start";
    state->key(BTN_LEFT, 0);
    state->key(BTN_RIGHT, 1);
    state->key(BTN_MIDDLE, 1);
    tick();
    EXPECT_EQ(poller.count(2), 1);
    EXPECT_EQ(src.asyncKeyState(4), kDown | 1);
    EXPECT_EQ(src.asyncKeyState(1), 0);
}

TEST_F(EvdevSourceTest, LostRecordsAreSkippedAndTheDeviceAskedWhatItHolds) {
    auto a = addFake(src, "/dev/input/event0");
    a->key(KEY_A, 1);
    a->key(KEY_B, 1);
    src.pump();
    EXPECT_TRUE(src.asyncKeyState(65) != 0 && src.asyncKeyState(66) != 0);

    // The kernel's buffer overflowed: B went up and C down meanwhile, and
    // what arrives up to the next report is incomplete.
    a->push(EV_SYN, SYN_DROPPED, 0);
    a->push(EV_KEY, KEY_A, 0);  // incomplete: A is still down, see below
    a->held.set(KEY_A);
    a->held.reset(KEY_B);
    a->held.set(KEY_C);
    a->push(EV_SYN, SYN_REPORT, 0);
    const int before = a->queries;
    src.pump();
    EXPECT_EQ(a->queries, before + 1);
    EXPECT_EQ(src.asyncKeyState(65), kDown);
    EXPECT_EQ(src.asyncKeyState(66), 0);
    EXPECT_EQ(src.asyncKeyState(67), kDown | 1);

    // A device that cannot tell keeps nothing held.
    a->canQuery = false;
    a->push(EV_SYN, SYN_DROPPED, 0);
    a->push(EV_SYN, SYN_REPORT, 0);
    src.pump();
    EXPECT_EQ(src.asyncKeyState(65), 0);
    EXPECT_EQ(src.asyncKeyState(67), 0);
}

TEST(EvdevFdDevice, RecordsThroughAPipeAndItsEndAsTheDeviceGoingAway) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    EvdevKeySource src("", {});
    src.addDevice("pipe", std::make_unique<FdInputDevice>(fds[0], true));
    EXPECT_TRUE(src.hasKeyboard());
    src.pump();  // nothing yet: the device stays
    EXPECT_EQ(src.deviceCount(), 1u);

    auto write = [&](const void* p, std::size_t n) { ASSERT_EQ(::write(fds[1], p, n), static_cast<ssize_t>(n)); };
    input_event ev[4]{};
    ev[0].type = EV_KEY;
    ev[0].code = KEY_Q;
    ev[0].value = 1;
    ev[1].type = EV_SYN;
    ev[1].code = SYN_REPORT;
    ev[2].type = EV_KEY;
    ev[2].code = KEY_W;
    ev[2].value = 1;
    ev[3].type = EV_SYN;
    ev[3].code = SYN_REPORT;
    // The second press arrives in two pieces.
    const auto* bytes = reinterpret_cast<const char*>(ev);
    write(bytes, sizeof(input_event) * 2 + 5);
    src.pump();
    EXPECT_NE(src.asyncKeyState(81), 0);
    EXPECT_EQ(src.asyncKeyState(87), 0);
    write(bytes + sizeof(input_event) * 2 + 5, sizeof(input_event) * 2 - 5);
    src.pump();
    EXPECT_NE(src.asyncKeyState(87), 0);

    ::close(fds[1]);
    src.pump();
    EXPECT_EQ(src.deviceCount(), 0u);
    EXPECT_EQ(src.asyncKeyState(81), 0);
    EXPECT_EQ(src.asyncKeyState(87), 0);
}

namespace {

bool readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 0) == 1 && (p.revents & POLLIN) != 0;
}

void writeRecord(int fd, std::uint16_t type, std::uint16_t code, std::int32_t value) {
    input_event ev{};
    ev.type = type;
    ev.code = code;
    ev.value = value;
    ASSERT_EQ(::write(fd, &ev, sizeof ev), static_cast<ssize_t>(sizeof ev));
}

}  // namespace

TEST(EvdevWake, OneHandleWakesForEveryDeviceUntilPumpHasReadIt) {
    int a[2], b[2];
    ASSERT_EQ(pipe(a), 0);
    ASSERT_EQ(pipe(b), 0);
    EvdevKeySource src("", {});
    src.addDevice("a", std::make_unique<FdInputDevice>(a[0], true));
    src.addDevice("b", std::make_unique<FdInputDevice>(b[0], false));
    const int wake = src.wakeHandle();
    ASSERT_GE(wake, 0);
    EXPECT_FALSE(readable(wake));

    writeRecord(b[1], EV_KEY, BTN_LEFT, 1);
    EXPECT_TRUE(readable(wake)) << "the second device wakes the source";
    EXPECT_TRUE(readable(wake)) << "and stays readable until pumped";
    src.pump();
    EXPECT_FALSE(readable(wake));
    EXPECT_NE(src.asyncKeyState(1), 0);

    // Half a record is read and kept; the rest wakes the source again.
    input_event ev{};
    ev.type = EV_KEY;
    ev.code = KEY_Q;
    ev.value = 1;
    const auto* bytes = reinterpret_cast<const char*>(&ev);
    ASSERT_EQ(::write(a[1], bytes, 5), 5);
    EXPECT_TRUE(readable(wake));
    src.pump();
    EXPECT_FALSE(readable(wake));
    ASSERT_EQ(::write(a[1], bytes + 5, sizeof ev - 5), static_cast<ssize_t>(sizeof ev - 5));
    EXPECT_TRUE(readable(wake));
    src.pump();
    EXPECT_NE(src.asyncKeyState(81), 0);
    EXPECT_EQ(src.wakeHandle(), wake) << "the same handle throughout";

    // A device that goes away wakes the source once: after the pump that
    // drops it, its hang-up no longer does.
    ::close(a[1]);
    EXPECT_TRUE(readable(wake));
    src.pump();
    EXPECT_EQ(src.deviceCount(), 1u);
    EXPECT_EQ(src.asyncKeyState(81), 0);
    EXPECT_FALSE(readable(wake));

    writeRecord(b[1], EV_KEY, BTN_LEFT, 0);
    EXPECT_TRUE(readable(wake)) << "the device that stays still wakes it";
    src.pump();
    EXPECT_FALSE(readable(wake));
    ::close(b[1]);
}

TEST(EvdevWake, ADeviceWithoutAHandleLeavesOnlyPolling) {
    EvdevKeySource src("", {});
    EXPECT_GE(src.wakeHandle(), 0);
    addFake(src, "/dev/input/event0");
    EXPECT_EQ(src.wakeHandle(), -1);
}

TEST(EvdevFdDevice, OpenRefusesWhatIsNotAnInputDevice) {
    int error = -1;
    EXPECT_EQ(FdInputDevice::open("/nonexistent/event0", &error), nullptr);
    EXPECT_EQ(error, ENOENT);
    const auto file = std::filesystem::temp_directory_path() / ("pressory-evdev-" + std::to_string(getpid()));
    std::ofstream(file) << "not a device";
    EXPECT_EQ(FdInputDevice::open(file.string(), &error), nullptr);
    EXPECT_EQ(error, 0);
    std::filesystem::remove(file);
}

TEST(EvdevHotplug, DevicesThatAppearAreReadAndDevicesRemovedAreDropped) {
    TempDir dir;
    std::map<std::string, std::shared_ptr<FakeState>> devices;
    std::map<std::string, bool> readable;
    int opens = 0;
    auto opener = [&](const std::string& path) -> std::unique_ptr<InputDevice> {
        ++opens;
        if (!readable[path]) return nullptr;
        auto s = std::make_shared<FakeState>();
        devices[path] = s;
        return std::make_unique<FakeDevice>(s);
    };
    readable[dir / "event0"] = true;
    touch(dir / "event0");
    touch(dir / "mouse0");  // not an event node: never opened
    EvdevKeySource src(dir.path(), opener);
    ASSERT_TRUE(src.watching());
    EXPECT_EQ(src.deviceCount(), 1u);
    EXPECT_EQ(opens, 1);

    // A keyboard plugged in later, its node readable at once.
    readable[dir / "event3"] = true;
    touch(dir / "event3");
    src.pump();
    ASSERT_EQ(src.deviceCount(), 2u);
    devices[dir / "event3"]->key(KEY_Z, 1);
    src.pump();
    EXPECT_NE(src.asyncKeyState(90), 0);

    // A node that becomes readable only when its permissions change.
    touch(dir / "event4");
    src.pump();
    EXPECT_EQ(src.deviceCount(), 2u);
    readable[dir / "event4"] = true;
    chmod((dir / "event4").c_str(), 0640);
    src.pump();
    EXPECT_EQ(src.deviceCount(), 3u);
    chmod((dir / "event4").c_str(), 0600);  // already open: not opened twice
    src.pump();
    EXPECT_EQ(src.deviceCount(), 3u);

    // Unplugged while Z is held: Z goes up.
    std::filesystem::remove(dir / "event3");
    src.pump();
    EXPECT_EQ(src.deviceCount(), 2u);
    EXPECT_EQ(src.asyncKeyState(90), 0);
}

TEST(EvdevHotplug, ADeviceAppearingWakesTheSourceAndItsRecordsDoToo) {
    TempDir dir;
    std::map<std::string, std::array<int, 2>> pipes;
    auto opener = [&](const std::string& path) -> std::unique_ptr<InputDevice> {
        std::array<int, 2> fds{};
        if (pipe(fds.data()) != 0) return nullptr;
        pipes[path] = fds;
        return std::make_unique<FdInputDevice>(fds[0], true);
    };
    EvdevKeySource src(dir.path(), opener);
    ASSERT_TRUE(src.watching());
    const int wake = src.wakeHandle();
    ASSERT_GE(wake, 0);
    EXPECT_FALSE(readable(wake));

    touch(dir / "event2");
    EXPECT_TRUE(readable(wake)) << "the folder watch wakes the source";
    src.pump();
    ASSERT_EQ(src.deviceCount(), 1u);
    EXPECT_FALSE(readable(wake));

    const int writer = pipes[dir / "event2"][1];
    writeRecord(writer, EV_KEY, KEY_Z, 1);
    EXPECT_TRUE(readable(wake)) << "a device opened later wakes it too";
    src.pump();
    EXPECT_NE(src.asyncKeyState(90), 0);
    EXPECT_FALSE(readable(wake));

    std::filesystem::remove(dir / "event2");
    EXPECT_TRUE(readable(wake));
    src.pump();
    EXPECT_EQ(src.deviceCount(), 0u);
    EXPECT_FALSE(readable(wake)) << "a dropped device wakes nothing";
    ::close(writer);
}

TEST(KeySourceChoice, NoReadableKeyboardMeansAReasonForTheUserAndTheDevicesWatched) {
    TempDir dir;
    const auto choice = chooseLinuxKeySource("wayland", dir.path(), [](const char*) -> const char* { return nullptr; });
    EXPECT_EQ(choice.problem, std::string(kNoKeyStateText) + "\n\n" + std::string(kWaylandWindowText));
    EXPECT_TRUE(choice.canOfferDevices);
    // Nothing counts yet; the folder stays watched, so that keyboards made
    // readable later count without a restart.
    ASSERT_NE(choice.source, nullptr);
    EXPECT_EQ(choice.source->inUse(), "evdev (入力デバイス 0 台)");
}

namespace {

EnvironmentLookup env(std::vector<std::pair<const char*, const char*>> vars) {
    return [vars = std::move(vars)](const char* name) -> const char* {
        for (const auto& [k, v] : vars)
            if (std::string_view(k) == name) return v;
        return nullptr;
    };
}

}  // namespace

TEST(KeySourceChoice, AWaylandSessionIsToldByItsEnvironment) {
    EXPECT_TRUE(isWaylandSession(env({{"XDG_SESSION_TYPE", "wayland"}})));
    EXPECT_TRUE(isWaylandSession(env({{"WAYLAND_DISPLAY", "wayland-0"}})));
    EXPECT_TRUE(isWaylandSession(env({{"XDG_SESSION_TYPE", "x11"}, {"WAYLAND_DISPLAY", "wayland-0"}})));
    EXPECT_FALSE(isWaylandSession(env({{"XDG_SESSION_TYPE", "x11"}, {"DISPLAY", ":0"}})));
    EXPECT_FALSE(isWaylandSession(env({{"XDG_SESSION_TYPE", "tty"}, {"WAYLAND_DISPLAY", ""}})));
    EXPECT_FALSE(isWaylandSession(env({})));
}

TEST(KeySourceChoice, AWaylandSessionTriesTheInputDevicesFirst) {
    using K = LinuxKeySourceKind;
    EXPECT_EQ(linuxKeySourceOrder(true), (std::vector<K>{K::Evdev, K::X11}));
    EXPECT_EQ(linuxKeySourceOrder(false), (std::vector<K>{K::X11, K::Evdev}));
}

TEST(KeySourceChoice, InAWaylandSessionTheWindowGoesToXWaylandUnlessThePersonChose) {
    EXPECT_EQ(
        windowPlatformFor(env({{"XDG_SESSION_TYPE", "wayland"}, {"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}})),
        "xcb;wayland");
    EXPECT_EQ(windowPlatformFor(env({{"WAYLAND_DISPLAY", "wayland-1"}, {"DISPLAY", ":1"}})), "xcb;wayland");
    // Chosen by the person, even as empty.
    EXPECT_EQ(windowPlatformFor(env({{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}, {"QT_QPA_PLATFORM", ""}})),
              "");
    EXPECT_EQ(
        windowPlatformFor(env({{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}, {"QT_QPA_PLATFORM", "wayland"}})),
        "");
    // No X server: Qt's own choice (Wayland).
    EXPECT_EQ(windowPlatformFor(env({{"XDG_SESSION_TYPE", "wayland"}, {"WAYLAND_DISPLAY", "wayland-0"}})), "");
    EXPECT_EQ(windowPlatformFor(env({{"XDG_SESSION_TYPE", "wayland"}, {"DISPLAY", ""}})), "");
    // An X11 session is left alone.
    EXPECT_EQ(windowPlatformFor(env({{"XDG_SESSION_TYPE", "x11"}, {"DISPLAY", ":0"}})), "");
}

TEST(KeySourceChoice, TheAdviceOffersTheHelperWhenThereIsOneAndTheGroupOtherwise) {
    const std::string offer = accessAdvice("/usr/libexec/pressory/pressory-input-access");
    EXPECT_NE(offer.find("pkexec /usr/libexec/pressory/pressory-input-access disable"), std::string::npos)
        << "how to undo it";
    EXPECT_NE(offer.find("X11 のプログラム"), std::string::npos) << "what it allows, compared with X11";
    EXPECT_EQ(offer.find("usermod"), std::string::npos);
    const std::string group = accessAdvice("");
    EXPECT_EQ(group, kInputGroupAdvice);
    EXPECT_NE(group.find("sudo usermod -aG input $USER"), std::string::npos);
}

namespace {

// A fallback source read through a pipe end as its wake handle: a key set
// down, a tap, and what inUse() says.
struct FallbackKeys final : PlatformKeySource {
    FallbackKeys() {
        if (pipe2(fds.data(), O_NONBLOCK) != 0) fds = {-1, -1};
    }
    ~FallbackKeys() override {
        ::close(fds[0]);
        ::close(fds[1]);
    }
    int wakeHandle() const override { return fds[0]; }
    void pump() override {
        char buf[16];
        while (::read(fds[0], buf, sizeof buf) > 0) {
        }
        ++*pumps;
    }
    std::int16_t asyncKeyState(int vk) override { return readKey(vk).state; }
    pressory::counting::KeyReading readKey(int vk) override {
        const std::int32_t n = taps[static_cast<std::size_t>(vk)];
        taps[static_cast<std::size_t>(vk)] = 0;
        return {static_cast<std::int16_t>(n > 0 ? 1 : 0), n};
    }
    void tap(int vk) {
        ++taps[static_cast<std::size_t>(vk)];
        (void)!::write(fds[1], "x", 1);
    }
    std::array<int, 2> fds{};
    std::array<std::int32_t, 256> taps{};
    std::shared_ptr<int> pumps = std::make_shared<int>(0);  // outlives the source
};

}  // namespace

TEST(SwitchingKeySource, CountsThroughTheFallbackUntilAKeyboardCanBeReadThenThroughTheDevices) {
    TempDir dir;
    std::map<std::string, std::shared_ptr<FakeState>> devices;
    bool allowed = false;
    auto opener = [&](const std::string& path) -> std::unique_ptr<InputDevice> {
        if (!allowed) return nullptr;
        auto s = std::make_shared<FakeState>();
        devices[path] = s;
        return std::make_unique<FakeDevice>(s);
    };
    touch(dir / "event0");
    auto fallback = std::make_unique<FallbackKeys>();
    FallbackKeys& x = *fallback;  // until the switch
    const std::shared_ptr<int> fallbackPumps = fallback->pumps;
    SwitchingKeySource src(std::move(fallback), "X11 (XWayland)", std::make_unique<EvdevKeySource>(dir.path(), opener));
    Poller poller;
    poller.fillPolledFlags();
    auto tick = [&] {
        src.pump();
        poller.tick(src, nullptr);
    };
    EXPECT_EQ(src.inUse(), "X11 (XWayland)");
    const int wake = src.wakeHandle();
    ASSERT_GE(wake, 0);
    x.tap(65);
    EXPECT_TRUE(readable(wake)) << "the fallback wakes the program";
    tick();
    EXPECT_EQ(poller.count(65), 1);

    // Access given: the node's permissions change, the watch wakes the
    // program, and the devices count from then on. A tap the fallback had
    // read but not handed over still counts, once.
    allowed = true;
    chmod((dir / "event0").c_str(), 0640);
    x.tap(66);
    EXPECT_TRUE(readable(wake));
    tick();
    EXPECT_TRUE(src.switched());
    EXPECT_EQ(src.inUse(), "evdev (入力デバイス 1 台)");
    EXPECT_EQ(poller.count(66), 1);
    const int pumpsBefore = *fallbackPumps;
    ASSERT_EQ(devices.size(), 1u);
    auto& kb = devices.begin()->second;
    kb->key(KEY_A, 1);
    kb->key(KEY_A, 0);
    tick();
    EXPECT_EQ(poller.count(65), 2);
    EXPECT_EQ(*fallbackPumps, pumpsBefore) << "the fallback is no longer read";
    EXPECT_FALSE(readable(wake));
}

TEST_F(EvdevSourceTest, EveryPressAndWheelStepReachesThePressSinkByItsName) {
    pressory::test::RecordingPressSink sink;
    src.setPressSink(&sink);
    auto keyboard = addFake(src, "/dev/input/event0");
    auto mouse = addFake(src, "/dev/input/event1");
    mouse->keyboard = false;
    for (int code : {KEY_KP1, KEY_KPENTER, KEY_HENKAN, KEY_CAPSLOCK, KEY_COMPOSE, KEY_ZENKAKUHANKAKU}) {
        keyboard->key(static_cast<std::uint16_t>(code), 1);
        keyboard->key(static_cast<std::uint16_t>(code), 0);
    }
    keyboard->key(KEY_A, 1);
    for (int i = 0; i < 3; ++i) keyboard->key(KEY_A, 2);
    keyboard->key(KEY_A, 0);
    for (int code : {BTN_MIDDLE, BTN_SIDE, BTN_EXTRA}) {
        mouse->key(static_cast<std::uint16_t>(code), 1);
        mouse->key(static_cast<std::uint16_t>(code), 0);
    }
    mouse->push(EV_REL, REL_WHEEL, -2);
    mouse->push(EV_REL, REL_WHEEL_HI_RES, -240);
    mouse->push(EV_REL, REL_HWHEEL, 1);
    mouse->push(EV_REL, REL_WHEEL, 1);
    mouse->push(EV_REL, REL_X, 5);
    mouse->push(EV_SYN, SYN_REPORT, 0);
    // A touchpad's touch is no press.
    mouse->key(BTN_TOUCH, 1);
    mouse->key(BTN_TOUCH, 0);
    tick();

    const std::map<std::string, std::uint32_t> want{
        {"テンキー 1", 1}, {"テンキー Enter", 1}, {"変換", 1},       {"CapsLock", 1},
        {"Menu", 1},       {"半角/全角", 1},      {"A", 1},          {"中クリック", 1},
        {"戻るボタン", 1}, {"進むボタン", 1},     {"ホイール下", 2}, {"ホイール右", 1},
        {"ホイール上", 1},
    };
    EXPECT_EQ(sink.presses, want);
    // The window counts as it did: A, and the keypad's Enter as Enter.
    EXPECT_EQ(poller.count(65), 1);
    EXPECT_EQ(poller.count(13), 1);
    EXPECT_EQ(poller.total(), 2);
}

#include <gtest/gtest.h>

#include "counting/poller.h"
#include "platform/linux/key_state_table.h"

using pressory::counting::Poller;
using pressory::platform::KeyStateTable;

namespace {

constexpr int kA = 30;           // input code of A (VK 65)
constexpr int kB = 48;           // B (VK 66)
constexpr int kLeftShift = 42;   // VK 160
constexpr int kRightShift = 54;  // VK 161
constexpr std::int16_t kDown = static_cast<std::int16_t>(0x8000);
constexpr std::int16_t kDownAndPressed = static_cast<std::int16_t>(0x8001);

class Table : public KeyStateTable, public pressory::counting::KeyStateSource {
public:
    std::int16_t asyncKeyState(int vk) override { return read(vk); }
    pressory::counting::KeyReading readKey(int vk) override { return take(vk); }
};

}  // namespace

TEST(KeyStateTable, ATapBetweenTwoReadingsReadsOnceAndAHeldKeyUntilReleased) {
    KeyStateTable t;
    EXPECT_EQ(t.read(65), 0);
    t.press(1, kA);
    t.release(1, kA);
    EXPECT_EQ(t.read(65), 1);
    EXPECT_EQ(t.read(65), 0);

    t.press(1, kA);
    EXPECT_EQ(t.read(65), kDownAndPressed);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(t.read(65), kDown);
    t.release(1, kA);
    EXPECT_EQ(t.read(65), 0);
    // The latch belongs to one code: reading another does not clear it.
    t.press(1, kA);
    t.release(1, kA);
    EXPECT_EQ(t.read(66), 0);
    EXPECT_EQ(t.read(65), 1);
}

TEST(KeyStateTable, OneKeyOnTwoDevicesIsOnePressAndDownWhileEitherHoldsIt) {
    KeyStateTable t;
    t.press(1, kA);
    EXPECT_NE(t.read(65), 0);
    t.press(2, kA);  // already down: no new press
    t.release(1, kA);
    EXPECT_EQ(t.read(65), kDown) << "still held on the second device";
    t.release(2, kA);
    EXPECT_EQ(t.read(65), 0);

    // Held at a reading, pressed on the other device and let go on both
    // before the next one: the key was never up in between, so the next
    // reading says up, and a tap after it is a press of its own.
    t.press(1, kA);
    EXPECT_NE(t.read(65), 0);
    t.press(2, kA);
    t.release(1, kA);
    t.release(2, kA);
    EXPECT_EQ(t.read(65), 0);
    t.press(2, kA);
    t.release(2, kA);
    EXPECT_EQ(t.read(65), 1);
}

TEST(KeyStateTable, RepeatedAndStrayEventsChangeNothing) {
    KeyStateTable t;
    t.press(1, kA);
    t.press(1, kA);
    t.release(1, kA);
    EXPECT_EQ(t.read(65), 1) << "one release ends a press reported twice";
    t.release(1, kA);
    t.release(3, kB);  // never pressed
    EXPECT_EQ(t.read(65), 0);
    EXPECT_EQ(t.read(66), 0);
    t.press(1, 0x14a);  // a code without a key
    t.press(1, -5);
    t.press(1, 5000);
    for (int vk = 0; vk <= 255; ++vk) EXPECT_EQ(t.read(vk), 0) << vk;
    EXPECT_EQ(t.read(-1), 0);
    EXPECT_EQ(t.read(256), 0);
}

TEST(KeyStateTable, GenericModifierFollowsEitherSide) {
    KeyStateTable t;
    t.press(1, kRightShift);
    EXPECT_NE(t.read(16), 0);
    EXPECT_NE(t.read(161), 0);
    EXPECT_EQ(t.read(160), 0);
    t.press(1, kLeftShift);
    t.release(1, kRightShift);
    EXPECT_EQ(t.read(16), kDown) << "left Shift still holds the generic code";
    EXPECT_EQ(t.read(161), 0);
    t.release(1, kLeftShift);
    EXPECT_EQ(t.read(16), 0);

    // Left let go and right tapped between readings: the generic code went
    // up and down again, so it reads as pressed.
    t.press(1, kLeftShift);
    EXPECT_NE(t.read(16), 0);
    t.release(1, kLeftShift);
    t.press(1, kRightShift);
    t.release(1, kRightShift);
    EXPECT_EQ(t.read(16), 1);
    EXPECT_EQ(t.read(16), 0);
}

TEST(KeyStateTable, ADeviceThatGoesAwayReleasesItsKeysOnly) {
    KeyStateTable t;
    t.press(1, kA);
    t.press(1, kRightShift);
    t.press(2, kA);
    t.press(2, kB);
    t.releaseDevice(2);
    EXPECT_TRUE(t.isDown(65));
    EXPECT_FALSE(t.isDown(66));
    t.releaseDevice(1);
    EXPECT_FALSE(t.isDown(65));
    EXPECT_FALSE(t.isDown(16));
    EXPECT_FALSE(t.isDown(161));
    t.releaseDevice(7);  // unknown: nothing happens
}

TEST(KeyStateTable, SyncMakesTheDeviceHoldExactlyWhatItReports) {
    KeyStateTable t;
    t.press(1, kA);
    t.press(2, kB);
    KeyStateTable::CodeSet now;
    now.set(kRightShift);
    t.syncDevice(1, now);
    EXPECT_FALSE(t.isDown(65));
    EXPECT_TRUE(t.isDown(66)) << "another device's key is untouched";
    EXPECT_TRUE(t.isDownOn(1, kRightShift));
    EXPECT_NE(t.read(16), 0);
    t.syncDevice(1, now);  // nothing changed: no new press
    EXPECT_EQ(t.read(16), kDown);
}

TEST(KeyStateTable, KeysHeldAtTheStartBelongToWhicheverDeviceReleasesThem) {
    KeyStateTable t;
    t.seed(kA);
    t.seed(kB);
    EXPECT_EQ(t.read(65), kDownAndPressed);
    t.release(9, kA);
    EXPECT_FALSE(t.isDown(65));

    // The press that was queued while the state was asked for is the same press.
    t.press(4, kB);
    EXPECT_EQ(t.read(66), kDownAndPressed) << "down, and pressed only once";
    t.release(4, kB);
    EXPECT_FALSE(t.isDown(66)) << "no unknown holder is left behind";

    // A key already known to be down is not seeded again.
    t.press(4, kA);
    t.seed(kA);
    t.release(4, kA);
    EXPECT_FALSE(t.isDown(65));
}

TEST(KeyStateTable, TrimReleasesOnlyUnknownKeysThatAreUpNow) {
    KeyStateTable t;
    t.seed(kA);
    t.seed(kB);
    t.press(3, kRightShift);
    KeyStateTable::CodeSet now;
    now.set(kB);
    t.trimUnknown(now);
    EXPECT_FALSE(t.isDown(65));
    EXPECT_TRUE(t.isDown(66));
    EXPECT_TRUE(t.isDown(161)) << "a key whose holder is known stays";
}

TEST(KeyStateTable, PollerCountsEachPressOnceThroughTheTable) {
    Table t;
    Poller p;
    p.fillPolledFlags();
    t.press(1, kA);  // held over ticks
    for (int i = 0; i < 3; ++i) p.tick(t, nullptr);
    t.press(2, kA);  // second device, same key
    t.release(1, kA);
    p.tick(t, nullptr);
    t.release(2, kA);
    p.tick(t, nullptr);
    t.press(1, kB);  // taps within one tick
    t.release(1, kB);
    t.press(1, kRightShift);
    t.release(1, kRightShift);
    p.tick(t, nullptr);
    p.tick(t, nullptr);
    EXPECT_EQ(p.count(65), 1);
    EXPECT_EQ(p.count(66), 1);
    EXPECT_EQ(p.count(16), 1);
    EXPECT_EQ(p.count(161), 0) << "the right-hand cell is not counted";
    EXPECT_EQ(p.total(), 3);
}

TEST(KeyStateTable, AReadingTellsHowManyPressesBeganSinceTheLastOne) {
    KeyStateTable t;
    for (int i = 0; i < 4; ++i) {
        t.press(1, kA);
        t.press(1, kA);  // repeated press event (auto-repeat): not a new press
        t.release(1, kA);
    }
    auto r = t.take(65);
    EXPECT_EQ(r.state, 1);
    EXPECT_EQ(r.presses, 4);
    EXPECT_EQ(t.take(65).presses, 0) << "the reading clears the number";

    // Shift: a press of the pair going from all up to down, not of each side.
    t.press(1, kLeftShift);
    t.press(1, kRightShift);
    t.release(1, kRightShift);
    t.press(1, kRightShift);
    r = t.take(16);
    EXPECT_EQ(r.state, kDownAndPressed);
    EXPECT_EQ(r.presses, 1);
    EXPECT_EQ(t.take(161).presses, 2) << "the right-hand code itself went down twice";
    t.release(1, kLeftShift);
    t.release(1, kRightShift);
    t.press(2, kRightShift);
    t.release(2, kRightShift);
    EXPECT_EQ(t.take(16).presses, 1);

    // A key held since the start is one press; its holder's later press event is none.
    t.seed(kB);
    t.press(3, kB);
    EXPECT_EQ(t.take(66).presses, 1);
    EXPECT_EQ(t.take(300).presses, 0);
}

TEST(KeyStateTable, PollerCountsEveryTapBetweenTwoTicks) {
    Table t;
    Poller p;
    p.fillPolledFlags();
    for (int i = 0; i < 7; ++i) {
        t.press(1, kA);
        t.release(1, kA);
    }
    t.press(1, kB);  // held, then tapped again inside the held-looking stream
    p.tick(t, nullptr);
    t.release(1, kB);
    t.press(1, kB);
    p.tick(t, nullptr);
    EXPECT_EQ(p.count(65), 7);
    EXPECT_EQ(p.count(66), 2);
    EXPECT_EQ(p.total(), 9);
}

#include <gtest/gtest.h>

#include <vector>

#include "counting/poller.h"
#include "support/scripted_key_state.h"

using namespace pressory;
using platform::ScriptedKeyState;

namespace {

struct RecordingSound : SoundRequests {
    bool on = false;
    std::vector<int> asked;
    std::vector<int> played;
    bool soundSwitch() override { return on; }
    bool hasSoundEntry(int vk) override {
        asked.push_back(vk);
        return layout::isCounted(vk);
    }
    void playSound(int vk) override { played.push_back(vk); }
};

class PollerTest : public ::testing::Test {
protected:
    void SetUp() override { poller.fillPolledFlags(); }
    std::vector<CellChange> tick() {
        auto s = poller.tick(keys, &sound);
        return {s.begin(), s.end()};
    }
    std::int64_t sumOfCells() const {
        std::int64_t sum = 0;
        for (auto vk : layout::countedCodes()) sum += poller.count(vk);
        return sum;
    }
    Poller poller;
    ScriptedKeyState keys;
    RecordingSound sound;
};

}  // namespace

TEST_F(PollerTest, ReadsOnlyThePolledKeys) {
    tick();
    for (int vk = 0; vk <= 255; ++vk) EXPECT_EQ(keys.reads(vk), layout::isCounted(vk) ? 1 : 0) << vk;
}

TEST_F(PollerTest, HeldKeyCountsOnceAndBlinksUntilReleased) {
    poller.setBlinkColour(0x0000FF00);
    keys.down(65);
    auto first = tick();
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].vk, 65);
    EXPECT_TRUE(first[0].colour);
    EXPECT_TRUE(first[0].text);
    EXPECT_TRUE(poller.totalChanged());
    for (int i = 0; i < 50; ++i) {
        EXPECT_TRUE(tick().empty()) << "a held key changes nothing after its first tick";
        EXPECT_FALSE(poller.totalChanged());
    }
    EXPECT_EQ(poller.count(65), 1);
    EXPECT_EQ(poller.total(), 1);
    EXPECT_EQ(poller.cellColour(65), 0x0000FF00);
    keys.up(65);
    auto released = tick();
    ASSERT_EQ(released.size(), 1u);
    EXPECT_TRUE(released[0].colour);
    EXPECT_FALSE(released[0].text);
    EXPECT_EQ(poller.cellColour(65), colour::kUp);
    EXPECT_EQ(poller.count(65), 1);
}

TEST_F(PollerTest, AChangedBlinkColourRepaintsAHeldKeyOnTheNextTick) {
    keys.down(13);
    tick();
    poller.setBlinkColour(0x00123456);
    auto changes = tick();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_TRUE(changes[0].colour);
    EXPECT_FALSE(changes[0].text);
    EXPECT_EQ(poller.cellColour(13), 0x00123456);
}

TEST_F(PollerTest, KeyDownAtTheFirstTickAndShortTapsCountOnce) {
    keys.down(1);  // the mouse button that started the program
    tick();
    EXPECT_EQ(poller.count(1), 1);
    keys.up(1);
    tick();
    keys.tap(66);  // pressed and released between two readings
    tick();
    EXPECT_EQ(poller.count(66), 1);
    EXPECT_EQ(poller.cellColour(66), poller.blinkColour());
    tick();
    EXPECT_EQ(poller.count(66), 1);
    EXPECT_EQ(poller.cellColour(66), colour::kUp);
}

TEST_F(PollerTest, TwoPressesWithoutAZeroReadingBetweenCountOnce) {
    keys.down(70);
    tick();
    keys.up(70);
    keys.down(70);  // released and pressed again between two ticks
    tick();
    EXPECT_EQ(poller.count(70), 1);
}

TEST_F(PollerTest, RightHandAndUncountedCellsNeverCount) {
    for (int vk : {4, 20, 25, 92, 161, 163, 165, 160, 3, 255}) keys.down(vk);
    tick();
    EXPECT_EQ(poller.total(), 0);
    for (int vk : {4, 20, 25, 92, 161, 163, 165}) EXPECT_EQ(poller.count(vk), 0);
    // The platform reports the generic code as well: that one counts.
    keys.down(16);
    tick();
    EXPECT_EQ(poller.count(16), 1);
    EXPECT_EQ(poller.count(161), 0);
}

TEST_F(PollerTest, SoundRequestsAscendAndFollowTheSwitch) {
    sound.on = false;
    keys.down(90);
    keys.down(65);
    keys.down(2);
    tick();
    EXPECT_EQ(sound.asked, (std::vector<int>{2, 65, 90})) << "asked on every new press, switch off too";
    EXPECT_TRUE(sound.played.empty());
    keys.releaseAll();
    tick();
    sound.asked.clear();
    sound.on = true;
    keys.down(90);
    keys.down(65);
    tick();
    EXPECT_EQ(sound.played, (std::vector<int>{65, 90}));
    tick();
    EXPECT_EQ(sound.played.size(), 2u) << "holding a key plays nothing more";
}

TEST_F(PollerTest, ResetWhileHeldShowsZeroAndWaitsForARelease) {
    keys.down(83);
    tick();
    keys.down(84);
    tick();
    poller.resetCounts();
    EXPECT_EQ(poller.count(83), 0);
    EXPECT_EQ(poller.total(), 0);
    EXPECT_EQ(poller.cellColour(83), poller.blinkColour()) << "reset leaves colours alone";
    tick();
    EXPECT_EQ(poller.count(83), 0);
    keys.up(83);
    tick();
    keys.down(83);
    tick();
    EXPECT_EQ(poller.count(83), 1);
    EXPECT_EQ(poller.total(), 1);
}

TEST_F(PollerTest, TotalEqualsTheSumOfCellsAfterAnyMix) {
    unsigned seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFF; };
    for (int round = 0; round < 3000; ++round) {
        const auto codes = layout::countedCodes();
        const int vk = codes[next() % codes.size()];
        switch (next() % 4) {
            case 0: keys.down(vk); break;
            case 1: keys.up(vk); break;
            case 2: keys.tap(vk); break;
            default: break;
        }
        tick();
        if (next() % 500 == 0) poller.resetCounts();
        ASSERT_EQ(poller.total(), sumOfCells());
    }
}

TEST_F(PollerTest, CountsHoldAtTheThirtyTwoBitLimit) {
    std::array<std::int32_t, 256> counts{};
    counts[65] = Poller::kMaxCount - 1;
    counts[66] = 5;
    poller.setCountsForTesting(counts, Poller::kMaxCount - 1);
    keys.tap(65);
    tick();
    EXPECT_EQ(poller.count(65), Poller::kMaxCount);
    EXPECT_EQ(poller.total(), Poller::kMaxCount);
    tick();  // both keys read up
    keys.down(65);
    keys.down(66);
    auto changes = tick();
    EXPECT_EQ(poller.count(65), Poller::kMaxCount) << "no wrap to a negative count";
    EXPECT_EQ(poller.count(66), 6);
    EXPECT_EQ(poller.total(), Poller::kMaxCount);
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_TRUE(changes[0].colour);
    EXPECT_FALSE(changes[0].text) << "a count held at the limit does not change its text";
    EXPECT_TRUE(changes[1].text);
}

TEST_F(PollerTest, AKeyWithoutASoundEntryIsAskedButNeverPlayed) {
    struct NoEntryFor66 : RecordingSound {
        bool hasSoundEntry(int vk) override {
            asked.push_back(vk);
            return vk != 66;
        }
    } noEntry;
    noEntry.on = true;
    keys.down(65);
    keys.down(66);
    keys.down(67);
    poller.tick(keys, &noEntry);
    EXPECT_EQ(noEntry.asked, (std::vector<int>{65, 66, 67}));
    EXPECT_EQ(noEntry.played, (std::vector<int>{65, 67}));
}

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "counting/poller.h"
#include "support/scripted_key_state.h"

using namespace pressory;
using platform::ScriptedKeyState;

namespace {

struct RecordingSound : counting::SoundRequests {
    bool on = false;
    std::vector<int> asked;
    std::vector<int> played;
    bool soundSwitch() override { return on; }
    bool hasSoundEntry(int vk) override {
        asked.push_back(vk);
        return counting::layout::isCounted(vk);
    }
    void playSound(int vk) override { played.push_back(vk); }
};

// Every case runs twice: with a source that only knows the state (as the
// system's own asynchronous key-state query) and with one that also counts
// the presses since the last reading (the event-fed sources).
class PollerTest : public ::testing::TestWithParam<ScriptedKeyState::Presses> {
protected:
    void SetUp() override { poller.fillPolledFlags(); }
    std::vector<counting::CellChange> tick() {
        auto s = poller.tick(keys, &sound);
        return {s.begin(), s.end()};
    }
    std::int64_t sumOfCells() const {
        std::int64_t sum = 0;
        for (auto vk : counting::layout::countedCodes()) sum += poller.count(vk);
        return sum;
    }
    counting::Poller poller;
    ScriptedKeyState keys{GetParam()};
    RecordingSound sound;
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Sources, PollerTest,
                         ::testing::Values(ScriptedKeyState::Presses::Unknown, ScriptedKeyState::Presses::Counted,
                                           ScriptedKeyState::Presses::CountedAndMoved),
                         [](const auto& info) {
                             switch (info.param) {
                             case ScriptedKeyState::Presses::Counted: return "CountingSource";
                             case ScriptedKeyState::Presses::CountedAndMoved: return "MovedKeysSource";
                             default: return "PolledSource";
                             }
                         });

TEST_P(PollerTest, ReadsOnlyThePolledKeys) {
    tick();
    for (int vk = 0; vk <= 255; ++vk) EXPECT_EQ(keys.reads(vk), counting::layout::isCounted(vk) ? 1 : 0) << vk;
}

TEST_P(PollerTest, HeldKeyCountsOnceAndBlinksUntilReleased) {
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
    EXPECT_EQ(poller.cellColour(65), counting::colour::kUp);
    EXPECT_EQ(poller.count(65), 1);
}

TEST_P(PollerTest, AChangedBlinkColourRepaintsAHeldKeyOnTheNextTick) {
    keys.down(13);
    tick();
    poller.setBlinkColour(0x00123456);
    auto changes = tick();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_TRUE(changes[0].colour);
    EXPECT_FALSE(changes[0].text);
    EXPECT_EQ(poller.cellColour(13), 0x00123456);
}

TEST_P(PollerTest, KeyDownAtTheFirstTickAndShortTapsCountOnce) {
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
    EXPECT_EQ(poller.cellColour(66), counting::colour::kUp);
}

// Paused: held keys still show, nothing counts or sounds, and a key held over
// the end of the pause is no new press.
TEST_P(PollerTest, PausedTicksShowButCountNothingAndResumeWithoutBacklog) {
    sound.on = true;
    poller.setPaused(true);
    keys.tap(65);
    keys.down(66);
    tick();
    EXPECT_EQ(poller.cellColour(66), poller.blinkColour());
    EXPECT_EQ(poller.total(), 0);
    EXPECT_FALSE(poller.totalChanged());
    poller.setPaused(false);
    tick();
    EXPECT_EQ(poller.total(), 0);
    EXPECT_TRUE(sound.played.empty());
    keys.up(66);
    keys.tap(65);
    tick();
    EXPECT_EQ(poller.count(65), 1);
    EXPECT_EQ(poller.total(), 1);
}

TEST_P(PollerTest, TwoPressesWithoutAZeroReadingBetweenCountOnceUnlessTheSourceCountsThem) {
    keys.down(70);
    tick();
    keys.up(70);
    keys.down(70);  // released and pressed again between two ticks
    tick();
    EXPECT_EQ(poller.count(70), keys.countsPresses() ? 2 : 1);
}

TEST_P(PollerTest, RightHandAndUncountedCellsNeverCount) {
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

TEST_P(PollerTest, SoundRequestsAscendAndFollowTheSwitch) {
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

TEST_P(PollerTest, ResetWhileHeldShowsZeroAndWaitsForARelease) {
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

TEST_P(PollerTest, TotalEqualsTheSumOfCellsAfterAnyMix) {
    unsigned seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFF; };
    for (int round = 0; round < 3000; ++round) {
        const auto codes = counting::layout::countedCodes();
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

TEST_P(PollerTest, CountsHoldAtTheThirtyTwoBitLimit) {
    std::array<std::int32_t, 256> counts{};
    counts[65] = counting::Poller::kMaxCount - 1;
    counts[66] = 5;
    poller.setCountsForTesting(counts, counting::Poller::kMaxCount - 1);
    keys.tap(65);
    tick();
    EXPECT_EQ(poller.count(65), counting::Poller::kMaxCount);
    EXPECT_EQ(poller.total(), counting::Poller::kMaxCount);
    tick();  // both keys read up
    keys.down(65);
    keys.down(66);
    auto changes = tick();
    EXPECT_EQ(poller.count(65), counting::Poller::kMaxCount) << "no wrap to a negative count";
    EXPECT_EQ(poller.count(66), 6);
    EXPECT_EQ(poller.total(), counting::Poller::kMaxCount);
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_TRUE(changes[0].colour);
    EXPECT_FALSE(changes[0].text) << "a count held at the limit does not change its text";
    EXPECT_TRUE(changes[1].text);
}

TEST_P(PollerTest, AKeyWithoutASoundEntryIsAskedButNeverPlayed) {
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

// What a source that counts its presses changes: taps faster than the tick.
class CountingPollerTest : public ::testing::Test {
protected:
    void SetUp() override { poller.fillPolledFlags(); }
    std::vector<counting::CellChange> tick() {
        auto s = poller.tick(keys, &sound);
        return {s.begin(), s.end()};
    }
    counting::Poller poller;
    ScriptedKeyState keys{ScriptedKeyState::Presses::Counted};
    RecordingSound sound;
};

TEST_F(CountingPollerTest, SeveralTapsInOneTickCountEachWithOneSoundRequest) {
    sound.on = true;
    for (int i = 0; i < 3; ++i) keys.tap(65);
    keys.tap(66);
    keys.tap(66);
    auto changes = tick();
    EXPECT_EQ(poller.count(65), 3);
    EXPECT_EQ(poller.count(66), 2);
    EXPECT_EQ(poller.total(), 5);
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_TRUE(changes[0].text && changes[0].colour);
    EXPECT_EQ(sound.played, (std::vector<int>{65, 66})) << "one request per newly pressed key and tick";
    EXPECT_TRUE(poller.flashing()) << "pressed and up again: the blink colour until the next tick";
    changes = tick();
    EXPECT_FALSE(poller.flashing());
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(poller.cellColour(65), counting::colour::kUp);
    EXPECT_EQ(poller.total(), 5);
}

TEST_F(CountingPollerTest, TapsInsideAHeldLookingStreamAllCount) {
    keys.down(13);
    tick();
    EXPECT_FALSE(poller.flashing()) << "a held key needs no later tick";
    // Released and pressed again three times between each pair of ticks: the
    // key reads down at every tick, yet each press began anew.
    for (int round = 0; round < 4; ++round) {
        for (int i = 0; i < 3; ++i) {
            keys.up(13);
            keys.down(13);
        }
        auto changes = tick();
        ASSERT_EQ(changes.size(), 1u);
        EXPECT_TRUE(changes[0].text);
        EXPECT_FALSE(changes[0].colour) << "it never looked up";
    }
    EXPECT_EQ(poller.count(13), 13);
    EXPECT_EQ(poller.total(), 13);
    EXPECT_TRUE(tick().empty()) << "held: nothing more";
}

TEST_F(CountingPollerTest, ManyPressesHoldAtTheThirtyTwoBitLimit) {
    std::array<std::int32_t, 256> counts{};
    counts[65] = counting::Poller::kMaxCount - 2;
    poller.setCountsForTesting(counts, counting::Poller::kMaxCount - 2);
    for (int i = 0; i < 5; ++i) keys.tap(65);
    tick();
    EXPECT_EQ(poller.count(65), counting::Poller::kMaxCount);
    EXPECT_EQ(poller.total(), counting::Poller::kMaxCount);
}

// A source that tells which keys moved is read for those and for the keys
// that read non-zero at the tick before, and every tick shows the same as a
// reading of every key would.
TEST(MovedKeysPollerTest, ReadsOnlyWhatMovedAndShowsWhatAFullReadingShows) {
    ScriptedKeyState all{ScriptedKeyState::Presses::Counted};
    ScriptedKeyState moved{ScriptedKeyState::Presses::CountedAndMoved};
    counting::Poller full, sparse;
    full.fillPolledFlags();
    sparse.fillPolledFlags();
    RecordingSound fullSound, sparseSound;
    fullSound.on = sparseSound.on = true;
    auto tickBoth = [&] {
        const auto a = full.tick(all, &fullSound);
        const auto b = sparse.tick(moved, &sparseSound);
        ASSERT_EQ(a.size(), b.size());
        for (std::size_t i = 0; i < a.size(); ++i) {
            EXPECT_EQ(a[i].vk, b[i].vk);
            EXPECT_EQ(a[i].colour, b[i].colour);
            EXPECT_EQ(a[i].text, b[i].text);
        }
        EXPECT_EQ(full.totalChanged(), sparse.totalChanged());
        EXPECT_EQ(full.flashing(), sparse.flashing());
    };
    tickBoth();  // the first tick reads every key

    moved.tap(65);
    moved.down(13);
    const int enterReads = moved.reads(13), bReads = moved.reads(66);
    sparse.tick(moved, nullptr);
    EXPECT_EQ(moved.reads(13), enterReads + 1);
    EXPECT_EQ(moved.reads(66), bReads) << "a key that did not move is not read";
    sparse.tick(moved, nullptr);
    EXPECT_EQ(moved.reads(65), 3) << "a tapped key is read once more, to go back to the up colour";
    EXPECT_EQ(moved.reads(13), enterReads + 2) << "a held key is read at every tick";
    sparse.tick(moved, nullptr);
    EXPECT_EQ(moved.reads(65), 3);
    moved.up(13);
    sparse.tick(moved, nullptr);
    EXPECT_EQ(sparse.cellColour(13), counting::colour::kUp);
    moved.releaseAll();
    all.releaseAll();
    full.resetCounts();
    sparse.resetCounts();
    tickBoth();

    std::mt19937 random(27);
    const auto codes = counting::layout::countedCodes();
    for (int round = 0; round < 3000; ++round) {
        const int vk = codes[random() % codes.size()];
        switch (random() % 5) {
        case 0:
            all.down(vk);
            moved.down(vk);
            break;
        case 1:
        case 2:
            all.up(vk);
            moved.up(vk);
            break;
        case 3:
            all.tap(vk);
            moved.tap(vk);
            break;
        default: tickBoth();
        }
        if (round % 500 == 0) {
            const auto colour = static_cast<std::int32_t>(random() & 0xFFFFFF);
            full.setBlinkColour(colour);
            sparse.setBlinkColour(colour);
        }
    }
    tickBoth();
    EXPECT_EQ(full.counts(), sparse.counts());
    EXPECT_EQ(full.total(), sparse.total());
    for (int vk = 0; vk <= 255; ++vk) EXPECT_EQ(full.cellColour(vk), sparse.cellColour(vk)) << vk;
    EXPECT_EQ(fullSound.played, sparseSound.played);
}

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "counting/key_layout.h"

using namespace pressory;

TEST(KeyLayout, NinetyOneCellsEightyFourCountedSevenHidden) {
    const auto cells = counting::layout::cells();
    ASSERT_EQ(cells.size(), 91u);
    int captions = 0;
    std::set<int> hidden;
    for (const auto& c : cells) {
        if (c.hasCaption()) ++captions;
        if (!c.shown) hidden.insert(c.vk);
        EXPECT_EQ(c.shown, c.counted()) << int(c.vk);
    }
    EXPECT_EQ(captions, 90);
    EXPECT_EQ(hidden, (std::set<int>{4, 20, 25, 92, 161, 163, 165}));
    EXPECT_EQ(counting::layout::countedCodes().size(), 84u);
}

TEST(KeyLayout, LookupNeverFailsForAnyCode) {
    int withCell = 0, counted = 0;
    for (int vk = -5; vk <= 300; ++vk) {
        const counting::KeyCell* c = counting::layout::cell(vk);
        if (c) {
            ++withCell;
            EXPECT_EQ(c->vk, vk);
        }
        if (counting::layout::isCounted(vk)) ++counted;
    }
    EXPECT_EQ(withCell, 91);
    EXPECT_EQ(counted, 84);
    for (int vk : {0, 3, 47, 160, 162, 164, 227, 255}) {
        EXPECT_EQ(counting::layout::cell(vk), nullptr) << vk;
        EXPECT_FALSE(counting::layout::isCounted(vk)) << vk;
    }
    // 135 codes between 1 and 226 have no cell.
    int without = 0;
    for (int vk = 1; vk <= 226; ++vk) without += counting::layout::cell(vk) ? 0 : 1;
    EXPECT_EQ(without, 135);
}

TEST(KeyLayout, CountedCodesAscendAndMatchTheCountedSet) {
    const auto codes = counting::layout::countedCodes();
    std::set<int> expected{1, 2, 8, 9, 13, 16, 17, 18, 19, 27, 32, 44, 45, 46, 91, 145, 226};
    for (int k = 33; k <= 40; ++k) expected.insert(k);
    for (int k = 48; k <= 57; ++k) expected.insert(k);
    for (int k = 65; k <= 90; ++k) expected.insert(k);
    for (int k = 112; k <= 123; ++k) expected.insert(k);
    for (int k = 186; k <= 192; ++k) expected.insert(k);
    for (int k = 219; k <= 222; ++k) expected.insert(k);
    EXPECT_EQ(std::set<int>(codes.begin(), codes.end()), expected);
    for (std::size_t i = 1; i < codes.size(); ++i) EXPECT_LT(codes[i - 1], codes[i]);
}

TEST(KeyLayout, CaptionsAndGeometryOfTheSpecialCells) {
    EXPECT_EQ(counting::layout::cell(34)->caption, "PgDw");
    EXPECT_EQ(counting::layout::cell(44)->caption, "Print");
    EXPECT_EQ(counting::layout::cell(220)->caption, "\\");
    EXPECT_EQ(counting::layout::cell(226)->caption, "\\");
    EXPECT_EQ(counting::layout::cell(37)->caption, "←");
    EXPECT_FALSE(counting::layout::cell(25)->hasCaption());
    EXPECT_EQ(counting::layout::cell(8)->captionWidth, 615);
    const counting::TwipRect cap = counting::layout::cell(65)->captionRect();
    EXPECT_EQ(cap.left, 1200);
    EXPECT_EQ(cap.top, 3120 - 240);
    EXPECT_EQ(cap.height, 255);
    const counting::TwipRect r = counting::layout::cell(2)->cellRect();
    EXPECT_EQ(r.left, 10560);
    EXPECT_EQ(r.top, 4320);
    EXPECT_EQ(r.width, 550);
    EXPECT_EQ(r.height, 300);
    // Six rows of cells.
    std::set<int> tops;
    for (const auto& c : counting::layout::cells()) tops.insert(c.top);
    EXPECT_EQ(tops, (std::set<int>{1320, 1920, 2520, 3120, 3720, 4320}));
}

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "counting/key_layout.h"
#include "platform/linux/keymap.h"

using namespace pressory;
namespace km = pressory::platform::keymap;

namespace {

// Every virtual-key code some physical key or mouse button produces,
// including the generic code its side-specific code stands for.
std::set<int> reachableCodes() {
    std::set<int> out;
    for (int c = 0; c < km::kCodeCount; ++c) {
        const int vk = km::vkFromInputCode(c);
        if (vk == 0) continue;
        out.insert(vk);
        if (const int g = km::genericVk(vk)) out.insert(g);
    }
    return out;
}

// How many input codes give each virtual-key code.
std::map<int, int> codesPerVk() {
    std::map<int, int> out;
    for (int c = 0; c < km::kCodeCount; ++c)
        if (const int vk = km::vkFromInputCode(c)) ++out[vk];
    return out;
}

}  // namespace

TEST(KeyMap, EveryCountedCellCanBePressed) {
    const auto reachable = reachableCodes();
    for (const auto vk : counting::layout::countedCodes())
        EXPECT_TRUE(reachable.count(vk)) << "no key gives " << int(vk);
    // Every cell of the keyboard, hidden ones included, has its key too.
    for (const auto& cell : counting::layout::cells()) EXPECT_TRUE(reachable.count(cell.vk)) << int(cell.vk);
}

TEST(KeyMap, JisKeysByTheirPlaceOnTheKeyboard) {
    // Input code of the key at that place, and the code Japanese Windows gives it.
    const std::pair<int, int> jis[] = {
        {26, 192},   // @
        {27, 219},   // [
        {43, 221},   // ]
        {40, 186},   // :
        {39, 187},   // ;
        {13, 222},   // ^
        {124, 220},  // ¥
        {89, 226},   // ろ
        {51, 188},   // ,
        {52, 190},   // .
        {53, 191},   // /
        {12, 189},   // -
    };
    for (const auto& [code, vk] : jis) EXPECT_EQ(km::vkFromInputCode(code), vk) << "input code " << code;

    // ¥ and ろ give the same keysym under a Japanese layout but stay two keys.
    EXPECT_EQ(km::vkFromInputCode(km::inputCodeFromXKeycode(132)), 220);
    EXPECT_EQ(km::vkFromInputCode(km::inputCodeFromXKeycode(97)), 226);
    EXPECT_EQ(km::vkFromInputCode(km::inputCodeFromXKeycode(38)), 65);  // a
}

TEST(KeyMap, LettersDigitsAndFunctionKeysEachHaveExactlyOneKey) {
    const auto per = codesPerVk();
    for (int vk = 65; vk <= 90; ++vk) EXPECT_EQ(per.count(vk) ? per.at(vk) : 0, 1) << char(vk);
    for (int vk = 48; vk <= 57; ++vk) EXPECT_EQ(per.count(vk) ? per.at(vk) : 0, 1) << char(vk);
    // F1..F10 are input codes 59..68, F11 and F12 are 87 and 88.
    for (int i = 0; i < 10; ++i) EXPECT_EQ(km::vkFromInputCode(59 + i), 112 + i);
    EXPECT_EQ(km::vkFromInputCode(87), 122);
    EXPECT_EQ(km::vkFromInputCode(88), 123);
    // The top row: 1..9 then 0.
    for (int i = 0; i < 9; ++i) EXPECT_EQ(km::vkFromInputCode(2 + i), 49 + i);
    EXPECT_EQ(km::vkFromInputCode(11), 48);
}

TEST(KeyMap, SidesOfTheModifiersAndTheirGenericCodes) {
    const std::tuple<int, int, int> sides[] = {
        {42, 160, 16}, {54, 161, 16},   // Shift
        {29, 162, 17}, {97, 163, 17},   // Ctrl
        {56, 164, 18}, {100, 165, 18},  // Alt
    };
    for (const auto& [code, vk, generic] : sides) {
        EXPECT_EQ(km::vkFromInputCode(code), vk);
        EXPECT_EQ(km::genericVk(vk), generic);
    }
    // Right Shift is X keycode 62.
    EXPECT_EQ(km::vkFromInputCode(km::inputCodeFromXKeycode(62)), 161);
    // The generic codes come only from the sides, never from a key itself,
    // and no other code has a generic one.
    for (int c = 0; c < km::kCodeCount; ++c) {
        const int vk = km::vkFromInputCode(c);
        EXPECT_TRUE(vk != 16 && vk != 17 && vk != 18) << "input code " << c;
    }
    for (int vk = 0; vk <= 255; ++vk) {
        if (vk < 160 || vk > 165) {
            EXPECT_EQ(km::genericVk(vk), 0) << vk;
        }
    }
    EXPECT_EQ(km::vkFromInputCode(125), 91);  // left Windows
    EXPECT_EQ(km::vkFromInputCode(126), 92);  // right Windows
}

TEST(KeyMap, NamedKeys) {
    const std::pair<int, int> keys[] = {
        {1, 27},   {15, 9},   {28, 13},  {14, 8},   {57, 32},  {58, 20},  {41, 25},  {85, 25},
        {119, 19}, {99, 44},  {70, 145}, {110, 45}, {111, 46}, {102, 36}, {107, 35}, {104, 33},
        {109, 34}, {105, 37}, {103, 38}, {106, 39}, {108, 40}, {96, 13},  {92, 28},  {94, 29},
    };
    for (const auto& [code, vk] : keys) EXPECT_EQ(km::vkFromInputCode(code), vk) << "input code " << code;
}

TEST(KeyMap, MouseButtonsAndTheWheel) {
    // X buttons: 1 left, 2 middle, 3 right.
    EXPECT_EQ(km::vkFromInputCode(km::inputCodeFromXButton(1)), 1);
    EXPECT_EQ(km::vkFromInputCode(km::inputCodeFromXButton(2)), 4);
    EXPECT_EQ(km::vkFromInputCode(km::inputCodeFromXButton(3)), 2);
    EXPECT_EQ(km::vkFromInputCode(km::inputCodeFromXButton(8)), 5);
    EXPECT_EQ(km::vkFromInputCode(km::inputCodeFromXButton(9)), 6);
    for (int wheel = 4; wheel <= 7; ++wheel) EXPECT_EQ(km::inputCodeFromXButton(wheel), -1) << wheel;
    EXPECT_EQ(km::inputCodeFromXButton(0), -1);
    // The kernel's button codes.
    EXPECT_EQ(km::vkFromInputCode(km::kBtnLeft), 1);
    EXPECT_EQ(km::vkFromInputCode(km::kBtnRight), 2);
    EXPECT_EQ(km::vkFromInputCode(km::kBtnMiddle), 4);
}

TEST(KeyMap, CodesOutsideTheRangesAreNoKey) {
    EXPECT_EQ(km::vkFromInputCode(-1), 0);
    EXPECT_EQ(km::vkFromInputCode(0), 0);
    EXPECT_EQ(km::vkFromInputCode(km::kCodeCount), 0);
    EXPECT_EQ(km::vkFromInputCode(0x14a), 0);  // a finger on a touchpad
    EXPECT_EQ(km::inputCodeFromXKeycode(7), -1);
    EXPECT_EQ(km::inputCodeFromXKeycode(256), -1);
    EXPECT_EQ(km::inputCodeFromXKeycode(8), 0);
    EXPECT_EQ(km::inputCodeFromXKeycode(255), 247);
}

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>

#include "activity/key_names.h"
#if defined(__linux__)
#include "platform/linux/keymap.h"
#endif

using namespace pressory::activity;

namespace {

struct JisKey {
    int inputCode;  // as the kernel reports it from a JIS keyboard
    int vk;         // as a Japanese Windows system (106/109 layout) reports it; 0: none of its own
    std::string_view name;
};

// The 109 keys of a JIS keyboard.
// clang-format off
constexpr JisKey kJis109[] = {
    {1, 0x1B, "Esc"},
    {59, 0x70, "F1"}, {60, 0x71, "F2"}, {61, 0x72, "F3"}, {62, 0x73, "F4"}, {63, 0x74, "F5"}, {64, 0x75, "F6"},
    {65, 0x76, "F7"}, {66, 0x77, "F8"}, {67, 0x78, "F9"}, {68, 0x79, "F10"}, {87, 0x7A, "F11"}, {88, 0x7B, "F12"},
    {99, 0x2C, "PrintScreen"}, {70, 0x91, "ScrollLock"}, {119, 0x13, "Pause"},
    {41, 0xF3, "半角/全角"},
    {2, '1', "1"}, {3, '2', "2"}, {4, '3', "3"}, {5, '4', "4"}, {6, '5', "5"},
    {7, '6', "6"}, {8, '7', "7"}, {9, '8', "8"}, {10, '9', "9"}, {11, '0', "0"},
    {12, 0xBD, "-"}, {13, 0xDE, "^"}, {124, 0xDC, "¥"}, {14, 0x08, "BackSpace"},
    {15, 0x09, "Tab"},
    {16, 'Q', "Q"}, {17, 'W', "W"}, {18, 'E', "E"}, {19, 'R', "R"}, {20, 'T', "T"},
    {21, 'Y', "Y"}, {22, 'U', "U"}, {23, 'I', "I"}, {24, 'O', "O"}, {25, 'P', "P"},
    {26, 0xC0, "@"}, {27, 0xDB, "["}, {28, 0x0D, "Enter"},
    {58, 0xF0, "CapsLock"},
    {30, 'A', "A"}, {31, 'S', "S"}, {32, 'D', "D"}, {33, 'F', "F"}, {34, 'G', "G"},
    {35, 'H', "H"}, {36, 'J', "J"}, {37, 'K', "K"}, {38, 'L', "L"},
    {39, 0xBB, ";"}, {40, 0xBA, ":"}, {43, 0xDD, "]"},
    {42, 0xA0, "左Shift"},
    {44, 'Z', "Z"}, {45, 'X', "X"}, {46, 'C', "C"}, {47, 'V', "V"}, {48, 'B', "B"}, {49, 'N', "N"}, {50, 'M', "M"},
    {51, 0xBC, ","}, {52, 0xBE, "."}, {53, 0xBF, "/"}, {89, 0xE2, "ろ"}, {54, 0xA1, "右Shift"},
    {29, 0xA2, "左Ctrl"}, {125, 0x5B, "左Windows"}, {56, 0xA4, "左Alt"}, {94, 0x1D, "無変換"},
    {57, 0x20, "Space"}, {92, 0x1C, "変換"}, {93, 0xF2, "かな"}, {100, 0xA5, "右Alt"},
    {126, 0x5C, "右Windows"}, {127, 0x5D, "Menu"}, {97, 0xA3, "右Ctrl"},
    {110, 0x2D, "Insert"}, {102, 0x24, "Home"}, {104, 0x21, "PageUp"},
    {111, 0x2E, "Delete"}, {107, 0x23, "End"}, {109, 0x22, "PageDown"},
    {103, 0x26, "↑"}, {105, 0x25, "←"}, {108, 0x28, "↓"}, {106, 0x27, "→"},
    {69, 0x90, "NumLock"}, {98, 0x6F, "テンキー /"}, {55, 0x6A, "テンキー *"}, {74, 0x6D, "テンキー -"},
    {71, 0x67, "テンキー 7"}, {72, 0x68, "テンキー 8"}, {73, 0x69, "テンキー 9"}, {78, 0x6B, "テンキー +"},
    {75, 0x64, "テンキー 4"}, {76, 0x65, "テンキー 5"}, {77, 0x66, "テンキー 6"},
    {79, 0x61, "テンキー 1"}, {80, 0x62, "テンキー 2"}, {81, 0x63, "テンキー 3"}, {96, 0, "テンキー Enter"},
    {82, 0x60, "テンキー 0"}, {83, 0x6E, "テンキー ."},
};
// clang-format on

}  // namespace

TEST(KeyNames, EveryKeyOfAJisKeyboardHasItsNameOnLinuxAndWindows) {
    EXPECT_EQ(std::size(kJis109), 109u);
    std::set<std::string_view> names;
    for (const JisKey& k : kJis109) {
        EXPECT_EQ(keyNameOfInputCode(k.inputCode), k.name) << "input code " << k.inputCode;
        EXPECT_EQ(keyNameOfXKeycode(k.inputCode + 8), k.name) << "X keycode " << k.inputCode + 8;
        if (k.vk != 0) {
            EXPECT_EQ(keyNameOfVirtualKey(k.vk), k.name) << "virtual key " << k.vk;
        }
        names.insert(keyNameOfInputCode(k.inputCode));
    }
    EXPECT_EQ(names.size(), 109u) << "two keys of the keyboard share a name";
    // The other codes Windows gives the same keys, by the input method's mode.
    for (int vk : {0x19, 0xF4}) EXPECT_EQ(keyNameOfVirtualKey(vk), "半角/全角");
    EXPECT_EQ(keyNameOfVirtualKey(0x14), "CapsLock");
    EXPECT_EQ(keyNameOfVirtualKey(0xF1), "かな");
}

TEST(KeyNames, MouseButtonsAndWheelStepsAreNamedAlikeEverywhere) {
    struct Button {
        int inputCode, vk, xButton;
        std::string_view name;
    };
    for (const Button& b :
         {Button{0x110, 1, 1, "左クリック"}, Button{0x111, 2, 3, "右クリック"}, Button{0x112, 4, 2, "中クリック"},
          Button{0x113, 5, 8, "戻るボタン"}, Button{0x114, 6, 9, "進むボタン"}}) {
        EXPECT_EQ(keyNameOfInputCode(b.inputCode), b.name);
        EXPECT_EQ(keyNameOfVirtualKey(b.vk), b.name);
        EXPECT_EQ(keyNameOfXButton(b.xButton), b.name);
    }
    EXPECT_EQ(keyNameOfXButton(4), keyNameOfWheelStep(WheelStep::Up));
    EXPECT_EQ(keyNameOfXButton(5), keyNameOfWheelStep(WheelStep::Down));
    EXPECT_EQ(keyNameOfXButton(6), keyNameOfWheelStep(WheelStep::Left));
    EXPECT_EQ(keyNameOfXButton(7), keyNameOfWheelStep(WheelStep::Right));
    EXPECT_EQ(keyNameOfWheelStep(WheelStep::Down), "ホイール下");
    std::set<std::string_view> wheel;
    for (int b = 4; b <= 7; ++b) wheel.insert(keyNameOfXButton(b));
    EXPECT_EQ(wheel.size(), 4u);
    EXPECT_EQ(keyNameOfXButton(10), "");
}

TEST(KeyNames, UnnamedKeysKeepACodeNameAndWhatIsNoKeyHasNone) {
    EXPECT_EQ(keyNameOfInputCode(240), "evdev 240");    // KEY_UNKNOWN
    EXPECT_EQ(keyNameOfInputCode(0x1D0), "evdev 464");  // KEY_FN
    EXPECT_EQ(keyNameOfVirtualKey(0xE9), "VK 0xE9");
    EXPECT_EQ(keyNameOfVirtualKey(0x0A), "VK 0x0A");
    // Touches, pens and game controllers are no presses of keys.
    for (int code : {0, 0x130, 0x140, 0x145, 0x14A, 0x2C0, 0x300, -1}) EXPECT_EQ(keyNameOfInputCode(code), "") << code;
    // The generic Shift, Ctrl and Alt: their sides are the keys.
    for (int vk : {0, 0x10, 0x11, 0x12, 0xE5, 0xE7, 0xFF, 256, -1}) EXPECT_EQ(keyNameOfVirtualKey(vk), "") << vk;
    EXPECT_EQ(keyNameOfXKeycode(7), "");
}

#if defined(__linux__)
// The Linux sources give each physical key the virtual-key code a Japanese
// Windows system reports for it: the key's name is the same by either code.
TEST(KeyNames, EveryKeyTheWindowCountsOnLinuxHasTheNameOfItsWindowsCode) {
    namespace keymap = pressory::platform::keymap;
    int checked = 0;
    for (int code = 0; code < keymap::kCodeCount; ++code) {
        const int vk = keymap::vkFromInputCode(code);
        if (vk == 0 || code == 96) continue;  // 96: the keypad's Enter, Enter on Windows
        EXPECT_EQ(keyNameOfInputCode(code), keyNameOfVirtualKey(vk)) << "input code " << code << ", VK " << vk;
        ++checked;
    }
    EXPECT_GT(checked, 140);
}
#endif

#include "platform/linux/keymap.h"

#include <array>
#include <cstdint>

namespace pressory::platform::keymap {
namespace {

struct Entry {
    int code;  // input code
    int vk;    // virtual-key code on a Japanese Windows system
};

// One row per physical key of a JIS keyboard (plus the keypad, the extra keys
// of other keyboards and the mouse buttons). Where the JIS keyboard engraves
// something else than the US one, the key is named by both. Aligned by hand:
// not for clang-format.
// clang-format off
constexpr Entry kEntries[] = {
    {1, 27},      // Esc
    {2, 49}, {3, 50}, {4, 51}, {5, 52}, {6, 53}, {7, 54}, {8, 55}, {9, 56}, {10, 57},
    {11, 48},     // 0
    {12, 189},    // - =
    {13, 222},    // ^ ~        (US: = +)
    {14, 8},      // Backspace
    {15, 9},      // Tab
    {16, 81}, {17, 87}, {18, 69}, {19, 82}, {20, 84},          // Q W E R T
    {21, 89}, {22, 85}, {23, 73}, {24, 79}, {25, 80},          // Y U I O P
    {26, 192},    // @ `        (US: [ {)
    {27, 219},    // [ {        (US: ] })
    {28, 13},     // Enter
    {29, 162},    // left Ctrl
    {30, 65}, {31, 83}, {32, 68}, {33, 70}, {34, 71},          // A S D F G
    {35, 72}, {36, 74}, {37, 75}, {38, 76},                    // H J K L
    {39, 187},    // ; +
    {40, 186},    // : *        (US: ' ")
    {41, 25},     // 半角/全角   (US: ` ~)
    {42, 160},    // left Shift
    {43, 221},    // ] }        (US: \ |)
    {44, 90}, {45, 88}, {46, 67}, {47, 86}, {48, 66},          // Z X C V B
    {49, 78}, {50, 77},                                        // N M
    {51, 188},    // , <
    {52, 190},    // . >
    {53, 191},    // / ?
    {54, 161},    // right Shift
    {55, 106},    // keypad *
    {56, 164},    // left Alt
    {57, 32},     // Space
    {58, 20},     // Caps Lock (英数)
    {59, 112}, {60, 113}, {61, 114}, {62, 115}, {63, 116},     // F1..F5
    {64, 117}, {65, 118}, {66, 119}, {67, 120}, {68, 121},     // F6..F10
    {69, 144},    // Num Lock
    {70, 145},    // Scroll Lock
    {71, 103}, {72, 104}, {73, 105},                           // keypad 7 8 9
    {74, 109},    // keypad -
    {75, 100}, {76, 101}, {77, 102},                           // keypad 4 5 6
    {78, 107},    // keypad +
    {79, 97}, {80, 98}, {81, 99},                              // keypad 1 2 3
    {82, 96},     // keypad 0
    {83, 110},    // keypad .
    {85, 25},     // 半角/全角 (keyboards that report it under its own code)
    {86, 226},    // the extra key of ISO keyboards, where the JIS ろ sits
    {87, 122}, {88, 123},                                      // F11 F12
    {89, 226},    // \ _ ろ
    {90, 241},    // カタカナ
    {91, 242},    // ひらがな
    {92, 28},     // 変換
    {93, 242},    // カタカナ/ひらがな/ローマ字
    {94, 29},     // 無変換
    {96, 13},     // keypad Enter
    {97, 163},    // right Ctrl
    {98, 111},    // keypad /
    {99, 44},     // Print Screen (SysRq)
    {100, 165},   // right Alt
    {102, 36},    // Home
    {103, 38},    // Up
    {104, 33},    // Page Up
    {105, 37},    // Left
    {106, 39},    // Right
    {107, 35},    // End
    {108, 40},    // Down
    {109, 34},    // Page Down
    {110, 45},    // Insert
    {111, 46},    // Delete
    {113, 173},   // mute
    {114, 174},   // volume down
    {115, 175},   // volume up
    {119, 19},    // Pause (Break)
    {124, 220},   // ¥ |
    {125, 91},    // left Windows
    {126, 92},    // right Windows
    {127, 93},    // application (menu) key
    {142, 95},    // sleep
    {155, 180},   // mail
    {156, 171},   // favourites
    {158, 166},   // browser back
    {159, 167},   // browser forward
    {163, 176},   // next track
    {164, 179},   // play/pause
    {165, 177},   // previous track
    {166, 178},   // stop
    {172, 172},   // browser home
    {173, 168},   // browser refresh
    {183, 124}, {184, 125}, {185, 126}, {186, 127}, {187, 128}, {188, 129},   // F13..F18
    {189, 130}, {190, 131}, {191, 132}, {192, 133}, {193, 134}, {194, 135},   // F19..F24
    {210, 44},    // Print (keyboards with a separate print key)
    {217, 170},   // browser search
    {kBtnLeft, 1},
    {kBtnRight, 2},
    {kBtnMiddle, 4},
    {kBtnSide, 5},      // back (X button 1)
    {kBtnExtra, 6},     // forward (X button 2)
    {0x115, 6},         // BTN_FORWARD
    {0x116, 5},         // BTN_BACK
};
// clang-format on

constexpr std::array<std::uint8_t, kCodeCount> buildTable() {
    std::array<std::uint8_t, kCodeCount> t{};
    for (const Entry& e : kEntries) t[static_cast<std::size_t>(e.code)] = static_cast<std::uint8_t>(e.vk);
    return t;
}

constexpr std::array<std::uint8_t, kCodeCount> kTable = buildTable();

}  // namespace

int vkFromInputCode(int code) noexcept {
    if (code < 0 || code >= kCodeCount) return 0;
    return kTable[static_cast<std::size_t>(code)];
}

int genericVk(int vk) noexcept {
    switch (vk) {
    case 160:
    case 161: return 16;
    case 162:
    case 163: return 17;
    case 164:
    case 165: return 18;
    default: return 0;
    }
}

int inputCodeFromXKeycode(int keycode) noexcept {
    if (keycode < 8 || keycode > 255) return -1;
    return keycode - 8;
}

int inputCodeFromXButton(int button) noexcept {
    switch (button) {
    case 1: return kBtnLeft;
    case 2: return kBtnMiddle;
    case 3: return kBtnRight;
    case 8: return kBtnSide;
    case 9: return kBtnExtra;
    default: return -1;
    }
}

}  // namespace pressory::platform::keymap

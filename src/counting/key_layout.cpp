#include "counting/key_layout.h"

#include <algorithm>

namespace pressory::counting::layout {
namespace {

constexpr Justify R = Justify::Right;
constexpr Justify L = Justify::Left;

// Ascending by virtual-key code; this order is the order of the history columns.
// clang-format off
constexpr std::array<KeyCell, kCellCount> kCells{{
    {1, "Left", 9360, 4320, 375, true, R},
    {2, "Right", 10560, 4320, 495, true, R},
    {4, "Middle", 9960, 4320, 495, false, L},
    {8, "BkSp", 8640, 1920, 615, true, R},
    {9, "Tab", 120, 2520, 495, true, R},
    {13, "Enter", 8640, 2520, 495, true, R},
    {16, "Shift", 120, 3720, 495, true, R},
    {17, "Ctrl", 120, 4320, 375, true, R},
    {18, "Alt", 1800, 4320, 375, true, R},
    {19, "Break", 10560, 1320, 495, true, R},
    {20, "Caps", 120, 3120, 495, false, L},
    {25, "", 120, 1920, 0, false, L},
    {27, "Esc", 120, 1320, 375, true, R},
    {32, "Space", 3480, 4320, 495, true, R},
    {33, "PgUp", 10560, 1920, 495, true, R},
    {34, "PgDw", 10560, 2520, 495, true, R},
    {35, "End", 9960, 2520, 375, true, R},
    {36, "Home", 9960, 1920, 495, true, R},
    {37, "←", 9360, 3720, 375, true, R},
    {38, "↑", 9960, 3120, 375, true, R},
    {39, "→", 10560, 3720, 375, true, R},
    {40, "↓", 9960, 3720, 375, true, R},
    {44, "Print", 9360, 1320, 495, true, R},
    {45, "Ins", 9360, 1920, 375, true, R},
    {46, "Del", 9360, 2520, 375, true, R},
    {48, "0", 6240, 1920, 375, true, R},
    {49, "1", 840, 1920, 375, true, R},
    {50, "2", 1440, 1920, 375, true, R},
    {51, "3", 2040, 1920, 375, true, R},
    {52, "4", 2640, 1920, 375, true, R},
    {53, "5", 3240, 1920, 375, true, R},
    {54, "6", 3840, 1920, 375, true, R},
    {55, "7", 4440, 1920, 375, true, R},
    {56, "8", 5040, 1920, 375, true, R},
    {57, "9", 5640, 1920, 375, true, R},
    {65, "A", 1200, 3120, 375, true, R},
    {66, "B", 3840, 3720, 375, true, R},
    {67, "C", 2640, 3720, 375, true, R},
    {68, "D", 2400, 3120, 375, true, R},
    {69, "E", 2280, 2520, 375, true, R},
    {70, "F", 3000, 3120, 375, true, R},
    {71, "G", 3600, 3120, 375, true, R},
    {72, "H", 4200, 3120, 375, true, R},
    {73, "I", 5280, 2520, 375, true, R},
    {74, "J", 4800, 3120, 375, true, R},
    {75, "K", 5400, 3120, 375, true, R},
    {76, "L", 6000, 3120, 375, true, R},
    {77, "M", 5040, 3720, 375, true, R},
    {78, "N", 4440, 3720, 375, true, R},
    {79, "O", 5880, 2520, 375, true, R},
    {80, "P", 6480, 2520, 375, true, R},
    {81, "Q", 1080, 2520, 375, true, R},
    {82, "R", 2880, 2520, 375, true, R},
    {83, "S", 1800, 3120, 375, true, R},
    {84, "T", 3480, 2520, 375, true, R},
    {85, "U", 4680, 2520, 375, true, R},
    {86, "V", 3240, 3720, 375, true, R},
    {87, "W", 1680, 2520, 375, true, R},
    {88, "X", 2040, 3720, 375, true, R},
    {89, "Y", 4080, 2520, 375, true, R},
    {90, "Z", 1440, 3720, 375, true, R},
    {91, "Win", 1200, 4320, 375, true, R},
    {92, "Win", 7320, 4320, 375, false, L},
    {112, "F1", 1440, 1320, 375, true, R},
    {113, "F2", 2040, 1320, 375, true, R},
    {114, "F3", 2640, 1320, 375, true, R},
    {115, "F4", 3240, 1320, 375, true, R},
    {116, "F5", 4200, 1320, 375, true, R},
    {117, "F6", 4800, 1320, 375, true, R},
    {118, "F7", 5400, 1320, 375, true, R},
    {119, "F8", 6000, 1320, 375, true, R},
    {120, "F9", 6840, 1320, 375, true, R},
    {121, "F10", 7440, 1320, 375, true, R},
    {122, "F11", 8040, 1320, 375, true, R},
    {123, "F12", 8640, 1320, 375, true, R},
    {145, "Scroll", 9960, 1320, 495, true, R},
    {161, "Shift", 8640, 3720, 495, false, L},
    {163, "Ctrl", 8640, 4320, 375, false, L},
    {165, "Alt", 6720, 4320, 375, false, L},
    {186, "*", 7200, 3120, 375, true, R},
    {187, "+", 6600, 3120, 375, true, R},
    {188, "<", 5640, 3720, 375, true, R},
    {189, "-", 6840, 1920, 375, true, R},
    {190, ">", 6240, 3720, 375, true, R},
    {191, "/", 6840, 3720, 375, true, R},
    {192, "@", 7080, 2520, 375, true, R},
    {219, "[", 7680, 2520, 375, true, R},
    {220, "\\", 8040, 1920, 375, true, R},
    {221, "]", 7800, 3120, 375, true, R},
    {222, "^", 7440, 1920, 375, true, R},
    {226, "\\", 7440, 3720, 375, true, R},
}};
// clang-format on

// Index of each code's cell in kCells, or -1; built at compile time so that a
// lookup is one load.
constexpr std::array<std::int16_t, 256> makeIndex() {
    std::array<std::int16_t, 256> index{};
    for (auto& i : index) i = -1;
    for (std::size_t i = 0; i < kCells.size(); ++i) index[kCells[i].vk] = static_cast<std::int16_t>(i);
    return index;
}
constexpr auto kIndex = makeIndex();

constexpr std::array<std::uint8_t, kCountedCount> makeCounted() {
    std::array<std::uint8_t, kCountedCount> codes{};
    std::size_t n = 0;
    for (const auto& c : kCells)
        if (c.counted()) codes[n++] = c.vk;
    return codes;
}
constexpr auto kCounted = makeCounted();

constexpr bool checkTable() {
    int counted = 0;
    for (std::size_t i = 0; i < kCells.size(); ++i) {
        if (i > 0 && kCells[i - 1].vk >= kCells[i].vk) return false;
        if (kCells[i].counted() != kCells[i].shown) return false;
        counted += kCells[i].counted() ? 1 : 0;
    }
    return counted == kCountedCount;
}
static_assert(checkTable(), "the layout table must be ascending, and shown exactly when counted");

}  // namespace

std::span<const KeyCell> cells() { return kCells; }

const KeyCell* cell(int vk) noexcept {
    if (vk < 0 || vk > 255) return nullptr;
    const int i = kIndex[static_cast<std::size_t>(vk)];
    return i < 0 ? nullptr : &kCells[static_cast<std::size_t>(i)];
}

bool isCounted(int vk) noexcept {
    const KeyCell* c = cell(vk);
    return c != nullptr && c->counted();
}

std::span<const std::uint8_t> countedCodes() { return kCounted; }

}  // namespace pressory::counting::layout

// The fixed keyboard of count cells: which virtual-key codes have a cell,
// where each cell and its caption sit (in twips), and which cells are shown
// and counted. Nothing here is read from a file or changes at run time.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace pressory::counting {

// A rectangle in twips (1/1440 inch) from the top-left corner of a window's
// client area.
struct TwipRect {
    int left;
    int top;
    int width;
    int height;
};

struct TwipLine {
    int x1;
    int y1;
    int x2;
    int y2;
};

enum class Justify : std::uint8_t { Left, Right };

struct KeyCell {
    std::uint8_t vk;           // virtual-key code; index of the cell and its caption
    std::string_view caption;  // UTF-8; empty for the Kanji key (VK 25)
    int left;                  // cell left, twips
    int top;                   // cell top, twips
    int captionWidth;          // 375, 495 or 615; 0 when there is no caption
    bool shown;
    Justify justify;  // right: counted; left: not counted

    static constexpr int kWidth = 550;
    static constexpr int kHeight = 300;
    static constexpr int kCaptionAbove = 240;  // caption top = cell top - 240
    static constexpr int kCaptionHeight = 255;

    // The counted flag is the cell's text justification: anything but left.
    constexpr bool counted() const { return justify != Justify::Left; }
    constexpr bool hasCaption() const { return !caption.empty(); }
    constexpr TwipRect cellRect() const { return {left, top, kWidth, kHeight}; }
    constexpr TwipRect captionRect() const { return {left, top - kCaptionAbove, captionWidth, kCaptionHeight}; }
};

namespace layout {

inline constexpr int kCellCount = 91;
inline constexpr int kCountedCount = 84;

// All cells, ascending by virtual-key code.
std::span<const KeyCell> cells();

// The cell of a code, or nullptr when the code has none. Any int is accepted.
const KeyCell* cell(int vk) noexcept;

// True when the code has a cell whose text is not left-justified.
bool isCounted(int vk) noexcept;

// The counted codes in ascending order: the one order shared by the poller,
// the count reset and the history columns.
std::span<const std::uint8_t> countedCodes();

// The other elements of the main window, in twips.
inline constexpr std::string_view kSummaryCaption = "合計";
inline constexpr TwipRect kSummaryLabel{120, 240, 375, 255};
inline constexpr TwipRect kSummaryBox{480, 240, 855, 300};
inline constexpr TwipRect kResizeButton{1440, 240, 350, 300};
inline constexpr TwipLine kLine1{120, 1650, 11280, 1650};
inline constexpr TwipLine kLine2{9240, 960, 9240, 4800};
inline constexpr int kClientWidth = 11370;  // full mode, below the menu bar
inline constexpr int kClientHeight = 5340;

}  // namespace layout

// Colour values: 0x00BBGGRR, or 0x800000nn for system colour nn.
namespace colour {
inline constexpr std::int32_t kWindowBackground = static_cast<std::int32_t>(0x80000005u);
inline constexpr std::int32_t kWindowText = static_cast<std::int32_t>(0x80000008u);
inline constexpr std::int32_t kButtonFace = static_cast<std::int32_t>(0x8000000Fu);
inline constexpr std::int32_t kUp = kWindowBackground;         // a key's cell while it is up
inline constexpr std::int32_t kDesignBackground = 0x00FFC0C0;  // main window at creation
inline constexpr std::int32_t kDefaultBlink = 255;             // red

constexpr bool isSystemColour(std::int32_t c) { return (static_cast<std::uint32_t>(c) & 0xFFFFFF00u) == 0x80000000u; }
constexpr int systemColourIndex(std::int32_t c) { return static_cast<int>(c & 0xFF); }
}  // namespace colour

}  // namespace pressory::counting

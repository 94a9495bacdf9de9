// The stable names of keys and mouse buttons, as the activity database keeps
// them for years: one name per physical key, the same on X11, evdev and
// Windows, the JIS keys named as a Japanese user knows them. A name once
// given is never changed.
//
// Linux sources name a key by its input code (the numbering of
// linux/input-event-codes.h, written here as plain numbers; an X server with
// the evdev key codes numbers the same keys 8 higher), Windows by its
// virtual-key code. A key of a keyboard that the table does not name is still
// reported, under a name made from its code ("evdev 240", "VK 0xE9"), so that
// no press is lost; such a name is stable as long as the key stays unnamed.
//
// Header only: the tables are built at compile time and a lookup is one load,
// cheap enough for every press.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace pressory::activity {

struct KeyName {
    std::string_view name;                    // UTF-8
    std::array<std::uint16_t, 4> inputCodes;  // Linux input codes; 0 ends the list
    std::array<std::uint8_t, 4> virtualKeys;  // Windows virtual-key codes; 0 ends the list
};

// Every named key and button, in the order of a JIS keyboard, then the
// keypad, the extra keys and the mouse. A key may have several codes: the
// keys a keyboard reports under different codes on different models, and on
// Windows the codes a key gives with the input method's modes (半角/全角 gives
// 0x19, 0xF3 or 0xF4). Where Windows cannot tell two keys apart (the keypad's
// Enter is Enter there, the keypad with NumLock off gives Home, End…), the
// Linux side keeps them apart.
// clang-format off
inline constexpr KeyName kKeyNames[] = {
    {"Esc",          {1},   {0x1B}},
    {"F1",           {59},  {0x70}}, {"F2",  {60},  {0x71}}, {"F3",  {61},  {0x72}}, {"F4",  {62},  {0x73}},
    {"F5",           {63},  {0x74}}, {"F6",  {64},  {0x75}}, {"F7",  {65},  {0x76}}, {"F8",  {66},  {0x77}},
    {"F9",           {67},  {0x78}}, {"F10", {68},  {0x79}}, {"F11", {87},  {0x7A}}, {"F12", {88},  {0x7B}},
    {"F13",          {183}, {0x7C}}, {"F14", {184}, {0x7D}}, {"F15", {185}, {0x7E}}, {"F16", {186}, {0x7F}},
    {"F17",          {187}, {0x80}}, {"F18", {188}, {0x81}}, {"F19", {189}, {0x82}}, {"F20", {190}, {0x83}},
    {"F21",          {191}, {0x84}}, {"F22", {192}, {0x85}}, {"F23", {193}, {0x86}}, {"F24", {194}, {0x87}},
    {"PrintScreen",  {99, 210}, {0x2C}},
    {"ScrollLock",   {70},  {0x91}},
    {"Pause",        {119}, {0x13, 0x03}},       // 0x03: with Ctrl (Break)
    {"半角/全角",    {41, 85}, {0x19, 0xF3, 0xF4}},
    {"1", {2}, {0x31}}, {"2", {3}, {0x32}}, {"3", {4}, {0x33}}, {"4", {5},  {0x34}}, {"5", {6},  {0x35}},
    {"6", {7}, {0x36}}, {"7", {8}, {0x37}}, {"8", {9}, {0x38}}, {"9", {10}, {0x39}}, {"0", {11}, {0x30}},
    {"-",            {12},  {0xBD}},
    {"^",            {13},  {0xDE}},
    {"¥",            {124}, {0xDC}},
    {"BackSpace",    {14},  {0x08}},
    {"Tab",          {15},  {0x09}},
    {"A", {30}, {0x41}}, {"B", {48}, {0x42}}, {"C", {46}, {0x43}}, {"D", {32}, {0x44}}, {"E", {18}, {0x45}},
    {"F", {33}, {0x46}}, {"G", {34}, {0x47}}, {"H", {35}, {0x48}}, {"I", {23}, {0x49}}, {"J", {36}, {0x4A}},
    {"K", {37}, {0x4B}}, {"L", {38}, {0x4C}}, {"M", {50}, {0x4D}}, {"N", {49}, {0x4E}}, {"O", {24}, {0x4F}},
    {"P", {25}, {0x50}}, {"Q", {16}, {0x51}}, {"R", {19}, {0x52}}, {"S", {31}, {0x53}}, {"T", {20}, {0x54}},
    {"U", {22}, {0x55}}, {"V", {47}, {0x56}}, {"W", {17}, {0x57}}, {"X", {45}, {0x58}}, {"Y", {21}, {0x59}},
    {"Z", {44}, {0x5A}},
    {"@",            {26},  {0xC0}},
    {"[",            {27},  {0xDB}},
    {"Enter",        {28},  {0x0D}},
    {"CapsLock",     {58},  {0x14, 0xF0}},       // 0xF0: the same key without Shift (英数 of the input method)
    {";",            {39},  {0xBB}},
    {":",            {40},  {0xBA}},
    {"]",            {43},  {0xDD}},
    {"左Shift",      {42},  {0xA0}},
    {",",            {51},  {0xBC}},
    {".",            {52},  {0xBE}},
    {"/",            {53},  {0xBF}},
    {"ろ",           {89, 86}, {0xE2}},          // 86: the ISO keyboard's extra key, the same code on Windows
    {"右Shift",      {54},  {0xA1}},
    {"左Ctrl",       {29},  {0xA2}},
    {"左Windows",    {125}, {0x5B}},
    {"左Alt",        {56},  {0xA4}},
    {"無変換",       {94},  {0x1D}},
    {"Space",        {57},  {0x20}},
    {"変換",         {92},  {0x1C}},
    {"かな",         {93, 90, 91, 122}, {0xF2, 0xF1, 0x15, 0x16}},  // カタカナ/ひらがな/ローマ字, and かな of other keyboards
    {"右Alt",        {100}, {0xA5}},
    {"右Windows",    {126}, {0x5C}},
    {"Menu",         {127}, {0x5D}},
    {"右Ctrl",       {97},  {0xA3}},
    {"Insert",       {110}, {0x2D}},
    {"Delete",       {111}, {0x2E}},
    {"Home",         {102}, {0x24}},
    {"End",          {107}, {0x23}},
    {"PageUp",       {104}, {0x21}},
    {"PageDown",     {109}, {0x22}},
    {"↑",            {103}, {0x26}},
    {"←",            {105}, {0x25}},
    {"↓",            {108}, {0x28}},
    {"→",            {106}, {0x27}},
    {"NumLock",      {69},  {0x90}},
    {"テンキー /",   {98},  {0x6F}},
    {"テンキー *",   {55},  {0x6A}},
    {"テンキー -",   {74},  {0x6D}},
    {"テンキー +",   {78},  {0x6B}},
    {"テンキー Enter", {96}, {}},                // Windows: Enter
    {"テンキー .",   {83},  {0x6E}},
    {"テンキー ,",   {95, 121}, {0x6C}},
    {"テンキー =",   {117}, {0x92}},
    {"テンキー 0",   {82},  {0x60}},
    {"テンキー 1",   {79},  {0x61}},
    {"テンキー 2",   {80},  {0x62}},
    {"テンキー 3",   {81},  {0x63}},
    {"テンキー 4",   {75},  {0x64}},
    {"テンキー 5",   {76},  {0x65, 0x0C}},       // 0x0C: with NumLock off
    {"テンキー 6",   {77},  {0x66}},
    {"テンキー 7",   {71},  {0x67}},
    {"テンキー 8",   {72},  {0x68}},
    {"テンキー 9",   {73},  {0x69}},
    {"英数",         {123}, {0x1A}},             // the separate 英数 key of some keyboards
    {"Help",         {138}, {0x2F}},
    {"ミュート",     {113}, {0xAD}},
    {"音量ダウン",   {114}, {0xAE}},
    {"音量アップ",   {115}, {0xAF}},
    {"再生/一時停止", {164}, {0xB3}},
    {"停止",         {166}, {0xB2}},
    {"前のトラック", {165}, {0xB1}},
    {"次のトラック", {163}, {0xB0}},
    {"メール",       {155}, {0xB4}},
    {"メディア",     {171, 226}, {0xB5}},
    {"マイコンピューター", {144}, {0xB6}},
    {"電卓",         {140}, {0xB7}},
    {"ブラウザー戻る", {158}, {0xA6}},
    {"ブラウザー進む", {159}, {0xA7}},
    {"ブラウザー更新", {173}, {0xA8}},
    {"ブラウザー中止", {128}, {0xA9}},
    {"ブラウザー検索", {217}, {0xAA}},
    {"お気に入り",   {156}, {0xAB}},
    {"ホームページ", {172}, {0xAC}},
    {"スリープ",     {142}, {0x5F}},
    {"電源",         {116}, {}},
    {"輝度ダウン",   {224}, {}},
    {"輝度アップ",   {225}, {}},
    {"マイクミュート", {248}, {}},
    {"左クリック",   {0x110}, {0x01}},
    {"右クリック",   {0x111}, {0x02}},
    {"中クリック",   {0x112}, {0x04}},
    {"戻るボタン",   {0x113, 0x116}, {0x05}},    // side (X button 1), back
    {"進むボタン",   {0x114, 0x115}, {0x06}},    // extra (X button 2), forward
    {"ホイール上",   {}, {}},
    {"ホイール下",   {}, {}},
    {"ホイール左",   {}, {}},
    {"ホイール右",   {}, {}},
};
// clang-format on

// One step of a mouse wheel is one press of its direction.
enum class WheelStep : std::uint8_t { Up, Down, Left, Right };

namespace key_names_detail {

inline constexpr int kInputCodeCount = 0x300;  // the kernel's KEY_CNT
inline constexpr int kVirtualKeyCount = 256;

// A name made from a code, for keys the table does not name.
struct CodeName {
    char text[12] = {};
    std::size_t size = 0;
};

constexpr CodeName codeName(std::string_view prefix, int code, bool hex) {
    CodeName n;
    for (char c : prefix) n.text[n.size++] = c;
    const int base = hex ? 16 : 10;
    char digits[4] = {};
    int count = 0;
    do {
        digits[count++] = "0123456789ABCDEF"[code % base];
        code /= base;
    } while (code > 0);
    if (hex && count < 2) digits[count++] = '0';
    while (count > 0) n.text[n.size++] = digits[--count];
    return n;
}

// Codes of keyboards' keys: what is neither a key of a keyboard nor a mouse
// button (a touch, a pen, a joystick's button) is not counted at all.
constexpr bool isKeyboardInputCode(int code) { return (code > 0 && code < 0x100) || (code >= 0x160 && code < 0x2C0); }
// Every virtual-key code but the generic Shift, Ctrl and Alt (their sides
// have codes of their own), the input method's stand-ins for other keys
// (0xE5 processed by the input method, 0xE7 typed characters), the game
// controller's codes and 0xFF.
constexpr bool isKeyboardVirtualKey(int vk) {
    return vk > 0 && vk < 0xFF && (vk < 0x10 || vk > 0x12) && vk != 0xE5 && vk != 0xE7 && (vk < 0xC3 || vk > 0xDA);
}

template <int N>
constexpr std::array<CodeName, N> codeNames(std::string_view prefix, bool hex) {
    std::array<CodeName, N> names{};
    for (int c = 0; c < N; ++c) names[static_cast<std::size_t>(c)] = codeName(prefix, c, hex);
    return names;
}

inline constexpr auto kInputCodeNames = codeNames<kInputCodeCount>("evdev ", false);
inline constexpr auto kVirtualKeyCodeNames = codeNames<kVirtualKeyCount>("VK 0x", true);

constexpr std::array<std::string_view, kInputCodeCount> byInputCode() {
    std::array<std::string_view, kInputCodeCount> t{};
    for (int c = 0; c < kInputCodeCount; ++c)
        if (isKeyboardInputCode(c)) {
            const CodeName& n = kInputCodeNames[static_cast<std::size_t>(c)];
            t[static_cast<std::size_t>(c)] = std::string_view(n.text, n.size);
        }
    for (const KeyName& k : kKeyNames)
        for (std::uint16_t c : k.inputCodes)
            if (c != 0) t[c] = k.name;
    return t;
}

constexpr std::array<std::string_view, kVirtualKeyCount> byVirtualKey() {
    std::array<std::string_view, kVirtualKeyCount> t{};
    for (int c = 0; c < kVirtualKeyCount; ++c)
        if (isKeyboardVirtualKey(c)) {
            const CodeName& n = kVirtualKeyCodeNames[static_cast<std::size_t>(c)];
            t[static_cast<std::size_t>(c)] = std::string_view(n.text, n.size);
        }
    for (const KeyName& k : kKeyNames)
        for (std::uint8_t c : k.virtualKeys)
            if (c != 0) t[c] = k.name;
    return t;
}

inline constexpr auto kByInputCode = byInputCode();
inline constexpr auto kByVirtualKey = byVirtualKey();

// Names are unique, and no code belongs to two keys.
constexpr bool tableIsSound() {
    std::array<bool, kInputCodeCount> inputSeen{};
    std::array<bool, kVirtualKeyCount> vkSeen{};
    for (std::size_t i = 0; i < std::size(kKeyNames); ++i) {
        if (kKeyNames[i].name.empty()) return false;
        for (std::size_t j = 0; j < i; ++j)
            if (kKeyNames[j].name == kKeyNames[i].name) return false;
        for (std::uint16_t c : kKeyNames[i].inputCodes) {
            if (c >= kInputCodeCount || (c != 0 && inputSeen[c])) return false;
            if (c != 0) inputSeen[c] = true;
        }
        for (std::uint8_t c : kKeyNames[i].virtualKeys) {
            if (c != 0 && (vkSeen[c] || c == 0x10 || c == 0x11 || c == 0x12)) return false;
            if (c != 0) vkSeen[c] = true;
        }
    }
    return true;
}
static_assert(tableIsSound(), "key names must be unique and each code must belong to one key");

}  // namespace key_names_detail

// All named keys and buttons.
constexpr std::span<const KeyName> keyNames() noexcept { return kKeyNames; }

// The name of a Linux input code (KEY_* and the mouse's BTN_*): empty for
// codes that are not keys of a keyboard or buttons of a mouse.
constexpr std::string_view keyNameOfInputCode(int code) noexcept {
    if (code < 0 || code >= key_names_detail::kInputCodeCount) return {};
    return key_names_detail::kByInputCode[static_cast<std::size_t>(code)];
}

// The name of an X keycode of a server with evdev key codes (input code + 8).
constexpr std::string_view keyNameOfXKeycode(int keycode) noexcept {
    return keycode < 8 || keycode > 255 ? std::string_view() : keyNameOfInputCode(keycode - 8);
}

// The name of a Windows virtual-key code: empty for the generic Shift, Ctrl
// and Alt (16, 17, 18: their sides are named) and codes that are not keys.
constexpr std::string_view keyNameOfVirtualKey(int vk) noexcept {
    if (vk < 0 || vk >= key_names_detail::kVirtualKeyCount) return {};
    return key_names_detail::kByVirtualKey[static_cast<std::size_t>(vk)];
}

constexpr std::string_view keyNameOfWheelStep(WheelStep step) noexcept {
    switch (step) {
    case WheelStep::Up: return "ホイール上";
    case WheelStep::Down: return "ホイール下";
    case WheelStep::Left: return "ホイール左";
    case WheelStep::Right: return "ホイール右";
    }
    return {};
}

// The name of an X pointer button as the raw events number them (the
// physical button): 1 left, 2 middle, 3 right, 4 to 7 wheel steps up, down,
// left, right, 8 back, 9 forward; empty for others.
constexpr std::string_view keyNameOfXButton(int button) noexcept {
    switch (button) {
    case 1: return keyNameOfInputCode(0x110);
    case 2: return keyNameOfInputCode(0x112);
    case 3: return keyNameOfInputCode(0x111);
    case 4: return keyNameOfWheelStep(WheelStep::Up);
    case 5: return keyNameOfWheelStep(WheelStep::Down);
    case 6: return keyNameOfWheelStep(WheelStep::Left);
    case 7: return keyNameOfWheelStep(WheelStep::Right);
    case 8: return keyNameOfInputCode(0x113);
    case 9: return keyNameOfInputCode(0x114);
    default: return {};
    }
}

}  // namespace pressory::activity

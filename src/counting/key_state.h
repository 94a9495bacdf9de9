// Where the poller reads the global key state from.
#pragma once

#include <array>
#include <bit>
#include <cstdint>

namespace pressory::counting {

// One reading of one code: its state, and how many presses of it began since
// the reading before.
struct KeyReading {
    static constexpr std::int32_t kPressesUnknown = -1;

    std::int16_t state = 0;
    // Presses that began since the previous reading of this code, or
    // kPressesUnknown when the source only knows the state (the poller then
    // counts one press per change from up to down between readings).
    std::int32_t presses = kPressesUnknown;
};

// A set of virtual-key codes 0 to 255, walked in ascending order.
class CodeSet {
public:
    void add(int vk) noexcept {
        const auto v = static_cast<unsigned>(vk) & 0xFFu;
        words_[v / 64] |= std::uint64_t{1} << (v % 64);
    }
    bool has(int vk) const noexcept {
        const auto v = static_cast<unsigned>(vk) & 0xFFu;
        return (words_[v / 64] >> (v % 64)) & 1u;
    }
    void addAll(const CodeSet& other) noexcept {
        for (std::size_t w = 0; w < words_.size(); ++w) words_[w] |= other.words_[w];
    }
    void clear() noexcept { words_.fill(0); }
    bool empty() const noexcept { return (words_[0] | words_[1] | words_[2] | words_[3]) == 0; }
    // Calls f(vk) for every code of the set, lowest first.
    template <typename F>
    void forEach(F&& f) const {
        for (std::size_t w = 0; w < words_.size(); ++w)
            for (std::uint64_t bits = words_[w]; bits != 0; bits &= bits - 1)
                f(static_cast<int>(w * 64 + static_cast<std::size_t>(std::countr_zero(bits))));
    }

private:
    std::array<std::uint64_t, 4> words_{};
};

// The global asynchronous key state, one virtual-key code at a time.
//
// The contract every source meets: for each code 0 to 255 a value that is
// non-zero while the key is down, and also non-zero at the first reading
// after a press that began and ended since the reading before; 0 otherwise.
// The generic Shift, Ctrl and Alt codes (16, 17, 18) read as down while
// either key of the pair is down. Reading a code may clear its
// "pressed since the last reading" latch.
//
// A source fed by events also counts the presses: readKey() tells how many
// presses of the code began since its previous reading (a key going down;
// the keyboard's auto-repeat is never a press; for Shift, Ctrl and Alt the
// pair going from all keys up to one down), and clears that count together
// with the latch.
class KeyStateSource {
public:
    virtual ~KeyStateSource() = default;
    virtual std::int16_t asyncKeyState(int vk) = 0;
    virtual KeyReading readKey(int vk) { return {asyncKeyState(vk), KeyReading::kPressesUnknown}; }
    // A source fed by events knows which codes went down or up since this
    // was last called: it adds them to `moved`, forgets them, and returns
    // true. Every other code reads as it did at its last reading, but for a
    // latch that reading cleared. A source that cannot tell returns false,
    // and every code is read.
    virtual bool takeMoved(CodeSet& moved) {
        (void)moved;
        return false;
    }
};

}  // namespace pressory::counting

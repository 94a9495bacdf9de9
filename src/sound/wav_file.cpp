#include "sound/wav_file.h"

#include <algorithm>
#include <cstring>

namespace pressory::sound {
namespace {

std::uint32_t le16(std::string_view b, std::size_t at) {
    return static_cast<std::uint8_t>(b[at]) | static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at + 1])) << 8;
}

std::uint32_t le32(std::string_view b, std::size_t at) { return le16(b, at) | le16(b, at + 2) << 16; }

constexpr std::uint32_t kPcm = 1;
constexpr std::uint32_t kFloat = 3;
constexpr std::uint32_t kExtensible = 0xFFFE;

struct Format {
    std::uint32_t tag = 0;
    int channels = 0;
    int rate = 0;
    int bits = 0;
    int blockAlign = 0;
};

std::optional<SampleType> typeOf(const Format& f) {
    if (f.tag == kPcm && f.bits == 8) return SampleType::UInt8;
    if (f.tag == kPcm && f.bits == 16) return SampleType::Int16;
    if (f.tag == kPcm && (f.bits == 24 || f.bits == 32)) return SampleType::Int32;
    if (f.tag == kFloat && f.bits == 32) return SampleType::Float32;
    return std::nullopt;
}

}  // namespace

int PcmSound::bytesPerFrame() const {
    const int bytes = type == SampleType::UInt8 ? 1 : type == SampleType::Int16 ? 2 : 4;
    return bytes * channels;
}

std::optional<PcmSound> parseWav(std::string_view b) {
    if (b.size() < 12 || b.substr(0, 4) != "RIFF" || b.substr(8, 4) != "WAVE") return std::nullopt;
    std::optional<Format> format;
    std::string_view data;
    bool haveData = false;
    for (std::size_t at = 12; at + 8 <= b.size() && !haveData;) {
        const std::string_view id = b.substr(at, 4);
        const std::size_t size = le32(b, at + 4);
        const std::size_t body = at + 8;
        const std::size_t available = std::min(size, b.size() - body);
        if (id == "fmt ") {
            if (available < 16) return std::nullopt;
            Format f;
            f.tag = le16(b, body);
            f.channels = static_cast<int>(le16(b, body + 2));
            f.rate = static_cast<int>(le32(b, body + 4));
            f.blockAlign = static_cast<int>(le16(b, body + 12));
            f.bits = static_cast<int>(le16(b, body + 14));
            if (f.tag == kExtensible) {
                // The sub-format's GUID begins with the plain format tag.
                if (available < 40) return std::nullopt;
                f.tag = le16(b, body + 24);
            }
            format = f;
        } else if (id == "data") {
            data = b.substr(body, available);
            haveData = true;
        }
        at = body + size + (size & 1);  // chunks are padded to an even size
        if (at < body) break;           // a size that wraps around
    }
    if (!format || !haveData) return std::nullopt;
    const Format& f = *format;
    const std::optional<SampleType> type = typeOf(f);
    if (!type || f.channels < 1 || f.channels > 8 || f.rate < 1000 || f.rate > 384000) return std::nullopt;
    if (f.blockAlign != f.channels * f.bits / 8) return std::nullopt;

    PcmSound s;
    s.channels = f.channels;
    s.sampleRate = f.rate;
    s.type = *type;
    const std::size_t frames = data.size() / static_cast<std::size_t>(f.blockAlign);
    if (frames == 0) return std::nullopt;
    if (f.bits == 24) {
        // Each 3-byte sample becomes the top three bytes of a 32-bit one.
        const std::size_t count = frames * static_cast<std::size_t>(f.channels);
        s.samples.resize(count * 4);
        for (std::size_t i = 0; i < count; ++i) {
            s.samples[i * 4] = 0;
            std::memcpy(&s.samples[i * 4 + 1], data.data() + i * 3, 3);
        }
    } else {
        s.samples.assign(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(frames * f.blockAlign));
    }
    return s;
}

}  // namespace pressory::sound

#include "sound/wav_file.h"

#include <algorithm>
#include <cstring>
#include <string>

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

std::string wavImage(const PcmSound& s) {
    std::string b;
    const auto put16 = [&b](std::uint32_t v) {
        b += static_cast<char>(v & 0xFF);
        b += static_cast<char>((v >> 8) & 0xFF);
    };
    const auto put32 = [&](std::uint32_t v) {
        put16(v & 0xFFFF);
        put16(v >> 16);
    };
    const auto bytesPerFrame = static_cast<std::uint32_t>(s.bytesPerFrame());
    const std::uint32_t bits = bytesPerFrame * 8 / static_cast<std::uint32_t>(s.channels);
    const bool plain = (s.type == SampleType::UInt8 || s.type == SampleType::Int16) && s.channels <= 2;
    const std::uint32_t fmtSize = plain ? 16 : 40;
    const auto dataSize = static_cast<std::uint32_t>(s.samples.size());
    b += "RIFF";
    put32(4 + 8 + fmtSize + 8 + dataSize + (dataSize & 1));
    b += "WAVEfmt ";
    put32(fmtSize);
    put16(plain ? kPcm : kExtensible);
    put16(static_cast<std::uint32_t>(s.channels));
    put32(static_cast<std::uint32_t>(s.sampleRate));
    put32(static_cast<std::uint32_t>(s.sampleRate) * bytesPerFrame);
    put16(bytesPerFrame);
    put16(bits);
    if (!plain) {
        put16(22);    // the size of the extension
        put16(bits);  // valid bits per sample
        put32(0);     // no speaker positions: the default order
        // The sub-format GUID: the format tag, then the fixed rest of
        // 00000000-0000-0010-8000-00AA00389B71.
        put32(s.type == SampleType::Float32 ? kFloat : kPcm);
        b += std::string("\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 12);
    }
    b += "data";
    put32(dataSize);
    b.append(s.samples.begin(), s.samples.end());
    if (dataSize & 1) b += '\0';
    return b;
}

}  // namespace pressory::sound

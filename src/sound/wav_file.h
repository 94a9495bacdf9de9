// Reading a WAV file's sound into memory: the RIFF/WAVE container with PCM
// samples of 8, 16, 24 or 32 bits or 32-bit floats, plain or in the
// extensible format. The samples come out as a player takes them; 24-bit
// samples are widened to 32 bits.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pressory::sound {

enum class SampleType : std::uint8_t { UInt8, Int16, Int32, Float32 };

struct PcmSound {
    int channels = 0;
    int sampleRate = 0;
    SampleType type = SampleType::Int16;
    std::vector<char> samples;  // interleaved frames, little-endian

    int bytesPerFrame() const;
    // The byte value of silence (0x80 for unsigned 8-bit, else 0).
    char silenceByte() const { return type == SampleType::UInt8 ? static_cast<char>(0x80) : 0; }
};

// The sound of a WAV file's bytes, or nothing when they are not a WAV file
// with a format above, 1 to 8 channels, a rate of 1000 to 384000 Hz and at
// least one whole frame. A data chunk that runs past the end of the file is
// cut at the last whole frame.
std::optional<PcmSound> parseWav(std::string_view bytes);

// A WAV file's bytes holding just the sound: the plain PCM format for 8 and
// 16-bit samples of one or two channels, the extensible format otherwise (as
// a Windows player needs for 32-bit, float or more than two channels). What
// parseWav() reads back is the same sound.
std::string wavImage(const PcmSound& sound);

}  // namespace pressory::sound

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <string>

#include "settings/settings.h"
#include "sound/sound_keys.h"
#include "sound/sound_paths.h"
#include "sound/wav_file.h"
#include "support/temp_folder.h"

using namespace pressory;
using namespace pressory::sound;
using test::readBytes;
using test::TempFolder;
using test::writeBytes;

namespace {

// The 84 sound keys, written out rather than taken from the layout.
std::set<int> soundKeys() {
    std::set<int> k = {1,  2,   8,   9,   13,  16,  17,  18,  19,  27,  32,  44,  45,  46,
                       91, 145, 186, 187, 188, 189, 190, 191, 192, 219, 220, 221, 222, 226};
    for (int vk = 33; vk <= 40; ++vk) k.insert(vk);
    for (int vk = 48; vk <= 57; ++vk) k.insert(vk);
    for (int vk = 65; vk <= 90; ++vk) k.insert(vk);
    for (int vk = 112; vk <= 123; ++vk) k.insert(vk);
    return k;
}

}  // namespace

TEST(SoundKeys, HasSoundEntryExactlyForThe84Keys) {
    const std::set<int> keys = soundKeys();
    ASSERT_EQ(keys.size(), 84u);
    for (int vk = -1; vk <= 256; ++vk) EXPECT_EQ(hasSoundEntry(vk), keys.count(vk) == 1) << vk;
    // The seven other cells of the keyboard have none.
    for (int vk : {4, 20, 25, 92, 161, 163, 165}) EXPECT_FALSE(hasSoundEntry(vk)) << vk;
}

TEST(SoundPaths, StorablePaths) {
    EXPECT_TRUE(canStorePath(""));
    EXPECT_TRUE(canStorePath("/home/ユーザー/音 1/キー.wav"));
    EXPECT_TRUE(canStorePath(" \"quoted\" ;x=y[z] "));
    EXPECT_FALSE(canStorePath("/a\nb.wav"));
    EXPECT_FALSE(canStorePath("/a\rb.wav"));
    EXPECT_FALSE(canStorePath(std::string("/a\0b.wav", 8)));
}

TEST(SoundPaths, PathsToLoadAreTheDistinctSoundKeyPathsInKeyOrder) {
    PathTable t;
    t[90] = "/z.wav";
    t[65] = "/a.wav";
    t[66] = "/z.wav";      // the same file twice
    t[4] = "/middle.wav";  // no sound entry
    t[96] = "/96.wav";     // no cell
    t[67] = "";
    EXPECT_EQ(pathsToLoad(t), (std::vector<std::string>{"/a.wav", "/z.wav"}));
}

TEST(SoundPaths, OkRewritesExactlyThe84Keys) {
    TempFolder dir("pressory-sound-");
    const auto ini = dir.path() / "Pressory.ini";
    const std::string before =
        "; mine\r\n[SOUND]\r\nSoundEnable=-1\r\nKey4=/keep/middle.wav\r\nKey65=/old/a.wav\r\nKey96=/keep/96.wav\r\n"
        "[COLOR]\r\nColorTextBoxBlink=255\r\n";
    writeBytes(ini, before);

    PathTable table;
    table[4] = "/table/4.wav";
    table[65] = "/old/a.wav";
    table[96] = "/table/96.wav";
    PathTable edits;
    edits[65] = "/new/a.wav";
    edits[66] = "/b c/b.wav";
    edits[226] = "/home/ユーザー/ろ.wav";
    edits[4] = "/edit/4.wav";  // not a sound key: neither taken nor written
    edits[96] = "/edit/96.wav";

    const SaveResult r = savePaths(ini.string(), edits, table);
    EXPECT_EQ(r.outcome, SaveResult::Outcome::Written);

    // Key65 is replaced in place; the other 83 keys are added to the end of
    // the section in ascending order, empty ones too; nothing else changes.
    std::string added;
    for (int vk : soundKeys())
        if (vk != 65) added += "Key" + std::to_string(vk) + "=" + edits[static_cast<std::size_t>(vk)] + "\r\n";
    EXPECT_EQ(
        readBytes(ini),
        "; mine\r\n[SOUND]\r\nSoundEnable=-1\r\nKey4=/keep/middle.wav\r\nKey65=/new/a.wav\r\nKey96=/keep/96.wav\r\n" +
            added + "[COLOR]\r\nColorTextBoxBlink=255\r\n");

    for (int vk = 0; vk <= 255; ++vk) {
        const auto i = static_cast<std::size_t>(vk);
        if (hasSoundEntry(vk)) {
            EXPECT_EQ(table[i], edits[i]) << vk;
        }
    }
    EXPECT_EQ(table[4], "/table/4.wav");
    EXPECT_EQ(table[96], "/table/96.wav");

    // What was written reads back as the table.
    const settings::SettingsRecord back = settings::loadSettings(ini.string());
    for (int vk : soundKeys())
        EXPECT_EQ(back.soundPaths[static_cast<std::size_t>(vk)], table[static_cast<std::size_t>(vk)]);
    EXPECT_EQ(back.soundPaths[4], "/keep/middle.wav");

    // A second OK without a change rewrites the same bytes.
    const std::string once = readBytes(ini);
    EXPECT_EQ(savePaths(ini.string(), edits, table).outcome, SaveResult::Outcome::Written);
    EXPECT_EQ(readBytes(ini), once);
}

TEST(SoundPaths, APathWithALineBreakIsRefusedAndNothingIsWritten) {
    TempFolder dir("pressory-sound-");
    const auto ini = dir.path() / "Pressory.ini";
    const std::string before = "[SOUND]\r\nKey65=/old/a.wav\r\n";
    writeBytes(ini, before);
    PathTable table;
    table[65] = "/old/a.wav";
    PathTable edits;
    edits[2] = "/fine.wav";
    edits[65] = "/new\n[COLOR]\nColorTextBoxBlink=0.wav";
    edits[70] = "/also\rbad.wav";
    const SaveResult r = savePaths(ini.string(), edits, table);
    EXPECT_EQ(r.outcome, SaveResult::Outcome::Refused);
    EXPECT_EQ(r.refusedVk, 65);
    EXPECT_EQ(readBytes(ini), before);
    EXPECT_EQ(table[65], "/old/a.wav");
    EXPECT_EQ(table[2], "");
}

TEST(SoundPaths, AFailedWriteIsReportedButTheTableHoldsTheNewPaths) {
    TempFolder dir("pressory-sound-");
    PathTable table;
    PathTable edits;
    edits[65] = "/new/a.wav";
    const SaveResult r = savePaths((dir.path() / "missing" / "Pressory.ini").string(), edits, table);
    EXPECT_EQ(r.outcome, SaveResult::Outcome::WriteFailed);
    EXPECT_EQ(table[65], "/new/a.wav");
}

// ---------------------------------------------------------------------------
// WAV files

namespace {

void put16(std::string& s, unsigned v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& s, unsigned v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}

std::string chunk(const std::string& id, const std::string& body) {
    std::string s = id;
    put32(s, static_cast<unsigned>(body.size()));
    s += body;
    if (body.size() % 2) s += '\0';
    return s;
}

std::string fmt(unsigned tag, unsigned channels, unsigned rate, unsigned bits) {
    std::string f;
    put16(f, tag);
    put16(f, channels);
    put32(f, rate);
    put32(f, rate * channels * bits / 8);
    put16(f, channels * bits / 8);
    put16(f, bits);
    return f;
}

std::string riff(const std::string& chunks) {
    std::string s = "RIFF";
    put32(s, static_cast<unsigned>(chunks.size() + 4));
    return s + "WAVE" + chunks;
}

}  // namespace

TEST(WavFile, PlainPcmWithOtherChunksBeforeTheData) {
    const std::string samples("\x01\x00\xff\x7f\x00\x80\x10\x00", 8);
    const std::string bytes = riff(chunk("LIST", "odd") + chunk("fmt ", fmt(1, 2, 44100, 16)) + chunk("fact", "abcd") +
                                   chunk("data", samples));
    const auto s = parseWav(bytes);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->channels, 2);
    EXPECT_EQ(s->sampleRate, 44100);
    EXPECT_EQ(s->type, SampleType::Int16);
    EXPECT_EQ(s->bytesPerFrame(), 4);
    EXPECT_EQ(std::string(s->samples.begin(), s->samples.end()), samples);
}

TEST(WavFile, FormatsAndWidening) {
    // 8-bit unsigned: silence is 0x80.
    auto u8 = parseWav(riff(chunk("fmt ", fmt(1, 1, 8000, 8)) + chunk("data", "\x80\x81")));
    ASSERT_TRUE(u8);
    EXPECT_EQ(u8->type, SampleType::UInt8);
    EXPECT_EQ(u8->silenceByte(), static_cast<char>(0x80));
    // 24-bit samples become the top three bytes of 32-bit ones.
    auto s24 =
        parseWav(riff(chunk("fmt ", fmt(1, 1, 48000, 24)) + chunk("data", std::string("\x01\x02\x03\x04\x05\x06", 6))));
    ASSERT_TRUE(s24);
    EXPECT_EQ(s24->type, SampleType::Int32);
    EXPECT_EQ(std::string(s24->samples.begin(), s24->samples.end()), std::string("\0\x01\x02\x03\0\x04\x05\x06", 8));
    // The extensible format names the sample format in its sub-format.
    std::string ext = fmt(0xFFFE, 1, 22050, 32);
    put16(ext, 22);
    put16(ext, 32);
    put32(ext, 4);
    put16(ext, 3);  // IEEE float
    ext += std::string(14, '\x01');
    auto f32 = parseWav(riff(chunk("fmt ", ext) + chunk("data", std::string(8, '\0'))));
    ASSERT_TRUE(f32);
    EXPECT_EQ(f32->type, SampleType::Float32);
    EXPECT_EQ(f32->samples.size(), 8u);
}

TEST(WavFile, ImageReadsBackAsTheSameSoundWithTheFormatAWindowsPlayerTakes) {
    struct Case {
        SampleType type;
        int channels;
        std::uint16_t tag;  // the format field of the image
    };
    for (const Case c :
         {Case{SampleType::UInt8, 1, 1}, Case{SampleType::Int16, 2, 1}, Case{SampleType::Int16, 6, 0xFFFE},
          Case{SampleType::Int32, 1, 0xFFFE}, Case{SampleType::Float32, 2, 0xFFFE}}) {
        PcmSound in;
        in.type = c.type;
        in.channels = c.channels;
        in.sampleRate = 22050;
        for (int i = 0; i < in.bytesPerFrame() * 3; ++i) in.samples.push_back(static_cast<char>(i * 7 + 1));
        const std::string image = wavImage(in);
        const auto out = parseWav(image);
        ASSERT_TRUE(out) << c.channels;
        EXPECT_EQ(out->type, in.type);
        EXPECT_EQ(out->channels, in.channels);
        EXPECT_EQ(out->sampleRate, in.sampleRate);
        EXPECT_EQ(out->samples, in.samples);
        EXPECT_EQ(static_cast<std::uint8_t>(image[20]) | static_cast<std::uint8_t>(image[21]) << 8, c.tag);
        // The RIFF size covers the whole file.
        EXPECT_EQ(static_cast<std::uint8_t>(image[4]) + 8u, image.size());
    }
    // An odd data size is padded to an even chunk.
    PcmSound odd;
    odd.type = SampleType::UInt8;
    odd.channels = 1;
    odd.sampleRate = 8000;
    odd.samples = {'\x10', '\x20', '\x30'};
    EXPECT_EQ(wavImage(odd).size(), 44u + 4u);
}

TEST(WavFile, TruncatedDataIsCutAtTheLastWholeFrame) {
    std::string bytes = riff(chunk("fmt ", fmt(1, 2, 44100, 16)) + chunk("data", std::string(400, '\x11')));
    bytes.resize(bytes.size() - 203);  // the data chunk says 400, the file holds 197
    const auto s = parseWav(bytes);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->samples.size(), 196u);
}

TEST(WavFile, WhatIsNotAPlayableWavIsRefused) {
    const std::string data = chunk("data", std::string(16, '\0'));
    EXPECT_FALSE(parseWav(""));
    EXPECT_FALSE(parseWav("not a sound at all, just some text that is long enough"));
    EXPECT_FALSE(parseWav(riff(data)));                                                             // no format
    EXPECT_FALSE(parseWav(riff(chunk("fmt ", fmt(1, 1, 44100, 16)))));                              // no data
    EXPECT_FALSE(parseWav(riff(chunk("fmt ", fmt(2, 1, 44100, 4)) + data)));                        // ADPCM
    EXPECT_FALSE(parseWav(riff(chunk("fmt ", fmt(3, 1, 44100, 64)) + data)));                       // 64-bit float
    EXPECT_FALSE(parseWav(riff(chunk("fmt ", fmt(1, 0, 44100, 16)) + data)));                       // no channels
    EXPECT_FALSE(parseWav(riff(chunk("fmt ", fmt(1, 1, 10, 16)) + data)));                          // absurd rate
    EXPECT_FALSE(parseWav(riff(chunk("fmt ", fmt(1, 2, 44100, 16)) + chunk("data", "\x01\x02"))));  // no whole frame
    std::string hugeChunk = "RIFF....WAVEjunk";
    put32(hugeChunk, 0xFFFFFFF0u);  // a chunk size past the end
    EXPECT_FALSE(parseWav(hugeChunk));
}

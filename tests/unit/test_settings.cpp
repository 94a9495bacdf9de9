#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "settings/settings.h"
#include "support/temp_folder.h"

using namespace pressory;
using namespace pressory::settings;
namespace fs = std::filesystem;

namespace {

bool operator==(const SettingsRecord& a, const SettingsRecord& b) {
    return a.fileHistoryMaxRow == b.fileHistoryMaxRow && a.soundEnable == b.soundEnable &&
           a.soundPaths == b.soundPaths && a.colorTextBoxBlink == b.colorTextBoxBlink &&
           a.colorBackGround == b.colorBackGround && a.pictureEnable == b.pictureEnable &&
           a.pictureBackGround == b.pictureBackGround && a.heatMap == b.heatMap &&
           a.activityPerApp == b.activityPerApp && a.activityNeverApps == b.activityNeverApps &&
           a.pauseChord == b.pauseChord && a.keepPause == b.keepPause && a.paused == b.paused;
}

SettingsRecord fromText(std::string bytes) {
    return loadSettings(settings::profile::ProfileDocument(std::move(bytes)));
}

class SettingsFileTest : public ::testing::Test {
protected:
    test::TempFolder folder{"pressory-settings-"};
    fs::path dir = folder.path();
    std::string file = (dir / kFileName).string();
};

TEST_F(SettingsFileTest, NoFileGivesTheDefaultsAndAFirstCloseWritesThemBack) {
    const SettingsRecord none = loadSettings(file);
    EXPECT_EQ(none.fileHistoryMaxRow, 1);
    EXPECT_EQ(none.soundEnable, 0);
    EXPECT_EQ(none.soundPaths, decltype(none.soundPaths){});
    EXPECT_EQ(none.colorTextBoxBlink, 255);
    EXPECT_EQ(none.colorBackGround, -2147483633);
    EXPECT_EQ(none.pictureEnable, 0);
    EXPECT_EQ(none.pictureBackGround, "");
    EXPECT_EQ(none.heatMap, 0);

    const char* six[][3] = {
        {"FILE", "FileHistoryMaxRow", "1"},    {"SOUND", "SoundEnable", "0"},
        {"COLOR", "ColorTextBoxBlink", "255"}, {"COLOR", "ColorBackGround", "-2147483633"},
        {"COLOR", "PictureBackGround", ""},    {"COLOR", "PictureEnable", "0"},
    };
    for (const auto& v : six) ASSERT_TRUE(settings::profile::writeText(file, v[0], v[1], v[2]));
    std::ifstream in(file, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(bytes,
              "[FILE]\r\nFileHistoryMaxRow=1\r\n[SOUND]\r\nSoundEnable=0\r\n[COLOR]\r\nColorTextBoxBlink=255\r\n"
              "ColorBackGround=-2147483633\r\nPictureBackGround=\r\nPictureEnable=0\r\n");
    EXPECT_TRUE(loadSettings(file) == none);
}

TEST_F(SettingsFileTest, EveryFieldRoundTripsWhole) {
    SettingsRecord want;
    want.fileHistoryMaxRow = 6;
    want.soundEnable = -1;
    want.soundPaths[0] = "/s/zero.wav";
    want.soundPaths[65] = "/" + std::string(299, 'a');   // longer than 255 bytes
    want.soundPaths[96] = "/home/ユーザー/音/キー.wav";  // a code without a cell
    want.soundPaths[255] = " spaced.wav ";
    want.colorTextBoxBlink = 0x00FF00;
    want.colorBackGround = static_cast<std::int32_t>(0x80000005u);
    want.pictureEnable = -1;
    want.pictureBackGround = "/home/ユーザー/背景.jpg";
    for (int k = 0; k < 256; ++k) {
        const auto& p = want.soundPaths[static_cast<std::size_t>(k)];
        if (!p.empty()) {
            ASSERT_TRUE(settings::profile::writeText(file, "SOUND", soundKeyName(k), p));
        }
    }
    ASSERT_TRUE(settings::profile::writeText(file, "FILE", "FileHistoryMaxRow", "6"));
    ASSERT_TRUE(settings::profile::writeText(file, "SOUND", "SoundEnable", "-1"));
    ASSERT_TRUE(settings::profile::writeText(file, "COLOR", "ColorTextBoxBlink", "65280"));
    ASSERT_TRUE(settings::profile::writeText(file, "COLOR", "ColorBackGround", std::to_string(want.colorBackGround)));
    ASSERT_TRUE(settings::profile::writeText(file, "COLOR", "PictureBackGround", want.pictureBackGround));
    ASSERT_TRUE(settings::profile::writeText(file, "COLOR", "PictureEnable", "-1"));
    const SettingsRecord got = loadSettings(file);
    EXPECT_EQ(got.soundPaths[65].size(), 300u);
    EXPECT_TRUE(got == want);
}

TEST(Settings, SixteenBitFieldsAndTheRowLimit) {
    EXPECT_EQ(fromText("[SOUND]\nSoundEnable=-1\n").soundEnable, -1);
    EXPECT_EQ(fromText("[SOUND]\nSoundEnable=1\n").soundEnable, 1);
    EXPECT_EQ(fromText("[SOUND]\nSoundEnable=0\n").soundEnable, 0);
    EXPECT_EQ(fromText("[SOUND]\nSoundEnable=-32769\n").soundEnable, 0);
    EXPECT_EQ(fromText("[COLOR]\nColorTextBoxBlink=abc\n").colorTextBoxBlink, 0);

    // One field out of range takes its default; the others load as usual.
    const SettingsRecord r = fromText(
        "[FILE]\nFileHistoryMaxRow=4\n[SOUND]\nSoundEnable=-1\nKey65=a.wav\n"
        "[COLOR]\nColorTextBoxBlink=65280\nColorBackGround=16711680\nPictureEnable=32768\nPictureBackGround=p.bmp\n");
    EXPECT_EQ(r.pictureEnable, 0);
    EXPECT_EQ(r.fileHistoryMaxRow, 4);
    EXPECT_EQ(r.soundEnable, -1);
    EXPECT_EQ(r.soundPaths[65], "a.wav");
    EXPECT_EQ(r.colorTextBoxBlink, 65280);
    EXPECT_EQ(r.colorBackGround, 16711680);
    EXPECT_EQ(r.pictureBackGround, "p.bmp");

    const struct {
        const char* value;
        std::int16_t expected;
    } rows[] = {{"1", 1}, {"6", 6}, {"0", 1}, {"7", 1}, {"-1", 1}, {"70000", 1}, {"abc", 1}, {"3rows", 3}};
    for (const auto& c : rows)
        EXPECT_EQ(fromText(std::string("[FILE]\r\nFileHistoryMaxRow=") + c.value).fileHistoryMaxRow, c.expected)
            << c.value;
}

TEST(Settings, SoundKeyNames) {
    EXPECT_EQ(soundKeyName(0), "Key0");
    EXPECT_EQ(soundKeyName(65), "Key65");
    EXPECT_EQ(soundKeyName(255), "Key255");
}

TEST_F(SettingsFileTest, GarbageLoadsWithoutHarm) {
    std::string bytes(1'000'000, '\0');
    std::mt19937 rng(11);
    for (auto& b : bytes) b = static_cast<char>(rng());
    bytes += "\n[COLOR]\nColorBackGround=5\n";
    std::ofstream(file, std::ios::binary) << bytes;
    EXPECT_EQ(loadSettings(file).colorBackGround, 5);
    EXPECT_TRUE(loadSettings(dir.string()) == SettingsRecord{});  // a folder reads as no file
}

}  // namespace

namespace {

TEST_F(SettingsFileTest, SaveReplacesTheFileOnceWithEveryValueAndLeavesTheRestAlone) {
    // A file of another hand: a byte order mark, comments, blanks, quotes, a
    // sound path, an unknown key and section stay as they are.
    const std::string hand =
        "\xEF\xBB\xBF; mine\r\n[SOUND]\r\nKey65=\"a b.wav\"\r\n  SoundEnable = 0 ; on?\r\n[X]\r\ny = '1'\r\n"
        "[color]\r\nColorTextBoxBlink=255\r\n\r\n; the end\r\n";
    std::ofstream(file, std::ios::binary) << hand;
    SettingsRecord r;
    r.fileHistoryMaxRow = 3;
    r.soundEnable = -1;
    r.soundPaths[66] = "not written by save";
    r.colorTextBoxBlink = 65280;
    r.colorBackGround = static_cast<std::int32_t>(0x8000000Fu);
    r.pictureBackGround = "/p/背景.png";
    r.pictureEnable = -1;
    r.heatMap = -1;
    int replaced = 0;
    const files::ReplaceFile replace = [&](const std::string& path, std::string_view bytes) {
        ++replaced;
        return files::replaceWithoutSync(path, bytes);
    };
    ASSERT_TRUE(save(file, r, replace));
    EXPECT_EQ(replaced, 1) << "one replacement for the seven keys";
    EXPECT_EQ(test::readBytes(file),
              "\xEF\xBB\xBF; mine\r\n[SOUND]\r\nKey65=\"a b.wav\"\r\n  SoundEnable =-1\r\n[X]\r\ny = '1'\r\n"
              "[color]\r\nColorTextBoxBlink=65280\r\nColorBackGround=-2147483633\r\nPictureBackGround=/p/背景.png\r\n"
              "PictureEnable=-1\r\nHeatMap=-1\r\n\r\n; the end\r\n[FILE]\r\nFileHistoryMaxRow=3\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 1);  // no temporary left
    SettingsRecord back = loadSettings(file);
    EXPECT_EQ(back.soundPaths[65], "a b.wav");
    back.soundPaths[65].clear();
    r.soundPaths[66].clear();
    EXPECT_TRUE(back == r);

    // Nothing changed: nothing is written.
    ASSERT_TRUE(save(file, r, replace));
    EXPECT_EQ(replaced, 1);

    // A file that cannot be written, or a value that cannot be stored, is reported.
    EXPECT_FALSE(save(dir.string(), r));
    r.pictureBackGround = "two\nlines";
    r.heatMap = 0;
    EXPECT_FALSE(save(file, r, replace));
    EXPECT_EQ(loadSettings(file).heatMap, 0);  // the others are written all the same
}

}  // namespace

// The activity keys: a file that never had them gets none while they stay at
// their defaults; once set they are written and read back; a pause is kept
// over a restart only when asked to.
TEST_F(SettingsFileTest, ActivityKeysAppearOnlyOnceSetAndThePauseIsKeptOnlyWhenAsked) {
    const fs::path file = dir / "Pressory.ini";
    SettingsRecord r;
    EXPECT_EQ(r.activityPerApp, -1);
    ASSERT_TRUE(save(file.string(), r));
    EXPECT_EQ(test::readBytes(file).find("ACTIVITY"), std::string::npos);

    r.activityNeverApps = "keepassxc|secret.exe";
    r.paused = -1;  // paused at the close, not to be kept
    ASSERT_TRUE(save(file.string(), r));
    EXPECT_NE(test::readBytes(file).find("[ACTIVITY]\r\nNeverRecord=keepassxc|secret.exe\r\n"), std::string::npos);
    EXPECT_EQ(test::readBytes(file).find("Paused"), std::string::npos);

    r.keepPause = -1;
    r.activityPerApp = 0;
    ASSERT_TRUE(save(file.string(), r));
    SettingsRecord back = loadSettings(file.string());
    EXPECT_TRUE(back == r);
    EXPECT_EQ(back.paused, -1);

    // Back to the defaults: the keys the file has now are written with them.
    ASSERT_TRUE(save(file.string(), SettingsRecord()));
    EXPECT_TRUE(loadSettings(file.string()) == SettingsRecord());
    EXPECT_NE(test::readBytes(file).find("KeepPause=0\r\nPaused=0\r\n"), std::string::npos);
    // A file that says paused without keeping it starts counting.
    EXPECT_EQ(fromText("[ACTIVITY]\r\nPaused=-1\r\n").paused, 0);
}

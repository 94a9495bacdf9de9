// The Windows platform pieces on Windows code paths (run under Wine by
// scripts/test): the key state query, the application folder, where the
// files live, and their whole replacement.
#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>

#include "files/replace_file.h"
#include "platform/app_folder.h"
#include "platform/boot_time.h"
#include "platform/file_access.h"
#include "platform/file_folder.h"
#include "platform/foreground_app.h"
#include "platform/key_source.h"
#include "platform/win32/sound_player_win32.h"
#include "platform/win32/win32_key_source.h"
#include "sound/wav_file.h"
#include "support/recording_press_sink.h"
#include "support/temp_folder.h"

using namespace pressory::platform;
namespace fs = std::filesystem;

TEST(Win32KeySource, AnswersForEveryCodeAndNothingIsDown) {
    KeySourceChoice choice = chooseKeySource("windows");
    ASSERT_NE(choice.source, nullptr);
    EXPECT_TRUE(choice.problem.empty());
    EXPECT_TRUE(choice.notice.empty());
    EXPECT_EQ(choice.source->wakeHandle(), -1);  // polled, never woken
    choice.source->pump();
    // No one presses a key here: the high bit (down) is clear for every code.
    for (int vk = 1; vk < 256; ++vk) EXPECT_EQ(choice.source->asyncKeyState(vk) & 0x8000, 0) << vk;
}

namespace {

// The key state as GetAsyncKeyState keeps it: a reading clears bit 0.
std::array<std::int16_t, 256> scriptedKeys{};
std::int16_t scriptedQuery(int vk) {
    const std::int16_t value = scriptedKeys[static_cast<std::size_t>(vk)];
    scriptedKeys[static_cast<std::size_t>(vk)] &= static_cast<std::int16_t>(~1);
    return value;
}
void down(int vk) { scriptedKeys[static_cast<std::size_t>(vk)] = static_cast<std::int16_t>(0x8001); }
void up(int vk) { scriptedKeys[static_cast<std::size_t>(vk)] &= 1; }

}  // namespace

TEST(Win32KeySource, EveryCodeThatWentDownReachesThePressSinkOnceByItsName) {
    scriptedKeys.fill(0);
    win32::Win32KeySource src(scriptedQuery);
    pressory::test::RecordingPressSink sink;
    // Without a sink the poller's readings are the system's, as always.
    down(0x41);
    src.pump();
    EXPECT_EQ(src.asyncKeyState(0x41), static_cast<std::int16_t>(0x8001));
    EXPECT_EQ(src.asyncKeyState(0x41), static_cast<std::int16_t>(0x8000));
    up(0x41);

    src.setPressSink(&sink);
    down(0x1C);  // 変換
    down(0x10);  // Shift: the generic code and the left one
    down(0xA0);
    down(0x19);  // 半角/全角 under two codes at once
    down(0xF3);
    src.pump();
    // The poller still has the "pressed since" bit of the pump's reading.
    EXPECT_EQ(src.asyncKeyState(0x1C), static_cast<std::int16_t>(0x8001));
    EXPECT_EQ(src.asyncKeyState(0x1C), static_cast<std::int16_t>(0x8000));
    // Held (with the auto-repeat setting bit 0 again): no new press.
    down(0x1C);
    src.pump();
    up(0x1C);
    up(0x10);
    up(0xA0);
    up(0x19);
    up(0xF3);
    src.pump();
    // Pressed and released between two pumps; the middle button; the side ones.
    scriptedKeys[0x65] = 1;
    for (int vk : {0x04, 0x05, 0x06}) down(vk);
    src.pump();

    const std::map<std::string, std::uint32_t> want{
        {"変換", 1},       {"左Shift", 1},    {"半角/全角", 1},  {"テンキー 5", 1},
        {"中クリック", 1}, {"戻るボタン", 1}, {"進むボタン", 1},
    };
    EXPECT_EQ(sink.presses, want);
    EXPECT_EQ(src.asyncKeyState(0x65), 1) << "the tap is the poller's too";
}

TEST(Win32ForegroundApp, TheExecutableOfTheForegroundWindow) {
    auto app = makeForegroundApp();
    ASSERT_NE(app, nullptr);
    EXPECT_EQ(app->wakeHandle(), -1);
    HWND window = CreateWindowExW(0, L"STATIC", L"Pressory test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    SetForegroundWindow(window);
    EXPECT_EQ(app->current(), "unit_tests.exe");
    DestroyWindow(window);
}

TEST(Win32AppFolder, TheProgramFolderEndsInOneBackslash) {
    const std::string folder = programFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(fileExists(applicationFolder() + "unit_tests.exe"));
    EXPECT_EQ(applicationFolderOf("C:\\"), "C:\\");
    EXPECT_EQ(applicationFolderOf("C:\\Tools\\Pressory"), "C:\\Tools\\Pressory\\");
    EXPECT_EQ(applicationFolderOf(""), "");
}

TEST(Win32FileFolder, AppDataAndTheRule) {
    std::map<std::string, std::string> vars{{"APPDATA", "C:\\Users\\a\\AppData\\Roaming"}};
    auto env = [&vars](const char* name) -> const char* {
        const auto it = vars.find(name);
        return it == vars.end() ? nullptr : it->second.c_str();
    };
    EXPECT_EQ(userDataFolder(env), "C:\\Users\\a\\AppData\\Roaming\\Pressory");
    vars.clear();
    EXPECT_EQ(userDataFolder(env), "");
    EXPECT_EQ(pathIn("C:\\", "Pressory.ini"), "C:\\Pressory.ini");
    EXPECT_EQ(pathIn("C:\\Tools", "Pressory.ini"), "C:\\Tools\\Pressory.ini");

    pressory::test::TempFolder top("pressory-win-");
    const std::string program = top.path().string();
    const std::string user = (top.path() / "Roaming" / "Pressory").string();
    // A folder the program can write keeps its files; nothing else is made.
    FileFolderChoice c = chooseFileFolder(program, user, {"Pressory.ini"});
    EXPECT_EQ(c.folder, program);
    EXPECT_FALSE(c.perUser);
    EXPECT_FALSE(fs::exists(user));
    EXPECT_FALSE(newFileProbe(program));
    // A folder that is gone is no folder refused for good: nothing moves.
    const std::string missing = (top.path() / "gone").string();
    EXPECT_EQ(folderAccessOf(newFileProbe(missing)), FolderAccess::Passing);
    c = chooseFileFolder(missing, user, {"Pressory.ini"});
    EXPECT_EQ(c.folder, missing);
    EXPECT_FALSE(fs::exists(user));
    // One where access is denied sends the files to the per-user folder, which is made.
    const auto denied = [](const std::string&) { return std::make_error_code(std::errc::permission_denied); };
    c = chooseFileFolder(program, user, {"Pressory.ini"}, denied);
    EXPECT_EQ(c.folder, user);
    EXPECT_TRUE(c.perUser);
    EXPECT_TRUE(c.moved);
    EXPECT_TRUE(fs::is_directory(user));
    // Carrying a file over keeps a copy that is already there.
    std::ofstream(top.path() / "a.txt") << "beside";
    std::ofstream(fs::path(user) / "a.txt") << "own";
    EXPECT_TRUE(copyIfMissing((top.path() / "a.txt").string(), (fs::path(user) / "a.txt").string()));
    EXPECT_TRUE(copyIfMissing((top.path() / "a.txt").string(), (fs::path(user) / "b.txt").string()));
    EXPECT_EQ(pressory::test::readBytes(fs::path(user) / "a.txt"), "own");
    EXPECT_EQ(pressory::test::readBytes(fs::path(user) / "b.txt"), "beside");
}

TEST(Win32BootTime, BeforeNow) {
    const auto booted = bootTime();
    ASSERT_TRUE(booted.has_value());
    const auto now =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    EXPECT_LE(*booted, now);
    EXPECT_GT(*booted, now - 10LL * 365 * 24 * 3600);
}

TEST(Win32FileAccess, ReplaceWholePassesOverTakenNamesAndKeepsHowTheFileIsShown) {
    pressory::test::TempFolder top("pressory-win-");
    const std::string settings = (top.path() / "Pressory.ini").string();
    pressory::test::writeBytes(settings, "old");
    ASSERT_TRUE(SetFileAttributesA(settings.c_str(), FILE_ATTRIBUTE_HIDDEN));
    pressory::files::TemporaryNames ahead(11);
    const std::string taken = ahead.next(settings);
    pressory::test::writeBytes(taken, "another's");
    pressory::files::temporaryNames().reseed(11);

    EXPECT_FALSE(replaceWhole(settings, "new"));
    EXPECT_EQ(pressory::test::readBytes(settings), "new");
    EXPECT_NE(GetFileAttributesA(settings.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
    EXPECT_EQ(pressory::test::readBytes(taken), "another's");
    EXPECT_EQ(std::distance(fs::directory_iterator(top.path()), fs::directory_iterator{}), 2);

    EXPECT_TRUE(replaceWhole(top.path().string(), "x"));  // a folder
    EXPECT_FALSE(syncFolderOf(settings));
    EXPECT_TRUE(isOwnFile(settings));
    EXPECT_FALSE(isOwnFile(top.path().string()));
}

TEST(Win32SoundPlayer, LoadsWavFilesOnlyAndLoadsANewPathAtItsFirstPlay) {
    using pressory::platform::win32::Win32SoundPlayer;
    pressory::test::TempFolder top("pressory-win-");
    // Two seconds of a 16-bit mono tone at 22050 Hz.
    pressory::sound::PcmSound tone;
    tone.channels = 1;
    tone.sampleRate = 22050;
    for (int i = 0; i < 22050 * 2; ++i) {
        const char v = (i / 25) % 2 == 0 ? '\x40' : '\xC0';
        tone.samples.push_back('\0');
        tone.samples.push_back(v);
    }
    const std::string wav = (top.path() / "tone.wav").string();
    const std::string text = (top.path() / "text.wav").string();
    pressory::test::writeBytes(wav, pressory::sound::wavImage(tone));
    pressory::test::writeBytes(text, "not a sound, only text long enough to look like a header");

    Win32SoundPlayer player;
    player.preload({wav, text, top.path().string(), (top.path() / "missing.wav").string()});
    EXPECT_TRUE(player.hasSound(wav));
    EXPECT_FALSE(player.hasSound(text));
    EXPECT_FALSE(player.hasSound(top.path().string()));
    EXPECT_FALSE(player.hasSound((top.path() / "missing.wav").string()));

    // One sound at a time: each play cuts off the one before, and the image
    // a sound is read from stays until it is stopped.
    player.play(wav);
    player.play(wav);
    player.play(text);
    player.play(wav);
    player.stopAll();
    // A path not in the table is loaded when first asked for.
    const std::string later = (top.path() / "later.wav").string();
    pressory::test::writeBytes(later, pressory::sound::wavImage(tone));
    player.play(later);
    EXPECT_TRUE(player.hasSound(later));
    player.stopAll();
}

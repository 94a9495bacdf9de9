#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "settings/profile_file.h"
#include "settings/settings.h"

using namespace pressory;
namespace fs = std::filesystem;

namespace {

// A settings file with every value set and a sound path (about 60 bytes) for each of the 256 keys.
std::string fullSettingsFile() {
    std::string s = "[FILE]\r\nFileHistoryMaxRow=3\r\n[SOUND]\r\nSoundEnable=-1\r\n";
    for (int k = 0; k < 256; ++k)
        s += settings::soundKeyName(k) + "=/home/someone/Music/Pressory sounds/click-" + std::to_string(k) + ".wav\r\n";
    s += "[COLOR]\r\nColorTextBoxBlink=255\r\nColorBackGround=-2147483633\r\n"
         "PictureBackGround=/home/someone/Pictures/background.jpg\r\nPictureEnable=-1\r\n";
    return s;
}

struct TempSettingsFile {
    TempSettingsFile() {
        dir = fs::temp_directory_path() / ("pressory-bench-settings-" + std::to_string(std::random_device{}()));
        fs::create_directories(dir);
        path = (dir / settings::kFileName).string();
        std::ofstream(path, std::ios::binary) << fullSettingsFile();
    }
    ~TempSettingsFile() { fs::remove_all(dir); }
    fs::path dir;
    std::string path;
};

// Start-up's load: read the file, then all 262 values.
void BM_LoadSettingsFile(benchmark::State& state) {
    TempSettingsFile file;
    for (auto _ : state) benchmark::DoNotOptimize(settings::loadSettings(file.path));
}
BENCHMARK(BM_LoadSettingsFile)->Unit(benchmark::kMicrosecond);

// The same without the file system: parsing and looking up only.
void BM_LoadSettingsParsed(benchmark::State& state) {
    const std::string bytes = fullSettingsFile();
    for (auto _ : state) benchmark::DoNotOptimize(settings::loadSettings(settings::profile::ProfileDocument(bytes)));
}
BENCHMARK(BM_LoadSettingsParsed)->Unit(benchmark::kMicrosecond);

// One key written to that file (each round changes the value, so every round writes).
void BM_WriteOneKey(benchmark::State& state) {
    TempSettingsFile file;
    int round = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(
            settings::profile::writeText(file.path, "SOUND", "Key65", (++round & 1) ? "/a.wav" : "/b.wav"));
}
BENCHMARK(BM_WriteOneKey)->Unit(benchmark::kMicrosecond);

}  // namespace

#include <benchmark/benchmark.h>

#include "counting/poller.h"
#include "platform/scripted_key_state.h"

using namespace pressory;

namespace {

struct NoSound : SoundRequests {
    bool soundSwitch() override { return false; }
    bool hasSoundEntry(int) override { return true; }
    void playSound(int) override {}
};

// One tick over the 84 polled keys with nothing changed.
void BM_TickIdle(benchmark::State& state) {
    Poller poller;
    poller.fillPolledFlags();
    platform::ScriptedKeyState keys;
    NoSound sound;
    for (auto _ : state) benchmark::DoNotOptimize(poller.tick(keys, &sound).size());
}
BENCHMARK(BM_TickIdle);

// A tick in which ten keys are newly pressed (and the tick after, in which they are released).
void BM_TickTenNewPresses(benchmark::State& state) {
    Poller poller;
    poller.fillPolledFlags();
    platform::ScriptedKeyState keys;
    NoSound sound;
    const int codes[10] = {65, 66, 67, 68, 69, 70, 71, 72, 73, 74};
    for (auto _ : state) {
        for (int vk : codes) keys.tap(vk);
        benchmark::DoNotOptimize(poller.tick(keys, &sound).size());
        state.PauseTiming();
        poller.tick(keys, &sound);  // back to up
        state.ResumeTiming();
    }
}
BENCHMARK(BM_TickTenNewPresses);

}  // namespace

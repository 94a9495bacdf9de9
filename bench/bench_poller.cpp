#include <benchmark/benchmark.h>

#include "counting/poller.h"
#include "support/scripted_key_state.h"

using namespace pressory;

namespace {

struct NoSound : counting::SoundRequests {
    bool soundSwitch() override { return false; }
    bool hasSoundEntry(int) override { return true; }
    void playSound(int) override {}
};

// One tick over the 84 polled keys with nothing changed.
void BM_TickIdle(benchmark::State& state) {
    counting::Poller poller;
    poller.fillPolledFlags();
    platform::ScriptedKeyState keys;
    NoSound sound;
    for (auto _ : state) benchmark::DoNotOptimize(poller.tick(keys, &sound).size());
}
BENCHMARK(BM_TickIdle);

// Two ticks: one in which ten keys are newly pressed (counted, painted in the
// blink colour), then one in which they read up again (painted back). The
// figure is for the pair, so it bounds the tick with ten new presses.
void BM_TickTenNewPressesThenRelease(benchmark::State& state) {
    counting::Poller poller;
    poller.fillPolledFlags();
    platform::ScriptedKeyState keys;
    NoSound sound;
    const int codes[10] = {65, 66, 67, 68, 69, 70, 71, 72, 73, 74};
    for (auto _ : state) {
        for (int vk : codes) keys.tap(vk);
        benchmark::DoNotOptimize(poller.tick(keys, &sound).size());
        benchmark::DoNotOptimize(poller.tick(keys, &sound).size());
    }
}
BENCHMARK(BM_TickTenNewPressesThenRelease);

}  // namespace

// Measures the X11 key source on a running X server (Xvfb will do):
//
//   x11_keys watch SECONDS        the source and a 10 ms poller tick; prints
//                                 the CPU the process used
//   x11_keys baseline SECONDS     the same without any key source: the cost
//                                 of the 10 ms timer and the tick alone
//   x11_keys inject RATE SECONDS  presses RATE random keys a second (held
//                                 0-25 ms) through XTEST, from its own process
//   x11_keys soak PRESSES         presses that many random keys (held 0-25 ms,
//                                 several at once) while ticking, then
//                                 compares the poller's counts with what was
//                                 pressed: none lost, none doubled
//
// Figures only: the exit status is 0 unless the display cannot be used, or
// the soak finds a difference.
#include <sys/resource.h>
#include <time.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "counting/key_layout.h"
#include "counting/poller.h"
#include "platform/linux/keymap.h"
#include "platform/x11/x11_key_source.h"
#include "support/xtest_injector.h"

using pressory::counting::Poller;
using pressory::platform::x11::X11KeySource;
using pressory::test::XTestInjector;
namespace keymap = pressory::platform::keymap;

namespace {

struct Target {
    bool button;
    int number;  // X keycode or button
    int vk;      // the counted code it lands on
};

// One physical key (or button) for each counted code that has its own key:
// the generic Shift, Ctrl and Alt are left out, since two sides held at
// once are rightly one press.
std::vector<Target> targets() {
    std::vector<Target> out;
    std::array<bool, 256> taken{};
    for (int kc = 8; kc <= 255; ++kc) {
        const int vk = keymap::vkFromInputCode(keymap::inputCodeFromXKeycode(kc));
        if (vk == 0 || keymap::genericVk(vk) != 0 || !pressory::counting::layout::isCounted(vk) ||
            taken[static_cast<std::size_t>(vk)])
            continue;
        taken[static_cast<std::size_t>(vk)] = true;
        out.push_back({false, kc, vk});
    }
    out.push_back({true, 1, 1});
    out.push_back({true, 3, 2});
    return out;
}

double cpuSeconds() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

double now() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

struct TickStats {
    double longestTick = 0;  // µs spent in one pump and tick
    double longestGap = 0;   // ms from one tick to the next
    double pumpTime = 0;     // s spent in pump() in all
    double tickTime = 0;     // s spent in the poller's tick in all
    long ticks = 0;
};

// What the soak's injector learns of the ticks: per code, its count and the
// number of the last tick that read it as up.
struct UpReadings {
    std::atomic<long> ticks{0};
    std::array<std::atomic<long>, 256> lastUp{};
    std::array<std::atomic<long>, 256> counts{};
};

// Runs the 10 ms tick: pump, then one poller tick.
template <typename Stop>
TickStats tickLoop(pressory::platform::PlatformKeySource& src, Poller& poller, Stop stop, UpReadings* up = nullptr) {
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    TickStats stats;
    double last = 0;
    while (!stop()) {
        next.tv_nsec += 10'000'000;
        if (next.tv_nsec >= 1'000'000'000) {
            next.tv_nsec -= 1'000'000'000;
            ++next.tv_sec;
        }
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
        const double t0 = now();
        src.pump();
        const double tp = now();
        poller.tick(src, nullptr);
        const double t1 = now();
        stats.pumpTime += tp - t0;
        stats.tickTime += t1 - tp;
        ++stats.ticks;
        stats.longestTick = std::max(stats.longestTick, (t1 - t0) * 1e6);
        if (last > 0) stats.longestGap = std::max(stats.longestGap, (t0 - last) * 1e3);
        last = t0;
        if (up != nullptr) {
            const long n = ++up->ticks;
            for (int vk = 0; vk <= 255; ++vk) {
                if (!poller.polled(vk)) continue;
                const auto i = static_cast<std::size_t>(vk);
                up->counts[i] = poller.count(vk);
                if (poller.currentState(vk) == 0) up->lastUp[i] = n;
            }
        }
    }
    return stats;
}

void press(XTestInjector& in, const Target& t, bool down) {
    if (t.button)
        in.button(t.number, down);
    else
        in.key(t.number, down);
}

// The same loop without any key source: what the 10 ms timer and the tick
// cost by themselves.
struct NoKeys final : pressory::platform::PlatformKeySource {
    std::int16_t asyncKeyState(int) override { return 0; }
};

int watch(double seconds, bool withSource) {
    std::unique_ptr<pressory::platform::PlatformKeySource> src;
    if (withSource)
        src = X11KeySource::open();
    else
        src = std::make_unique<NoKeys>();
    if (!src) {
        std::fprintf(stderr, "no X display with XInput2\n");
        return 2;
    }
    Poller poller;
    poller.fillPolledFlags();
    const double start = now(), cpu0 = cpuSeconds();
    const TickStats st = tickLoop(*src, poller, [&] { return now() - start >= seconds; });
    const double wall = now() - start, cpu = cpuSeconds() - cpu0;
    std::printf(
        "%s: %.1f s, CPU %.3f s = %.3f %% of a core, %d presses counted, %ld ticks, "
        "per tick %.2f us in pump and %.2f us in the poller (longest %.0f us), longest gap between ticks %.1f ms\n",
        withSource ? "watch" : "baseline", wall, cpu, 100.0 * cpu / wall, poller.total(), st.ticks,
        st.pumpTime / static_cast<double>(st.ticks) * 1e6, st.tickTime / static_cast<double>(st.ticks) * 1e6,
        st.longestTick, st.longestGap);
    return 0;
}

int inject(double rate, double seconds) {
    XTestInjector in;
    if (!in.valid()) {
        std::fprintf(stderr, "no X display with XTEST\n");
        return 2;
    }
    const auto keys = targets();
    std::mt19937 rng(1234);
    std::uniform_int_distribution<std::size_t> pick(0, keys.size() - 1);
    std::uniform_int_distribution<int> hold(0, 25);
    const double start = now();
    long n = 0;
    while (now() - start < seconds) {
        const Target& t = keys[pick(rng)];
        press(in, t, true);
        in.flush();
        std::this_thread::sleep_for(std::chrono::milliseconds(hold(rng)));
        press(in, t, false);
        in.flush();
        ++n;
        const double due = start + static_cast<double>(n) / rate;
        if (due > now()) std::this_thread::sleep_for(std::chrono::duration<double>(due - now()));
    }
    in.sync();
    std::printf("inject: %ld presses in %.1f s\n", n, now() - start);
    return 0;
}

int soak(long presses) {
    auto src = X11KeySource::open();
    if (!src) {
        std::fprintf(stderr, "no X display with XInput2\n");
        return 2;
    }
    XTestInjector in;
    if (!in.valid()) {
        std::fprintf(stderr, "no X display with XTEST\n");
        return 2;
    }
    Poller poller;
    poller.fillPolledFlags();
    const auto keys = targets();
    std::array<long, 256> expected{};
    std::atomic<bool> done{false};
    std::atomic<double> finishedAt{0};

    UpReadings up;
    // Every 3 ms: release what is due, and press a key that is not held, whose
    // last press the poller has counted and which a later tick read as up.
    // Two presses of one key with no reading of it up in between are one
    // press by design; a tick delayed by a busy machine must not make that
    // look like a loss.
    std::thread injector([&] {
        std::mt19937 rng(42);
        std::uniform_int_distribution<std::size_t> pick(0, keys.size() - 1);
        std::uniform_int_distribution<int> hold(0, 25);
        std::vector<double> releaseAt(keys.size(), -1);
        std::vector<long> countedAtTick(keys.size(), 0);
        long n = 0;
        auto released = [&](std::size_t i) { releaseAt[i] = -1; };
        auto isFree = [&](std::size_t i) {
            if (releaseAt[i] >= 0) return false;
            const auto vk = static_cast<std::size_t>(keys[i].vk);
            if (countedAtTick[i] < 0) {
                if (up.counts[vk] < expected[vk]) return false;
                countedAtTick[i] = up.ticks;
            }
            return up.lastUp[vk] > countedAtTick[i];
        };
        while (n < presses) {
            const double t = now();
            for (std::size_t i = 0; i < keys.size(); ++i)
                if (releaseAt[i] >= 0 && releaseAt[i] <= t) {
                    press(in, keys[i], false);
                    released(i);
                }
            for (int tries = 0; tries < 20; ++tries) {
                const std::size_t i = pick(rng);
                if (!isFree(i)) continue;
                const int ms = hold(rng);
                press(in, keys[i], true);
                if (ms == 0) {
                    press(in, keys[i], false);
                    released(i);
                } else {
                    releaseAt[i] = t + ms / 1000.0;
                }
                ++expected[static_cast<std::size_t>(keys[i].vk)];
                countedAtTick[i] = -1;
                ++n;
                break;
            }
            in.flush();
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
        }
        for (std::size_t i = 0; i < keys.size(); ++i)
            if (releaseAt[i] >= 0) press(in, keys[i], false);
        in.sync();
        finishedAt = now();
        done = true;
    });

    const double start = now();
    const TickStats st = tickLoop(
        *src, poller, [&] { return done && now() - finishedAt > 0.2; }, &up);
    injector.join();

    long lost = 0, doubled = 0, total = 0;
    for (int vk = 0; vk <= 255; ++vk) {
        const long want = expected[static_cast<std::size_t>(vk)];
        const long got = poller.count(vk);
        total += want;
        if (got < want) lost += want - got;
        if (got > want) doubled += got - want;
        if (got != want) std::printf("  vk %3d: pressed %ld, counted %ld\n", vk, want, got);
    }
    std::printf(
        "soak: %ld presses of %zu keys in %.1f s, counted %d, lost %ld, doubled %ld, raw events %llu, "
        "longest tick %.0f us, longest gap between ticks %.1f ms\n",
        total, keys.size(), now() - start, poller.total(), lost, doubled,
        static_cast<unsigned long long>(src->eventsSeen()), st.longestTick, st.longestGap);
    return lost == 0 && doubled == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "watch" && argc == 3) return watch(std::atof(argv[2]), true);
    if (mode == "baseline" && argc == 3) return watch(std::atof(argv[2]), false);
    if (mode == "inject" && argc == 4) return inject(std::atof(argv[2]), std::atof(argv[3]));
    if (mode == "soak" && argc == 3) return soak(std::atol(argv[2]));
    std::fprintf(stderr, "usage: %s watch SECONDS | baseline SECONDS | inject RATE SECONDS | soak PRESSES\n", argv[0]);
    return 2;
}

// Sweep rate of the scope's sampler against the line-time floor, on the simulator's paced line:
// 1, 4 and 16 eight-channel modules at 9600 and 115200 baud (a benchmark, not a test).
#include <benchmark/benchmark.h>

#include <chrono>

#include "device/SerialPort.h"
#include "scope/Catalog.h"
#include "scope/Sampler.h"
#include "sim/SimBus.h"

namespace {

// "#AA\r" out and ">" + 8 x 7 characters + "\r" back, 10 bit times per byte.
constexpr int kCommandBytes = 4;
constexpr int kReplyBytes = 58;

void BM_Sweep(benchmark::State& state) {
    const int modules = static_cast<int>(state.range(0));
    const int baud = static_cast<int>(state.range(1));
    odel::sim::BusDescription bus;
    for (int a = 1; a <= modules; ++a) {
        odel::sim::ModuleState m = *odel::sim::makeModule("7352R", a);
        m.baudCode = baud == 9600 ? 0x06 : 0x0A;
        m.live = false;
        bus.modules.push_back(m);
    }
    bus.pacing = true;
    odel::sim::SimBus sim;
    if (!sim.start(bus)) {
        state.SkipWithError("no simulator");
        return;
    }
    odel::SerialPort link(sim.slavePath());
    link.Open();
    link.SetLineSettings(baud, 8, 0, 0);
    link.SetTimeout(80);
    odel::scope::Sampler sampler(&link);
    for (int a = 1; a <= modules; ++a) {
        char address[16];
        std::snprintf(address, sizeof address, "%02X", a);
        const auto info = odel::scope::Describe(&link, address, "7352R", 0);
        sampler.Add(info, {0, 1, 2, 3, 4, 5, 6, 7});
    }
    std::uint64_t failed = 0;
    for (auto _ : state) {
        const auto record = sampler.Sweep();
        for (const auto& s : record.samples) failed += s.ok ? 0 : 1;
    }
    const double floorSec =
        modules * (kCommandBytes + kReplyBytes) * 10.0 / static_cast<double>(baud);
    const double replySec = modules * kReplyBytes * 10.0 / static_cast<double>(baud);
    state.counters["sweeps/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["floor/s"] = 1.0 / floorSec;
    state.counters["replyonly/s"] = 1.0 / replySec;
    state.counters["failed"] = static_cast<double>(failed);
}

}  // namespace

BENCHMARK(BM_Sweep)
    ->ArgsProduct({{1, 4, 16}, {9600, 115200}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);

BENCHMARK_MAIN();

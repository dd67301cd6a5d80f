// Host overhead of one ASCII transaction on a pseudo-terminal whose peer answers at once.
#include <benchmark/benchmark.h>

#include "common/ScriptedPeer.h"
#include "device/BusMonitor.h"
#include "device/SerialPort.h"

namespace {

void BM_Transact(benchmark::State& state) {
    odel::test::ScriptedPeer peer;
    if (!peer.ok()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    const bool checksum = state.range(0) != 0;
    peer.setHandler([checksum](const std::string&) -> std::optional<std::string> {
        return std::string(checksum ? "!01400600AC\r" : "!01400600\r");
    });
    odel::SerialPort link(peer.path());
    if (!link.Open() || !link.SetLineSettings(9600, 8, 0, 0) || !link.SetTimeout(80)) {
        state.SkipWithError("cannot open the link");
        return;
    }
    link.SetChecksum(checksum ? 1 : 0);
    std::int64_t failures = 0;
    for (auto _ : state) {
        std::string command = "$012\r";
        std::string reply;
        if (!link.Transact(command, 64, &reply)) ++failures;
        benchmark::DoNotOptimize(reply);
    }
    state.counters["failures"] = static_cast<double>(failures);
}

// The same transaction with the bus monitor observing (Arg 1) or not (Arg 0), and each
// exchange decoded into its row as the window would show it.
void BM_TransactMonitored(benchmark::State& state) {
    odel::test::ScriptedPeer peer;
    if (!peer.ok()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    peer.setHandler([](const std::string&) -> std::optional<std::string> {
        return std::string("!01400600\r");
    });
    odel::SerialPort link(peer.path());
    if (!link.Open() || !link.SetLineSettings(9600, 8, 0, 0) || !link.SetTimeout(80)) {
        state.SkipWithError("cannot open the link");
        return;
    }
    const bool observed = state.range(0) != 0;
    odel::bus::BusMonitor monitor;
    if (observed) monitor.Attach(&link);
    std::int64_t failures = 0;
    for (auto _ : state) {
        std::string command = "$012\r";
        std::string reply;
        if (!link.Transact(command, 64, &reply)) ++failures;
        if (observed) {
            odel::bus::Row row = odel::bus::Decode(monitor.Exchanges().back(), 0);
            benchmark::DoNotOptimize(row);
        }
    }
    state.counters["failures"] = static_cast<double>(failures);
}

// Observer and decoder alone on a recorded exchange, without the line.
void BM_ObserveAndDecode(benchmark::State& state) {
    odel::bus::BusMonitor monitor;
    const std::uint8_t cmd[] = "$012\r";
    const std::uint8_t rep[] = "!01400600\r";
    std::int64_t t = 0;
    for (auto _ : state) {
        monitor.BytesWritten(cmd, 5, t);
        for (int k = 0; k < 10; ++k) monitor.BytesRead(rep + k, 1, t + 100 + k);
        odel::bus::Row row = odel::bus::Decode(monitor.Exchanges().back(), t);
        benchmark::DoNotOptimize(row);
        t += 1000;
    }
}

}  // namespace

BENCHMARK(BM_TransactMonitored)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_ObserveAndDecode)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Transact)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime();

BENCHMARK_MAIN();

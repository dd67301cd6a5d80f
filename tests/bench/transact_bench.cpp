// Host overhead of one ASCII transaction on a pseudo-terminal whose peer answers at once.
#include <benchmark/benchmark.h>

#include "common/ScriptedPeer.h"
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

}  // namespace

BENCHMARK(BM_Transact)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime();

BENCHMARK_MAIN();

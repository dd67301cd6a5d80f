// MQTT publishing beside the sweeps (a benchmark, not a test). 1: what publishing costs the
// sampling thread per sample (topic, payload, queue) with the broker there and with it gone.
// 2: sweeps of 16 inputs (two 7352R on the simulator) every 100 ms on the schedule odelctl log
// keeps, while the broker is there, stopped (every connection refused, reconnect back-off) and
// back (the backlog flushed): how late each sweep starts against its slot.
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "common/Mosquitto.h"
#include "device/SerialPort.h"
#include "mqtt/MqttPublisher.h"
#include "scope/Catalog.h"
#include "scope/Sampler.h"
#include "sim/SimBus.h"

namespace {

using Clock = std::chrono::steady_clock;

double Us(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

odel::mqtt::PublisherOptions Options(const odel::test::Mosquitto& broker, std::size_t queue) {
    odel::mqtt::PublisherOptions o;
    std::string error;
    o.url = *odel::mqtt::ParseBrokerUrl(broker.plainUrl(), &error);
    o.clientId = "odel-bench";
    o.user = odel::test::Mosquitto::kUser;
    o.password = odel::test::Mosquitto::kPassword;
    o.statusTopic = "odel/bench/pts/status";
    o.droppedTopic = "odel/bench/pts/dropped";
    o.queueLimit = queue;
    o.log = [](const std::string& line) { std::fprintf(stderr, "  [mqtt] %s\n", line.c_str()); };
    return o;
}

double ThreadCpuUs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e6 + double(ts.tv_nsec) / 1e3;
}

// SweepMessages + Publish over many copies of one sweep: wall and CPU time of this thread.
void CostPerSample(const char* what, odel::mqtt::Publisher& pub,
                   const odel::scope::SweepRecord& record, int n) {
    const auto t0 = Clock::now();
    const double cpu0 = ThreadCpuUs();
    for (int i = 0; i < n; ++i)
        for (auto& m : odel::mqtt::SweepMessages("bench", "/dev/pts/9", record))
            pub.Publish(std::move(m.topic), std::move(m.payload));
    const double samples = double(n) * double(record.samples.size());
    std::printf("  %-28s %6.0f ns wall, %6.0f ns CPU per sample\n", what,
                Us(Clock::now() - t0) * 1000.0 / samples,
                (ThreadCpuUs() - cpu0) * 1000.0 / samples);
}

struct Lateness {
    std::vector<double> us;
    std::vector<Clock::time_point> starts;
    void Print(const char* phase, double intervalUs) const {
        if (us.empty()) return;
        auto sorted = us;
        std::sort(sorted.begin(), sorted.end());
        const double within =
            100.0 *
            double(std::count_if(us.begin(), us.end(),
                                 [&](double v) { return v <= intervalUs / 100; })) /
            double(us.size());
        const double meanMs =
            Us(starts.back() - starts.front()) / 1000.0 / double(starts.size() - 1);
        std::printf(
            "  %-30s %3zu sweeps, mean interval %8.3f ms; start late by median %6.1f us, "
            "p99 %6.1f us, max %6.1f us; late by at most 1 %%: %5.1f %%\n",
            phase, us.size(), meanMs, sorted[sorted.size() / 2],
            sorted[std::min(sorted.size() - 1, sorted.size() * 99 / 100)], sorted.back(), within);
    }
};

}  // namespace

int main() {
    odel::sim::BusDescription bus;
    for (int address : {1, 2}) {
        auto m = *odel::sim::makeModule("7352R", address);
        m.live = false;
        bus.modules.push_back(m);
    }
    odel::sim::SimBus sim;
    if (!sim.start(bus)) return std::fprintf(stderr, "simulator: %s\n", sim.error().c_str()), 1;
    odel::SerialPort link(sim.slavePath());
    if (!link.Open() || !link.SetLineSettings(9600, 8, 0, 0) || !link.SetTimeout(30))
        return std::fprintf(stderr, "cannot open %s\n", sim.slavePath().c_str()), 1;
    odel::scope::Sampler sampler(&link);
    for (const char* address : {"01", "02"}) {
        std::string model;
        int marker = 0;
        odel::scope::Locate(&link, std::stoi(address, nullptr, 16), false, model, marker);
        const auto info = odel::scope::Describe(&link, address, model, marker);
        if (!info.ok || !sampler.Add(info, {0, 1, 2, 3, 4, 5, 6, 7}))
            return std::fprintf(stderr, "module %s: %s\n", address, info.reason.c_str()), 1;
    }
    odel::test::Mosquitto broker;
    if (!broker.start()) return std::fprintf(stderr, "broker: %s\n", broker.error().c_str()), 1;

    const auto record = sampler.Sweep();
    std::printf("Publish cost on the sampling thread (%zu samples per sweep)\n",
                record.samples.size());
    {
        odel::mqtt::Publisher pub(Options(broker, 1000000));
        std::string error;
        if (pub.Start(&error) != odel::mqtt::Publisher::StartResult::Connected)
            return std::fprintf(stderr, "connect: %s\n", error.c_str()), 1;
        CostPerSample("broker connected:", pub, record, 2000);
        pub.Stop(std::chrono::seconds(10));
        broker.stop();
        odel::mqtt::Publisher away(Options(broker, 10000));
        away.Start(&error);
        CostPerSample("broker away, queue full:", away, record, 2000);
        away.Stop(std::chrono::milliseconds(100));
        if (!broker.start()) return 1;
    }

    // The schedule of odelctl log: the next sweep one interval after the last slot.
    const auto interval = std::chrono::milliseconds(100);
    std::printf("Sweeps every 100 ms with publishing (lateness of each sweep's start)\n");
    odel::mqtt::Publisher pub(Options(broker, 10000));
    std::string error;
    if (pub.Start(&error) != odel::mqtt::Publisher::StartResult::Connected)
        return std::fprintf(stderr, "connect: %s\n", error.c_str()), 1;
    // Ten seconds without publishing, for the machine's own timer jitter; ten connected; the
    // broker stopped for ten (attempts 1, 3, 7 and 15 s after the loss); ten with it back.
    Lateness phases[4];
    const char* names[4] = {"no MQTT (the machine's jitter)", "broker connected",
                            "broker stopped (refused)", "broker back, backlog flushed"};
    const double seconds[4] = {10, 10, 10, 10};
    double sweepUs = 0;
    int sweeps = 0;
    auto slot = Clock::now();
    for (int phase = 0; phase < 4; ++phase) {
        if (phase == 2) broker.stop();
        if (phase == 3 && !broker.start()) return 1;
        const auto end = Clock::now() + std::chrono::duration<double>(seconds[phase]);
        while (Clock::now() < end) {
            std::this_thread::sleep_until(slot);
            const auto start = Clock::now();
            phases[phase].us.push_back(Us(start - slot));
            phases[phase].starts.push_back(start);
            const auto rec = sampler.Sweep();
            if (phase == 0) {
                slot += interval;
                continue;
            }
            for (auto& m : odel::mqtt::SweepMessages("bench", "/dev/pts/9", rec))
                pub.Publish(std::move(m.topic), std::move(m.payload));
            sweepUs += Us(Clock::now() - start);
            ++sweeps;
            slot += interval;
            if (slot < Clock::now()) slot = Clock::now();
        }
    }
    for (int phase = 0; phase < 4; ++phase) phases[phase].Print(names[phase], 100000);
    const auto stats = pub.Stats();
    std::printf("  one sweep (16 inputs read and published): %.0f us on average\n",
                sweepUs / sweeps);
    std::printf("  queued %llu, acknowledged %llu, dropped %llu, waiting %zu\n", stats.queued,
                stats.acknowledged, stats.dropped, stats.waiting);
    pub.Stop(std::chrono::seconds(2));
    return 0;
}

#include "cli/LogCommand.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <map>

#include "device/SerialPort.h"
#include "scope/Catalog.h"
#include "scope/CsvWriter.h"
#include "scope/Interval.h"
#include "scope/Sampler.h"

namespace odelctl {

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

volatile std::sig_atomic_t g_stop = 0;

void OnStopSignal(int) {
    g_stop = 1;
}

struct InputRef {
    std::string text;  // as given
    int address = 0;
    bool modbus = false;
    std::string name;
};

bool ParseInput(const std::string& text, InputRef& ref) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 >= text.size()) return false;
    std::string addr = text.substr(0, colon);
    ref.text = text;
    ref.name = text.substr(colon + 1);
    if (addr.back() == 'm' || addr.back() == 'M') {
        ref.modbus = true;
        addr.pop_back();
    }
    if (addr.empty() || addr.size() > 2) return false;
    for (char c : addr)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    ref.address = static_cast<int>(std::strtol(addr.c_str(), nullptr, 16));
    return true;
}

std::string Hex2(int v) {
    char b[8];
    std::snprintf(b, sizeof b, "%02X", v & 0xFF);
    return b;
}

// Sleeps until the steady-clock time, or until a stop signal arrives.
void SleepUntil(std::chrono::steady_clock::time_point until) {
    while (!g_stop) {
        const auto left = until - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero()) return;
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        timespec ts{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        nanosleep(&ts, nullptr);  // a signal ends it early
    }
}

}  // namespace

void AddLogOptions(CLI::App* cmd, LogOptions& o) {
    cmd->add_option("--input", o.inputs,
                    "ADDRESS:INPUT to sample, e.g. 01:0, 01:CH3, 07:CN1, 17:DI2; "
                    "an m after the address asks a Modbus module (04m:1)")
        ->required();
    cmd->add_option("--interval", o.interval, "Time between sweeps, 100ms to 1h (default 1s)");
    auto* duration = cmd->add_option("--duration", o.duration, "Stop after this time (e.g. 2h)");
    auto* count = cmd->add_option("--count", o.count, "Stop after this many sweeps");
    duration->excludes(count);
    cmd->add_option("--output", o.output, "CSV file to write (default: standard output)");
}

std::string CheckLogOptions(LogOptions& o) {
    const std::string bad = odel::scope::CheckInterval(o.interval, o.intervalMs);
    if (!bad.empty()) return "--interval " + bad;
    if (!o.duration.empty()) {
        o.durationMs = odel::scope::ParseTime(o.duration);
        if (o.durationMs <= 0)
            return "--duration " + o.duration + ": not a time above zero (e.g. 90s, 2h)";
    }
    if (!o.count.empty()) {
        char* end = nullptr;
        errno = 0;
        const long long n = std::strtoll(o.count.c_str(), &end, 10);
        if (end == o.count.c_str() || *end != '\0' || errno != 0 || n < 1)
            return "--count " + o.count + ": must be a whole number from 1";
        o.maxSweeps = n;
    }
    for (const auto& text : o.inputs) {
        InputRef ref;
        if (!ParseInput(text, ref))
            return "--input " + text + ": not ADDRESS:INPUT (e.g. 01:0, 04m:DI3)";
    }
    return {};
}

int RunLog(odel::SerialPort& link, const LogOptions& o) {
    namespace sc = odel::scope;
    // Modules in the order they first appear, each with its inputs in the order given.
    struct Wanted {
        sc::ModuleInfo info;
        std::vector<int> inputs;
    };
    std::vector<Wanted> wanted;
    std::map<std::pair<int, bool>, std::size_t> byAddress;
    for (const auto& text : o.inputs) {
        InputRef ref;
        ParseInput(text, ref);
        const auto key = std::make_pair(ref.address, ref.modbus);
        auto it = byAddress.find(key);
        if (it == byAddress.end()) {
            std::string model;
            int marker = 0;
            if (!sc::Locate(&link, ref.address, ref.modbus, model, marker)) {
                std::cerr << "odelctl: --input " << text << ": no " << (ref.modbus ? "Modbus " : "")
                          << "module answers at address " << Hex2(ref.address) << "\n";
                return kUsage;
            }
            sc::ModuleInfo info = sc::Describe(&link, Hex2(ref.address), model, marker);
            if (!info.ok) {
                std::cerr << "odelctl: --input " << text << ": the " << model << " at "
                          << Hex2(ref.address) << ": " << info.reason << "\n";
                return kUsage;
            }
            it = byAddress.emplace(key, wanted.size()).first;
            wanted.push_back({info, {}});
        }
        Wanted& w = wanted[it->second];
        const int index = w.info.FindInput(ref.name);
        if (index < 0) {
            std::cerr << "odelctl: --input " << text << ": the " << w.info.model << " at "
                      << w.info.address << " has no input " << ref.name << " (it has "
                      << w.info.InputNames() << ")\n";
            return kUsage;
        }
        bool dup = false;
        for (int i : w.inputs) dup = dup || i == index;
        if (!dup) w.inputs.push_back(index);
    }

    sc::Sampler sampler(&link);
    for (const auto& w : wanted) sampler.Add(w.info, w.inputs);

    if (o.startTaker && !o.startTaker()) return kUsage;
    sc::CsvWriter writer;
    const std::string where = o.output.empty() ? std::string("standard output") : o.output;
    if (o.csv && o.output.empty()) {
        writer.Attach(STDOUT_FILENO);
    } else if (o.csv && !writer.Open(o.output)) {
        std::cerr << "odelctl: " << o.output << ": " << writer.ErrorText() << "\n";
        return kUsage;
    }

    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no restart: a signal ends the wait between sweeps at once
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);

    if (o.csv && !writer.WriteHeader(sampler.Columns())) {
        std::cerr << "odelctl: " << where << ": " << writer.ErrorText() << "\n";
        return kFailed;
    }
    using clock = std::chrono::steady_clock;
    const auto start = clock::now();
    const auto interval = std::chrono::milliseconds(o.intervalMs);
    const auto end = start + std::chrono::milliseconds(o.durationMs);
    auto next = start;
    std::vector<bool> answering(wanted.size(), true);
    for (long long sweeps = 0; !g_stop; ++sweeps) {
        if (o.maxSweeps && sweeps >= o.maxSweeps) break;
        if (o.durationMs && clock::now() >= end) break;
        const sc::SweepRecord record = sampler.Sweep();
        if (o.csv && !writer.WriteSweep(record)) {
            std::cerr << "odelctl: " << where << ": " << writer.ErrorText()
                      << "; recording stopped\n";
            return kFailed;
        }
        if (o.takeSweep) o.takeSweep(record);
        for (std::size_t k = 0; k < sampler.Status().size(); ++k) {
            const sc::ModuleStatus& s = sampler.Status()[k];
            if (s.lastOk == answering[k]) continue;
            answering[k] = s.lastOk;
            std::cerr << "odelctl: " << s.address << " " << s.model
                      << (s.lastOk ? " answers again" : " does not answer") << " (" << s.failures
                      << " failed reads)\n";
        }
        if (!link.IsOpen()) {
            std::cerr << "odelctl: lost the port " << link.GetPortName() << "\n";
            return kFailed;
        }
        // A sweep that overran its interval is followed by the next one at once.
        next += interval;
        const auto now = clock::now();
        if (next < now) next = now;
        if (o.maxSweeps && sweeps + 1 >= o.maxSweeps) break;
        if (o.durationMs && next >= end) break;
        SleepUntil(next);
    }
    return kOk;
}

}  // namespace odelctl

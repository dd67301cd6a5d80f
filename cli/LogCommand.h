// odelctl log: the Data Scope's sampling without a window, CSV to stdout or a file.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace CLI {
class App;
}
namespace odel {
class SerialPort;
}
namespace odel::scope {
struct SweepRecord;
}

namespace odelctl {

struct LogOptions {
    std::vector<std::string> inputs;  // "01:0", "04m:DI3"
    std::string interval = "1s";
    std::string duration;
    std::string count;
    std::string output;
    // Parsed by CheckLogOptions.
    long long intervalMs = 1000;
    long long durationMs = 0;  // 0: no limit
    long long maxSweeps = 0;   // 0: no limit
    // Another taker of the sweeps (the MQTT publisher): started once the inputs are found and
    // before anything is written (false: exit 2), then given every sweep after its CSV row.
    std::function<bool()> startTaker;
    std::function<void(const odel::scope::SweepRecord&)> takeSweep;
    bool csv = true;  // false: no CSV, not even on stdout
};

void AddLogOptions(CLI::App* cmd, LogOptions& o);

// Checks what can be checked without the bus; the message names the bad option, empty if fine.
std::string CheckLogOptions(LogOptions& o);

// Finds every module, checks the inputs and samples until the count, the duration or a
// SIGINT/SIGTERM ends it. Returns the exit code; nothing is written when an input is bad.
int RunLog(odel::SerialPort& link, const LogOptions& o);

}  // namespace odelctl

// One sweep reads every chosen module once, with its bulk read, and gives one record per sweep:
// the form the CSV writer, the Data Scope window and any other consumer take.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "scope/Catalog.h"

namespace odel {
class SerialPort;
}

namespace odel::scope {

struct Sample {
    std::string address;  // "01"
    std::string model;    // "7354R"
    std::string input;    // "CH0"
    std::string unit;     // "mA", or empty
    std::string text;     // the value as read (as the module's page shows it); empty on failure
    std::optional<double> value;  // the number; none on failure and for a burn-out reading
    bool ok = false;
};

struct SweepRecord {
    std::chrono::system_clock::time_point time;  // when the sweep started
    std::vector<Sample> samples;                 // in the order the inputs were added
};

// Per-module read statistics.
struct ModuleStatus {
    std::string address;
    std::string model;
    std::uint64_t failures = 0;  // failed reads since the start
    bool lastOk = true;          // the last sweep read it
};

class Sampler {
  public:
    // The link is borrowed; it may change or go away between sweeps (SetLink).
    explicit Sampler(SerialPort* link = nullptr);

    void SetLink(SerialPort* link) { link_ = link; }
    SerialPort* Link() const { return link_; }

    // Samples the inputs of module (indexes into module.inputs) from the next sweep on.
    // A module that is not ok, or an index it does not have, is refused.
    bool Add(const ModuleInfo& module, const std::vector<int>& inputs);
    void Clear();
    bool Empty() const { return modules_.empty(); }

    // The CSV column names of every sampled input, in record order.
    std::vector<std::string> Columns() const;
    std::size_t InputCount() const;
    // Address, model, input and unit of every sampled input (nothing read yet), in record order.
    std::vector<Sample> Inputs() const;

    // Reads every module once. A module whose read fails gives empty samples and counts a
    // failure; the others are read all the same. Without a link every sample fails.
    SweepRecord Sweep();

    const std::vector<ModuleStatus>& Status() const { return status_; }

  private:
    struct Entry {
        ModuleInfo module;
        std::vector<int> inputs;
    };
    bool ReadModule(const Entry& e, std::vector<Sample>& out);

    SerialPort* link_;
    std::vector<Entry> modules_;
    std::vector<ModuleStatus> status_;
};

}  // namespace odel::scope

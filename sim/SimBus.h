// A simulated ODEL bus: virtual modules answering the ASCII protocol and Modbus RTU behind the
// master side of a pseudo-terminal. The host opens slavePath() like a serial port. One serving
// thread; every accessor below is safe to call from any other thread while the bus runs.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace odel::sim {

// Per-module faults, switchable at run time.
enum class Fault {
    None,
    NoReply,          // silent
    BadChecksum,      // reply carries wrong checksum digits (checksum modules only)
    NoCr,             // reply without its final CR
    TooLong,          // reply padded beyond 63 characters
    Garbage,          // a few non-protocol bytes before the reply
    Reject,           // "?AA" instead of the normal reply
    ModbusBadCrc,     // Modbus answer with a corrupted CRC
    ModbusException,  // Modbus exception answer (code 04) instead of the data
    BadDigits,        // the reply's data digits replaced by non-hex characters, frame valid
    ModbusShort,      // Modbus data answer one data byte short (count to match); echo cut
    ModbusZeroCount,  // Modbus data answer with byte count 0 and no data
    ModbusWrongFunc,  // Modbus answer carrying the next function code
    ModbusForeign,    // Modbus answer carrying another slave's address
};

// What a fault applies to: `match` is compared with the start of the command line with its two
// address digits taken out and without checksum/CR ("$3" for $AA3, "#" for #AA, "$7C1" for
// $AA7C1R05). Empty matches every command. For a Modbus request `match` is compared with the
// function code as two hex digits, a colon and the first coil or register counted from 1
// ("03:213" for a read starting at register 213, "05" for every coil write). `count` limits the
// fault to the next N matching commands or frames, after which it clears; -1 keeps it for ever.
struct FaultSpec {
    Fault kind = Fault::None;
    std::string match;
    int count = -1;
};

// Full state of one virtual module. Values are engineering units; the module formats them
// according to its data format bits when asked.
struct ModuleState {
    std::string model;  // "7352R", "8600X", ...
    int address = 1;    // configured address 0..255
    int typeCode = 0;   // input/output type or range code
    int baudCode = 6;   // 03 = 1200 ... 06 = 9600 ... 0A = 115200
    int format = 0;     // data format byte (bit 6 checksum, bit 2/7 protocol, ...)
    bool init = false;  // INIT switch: answers at 00, 9600, no checksum
    std::string firmware = "A1.20";

    // Analog inputs (multi-channel models use all entries, single-channel ones entry 0).
    int channels = 8;
    int enableMask = 0xFF;
    std::array<int, 8> ranges{};            // per-channel range codes
    std::array<double, 8> values{};         // current values
    std::array<bool, 8> burnout{};          // channel prints "+888888"
    bool live = true;                       // values move on their own; false freezes them
    double cjc = 25.0;                      // cold junction temperature, °C
    int cjcOffset = 0;                      // signed, steps of 1/111.11 °C ("$AA9+006F")
    std::array<int, 4> leadWire{};          // lead-wire compensation per wire code 0..3, signed
    std::vector<std::string> calibrations;  // calibration commands received, address removed

    // Alarms of the single-channel inputs and counters.
    int alarmMode = 0;  // 0 disabled, 1 momentary, 2 latch
    std::string highLimit = "+100.00";
    std::string lowLimit = "-100.00";
    int eventCounter = 0;
    // Single-channel inputs: DI0 as last seen (its rising edges count events), and whether the
    // alarm outputs are latched on (latch mode keeps them until "@AACA").
    int seenInputs = 0;
    int latchedOutputs = 0;

    // Watchdog / fail-safe.
    int watchdog = 0;   // tenths of a second ("$AAX" / "$AAY")
    int safeTime = 0;   // digital/AO comm safety time (hex field)
    int safeValue = 0;  // digital fail-safe output value

    // Digital I/O (also alarm outputs/inputs of the analog models).
    int digitalOutputs = 0;
    int digitalInputs = 0;
    bool lowerHex = false;  // data digits of replies in lower case ("!a5", bus-file "lowerhex")

    // Analog outputs (7361: channel 0; 7364: channels 0..3; 7349 excitation output: 0).
    std::array<double, 4> aoValues{};
    std::array<double, 4> aoStartup{};
    std::array<double, 4> aoEmergency{};
    std::array<bool, 4> aoEmergencyInput{};
    std::array<int, 4> aoRanges{};
    int aoTrim = 0;  // last trim step received
    // Output behaviour of the 7361/7364 (times are seconds of the simulator's steady clock).
    int aoTrimCounts = 0;             // 7361: signed sum of the trim counts received
    std::array<double, 4> aoFrom{};   // output where the ramp to aoValues started
    std::array<double, 4> aoSince{};  // when that ramp started (slew rate, format bits 5..2)
    bool aoEmergencyActive = false;   // 7364 emergency input: enabled channels go to aoEmergency
    bool aoRestart = false;           // set to switch the module off and on: outputs restart at
                                      // their start-up values (taken at the next command)
    double aoLastCommand = 0;         // 7364: last command received, for the comm safety time

    // Counters (7320, 7320L).
    std::array<std::uint32_t, 2> counts{};
    std::array<std::uint32_t, 2> maxCount{0xFFFFFFFFu, 0xFFFFFFFFu};
    std::array<bool, 2> counting{};
    std::array<bool, 2> overflow{};
    std::array<std::string, 2> alarmValue{"00000000", "00000000"};
    std::array<bool, 2> alarmEnabled{};
    int inputMode = 0;
    int gateMode = 0;
    bool filter = false;
    std::string minWidthHigh = "00010", minWidthLow = "00010";
    std::string triggerHigh = "24", triggerLow = "08";
    int ledSource = 0;  // 7320L display source
    std::string ledData;
    // Signal frequency on the two counter inputs, what frequency mode (type 51) measures.
    std::array<std::uint32_t, 2> inputHz{1000, 250};

    // Main units: slot table payload of "$AAT" (8 or 16 characters).
    std::string slotTable;

    // Firmware download of a main unit: every transfer ended with "&00E", in order (blocks
    // joined by number), and the loader state of the transfer in progress.
    std::vector<std::string> downloads;
    bool loaderActive = false;
    std::vector<std::string> pendingBlocks;  // 128-byte blocks received so far, by number
    int badBlocks = 0;                       // blocks refused for a wrong sum
    // Loader faults per block number: refuse that block with "?00" this many more times.
    std::map<int, int> rejectBlock;
    // Numbers of the blocks accepted, in the order they came: of the transfer in progress, and
    // of every finished transfer (one entry per entry of downloads).
    std::vector<int> pendingBlockNumbers;
    std::vector<std::vector<int>> downloadBlockNumbers;

    // 7364 communication safety (Modbus registers 215/216).
    bool safetyEnabled = false;
    bool safetyTriggered = false;
    // Modbus broadcasts (slave 0) that reached the module, CRC included, in order; writes
    // among them are applied without an answer.
    std::vector<std::string> broadcasts;

    // Run-time fault (see FaultSpec).
    FaultSpec fault;
};

// A bus to serve.
struct BusDescription {
    std::vector<ModuleState> modules;
    bool pacing = false;   // 10 bit times per byte at the module's baud rate
    int turnaroundMs = 0;  // pause before each reply
};

// Defaults of a model (channels, type code, slot table...). Unknown models give std::nullopt.
std::optional<ModuleState> makeModule(const std::string& model, int address);

// Bus file: one module per line, '#' starts a comment. Returns false with a message that names
// the line ("line 3: unknown model 7999") and leaves bus untouched on the first bad line.
bool parseBusFile(const std::string& text, BusDescription& bus, std::string& error);
// Largest bus file read: a full bus of 256 modules takes a few kilobytes.
inline constexpr std::size_t kMaxBusFileBytes = 4 * 1024 * 1024;
// Reads a bus file into text. Refuses, with a message, anything but a regular file of at most
// kMaxBusFileBytes (a FIFO or /dev/zero would block or never end).
bool readBusFile(const std::string& path, std::string& text, std::string& error);

// Addresses of the default bus (what a search from 0 finds, in this order).
namespace defaultbus {
inline constexpr int kInit = 0x00;  // 7354 in INIT state (configured at 0x40)
inline constexpr int k7352R = 0x01;
inline constexpr int k7354RChecksum = 0x02;  // 7354R, checksum on
inline constexpr int k8600X = 0x03;          // six occupied slots, one empty, one unknown code
inline constexpr int k7385Modbus = 0x04;     // 7385 in Modbus mode
inline constexpr int k7354 = 0x05;
inline constexpr int k7364 = 0x06;
inline constexpr int k7320 = 0x07;
inline constexpr int k7341 = 0x08;
inline constexpr int k7341L = 0x09;
inline constexpr int k7342 = 0x0A;
inline constexpr int k7345 = 0x0B;
inline constexpr int k7347 = 0x0C;
inline constexpr int k7347K = 0x0D;
inline constexpr int k7349 = 0x0E;
inline constexpr int k7352 = 0x0F;
inline constexpr int k7354R = 0x10;
inline constexpr int k7356 = 0x11;
inline constexpr int k7361 = 0x12;
inline constexpr int k7380 = 0x13;
inline constexpr int k7381 = 0x14;
inline constexpr int k7382 = 0x15;
inline constexpr int k7383 = 0x16;
inline constexpr int k7385 = 0x17;
inline constexpr int k7390 = 0x18;
inline constexpr int k7396 = 0x19;
inline constexpr int k7320L = 0x1A;
inline constexpr int k8600 = 0x1B;
// Modbus variants in Modbus mode.
inline constexpr int k7347Modbus = 0x20;
inline constexpr int k7347KModbus = 0x21;
inline constexpr int k7352RModbus = 0x22;
inline constexpr int k7354RModbus = 0x23;
inline constexpr int k7364Modbus = 0x24;
inline constexpr int k7381Modbus = 0x25;
inline constexpr int k7396Modbus = 0x26;
inline constexpr int kInitConfigured = 0x40;  // stored address of the INIT module
}  // namespace defaultbus

BusDescription defaultBus();

class SimBus {
  public:
    SimBus();
    ~SimBus();  // stops
    SimBus(const SimBus&) = delete;
    SimBus& operator=(const SimBus&) = delete;

    // Opens the pseudo-terminal and starts serving. False (with error()) when it cannot.
    bool start(const BusDescription& bus);
    bool start();  // the default bus
    bool startFromText(const std::string& busFileText);
    void stop();
    bool running() const;
    const std::string& error() const;

    // The path the host opens (e.g. /dev/pts/7).
    const std::string& slavePath() const;

    // Modules are addressed by their index in the description (stable across address changes).
    int moduleCount() const;
    // Index of the module that answers ASCII or Modbus at this address now, or -1.
    int findModule(int address) const;
    ModuleState module(int index) const;
    void setModule(int index, const ModuleState& state);
    // Changes a module under the bus lock: bus.modify(i, [](ModuleState& m) { m.init = true; });
    void modify(int index, const std::function<void(ModuleState&)>& change);

    // count: the fault applies to the next N matching commands only (-1: until cleared).
    void setFault(int index, Fault kind, std::string match = {}, int count = -1);
    void clearFault(int index);

    // Freezes (live=false) or releases every module's moving values.
    void setLive(bool live);

    // Pacing and turnaround can be switched while serving.
    void setPacing(bool on, int turnaroundMs = 0);

    // Bytes received: per module every line/frame addressed to it (checksum and CR included),
    // and every byte that reached the bus.
    std::string received(int index) const;
    std::string busReceived() const;
    // Bytes the bus sent back (all modules).
    std::string busSent() const;
    void clearReceived();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace odel::sim

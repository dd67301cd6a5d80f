// What the scope can sample on each model: its inputs with names and units, found from the
// module's current range and data format, read once when the module is added.
#pragma once

#include <string>
#include <vector>

namespace odel {
class SerialPort;
}

namespace odel::scope {

// How a module's inputs are read in one sweep.
enum class Family {
    None,           // nothing to sample (outputs, main units, unknown names)
    AiMulti,        // "#AA": fixed-width values of every channel in one reply
    AiSingle,       // "#AA": the one value
    Counter,        // "#AAn" per counter
    Digital,        // "$AA6": output and/or input digits
    ModbusAi,       // holding registers 1..n in one request
    ModbusDigital,  // coils 1..16 (inputs) and 17..24 (outputs)
};

enum class InputKind {
    Value,  // an analog channel or a counter
    Word,   // the digits of a digital status word
    Bit,    // one line of a digital word
};

struct InputInfo {
    std::string name;   // "CH0", "CN1", "DI", "DI3", "DO"
    std::string unit;   // "mA", "'C", "Hz"; empty when the value has none
    std::string range;  // the range as the page lists it, for the channel picker
    InputKind kind = InputKind::Value;
    int index = 0;  // channel, counter or bit number; for words 0 inputs, 1 outputs
    int code = -1;  // range code (analog channels)
};

// One module as the scope knows it.
struct ModuleInfo {
    std::string address;  // two hex digits; "00" for a module in INIT state
    std::string model;    // model name as on the tree node ("7354R")
    int marker = 0;       // 0 ASCII, 1 ASCII with checksum, 2 Modbus RTU
    Family family = Family::None;
    bool ok = false;  // false: reason says why nothing of it can be sampled
    std::string reason;
    std::vector<InputInfo> inputs;
    // Reading details.
    int channels = 0;     // analog channels in a bulk reply / register block
    int format = 0;       // data format bits 1-0 of the ASCII analog modules
    int inputBits = 0;    // digital inputs; 16 for the 16-input word
    int outputBits = 0;   // digital outputs
    bool scaled = false;  // Modbus analog: scaled by range (else the raw register in hex)

    // "01 7354R CH0 [mA]", the CSV column of input i.
    std::string ColumnName(std::size_t i) const;
    // The input named name (case-insensitive), or a bare number meaning channel / counter /
    // bit n; -1 when the model has no such input.
    int FindInput(const std::string& name) const;
    // "CH0..CH7", the names for an error message.
    std::string InputNames() const;
};

// The family a model belongs to; Family::None when the scope reads nothing of it.
Family FamilyOf(const std::string& model, int marker);

// Reads what the scope needs once (configuration, channel ranges) and lists the inputs.
// address is two hex digits or "*"; the link's checksum flag is set from marker for the reads
// and given back afterwards. A failed read gives ok = false with the reason.
ModuleInfo Describe(SerialPort* link, const std::string& address, const std::string& model,
                    int marker);

// Finds what answers at address (0..255) as the bus search does: the ASCII name without and
// with checksum, then Modbus; modbusOnly asks Modbus alone. False when nothing answers.
bool Locate(SerialPort* link, int address, bool modbusOnly, std::string& model, int& marker);

// Range name and unit of an analog range code on a model ("" for an unknown code).
struct RangeInfo {
    std::string name;
    std::string unit;
};
RangeInfo RangeOf(const std::string& model, int code);

// Modbus analog scaling: low + (high - low) * raw / 65535 in single precision, printed with
// the range's decimals; false for a range without a scale.
bool ScaleModbus(int code, int raw, std::string& text, double& value);

}  // namespace odel::scope

// Internals of the simulated bus shared between its source files (not part of the public API).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/SimBus.h"

namespace odel::sim {

enum class Family { AiMulti, AiSingle, StrainGauge, Ao1, Ao4, Dio, Counter, MainUnit };

struct ModelInfo {
    const char* name;
    Family family;
    int channels;             // analog channels or outputs
    int inputs;               // digital inputs
    int outputs;              // digital outputs
    bool modbusVariant;       // has a Modbus RTU mode
    int protocolBit;          // bit of the format byte selecting Modbus (2, or 7 on the 7364)
    bool watchdog;            // "$AAX" + four decimal digits / "$AAY"
    bool cjc;                 // "$AA3" / "$AA9" answered
    std::vector<int> ranges;  // accepted range/type codes (empty: any)
};

const ModelInfo* findModel(const std::string& name);

// Full-scale of a range code: low and high end in engineering units.
struct Span {
    double low;
    double high;
};
Span rangeSpan(int code);

// True when the module currently speaks Modbus RTU instead of ASCII.
bool inModbusMode(const ModuleState& m);
// Address and baud code the module answers with right now (INIT: 00 at 9600).
int answerAddress(const ModuleState& m);
int answerBaudCode(const ModuleState& m);
bool checksumOn(const ModuleState& m);

// Sum of the character codes mod 256.
int checksumOf(const std::string& text);

// What one ASCII command does to a module. The line has no checksum and no CR and is known to
// be addressed to this module. Returns the reply without checksum/CR, or nullopt for silence.
// blockFollows is set when the main unit's loader now expects one binary data block; dataStart
// (when given) receives the number of reply characters before its data (lead and address echo).
std::optional<std::string> handleAscii(ModuleState& m, const std::string& line, bool& blockFollows,
                                       std::size_t* dataStart = nullptr);

// A 132-byte loader data block; returns the reply line (without CR).
std::string handleLoaderBlock(ModuleState& m, const std::string& block);

// Modbus RTU: CRC-16 and one request frame (CRC already checked) -> answer without CRC.
std::uint16_t modbusCrc(const std::uint8_t* data, std::size_t len);
std::optional<std::string> handleModbus(ModuleState& m, const std::string& frame);
// One request frame (CRC included) addressed to this module -> the bytes it sends back, CRC
// and the module's fault applied, or nullopt for silence.
std::optional<std::string> answerModbus(ModuleState& m, const std::string& frame);
// A broadcast frame (slave 0, CRC included): recorded; a write is applied, nothing answers.
void takeModbusBroadcast(ModuleState& m, const std::string& frame);

// Moves the live values on by dt seconds at time t.
void advanceLive(ModuleState& m, double t, double dt);
// The counter models' part of it: counting or frequency, preset and alarm outputs.
void advanceCounter(ModuleState& m, double t, double dt);

// Single-channel inputs and the strain gauge: counts the rising edges of DI0 and drives the
// alarm outputs DO0 (high) and DO1 (low) from the value against the limits.
void updateAlarms(ModuleState& m);

// Formats one analog value as the module prints it in its data format.
std::string formatAnalog(const ModuleState& m, int channel);

}  // namespace odel::sim

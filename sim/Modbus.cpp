// Modbus RTU side of the simulated modules (functions 01, 03, 05, 06) and their live data.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "sim/SimInternal.h"

namespace odel::sim {

namespace {

enum : int { kIllegalFunction = 1, kIllegalAddress = 2, kIllegalValue = 3 };

int firmwareRegister(const std::string& text) {
    // "A1.20" -> 0x0120: the digits before and after the dot, each read as hex.
    auto dot = text.find('.');
    std::string major = dot == std::string::npos ? text : text.substr(0, dot);
    std::string minor = dot == std::string::npos ? "" : text.substr(dot + 1);
    auto digits = [](const std::string& s) {
        std::string d;
        for (char c : s)
            if (std::isdigit(static_cast<unsigned char>(c))) d += c;
        return d.empty() ? 0 : static_cast<int>(std::strtol(d.c_str(), nullptr, 16)) & 0xFF;
    };
    return digits(major) << 8 | digits(minor);
}

int nameRegister(const std::string& model, int which) {
    if (which == 0) return static_cast<int>(std::strtol(model.substr(0, 4).c_str(), nullptr, 16));
    return model.size() > 4 ? static_cast<unsigned char>(model[4]) << 8 : 0;
}

// Full scale of a channel's raw 0..65535 as the Modbus map scales it: the thermocouple types
// R, S and B start at 500 'C there; every other code as in ASCII mode.
Span modbusSpan(int code) {
    if (code == 0x12 || code == 0x13) return {500, 1750};
    if (code == 0x14) return {500, 1800};
    return rangeSpan(code);
}

Span ao4Span(int code) {
    if (code == 0x30) return {0, 20};
    if (code == 0x31) return {4, 20};
    return {-10, 10};
}

// Register number as the maps count it (from 1); nullopt for an address the module lacks.
std::optional<int> readRegister(const ModuleState& m, const ModelInfo& info, int reg) {
    if (reg == 211 || reg == 212) return nameRegister(m.model, reg - 211);
    if (reg == 213) return firmwareRegister(m.firmware);
    if (info.family == Family::AiMulti) {
        if (reg >= 1 && reg <= m.channels) {
            Span s = modbusSpan(m.ranges[reg - 1]);
            double raw = (m.values[reg - 1] - s.low) * 65535.0 / (s.high - s.low);
            return static_cast<int>(std::clamp(std::lround(raw), 0L, 65535L));
        }
        if (reg >= 201 && reg <= 200 + m.channels) return m.ranges[reg - 201];
        if (reg == 221) return m.enableMask;
    } else if (info.family == Family::Ao4) {
        if (reg >= 1 && reg <= 4) {
            Span s = ao4Span(m.aoRanges[reg - 1]);
            // Rounded: a written raw value reads back as itself.
            double raw = (m.aoValues[reg - 1] - s.low) * 4095.0 / (s.high - s.low);
            return static_cast<int>(std::clamp(std::lround(raw), 0L, 4095L));
        }
        if (reg >= 201 && reg <= 204) return m.aoRanges[reg - 201];
        if (reg == 214) return 0;
        if (reg == 215) return m.safetyEnabled ? 1 : 0;
        if (reg == 216) return m.safetyTriggered ? 1 : 0;
    }
    return std::nullopt;
}

int writeRegister(ModuleState& m, const ModelInfo& info, int reg, int value) {
    if (info.family == Family::AiMulti) {
        if (reg >= 201 && reg <= 200 + m.channels) {
            bool known = info.ranges.empty() || std::find(info.ranges.begin(), info.ranges.end(),
                                                          value) != info.ranges.end();
            if (!known) return kIllegalValue;
            m.ranges[reg - 201] = value;
            return 0;
        }
        if (reg == 221) {
            m.enableMask = value & ((1 << m.channels) - 1);
            return 0;
        }
    } else if (info.family == Family::Ao4) {
        if (reg >= 1 && reg <= 4) {
            if (value > 4095) return kIllegalValue;
            Span s = ao4Span(m.aoRanges[reg - 1]);
            m.aoValues[reg - 1] = s.low + value * (s.high - s.low) / 4095.0;
            return 0;
        }
        if (reg >= 201 && reg <= 204) {
            if (value < 0x30 || value > 0x32) return kIllegalValue;
            m.aoRanges[reg - 201] = value;
            return 0;
        }
    }
    return kIllegalAddress;
}

std::optional<bool> readCoil(const ModuleState& m, const ModelInfo& info, int coil) {
    if (info.family == Family::AiMulti) {
        if (coil >= 201 && coil <= 200 + m.channels) return m.burnout[coil - 201];
    } else if (info.family == Family::Ao4) {
        if (coil >= 1 && coil <= 4) return (m.digitalInputs >> (coil - 1)) & 1;
    } else if (info.family == Family::Dio) {
        if (coil >= 1 && coil <= info.inputs) return (m.digitalInputs >> (coil - 1)) & 1;
        if (coil >= 17 && coil < 17 + info.outputs) return (m.digitalOutputs >> (coil - 17)) & 1;
    }
    return std::nullopt;
}

std::string exception(const std::string& frame, int code) {
    std::string out;
    out += frame[0];
    out += static_cast<char>(static_cast<unsigned char>(frame[1]) | 0x80);
    out += static_cast<char>(code);
    return out;
}

}  // namespace

std::uint16_t modbusCrc(const std::uint8_t* data, std::size_t len) {
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < len; ++i) {
        crc ^= data[i];
        for (int b = 0; b < 8; ++b) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

std::optional<std::string> handleModbus(ModuleState& m, const std::string& frame) {
    const ModelInfo* info = findModel(m.model);
    if (!info || frame.size() < 2) return std::nullopt;
    auto u8 = [&](std::size_t i) { return static_cast<int>(static_cast<unsigned char>(frame[i])); };
    int function = u8(1);
    if (frame.size() != 6 || (function != 1 && function != 3 && function != 5 && function != 6))
        return exception(frame, kIllegalFunction);
    int first = (u8(2) << 8 | u8(3)) + 1;  // maps count from 1
    int value = u8(4) << 8 | u8(5);
    std::string out = frame.substr(0, 2);
    switch (function) {
        case 1: {
            if (value < 1 || value > 2000) return exception(frame, kIllegalValue);
            std::string data((value + 7) / 8, '\0');
            for (int i = 0; i < value; ++i) {
                auto bit = readCoil(m, *info, first + i);
                if (!bit) return exception(frame, kIllegalAddress);
                if (*bit) data[i / 8] = static_cast<char>(data[i / 8] | (1 << (i % 8)));
            }
            out += static_cast<char>(data.size());
            return out + data;
        }
        case 3: {
            if (value < 1 || value > 125) return exception(frame, kIllegalValue);
            std::string data;
            for (int i = 0; i < value; ++i) {
                auto reg = readRegister(m, *info, first + i);
                if (!reg) return exception(frame, kIllegalAddress);
                data += static_cast<char>((*reg >> 8) & 0xFF);
                data += static_cast<char>(*reg & 0xFF);
            }
            out += static_cast<char>(data.size());
            return out + data;
        }
        case 5: {
            if (value != 0xFF00 && value != 0x0000) return exception(frame, kIllegalValue);
            if (info->family != Family::Dio || first < 17 || first >= 17 + info->outputs)
                return exception(frame, kIllegalAddress);
            int bit = 1 << (first - 17);
            m.digitalOutputs = value ? (m.digitalOutputs | bit) : (m.digitalOutputs & ~bit);
            return frame;
        }
        default: {
            int err = writeRegister(m, *info, first, value);
            if (err) return exception(frame, err);
            return frame;
        }
    }
}

namespace {

std::string withCrc(std::string bytes) {
    auto crc = modbusCrc(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    bytes += static_cast<char>(crc & 0xFF);
    bytes += static_cast<char>(crc >> 8);
    return bytes;
}

// What a Modbus fault's match is compared with: "03:213".
std::string faultKey(const std::string& frame) {
    auto u8 = [&](std::size_t i) { return static_cast<unsigned char>(frame[i]); };
    static const char* digits = "0123456789ABCDEF";
    std::string key{digits[u8(1) >> 4], digits[u8(1) & 0xF], ':'};
    if (frame.size() >= 4) key += std::to_string((u8(2) << 8 | u8(3)) + 1);
    return key;
}

}  // namespace

std::optional<std::string> answerModbus(ModuleState& m, const std::string& frame) {
    if (frame.size() < 4) return std::nullopt;
    const std::string request = frame.substr(0, frame.size() - 2);
    const std::string key = faultKey(request);
    Fault f = Fault::None;
    if (m.fault.kind != Fault::None && m.fault.count != 0 &&
        key.compare(0, m.fault.match.size(), m.fault.match) == 0) {
        f = m.fault.kind;
        if (m.fault.count > 0 && --m.fault.count == 0) m.fault = {};
    }
    if (f == Fault::NoReply) return std::nullopt;
    std::optional<std::string> answer;
    if (f == Fault::ModbusException)
        answer = exception(request, 4);
    else
        answer = handleModbus(m, request);
    if (!answer) return std::nullopt;
    std::string& a = *answer;
    const bool data = a.size() >= 3 && (a[1] == 1 || a[1] == 3);
    switch (f) {
        case Fault::ModbusShort:
            if (data && a.size() > 3) {
                a.pop_back();
                a[2] = static_cast<char>(a.size() - 3);
            } else if (a.size() > 1) {
                a.pop_back();
            }
            break;
        case Fault::ModbusZeroCount:
            if (data) a = a.substr(0, 2) + '\0';
            break;
        case Fault::ModbusWrongFunc:
            a[1] = static_cast<char>(static_cast<unsigned char>(a[1]) + 1);
            break;
        case Fault::ModbusForeign:
            a[0] = static_cast<char>(static_cast<unsigned char>(a[0]) % 255 + 1);
            break;
        default:
            break;
    }
    std::string out = withCrc(a);
    if (f == Fault::ModbusBadCrc) out.back() = static_cast<char>(out.back() ^ 0x5A);
    if (f == Fault::Garbage) out = std::string("\x15\xFE", 2) + out;
    return out;
}

void takeModbusBroadcast(ModuleState& m, const std::string& frame) {
    m.broadcasts.push_back(frame);
    if (frame.size() != 8 || (frame[1] != 5 && frame[1] != 6)) return;
    handleModbus(m, frame.substr(0, 6));
}

void advanceLive(ModuleState& m, double t, double dt) {
    if (!m.live) return;
    const ModelInfo* info = findModel(m.model);
    if (!info) return;
    switch (info->family) {
        case Family::AiMulti:
        case Family::AiSingle:
        case Family::StrainGauge:
            for (int i = 0; i < std::max(1, m.channels) && i < 8; ++i) {
                Span s = info->family == Family::AiMulti ? modbusSpan(m.ranges[i])
                                                         : rangeSpan(m.typeCode);
                double mid = (s.low + s.high) / 2, amp = (s.high - s.low) * 0.3;
                double noise = (std::rand() % 1001 - 500) / 500.0 * (s.high - s.low) * 0.002;
                m.values[i] = mid + amp * std::sin(t * 0.4 + i * 0.8) + noise;
            }
            m.cjc = 25.0 + 0.5 * std::sin(t * 0.05);
            // The DI of the single-channel inputs changes every 1.5 s; its edges are counted.
            if (info->family != Family::AiMulti && std::fmod(t, 1.5) < dt) m.digitalInputs ^= 1;
            updateAlarms(m);
            break;
        case Family::Dio:
        case Family::Ao4:
            if (std::fmod(t, 1.0) < dt) {
                int bits = info->family == Family::Ao4 ? 4 : std::max(1, info->inputs);
                m.digitalInputs ^= 1 << (static_cast<int>(t) % bits);
            }
            break;
        case Family::Counter:
            advanceCounter(m, t, dt);
            break;
        default:
            break;
    }
}

}  // namespace odel::sim

#include "scope/Sampler.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "device/AnalogInput.h"
#include "device/Counter.h"
#include "device/Digital.h"
#include "device/ModbusMaster.h"
#include "device/SerialPort.h"

namespace odel::scope {

namespace {

bool AllHex(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

// A decimal value as the analog modules print it ("+01.234", "-0.250").
std::optional<double> Number(const std::string& s) {
    if (s.empty() || s == "+888888") return std::nullopt;  // burn-out
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (end == s.c_str() || *end != '\0') return std::nullopt;
    return v;
}

// Four hex digits of the two's complement format, as a signed count.
std::optional<double> Signed16(const std::string& s) {
    if (s.size() != 4 || !AllHex(s)) return std::nullopt;
    const long v = std::strtol(s.c_str(), nullptr, 16);
    return static_cast<double>(v >= 0x8000 ? v - 0x10000 : v);
}

std::optional<double> AnalogValue(const ModuleInfo& m, const std::string& text) {
    return m.format == 2 ? Signed16(text) : Number(text);
}

std::string Hex4(int v) {
    char b[8];
    std::snprintf(b, sizeof b, "0x%04X", v & 0xFFFF);
    return b;
}

struct ChecksumFor {
    SerialPort* link;
    std::uint8_t saved;
    ChecksumFor(SerialPort* l, int marker) : link(l), saved(l->GetChecksum()) {
        if (marker != 2) link->SetChecksum(marker == 1 ? 1 : 0);
    }
    ~ChecksumFor() { link->SetChecksum(saved); }
};

// The digits of a digital word and its value; false when they are not hex.
bool Word(const std::string& digits, std::size_t pos, std::size_t len, std::string& text,
          long& value) {
    if (digits.size() < pos + len) return false;
    text = digits.substr(pos, len);
    if (!AllHex(text)) return false;
    value = std::strtol(text.c_str(), nullptr, 16);
    return true;
}

}  // namespace

Sampler::Sampler(SerialPort* link) : link_(link) {}

bool Sampler::Add(const ModuleInfo& module, const std::vector<int>& inputs) {
    if (!module.ok || inputs.empty()) return false;
    for (int i : inputs)
        if (i < 0 || i >= static_cast<int>(module.inputs.size())) return false;
    modules_.push_back({module, inputs});
    status_.push_back({module.address, module.model, 0, true});
    return true;
}

void Sampler::Clear() {
    modules_.clear();
    status_.clear();
}

std::vector<std::string> Sampler::Columns() const {
    std::vector<std::string> names;
    for (const Entry& e : modules_)
        for (int i : e.inputs) names.push_back(e.module.ColumnName(static_cast<std::size_t>(i)));
    return names;
}

std::size_t Sampler::InputCount() const {
    std::size_t n = 0;
    for (const Entry& e : modules_) n += e.inputs.size();
    return n;
}

std::vector<Sample> Sampler::Inputs() const {
    std::vector<Sample> out;
    for (const Entry& e : modules_) {
        for (int i : e.inputs) {
            Sample s;
            s.address = e.module.address;
            s.model = e.module.model;
            s.input = e.module.inputs[static_cast<std::size_t>(i)].name;
            s.unit = e.module.inputs[static_cast<std::size_t>(i)].unit;
            out.push_back(std::move(s));
        }
    }
    return out;
}

SweepRecord Sampler::Sweep() {
    SweepRecord record;
    record.time = std::chrono::system_clock::now();
    record.samples = Inputs();
    std::size_t first = 0;
    for (std::size_t k = 0; k < modules_.size(); ++k) {
        const Entry& e = modules_[k];
        const std::size_t end = first + e.inputs.size();
        std::vector<Sample> part(record.samples.begin() + static_cast<long>(first),
                                 record.samples.begin() + static_cast<long>(end));
        const bool ok = link_ && link_->IsOpen() && ReadModule(e, part);
        if (ok) {
            std::move(part.begin(), part.end(), record.samples.begin() + static_cast<long>(first));
        } else {
            ++status_[k].failures;
        }
        status_[k].lastOk = ok;
        first = end;
    }
    return record;
}

// Fills the samples of one module from one bulk read (two for a counter with both inputs, or a
// Modbus digital module with inputs and outputs); false when a read fails.
bool Sampler::ReadModule(const Entry& e, std::vector<Sample>& out) {
    const ModuleInfo& m = e.module;
    ChecksumFor checksum(link_, m.marker);
    auto info = [&](std::size_t k) -> const InputInfo& {
        return m.inputs[static_cast<std::size_t>(e.inputs[k])];
    };
    switch (m.family) {
        case Family::AiMulti:
        case Family::AiSingle: {
            AnalogInputGroup ai(link_, m.address);
            std::string data;
            if (!ai.ReadAnalogData(data)) return false;
            const std::size_t width = m.format == 2 ? 4 : 7;
            if (m.family == Family::AiMulti && data.size() < width * m.channels) return false;
            for (std::size_t k = 0; k < out.size(); ++k) {
                const std::string text =
                    m.family == Family::AiSingle
                        ? data
                        : data.substr(width * static_cast<std::size_t>(info(k).index), width);
                out[k].text = text;
                out[k].value = AnalogValue(m, text);
                out[k].ok = true;
            }
            return true;
        }
        case Family::Counter: {
            CounterGroup counter(link_, m.address);
            std::string text[2];
            bool read[2] = {false, false};
            for (std::size_t k = 0; k < out.size(); ++k) {
                const int n = info(k).index;
                if (read[n]) continue;
                if (!counter.ReadCounter(n, text[n]) || text[n].size() != 8 || !AllHex(text[n]))
                    return false;
                read[n] = true;
            }
            for (std::size_t k = 0; k < out.size(); ++k) {
                const unsigned long v = std::strtoul(text[info(k).index].c_str(), nullptr, 16);
                out[k].text = std::to_string(v);
                out[k].value = static_cast<double>(v);
                out[k].ok = true;
            }
            return true;
        }
        case Family::Digital: {
            DigitalStatusGroup status(link_, m.address);
            std::string digits;
            if (!status.ReadStatusData(digits)) return false;
            // Output digits first on modules with outputs; the input word follows them.
            const std::size_t inPos = m.outputBits ? 2 : 0;
            const std::size_t inLen = m.inputBits == 16 ? 4 : 2;
            std::string inText, outText;
            long inWord = 0, outWord = 0;
            if (m.inputBits && !Word(digits, inPos, inLen, inText, inWord)) return false;
            if (m.outputBits && !Word(digits, 0, 2, outText, outWord)) return false;
            for (std::size_t k = 0; k < out.size(); ++k) {
                const InputInfo& in = info(k);
                const bool output = in.name[1] == 'O';
                const long word = output ? outWord : inWord;
                if (in.kind == InputKind::Word) {
                    out[k].text = output ? outText : inText;
                    out[k].value = static_cast<double>(word);
                } else {
                    const int bit = (word >> in.index) & 1;
                    out[k].text = bit ? "1" : "0";
                    out[k].value = bit;
                }
                out[k].ok = true;
            }
            return true;
        }
        case Family::ModbusAi: {
            ModbusMaster modbus(link_);
            const int slave = static_cast<int>(std::strtol(m.address.c_str(), nullptr, 16));
            std::uint8_t data[ModbusMaster::kReceiveBufferSize] = {};
            int bytes = 0;
            if (!modbus.RequestReadRegisters(slave, 1, m.channels) ||
                !modbus.ReceiveReadRegisters(data, sizeof data, bytes) || bytes < 2 * m.channels)
                return false;
            for (std::size_t k = 0; k < out.size(); ++k) {
                const InputInfo& in = info(k);
                const int raw = data[2 * in.index] << 8 | data[2 * in.index + 1];
                double v = raw;
                std::string text = Hex4(raw);
                if (m.scaled && !ScaleModbus(in.code, raw, text, v)) text = Hex4(raw);
                out[k].text = text;
                out[k].value = v;
                out[k].ok = true;
            }
            return true;
        }
        case Family::ModbusDigital: {
            ModbusMaster modbus(link_);
            const int slave = static_cast<int>(std::strtol(m.address.c_str(), nullptr, 16));
            std::uint8_t data[ModbusMaster::kReceiveBufferSize] = {};
            int bytes = 0;
            const int first = m.inputBits ? 1 : 17;
            const int count = m.inputBits ? m.inputBits : m.outputBits;
            if (!modbus.RequestReadCoils(slave, first, count) ||
                !modbus.ReceiveReadCoils(data, sizeof data, bytes) || bytes * 8 < count)
                return false;
            for (std::size_t k = 0; k < out.size(); ++k) {
                const int i = info(k).index;
                const int bit = (data[i / 8] >> (i % 8)) & 1;
                out[k].text = bit ? "1" : "0";
                out[k].value = bit;
                out[k].ok = true;
            }
            return true;
        }
        default:
            return false;
    }
}

}  // namespace odel::scope

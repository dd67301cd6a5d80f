#include "scope/Catalog.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "device/AnalogInput.h"
#include "device/BusProbe.h"
#include "device/ModbusMaster.h"
#include "device/ModuleBase.h"
#include "device/SerialPort.h"

namespace odel::scope {

namespace {

struct Range {
    int code;
    const char* name;
    const char* unit;
};

// The ranges each analog model offers, named as its page lists them.
const std::vector<Range>& RangesOf(const std::string& model) {
    static const std::vector<Range> k7354R = {
        {0x06, "+/- 0~20mA", "mA"}, {0x07, "+ 4~20mA", "mA"}, {0x0E, "J Type", "'C"},
        {0x0F, "K Type", "'C"},     {0x10, "T Type", "'C"},   {0x11, "E Type", "'C"},
        {0x12, "R Type", "'C"},     {0x13, "S Type", "'C"},   {0x14, "B Type", "'C"}};
    static const std::vector<Range> k7352R = {{0x07, "+ 4~20mA", "mA"},  {0x08, "+/- 10V", "V"},
                                              {0x09, "+/- 5V", "V"},     {0x0A, "+/- 1V", "V"},
                                              {0x0B, "+/- 500mV", "mV"}, {0x0C, "+/- 150mV", "mV"},
                                              {0x0D, "+/- 0~20mA", "mA"}};
    static const std::vector<Range> k7354 = {
        {0x00, "+/- 15mV", "mV"},  {0x01, "+/- 50mV", "mV"}, {0x02, "+/- 100mV", "mV"},
        {0x03, "+/- 500mV", "mV"}, {0x04, "+/- 1V", "V"},    {0x05, "+/- 2.5V", "V"},
        {0x06, "+/- 20mA", "mA"},  {0x0E, "J Type", "'C"},   {0x0F, "K Type", "'C"},
        {0x10, "T Type", "'C"},    {0x11, "E Type", "'C"},   {0x12, "R Type", "'C"},
        {0x13, "S Type", "'C"},    {0x14, "B Type", "'C"}};
    static const std::vector<Range> k7352 = {{0x08, "+/- 10V", "V"},    {0x09, "+/- 5V", "V"},
                                             {0x0A, "+/- 1V", "V"},     {0x0B, "+/- 500mV", "mV"},
                                             {0x0C, "+/- 150mV", "mV"}, {0x0D, "+/- 20mA", "mA"}};
    static const std::vector<Range> k7356 = {
        {0x02, "+/- 100mV", "mV"},  {0x03, "+/- 500mV", "mV"}, {0x04, "+/- 1V", "V"},
        {0x05, "+/- 2.5V", "V"},    {0x08, "+/- 10V", "V"},    {0x09, "+/- 5V", "V"},
        {0x0D, "+/- 0~20mA", "mA"}, {0x0E, "J Type", "'C"},    {0x0F, "K Type", "'C"},
        {0x10, "T Type", "'C"},     {0x11, "E Type", "'C"},    {0x12, "R Type", "'C"},
        {0x13, "S Type", "'C"},     {0x14, "B Type", "'C"}};
    static const std::vector<Range> k7347 = {
        {0x20, "PT100(385)-50~150", "'C"},  {0x21, "PT100(385)0~100", "'C"},
        {0x22, "PT100(385)0~200", "'C"},    {0x23, "PT100(385)0~400", "'C"},
        {0x24, "PT100(385)-200~200", "'C"}, {0x25, "PT100(392)-50~150", "'C"},
        {0x26, "PT100(392)0~100", "'C"},    {0x27, "PT100(392)0~200", "'C"},
        {0x28, "PT100(392)0~400", "'C"},    {0x29, "PT100(392)-200~200", "'C"},
        {0x2A, "PT1000 -40~160", "'C"},     {0x2B, "Balc 0-500", "'C"},
        {0x2C, "Balc:-30~120", "'C"},       {0x2D, "Ni-50:-80~320", "'C"}};
    static const std::vector<Range> k7347K = {{0x30, "Thermistor 3K 0~100'C", "'C"},
                                              {0x31, "Thermistor 10K 0~100'C", "'C"}};
    static const std::vector<Range> k7341 = {
        {0x00, "+/- 15mV", "mV"},       {0x01, "+/- 50mV", "mV"},
        {0x02, "+/- 100mV", "mV"},      {0x03, "+/- 500mV", "mV"},
        {0x04, "+/- 1V", "V"},          {0x05, "+/- 2.5V", "V"},
        {0x06, "+/- 20mA", "mA"},       {0x0E, "J Thermocouple", "'C"},
        {0x0F, "K Thermocouple", "'C"}, {0x10, "T Thermocouple", "'C"},
        {0x11, "E Thermocouple", "'C"}, {0x12, "R Thermocouple", "'C"},
        {0x13, "S Thermocouple", "'C"}, {0x14, "B Thermocouple", "'C"}};
    static const std::vector<Range> k7345 = {
        {0x20, "Pt.00385 -100' to 100'C", "'C"}, {0x21, "Pt.00385 0' to 100'C", "'C"},
        {0x22, "Pt.00385 0' to 200'C", "'C"},    {0x23, "Pt.00385 0' to 600'C", "'C"},
        {0x24, "Pt.00391 -100' to 100'C", "'C"}, {0x25, "Pt.00391 0' to 100'C", "'C"},
        {0x26, "Pt.00391 0' to 200'C", "'C"},    {0x27, "Pt.00391 0' to 600'C", "'C"},
        {0x28, "Ni, -80' to 100'C", "'C"},       {0x29, "Ni, 0' to 100'C", "'C"},
        {0x2A, "Cu 25'C 0 to 120'C", "'C"},      {0x2B, "Cu 0'C 0 to 120'C", "'C"},
        {0x2C, "T1 -50 to 150'C", "'C"}};
    static const std::vector<Range> k7349 = {{0x00, "+/- 15mV", "mV"},
                                             {0x01, "+/- 50mV", "mV"},
                                             {0x02, "+/- 100mV", "mV"},
                                             {0x03, "+/- 500mV", "mV"},
                                             {0x06, "+/- 20mA", "mA"}};
    static const std::vector<Range> none;
    if (model == "7354R") return k7354R;
    if (model == "7352R") return k7352R;
    if (model == "7354") return k7354;
    if (model == "7352" || model == "7342") return k7352;
    if (model == "7356") return k7356;
    if (model == "7347") return k7347;
    if (model == "7347K") return k7347K;
    if (model == "7341" || model == "7341L") return k7341;
    if (model == "7345") return k7345;
    if (model == "7349") return k7349;
    return none;
}

// Modbus analog ranges with a linear scale: low, high and the decimals the page prints.
struct Scale {
    int code;
    float low, high;
    int decimals;
};
constexpr Scale kScales[] = {{0x06, -20, 20, 3},   {0x07, 4, 20, 3},     {0x08, -10, 10, 3},
                             {0x09, -5, 5, 4},     {0x0A, -1, 1, 4},     {0x0B, -500, 500, 2},
                             {0x0C, -150, 150, 2}, {0x0D, -20, 20, 3},   {0x0E, 0, 760, 2},
                             {0x0F, 0, 1000, 1},   {0x10, -100, 400, 2}, {0x11, 0, 1000, 1},
                             {0x12, 500, 1750, 1}, {0x13, 500, 1750, 1}, {0x14, 500, 1800, 1}};

int HexValue(const std::string& text) {
    if (text.empty()) return -1;
    for (char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return -1;
    return static_cast<int>(std::strtol(text.c_str(), nullptr, 16));
}

std::string Hex2(int v) {
    char b[8];
    std::snprintf(b, sizeof b, "%02X", v & 0xFF);
    return b;
}

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Analog channel input with the unit the module's data format gives it.
InputInfo AnalogInput(const std::string& model, const std::string& name, int index, int code,
                      int format, bool fahrenheit) {
    InputInfo in;
    in.name = name;
    in.index = index;
    in.code = code;
    const RangeInfo r = RangeOf(model, code);
    in.range = r.name.empty() ? "unknown range " + Hex2(code) : r.name;
    in.unit = r.unit;
    if (fahrenheit && in.unit == "'C") in.unit = "'F";
    if (format == 1) in.unit = "%";
    if (format == 2) in.unit.clear();  // two's complement hexadecimal counts
    if (format == 3 && (model == "7347" || model == "7347K" || model == "7345")) in.unit = "Ohm";
    return in;
}

void AddDigital(ModuleInfo& m, const char* prefix, int bits, int word) {
    InputInfo w;
    w.name = prefix;
    w.kind = InputKind::Word;
    w.index = word;
    w.range = std::to_string(bits) + " lines, hexadecimal";
    m.inputs.push_back(w);
    for (int i = 0; i < bits; ++i) {
        InputInfo b;
        b.name = prefix + std::to_string(i);
        b.kind = InputKind::Bit;
        b.index = i;
        b.range = word ? "output" : "input";
        m.inputs.push_back(b);
    }
}

void AddBits(ModuleInfo& m, const char* prefix, int bits) {
    for (int i = 0; i < bits; ++i) {
        InputInfo b;
        b.name = prefix + std::to_string(i);
        b.kind = InputKind::Bit;
        b.index = i;
        b.range = prefix[1] == 'I' ? "input" : "output";
        m.inputs.push_back(b);
    }
}

// Sets the link's checksum flag for one module and gives the previous flag back at the end.
struct ChecksumFor {
    SerialPort* link;
    std::uint8_t saved;
    ChecksumFor(SerialPort* l, int marker) : link(l), saved(l ? l->GetChecksum() : 0) {
        if (link && marker != 2) link->SetChecksum(marker == 1 ? 1 : 0);
    }
    ~ChecksumFor() {
        if (link) link->SetChecksum(saved);
    }
};

bool DescribeAscii(SerialPort* link, ModuleInfo& m) {
    ModuleBase base(link, m.address);
    if (!base.RefreshConfiguration()) {
        m.reason = "no answer to the configuration read";
        return false;
    }
    const int type = HexValue(base.TypeCode());
    const int format = HexValue(base.DataFormat());
    if (type < 0 || format < 0) {
        m.reason = "its configuration reply cannot be read";
        return false;
    }
    m.format = format & 3;
    const bool fahrenheit = m.model == "7347K" && (format & 0x08);
    switch (m.family) {
        case Family::AiMulti: {
            m.channels = (m.model == "7347" || m.model == "7347K") ? 6 : 8;
            const bool oneRange = m.model == "7354" || m.model == "7352";
            AnalogInputGroup ai(link, m.address);
            for (int ch = 0; ch < m.channels; ++ch) {
                int code = type;
                if (!oneRange) {
                    std::string text;
                    if (!ai.ReadChannelRange(ch, text) || (code = HexValue(text)) < 0) {
                        m.inputs.clear();
                        m.reason = "cannot read the range of CH" + std::to_string(ch);
                        return false;
                    }
                }
                m.inputs.push_back(AnalogInput(m.model, "CH" + std::to_string(ch), ch, code,
                                               m.format, fahrenheit));
            }
            return true;
        }
        case Family::AiSingle:
            m.channels = 1;
            m.inputs.push_back(AnalogInput(m.model, "AI", 0, type, m.format, false));
            return true;
        case Family::Counter:
            for (int n = 0; n < 2; ++n) {
                InputInfo in;
                in.name = "CN" + std::to_string(n);
                in.index = n;
                in.code = type;
                in.unit = type == 0x51 ? "Hz" : "";
                in.range = type == 0x51 ? "Frequency" : "Counter";
                m.inputs.push_back(in);
            }
            return true;
        case Family::Digital:
            if (m.inputBits) AddDigital(m, "DI", m.inputBits, 0);
            if (m.outputBits) AddDigital(m, "DO", m.outputBits, 1);
            return true;
        default:
            return false;
    }
}

bool DescribeModbus(SerialPort* link, ModuleInfo& m) {
    ModbusMaster modbus(link);
    const int slave = HexValue(m.address);
    std::uint8_t data[ModbusMaster::kReceiveBufferSize] = {};
    int bytes = 0;
    if (m.family == Family::ModbusAi) {
        m.channels = (m.model == "7347" || m.model == "7347K") ? 6 : 8;
        m.scaled = m.model == "7354R" || m.model == "7352R";
        if (!modbus.RequestReadRegisters(slave, 201, m.channels) ||
            !modbus.ReceiveReadRegisters(data, sizeof data, bytes) || bytes < 2 * m.channels) {
            m.reason = "cannot read its range registers";
            return false;
        }
        for (int ch = 0; ch < m.channels; ++ch) {
            const int code = data[2 * ch + 1];
            InputInfo in = AnalogInput(m.model, "CH" + std::to_string(ch), ch, code, 0, false);
            if (!m.scaled) in.unit.clear();  // the raw register, as the page shows it
            m.inputs.push_back(in);
        }
        return true;
    }
    const int first = m.inputBits ? 1 : 17;
    const int count = m.inputBits ? m.inputBits : m.outputBits;
    if (!modbus.RequestReadCoils(slave, first, count) ||
        !modbus.ReceiveReadCoils(data, sizeof data, bytes) || bytes * 8 < count) {
        m.reason = "no answer to a coil read";
        return false;
    }
    AddBits(m, "DI", m.inputBits);
    AddBits(m, "DO", m.outputBits);
    return true;
}

}  // namespace

Family FamilyOf(const std::string& model, int marker) {
    if (marker == 2) {
        if (model == "7354R" || model == "7352R" || model == "7347" || model == "7347K")
            return Family::ModbusAi;
        if (model == "7385" || model == "7381" || model == "7396") return Family::ModbusDigital;
        return Family::None;
    }
    if (model == "7354R" || model == "7352R" || model == "7354" || model == "7352" ||
        model == "7347" || model == "7347K" || model == "7356")
        return Family::AiMulti;
    if (model == "7341" || model == "7341L" || model == "7342" || model == "7345" ||
        model == "7349")
        return Family::AiSingle;
    if (model == "7320" || model == "7320L") return Family::Counter;
    if (model == "7385" || model == "7380" || model == "7396" || model == "7390" ||
        model == "7382" || model == "7383" || model == "7381")
        return Family::Digital;
    return Family::None;
}

bool Locate(SerialPort* link, int address, bool modbusOnly, std::string& model, int& marker) {
    if (link == nullptr) return false;
    const std::uint8_t savedChecksum = link->GetChecksum();
    ProbeNode node;
    bool found = false;
    if (modbusOnly) {
        found = BusSearch::ProbeModbusAt(link, address, node);
    } else {
        BusSearch search(link, address, address);
        bool progressed = false;
        while (!found && !search.Finished()) found = search.ProbeNext(node, progressed);
    }
    link->SetChecksum(savedChecksum);
    if (!found) return false;
    const std::size_t close = node.text.find(')');
    model = close == std::string::npos ? node.text : node.text.substr(close + 1);
    marker = node.marker;
    return true;
}

RangeInfo RangeOf(const std::string& model, int code) {
    for (const Range& r : RangesOf(model))
        if (r.code == code) return {r.name, r.unit};
    return {};
}

bool ScaleModbus(int code, int raw, std::string& text, double& value) {
    for (const Scale& s : kScales) {
        if (s.code != code) continue;
        // Single precision, as the module's page scales it.
        const float v = s.low + (s.high - s.low) * static_cast<float>(raw) / 65535.0f;
        char b[32];
        if (v >= 0)
            std::snprintf(b, sizeof b, "+%0*.*f", 6, s.decimals, static_cast<double>(v));
        else
            std::snprintf(b, sizeof b, "%0*.*f", 7, s.decimals, static_cast<double>(v));
        text = b;
        value = std::strtod(b, nullptr);
        return true;
    }
    return false;
}

ModuleInfo Describe(SerialPort* link, const std::string& address, const std::string& model,
                    int marker) {
    ModuleInfo m;
    m.address = address == "*" ? "00" : Upper(address);
    m.model = model;
    m.marker = marker;
    m.family = FamilyOf(model, marker);
    if (m.family == Family::Digital || m.family == Family::ModbusDigital) {
        m.inputBits = model == "7383" || model == "7381"   ? 16
                      : model == "7380"                    ? 7
                      : model == "7396" || model == "7390" ? 0
                                                           : 8;
        m.outputBits = model == "7390"                                         ? 4
                       : model == "7385" || model == "7380" || model == "7396" ? 8
                                                                               : 0;
        if (m.family == Family::ModbusDigital && model == "7385") m.outputBits = 0;
    }
    if (m.family == Family::None) {
        m.reason = "no inputs the scope can read";
        return m;
    }
    if (!link) {
        m.reason = "no link";
        return m;
    }
    ChecksumFor checksum(link, marker);
    m.ok = m.family == Family::ModbusAi || m.family == Family::ModbusDigital
               ? DescribeModbus(link, m)
               : DescribeAscii(link, m);
    if (!m.ok) m.inputs.clear();
    return m;
}

std::string ModuleInfo::ColumnName(std::size_t i) const {
    const InputInfo& in = inputs.at(i);
    std::string s = address + " " + model + " " + in.name;
    if (!in.unit.empty()) s += " [" + in.unit + "]";
    return s;
}

int ModuleInfo::FindInput(const std::string& name) const {
    const std::string want = Upper(name);
    for (std::size_t i = 0; i < inputs.size(); ++i)
        if (Upper(inputs[i].name) == want) return static_cast<int>(i);
    // A bare number: channel, counter or input line n.
    if (!want.empty() && want.size() <= 2 && std::isdigit(static_cast<unsigned char>(want[0])) &&
        (want.size() == 1 || std::isdigit(static_cast<unsigned char>(want[1])))) {
        const int n = std::atoi(want.c_str());
        for (std::size_t i = 0; i < inputs.size(); ++i) {
            const InputInfo& in = inputs[i];
            if (in.index != n) continue;
            if (in.kind == InputKind::Value) return static_cast<int>(i);
            if (in.kind == InputKind::Bit && in.name.rfind(inputBits ? "DI" : "DO", 0) == 0)
                return static_cast<int>(i);
        }
    }
    return -1;
}

std::string ModuleInfo::InputNames() const {
    // Runs of one prefix with consecutive numbers are shown as CH0..CH7.
    auto prefix = [](const std::string& n) {
        std::size_t p = n.size();
        while (p > 0 && std::isdigit(static_cast<unsigned char>(n[p - 1]))) --p;
        return n.substr(0, p);
    };
    std::string s;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const std::string p = prefix(inputs[i].name);
        std::size_t j = i;
        while (p != inputs[i].name && j + 1 < inputs.size() && prefix(inputs[j + 1].name) == p &&
               inputs[j + 1].index == inputs[j].index + 1)
            ++j;
        if (!s.empty()) s += ", ";
        s += inputs[i].name;
        if (j > i) s += ".." + inputs[j].name;
        i = j;
    }
    return s;
}

}  // namespace odel::scope

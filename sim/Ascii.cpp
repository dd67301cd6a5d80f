// The ASCII command set as the modules answer it, per model family.
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "sim/SimInternal.h"

namespace odel::sim {

namespace {

// Set while the reply of a module with the lower-case option is built: its hex data digits
// come out in lower case. Address echoes stay upper case (addr2).
thread_local bool tLowerHex = false;

std::string cased(std::string s) {
    if (tLowerHex)
        for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return s;
}

std::string addr2(int v) {
    char b[8];
    std::snprintf(b, sizeof b, "%02X", v & 0xFF);
    return b;
}

std::string hex2(int v) {
    return cased(addr2(v));
}

std::string hex4(int v) {
    char b[8];
    std::snprintf(b, sizeof b, "%04X", v & 0xFFFF);
    return cased(b);
}

std::string hex8(std::uint32_t v) {
    char b[12];
    std::snprintf(b, sizeof b, "%08X", static_cast<unsigned>(v));
    return cased(b);
}

bool allHex(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

bool allDigits(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

bool hexField(const std::string& s, std::size_t pos, std::size_t len, int& out) {
    if (s.size() < pos + len) return false;
    std::string f = s.substr(pos, len);
    if (!allHex(f)) return false;
    out = static_cast<int>(std::strtoul(f.c_str(), nullptr, 16));
    return true;
}

// A signed decimal value text such as "+12.000", "04.500" or "-0.250".
bool parseNumber(const std::string& s, double& out) {
    if (s.empty() || s.size() > 10) return false;
    std::size_t i = (s[0] == '+' || s[0] == '-') ? 1 : 0;
    bool digit = false, dot = false;
    for (std::size_t k = i; k < s.size(); ++k) {
        if (std::isdigit(static_cast<unsigned char>(s[k])))
            digit = true;
        else if (s[k] == '.' && !dot)
            dot = true;
        else
            return false;
    }
    if (!digit) return false;
    out = std::strtod(s.c_str(), nullptr);
    return true;
}

// Channel digit n of text at pos, below count.
bool channelAt(const std::string& s, std::size_t pos, int count, int& n) {
    if (s.size() <= pos || !std::isdigit(static_cast<unsigned char>(s[pos]))) return false;
    n = s[pos] - '0';
    return n < count;
}

bool acceptsRange(const ModelInfo& info, int code) {
    if (info.ranges.empty()) return true;
    for (int c : info.ranges)
        if (c == code) return true;
    return false;
}

// Fixed-width (7 characters) signed value with as many decimals as the full scale allows.
std::string fixed7(double v, double fullScale) {
    int decimals = fullScale < 100 ? 3 : fullScale < 1000 ? 2 : fullScale < 10000 ? 1 : 0;
    double limit = std::pow(10.0, 6 - decimals - (decimals ? 1 : 0)) - std::pow(10.0, -decimals);
    if (v > limit) v = limit;
    if (v < -limit) v = -limit;
    char b[32];
    std::snprintf(b, sizeof b, "%+07.*f", decimals, v);
    return b;
}

Span ao4Span(int code) {
    if (code == 0x30) return {0, 20};
    if (code == 0x31) return {4, 20};
    return {-10, 10};
}

Span ao1Span(int code) {
    if (code == 0x31) return {4, 20};
    if (code == 0x32) return {0, 10};
    return {0, 20};
}

std::string formatAo1(const ModuleState& m, double v) {
    Span s = ao1Span(m.typeCode);
    char b[32];
    switch (m.format & 3) {
        case 0:
            std::snprintf(b, sizeof b, "%06.3f", v);
            break;
        case 1:
            std::snprintf(b, sizeof b, "%+07.2f", (v - s.low) * 100.0 / (s.high - s.low));
            break;
        default:
            std::snprintf(b, sizeof b, "%03X",
                          static_cast<int>(std::lround((v - s.low) * 4095.0 / (s.high - s.low))));
            return cased(b);
    }
    return b;
}

struct Ctx {
    ModuleState& m;
    const ModelInfo& info;
    char lead;
    std::string aa;          // address digits as received
    std::string r;           // the rest of the line
    std::size_t header = 0;  // characters before the reply's data; 0: lead plus address echo
    std::string ack() const { return "!" + aa; }
    std::string nak() const { return "?" + aa; }
};

std::optional<std::string> configure(Ctx& c) {
    ModuleState& m = c.m;
    int nn = m.address, tt = m.typeCode, cc = 0, ff = 0;
    if (c.info.family == Family::MainUnit) {
        if (c.r.size() != 6 || c.r.substr(0, 2) != "00" || !hexField(c.r, 2, 2, cc) ||
            !hexField(c.r, 4, 2, ff))
            return c.nak();
    } else if (c.r.size() != 8 || !hexField(c.r, 0, 2, nn) || !hexField(c.r, 2, 2, tt) ||
               !hexField(c.r, 4, 2, cc) || !hexField(c.r, 6, 2, ff)) {
        return c.nak();
    }
    if (cc < 3 || cc > 10) return c.nak();
    // Baud rate and checksum change only in INIT state.
    if (!m.init && (cc != m.baudCode || ((ff ^ m.format) & 0x40))) return c.nak();
    bool typed = c.info.family == Family::AiSingle || c.info.family == Family::StrainGauge ||
                 c.info.family == Family::Ao1 || c.info.family == Family::Counter ||
                 m.model == "7354" || m.model == "7352";
    if (typed && !acceptsRange(c.info, tt)) return c.nak();
    m.address = nn;
    m.typeCode = tt;
    m.baudCode = cc;
    m.format = ff;
    if (typed && c.info.family != Family::Ao1 && c.info.family != Family::Counter)
        for (int& r : m.ranges) r = tt;
    return "!" + addr2(answerAddress(m));
}

std::optional<std::string> calibration(Ctx& c) {
    c.m.calibrations.push_back(std::string(1, c.lead) + c.r);
    return c.ack();
}

// "$AA3" / "$AA9+006F" on models with cold-junction compensation.
std::optional<std::string> cjcCommand(Ctx& c) {
    if (!c.info.cjc) return c.nak();
    if (c.r == "3") return ">" + fixed7(c.m.cjc + c.m.cjcOffset / 111.11, 100);
    int v = 0;
    if (c.r.size() == 6 && (c.r[1] == '+' || c.r[1] == '-') && hexField(c.r, 2, 4, v)) {
        c.m.cjcOffset = c.r[1] == '-' ? -v : v;
        c.m.calibrations.push_back("$" + c.r);
        return c.ack();
    }
    return c.nak();
}

std::optional<std::string> aiMulti(Ctx& c) {
    ModuleState& m = c.m;
    const std::string& r = c.r;
    int n = 0, v = 0;
    if (c.lead == '#') {
        if (r.empty()) {
            std::string out = ">";
            for (int i = 0; i < m.channels; ++i) out += formatAnalog(m, i);
            return out;
        }
        if (r.size() == 1 && channelAt(r, 0, m.channels, n)) return ">" + formatAnalog(m, n);
        return c.nak();
    }
    if (c.lead != '$') return c.nak();
    if (r == "0" || r == "1") return calibration(c);
    if (r.size() == 3 && (r[0] == '0' || r[0] == '1') && r[1] == 'C' &&
        channelAt(r, 2, m.channels, n))
        return calibration(c);
    if (r == "3" || r[0] == '9') return cjcCommand(c);
    if (r.size() == 3 && r[0] == '5' && hexField(r, 1, 2, v)) {
        m.enableMask = v & ((1 << m.channels) - 1);
        return c.ack();
    }
    if (r == "6") return c.ack() + hex2(m.enableMask);
    if (r.size() == 6 && r[0] == '7' && r[1] == 'C' && channelAt(r, 2, m.channels, n) &&
        r[3] == 'R' && hexField(r, 4, 2, v)) {
        if (!acceptsRange(c.info, v)) return c.nak();
        m.ranges[n] = v;
        return c.ack();
    }
    if (r.size() == 3 && r[0] == '8' && r[1] == 'C' && channelAt(r, 2, m.channels, n))
        return c.ack() + "C" + r[2] + "R" + hex2(m.ranges[n]);
    if (c.info.watchdog && r.size() == 5 && r[0] == 'X' && allDigits(r.substr(1))) {
        m.watchdog = std::atoi(r.c_str() + 1);
        return c.ack();
    }
    if (c.info.watchdog && r == "Y") {
        char b[8];
        std::snprintf(b, sizeof b, "%04d", m.watchdog % 10000);
        return c.ack() + b;
    }
    if (m.model == "7347K" && !r.empty() && r[0] == 'R') {
        if (r.size() == 2 && (r[1] == '0' || r[1] == '1'))
            return c.ack() + hex4(std::abs(m.leadWire[r[1] - '0']));  // unsigned tenths of an ohm
        if (r.size() == 7 && (r[1] == '0' || r[1] == '1') && (r[2] == '+' || r[2] == '-') &&
            hexField(r, 3, 4, v)) {
            m.leadWire[r[1] - '0'] = r[2] == '-' ? -v : v;
            return c.ack();
        }
    }
    return c.nak();
}

bool limitText(const std::string& s) {
    double v;
    return s.size() >= 2 && s.size() <= 9 && (s[0] == '+' || s[0] == '-') && parseNumber(s, v);
}

// Alarm, limit, output and event-counter commands of the single-channel inputs.
std::optional<std::string> alarmCommand(Ctx& c) {
    ModuleState& m = c.m;
    const std::string& r = c.r;
    int v = 0;
    // The RTD input has no alarm outputs, no DI and no event counter.
    if (m.model == "7345") return c.nak();
    if (r == "DI")
        return c.ack() + std::to_string(m.alarmMode) + hex2(m.digitalOutputs) +
               hex2(m.digitalInputs);
    if (r.size() == 4 && r.substr(0, 2) == "DO" && hexField(r, 2, 2, v)) {
        if (c.info.family == Family::StrainGauge) {
            int group = r[2] - '0', bits = r[3] - '0';
            if (group < 0 || group > 1 || bits < 0 || bits > 3) return c.nak();
            if (group == 0 && m.alarmMode != 0) return c.nak();
            int shift = group * 2;
            m.digitalOutputs = (m.digitalOutputs & ~(3 << shift)) | (bits << shift);
            return c.ack();
        }
        if (m.alarmMode != 0) return c.nak();  // the alarm drives the outputs
        m.digitalOutputs = v & 3;
        return c.ack();
    }
    if (r == "EAM" || r == "EAL") {
        m.alarmMode = r[2] == 'M' ? 1 : 2;
        m.latchedOutputs = 0;
        updateAlarms(m);
        return c.ack();
    }
    if (r == "DA") {
        m.alarmMode = 0;
        m.latchedOutputs = 0;
        return c.ack();
    }
    if (r == "CA") {
        // Releases latched outputs; a condition that still holds latches them again.
        if (m.alarmMode == 2) {
            m.latchedOutputs = 0;
            m.digitalOutputs &= ~3;
            updateAlarms(m);
        }
        return c.ack();
    }
    if (r.size() > 2 && (r.substr(0, 2) == "HI" || r.substr(0, 2) == "LO")) {
        std::string value = r.substr(2);
        if (!limitText(value)) return c.nak();
        (r[0] == 'H' ? m.highLimit : m.lowLimit) = value;
        updateAlarms(m);
        return c.ack();
    }
    if (r == "RH") return c.ack() + m.highLimit;
    if (r == "RL") return c.ack() + m.lowLimit;
    if (r == "RE") {
        char b[16];
        std::snprintf(b, sizeof b, "%05d", m.eventCounter % 100000);
        return c.ack() + b;
    }
    if (r == "CE") {
        m.eventCounter = 0;
        return c.ack();
    }
    return c.nak();
}

std::optional<std::string> aiSingle(Ctx& c) {
    ModuleState& m = c.m;
    const std::string& r = c.r;
    updateAlarms(m);
    if (c.lead == '#')
        return r.empty() ? std::optional<std::string>(">" + formatAnalog(m, 0)) : c.nak();
    if (c.lead == '@') return alarmCommand(c);
    if (c.lead != '$') return c.nak();
    if (r == "0" || r == "1") return calibration(c);
    if (r == "3" || (!r.empty() && r[0] == '9')) return cjcCommand(c);
    if (c.info.family == Family::StrainGauge) {
        double v = 0;
        if (r.size() > 1 && r[0] == '7' && parseNumber(r.substr(1), v)) {
            if (v < 0 || v > 10) return c.nak();
            m.aoValues[0] = v;
            return c.ack();
        }
        char b[16];
        std::snprintf(b, sizeof b, "%+07.3f", m.aoValues[0]);
        if (r == "6") return c.ack() + b;
        if (r == "S") {
            m.aoStartup[0] = m.aoValues[0];
            return c.ack();
        }
        if (r.size() > 1 && r[0] == 'E' && allHex(r.substr(1))) {
            m.aoTrim = static_cast<int>(std::strtol(r.c_str() + 1, nullptr, 16));
            m.calibrations.push_back("$" + r);
            return c.ack();
        }
        if (r == "A" || r == "B") return calibration(c);
    }
    return c.nak();
}

}  // namespace

void updateAlarms(ModuleState& m) {
    const ModelInfo* info = findModel(m.model);
    if (!info || (info->family != Family::AiSingle && info->family != Family::StrainGauge) ||
        m.model == "7345")
        return;
    if ((m.digitalInputs & 1) && !(m.seenInputs & 1)) ++m.eventCounter;
    m.seenInputs = m.digitalInputs;
    if (m.alarmMode == 0) return;  // the outputs are the host's
    double high = 0, low = 0;
    const bool haveHigh = parseNumber(m.highLimit, high), haveLow = parseNumber(m.lowLimit, low);
    int now = (haveHigh && m.values[0] > high ? 1 : 0) | (haveLow && m.values[0] < low ? 2 : 0);
    if (m.alarmMode == 2) now = m.latchedOutputs |= now;
    m.digitalOutputs = (m.digitalOutputs & ~3) | now;
}

namespace {

// Seconds of a steady clock: the time base of slew ramps and the comm safety time.
double aoClock() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Slew rate of the format byte (bits 5..2) in units per second; 0 = immediately. Each code
// doubles the rate, from 0.125 mA/s or 0.0625 V/s at code 1.
double aoSlewRate(const ModuleState& m, bool volts) {
    int code = (m.format >> 2) & 0xF;
    if (code == 0 || code > 11) return 0;
    return (volts ? 0.0625 : 0.125) * std::pow(2.0, code - 1);
}

// Where output n stands now on its ramp towards the value last written.
double aoRamped(const ModuleState& m, int n, bool volts, double now) {
    double rate = aoSlewRate(m, volts), target = m.aoValues[n];
    if (rate <= 0) return target;
    double moved = rate * (now - m.aoSince[n]), d = target - m.aoFrom[n];
    if (std::fabs(d) <= moved) return target;
    return m.aoFrom[n] + (d > 0 ? moved : -moved);
}

// A new output value: the ramp starts where the output stands.
void aoWrite(ModuleState& m, int n, double v, bool volts, double now) {
    m.aoFrom[n] = aoRamped(m, n, volts, now);
    m.aoSince[n] = now;
    m.aoValues[n] = v;
}

// Output n jumps to v without a ramp.
void aoJump(ModuleState& m, int n, double v, double now) {
    m.aoFrom[n] = m.aoValues[n] = v;
    m.aoSince[n] = now;
}

// Power-on after aoRestart: every output starts at its start-up value.
void aoPowerOn(ModuleState& m, int outputs, double now) {
    if (!m.aoRestart) return;
    m.aoRestart = false;
    m.safetyTriggered = false;
    for (int n = 0; n < outputs; ++n) aoJump(m, n, m.aoStartup[n], now);
}

std::optional<std::string> ao1(Ctx& c) {
    ModuleState& m = c.m;
    const std::string& r = c.r;
    Span s = ao1Span(m.typeCode);
    const bool volts = m.typeCode == 0x32;
    const double now = aoClock();
    aoPowerOn(m, 1, now);
    if (c.lead == '#') {
        double v = 0;
        if ((m.format & 3) >= 2) {
            int raw = 0;
            if (r.size() != 3 || !hexField(r, 0, 3, raw) || raw > 4095) return c.nak();
            v = s.low + raw * (s.high - s.low) / 4095.0;
        } else {
            if (!parseNumber(r, v)) return c.nak();
            if ((m.format & 3) == 1) v = s.low + v * (s.high - s.low) / 100.0;
        }
        if (v < s.low - 1e-9 || v > s.high + 1e-9) return c.nak();
        aoWrite(m, 0, v, volts, now);
        return ">";
    }
    if (c.lead != '$') return c.nak();
    if (r == "0" || r == "1") return calibration(c);
    if (r == "4") {
        m.aoStartup[0] = m.aoValues[0];
        return c.ack();
    }
    if (r.size() > 1 && r[0] == '3' && allHex(r.substr(1)) && r.size() <= 3) {
        m.aoTrim = static_cast<int>(std::strtol(r.c_str() + 1, nullptr, 16));
        m.aoTrimCounts += static_cast<signed char>(m.aoTrim);
        m.calibrations.push_back("$" + r);
        return c.ack();
    }
    if (r == "6") return c.ack() + formatAo1(m, m.aoValues[0]);
    if (r == "8") {
        // The output as it stands on its ramp; a positive trim count lowers it by 1.5 uA (on
        // 20 mA; 0.75 mV on 10 V).
        double trim = m.aoTrimCounts * s.high * 7.5e-5;
        double noise = m.live ? (std::rand() % 5 - 2) * 0.001 : 0.0;
        return c.ack() + formatAo1(m, aoRamped(m, 0, volts, now) - trim + noise);
    }
    return c.nak();
}

// What output n of the four-output module drives now: its emergency value while the emergency
// input is active and enabled for it, else where its ramp stands.
double ao4Output(const ModuleState& m, int n, double now) {
    if (m.aoEmergencyActive && m.aoEmergencyInput[n]) return m.aoEmergency[n];
    return aoRamped(m, n, m.aoRanges[n] == 0x32, now);
}

std::optional<std::string> ao4(Ctx& c) {
    ModuleState& m = c.m;
    const std::string& r = c.r;
    int n = 0, v = 0;
    char b[16];
    const double now = aoClock();
    aoPowerOn(m, 4, now);
    // Comm safety: a host silent for longer than the safety time (tenths of a second) sends
    // every output to its emergency value.
    if (m.safeTime > 0 && m.aoLastCommand > 0 && !m.safetyTriggered &&
        now - m.aoLastCommand > m.safeTime * 0.1) {
        for (int k = 0; k < 4; ++k)
            aoJump(m, k, m.aoEmergency[k], m.aoLastCommand + m.safeTime * 0.1);
        m.safetyTriggered = true;
    }
    m.aoLastCommand = now;
    if (c.lead == '#') {
        // #AACn+12.000, #AASCn..., #AAECn...
        std::size_t at = r.rfind('C', 1);
        if (r.empty() || at == std::string::npos) return c.nak();
        std::string kind = r.substr(0, at);
        double value = 0;
        if (!channelAt(r, at + 1, 4, n) || !parseNumber(r.substr(at + 2), value)) return c.nak();
        Span s = ao4Span(m.aoRanges[n]);
        if (value < s.low - 1e-9 || value > s.high + 1e-9) return c.nak();
        if (kind.empty()) {
            aoWrite(m, n, value, m.aoRanges[n] == 0x32, now);
            m.safetyTriggered = false;
        } else if (kind == "S") {
            m.aoStartup[n] = value;
        } else if (kind == "E") {
            m.aoEmergency[n] = value;
        } else {
            return c.nak();
        }
        return ">";
    }
    if (c.lead != '$') return c.nak();
    if (r.size() == 3 && (r[0] == '0' || r[0] == '1') && r[1] == 'C' && channelAt(r, 2, 4, n))
        return calibration(c);
    if (r.size() == 4 && r.substr(0, 2) == "AC" && channelAt(r, 2, 4, n) &&
        (r[3] == '0' || r[3] == '1')) {
        m.aoEmergencyInput[n] = r[3] == '1';
        return c.ack();
    }
    if (r.size() == 3 && r[1] == 'C' && channelAt(r, 2, 4, n)) {
        switch (r[0]) {
            case 'B':
                return c.ack() + "C" + r[2] + (m.aoEmergencyInput[n] ? "1" : "0");
            case '8':
                return c.ack() + "C" + r[2] + static_cast<char>(m.aoRanges[n]);
            case '6':
                std::snprintf(b, sizeof b, "%+07.3f", ao4Output(m, n, now));
                return c.ack() + b;
            case 'D':
                std::snprintf(b, sizeof b, "%+07.3f", m.aoStartup[n]);
                return c.ack() + b;
            case 'E':
                std::snprintf(b, sizeof b, "%+07.3f", m.aoEmergency[n]);
                return c.ack() + b;
            default:
                break;
        }
    }
    if (r.size() == 6 && r.substr(0, 2) == "7C" && channelAt(r, 2, 4, n) && r[3] == 'R' &&
        hexField(r, 4, 2, v)) {
        if (v < 0x30 || v > 0x32) return c.nak();
        m.aoRanges[n] = v;
        return c.ack();
    }
    if (r == "I") return c.ack() + hex2(m.digitalInputs & 0x0F);
    if (r.size() == 6 && r.substr(0, 2) == "X0" && hexField(r, 2, 4, v)) {
        m.safeTime = v;
        return c.ack();
    }
    if (r == "X1") return "!" + hex4(m.safeTime);
    return c.nak();
}

std::optional<std::string> dio(Ctx& c) {
    ModuleState& m = c.m;
    const std::string& r = c.r;
    int n = 0, v = 0;
    int diMask = (1 << c.info.inputs) - 1, doMask = (1 << c.info.outputs) - 1;
    if (c.lead == '#') {
        // #AA1n0v: output n on (v = 1) or off; only outputs the model has.
        if (r.size() == 4 && r[0] == '1' && channelAt(r, 1, c.info.outputs, n) && r[2] == '0' &&
            (r[3] == '0' || r[3] == '1')) {
            if (r[3] == '1')
                m.digitalOutputs |= 1 << n;
            else
                m.digitalOutputs &= ~(1 << n);
            return ">";
        }
        return c.nak();
    }
    if (c.lead != '$') return c.nak();
    // $AA6 and $AAX1 answer "!" and the data without the address.
    if (r == "6") {
        c.header = 1;
        if (c.info.inputs == 16) return "!" + hex4(m.digitalInputs & diMask) + "00";
        if (c.info.outputs == 0) return "!" + hex2(m.digitalInputs & diMask) + "00";
        return "!" + hex2(m.digitalOutputs & doMask) + hex2(m.digitalInputs & diMask) + "00";
    }
    if (c.info.outputs > 0 && r.size() == 8 && r.substr(0, 2) == "X0" && hexField(r, 2, 4, v) &&
        hexField(r, 6, 2, n)) {
        m.safeTime = v;
        m.safeValue = n & doMask;
        return c.ack();
    }
    if (c.info.outputs > 0 && r == "X1") {
        c.header = 1;
        return "!" + hex4(m.safeTime) + hex2(m.safeValue);
    }
    return c.nak();
}

std::optional<std::string> counter(Ctx& c) {
    ModuleState& m = c.m;
    const std::string& r = c.r;
    bool display = m.model == "7320L";
    int n = 0, v = 0;
    if (c.lead == '#') {
        if (r.size() == 1 && channelAt(r, 0, 2, n)) return ">" + hex8(m.counts[n]);
        return c.nak();
    }
    if (c.lead == '$') {
        if (r.size() >= 2 && r[0] == '5' && channelAt(r, 1, 2, n)) {
            if (r.size() == 2) return c.ack() + (m.counting[n] ? "1" : "0");
            if (r.size() == 3 && (r[2] == '0' || r[2] == '1')) {
                m.counting[n] = r[2] == '1';
                return c.ack();
            }
            return c.nak();
        }
        if (r.size() == 2 && r[0] == '6' && channelAt(r, 1, 2, n)) {
            // A cleared 7320 counter starts again from its initial value.
            m.counts[n] = display ? 0
                                  : static_cast<std::uint32_t>(
                                        std::strtoul(m.alarmValue[n].c_str(), nullptr, 16));
            m.overflow[n] = false;
            return c.ack();
        }
        if (r.size() == 2 && r[0] == '7' && channelAt(r, 1, 2, n))
            return c.ack() + (m.overflow[n] ? "1" : "0");
        if (r.size() >= 2 && r[0] == '3' && channelAt(r, 1, 2, n)) {
            if (r.size() == 2) return c.ack() + hex8(m.maxCount[n]);
            if (r.size() == 10 && allHex(r.substr(2))) {
                m.maxCount[n] =
                    static_cast<std::uint32_t>(std::strtoul(r.c_str() + 2, nullptr, 16));
                return c.ack();
            }
            return c.nak();
        }
        auto digitSetting = [&](char key, int& field, int max) -> std::optional<std::string> {
            if (r.size() == 1) return c.ack() + std::to_string(field);
            if (r.size() == 2 && std::isdigit(static_cast<unsigned char>(r[1])) &&
                r[1] - '0' <= max) {
                field = r[1] - '0';
                return c.ack();
            }
            (void)key;
            return c.nak();
        };
        if (r[0] == 'A') return digitSetting('A', m.gateMode, 2);
        if (r[0] == 'B') return digitSetting('B', m.inputMode, 1);
        if (r[0] == '4') {
            // "0" switches the filter off, any other digit on.
            int f = m.filter ? 1 : 0;
            auto out = digitSetting('4', f, 9);
            m.filter = f != 0;
            return out;
        }
        if (r.size() >= 2 && (r[0] == '0' || r[0] == '1') && (r[1] == 'H' || r[1] == 'L')) {
            std::string& field = r[0] == '0' ? (r[1] == 'H' ? m.minWidthHigh : m.minWidthLow)
                                             : (r[1] == 'H' ? m.triggerHigh : m.triggerLow);
            std::size_t width = r[0] == '0' ? 5 : 2;
            if (r.size() == 2) return c.ack() + field;
            // Widths are microseconds up to 65535, levels tenths of a volt up to 5.0 V.
            if (r.size() == 2 + width && allDigits(r.substr(2)) &&
                std::strtoul(r.c_str() + 2, nullptr, 10) <= (r[0] == '0' ? 65535ul : 50ul)) {
                field = r.substr(2);
                return c.ack();
            }
            return c.nak();
        }
        if (display && r[0] == '8') return digitSetting('8', m.ledSource, 2);
        // Display value: four digits, a point and one digit ("0012.5").
        if (display && r.size() == 7 && r[0] == '9' && allDigits(r.substr(1, 4)) && r[5] == '.' &&
            allDigits(r.substr(6))) {
            m.ledData = r.substr(1);
            return c.ack();
        }
        return c.nak();
    }
    if (c.lead != '@') return c.nak();
    if (r == "DI") {
        int flags =
            display ? m.alarmMode : (m.alarmEnabled[0] ? 1 : 0) | (m.alarmEnabled[1] ? 2 : 0);
        char b[8];
        std::snprintf(b, sizeof b, "%X%02d", flags & 0xF, m.digitalOutputs & 3);
        return c.ack() + cased(b);
    }
    if (r.size() == 4 && r.substr(0, 2) == "DO" && hexField(r, 2, 2, v) && v <= 3) {
        // While an alarm type is set the 7320L's outputs are its alarm outputs.
        if (display && m.alarmMode != 0) return c.nak();
        m.digitalOutputs = v;
        return c.ack();
    }
    if (r == "CA") {
        if (!display) return c.nak();
        m.digitalOutputs = 0;
        return c.ack();
    }
    if (display) {
        if (r == "EAM" || r == "EAL") {
            m.alarmMode = r[2] == 'M' ? 1 : 2;
            return c.ack();
        }
        if (r == "DA") {
            m.alarmMode = 0;
            return c.ack();
        }
    } else if (r.size() == 3 && (r.substr(0, 2) == "EA" || r.substr(0, 2) == "DA") &&
               channelAt(r, 2, 2, n)) {
        m.alarmEnabled[n] = r[0] == 'E';
        return c.ack();
    }
    if (r.size() == 10 && (r.substr(0, 2) == "PA" || r.substr(0, 2) == "SA") &&
        allHex(r.substr(2))) {
        (r[0] == 'P' ? m.lowLimit : m.highLimit) = r.substr(2);
        return c.ack();
    }
    if (r == "RP") return c.ack() + m.lowLimit;
    if (r == "RA") return c.ack() + m.highLimit;
    if (!display && r.size() >= 2 && (r[0] == 'P' || r[0] == 'G') && channelAt(r, 1, 2, n)) {
        if (r[0] == 'G' && r.size() == 2) return c.ack() + m.alarmValue[n];
        if (r[0] == 'P' && r.size() == 10 && allHex(r.substr(2))) {
            m.alarmValue[n] = r.substr(2);
            return c.ack();
        }
    }
    return c.nak();
}

std::optional<std::string> mainUnit(Ctx& c, bool& blockFollows) {
    ModuleState& m = c.m;
    const std::string& r = c.r;
    if (c.lead == '$') {
        if (r == "2") return c.ack() + hex2(m.baudCode) + hex2(m.format);
        if (r == "T") return c.ack() + m.slotTable;
        if (r == "D") {
            if (!m.init) return c.nak();
            m.loaderActive = true;
            m.pendingBlocks.clear();
            m.pendingBlockNumbers.clear();
            return c.ack();
        }
        return c.nak();
    }
    if (c.lead != '&' || !m.loaderActive) return c.nak();
    if (r == "S1" || r == "S2" || r == "S3" || r == "A") return c.ack();
    if (r == "D") {
        blockFollows = true;
        return c.ack();
    }
    if (r == "E") {
        std::string image;
        for (const auto& b : m.pendingBlocks) image += b.empty() ? std::string(128, '\0') : b;
        m.downloads.push_back(image);
        m.downloadBlockNumbers.push_back(m.pendingBlockNumbers);
        m.pendingBlocks.clear();
        m.pendingBlockNumbers.clear();
        return std::nullopt;  // the loader starts what it received; no answer
    }
    return c.nak();
}

}  // namespace

std::string formatAnalog(const ModuleState& m, int channel) {
    int format = m.format & 3;
    bool ohms = (m.model == "7347" || m.model == "7347K" || m.model == "7345") && format == 3;
    if (m.burnout[channel]) return format == 2 ? "7FFF" : "+888888";
    Span s = rangeSpan(m.ranges[channel]);
    double fullScale = std::max(std::fabs(s.low), std::fabs(s.high));
    double v = m.values[channel];
    // The thermistor module prints Fahrenheit when bit 3 of its format byte is set.
    const bool fahrenheit = m.model == "7347K" && (m.format & 0x08);
    if (ohms) {
        double r = m.model == "7347K" ? (m.ranges[channel] == 0x30 ? 3000.0 : 10000.0) *
                                            std::exp(3950.0 * (1.0 / (v + 273.15) - 1.0 / 298.15))
                                      : 100.0 * (1.0 + 0.00385 * v);
        return fixed7(r, r < 1000 ? 999 : 9999);
    }
    if (fahrenheit && (format == 0 || format == 3)) return fixed7(v * 9 / 5 + 32, 212);
    if (format == 0 || format == 3) return fixed7(v, fullScale);
    if (format == 1) {
        char b[16];
        std::snprintf(b, sizeof b, "%+07.2f", v * 100.0 / fullScale);
        return b;
    }
    long raw = std::lround(v / fullScale * 32767.0);
    raw = std::max(-32768L, std::min(32767L, raw));
    return hex4(static_cast<int>(raw));
}

namespace {
std::optional<std::string> answer(Ctx& c, bool& blockFollows) {
    const ModuleState& m = c.m;
    const ModelInfo* info = &c.info;
    if (c.lead == '%') return configure(c);
    if (c.lead == '$' && c.r == "F") return c.ack() + m.firmware;
    if (c.lead == '$' && c.r == "M") return c.ack() + m.model;
    if (c.lead == '$' && c.r == "2" && info->family != Family::MainUnit)
        return c.ack() + hex2(m.typeCode) + hex2(m.baudCode) + hex2(m.format);
    switch (info->family) {
        case Family::AiMulti:
            return aiMulti(c);
        case Family::AiSingle:
        case Family::StrainGauge:
            return aiSingle(c);
        case Family::Ao1:
            return ao1(c);
        case Family::Ao4:
            return ao4(c);
        case Family::Dio:
            return dio(c);
        case Family::Counter:
            return counter(c);
        case Family::MainUnit:
            return mainUnit(c, blockFollows);
    }
    return c.nak();
}
}  // namespace

std::optional<std::string> handleAscii(ModuleState& m, const std::string& line, bool& blockFollows,
                                       std::size_t* dataStart) {
    const ModelInfo* info = findModel(m.model);
    if (!info || line.size() < 3) return std::nullopt;
    Ctx c{m, *info, line[0], addr2(answerAddress(m)), line.substr(3)};
    tLowerHex = m.lowerHex;
    auto reply = answer(c, blockFollows);
    tLowerHex = false;
    if (reply && dataStart) {
        const std::string ack = c.ack();
        *dataStart = c.header ? c.header : reply->compare(0, ack.size(), ack) == 0 ? ack.size() : 1;
    }
    return reply;
}

std::string handleLoaderBlock(ModuleState& m, const std::string& block) {
    const auto* b = reinterpret_cast<const unsigned char*>(block.data());
    int sum = 0;
    for (int i = 0; i < 130; ++i) sum += b[i];
    if (block.size() != 132 || (sum & 0xFF) != b[130] || b[131] != '\r') {
        ++m.badBlocks;
        return "?00";
    }
    std::size_t number = static_cast<std::size_t>(b[0]) << 8 | b[1];
    auto refuse = m.rejectBlock.find(static_cast<int>(number));
    if (refuse != m.rejectBlock.end() && refuse->second > 0) {
        --refuse->second;
        return "?00";
    }
    if (m.pendingBlocks.size() <= number) m.pendingBlocks.resize(number + 1);
    m.pendingBlocks[number] = block.substr(2, 128);
    m.pendingBlockNumbers.push_back(static_cast<int>(number));
    return "!00";
}

}  // namespace odel::sim

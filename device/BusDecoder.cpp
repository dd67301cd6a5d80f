#include "device/BusDecoder.h"

#include <cstdio>
#include <ctime>

namespace odel::bus {

namespace {

// One command form of the ASCII protocol. Pattern: 'a' two hex digits (the address first, a
// new address after it), 'h' two hex digits, 'v' four hex digits, 'd' one decimal digit,
// 'c' any one character, 's' a sign, '*' the rest (one character or more); others literal.
// labels: one per placeholder after the leading address, comma-separated; "@" shows a new
// address as "address OLD → NEW", "bps" a baud code as its rate.
struct CommandForm {
    const char* pattern;
    const char* form;
    const char* meaning;
    const char* labels;
};

constexpr CommandForm kForms[] = {
    // Configuration, identification, watchdog (every module).
    {"$a2", "$AA2", "read configuration", ""},
    {"%aahhh", "%AANNTTCCFF", "set configuration", "@,type,bps,format"},
    {"%a00hh", "%AA00CCFF", "set main-unit configuration", "bps,format"},
    {"$aF", "$AAF", "read firmware version", ""},
    {"$aM", "$AAM", "read module name", ""},
    {"$aXdddd", "$AAXnnnn", "set communication watchdog", "tenths of a second"},
    {"$aY", "$AAY", "read communication watchdog", ""},
    {"$aT", "$AAT", "read slot table", ""},
    // Analog input.
    {"$a0", "$AA0", "span calibration / 4 mA calibration", ""},
    {"$a1", "$AA1", "zero calibration / 20 mA calibration", ""},
    {"$a0Cd", "$AA0Cn", "span calibration / 4 mA calibration of a channel", "channel"},
    {"$a1Cd", "$AA1Cn", "zero calibration / 20 mA calibration of a channel", "channel"},
    {"$a5h", "$AA5MM", "set channel enable", "mask"},
    {"$a6", "$AA6", "read channel enable / digital status / output value", ""},
    {"$a7CdRh", "$AA7CnRrr", "set channel range", "channel,range"},
    {"$a8Cd", "$AA8Cn", "read channel range", "channel"},
    {"#a", "#AA", "read all inputs", ""},
    {"$a3", "$AA3", "read CJC temperature", ""},
    {"$a9sv", "$AA9Svvvv", "set CJC offset", "sign,offset"},
    {"$aRc", "$AARw", "read lead-wire compensation", "wire"},
    {"$aRcsv", "$AARwSvvvv", "set lead-wire compensation", "wire,sign,value"},
    // Alarms of the single-channel inputs.
    {"@aEA*", "@AAEAm", "set alarm mode", "mode"},
    {"@aDA", "@AADA", "disable alarm", ""},
    {"@aCA", "@AACA", "clear alarm latch", ""},
    {"@aDO*", "@AADO(value)", "set digital output", "value"},
    {"@aHI*", "@AAHI(value)", "set high alarm limit", "value"},
    {"@aLO*", "@AALO(value)", "set low alarm limit", "value"},
    {"@aRH", "@AARH", "read high alarm limit", ""},
    {"@aRL", "@AARL", "read low alarm limit", ""},
    {"@aDI", "@AADI", "read alarm and digital status", ""},
    {"@aRE", "@AARE", "read event counter", ""},
    {"@aCE", "@AACE", "clear event counter", ""},
    // Strain-gauge excitation output and the analog outputs.
    {"$a7*", "$AA7(value)", "set output value", "value"},
    {"$aS", "$AAS", "set start-up output", ""},
    {"$aE*", "$AAE(trim)", "trim output", "trim"},
    {"$aA", "$AAA", "read gate mode / calibrate output at 0 V", ""},
    {"$aB", "$AAB", "read input mode / calibrate output at 10 V", ""},
    {"#a*", "#AA(value)", "write analog output", "value"},
    {"$a4", "$AA4", "read filter enable / set start-up output", ""},
    {"$a3*", "$AA3(trim)", "trim output", "trim"},
    {"$a8", "$AA8", "read output readback / LED source", ""},
    {"#aCd*", "#AACn(value)", "write channel output", "channel,value"},
    {"#aSCd*", "#AASCn(value)", "set channel start-up value", "channel,value"},
    {"#aECd*", "#AAECn(value)", "set channel emergency value", "channel,value"},
    {"$aACd*", "$AAACn(flag)", "set channel emergency input", "channel,flag"},
    {"$a6Cd", "$AA6Cn", "read channel output", "channel"},
    {"$aBCd", "$AABCn", "read channel emergency input", "channel"},
    {"$aDCd", "$AADCn", "read channel start-up value", "channel"},
    {"$aECd", "$AAECn", "read channel emergency value", "channel"},
    {"$aI", "$AAI", "read digital inputs", ""},
    {"$aX0v", "$AAX0vvvv", "set communication safety", "value"},
    {"$aX1", "$AAX1", "read safe value / communication safety", ""},
    // Digital I/O.
    {"#a1d0d", "#AA1n0v", "set digital output", "output,value"},
    {"$aX0vh", "$AAX0ttttvv", "set safe value", "time,value"},
    // Counters and the display.
    {"$aB*", "$AAB(mode)", "set input mode", "mode"},
    {"$aAd", "$AAAn", "set gate mode", "mode"},
    {"$a3d*", "$AA3n(value)", "set maximum count", "counter,value"},
    {"$a3d", "$AA3n", "read maximum count", "counter"},
    {"$a5dd", "$AA5ns", "set counter state", "counter,state"},
    {"$a5d", "$AA5n", "read counter state", "counter"},
    {"$a6d", "$AA6n", "clear counter", "counter"},
    {"$a7d", "$AA7n", "read counter flag", "counter"},
    {"#ad", "#AAn", "read counter or channel", "counter"},
    {"$a4*", "$AA4f", "set filter enable", "flag"},
    {"$a0H*", "$AA0H(value)", "set minimum input width at high level", "value"},
    {"$a0L*", "$AA0L(value)", "set minimum input width at low level", "value"},
    {"$a1H*", "$AA1H(value)", "set high trigger level", "value"},
    {"$a1L*", "$AA1L(value)", "set low trigger level", "value"},
    {"$a0H", "$AA0H", "read minimum input width at high level", ""},
    {"$a0L", "$AA0L", "read minimum input width at low level", ""},
    {"$a1H", "$AA1H", "read high trigger level", ""},
    {"$a1L", "$AA1L", "read low trigger level", ""},
    {"@aEAd", "@AAEAn", "enable alarm of a counter", "counter"},
    {"@aDAd", "@AADAn", "disable alarm of a counter", "counter"},
    {"@aPd*", "@AAPn(value)", "set alarm value", "counter,value"},
    {"@aPA*", "@AAPA(value)", "set low alarm limit", "value"},
    {"@aSA*", "@AASA(value)", "set high alarm limit", "value"},
    {"@aGd", "@AAGn", "read alarm value", "counter"},
    {"@aRA", "@AARA", "read high alarm limit", ""},
    {"@aRP", "@AARP", "read low alarm limit", ""},
    {"$a8*", "$AA8s", "set LED source", "source"},
    {"$a9*", "$AA9(data)", "write LED data", "data"},
};

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Matches line against a pattern; fields receives each placeholder's text. Score: fixed
// characters matched, plus a large bonus for patterns without a rest field.
int MatchForm(const char* pattern, std::string_view line, std::vector<std::string>& fields) {
    fields.clear();
    std::size_t i = 0;
    int fixed = 0;
    bool rest = false;
    for (const char* p = pattern; *p; ++p) {
        auto need = [&](std::size_t n, bool (*ok)(char)) {
            if (i + n > line.size()) return false;
            for (std::size_t k = 0; k < n; ++k)
                if (!ok(line[i + k])) return false;
            fields.emplace_back(line.substr(i, n));
            i += n;
            return true;
        };
        switch (*p) {
            case 'a':
            case 'h':
                if (!need(2, IsHex)) return -1;
                break;
            case 'v':
                if (!need(4, IsHex)) return -1;
                break;
            case 'd':
                if (!need(1, IsDigit)) return -1;
                break;
            case 'c':
                if (!need(1, [](char) { return true; })) return -1;
                break;
            case 's':
                if (!need(1, [](char c) { return c == '+' || c == '-'; })) return -1;
                break;
            case '*':
                if (i >= line.size()) return -1;
                fields.emplace_back(line.substr(i));
                i = line.size();
                rest = true;
                break;
            default:
                if (i >= line.size() || line[i] != *p) return -1;
                ++i;
                ++fixed;
        }
    }
    if (i != line.size()) return -1;
    return fixed + (rest ? 0 : 1000);
}

int BaudOfCode(const std::string& code) {
    static const int rates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    int v = HexValue(code[0]) * 16 + HexValue(code[1]);
    if (v >= 3 && v <= 10) return rates[v - 3];
    return 0;
}

std::string Params(const CommandForm& f, const std::vector<std::string>& fields) {
    std::string out;
    std::string_view labels = f.labels;
    std::size_t k = 1;  // fields[0] is the address
    while (!labels.empty() && k < fields.size()) {
        std::size_t comma = labels.find(',');
        std::string_view label = labels.substr(0, comma);
        labels = comma == std::string_view::npos ? std::string_view{} : labels.substr(comma + 1);
        if (!out.empty()) out += ", ";
        const std::string& v = fields[k++];
        if (label == "@") {
            out += "address " + fields[0] + " \xE2\x86\x92 " + v;
        } else if (label == "bps") {
            int b = BaudOfCode(v);
            out += b ? std::to_string(b) + " bps" : "baud code " + v;
        } else {
            out += std::string(label) + " " + v;
        }
    }
    return out;
}

void AppendHex(std::string& out, std::uint8_t b) {
    static const char digits[] = "0123456789ABCDEF";
    out += digits[b >> 4];
    out += digits[b & 15];
}

std::string Hex2(int v) {
    std::string s;
    AppendHex(s, static_cast<std::uint8_t>(v));
    return s;
}

const char* ModbusFunctionName(int f) {
    switch (f) {
        case 0x01:
            return "read coils";
        case 0x02:
            return "read discrete inputs";
        case 0x03:
            return "read holding registers";
        case 0x04:
            return "read input registers";
        case 0x05:
            return "write single coil";
        case 0x06:
            return "write single register";
        case 0x0F:
            return "write multiple coils";
        case 0x10:
            return "write multiple registers";
        default:
            return "unknown function";
    }
}

const char* ModbusExceptionName(int code) {
    switch (code) {
        case 0x01:
            return "illegal function";
        case 0x02:
            return "illegal data address";
        case 0x03:
            return "illegal data value";
        case 0x04:
            return "slave device failure";
        case 0x05:
            return "acknowledge";
        case 0x06:
            return "slave device busy";
        case 0x08:
            return "memory parity error";
        case 0x0A:
            return "gateway path unavailable";
        case 0x0B:
            return "gateway target device failed to respond";
        default:
            return "unknown exception";
    }
}

const std::uint8_t* Bytes(std::string_view s) {
    return reinterpret_cast<const std::uint8_t*>(s.data());
}

// Hex of a Modbus frame with its last two bytes marked as CRC.
std::string ModbusText(std::string_view frame) {
    if (frame.size() < 4) return HexText(frame);
    const std::size_t n = frame.size() - 2;
    std::uint16_t want = ModbusCrc(Bytes(frame), n);
    bool ok = static_cast<std::uint8_t>(frame[n]) == (want & 0xFF) &&
              static_cast<std::uint8_t>(frame[n + 1]) == (want >> 8);
    return HexText(frame.substr(0, n)) + " [" + HexText(frame.substr(n)) + (ok ? " ok]" : " bad]");
}

bool CrcOk(std::string_view frame) {
    if (frame.size() < 4) return false;
    const std::size_t n = frame.size() - 2;
    std::uint16_t c = ModbusCrc(Bytes(frame), n);
    return static_cast<std::uint8_t>(frame[n]) == (c & 0xFF) &&
           static_cast<std::uint8_t>(frame[n + 1]) == (c >> 8);
}

int Word(std::string_view s, std::size_t at) {
    return static_cast<std::uint8_t>(s[at]) << 8 | static_cast<std::uint8_t>(s[at + 1]);
}

std::string DescribeModbusRequest(std::string_view req) {
    if (req.size() < 8) return "short Modbus request";
    const int slave = static_cast<std::uint8_t>(req[0]);
    const int f = static_cast<std::uint8_t>(req[1]);
    const int a = Word(req, 2), v = Word(req, 4);
    std::string out =
        "slave " + std::to_string(slave) + " " + ModbusFunctionName(f) + " (" + Hex2(f) + ")";
    switch (f) {
        case 0x01:
        case 0x02:
            out += " from coil " + std::to_string(a + 1) + ", count " + std::to_string(v);
            break;
        case 0x03:
        case 0x04:
            out += " from register " + std::to_string(a + 1) + ", count " + std::to_string(v);
            break;
        case 0x05:
            out += " coil " + std::to_string(a + 1) +
                   (v == 0xFF00 ? " on"
                    : v == 0    ? " off"
                                : " invalid value " + Hex2(v >> 8) + Hex2(v));
            break;
        case 0x06:
            out += " register " + std::to_string(a + 1) + " value " + std::to_string(v);
            break;
        default:
            break;
    }
    return out;
}

bool Printable(std::string_view s) {
    for (char c : s)
        if (c != '\r' &&
            (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E))
            return false;
    return true;
}

// ASCII text of a line whose checksum digits (just before the CR) are marked good or bad.
std::string WithChecksum(std::string_view line) {
    // line ends in CR and has at least the two digits before it
    const std::size_t n = line.size() - 3;
    std::string_view body = line.substr(0, n), digits = line.substr(n, 2);
    bool ok = IsHex(digits[0]) && IsHex(digits[1]) &&
              HexValue(digits[0]) * 16 + HexValue(digits[1]) == AsciiChecksum(body);
    return AsciiText(body) + "[" + AsciiText(digits) + (ok ? " ok]" : " bad]") +
           AsciiText(line.substr(n + 2));
}

bool ChecksumGood(std::string_view line) {
    if (line.size() <= 4 || line.back() != '\r') return false;
    const std::size_t n = line.size() - 3;
    return IsHex(line[n]) && IsHex(line[n + 1]) &&
           HexValue(line[n]) * 16 + HexValue(line[n + 1]) == AsciiChecksum(line.substr(0, n));
}

std::string FormatMs(double ms) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f ms", ms);
    return buf;
}

std::string WallTime(std::int64_t wallUsec) {
    std::time_t secs = static_cast<std::time_t>(wallUsec / 1000000);
    std::tm tm{};
    localtime_r(&secs, &tm);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d", tm.tm_hour, tm.tm_min, tm.tm_sec,
                  static_cast<int>(wallUsec / 1000 % 1000));
    return buf;
}

// Monotonic time of reply byte k (chunks hold the bytes in order).
std::int64_t ReplyByteUsec(const Exchange& e, std::size_t k) {
    for (const Chunk& c : e.chunks)
        if (!c.written && k >= c.offset && k < c.offset + c.size) return c.usec;
    return e.writeUsec;
}

// True when a byte among the first `count` reply bytes came after the host's time-out had run
// out waiting for it.
bool ArrivedLate(const Exchange& e, std::size_t count, int extraMs) {
    std::int64_t prev = e.writeUsec;
    const std::int64_t limit = static_cast<std::int64_t>(e.timeoutMs) * 1000;
    bool first = true;
    for (const Chunk& c : e.chunks) {
        if (c.written) continue;
        if (c.offset >= count) break;
        std::int64_t allowed = limit + (first ? extraMs * 1000LL : 0);
        if (c.usec - prev > allowed) return true;
        prev = c.usec;
        first = false;
    }
    return false;
}

void DecodeAscii(const Exchange& e, Row& r) {
    std::string_view cmd = e.command;
    // The command.
    std::string_view line = cmd;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (e.checksum && cmd.size() >= 4 && cmd.back() == '\r') {
        r.command = WithChecksum(cmd);
        line.remove_suffix(2);
    } else {
        r.command = AsciiText(cmd);
    }
    if (line.size() >= 3 && IsHex(line[1]) && IsHex(line[2])) {
        r.address = std::string(line.substr(1, 2));
        for (char& c : r.address)
            if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
    }
    r.meaning = DescribeAsciiCommand(line);
    if (r.meaning.empty()) r.meaning = "unknown command";

    // The reply.
    std::string_view rep = e.reply;
    std::size_t echo = 0;
    if (!cmd.empty() && rep.size() >= cmd.size() && rep.substr(0, cmd.size()) == cmd)
        echo = cmd.size();
    std::string_view real = rep.substr(echo);
    const std::size_t cr = real.find('\r');
    std::string_view first = cr == std::string_view::npos ? real : real.substr(0, cr + 1);
    // What the reply shows: the echo as plain text, then the reply line (checksum marked).
    if (e.checksum && cr != std::string_view::npos && first.size() > 4)
        r.reply = AsciiText(rep.substr(0, echo)) + WithChecksum(first) +
                  AsciiText(real.substr(first.size()));
    else
        r.reply = AsciiText(rep);

    if (rep.empty()) {
        r.kind = Verdict::NoReply;
        return;
    }
    const std::size_t used = echo + first.size();
    r.replyMs = static_cast<double>(ReplyByteUsec(e, used - 1) - e.writeUsec) / 1000.0;
    r.late = ArrivedLate(e, used, 0);
    if (echo) {
        r.kind = Verdict::Echo;
    } else if (cr == std::string_view::npos) {
        r.kind = real.size() >= 63  ? Verdict::OverLong
                 : !Printable(real) ? Verdict::Garbage
                                    : Verdict::NoCr;
    } else if (first.size() > 63) {
        r.kind = Verdict::OverLong;
    } else if (!Printable(first) || (first[0] != '!' && first[0] != '>' && first[0] != '?')) {
        r.kind = Verdict::Garbage;
    } else if (e.checksum && !ChecksumGood(first)) {
        r.kind = Verdict::BadChecksum;
    } else {
        r.kind = first[0] == '!'   ? Verdict::Accepted
                 : first[0] == '>' ? Verdict::Data
                                   : Verdict::Rejected;
    }
}

void DecodeModbus(const Exchange& e, Row& r) {
    std::string_view req = e.command, rep = e.reply;
    r.modbus = true;
    r.command = ModbusText(req);
    r.address = Hex2(static_cast<std::uint8_t>(req[0]));
    r.meaning = DescribeModbusRequest(req);
    const int f = static_cast<std::uint8_t>(req[1]);
    if (rep.empty()) {
        r.reply = "";
        r.kind = Verdict::NoReply;
        return;
    }
    // An adapter that echoes: the request comes back before the answer.
    bool echo = false;
    if (rep.size() >= req.size() && rep.substr(0, req.size()) == req &&
        (f != 0x05 && f != 0x06 ? true : rep.size() >= 2 * req.size()))
        echo = true;
    std::string_view ans = echo ? rep.substr(req.size()) : rep;
    // The frame's own length, from what it announces.
    std::size_t len = ans.size();
    int af = ans.size() >= 2 ? static_cast<std::uint8_t>(ans[1]) : -1;
    if (af >= 0 && (af & 0x80)) {
        len = 5;
    } else if ((af == 0x01 || af == 0x02 || af == 0x03 || af == 0x04) && ans.size() >= 3) {
        len = 5u + static_cast<std::uint8_t>(ans[2]);
    } else if (af == 0x05 || af == 0x06) {
        len = 8;
    }
    const bool complete = ans.size() >= len;
    std::string_view frame = ans.substr(0, std::min(len, ans.size()));
    r.reply = (echo ? HexText(req) + " " : std::string()) + ModbusText(frame);
    if (ans.size() > frame.size()) r.reply += " " + HexText(ans.substr(frame.size()));
    const std::size_t used = (echo ? req.size() : 0) + frame.size();
    r.replyMs = static_cast<double>(ReplyByteUsec(e, used - 1) - e.writeUsec) / 1000.0;
    r.late = ArrivedLate(e, used, kModbusReadDelayMs);
    if (echo) {
        r.kind = Verdict::Echo;
    } else if (!complete || frame.size() < 4) {
        r.kind = Verdict::Garbage;
        r.meaning += " \xE2\x86\x92 short answer";
    } else if (!CrcOk(frame)) {
        r.kind = Verdict::BadCrc;
    } else if (af & 0x80) {
        const int code = static_cast<std::uint8_t>(frame[2]);
        r.kind = Verdict::ModbusException;
        r.meaning += " \xE2\x86\x92 exception " + Hex2(code) + " " + ModbusExceptionName(code);
    } else if (af != f) {
        r.kind = Verdict::Garbage;
        r.meaning += " \xE2\x86\x92 answer to function " + Hex2(af);
    } else {
        r.kind = Verdict::ModbusOk;
        if (f == 0x05 || f == 0x06)
            r.meaning += " \xE2\x86\x92 echoed";
        else
            r.meaning +=
                " \xE2\x86\x92 " + std::to_string(frame.size() - 5) + " bytes" +
                (frame.size() > 5 ? ": " + HexText(frame.substr(3, frame.size() - 5)) : "");
    }
}

}  // namespace

const char* VerdictText(Verdict v) {
    switch (v) {
        case Verdict::Pending:
            return "";
        case Verdict::Accepted:
            return "accepted \"!\"";
        case Verdict::Data:
            return "data \">\"";
        case Verdict::Rejected:
            return "rejected \"?\"";
        case Verdict::BadChecksum:
            return "bad checksum";
        case Verdict::NoCr:
            return "no CR";
        case Verdict::OverLong:
            return "over-long";
        case Verdict::Garbage:
            return "garbage";
        case Verdict::Echo:
            return "echo";
        case Verdict::NoReply:
            return "no reply";
        case Verdict::ModbusOk:
            return "ok";
        case Verdict::ModbusException:
            return "exception";
        case Verdict::BadCrc:
            return "bad CRC";
        case Verdict::Unsolicited:
            return "unsolicited";
    }
    return "";
}

int AsciiChecksum(std::string_view text) {
    unsigned sum = 0;
    for (char c : text) sum += static_cast<unsigned char>(c);
    return static_cast<int>(sum & 0xFF);
}

std::string DescribeAsciiCommand(std::string_view line) {
    std::vector<std::string> fields;
    int best = -1;
    std::string out;
    for (const CommandForm& f : kForms) {
        int score = MatchForm(f.pattern, line, fields);
        if (score < 0 || score < best) continue;
        std::string params = Params(f, fields);
        std::string text = std::string(f.form) + " " + f.meaning;
        if (!params.empty()) text += " (" + params + ")";
        if (score > best) {
            best = score;
            out = text;
        } else {
            out += " or " + text;
        }
    }
    return out;
}

std::string AsciiText(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + 8);
    for (char ch : bytes) {
        auto c = static_cast<unsigned char>(ch);
        if (c == '\r') {
            out += "\xE2\x86\xB5";  // ↵
        } else if (c >= 0x20 && c <= 0x7E) {
            out += ch;
        } else {
            out += '<';
            AppendHex(out, c);
            out += '>';
        }
    }
    return out;
}

std::string HexText(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 3);
    for (char c : bytes) {
        if (!out.empty()) out += ' ';
        AppendHex(out, static_cast<std::uint8_t>(c));
    }
    return out;
}

std::uint16_t ModbusCrc(const std::uint8_t* data, std::size_t count) {
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < count; ++i) {
        crc ^= data[i];
        for (int b = 0; b < 8; ++b) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

bool LooksLikeModbus(std::string_view bytes) {
    if (bytes.size() < 4) return false;
    if (!Printable(bytes) || bytes.back() != '\r') return CrcOk(bytes);
    return false;
}

Row Decode(const Exchange& e, std::int64_t nowUsec) {
    Row r;
    r.time = WallTime(e.wallUsec);
    r.port = e.port;
    if (e.command.empty()) {
        r.reply = AsciiText(e.reply);
        r.kind = Verdict::Unsolicited;
        r.meaning = "bytes with no command before them";
    } else if (LooksLikeModbus(e.command)) {
        DecodeModbus(e, r);
    } else {
        DecodeAscii(e, r);
    }
    const bool waited =
        e.closed ||
        nowUsec - e.writeUsec >
            (static_cast<std::int64_t>(e.timeoutMs) + (r.modbus ? kModbusReadDelayMs : 0)) * 1000;
    if (r.kind == Verdict::NoReply && !waited) r.kind = Verdict::Pending;
    r.verdict = VerdictText(r.kind);
    if (r.kind == Verdict::NoReply)
        r.replyTime = "no reply";
    else if (r.replyMs >= 0)
        r.replyTime = FormatMs(r.replyMs) + (r.late ? " late" : "");
    return r;
}

std::string RawText(const Exchange& e) {
    std::string out;
    for (const Chunk& c : e.chunks) {
        std::string_view src = c.written ? std::string_view(e.command) : std::string_view(e.reply);
        std::string_view bytes = src.substr(c.offset, c.size);
        const std::int64_t wall = e.wallUsec + (c.usec - e.writeUsec);
        out += WallTime(wall).substr(0, 8);
        char head[32];
        std::snprintf(head, sizeof head, ".%06d  %s  ", static_cast<int>(wall % 1000000),
                      c.written ? "TX" : "RX");
        out += head;
        out += HexText(bytes);
        out += "  |";
        out += AsciiText(bytes);
        out += "|\n";
    }
    return out;
}

std::string RowText(const Row& r) {
    return r.time + "  " + r.port + "  " + r.command + "  " + r.reply + "  " + r.replyTime + "  " +
           r.verdict + "  " + r.meaning;
}

std::string CsvHeader() {
    return "time,port,address,command,reply,reply time,verdict,meaning";
}

std::string CsvLine(const Row& r) {
    auto q = [](const std::string& s) {
        std::string out = "\"";
        for (char c : s) {
            if (c == '"') out += '"';
            out += c;
        }
        return out + "\"";
    };
    return q(r.time) + "," + q(r.port) + "," + q(r.address) + "," + q(r.command) + "," +
           q(r.reply) + "," + q(r.replyTime) + "," + q(r.verdict) + "," + q(r.meaning);
}

}  // namespace odel::bus

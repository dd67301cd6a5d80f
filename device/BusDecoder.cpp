#include "device/BusDecoder.h"

#include <cstdio>
#include <ctime>

#include "device/CommandForms.h"

namespace odel::bus {

namespace {

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

int BaudOfCode(const std::string& code) {
    static const int rates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    int v = HexValue(code[0]) * 16 + HexValue(code[1]);
    if (v >= 3 && v <= 10) return rates[v - 3];
    return 0;
}

std::string Params(const forms::CommandForm& f, const std::vector<std::string>& fields) {
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
    // Whole lines that answer another command come first; the link dropped them and read on.
    std::size_t foreign = 0;
    for (std::size_t end; (end = real.find('\r', foreign)) != std::string_view::npos;) {
        const std::string_view line = real.substr(foreign, end + 1 - foreign);
        if (line.size() > 63 || !forms::IsForeignReply(cmd, line, e.checksum)) break;
        foreign = end + 1;
    }
    const std::string_view after = real.substr(foreign);
    const std::size_t cr = after.find('\r');
    std::string_view first = cr == std::string_view::npos ? after : after.substr(0, cr + 1);
    // What the reply shows: the echo and foreign lines as plain text, then the reply line
    // (checksum marked).
    if (e.checksum && cr != std::string_view::npos && first.size() > 4)
        r.reply = AsciiText(rep.substr(0, echo + foreign)) + WithChecksum(first) +
                  AsciiText(after.substr(first.size()));
    else
        r.reply = AsciiText(rep);

    if (rep.empty()) {
        r.kind = Verdict::NoReply;
        return;
    }
    const std::size_t used = echo + foreign + first.size();
    r.replyMs = static_cast<double>(ReplyByteUsec(e, used - 1) - e.writeUsec) / 1000.0;
    r.late = ArrivedLate(e, used, 0);
    if (foreign && !echo && !after.empty()) r.meaning += " \xE2\x86\x92 after a foreign reply";
    if (echo) {
        r.kind = Verdict::Echo;
    } else if (after.empty()) {
        r.kind = Verdict::Foreign;
    } else if (cr == std::string_view::npos) {
        r.kind = after.size() >= 63  ? Verdict::OverLong
                 : !Printable(after) ? Verdict::Garbage
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
        case Verdict::Foreign:
            return "foreign reply";
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
    for (const forms::CommandForm& f : forms::Table()) {
        int score = forms::Match(f.pattern, line, fields);
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

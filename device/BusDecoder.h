// Decodes one exchange seen on a link (the bytes written, the bytes read back, their times) into
// the texts of a bus monitor row: command and reply as readable text, meaning, reply time and
// verdict. ASCII command lines are recognised from a table of the protocol's command forms that
// is kept apart from the senders, so a wrongly built command shows up as unknown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace odel::bus {

enum class Verdict {
    Pending,      // the reply may still come
    Accepted,     // "!"
    Data,         // ">"
    Rejected,     // "?"
    BadChecksum,  // checksum digits missing or wrong
    NoCr,         // bytes without the final CR
    OverLong,     // longer than the 63 characters a reply line may hold
    Garbage,      // bytes that are no reply line
    Echo,         // our own command came back
    NoReply,      // nothing within the time-out
    ModbusOk,
    ModbusException,
    BadCrc,
    Unsolicited,  // bytes read with no command before them
    Foreign,      // only lines that answer another command (a late reply of another address)
};

// One chunk as the port handed it over: offset into command (written) or reply (read).
struct Chunk {
    std::int64_t usec;
    std::uint32_t offset;
    std::uint32_t size;
    bool written;
};

// Everything the monitor keeps of one exchange: raw bytes, times and the link's settings then.
struct Exchange {
    std::uint64_t seq = 0;
    std::int64_t wallUsec = 0;   // local wall time of the write, microseconds since the epoch
    std::int64_t writeUsec = 0;  // monotonic time of the write
    std::string port;
    int timeoutMs = 80;
    int baud = 9600;
    bool checksum = false;
    bool closed = false;  // the next command went out (or the monitor was told to close it)
    std::string command;
    std::string reply;
    std::vector<Chunk> chunks;
};

// The texts of one row.
struct Row {
    std::string time;  // hh:mm:ss.mmm
    std::string port;
    std::string address;    // two hex digits, "" when none can be read
    std::string command;    // the command with CR as a symbol, checksum marked, other bytes hex
    std::string reply;      // the reply, shown the same way
    std::string replyTime;  // "12.3 ms", "95.0 ms late", "no reply", "" while pending
    std::string verdict;
    std::string meaning;  // decoded command (and reply, for Modbus)
    Verdict kind = Verdict::Pending;
    bool modbus = false;
    bool late = false;  // some reply byte came after the host's time-out
    double replyMs = -1;
};

// Pause of the Modbus master before it reads an answer; a reply waiting that long is not late.
inline constexpr int kModbusReadDelayMs = 20;

const char* VerdictText(Verdict v);
// Recognises an ASCII command line (no checksum digits, no CR); "" when no form matches.
std::string DescribeAsciiCommand(std::string_view line);
// Readable form of ASCII bytes: CR as "↵", bytes outside printable ASCII as "<HH>".
std::string AsciiText(std::string_view bytes);
// Upper-case hex bytes separated by blanks.
std::string HexText(std::string_view bytes);
std::uint16_t ModbusCrc(const std::uint8_t* data, std::size_t count);
// True when the bytes look like a Modbus RTU request rather than an ASCII command line.
bool LooksLikeModbus(std::string_view bytes);
// Sum of the character codes modulo 256 (the ASCII protocol's checksum).
int AsciiChecksum(std::string_view text);

// nowUsec: monotonic time now; an exchange with no reply counts as "no reply" once its time-out
// has passed (or it is closed).
Row Decode(const Exchange& e, std::int64_t nowUsec);
// The raw view of one exchange: one line per chunk, µs time, direction, hex and ASCII.
std::string RawText(const Exchange& e);

// Saved forms of a row.
std::string RowText(const Row& r);
std::string CsvHeader();
std::string CsvLine(const Row& r);

}  // namespace odel::bus

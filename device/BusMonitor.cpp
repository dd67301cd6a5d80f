#include "device/BusMonitor.h"

#include <chrono>
#include <cstdio>
#include <set>

namespace odel::bus {

namespace {

// How many recent exchanges with one address the diagnosis weighs, and how far back it looks.
constexpr int kRecent = 20;
constexpr std::size_t kScanLimit = 20000;

std::int64_t WallUsec() {
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// The reply line (up to its CR) carries two digits before the CR that are its checksum.
bool CarriesChecksum(const std::string& reply) {
    const std::size_t cr = reply.find('\r');
    if (cr == std::string::npos || cr < 4) return false;
    const char h = reply[cr - 2], l = reply[cr - 1];
    if (!IsHexDigit(h) || !IsHexDigit(l)) return false;
    return std::stoi(reply.substr(cr - 2, 2), nullptr, 16) ==
           AsciiChecksum(std::string_view(reply).substr(0, cr - 2));
}

// The reply line has two hex digits before its CR where checksum digits would stand.
bool HasDigitsShape(const std::string& reply) {
    const std::size_t cr = reply.find('\r');
    return cr != std::string::npos && cr >= 5 && IsHexDigit(reply[cr - 2]) &&
           IsHexDigit(reply[cr - 1]);
}

}  // namespace

std::int64_t BusMonitor::NowUsec() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

BusMonitor::BusMonitor(std::size_t capacity) : capacity_(capacity ? capacity : 1) {
    wallOffsetUsec_ = WallUsec() - NowUsec();
}

BusMonitor::~BusMonitor() {
    Detach();
}

void BusMonitor::Attach(SerialPort* port) {
    if (port == port_) return;
    Detach();
    port_ = port;
    if (port_) {
        portName_ = port_->GetPortName();
        port_->SetObserver(this);
    }
}

void BusMonitor::Detach() {
    if (port_) port_->SetObserver(nullptr);
    port_ = nullptr;
    if (!ring_.empty() && !ring_.back().closed) Close(ring_.back());
}

Exchange& BusMonitor::Open(std::int64_t usec) {
    if (!ring_.empty() && !ring_.back().closed) Close(ring_.back());
    if (ring_.size() >= capacity_) {
        ring_.pop_front();
        ++dropped_;
    }
    Exchange& e = ring_.emplace_back();
    e.seq = nextSeq_++;
    e.writeUsec = usec;
    e.wallUsec = usec + wallOffsetUsec_;
    SerialPort* port = portSource_ ? portSource_() : port_;
    if (port) {
        e.port = port == port_ ? portName_ : port->GetPortName();
        e.timeoutMs = port->GetTimeout();
        e.checksum = port->GetChecksum() != 0;
        std::uint8_t d = 0, p = 0, s = 0;
        port->GetLineSettings(e.baud, d, p, s);
    }
    return e;
}

void BusMonitor::Close(Exchange& e) {
    e.closed = true;
    if (onClosed_) onClosed_(e);
}

void BusMonitor::BytesWritten(const std::uint8_t* data, std::size_t count, std::int64_t usec) {
    Exchange& e = Open(usec);
    e.chunks.push_back({usec, 0, static_cast<std::uint32_t>(count), true});
    e.command.assign(reinterpret_cast<const char*>(data), count);
    ++changes_;
}

void BusMonitor::BytesRead(const std::uint8_t* data, std::size_t count, std::int64_t usec) {
    if (ring_.empty() || ring_.back().closed) Open(usec);  // bytes nobody asked for
    Exchange& e = ring_.back();
    const auto offset = static_cast<std::uint32_t>(e.reply.size());
    // Bytes read one at a time right after each other form one chunk of the raw view only when
    // they were handed over in the same read; each read keeps its own time.
    e.chunks.push_back({usec, offset, static_cast<std::uint32_t>(count), false});
    e.reply.append(reinterpret_cast<const char*>(data), count);
    ++changes_;
}

void BusMonitor::CloseLast() {
    if (!ring_.empty() && !ring_.back().closed) Close(ring_.back());
}

void BusMonitor::Clear() {
    ring_.clear();
    dropped_ = 0;
    ++changes_;
}

const Exchange* BusMonitor::Find(std::uint64_t seq) const {
    if (ring_.empty() || seq < ring_.front().seq || seq > ring_.back().seq) return nullptr;
    return &ring_[seq - ring_.front().seq];
}

Diagnosis BusMonitor::Diagnose(const std::string& address, std::int64_t nowUsec) const {
    // The recent decided exchanges with this address, newest first.
    struct Seen {
        const Exchange* e;
        Row row;
    };
    std::vector<Seen> seen;
    bool initAnswers = false;
    std::size_t scanned = 0;
    for (auto it = ring_.rbegin(); it != ring_.rend() && scanned < kScanLimit; ++it, ++scanned) {
        if (it->command.empty()) continue;
        Row r = Decode(*it, nowUsec);
        if (r.kind == Verdict::Pending) continue;
        if (r.address == "00" && r.kind != Verdict::NoReply && r.kind != Verdict::Garbage &&
            r.kind != Verdict::Echo)
            initAnswers = true;
        if (r.address == address && static_cast<int>(seen.size()) < kRecent)
            seen.push_back({&*it, std::move(r)});
    }
    Diagnosis d;
    const std::string at = "address " + address;
    if (seen.empty()) {
        d.text = "No exchange with " + at + " seen yet.";
        return d;
    }
    int answered = 0, noReply = 0, late = 0, echo = 0, noCr = 0, garbage = 0, badSum = 0,
        sumMissing = 0, rejected = 0, exception = 0;
    int maxLateMs = 0;
    std::set<std::string> sumLooking;  // distinct replies that carry checksum digits (box off)
    int plainReplies = 0;              // good ASCII replies with the box off
    for (const Seen& s : seen) {
        const Row& r = s.row;
        if (r.late) {
            ++late;
            maxLateMs = std::max(maxLateMs, static_cast<int>(r.replyMs + 0.5));
        }
        switch (r.kind) {
            case Verdict::NoReply:
            case Verdict::Foreign:  // what came back answered another command
                ++noReply;
                break;
            case Verdict::Echo:
                ++echo;
                break;
            case Verdict::NoCr:
            case Verdict::OverLong:
                ++noCr;
                break;
            case Verdict::Garbage:
            case Verdict::BadCrc:
                ++garbage;
                break;
            case Verdict::BadChecksum:
                if (HasDigitsShape(s.e->reply))
                    ++badSum;
                else
                    ++sumMissing;
                break;
            case Verdict::Rejected:
                ++rejected;
                break;
            case Verdict::ModbusException:
                ++exception;
                break;
            default:
                ++answered;
                break;
        }
        if (!r.modbus && !s.e->checksum &&
            (r.kind == Verdict::Accepted || r.kind == Verdict::Data)) {
            ++plainReplies;
            if (CarriesChecksum(s.e->reply)) sumLooking.insert(s.e->reply);
        }
    }
    const Exchange& last = *seen.front().e;
    char buf[400];
    if (echo) {
        d.finding = Finding::Echo;
        d.text = "The replies from " + at +
                 " begin with our own command: the adapter echoes its transmitter. Turn its "
                 "echo off (or use an adapter without echo).";
    } else if (late) {
        std::snprintf(buf, sizeof buf,
                      "Replies from %s arrive after the time-out (up to %d ms, time-out %d ms): "
                      "raise the time-out on the port's page.",
                      at.c_str(), maxLateMs, last.timeoutMs);
        d.finding = Finding::Late;
        d.text = buf;
    } else if (sumMissing) {
        d.finding = Finding::ChecksumOn;
        d.text = "The checksum box is on but the replies from " + at +
                 " carry no checksum digits: the module has its checksum off. Clear the "
                 "checksum box.";
    } else if (plainReplies > 0 && sumLooking.size() >= 2 &&
               static_cast<int>(sumLooking.size()) <= plainReplies && [&] {
                   for (const Seen& s : seen)
                       if (!s.row.modbus && !s.e->checksum &&
                           (s.row.kind == Verdict::Accepted || s.row.kind == Verdict::Data) &&
                           !CarriesChecksum(s.e->reply))
                           return false;
                   return true;
               }()) {
        d.finding = Finding::ChecksumOff;
        d.text = "The replies from " + at +
                 " carry checksum digits while the checksum box is off: the module has its "
                 "checksum on. Tick the checksum box.";
    } else if (noCr || garbage) {
        std::snprintf(buf, sizeof buf,
                      "Bytes come back from %s %s: most likely a baud rate mismatch (the port "
                      "is at %d bps).",
                      at.c_str(),
                      noCr && garbage ? "without a CR or as garbage"
                      : noCr          ? "without a CR"
                                      : "as garbage",
                      last.baud);
        d.finding = Finding::BaudMismatch;
        d.text = buf;
    } else if (badSum) {
        d.finding = Finding::BadChecksum;
        d.text = "Replies from " + at +
                 " fail their checksum: noise on the line, a bad termination or a wrong baud "
                 "rate.";
    } else if (noReply == static_cast<int>(seen.size())) {
        std::snprintf(buf, sizeof buf,
                      "Nothing came back from %s (%d tries at %d bps): check the module's "
                      "address and baud rate. %s",
                      at.c_str(), noReply, last.baud,
                      initAnswers && address != "00"
                          ? "A module answers at 00: it is in its INIT state and answers only "
                            "there."
                          : "A module in its INIT state answers only at 00.");
        d.finding = Finding::NothingBack;
        d.text = buf;
    } else if (rejected && !answered) {
        d.finding = Finding::Rejected;
        d.text = "The module at " + at +
                 " rejects the commands (\"?\"): it does not know them, or does not take them "
                 "in its present state.";
    } else if (exception && !answered) {
        d.finding = Finding::ModbusException;
        d.text = "The slave at " + at + " answers with Modbus exceptions: see the Meaning column.";
    } else {
        std::snprintf(buf, sizeof buf, "%s answers: %d of the last %d exchanges good.", at.c_str(),
                      answered, static_cast<int>(seen.size()));
        d.finding = Finding::None;
        d.text = buf;
        d.text[0] = 'A';
    }
    return d;
}

}  // namespace odel::bus

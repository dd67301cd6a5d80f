// The serial link over its transport, and the ASCII command transaction.
#include "device/SerialPort.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string_view>
#include <utility>

#include "device/CommandForms.h"
#include "device/LinkTransport.h"

namespace odel {

namespace {

using link::NowUsec;

// Most bytes dropped while discarding a cut line or a late reply: a line that never goes quiet
// (a babbling device) cannot hold a command back for ever.
constexpr int kMaxDiscard = 4096;
// Shortest deadline of an input purge on a network link.
constexpr std::int64_t kMinPurgeUsec = 500'000;

// Outcome of waiting for one direction of the descriptor.
enum class WaitResult { Ready, Timeout, HardError };

// Waits until fd is ready for `events` or the deadline passes (monotonic, in microseconds).
WaitResult WaitFor(int fd, short events, std::int64_t deadlineUsec) {
    for (;;) {
        std::int64_t left = deadlineUsec - NowUsec();
        if (left < 0) left = 0;
        // Round up so a 1 ms time-out really waits up to 1 ms.
        int ms = static_cast<int>((left + 999) / 1000);
        pollfd p{fd, events, 0};
        int r = ::poll(&p, 1, ms);
        if (r < 0) {
            if (errno == EINTR) continue;
            return WaitResult::HardError;
        }
        if (r == 0) return WaitResult::Timeout;
        if (p.revents & events) return WaitResult::Ready;
        if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) return WaitResult::HardError;
        if (left == 0) return WaitResult::Timeout;
    }
}

}  // namespace

struct SerialPort::Impl {
    std::string portName;
    std::unique_ptr<link::Transport> transport;
    bool open = false;
    OpenError lastOpenError = OpenError::None;
    // Line settings: zero until Open reads them from the device.
    int baud = 0;
    std::uint8_t dataBits = 0;
    std::uint8_t parity = 0;
    std::uint8_t stopBits = 0;
    bool settingsApplied = false;
    int timeoutMs = 0;
    std::uint8_t checksum = 0;
    char terminator = '\r';
    TrafficObserver* observer = nullptr;
    std::function<void()> settingsNotice;
    LinkFault fault = LinkFault::None;
    std::function<void(LinkFault)> faultNotice;
    // After a read gave up, a late reply may still be on its way: until this moment (extended by
    // every byte that arrives) input is stale and the next command line discards it first.
    std::int64_t staleUntilUsec = 0;
    // Added to the wait for the first byte after a write: the time a device server still needs
    // to clock the command out onto its line, and to forward the reply.
    std::int64_t graceUsec = 0;
    // Received but not yet taken.
    std::uint8_t in[512];
    std::size_t inPos = 0, inLen = 0;

    int Fd() const { return open ? transport->Fd() : -1; }
    bool ApplyLineSettings();
    // A hard I/O error: close and try to open the same port once more, unless the transport
    // gave the link up for a fault of the far end.
    void Recover(SerialPort& self);
    // When the transport closed itself for a fault: closes the link, keeps the fault and tells
    // it. True then.
    bool TakeFault(SerialPort& self);
    // Reads what has arrived into `in`. >0 count, 0 nothing yet, -1 link lost.
    long Fill();
    // Reads one byte, waiting at most timeoutMs. 1 = byte read, 0 = time-out, -1 = hard error.
    int ReadOneByte(std::uint8_t& byte);
};

bool SerialPort::Impl::ApplyLineSettings() {
    if (!open) return false;
    if (!transport->Apply({baud, dataBits, parity, stopBits})) return false;
    settingsApplied = true;
    return true;
}

bool SerialPort::Impl::TakeFault(SerialPort& self) {
    if (!open || transport->Fault() == LinkFault::None) return false;
    const LinkFault f = transport->Fault();
    self.Close();
    fault = f;
    if (faultNotice) faultNotice(f);
    return true;
}

void SerialPort::Impl::Recover(SerialPort& self) {
    if (TakeFault(self)) return;
    const int b = baud;
    const std::uint8_t d = dataBits, p = parity, s = stopBits;
    if (!self.Close()) return;
    if (!self.Open()) return;
    // A re-enumerated adapter comes back with the driver's default (cooked, echoing) settings;
    // put back the raw line the caller chose so nothing is echoed onto the bus.
    if (settingsApplied) {
        baud = b;
        dataBits = d;
        parity = p;
        stopBits = s;
        ApplyLineSettings();
    }
}

long SerialPort::Impl::Fill() {
    inPos = inLen = 0;
    long n = transport->Read(in, sizeof in);
    if (n > 0) {
        inLen = static_cast<std::size_t>(n);
        if (observer) observer->BytesRead(in, inLen, NowUsec());
    }
    return n;
}

int SerialPort::Impl::ReadOneByte(std::uint8_t& byte) {
    if (!open) return -1;
    if (inPos < inLen) {
        byte = in[inPos++];
        return 1;
    }
    std::int64_t wait = static_cast<std::int64_t>(timeoutMs) * 1000 + std::exchange(graceUsec, 0);
    std::int64_t deadline = NowUsec() + wait;
    for (;;) {
        // The transport may hold decoded data the descriptor no longer signals.
        long n = Fill();
        if (n > 0) {
            byte = in[inPos++];
            return 1;
        }
        if (n < 0) return -1;  // end of file (hang-up) or a real error
        WaitResult w = WaitFor(transport->Fd(), POLLIN, deadline);
        if (w == WaitResult::Timeout) {
            staleUntilUsec = NowUsec() + static_cast<std::int64_t>(timeoutMs) * 1000 +
                             transport->ForwardingUsec();
            return 0;
        }
        if (w == WaitResult::HardError) {
            // A hang-up may still leave the last bytes to read.
            n = Fill();
            if (n > 0) {
                byte = in[inPos++];
                return 1;
            }
            return -1;
        }
    }
}

SerialPort::SerialPort(std::string portName) : impl_(std::make_unique<Impl>()) {
    impl_->portName = std::move(portName);
}

SerialPort::~SerialPort() {
    Close();
}

bool SerialPort::Open() {
    if (impl_->open) Close();
    impl_->lastOpenError = OpenError::None;
    if (!impl_->transport) impl_->transport = link::MakeTransport(impl_->portName);
    if (!impl_->transport) {
        impl_->lastOpenError = OpenError::BadName;
        return false;
    }
    OpenError why = OpenError::None;
    impl_->fault = LinkFault::None;
    if (!impl_->transport->Open(why)) {
        impl_->lastOpenError = why;
        return false;
    }
    impl_->open = true;
    impl_->inPos = impl_->inLen = 0;
    impl_->graceUsec = 0;
    // Read the device's current settings back; they are not changed here.
    const link::LineSettings current = impl_->transport->Current();
    impl_->baud = current.baud;
    impl_->dataBits = current.dataBits;
    impl_->parity = current.parity;
    impl_->stopBits = current.stopBits;
    return true;
}

bool SerialPort::Close() {
    if (!impl_->open) return true;
    impl_->open = false;
    impl_->transport->Close();
    impl_->inPos = impl_->inLen = 0;
    return true;
}

bool SerialPort::IsOpen() const {
    return impl_->open;
}

SerialPort::OpenError SerialPort::LastOpenError() const {
    return impl_->lastOpenError;
}

SerialPort::LinkFault SerialPort::LastLinkFault() const {
    return impl_->fault;
}

void SerialPort::SetLinkFaultNotice(std::function<void(LinkFault)> notice) {
    impl_->faultNotice = std::move(notice);
}

bool SerialPort::SetLineSettings(int baud, std::uint8_t dataBits, std::uint8_t parity,
                                 std::uint8_t stopBits) {
    if (!IsSupportedBaud(baud)) return false;
    if (dataBits < 5 || dataBits > 8) return false;
    if (parity > 2) return false;  // mark and space parity are not offered by termios
    if (stopBits != 0 && stopBits != 2) return false;  // no one-and-a-half stop bits
    Impl& m = *impl_;
    const bool change = m.settingsApplied && (baud != m.baud || dataBits != m.dataBits ||
                                              parity != m.parity || stopBits != m.stopBits);
    m.baud = baud;
    m.dataBits = dataBits;
    m.parity = parity;
    m.stopBits = stopBits;
    if (!m.ApplyLineSettings()) {
        if (!m.TakeFault(*this) && m.open && m.transport->Fd() < 0)
            Close();  // the device server hung up
        return false;
    }
    if (change && !m.transport->SettingsReachDevice() && m.settingsNotice) m.settingsNotice();
    return true;
}

void SerialPort::GetLineSettings(int& baud, std::uint8_t& dataBits, std::uint8_t& parity,
                                 std::uint8_t& stopBits) const {
    baud = impl_->baud;
    dataBits = impl_->dataBits;
    parity = impl_->parity;
    stopBits = impl_->stopBits;
}

bool SerialPort::LineSettingsReachDevice() const {
    return !impl_->open || impl_->transport->SettingsReachDevice();
}

void SerialPort::SetLineSettingsNotice(std::function<void()> notice) {
    impl_->settingsNotice = std::move(notice);
}

bool SerialPort::SetTimeout(int ms) {
    if (ms < 0) return false;
    impl_->timeoutMs = ms;
    return impl_->open;
}

int SerialPort::GetTimeout() const {
    return impl_->timeoutMs;
}

std::string SerialPort::GetPortName() const {
    return impl_->portName;
}

bool SerialPort::WriteText(const std::string& text) {
    return WriteBytes(text.size(), reinterpret_cast<const std::uint8_t*>(text.data()));
}

bool SerialPort::WriteBytes(std::size_t count, const std::uint8_t* buffer) {
    if (!impl_->open) return false;
    if (count == 0) return true;
    if (buffer == nullptr) return false;
    // A write of n bytes may take up to (n + 1) time-outs before it gives up.
    std::int64_t deadline =
        NowUsec() + static_cast<std::int64_t>(count + 1) * impl_->timeoutMs * 1000;
    std::size_t done = 0;
    bool hard = false;
    while (done < count) {
        long n = impl_->transport->Write(buffer + done, count - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0) {
            hard = true;
            break;
        }
        WaitResult w = WaitFor(impl_->transport->Fd(), POLLOUT, deadline);
        if (w == WaitResult::Timeout) {
            // The far end takes nothing: a device server that does not read is given up.
            impl_->transport->WriteTimedOut();
            impl_->TakeFault(*this);
            break;
        }
        if (w == WaitResult::HardError) {
            hard = true;
            break;
        }
    }
    if (done > 0 && impl_->observer) impl_->observer->BytesWritten(buffer, done, NowUsec());
    if (hard) {
        impl_->Recover(*this);
        return false;
    }
    if (done != count) return false;
    // Let the bytes leave the adapter (or this computer) before the reply's time-out starts.
    if (!impl_->transport->Drain(deadline)) {
        impl_->Recover(*this);
        return false;
    }
    impl_->graceUsec =
        impl_->transport->ClockOutUsec(count, impl_->baud) + impl_->transport->ForwardingUsec();
    return true;
}

bool SerialPort::ReadBytes(std::size_t count, std::uint8_t* buffer) {
    if (!impl_->open || buffer == nullptr) return false;
    for (std::size_t i = 0; i < count; ++i) {
        int r = impl_->ReadOneByte(buffer[i]);
        if (r == 0) return false;
        if (r < 0) {
            impl_->Recover(*this);
            return false;
        }
    }
    return true;
}

bool SerialPort::ReadLine(int limit, std::string& dest) {
    if (!impl_->open) return false;
    int count = 0;
    for (;;) {
        std::uint8_t byte = 0;
        int r = impl_->ReadOneByte(byte);
        if (r == 0) return false;
        if (r < 0) {
            impl_->Recover(*this);
            return false;
        }
        ++count;
        if (count >= limit) {
            // The line does not fit; this byte and the rest of the line are dropped, so the tail
            // is not taken as the reply to the next command.
            for (int rest = 0; byte != static_cast<std::uint8_t>(impl_->terminator) &&
                               rest < kMaxDiscard && impl_->ReadOneByte(byte) == 1;
                 ++rest) {
            }
            return false;
        }
        if (byte != 0) dest.push_back(static_cast<char>(byte));
        if (static_cast<char>(byte) == impl_->terminator) return true;
    }
}

bool SerialPort::DiscardStaleInput() {
    if (!impl_->open) return false;
    FlushInput();
    // A read that gave up recently: let a late reply arrive and drop it, until the line has been
    // quiet for one time-out. A module that answered in time costs nothing here.
    int discarded = 0;
    while (discarded < kMaxDiscard) {
        const std::int64_t until = impl_->staleUntilUsec;
        if (NowUsec() >= until) break;
        WaitResult w = WaitFor(impl_->transport->Fd(), POLLIN, until);
        if (w == WaitResult::Timeout) break;
        if (w == WaitResult::HardError) return false;
        long n = impl_->Fill();
        impl_->inPos = impl_->inLen = 0;
        if (n == 0) continue;
        if (n < 0) return false;
        discarded += static_cast<int>(n);
        impl_->staleUntilUsec = NowUsec() + static_cast<std::int64_t>(impl_->timeoutMs) * 1000 +
                                 impl_->transport->ForwardingUsec();
    }
    impl_->staleUntilUsec = 0;
    return true;
}

void SerialPort::SkipStaleWait() {
    impl_->staleUntilUsec = 0;
}

bool SerialPort::FlushInput() {
    if (!impl_->open) return false;
    impl_->inPos = impl_->inLen = 0;
    // A few time-outs, and never less than a device server needs to confirm a purge.
    const std::int64_t wait = std::max<std::int64_t>(
        kMinPurgeUsec, 3 * static_cast<std::int64_t>(impl_->timeoutMs) * 1000);
    if (impl_->transport->Purge(NowUsec() + wait)) return true;
    impl_->TakeFault(*this);
    return false;
}

void SerialPort::SetChecksum(std::uint8_t flag) {
    impl_->checksum = flag;
}

std::uint8_t SerialPort::GetChecksum() const {
    return impl_->checksum;
}

void SerialPort::SetObserver(TrafficObserver* observer) {
    impl_->observer = observer;
}

bool SerialPort::IsSupportedBaud(int baud) {
    return link::SupportedBaud(baud);
}

int SerialPort::ComputeChecksum(const std::string& text) {
    unsigned sum = 0;
    for (char c : text) sum += static_cast<unsigned char>(c);
    return static_cast<int>(sum % 256);
}

void SerialPort::AppendChecksum(std::string& command) {
    if (!command.empty()) command.pop_back();  // the CR
    char digits[4];
    std::snprintf(digits, sizeof digits, "%02X\r", ComputeChecksum(command));
    command += digits;
}

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

bool SerialPort::VerifyChecksum(std::string& reply) {
    if (reply.size() <= 4) return false;
    std::size_t at = reply.size() - 3;
    int hi = HexValue(reply[at]);
    int lo = HexValue(reply[at + 1]);
    reply.resize(at);
    if (hi < 0 || lo < 0) return false;
    if (ComputeChecksum(reply) != hi * 16 + lo) return false;
    reply += '\r';
    return true;
}

bool SerialPort::Transact(std::string& command, int limit, std::string* reply) {
    if (impl_->checksum != 0) AppendChecksum(command);
    DiscardStaleInput();
    if (!WriteText(command)) return false;
    if (reply == nullptr) return false;
    // A line that answers another command (a late reply) is dropped and the read goes on.
    const std::size_t start = reply->size();
    for (std::size_t dropped = 0;;) {
        if (!ReadLine(limit, *reply)) return false;
        const std::string_view line = std::string_view(*reply).substr(start);
        if (!forms::IsForeignReply(command, line, impl_->checksum != 0)) break;
        dropped += line.size();
        reply->resize(start);
        if (dropped >= kMaxDiscard) return false;
    }
    if (reply->empty()) return false;
    char first = reply->front();
    if (first != '!' && first != '>') return false;
    if (reply->back() != impl_->terminator) return false;
    if (impl_->checksum != 0) return VerifyChecksum(*reply);
    return true;
}

}  // namespace odel

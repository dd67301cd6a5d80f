// termios implementation of the serial link and the ASCII command transaction.
#include "device/SerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <utility>

namespace odel {

namespace {

std::int64_t NowUsec() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

struct BaudEntry {
    int baud;
    speed_t speed;
};

// Most bytes dropped while discarding a cut line or a late reply: a line that never goes quiet
// (a babbling device) cannot hold a command back for ever.
constexpr int kMaxDiscard = 4096;

constexpr BaudEntry kBauds[] = {
    {1200, B1200},   {2400, B2400},   {4800, B4800},   {9600, B9600},
    {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200},
};

bool SpeedForBaud(int baud, speed_t& speed) {
    for (const auto& e : kBauds) {
        if (e.baud == baud) {
            speed = e.speed;
            return true;
        }
    }
    return false;
}

int BaudForSpeed(speed_t speed) {
    for (const auto& e : kBauds) {
        if (e.speed == speed) return e.baud;
    }
    return 0;
}

SerialPort::OpenError ClassifyOpenErrno(int err) {
    switch (err) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
        case ENOTDIR:
            return SerialPort::OpenError::NotPresent;
        case EBUSY:
        case EWOULDBLOCK:
            return SerialPort::OpenError::Busy;
        case EACCES:
        case EPERM:
        case EROFS:
            return SerialPort::OpenError::NoPermission;
        default:
            return SerialPort::OpenError::Other;
    }
}

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
    int fd = -1;
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
    // After a read gave up, a late reply may still be on its way: until this moment (extended by
    // every byte that arrives) input is stale and the next command line discards it first.
    std::int64_t staleUntilUsec = 0;

    bool ApplyLineSettings();
    // A hard I/O error: close and try to open the same device once more.
    void Recover(SerialPort& self);
    // Reads one byte, waiting at most timeoutMs. 1 = byte read, 0 = time-out, -1 = hard error.
    int ReadOneByte(std::uint8_t& byte);
};

bool SerialPort::Impl::ApplyLineSettings() {
    if (fd < 0) return false;
    speed_t speed;
    if (!SpeedForBaud(baud, speed)) return false;
    termios t{};
    if (::tcgetattr(fd, &t) != 0) return false;
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    switch (dataBits) {
        case 5:
            t.c_cflag |= CS5;
            break;
        case 6:
            t.c_cflag |= CS6;
            break;
        case 7:
            t.c_cflag |= CS7;
            break;
        default:
            t.c_cflag |= CS8;
            break;
    }
    if (parity == 1) t.c_cflag |= PARENB | PARODD;
    if (parity == 2) t.c_cflag |= PARENB;
    if (stopBits == 2) t.c_cflag |= CSTOPB;
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    if (::cfsetispeed(&t, speed) != 0 || ::cfsetospeed(&t, speed) != 0) return false;
    if (::tcsetattr(fd, TCSANOW, &t) != 0) return false;
    settingsApplied = true;
    return true;
}

void SerialPort::Impl::Recover(SerialPort& self) {
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

int SerialPort::Impl::ReadOneByte(std::uint8_t& byte) {
    if (fd < 0) return -1;
    std::int64_t deadline = NowUsec() + static_cast<std::int64_t>(timeoutMs) * 1000;
    for (;;) {
        WaitResult w = WaitFor(fd, POLLIN, deadline);
        if (w == WaitResult::Timeout) {
            staleUntilUsec = NowUsec() + static_cast<std::int64_t>(timeoutMs) * 1000;
            return 0;
        }
        if (w == WaitResult::HardError) return -1;
        ssize_t n = ::read(fd, &byte, 1);
        if (n == 1) {
            if (observer) observer->BytesRead(&byte, 1, NowUsec());
            return 1;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        return -1;  // end of file (hang-up) or a real error
    }
}

SerialPort::SerialPort(std::string portName) : impl_(new Impl) {
    impl_->portName = std::move(portName);
}

SerialPort::~SerialPort() {
    Close();
    delete impl_;
}

bool SerialPort::Open() {
    if (impl_->fd >= 0) Close();
    impl_->lastOpenError = OpenError::None;
    int fd = ::open(impl_->portName.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        impl_->lastOpenError = ClassifyOpenErrno(errno);
        return false;
    }
    // No sharing: TIOCEXCL keeps other (non-root) programs out, flock keeps everyone
    // that also locks out, root included.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        impl_->lastOpenError = (errno == EWOULDBLOCK) ? OpenError::Busy : OpenError::Other;
        ::close(fd);
        return false;
    }
    termios t{};
    if (!::isatty(fd) || ::tcgetattr(fd, &t) != 0) {
        impl_->lastOpenError = OpenError::Other;
        ::close(fd);
        return false;
    }
    ::ioctl(fd, TIOCEXCL);
    impl_->fd = fd;
    // Read the device's current settings back; they are not changed here.
    impl_->baud = BaudForSpeed(::cfgetospeed(&t));
    switch (t.c_cflag & CSIZE) {
        case CS5:
            impl_->dataBits = 5;
            break;
        case CS6:
            impl_->dataBits = 6;
            break;
        case CS7:
            impl_->dataBits = 7;
            break;
        default:
            impl_->dataBits = 8;
            break;
    }
    impl_->parity = (t.c_cflag & PARENB) ? ((t.c_cflag & PARODD) ? 1 : 2) : 0;
    impl_->stopBits = (t.c_cflag & CSTOPB) ? 2 : 0;
    return true;
}

bool SerialPort::Close() {
    if (impl_->fd < 0) return true;
    int fd = std::exchange(impl_->fd, -1);
    ::ioctl(fd, TIOCNXCL);
    ::flock(fd, LOCK_UN);
    return ::close(fd) == 0 || errno == EINTR;
}

bool SerialPort::IsOpen() const {
    return impl_->fd >= 0;
}

SerialPort::OpenError SerialPort::LastOpenError() const {
    return impl_->lastOpenError;
}

bool SerialPort::SetLineSettings(int baud, std::uint8_t dataBits, std::uint8_t parity,
                                 std::uint8_t stopBits) {
    speed_t speed;
    if (!SpeedForBaud(baud, speed)) return false;
    if (dataBits < 5 || dataBits > 8) return false;
    if (parity > 2) return false;  // mark and space parity are not offered by termios
    if (stopBits != 0 && stopBits != 2) return false;  // no one-and-a-half stop bits
    impl_->baud = baud;
    impl_->dataBits = dataBits;
    impl_->parity = parity;
    impl_->stopBits = stopBits;
    return impl_->ApplyLineSettings();
}

void SerialPort::GetLineSettings(int& baud, std::uint8_t& dataBits, std::uint8_t& parity,
                                 std::uint8_t& stopBits) const {
    baud = impl_->baud;
    dataBits = impl_->dataBits;
    parity = impl_->parity;
    stopBits = impl_->stopBits;
}

bool SerialPort::SetTimeout(int ms) {
    if (ms < 0) return false;
    impl_->timeoutMs = ms;
    return impl_->fd >= 0;
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
    if (impl_->fd < 0) return false;
    if (count == 0) return true;
    if (buffer == nullptr) return false;
    // A write of n bytes may take up to (n + 1) time-outs before it gives up.
    std::int64_t deadline =
        NowUsec() + static_cast<std::int64_t>(count + 1) * impl_->timeoutMs * 1000;
    std::size_t done = 0;
    bool hard = false;
    while (done < count) {
        ssize_t n = ::write(impl_->fd, buffer + done, count - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) {
            hard = true;
            break;
        }
        WaitResult w = WaitFor(impl_->fd, POLLOUT, deadline);
        if (w == WaitResult::Timeout) break;
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
    // Let the bytes leave the adapter before the reply's time-out starts.
    while (::tcdrain(impl_->fd) != 0) {
        if (errno != EINTR) {
            impl_->Recover(*this);
            return false;
        }
    }
    return true;
}

bool SerialPort::ReadBytes(std::size_t count, std::uint8_t* buffer) {
    if (impl_->fd < 0 || buffer == nullptr) return false;
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
    if (impl_->fd < 0) return false;
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
    if (impl_->fd < 0) return false;
    FlushInput();
    // A read that gave up recently: let a late reply arrive and drop it, until the line has been
    // quiet for one time-out. A module that answered in time costs nothing here.
    int discarded = 0;
    while (discarded < kMaxDiscard) {
        const std::int64_t until = impl_->staleUntilUsec;
        if (NowUsec() >= until) break;
        WaitResult w = WaitFor(impl_->fd, POLLIN, until);
        if (w == WaitResult::Timeout) break;
        if (w == WaitResult::HardError) return false;
        std::uint8_t buffer[256];
        ssize_t n = ::read(impl_->fd, buffer, sizeof buffer);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) return false;
        if (impl_->observer)
            impl_->observer->BytesRead(buffer, static_cast<std::size_t>(n), NowUsec());
        discarded += static_cast<int>(n);
        impl_->staleUntilUsec = NowUsec() + static_cast<std::int64_t>(impl_->timeoutMs) * 1000;
    }
    impl_->staleUntilUsec = 0;
    return true;
}

void SerialPort::SkipStaleWait() {
    impl_->staleUntilUsec = 0;
}

bool SerialPort::FlushInput() {
    if (impl_->fd < 0) return false;
    return ::tcflush(impl_->fd, TCIFLUSH) == 0;
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
    if (!ReadLine(limit, *reply)) return false;
    if (reply->empty()) return false;
    char first = reply->front();
    if (first != '!' && first != '>') return false;
    if (reply->back() != impl_->terminator) return false;
    if (impl_->checksum != 0) return VerifyChecksum(*reply);
    return true;
}

}  // namespace odel

// The three transports under a SerialPort: termios device, raw TCP, telnet with COM-PORT-OPTION.
#include "device/LinkTransport.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/sockios.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <utility>

#include "device/Telnet.h"

namespace odel::link {

std::int64_t NowUsec() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

namespace {

struct BaudEntry {
    int baud;
    speed_t speed;
};

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

}  // namespace

bool SupportedBaud(int baud) {
    speed_t speed;
    return SpeedForBaud(baud, speed);
}

namespace {

int BaudForSpeed(speed_t speed) {
    for (const auto& e : kBauds) {
        if (e.speed == speed) return e.baud;
    }
    return 0;
}

OpenFailure ClassifyOpenErrno(int err) {
    switch (err) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
        case ENOTDIR:
            return OpenFailure::NotPresent;
        case EBUSY:
        case EWOULDBLOCK:
            return OpenFailure::Busy;
        case EACCES:
        case EPERM:
        case EROFS:
            return OpenFailure::NoPermission;
        default:
            return OpenFailure::Other;
    }
}

// Waits for `events` on fd until the deadline; true when they came.
bool WaitUntil(int fd, short events, std::int64_t deadlineUsec) {
    for (;;) {
        std::int64_t left = deadlineUsec - NowUsec();
        if (left < 0) left = 0;
        pollfd p{fd, events, 0};
        int r = ::poll(&p, 1, static_cast<int>((left + 999) / 1000));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        return (p.revents & (events | POLLERR | POLLHUP)) != 0;
    }
}

// ---- termios device ----

class TtyTransport : public Transport {
  public:
    explicit TtyTransport(std::string path) : path_(std::move(path)) {}
    ~TtyTransport() override { Close(); }

    bool Open(OpenFailure& why) override {
        int fd = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            why = ClassifyOpenErrno(errno);
            return false;
        }
        // No sharing: TIOCEXCL keeps other (non-root) programs out, flock keeps everyone
        // that also locks out, root included.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            why = (errno == EWOULDBLOCK) ? OpenFailure::Busy : OpenFailure::Other;
            ::close(fd);
            return false;
        }
        termios t{};
        if (!::isatty(fd) || ::tcgetattr(fd, &t) != 0) {
            why = OpenFailure::Other;
            ::close(fd);
            return false;
        }
        ::ioctl(fd, TIOCEXCL);
        fd_ = fd;
        // The device's current settings; they are not changed here.
        current_.baud = BaudForSpeed(::cfgetospeed(&t));
        switch (t.c_cflag & CSIZE) {
            case CS5:
                current_.dataBits = 5;
                break;
            case CS6:
                current_.dataBits = 6;
                break;
            case CS7:
                current_.dataBits = 7;
                break;
            default:
                current_.dataBits = 8;
                break;
        }
        current_.parity = (t.c_cflag & PARENB) ? ((t.c_cflag & PARODD) ? 1 : 2) : 0;
        current_.stopBits = (t.c_cflag & CSTOPB) ? 2 : 0;
        return true;
    }

    void Close() override {
        if (fd_ < 0) return;
        int fd = std::exchange(fd_, -1);
        ::ioctl(fd, TIOCNXCL);
        ::flock(fd, LOCK_UN);
        ::close(fd);
    }

    int Fd() const override { return fd_; }

    long Read(std::uint8_t* buffer, std::size_t capacity) override {
        ssize_t n = ::read(fd_, buffer, capacity);
        if (n > 0) return n;
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
        return -1;  // end of file (hang-up) or a real error
    }

    long Write(const std::uint8_t* data, std::size_t count) override {
        ssize_t n = ::write(fd_, data, count);
        if (n >= 0) return n;
        if (errno == EAGAIN || errno == EINTR) return 0;
        return -1;
    }

    bool Drain(std::int64_t) override {
        while (::tcdrain(fd_) != 0)
            if (errno != EINTR) return false;
        return true;
    }

    bool Purge(std::int64_t) override { return ::tcflush(fd_, TCIFLUSH) == 0; }

    bool Apply(const LineSettings& s) override {
        speed_t speed;
        if (fd_ < 0 || !SpeedForBaud(s.baud, speed)) return false;
        termios t{};
        if (::tcgetattr(fd_, &t) != 0) return false;
        ::cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
        switch (s.dataBits) {
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
        if (s.parity == 1) t.c_cflag |= PARENB | PARODD;
        if (s.parity == 2) t.c_cflag |= PARENB;
        if (s.stopBits == 2) t.c_cflag |= CSTOPB;
        t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
        t.c_cc[VMIN] = 1;
        t.c_cc[VTIME] = 0;
        if (::cfsetispeed(&t, speed) != 0 || ::cfsetospeed(&t, speed) != 0) return false;
        return ::tcsetattr(fd_, TCSANOW, &t) == 0;
    }

    LineSettings Current() const override { return current_; }
    bool SettingsReachDevice() const override { return true; }
    std::int64_t ClockOutUsec(std::size_t, int) const override { return 0; }
    std::int64_t ForwardingUsec() const override { return 0; }

  private:
    std::string path_;
    int fd_ = -1;
    LineSettings current_;
};

// ---- TCP ----

// A host that does not answer fails the open after this long.
constexpr std::int64_t kConnectUsec = 3'000'000;
// Device servers hold received bytes until the line pauses, so that a reply travels in one
// packet; ser2net waits up to 20 ms by default.
constexpr std::int64_t kServerForwardUsec = 20'000;
// Pause between connection attempts while the device server says its port is in use.
constexpr std::int64_t kInUseRetryPauseUsec = 100'000;
// Most of a refusal text kept.
constexpr std::size_t kMaxRefusalText = 256;

// A device server that refuses a connection because another client holds its port says so
// ("Port's device already in use") and hangs up.
bool SaysInUse(const std::string& text) {
    std::string lower;
    for (char c : text.substr(0, kMaxRefusalText))
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower.find("in use") != std::string::npos || lower.find("busy") != std::string::npos;
}

class TcpTransport : public Transport {
  public:
    TcpTransport(PortAddress address, const Limits& limits)
        : address_(std::move(address)), limits_(limits) {}
    TcpTransport(int connected, const Limits& limits) : limits_(limits), adopted_(connected) {}
    ~TcpTransport() override {
        Close();
        if (adopted_ >= 0) ::close(adopted_);
    }

    bool Open(OpenFailure& why) override {
        Close();
        fault_ = LinkFault::None;
        if (adopted_ >= 0) {
            fd_ = std::exchange(adopted_, -1);
            return Start(why);
        }
        // While another client holds the server's port, it refuses each connection at once.
        const std::int64_t retryUntil = NowUsec() + limits_.inUseRetryUsec;
        for (;;) {
            if (!Connect(why)) return false;
            if (Start(why)) return true;
            if (why != OpenFailure::PortInUse || NowUsec() + kInUseRetryPauseUsec > retryUntil)
                return false;
            ::usleep(static_cast<useconds_t>(kInUseRetryPauseUsec));
        }
    }

    void Close() override {
        if (fd_ >= 0) ::close(std::exchange(fd_, -1));
        out_.clear();
    }

    int Fd() const override { return fd_; }

    long Read(std::uint8_t* buffer, std::size_t capacity) override {
        ssize_t n = ::recv(fd_, buffer, capacity, MSG_DONTWAIT);
        if (n > 0) return n;
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
        return -1;  // closed by the server, or reset
    }

    long Write(const std::uint8_t* data, std::size_t count) override {
        ssize_t n = ::send(fd_, data, count, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n >= 0) return n;
        if (errno == EAGAIN || errno == EINTR) return 0;
        return -1;
    }

    bool Drain(std::int64_t deadlineUsec) override {
        if (!FlushOutOrGiveUp(deadlineUsec)) return false;
        // Until the server has taken every byte: the socket's queue of unacknowledged data.
        for (;;) {
            int queued = 0;
            if (::ioctl(fd_, SIOCOUTQ, &queued) != 0 || queued == 0) return true;
            if (NowUsec() >= deadlineUsec) return true;  // the reply's time-out takes over
            // A reply already arriving shows the command got there; a reset or hung-up
            // connection never drains.
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 1) > 0) return (p.revents & POLLIN) != 0;
        }
    }

    bool Purge(std::int64_t deadlineUsec) override { return DropArrived(deadlineUsec); }

    bool Apply(const LineSettings&) override { return true; }
    LineSettings Current() const override { return {}; }
    bool SettingsReachDevice() const override { return false; }

    std::int64_t ClockOutUsec(std::size_t bytes, int baud) const override {
        if (baud <= 0) baud = 9600;
        return static_cast<std::int64_t>(bytes) * 10'000'000 / baud;
    }

    std::int64_t ForwardingUsec() const override {
        tcp_info info{};
        socklen_t len = sizeof info;
        std::int64_t rtt = 0;
        if (fd_ >= 0 && ::getsockopt(fd_, IPPROTO_TCP, TCP_INFO, &info, &len) == 0)
            rtt = info.tcpi_rtt;
        return kServerForwardUsec + rtt;
    }

    LinkFault Fault() const override { return fault_; }
    void WriteTimedOut() override { GiveUp(LinkFault::DoesNotRead); }

  protected:
    // Protocol set-up once connected; on false the connection is closed and why says why.
    virtual bool Started(OpenFailure&) { return true; }

    // Takes what the socket holds, appending its data to text (up to kMaxRefusalText): the
    // bytes taken, 0 when none are there, -1 when the link is lost (and closed).
    virtual long TakeText(std::string& text) {
        char buffer[kMaxRefusalText];
        const long n = TcpTransport::Read(reinterpret_cast<std::uint8_t*>(buffer), sizeof buffer);
        if (n < 0) Close();
        if (n > 0) KeepText(text, buffer, static_cast<std::size_t>(n));
        return n;
    }

    static void KeepText(std::string& text, const char* bytes, std::size_t count) {
        if (text.size() < kMaxRefusalText)
            text.append(bytes, std::min(count, kMaxRefusalText - text.size()));
    }

    // Sends the queued protocol and escaped bytes, waiting at most until the deadline:
    // 1 all sent, 0 not all by the deadline, -1 the connection failed (and is closed).
    int FlushOut(std::int64_t deadlineUsec) {
        if (fd_ < 0) return -1;
        while (!out_.empty()) {
            ssize_t n = ::send(fd_, out_.data(), out_.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
            if (n > 0) {
                out_.erase(0, static_cast<std::size_t>(n));
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR) {
                Close();
                return -1;
            }
            if (!WaitUntil(fd_, POLLOUT, deadlineUsec)) return 0;
        }
        return 1;
    }

    // FlushOut; a server that has not taken the bytes by the deadline does not read.
    bool FlushOutOrGiveUp(std::int64_t deadlineUsec) {
        const int r = FlushOut(deadlineUsec);
        if (r == 0) return GiveUp(LinkFault::DoesNotRead);
        return r == 1;
    }

    // Takes what the socket holds and drops its data: the bytes taken from the socket, 0 when
    // none are there, -1 when the link is lost.
    virtual long DropSome() {
        std::uint8_t drop[4096];
        return TcpTransport::Read(drop, sizeof drop);
    }

    // Drops input until none is there. False when the link is lost, or given up because the
    // server is still sending at the deadline or after maxPurge bytes (protocol bytes count).
    bool DropArrived(std::int64_t deadlineUsec) {
        std::size_t dropped = 0;
        for (;;) {
            const long n = DropSome();
            if (n < 0) return false;
            if (n == 0) return true;
            dropped += static_cast<std::size_t>(n);
            if (dropped > limits_.maxPurge || NowUsec() >= deadlineUsec)
                return GiveUp(LinkFault::SendsWithoutEnd);
        }
    }

    // Input waiting right now.
    bool Readable() const {
        pollfd p{fd_, POLLIN, 0};
        return fd_ >= 0 && ::poll(&p, 1, 0) > 0 && (p.revents & POLLIN) != 0;
    }

    // Closes the link for a fault of the server; false, for the caller to return.
    bool GiveUp(LinkFault fault) {
        fault_ = fault;
        Close();
        return false;
    }

    // The fault that made the protocol start fail, as an open failure.
    OpenFailure FaultOr(OpenFailure otherwise) const {
        if (fault_ == LinkFault::SendsWithoutEnd) return OpenFailure::SendsWithoutEnd;
        if (fault_ == LinkFault::DoesNotRead) return OpenFailure::DoesNotRead;
        return otherwise;
    }

    PortAddress address_;
    Limits limits_;
    int fd_ = -1;
    std::string out_;  // bytes taken but not yet handed to the socket
    LinkFault fault_ = LinkFault::None;

  private:
    bool Connect(OpenFailure& why) {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (::getaddrinfo(address_.host.c_str(), address_.service.c_str(), &hints, &found) != 0 ||
            found == nullptr) {
            why = OpenFailure::UnknownHost;
            return false;
        }
        const std::int64_t start = NowUsec();
        const std::int64_t deadline = start + kConnectUsec;
        why = OpenFailure::NoAnswer;
        for (addrinfo* a = found; a != nullptr && fd_ < 0; a = a->ai_next) {
            int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                              a->ai_protocol);
            if (fd < 0) continue;
            int r = ::connect(fd, a->ai_addr, a->ai_addrlen);
            if (r != 0 && errno == EINPROGRESS) {
                if (WaitUntil(fd, POLLOUT, deadline)) {
                    int err = 0;
                    socklen_t len = sizeof err;
                    ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
                    r = err == 0 ? 0 : -1;
                    errno = err;
                } else {
                    errno = ETIMEDOUT;
                }
            }
            if (r == 0) {
                fd_ = fd;
                break;
            }
            if (errno == ECONNREFUSED) why = OpenFailure::Refused;
            ::close(fd);
        }
        ::freeaddrinfo(found);
        // The handshake took about one round trip: a refusal arrives within a few of them.
        connectUsec_ = NowUsec() - start;
        return fd_ >= 0;
    }

    bool Start(OpenFailure& why) {
        if (fd_ < 0) {
            why = OpenFailure::Other;
            return false;
        }
        // Commands are short and waited for: no Nagle delay; keep-alive notices a dead server.
        int on = 1;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        ::setsockopt(fd_, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
        if (!Started(why) || !Settled(why)) {
            Close();
            return false;
        }
        why = OpenFailure::None;
        return true;
    }

    // A server that refuses a connection says why in a line of text and hangs up at once
    // (ser2net: "Port's device already in use"): a new connection is watched that long before
    // it is taken, so that text is never read as a reply. What else comes unasked is stale:
    // the purge before each command drops it.
    bool Settled(OpenFailure& why) {
        const std::int64_t deadline = NowUsec() + limits_.settleUsec + 2 * connectUsec_;
        std::string said;
        while (NowUsec() < deadline && WaitUntil(fd_, POLLIN, deadline)) {
            if (TakeText(said) < 0) {
                why = FaultOr(SaysInUse(said) ? OpenFailure::PortInUse
                                              : OpenFailure::ServerClosed);
                return false;
            }
        }
        return true;
    }

    int adopted_ = -1;  // a connected socket handed over, until Open takes it
    std::int64_t connectUsec_ = 0;
};

// ---- telnet with COM-PORT-OPTION ----

class Rfc2217Transport : public TcpTransport {
  public:
    using TcpTransport::TcpTransport;

    long Read(std::uint8_t* buffer, std::size_t capacity) override {
        // A link given up for a fault hands out nothing it decoded before.
        if (fault_ != LinkFault::None) return -1;
        if (data_.empty()) {
            long r = Receive();
            if (r < 0) return -1;
        }
        const std::size_t n = std::min(capacity, data_.size());
        std::copy_n(data_.begin(), n, buffer);
        data_.erase(0, n);
        return static_cast<long>(n);
    }

    long Write(const std::uint8_t* data, std::size_t count) override {
        // Escaped bytes still queued go first; new data is taken only behind them.
        const int before = FlushOut(NowUsec());
        if (before <= 0) return before;
        const std::size_t take = std::min<std::size_t>(count, 1024);
        session_.Encode(data, take, out_);
        if (FlushOut(NowUsec()) < 0) return -1;
        return static_cast<long>(take);
    }

    bool Purge(std::int64_t deadlineUsec) override {
        data_.clear();
        if (!DropArrived(deadlineUsec)) return false;
        if (!session_.ComPortAccepted()) return true;
        const unsigned confirmed = session_.PurgesAnswered() + 1;
        out_ += session_.PurgeInput();
        if (!FlushOutOrGiveUp(deadlineUsec)) return false;
        // The server may purge after the next command has reached the device, dropping its
        // reply: wait for the confirmation. Whatever came before it is stale.
        while (purgesConfirmed_ && session_.PurgesAnswered() < confirmed) {
            if (!AwaitInput(deadlineUsec)) {
                if (fault_ != LinkFault::None) return false;
                purgesConfirmed_ = false;  // a server that does not confirm is not waited for
                break;
            }
            if (Receive() < 0) return false;
        }
        data_.clear();
        return true;
    }

    bool Apply(const LineSettings& s) override {
        if (!session_.ComPortAccepted()) return true;
        out_ += session_.SetLine(s);
        const std::int64_t deadline = NowUsec() + limits_.answerUsec;
        if (!FlushOutOrGiveUp(deadline)) return false;
        // The server answers each setting with the value it now uses.
        while (!session_.LineAnswered()) {
            if (!AwaitInput(deadline)) return false;
            if (Receive() < 0) return false;
        }
        return session_.BaudTaken();
    }

    bool SettingsReachDevice() const override { return session_.ComPortAccepted(); }

  protected:
    bool Started(OpenFailure& why) override {
        session_ = telnet::Session();
        data_.clear();
        purgesConfirmed_ = true;
        out_ = session_.Start();
        const std::int64_t deadline = NowUsec() + limits_.answerUsec;
        if (!FlushOutOrGiveUp(deadline)) {
            why = FaultOr(OpenFailure::Other);
            return false;
        }
        while (!session_.Negotiated()) {
            if (!AwaitInput(deadline)) {
                if (fault_ == LinkFault::None) return true;  // a server without the options
                why = FaultOr(OpenFailure::Other);
                return false;
            }
            if (Receive() < 0) {
                // A server whose port is held by another client says so in text, then hangs up.
                why = FaultOr(SaysInUse(data_) ? OpenFailure::PortInUse
                                               : OpenFailure::ServerClosed);
                return false;
            }
        }
        return true;
    }

    long DropSome() override {
        const long n = Receive();
        data_.clear();
        return n;
    }

    long TakeText(std::string& text) override {
        const long n = Receive();
        KeepText(text, data_.data(), data_.size());
        data_.clear();
        return n;
    }

  private:
    // Waits for input until the deadline. False at the deadline; if the server is still
    // sending then, it sends without end and the link is given up.
    bool AwaitInput(std::int64_t deadlineUsec) {
        if (NowUsec() >= deadlineUsec) {
            if (Readable()) GiveUp(LinkFault::SendsWithoutEnd);
            return false;
        }
        return WaitUntil(fd_, POLLIN, deadlineUsec);
    }

    // Reads what the socket has, decodes it and sends the answers it asks for, without
    // waiting. -1: lost, and the connection is closed; also when the answers owed pile up
    // because the server does not read them.
    long Receive() {
        std::uint8_t raw[512];
        long n = TcpTransport::Read(raw, sizeof raw);
        if (n < 0) Close();
        if (n <= 0) return n;
        std::string reply;
        session_.Receive(raw, static_cast<std::size_t>(n), data_, reply);
        // Unread data beyond the cap is stale: the oldest goes.
        if (data_.size() > limits_.maxPending) data_.erase(0, data_.size() - limits_.maxPending);
        if (!reply.empty()) {
            out_ += reply;
            if (FlushOut(NowUsec()) < 0) return -1;
            if (out_.size() > limits_.maxOut) {
                GiveUp(LinkFault::DoesNotRead);
                return -1;
            }
        }
        return n;
    }

    telnet::Session session_;
    std::string data_;  // decoded data not yet read
    bool purgesConfirmed_ = true;
};

bool StartsWith(const std::string& s, const char* prefix, std::size_t& rest) {
    std::string p(prefix);
    if (s.size() < p.size()) return false;
    for (std::size_t k = 0; k < p.size(); ++k)
        if (std::tolower(static_cast<unsigned char>(s[k])) != p[k]) return false;
    rest = p.size();
    return true;
}

}  // namespace

bool ParsePortName(const std::string& name, PortAddress& address) {
    std::size_t at = 0;
    if (StartsWith(name, "tcp://", at)) {
        address.scheme = Scheme::RawTcp;
    } else if (StartsWith(name, "rfc2217://", at)) {
        address.scheme = Scheme::Rfc2217;
    } else {
        address = {};
        return true;
    }
    std::string hostPort = name.substr(at);
    if (!hostPort.empty() && hostPort.back() == '/') hostPort.pop_back();
    std::size_t colon;
    if (!hostPort.empty() && hostPort[0] == '[') {
        const std::size_t close = hostPort.find(']');
        if (close == std::string::npos || close + 1 >= hostPort.size() ||
            hostPort[close + 1] != ':')
            return false;
        address.host = hostPort.substr(1, close - 1);
        colon = close + 1;
    } else {
        colon = hostPort.rfind(':');
        if (colon == std::string::npos) return false;
        address.host = hostPort.substr(0, colon);
        if (address.host.find(':') != std::string::npos) return false;
    }
    address.service = hostPort.substr(colon + 1);
    if (address.host.empty() || address.service.empty() || address.service.size() > 5) return false;
    long port = 0;
    for (char c : address.service) {
        if (c < '0' || c > '9') return false;
        port = port * 10 + (c - '0');
    }
    return port >= 1 && port <= 65535;
}

bool IsNetworkPortName(const std::string& name) {
    std::size_t at;
    return StartsWith(name, "tcp://", at) || StartsWith(name, "rfc2217://", at);
}

std::unique_ptr<Transport> MakeTransport(const std::string& name) {
    PortAddress address;
    if (!ParsePortName(name, address)) return nullptr;
    switch (address.scheme) {
        case Scheme::RawTcp:
            return std::make_unique<TcpTransport>(std::move(address), Limits{});
        case Scheme::Rfc2217:
            return std::make_unique<Rfc2217Transport>(std::move(address), Limits{});
        case Scheme::Device:
            break;
    }
    return std::make_unique<TtyTransport>(name);
}

std::unique_ptr<Transport> AdoptConnection(Scheme scheme, int fd, const Limits& limits) {
    switch (scheme) {
        case Scheme::RawTcp:
            return std::make_unique<TcpTransport>(fd, limits);
        case Scheme::Rfc2217:
            return std::make_unique<Rfc2217Transport>(fd, limits);
        case Scheme::Device:
            break;
    }
    ::close(fd);
    return nullptr;
}

}  // namespace odel::link

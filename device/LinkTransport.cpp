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

    bool Purge() override { return ::tcflush(fd_, TCIFLUSH) == 0; }

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
// How long negotiation and setting answers are waited for.
constexpr std::int64_t kAnswerUsec = 2'000'000;
constexpr std::int64_t kPurgeAnswerUsec = 500'000;

class TcpTransport : public Transport {
  public:
    explicit TcpTransport(PortAddress address) : address_(std::move(address)) {}
    ~TcpTransport() override { Close(); }

    bool Open(OpenFailure& why) override {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (::getaddrinfo(address_.host.c_str(), address_.service.c_str(), &hints, &found) != 0 ||
            found == nullptr) {
            why = OpenFailure::UnknownHost;
            return false;
        }
        const std::int64_t deadline = NowUsec() + kConnectUsec;
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
        if (fd_ < 0) return false;
        // Commands are short and waited for: no Nagle delay; keep-alive notices a dead server.
        int on = 1;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        ::setsockopt(fd_, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
        if (!Started()) {
            why = OpenFailure::Other;
            Close();
            return false;
        }
        why = OpenFailure::None;
        return true;
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
        if (FlushOut(deadlineUsec) != 1) return false;
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

    bool Purge() override {
        std::uint8_t drop[256];
        while (Read(drop, sizeof drop) > 0) {
        }
        return true;
    }

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

  protected:
    // Protocol set-up once connected.
    virtual bool Started() { return true; }

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

    PortAddress address_;
    int fd_ = -1;
    std::string out_;  // bytes taken but not yet handed to the socket
};

// ---- telnet with COM-PORT-OPTION ----

class Rfc2217Transport : public TcpTransport {
  public:
    using TcpTransport::TcpTransport;

    long Read(std::uint8_t* buffer, std::size_t capacity) override {
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

    bool Purge() override {
        data_.clear();
        std::uint8_t drop[256];
        while (Read(drop, sizeof drop) > 0) {
        }
        data_.clear();
        if (!session_.ComPortAccepted()) return true;
        const unsigned confirmed = session_.PurgesAnswered() + 1;
        out_ += session_.PurgeInput();
        if (FlushOut(NowUsec() + kAnswerUsec) != 1) return false;
        // The server may purge after the next command has reached the device, dropping its
        // reply: wait for the confirmation. Whatever came before it is stale.
        const std::int64_t deadline = NowUsec() + kPurgeAnswerUsec;
        while (purgesConfirmed_ && session_.PurgesAnswered() < confirmed) {
            if (!WaitUntil(fd_, POLLIN, deadline)) {
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
        const std::int64_t deadline = NowUsec() + kAnswerUsec;
        if (FlushOut(deadline) != 1) return false;
        // The server answers each setting with the value it now uses.
        while (!session_.LineAnswered()) {
            if (!WaitUntil(fd_, POLLIN, deadline)) return false;
            if (Receive() < 0) return false;
        }
        return session_.BaudTaken();
    }

    bool SettingsReachDevice() const override { return session_.ComPortAccepted(); }

  protected:
    bool Started() override {
        session_ = telnet::Session();
        data_.clear();
        purgesConfirmed_ = true;
        out_ = session_.Start();
        const std::int64_t deadline = NowUsec() + kAnswerUsec;
        if (FlushOut(deadline) != 1) return false;
        while (!session_.Negotiated()) {
            // A server that never answers is taken as one without the options.
            if (!WaitUntil(fd_, POLLIN, deadline)) return true;
            if (Receive() < 0) return false;
        }
        return true;
    }

  private:
    // Reads what the socket has, decodes it and sends the answers it asks for. -1: lost, and
    // the connection is closed (a server whose device is busy says so in text, then hangs up).
    long Receive() {
        std::uint8_t raw[512];
        long n = TcpTransport::Read(raw, sizeof raw);
        if (n < 0) Close();
        if (n <= 0) return n;
        std::string reply;
        session_.Receive(raw, static_cast<std::size_t>(n), data_, reply);
        if (!reply.empty()) {
            out_ += reply;
            FlushOut(NowUsec() + kAnswerUsec);
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
            return std::make_unique<TcpTransport>(std::move(address));
        case Scheme::Rfc2217:
            return std::make_unique<Rfc2217Transport>(std::move(address));
        case Scheme::Device:
            break;
    }
    return std::make_unique<TtyTransport>(name);
}

}  // namespace odel::link

// A TCP server on 127.0.0.1 that misbehaves as told: each connection runs `serve` in its own
// thread (flooding, not reading, refusing with text), until the server goes away.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <functional>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

namespace odel::test {

inline std::string B(std::initializer_list<int> list) {
    std::string s;
    for (int b : list) s.push_back(static_cast<char>(b));
    return s;
}

// A device server's telnet start: it takes binary mode and the port options both ways.
inline const std::string kTelnetAgree = B({255, 253, 0, 255, 253, 44, 255, 251, 0, 255, 251, 3});
// Its answers to the port settings 9600 baud, 8 data bits, no parity, one stop bit.
inline const std::string kTelnetTaken9600 = B({255, 250, 44, 101, 0, 0, 0x25, 0x80, 255, 240,
                                               255, 250, 44, 102, 8, 255, 240, 255, 250, 44, 103,
                                               1, 255, 240, 255, 250, 44, 104, 1, 255, 240});

class HostileServer {
  public:
    using Serve = std::function<void(int fd, const std::atomic<bool>& stop)>;
    explicit HostileServer(Serve serve, int receiveBuffer = 0) : serve_(std::move(serve)) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (receiveBuffer > 0)
            ::setsockopt(listener_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(listener_, 8);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { Accept(); });
    }
    ~HostileServer() {
        stop_ = true;
        thread_.join();
        ::close(listener_);
    }
    std::string url(const char* scheme) const {
        return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_);
    }
    int connections() const { return connections_; }

    static void Send(int fd, const std::string& bytes) {
        if (::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) < 0) return;
    }
    // Sends bytes, as many as the socket takes, until stopped; false when the peer went.
    // A flood that begins with "IAC SB" is one subnegotiation that never ends.
    static bool Flood(int fd, const std::string& unit, const std::atomic<bool>& stop) {
        std::string chunk;
        if (unit.compare(0, 2, B({255, 250})) == 0) {
            Send(fd, unit);
            return Flood(fd, "x", stop);
        }
        while (chunk.size() < 16384) chunk += unit;
        while (!stop) {
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, 10) != 1) continue;
            if (p.revents & (POLLERR | POLLHUP)) return false;
            if (::send(fd, chunk.data(), chunk.size(), MSG_DONTWAIT | MSG_NOSIGNAL) < 0 &&
                errno != EAGAIN)
                return false;
        }
        return true;
    }
    // Reads until `text` has arrived; false when the peer went or the server stops.
    static bool Await(int fd, const std::string& text, const std::atomic<bool>& stop) {
        std::string got;
        while (!stop && got.find(text) == std::string::npos) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 10) != 1) continue;
            char buffer[512];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0) return false;
            got.append(buffer, static_cast<std::size_t>(n));
        }
        return !stop;
    }

  private:
    void Accept() {
        std::vector<std::thread> clients;
        while (!stop_) {
            pollfd p{listener_, POLLIN, 0};
            if (::poll(&p, 1, 10) != 1) continue;
            const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            ++connections_;
            clients.emplace_back([this, fd] {
                serve_(fd, stop_);
                ::close(fd);
            });
        }
        for (auto& t : clients) t.join();
    }

    Serve serve_;
    int listener_ = -1, port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    std::thread thread_;
};

}  // namespace odel::test

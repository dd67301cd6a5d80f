// A bare termios port on the simulator's pseudo-terminal: writes bytes, reads what comes back.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace odel::test {

class RawLink {
  public:
    explicit RawLink(const std::string& path, speed_t speed = B9600) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY);
        if (fd_ < 0) return;
        termios t{};
        tcgetattr(fd_, &t);
        cfmakeraw(&t);
        setSpeed(speed, t);
    }
    ~RawLink() {
        if (fd_ >= 0) ::close(fd_);
    }
    RawLink(const RawLink&) = delete;
    RawLink& operator=(const RawLink&) = delete;

    bool ok() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    void setSpeed(speed_t speed) {
        termios t{};
        tcgetattr(fd_, &t);
        setSpeed(speed, t);
    }

    // Writes the bytes and reads until a CR arrives (stopAtCr), `want` bytes arrived, or nothing
    // more came for idleMs.
    std::string exchange(const std::string& bytes, bool stopAtCr = true, std::size_t want = 0,
                         int idleMs = 150) {
        tcflush(fd_, TCIFLUSH);
        if (::write(fd_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            return "<write failed>";
        return read(stopAtCr, want, idleMs);
    }

    std::string read(bool stopAtCr = true, std::size_t want = 0, int idleMs = 150) {
        std::string out;
        for (;;) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, idleMs) <= 0) return out;
            char c;
            if (::read(fd_, &c, 1) != 1) return out;
            out += c;
            if (stopAtCr && c == '\r') return out;
            if (want && out.size() >= want) return out;
        }
    }

  private:
    void setSpeed(speed_t speed, termios& t) {
        cfsetispeed(&t, speed);
        cfsetospeed(&t, speed);
        tcsetattr(fd_, TCSANOW, &t);
    }
    int fd_ = -1;
};

// "$012" -> "$012B7" (sum of the character codes mod 256, two upper-case hex digits).
inline std::string withChecksum(const std::string& text) {
    int sum = 0;
    for (unsigned char c : text) sum += c;
    static const char* d = "0123456789ABCDEF";
    return text + d[(sum >> 4) & 0xF] + d[sum & 0xF];
}

inline std::string modbusFrame(std::string body) {
    unsigned crc = 0xFFFF;
    for (unsigned char c : body) {
        crc ^= c;
        for (int b = 0; b < 8; ++b) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    body += static_cast<char>(crc & 0xFF);
    body += static_cast<char>(crc >> 8);
    return body;
}

inline std::string bytes(std::initializer_list<int> list) {
    std::string s;
    for (int b : list) s += static_cast<char>(b);
    return s;
}

}  // namespace odel::test

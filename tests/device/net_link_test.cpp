// SerialPort over TCP against scripted servers on 127.0.0.1: the bytes on the wire of a raw and
// an RFC 2217 link, open failures, a dropped connection.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "device/SerialPort.h"

namespace {

std::string B(std::initializer_list<int> list) {
    std::string s;
    for (int b : list) s.push_back(static_cast<char>(b));
    return s;
}

int Listen(int backlog, int& port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, backlog) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(a.sin_port);
    return fd;
}

// One client at a time; each step waits for its trigger in what arrived since the last step,
// then sends its answer. After the last step the connection stays open (or is closed).
class TcpPeer {
  public:
    struct Step {
        std::string trigger;
        std::string answer;
    };
    explicit TcpPeer(std::vector<Step> steps, bool hangUpAtEnd = false)
        : steps_(std::move(steps)), hangUp_(hangUpAtEnd) {
        listener_ = Listen(4, port_);
        thread_ = std::thread([this] { Serve(); });
    }
    ~TcpPeer() {
        stop_ = true;
        thread_.join();
        if (listener_ >= 0) ::close(listener_);
    }
    std::string url(const char* scheme) const {
        return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_);
    }
    std::string received() {
        std::lock_guard<std::mutex> lock(mutex_);
        return received_;
    }
    // No more connections: the next connect is refused.
    void closeListener() {
        std::lock_guard<std::mutex> lock(mutex_);
        ::close(listener_);
        listener_ = -1;
    }

  private:
    void Serve() {
        int client = -1;
        while (!stop_ && client < 0) {
            pollfd p{listener_, POLLIN, 0};
            if (::poll(&p, 1, 10) == 1) client = ::accept(listener_, nullptr, nullptr);
        }
        std::size_t step = 0, from = 0;
        while (!stop_ && client >= 0) {
            pollfd p{client, POLLIN, 0};
            if (::poll(&p, 1, 10) != 1) continue;
            char buffer[512];
            ssize_t n = ::read(client, buffer, sizeof buffer);
            if (n <= 0) break;
            std::lock_guard<std::mutex> lock(mutex_);
            received_.append(buffer, static_cast<std::size_t>(n));
            while (step < steps_.size()) {
                const auto at = received_.find(steps_[step].trigger, from);
                if (at == std::string::npos) break;
                from = at + steps_[step].trigger.size();
                const std::string& a = steps_[step].answer;
                if (!a.empty() && ::write(client, a.data(), a.size()) < 0) break;
                ++step;
            }
            if (hangUp_ && step == steps_.size()) break;
        }
        if (client >= 0) ::close(client);
    }

    std::vector<Step> steps_;
    bool hangUp_;
    int listener_ = -1, port_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::string received_;
    std::thread thread_;
};

const std::string kOffer = B({255, 251, 0, 255, 251, 44, 255, 253, 0, 255, 253, 3});
// The server agrees, and offers echo, which must be refused.
const std::string kAgree = B({255, 253, 0, 255, 253, 44, 255, 251, 0, 255, 251, 3, 255, 251, 1});
const std::string kSetLine19200 = B({255, 250, 44, 1, 0, 0, 0x4B, 0x00, 255, 240, 255, 250, 44, 2,
                                     8, 255, 240, 255, 250, 44, 3, 1, 255, 240, 255, 250, 44, 4, 1,
                                     255, 240});
const std::string kAnswer19200 = B({255, 250, 44, 101, 0, 0, 0x4B, 0x00, 255, 240, 255, 250, 44,
                                    102, 8, 255, 240, 255, 250, 44, 103, 1, 255, 240, 255, 250, 44,
                                    104, 1, 255, 240});
const std::string kPurge = B({255, 250, 44, 12, 1, 255, 240});

TEST(NetLink, Rfc2217NegotiatesSetsTheLineAndEscapesBothWays) {
    TcpPeer peer({{kOffer, kAgree},
                  {kSetLine19200, kAnswer19200},
                  {kPurge, B({255, 250, 44, 112, 1, 255, 240})},
                  {"$01M\r", "!01" + B({255, 255}) + "\r"},
                  {B({0x01, 0xFF, 0xFF, 0x0D}), B({0xFF, 0xFF, 0x00, 255, 241, 0x7F})}});
    odel::SerialPort link(peer.url("rfc2217"));
    ASSERT_TRUE(link.Open());
    EXPECT_TRUE(link.LineSettingsReachDevice());
    ASSERT_TRUE(link.SetLineSettings(19200, 8, 0, 0));
    ASSERT_TRUE(link.SetTimeout(200));
    std::string command = "$01M\r", reply;
    ASSERT_TRUE(link.Transact(command, 64, &reply));
    EXPECT_EQ(reply, "!01" + B({255}) + "\r");
    const std::uint8_t frame[] = {0x01, 0xFF, 0x0D};
    ASSERT_TRUE(link.WriteBytes(3, frame));
    std::uint8_t answer[3] = {};
    ASSERT_TRUE(link.ReadBytes(3, answer));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(answer), 3), B({0xFF, 0x00, 0x7F}));
    EXPECT_EQ(peer.received(), kOffer + B({255, 254, 1}) + kSetLine19200 + kPurge + "$01M\r" +
                                   B({0x01, 0xFF, 0xFF, 0x0D}));
}

TEST(NetLink, RawTcpCarriesBytesAsTheyAreAndOnlyRecordsLineSettings) {
    TcpPeer peer(std::vector<TcpPeer::Step>{{"$012\r", "!01080600\r"}});
    odel::SerialPort link(peer.url("tcp"));
    ASSERT_TRUE(link.Open());
    int notices = 0;
    link.SetLineSettingsNotice([&] { ++notices; });
    EXPECT_FALSE(link.LineSettingsReachDevice());
    ASSERT_TRUE(link.SetLineSettings(9600, 8, 0, 0));
    EXPECT_EQ(notices, 0) << "the first settings of a link are no change";
    ASSERT_TRUE(link.SetLineSettings(19200, 8, 0, 0));
    ASSERT_TRUE(link.SetLineSettings(19200, 8, 0, 0));
    EXPECT_EQ(notices, 1);
    EXPECT_FALSE(link.SetLineSettings(14400, 8, 0, 0));
    ASSERT_TRUE(link.SetTimeout(200));
    std::string command = "$012\r", reply;
    ASSERT_TRUE(link.Transact(command, 64, &reply));
    EXPECT_EQ(reply, "!01080600\r");
    EXPECT_EQ(peer.received(), "$012\r");
}

TEST(NetLink, ADroppedConnectionFailsTheNextCommandAndClosesTheLink) {
    TcpPeer peer(std::vector<TcpPeer::Step>{{"$012\r", "!01080600\r"}}, true);
    odel::SerialPort link(peer.url("tcp"));
    ASSERT_TRUE(link.Open());
    ASSERT_TRUE(link.SetLineSettings(9600, 8, 0, 0));
    ASSERT_TRUE(link.SetTimeout(80));
    std::string command = "$012\r", reply;
    ASSERT_TRUE(link.Transact(command, 64, &reply));
    peer.closeListener();
    const auto start = std::chrono::steady_clock::now();
    for (int k = 0; k < 3 && link.IsOpen(); ++k) {
        command = "$012\r";
        reply.clear();
        EXPECT_FALSE(link.Transact(command, 64, &reply));
    }
    EXPECT_FALSE(link.IsOpen()) << "reconnecting was refused";
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_FALSE(link.Open());
    EXPECT_EQ(link.LastOpenError(), odel::SerialPort::OpenError::Refused);
}

TEST(NetLink, AHostThatDoesNotAnswerFailsTheOpenWithinSeconds) {
    // A full accept queue: the kernel drops further connection requests unanswered.
    int port = 0;
    int listener = Listen(0, port);
    ASSERT_GE(listener, 0);
    std::vector<int> waiting;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    for (int k = 0; k < 2; ++k) {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        waiting.push_back(fd);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    odel::SerialPort link("tcp://127.0.0.1:" + std::to_string(port));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(link.Open());
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(link.LastOpenError(), odel::SerialPort::OpenError::NoAnswer);
    EXPECT_GT(took, std::chrono::milliseconds(2500));
    EXPECT_LT(took, std::chrono::milliseconds(4000));
    for (int fd : waiting) ::close(fd);
    ::close(listener);
}

TEST(NetLink, MalformedAndUnknownHostsAreNamedOpenErrors) {
    odel::SerialPort bad("rfc2217://127.0.0.1:99999");
    EXPECT_FALSE(bad.Open());
    EXPECT_EQ(bad.LastOpenError(), odel::SerialPort::OpenError::BadName);
    odel::SerialPort unknown("tcp://no-such-host.invalid:4001");
    EXPECT_FALSE(unknown.Open());
    EXPECT_EQ(unknown.LastOpenError(), odel::SerialPort::OpenError::UnknownHost);
}

}  // namespace

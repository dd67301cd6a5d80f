// The telnet session of rfc2217:// links on whatever a server may send, in chunks as they come:
// data never grows beyond what arrived, answers stay bounded, and what we encode decodes back
// to the same bytes, in binary mode and outside it. Inputs whose first byte has its top bit set
// drive a whole transport (raw or telnet) over a socket pair instead, the rest of the input
// being what the server sends, once or without end, and whether it reads or hangs up: every
// operation must end by its deadline, and a link given up for a fault stays closed.
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>

#include "device/LinkTransport.h"
#include "device/Telnet.h"

namespace {

using odel::link::LinkFault;
using odel::link::NowUsec;

std::string Feed(odel::telnet::Session& s, const std::string& bytes) {
    std::string data, reply;
    s.Receive(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), data, reply);
    return data;
}

void Session(const std::uint8_t* data, std::size_t size) {
    odel::telnet::Session s;
    s.Start();
    // The first byte splits the rest into chunks of 1..16 bytes.
    const std::size_t chunk = data[0] % 16 + 1;
    std::string got;
    for (std::size_t k = 1; k < size; k += chunk) {
        const std::size_t n = std::min(chunk, size - k);
        std::string reply;
        s.Receive(data + k, n, got, reply);
        if (reply.size() > n + 2) std::abort();  // at most one answer per negotiation
        if (s.LineAnswered()) s.SetLine({9600, 8, 0, 0});
    }
    if (got.size() > size) std::abort();

    for (const bool binary : {true, false}) {
        const std::string agree = binary ? std::string("\xFF\xFD\x00\xFF\xFB\x00", 6)
                                         : std::string("\xFF\xFE\x00\xFF\xFC\x00", 6);
        odel::telnet::Session sender, receiver;
        sender.Start();
        receiver.Start();
        Feed(sender, agree);
        Feed(receiver, agree);
        std::string wire;
        sender.Encode(reinterpret_cast<const std::uint8_t*>(got.data()), got.size(), wire);
        if (Feed(receiver, wire) != got) std::abort();
    }
}

// Every operation's own deadline is a few milliseconds; far beyond that is a loop without end.
constexpr std::int64_t kStepUsec = 5'000;
constexpr std::int64_t kOverdueUsec = 2'000'000;

template <typename F>
auto Bounded(F step) {
    const std::int64_t start = NowUsec();
    auto result = step();
    if (NowUsec() - start > kOverdueUsec) std::abort();
    return result;
}

void Transport(const std::uint8_t* data, std::size_t size) {
    const std::uint8_t mode = data[0];
    const bool telnet = mode & 1, flood = mode & 2, hangUp = mode & 4, reads = mode & 8;
    const std::string sent(reinterpret_cast<const char*>(data + 1), size - 1);
    int sv[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) != 0) return;
    const int small = 4096;  // a server that does not read fills this at once
    ::setsockopt(sv[0], SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    ::setsockopt(sv[1], SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    std::atomic<bool> stop{false};
    std::thread server([&] {
        std::size_t at = 0;
        while (!stop) {
            if (at < sent.size()) {
                const ssize_t n = ::send(sv[1], sent.data() + at, sent.size() - at,
                                         MSG_DONTWAIT | MSG_NOSIGNAL);
                if (n > 0) at += static_cast<std::size_t>(n);
            } else if (flood && !sent.empty()) {
                at = 0;
            } else if (hangUp) {
                ::shutdown(sv[1], SHUT_RDWR);
                return;
            }
            if (reads) {
                char drop[4096];
                while (::recv(sv[1], drop, sizeof drop, MSG_DONTWAIT) > 0) {
                }
            }
            std::this_thread::yield();
        }
    });

    odel::link::Limits limits;
    limits.answerUsec = kStepUsec;
    limits.settleUsec = 1'000;
    limits.inUseRetryUsec = 0;
    limits.maxPending = 4096;
    limits.maxOut = 4096;
    limits.maxPurge = 64 * 1024;
    auto link = odel::link::AdoptConnection(
        telnet ? odel::link::Scheme::Rfc2217 : odel::link::Scheme::RawTcp, sv[0], limits);
    odel::link::OpenFailure why = odel::link::OpenFailure::None;
    if (Bounded([&] { return link->Open(why); })) {
        Bounded([&] { return link->Apply({9600, 8, 0, 0}); });
        for (int round = 0; round < 3 && link->Fd() >= 0; ++round) {
            Bounded([&] { return link->Purge(NowUsec() + kStepUsec); });
            const std::uint8_t command[] = {'$', '0', '1', 'M', '\r', 0xFF};
            Bounded([&] { return link->Write(command, sizeof command); });
            Bounded([&] { return link->Drain(NowUsec() + kStepUsec); });
            std::uint8_t reply[64];
            for (int k = 0; k < 8; ++k) {
                const long n = Bounded([&] { return link->Read(reply, sizeof reply); });
                if (n > static_cast<long>(sizeof reply)) std::abort();
                if (n < 0) break;
            }
        }
        // A link given up for a fault is closed, and stays so.
        if (link->Fault() != LinkFault::None) {
            std::uint8_t byte;
            if (link->Fd() >= 0 || link->Read(&byte, 1) != -1) std::abort();
        }
    } else if (link->Fd() >= 0) {
        std::abort();
    }
    stop = true;
    server.join();
    link.reset();
    ::close(sv[1]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    if (data[0] & 0x80)
        Transport(data, size);
    else
        Session(data, size);
    return 0;
}

// Host overhead of one ASCII transaction on a pseudo-terminal whose peer answers at once, and
// the same over loopback TCP to a server that answers at once (raw, and telnet with
// COM-PORT-OPTION).
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "common/ScriptedPeer.h"
#include "device/BusMonitor.h"
#include "device/SerialPort.h"

namespace {

// The measured loop: "$012" and its reply, failures counted.
void RunTransactions(benchmark::State& state, odel::SerialPort& link) {
    std::int64_t failures = 0;
    for (auto _ : state) {
        std::string command = "$012\r";
        std::string reply;
        if (!link.Transact(command, 64, &reply)) ++failures;
        benchmark::DoNotOptimize(reply);
    }
    state.counters["failures"] = static_cast<double>(failures);
}

void BM_Transact(benchmark::State& state) {
    odel::test::ScriptedPeer peer;
    if (!peer.ok()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    const bool checksum = state.range(0) != 0;
    peer.setHandler([checksum](const std::string&) -> std::optional<std::string> {
        return std::string(checksum ? "!01400600AC\r" : "!01400600\r");
    });
    odel::SerialPort link(peer.path());
    if (!link.Open() || !link.SetLineSettings(9600, 8, 0, 0) || !link.SetTimeout(80)) {
        state.SkipWithError("cannot open the link");
        return;
    }
    link.SetChecksum(checksum ? 1 : 0);
    RunTransactions(state, link);
}

// The same transaction with the bus monitor observing (Arg 1) or not (Arg 0), and each
// exchange decoded into its row as the window would show it.
void BM_TransactMonitored(benchmark::State& state) {
    odel::test::ScriptedPeer peer;
    if (!peer.ok()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    peer.setHandler([](const std::string&) -> std::optional<std::string> {
        return std::string("!01400600\r");
    });
    odel::SerialPort link(peer.path());
    if (!link.Open() || !link.SetLineSettings(9600, 8, 0, 0) || !link.SetTimeout(80)) {
        state.SkipWithError("cannot open the link");
        return;
    }
    const bool observed = state.range(0) != 0;
    odel::bus::BusMonitor monitor;
    if (observed) monitor.Attach(&link);
    std::int64_t failures = 0;
    for (auto _ : state) {
        std::string command = "$012\r";
        std::string reply;
        if (!link.Transact(command, 64, &reply)) ++failures;
        if (observed) {
            odel::bus::Row row = odel::bus::Decode(monitor.Exchanges().back(), 0);
            benchmark::DoNotOptimize(row);
        }
    }
    state.counters["failures"] = static_cast<double>(failures);
}

// Observer and decoder alone on a recorded exchange, without the line.
void BM_ObserveAndDecode(benchmark::State& state) {
    odel::bus::BusMonitor monitor;
    const std::uint8_t cmd[] = "$012\r";
    const std::uint8_t rep[] = "!01400600\r";
    std::int64_t t = 0;
    for (auto _ : state) {
        monitor.BytesWritten(cmd, 5, t);
        for (int k = 0; k < 10; ++k) monitor.BytesRead(rep + k, 1, t + 100 + k);
        odel::bus::Row row = odel::bus::Decode(monitor.Exchanges().back(), t);
        benchmark::DoNotOptimize(row);
        t += 1000;
    }
}

// Answers every CR-terminated line with one reply; in telnet mode also agrees to every option
// and confirms every COM-PORT-OPTION setting and purge with the value asked for.
class LoopbackServer {
  public:
    explicit LoopbackServer(bool telnet) : telnet_(telnet) {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(listener_, 1);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~LoopbackServer() {
        stop_ = true;
        thread_.join();
        ::close(listener_);
    }
    std::string url() const {
        return std::string(telnet_ ? "rfc2217" : "tcp") + "://127.0.0.1:" + std::to_string(port_);
    }

  private:
    void Serve() {
        int c = -1;
        while (!stop_ && c < 0) {
            pollfd p{listener_, POLLIN, 0};
            if (::poll(&p, 1, 10) == 1) c = ::accept(listener_, nullptr, nullptr);
        }
        int on = 1;
        ::setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        std::string in;
        while (!stop_) {
            pollfd p{c, POLLIN, 0};
            if (::poll(&p, 1, 10) != 1) continue;
            char buf[512];
            ssize_t n = ::read(c, buf, sizeof buf);
            if (n <= 0) break;
            in.append(buf, static_cast<std::size_t>(n));
            std::string out;
            std::size_t k = 0;
            while (k < in.size()) {
                const auto b = static_cast<unsigned char>(in[k]);
                if (telnet_ && b == 255) {
                    if (k + 2 >= in.size()) break;
                    const auto verb = static_cast<unsigned char>(in[k + 1]);
                    if (verb == 251 || verb == 253) {  // WILL/DO: agreed
                        out += {'\xFF', static_cast<char>(verb == 251 ? 253 : 251), in[k + 2]};
                        k += 3;
                        continue;
                    }
                    const auto end = in.find("\xFF\xF0", k);
                    if (verb != 250 || end == std::string::npos) break;
                    std::string sub = in.substr(k, end + 2 - k);
                    sub[3] = static_cast<char>(static_cast<unsigned char>(sub[3]) + 100);
                    out += sub;
                    k = end + 2;
                    continue;
                }
                const auto cr = in.find('\r', k);
                if (cr == std::string::npos) break;
                out += "!01400600\r";
                k = cr + 1;
            }
            in.erase(0, k);
            if (!out.empty() && ::write(c, out.data(), out.size()) < 0) break;
        }
        if (c >= 0) ::close(c);
    }

    bool telnet_;
    int listener_ = -1, port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Arg 0 raw TCP, Arg 1 RFC 2217; compare with BM_Transact/0 on the pseudo-terminal.
void BM_TransactTcp(benchmark::State& state) {
    LoopbackServer server(state.range(0) != 0);
    odel::SerialPort link(server.url());
    if (!link.Open() || !link.SetLineSettings(9600, 8, 0, 0) || !link.SetTimeout(80)) {
        state.SkipWithError("cannot open the link");
        return;
    }
    RunTransactions(state, link);
}

}  // namespace

BENCHMARK(BM_TransactTcp)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_TransactMonitored)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_ObserveAndDecode)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Transact)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime();

BENCHMARK_MAIN();

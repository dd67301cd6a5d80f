// odelctl end to end: the built program runs as a process against a scripted pty peer.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "common/RunOdelctl.h"
#include "common/ScriptedPeer.h"
#include "common/Ser2net.h"
#include "device/PortScan.h"
#include "device/SerialPort.h"
#include "sim/SimBus.h"

extern char** environ;

using odel::test::Result;
using odel::test::RunOdelctl;
using odel::test::ScriptedPeer;

namespace {

std::string Bytes(std::initializer_list<int> list) {
    std::string s;
    for (int b : list) s.push_back(static_cast<char>(b));
    return s;
}

std::string WithCrc(std::string frame) {
    unsigned crc = 0xFFFF;
    for (unsigned char c : frame) {
        crc ^= c;
        for (int i = 0; i < 8; ++i) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    frame.push_back(static_cast<char>(crc & 0xFF));
    frame.push_back(static_cast<char>(crc >> 8));
    return frame;
}

}  // namespace

TEST(OdelctlSend, RepliesAndExitCodes) {
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok());
    peer.setHandler([](const std::string& line) -> std::optional<std::string> {
        if (line == "$012\r") return std::string("!01400600\r");
        if (line == "$01M\r") return std::string("!017352\r");
        if (line == "$05M\r") return std::string("?05\r");
        return std::nullopt;
    });
    Result ok = RunOdelctl({"send", peer.path(), "$012", "$01M"});
    EXPECT_EQ(ok.rc, 0) << ok.err;
    EXPECT_EQ(ok.out, "!01400600\n!017352\n");
    EXPECT_EQ(peer.received(), "$012\r$01M\r");

    Result mixed = RunOdelctl({"send", "--timeout", "30", peer.path(), "#01", "$05M", "$012"});
    EXPECT_EQ(mixed.rc, 1);
    EXPECT_EQ(mixed.out, "Timeout!\n?05\n!01400600\n");
}

TEST(OdelctlSend, Checksum) {
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok());
    peer.setHandler([](const std::string& line) -> std::optional<std::string> {
        if (line == "$012B7\r") return std::string("!01400600AC\r");
        if (line == "$01MD2\r") return std::string("!017352FF\r");  // wrong checksum
        return std::nullopt;
    });
    Result r = RunOdelctl({"send", "--checksum", "--baud", "19200", peer.path(), "$012"});
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out, "!01400600\n");
    EXPECT_EQ(peer.received(), "$012B7\r");

    Result bad = RunOdelctl({"send", "--checksum", peer.path(), "$01M"});
    EXPECT_EQ(bad.rc, 1);
    EXPECT_EQ(bad.out, "!017352\n");  // what is left once the checksum digits are cut off
}

TEST(OdelctlUsage, ErrorsExitWithTwo) {
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok());
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"send"},
        {"send", peer.path()},
        {"send", "--baud", "300", peer.path(), "$012"},
        {"send", "--baud", "fast", peer.path(), "$012"},
        {"send", "--timeout", "-1", peer.path(), "$012"},
        {"send", "/dev/odel-no-such-port", "$012"},
        {"search", "--from", "5", "--to", "2", peer.path()},
        {"search", "--to", "256", peer.path()},
        {"search", "--from", "0x100", peer.path()},
        {"search", "--to", "0x1G", peer.path()},
        {"search", "--to", "0x", peer.path()},
        {"modbus", peer.path(), "1", "read-coils", "0", "16"},
        {"modbus", peer.path(), "1", "read-coils", "1"},
        {"modbus", peer.path(), "256", "read-registers", "1", "1"},
        {"modbus", peer.path(), "1", "write-coil", "17", "maybe"},
        {"modbus", peer.path(), "1", "write-register", "1", "65536"},
        {"modbus", peer.path(), "1", "erase-all", "1", "1"},
    };
    for (const auto& args : cases) {
        Result r = RunOdelctl(args);
        std::string joined;
        for (const auto& a : args) joined += a + " ";
        EXPECT_EQ(r.rc, 2) << joined;
        EXPECT_FALSE(r.err.empty()) << joined;
        EXPECT_EQ(r.out, "") << joined;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(peer.received(), "");  // nothing was sent for any of them
    EXPECT_EQ(RunOdelctl({"--help"}).rc, 0);
}

TEST(OdelctlUsage, BusyPort) {
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok());
    odel::SerialPort holder(peer.path());
    ASSERT_TRUE(holder.Open());
    Result r = RunOdelctl({"send", peer.path(), "$012"});
    EXPECT_EQ(r.rc, 2);
    EXPECT_NE(r.err.find("in use"), std::string::npos) << r.err;
}

TEST(OdelctlSearch, PrintsNodesAndSlots) {
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok());
    // 00: plain 7352; 02: a main unit with checksum; 03: Modbus 7352R.
    peer.setStreamHandler([](std::string& pending) -> std::optional<std::string> {
        if (pending.empty()) return std::nullopt;
        if (pending[0] == '$') {
            if (pending.back() != '\r') return std::nullopt;
            std::string line = pending;
            pending.clear();
            if (line == "$00M\r") return std::string("!007352\r");
            if (line == "$02MD3\r")
                return std::string(
                    "!028600"
                    "51\r");
            if (line == "$02TDA\r")
                return std::string(
                    "!021G17FF13"
                    "53\r");
            return std::nullopt;
        }
        if (pending.size() < 8) return std::nullopt;
        std::string frame = pending;
        pending.clear();
        if (frame == WithCrc(Bytes({0x03, 0x03, 0x00, 0xD2, 0x00, 0x02})))
            return WithCrc(Bytes({0x03, 0x03, 0x04, 0x73, 0x52, 'R', 0x00}));
        return std::nullopt;
    });
    // Addresses in decimal or, as the tree shows them, in 0x hex.
    Result r = RunOdelctl({"search", "--timeout", "20", "--from", "0", "--to", "0x04", peer.path()});
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out,
              "(*)7352\t0\n"
              "(02)8600\t1\n"
              "\t(S0)8631G\n"
              "\t(S1)8617\n"
              "\t(S3)8613\n"
              "(03)7352R\t2\n");

    Result none =
        RunOdelctl({"search", "--timeout", "10", "--from", "200", "--to", "201", peer.path()});
    EXPECT_EQ(none.rc, 0);
    EXPECT_EQ(none.out, "");
}

TEST(OdelctlModbus, FourActions) {
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok());
    peer.setFrameHandler(8, [](const std::string& frame) -> std::optional<std::string> {
        if (frame == WithCrc(Bytes({0x01, 0x01, 0x00, 0x00, 0x00, 0x10})))
            return WithCrc(Bytes({0x01, 0x01, 0x02, 0x8D, 0x82}));
        if (frame == WithCrc(Bytes({0x01, 0x01, 0x00, 0x00, 0x00, 0x03})))
            return WithCrc(Bytes({0x01, 0x01, 0x01, 0x05}));
        if (frame == WithCrc(Bytes({0x01, 0x03, 0x00, 0xD2, 0x00, 0x02})))
            return WithCrc(Bytes({0x01, 0x03, 0x04, 0x73, 0x52, 0x52, 0x00}));
        if (frame == WithCrc(Bytes({0x01, 0x03, 0x00, 0x00, 0x00, 0x02})))  // one register short
            return WithCrc(Bytes({0x01, 0x03, 0x02, 0x73, 0x52}));
        if (frame[1] == 0x05 || frame[1] == 0x06) return frame;  // echo
        return std::nullopt;
    });
    struct Case {
        std::vector<std::string> args;
        int rc;
        std::string out;
        std::string wire;
    };
    const std::vector<Case> cases = {
        {{"read-coils", "1", "16"},
         0,
         "1011000101000001\n",
         WithCrc(Bytes({0x01, 0x01, 0x00, 0x00, 0x00, 0x10}))},
        {{"read-coils", "1", "3"},
         0,
         "101\n",
         WithCrc(Bytes({0x01, 0x01, 0x00, 0x00, 0x00, 0x03}))},
        {{"read-registers", "211", "2"},
         0,
         "29522 20992\n",
         WithCrc(Bytes({0x01, 0x03, 0x00, 0xD2, 0x00, 0x02}))},
        {{"--hex", "read-registers", "211", "2"},
         0,
         "7352 5200\n",
         WithCrc(Bytes({0x01, 0x03, 0x00, 0xD2, 0x00, 0x02}))},
        {{"read-registers", "1", "2"}, 1, "", WithCrc(Bytes({0x01, 0x03, 0x00, 0x00, 0x00, 0x02}))},
        {{"write-coil", "17", "on"}, 0, "", WithCrc(Bytes({0x01, 0x05, 0x00, 0x10, 0xFF, 0x00}))},
        {{"write-coil", "17", "off"}, 0, "", WithCrc(Bytes({0x01, 0x05, 0x00, 0x10, 0x00, 0x00}))},
        {{"write-register", "5", "48879"},
         0,
         "",
         WithCrc(Bytes({0x01, 0x06, 0x00, 0x04, 0xBE, 0xEF}))},
        {{"read-registers", "7", "1"}, 1, "", WithCrc(Bytes({0x01, 0x03, 0x00, 0x06, 0x00, 0x01}))},
    };
    for (const auto& c : cases) {
        peer.clearReceived();
        std::vector<std::string> args = {"modbus", "--timeout", "30", peer.path(), "1"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        Result r = RunOdelctl(args);
        EXPECT_EQ(r.rc, c.rc) << c.args[0] << " " << r.err;
        EXPECT_EQ(r.out, c.out) << c.args[0];
        EXPECT_EQ(peer.received(), c.wire) << c.args[0];
    }
}

TEST(OdelctlPorts, ListsWhatTheScanFinds) {
    Result r = RunOdelctl({"ports"});
    EXPECT_EQ(r.rc, 0);
    std::string expected;
    for (const auto& p : odel::ListSerialPorts()) expected += p + "\n";
    EXPECT_EQ(r.out, expected);
}

namespace {

// A failed Modbus request says why on stderr.
TEST(OdelctlModbus, FailuresSayWhy) {
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok());
    peer.setFrameHandler(8, [](const std::string& frame) -> std::optional<std::string> {
        switch (frame[3]) {
            case 0x00:
                return WithCrc(Bytes({0x04, 0x83, 0x02}));  // exception 02
            case 0x01: {
                std::string bad = WithCrc(Bytes({0x04, 0x03, 0x04, 0x00, 0x01, 0x00, 0x02}));
                bad.back() ^= 0x55;
                return bad;
            }
            case 0x02:
                return WithCrc(Bytes({0x04, 0x03, 0x02, 0x00, 0x01}));  // one of two
            case 0x04:
                return WithCrc(Bytes({0x04, 0x86, 0x0B}));
            default:
                return std::nullopt;
        }
    });
    struct Case {
        std::string first, action, value, err;
    };
    const std::vector<Case> cases = {
        {"1", "read-registers", "2", "odelctl: exception 02 (Illegal data address) from slave 4\n"},
        {"2", "read-registers", "2", "odelctl: bad CRC in the answer of slave 4\n"},
        {"3", "read-registers", "2", "odelctl: short answer from slave 4 (7 of 9 bytes)\n"},
        {"4", "read-registers", "2", "odelctl: no answer from slave 4\n"},
        {"5", "write-register", "1",
         "odelctl: exception 0B (Gateway target device failed to respond) from slave 4\n"},
    };
    for (const auto& c : cases) {
        Result r =
            RunOdelctl({"modbus", "--timeout", "30", peer.path(), "0x04", c.action, c.first, c.value});
        EXPECT_EQ(r.rc, 1) << c.first;
        EXPECT_EQ(r.out, "") << c.first;
        EXPECT_EQ(r.err, c.err) << c.first;
    }
}

// A port that vanishes during a search or while a Modbus request waits for its answer is
// reported as lost, with exit code 2 (never as a module that does not answer).
TEST(OdelctlLostPort, IsReportedWithExitCodeTwo) {
    struct Case {
        std::vector<std::string> args;  // PORT goes last but for modbus, where it comes second
        std::size_t received;           // bytes the peer takes before it hangs up
    };
    const Case cases[] = {
        {{"search", "--timeout", "20", "--from", "1", "--to", "200"}, 20},
        {{"modbus", "--timeout", "500", "PORT", "4", "read-registers", "1", "2"}, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0]);
        ScriptedPeer peer;
        ASSERT_TRUE(peer.ok());
        const std::string path = peer.path();
        std::vector<std::string> args = c.args;
        auto at = std::find(args.begin(), args.end(), "PORT");
        if (at == args.end())
            args.push_back(path);
        else
            *at = path;
        std::thread unplug([&] {
            peer.waitReceived(c.received);
            peer.hangUp();
        });
        Result r = RunOdelctl(args);
        unplug.join();
        EXPECT_EQ(r.rc, 2);
        EXPECT_EQ(r.err, "odelctl: lost the port " + path + "\n");
    }
}

}  // namespace

TEST(OdelctlTrace, PrintsTheDecodedRowsToStderr) {
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok());
    peer.setHandler([](const std::string& line) -> std::optional<std::string> {
        if (line == "$012\r") return std::string("!01400600\r");
        return std::nullopt;
    });
    Result r = RunOdelctl({"send", "--trace", "--timeout", "30", peer.path(), "$012", "$05M"});
    EXPECT_EQ(r.out, "!01400600\nTimeout!\n");
    const std::string p = peer.path();
    // time  port  command  reply  reply time  verdict  meaning
    const std::regex row1("^\\d\\d:\\d\\d:\\d\\d\\.\\d{3}  " + p +
                          "  \\$012↵  !01400600↵  \\d+\\.\\d ms  accepted \"!\"  \\$AA2 read "
                          "configuration\n");
    const std::regex row2("\n\\d\\d:\\d\\d:\\d\\d\\.\\d{3}  " + p +
                          "  \\$05M↵    no reply  no reply  \\$AAM read module name\n$");
    EXPECT_TRUE(std::regex_search(r.err, row1)) << r.err;
    EXPECT_TRUE(std::regex_search(r.err, row2)) << r.err;
    // Without the flag nothing is traced.
    EXPECT_EQ(RunOdelctl({"send", peer.path(), "$012"}).err, "");
}

// ---- over a serial device server: ser2net in front of the simulated bus ----

namespace {

class OdelctlSer2net : public ::testing::Test {
  protected:
    void serve(const std::string& busFile = {}) {
        ASSERT_TRUE(busFile.empty() ? bus.start() : bus.startFromText(busFile)) << bus.error();
        server = std::make_unique<odel::test::Ser2net>(bus.slavePath());
        ASSERT_TRUE(server->start()) << server->error();
    }
    // ser2net frees the device a moment after the last connection to another of its ports;
    // until then it answers "Port's device already in use" and hangs up.
    Result runWhenFree(const std::vector<std::string>& args) {
        Result r;
        for (int attempt = 0; attempt < 50; ++attempt) {
            r = RunOdelctl(args);
            if (r.out.find("in use") == std::string::npos &&
                r.err.find("in use") == std::string::npos &&
                r.err.find("closed the connection") == std::string::npos)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return r;
    }

    odel::sim::SimBus bus;
    std::unique_ptr<odel::test::Ser2net> server;
};

TEST_F(OdelctlSer2net, SearchFindsTheDefaultBusAsOnThePty) {
    serve();
    const Result pty = RunOdelctl({"search", "--to", "42", bus.slavePath()});
    const Result raw = runWhenFree({"search", "--to", "42", server->rawUrl()});
    const Result rfc = runWhenFree({"search", "--to", "42", server->rfcUrl()});
    EXPECT_EQ(pty.rc, 0) << pty.err;
    EXPECT_NE(pty.out.find("(01)7352R\t0\n"), std::string::npos) << pty.out;
    EXPECT_NE(pty.out.find("(*)7354\t0\n"), std::string::npos) << pty.out;
    EXPECT_EQ(raw.out, pty.out) << raw.err;
    EXPECT_EQ(rfc.out, pty.out) << rfc.err;
    EXPECT_EQ(raw.rc, 0);
    EXPECT_EQ(rfc.rc, 0);
}

TEST_F(OdelctlSer2net, BaudCrossesOnlyOverRfc2217) {
    // The simulator answers only when its line runs at the module's rate.
    serve("01 7352R baud=19200\n");
    const Result raw = runWhenFree({"send", "--baud", "19200", server->rawUrl(), "$012"});
    EXPECT_EQ(raw.out, "Timeout!\n");
    EXPECT_EQ(raw.rc, 1);
    EXPECT_EQ(raw.err, "odelctl: " + server->rawUrl() + ": baud rate is set on the device server\n");

    const Result at9600 = runWhenFree({"send", server->rfcUrl(), "$012"});
    EXPECT_EQ(at9600.out, "Timeout!\n") << at9600.err;
    const Result at19200 = runWhenFree({"send", "--baud", "19200", server->rfcUrl(), "$012"});
    EXPECT_EQ(at19200.rc, 0) << at19200.err;
    EXPECT_EQ(at19200.out, "!01080700\n");
    EXPECT_EQ(at19200.err, "");
}

TEST_F(OdelctlSer2net, ModbusFramesHoldingFFCrossByteForByte) {
    serve("04 7385 modbus\n");
    // Coil 17 on: 0xFF in the request and in its echo.
    const Result on = runWhenFree({"modbus", server->rfcUrl(), "4", "write-coil", "17", "on"});
    EXPECT_EQ(on.rc, 0) << on.err;
    EXPECT_EQ(bus.received(0), WithCrc(Bytes({0x04, 0x05, 0x00, 0x10, 0xFF, 0x00})));
    const Result read = runWhenFree({"modbus", server->rfcUrl(), "4", "read-coils", "17", "1"});
    EXPECT_EQ(read.out, "1\n") << read.err;
    EXPECT_EQ(read.rc, 0);
}

// Another connection holds ser2net's device: its "Port's device already in use" is no reply,
// and a search does not pass for an empty bus.
TEST_F(OdelctlSer2net, APortHeldByAnotherConnectionIsInUse) {
    serve("01 7352R\n");
    const int holder = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<std::uint16_t>(
        std::stoi(server->rfcUrl().substr(server->rfcUrl().rfind(':') + 1))));
    ASSERT_EQ(::connect(holder, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"send", server->rawUrl(), "$012"},
          std::vector<std::string>{"search", "--to", "3", server->rawUrl()}}) {
        const auto start = std::chrono::steady_clock::now();
        const Result held = RunOdelctl(args);
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(held.rc, 2) << args[0];
        EXPECT_EQ(held.out, "") << args[0];
        EXPECT_EQ(held.err, "odelctl: " + server->rawUrl() + ": the device server's port is in use\n");
        EXPECT_GT(took, std::chrono::milliseconds(1800)) << args[0] << ": tried again for 2 s";
        EXPECT_LT(took, std::chrono::milliseconds(4000)) << args[0];
    }
    ::close(holder);
    const Result freed = runWhenFree({"send", server->rawUrl(), "$012"});
    EXPECT_EQ(freed.rc, 0) << freed.err;
    EXPECT_EQ(freed.out, "!01080600\n");
}

TEST_F(OdelctlSer2net, RefusedAndMalformedNetworkPortsAreOpenFailures) {
    serve("01 7352R\n");
    const std::string url = server->rawUrl();
    server->stop();
    const Result refused = RunOdelctl({"send", url, "$012"});
    EXPECT_EQ(refused.rc, 2);
    EXPECT_EQ(refused.err, "odelctl: " + url + ": connection refused\n");
    const Result bad = RunOdelctl({"send", "tcp://127.0.0.1", "$012"});
    EXPECT_EQ(bad.rc, 2);
    EXPECT_NE(bad.err.find("not a port name"), std::string::npos) << bad.err;
}

}  // namespace

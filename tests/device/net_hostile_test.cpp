// SerialPort over TCP against hostile or broken device servers on 127.0.0.1: each one floods or
// stops reading in its own way, and the link must give up within its deadline, with memory
// bounded, and say why.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "common/HostileServer.h"
#include "device/SerialPort.h"

namespace {

using Clock = std::chrono::steady_clock;
using odel::SerialPort;
using odel::test::B;
using odel::test::HostileServer;
using Fault = SerialPort::LinkFault;
using OpenError = SerialPort::OpenError;

const std::string& kAgree = odel::test::kTelnetAgree;
const std::string& kAnswer9600 = odel::test::kTelnetTaken9600;

long ResidentKb() {
    std::ifstream in("/proc/self/statm");
    long size = 0, resident = 0;
    in >> size >> resident;
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

// The protocol start of an RFC 2217 link against servers that never finish it: each is given
// up at the negotiation deadline (2 s), with the reason, and without growing memory.
TEST(NetHostile, NegotiationThatNeverEndsIsGivenUpWithTheReason) {
    const struct {
        const char* what;
        std::string flood;
        int receiveBuffer;
        OpenError why;
    } cases[] = {
        {"an endless IAC SB without SE", B({255, 250, 44}), 0,
         OpenError::SendsWithoutEnd},
        {"endless IAC IAC", B({255, 255}), 0, OpenError::SendsWithoutEnd},
        // Each DO ECHO is owed a WONT ECHO, and the server reads none of them.
        {"IAC DO ECHO, never reading", B({255, 253, 1}), 4096, OpenError::DoesNotRead},
    };
    for (const auto& c : cases) {
        HostileServer server(
            [&](int fd, const std::atomic<bool>& stop) { HostileServer::Flood(fd, c.flood, stop); },
            c.receiveBuffer);
        SerialPort link(server.url("rfc2217"));
        const long before = ResidentKb();
        const auto start = Clock::now();
        EXPECT_FALSE(link.Open()) << c.what;
        const auto took = Clock::now() - start;
        EXPECT_EQ(link.LastOpenError(), c.why) << c.what;
        EXPECT_LT(took, std::chrono::milliseconds(3500)) << c.what;
        EXPECT_LT(ResidentKb() - before, 20 * 1024) << c.what;
        EXPECT_EQ(server.connections(), 1) << c.what;
    }
}

// After a good start, the server floods: the purge before the next command gives the link up
// within its deadline, without reconnecting; memory stays where it was.
TEST(NetHostile, AFloodAfterTheStartClosesTheLinkAtThePurge) {
    const struct {
        const char* scheme;
        std::string flood;
    } cases[] = {
        {"tcp", "garbage "},
        {"rfc2217", "garbage "},
        {"rfc2217", B({255, 255})},
        {"rfc2217", B({255, 250, 44})},  // the purge is never confirmed
    };
    for (const auto& c : cases) {
        const std::string what = std::string(c.scheme) + " " + std::to_string(c.flood.size());
        std::atomic<bool> flooding{false};
        HostileServer server([&](int fd, const std::atomic<bool>& stop) {
            if (c.scheme == std::string("rfc2217")) {
                if (!HostileServer::Await(fd, B({255, 253, 3}), stop)) return;
                HostileServer::Send(fd, kAgree);
                if (!HostileServer::Await(fd, B({255, 250, 44, 4, 1, 255, 240}), stop)) return;
                HostileServer::Send(fd, kAnswer9600);
            }
            if (!HostileServer::Await(fd, "$01M\r", stop)) return;
            HostileServer::Send(fd, "!017352\r");
            flooding = true;
            HostileServer::Flood(fd, c.flood, stop);
        });
        SerialPort link(server.url(c.scheme));
        std::vector<Fault> told;
        link.SetLinkFaultNotice([&](Fault f) { told.push_back(f); });
        ASSERT_TRUE(link.Open()) << what;
        ASSERT_TRUE(link.SetLineSettings(9600, 8, 0, 0)) << what;
        ASSERT_TRUE(link.SetTimeout(80));
        std::string command = "$01M\r", reply;
        ASSERT_TRUE(link.Transact(command, 64, &reply)) << what;
        EXPECT_EQ(reply, "!017352\r");
        while (!flooding) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const long before = ResidentKb();
        const auto start = Clock::now();
        for (int k = 0; k < 3; ++k) {
            command = "$01M\r";
            reply.clear();
            EXPECT_FALSE(link.Transact(command, 64, &reply)) << what;
        }
        EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1500)) << what;
        EXPECT_FALSE(link.IsOpen()) << what;
        EXPECT_EQ(link.LastLinkFault(), Fault::SendsWithoutEnd) << what;
        EXPECT_EQ(told, std::vector<Fault>{Fault::SendsWithoutEnd}) << what;
        EXPECT_LT(ResidentKb() - before, 20 * 1024) << what;
        EXPECT_EQ(server.connections(), 1) << what << ": no reconnection";
    }
}

// A server that refuses each connection with a line of text and hangs up is not answering a
// command: while it says its port is in use, the open tries again for 2 s, then says so.
TEST(NetHostile, APortInUseIsRetriedThenReported) {
    for (const char* scheme : {"tcp", "rfc2217"}) {
        std::atomic<bool> inUse{true};
        const bool telnet = scheme == std::string("rfc2217");
        HostileServer server([&](int fd, const std::atomic<bool>& stop) {
            if (telnet) HostileServer::Send(fd, kAgree);
            if (inUse) {
                HostileServer::Send(fd, "Port's device already in use\r\n");
                return;
            }
            if (!HostileServer::Await(fd, "$012\r", stop)) return;
            HostileServer::Send(fd, "!01080600\r");
            HostileServer::Await(fd, "never", stop);
        });
        SerialPort link(server.url(scheme));
        auto start = Clock::now();
        EXPECT_FALSE(link.Open()) << scheme;
        auto took = Clock::now() - start;
        EXPECT_EQ(link.LastOpenError(), OpenError::PortInUse) << scheme;
        EXPECT_GT(took, std::chrono::milliseconds(1800)) << scheme;
        EXPECT_LT(took, std::chrono::milliseconds(3000)) << scheme;
        EXPECT_GE(server.connections(), 5) << scheme;

        // Freed while the open is trying again: the next attempt gets the port.
        std::thread freeIt([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
            inUse = false;
        });
        start = Clock::now();
        EXPECT_TRUE(link.Open()) << scheme;
        EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1500)) << scheme;
        freeIt.join();
        ASSERT_TRUE(link.SetTimeout(200));
        std::string command = "$012\r", reply;
        EXPECT_TRUE(link.Transact(command, 64, &reply)) << scheme;
        EXPECT_EQ(reply, "!01080600\r") << scheme;
    }
}

// A server that hangs up at once after other text has closed the connection: no retry.
TEST(NetHostile, AServerThatHangsUpAtOnceFailsTheOpen) {
    HostileServer server([](int fd, const std::atomic<bool>&) {
        HostileServer::Send(fd, "Device open failure: Value or file not found\r\n");
    });
    SerialPort link(server.url("tcp"));
    EXPECT_FALSE(link.Open());
    EXPECT_EQ(link.LastOpenError(), OpenError::ServerClosed);
    EXPECT_EQ(server.connections(), 1);
}

}  // namespace

// SerialPort on a real pseudo-terminal: opening, exclusivity, time-outs, ReadLine rules.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>
#include <vector>

#include "device/serial_test_link.h"

using odel::SerialPort;
using odel::test::ElapsedMs;
using odel::test::OpenLink;
using odel::test::ScriptedPeer;

TEST(SerialPort, FreshObjectCloseAndTimeout) {
    SerialPort port("/dev/does-not-matter");
    EXPECT_TRUE(port.Close());
    EXPECT_FALSE(port.IsOpen());
    port.SetTimeout(80);
    EXPECT_EQ(port.GetTimeout(), 80);
    EXPECT_EQ(port.GetChecksum(), 0);
    port.SetChecksum(1);
    EXPECT_EQ(port.GetChecksum(), 1);
    // Nothing is open: every I/O operation fails at once.
    std::string line;
    std::uint8_t byte = 0;
    EXPECT_FALSE(port.WriteText("$012\r"));
    EXPECT_FALSE(port.ReadBytes(1, &byte));
    EXPECT_FALSE(port.ReadLine(64, line));
}

TEST(SerialPort, LongPortNameIsKeptWhole) {
    const std::string name = "/dev/serial/by-id/usb-Vendor_USB_RS485_Adapter_A1B2C3D4-if00-port0";
    SerialPort port(name);
    EXPECT_EQ(port.GetPortName(), name);
}

TEST(SerialPort, OpenErrorsAreTold) {
    SerialPort missing("/dev/odel-no-such-port");
    EXPECT_FALSE(missing.Open());
    EXPECT_EQ(missing.LastOpenError(), SerialPort::OpenError::NotPresent);

    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok());
    SerialPort first(peer.path());
    ASSERT_TRUE(first.Open());
    EXPECT_EQ(first.LastOpenError(), SerialPort::OpenError::None);
    SerialPort second(peer.path());
    EXPECT_FALSE(second.Open());
    EXPECT_EQ(second.LastOpenError(), SerialPort::OpenError::Busy);
    EXPECT_TRUE(first.Close());
    EXPECT_TRUE(second.Open());  // free again once the first one let go
}

TEST(SerialPort, OpenWithoutPermissionIsTold) {
    if (geteuid() == 0) {
        // root passes every permission check; show it with an unprivileged child instead.
        ScriptedPeer peer;
        ASSERT_TRUE(peer.ok());
        ASSERT_EQ(chmod(peer.path().c_str(), 0600), 0);
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            if (setgid(65534) != 0 || setuid(65534) != 0) _exit(3);
            SerialPort port(peer.path());
            bool opened = port.Open();
            _exit(!opened && port.LastOpenError() == SerialPort::OpenError::NoPermission ? 0 : 1);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    } else {
        SerialPort port("/dev/mem");
        EXPECT_FALSE(port.Open());
        EXPECT_EQ(port.LastOpenError(), SerialPort::OpenError::NoPermission);
    }
}

TEST(SerialPort, LineSettingsMapToTermios) {
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok());
    SerialPort port(peer.path());
    ASSERT_TRUE(port.Open());
    const std::vector<int> rates = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    for (int baud : rates) {
        EXPECT_TRUE(port.SetLineSettings(baud, 8, 0, 0)) << baud;
        int b = 0;
        std::uint8_t d = 0, p = 9, s = 9;
        port.GetLineSettings(b, d, p, s);
        EXPECT_EQ(b, baud);
        EXPECT_EQ(d, 8);
        EXPECT_EQ(p, 0);
        EXPECT_EQ(s, 0);
        // A second object reads the same speed back from the device.
        port.Close();
        ASSERT_TRUE(port.Open());
        port.GetLineSettings(b, d, p, s);
        EXPECT_EQ(b, baud);
    }
    for (int baud : {0, 300, 9601, 230400, -9600}) {
        EXPECT_FALSE(port.SetLineSettings(baud, 8, 0, 0)) << baud;
    }
    EXPECT_FALSE(port.SetLineSettings(9600, 9, 0, 0));
    EXPECT_FALSE(port.SetLineSettings(9600, 8, 3, 0));
    EXPECT_FALSE(port.SetLineSettings(9600, 8, 0, 1));

    SerialPort closed(peer.path() + "-x");
    EXPECT_FALSE(closed.SetLineSettings(9600, 8, 0, 0));
    EXPECT_FALSE(closed.SetTimeout(80));
}

TEST(SerialPort, ReadLineKeepsToTheLimit) {
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok());
    auto link = OpenLink(peer.path());
    struct Case {
        std::string sent;
        bool ok;
        std::string kept;
    };
    const std::string body62(62, 'A');
    const std::vector<Case> cases = {
        {"!01\r", true, "!01\r"},
        {body62 + "\r", true, body62 + "\r"},   // 63 characters with the CR
        {body62 + "B\r", false, body62 + "B"},  // the 64th character fails
        {std::string("!0\0"
                     "1\r",
                     5),
         true, "!01\r"},  // a NUL counts but is not kept
    };
    for (const auto& c : cases) {
        std::string dest;
        peer.send(c.sent);
        EXPECT_EQ(link->ReadLine(64, dest), c.ok) << c.kept;
        EXPECT_EQ(dest, c.kept);
        // Drain what a failed read left on the line.
        std::uint8_t b;
        while (link->ReadBytes(1, &b)) {
        }
    }
    // The NUL counts towards the limit: 61 letters, a NUL and a CR make 63 characters.
    std::string dest;
    peer.send(std::string(61, 'C') + std::string(1, '\0') + "\r");
    EXPECT_TRUE(link->ReadLine(64, dest));
    dest.clear();
    peer.send(std::string(62, 'C') + std::string(1, '\0') + "\r");
    EXPECT_FALSE(link->ReadLine(64, dest));
    EXPECT_EQ(dest, std::string(62, 'C'));
}

TEST(SerialPort, ReadLineStopsAtTheTerminator) {
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok());
    auto link = OpenLink(peer.path());
    peer.send("!01\r>02\r");
    std::string a, b;
    EXPECT_TRUE(link->ReadLine(64, a));
    EXPECT_EQ(a, "!01\r");
    EXPECT_TRUE(link->ReadLine(64, b));
    EXPECT_EQ(b, ">02\r");
}

TEST(SerialPort, LineWithoutCrTimesOutKeepingCharacters) {
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok());
    auto link = OpenLink(peer.path(), 80);
    peer.send("!01ABC");
    std::string dest;
    bool ok = true;
    long long ms = ElapsedMs([&] { ok = link->ReadLine(64, dest); });
    EXPECT_FALSE(ok);
    EXPECT_EQ(dest, "!01ABC");
    EXPECT_GE(ms, 75);
    EXPECT_LT(ms, 400);
}

TEST(SerialPort, SilentPeerTimesOutAfterT) {
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok());
    for (int timeout : {20, 80, 150}) {
        auto link = OpenLink(peer.path(), timeout);
        std::uint8_t b;
        bool ok = true;
        long long ms = ElapsedMs([&] { ok = link->ReadBytes(1, &b); });
        EXPECT_FALSE(ok);
        EXPECT_GE(ms, timeout - 2) << timeout;
        EXPECT_LT(ms, 2 * timeout + 50) << timeout;
    }
}

TEST(SerialPort, ReadBytesNeedsTheWholeCount) {
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok());
    auto link = OpenLink(peer.path(), 40);
    std::uint8_t buf[4] = {};
    peer.send("wxyz");
    EXPECT_TRUE(link->ReadBytes(4, buf));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 4), "wxyz");
    peer.send("pq");
    EXPECT_FALSE(link->ReadBytes(4, buf));
}

TEST(SerialPort, WriteReachesThePeer) {
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok());
    auto link = OpenLink(peer.path());
    const std::uint8_t bytes[] = {0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A};
    EXPECT_TRUE(link->WriteBytes(sizeof bytes, bytes));
    ASSERT_TRUE(peer.waitReceived(8));
    EXPECT_EQ(peer.received(), std::string(reinterpret_cast<const char*>(bytes), 8));
    EXPECT_TRUE(link->WriteText(""));
}

TEST(SerialPort, VanishedPortFailsQuickly) {
    auto peer = std::make_unique<ScriptedPeer>();
    ASSERT_TRUE(peer->ok());
    auto link = OpenLink(peer->path(), 200);
    peer->hangUp();
    std::string dest;
    std::uint8_t b;
    long long ms = ElapsedMs([&] {
        EXPECT_FALSE(link->ReadLine(64, dest));
        EXPECT_FALSE(link->ReadBytes(1, &b));
        EXPECT_FALSE(link->WriteText("$01M\r"));
        std::string cmd = "$01M\r";
        EXPECT_FALSE(link->Transact(cmd, 64, &dest));
    });
    EXPECT_LT(ms, 150);  // no waiting for time-outs once the device is gone
    EXPECT_FALSE(link->IsOpen());
    EXPECT_TRUE(link->Close());
}

namespace {

struct Recorder : odel::TrafficObserver {
    std::string written, read;
    std::int64_t lastStamp = 0;
    bool ordered = true;
    void Stamp(std::int64_t usec) {
        if (usec < lastStamp) ordered = false;
        lastStamp = usec;
    }
    void BytesWritten(const std::uint8_t* d, std::size_t n, std::int64_t usec) override {
        written.append(reinterpret_cast<const char*>(d), n);
        Stamp(usec);
    }
    void BytesRead(const std::uint8_t* d, std::size_t n, std::int64_t usec) override {
        read.append(reinterpret_cast<const char*>(d), n);
        Stamp(usec);
    }
};

}  // namespace

TEST(SerialPort, ObserverSeesEveryByte) {
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok());
    peer.setHandler([](const std::string&) { return std::string("!017352\r"); });
    auto link = OpenLink(peer.path());
    Recorder rec;
    link->SetObserver(&rec);
    std::string cmd = "$01M\r", reply;
    EXPECT_TRUE(link->Transact(cmd, 64, &reply));
    EXPECT_EQ(rec.written, "$01M\r");
    EXPECT_EQ(rec.read, "!017352\r");
    EXPECT_TRUE(rec.ordered);
    EXPECT_GT(rec.lastStamp, 0);
    link->SetObserver(nullptr);
    cmd = "$01M\r";
    reply.clear();
    EXPECT_TRUE(link->Transact(cmd, 64, &reply));
    EXPECT_EQ(rec.written, "$01M\r");  // no longer told
}

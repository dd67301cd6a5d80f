// The bus monitor on a real link: each "Why no answer?" rule fires on its fault (simulator
// faults or a scripted peer) and stays silent on a healthy bus; the ring stays bounded.
#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

#include "common/ScriptedPeer.h"
#include "device/BusMonitor.h"
#include "sim/SimBus.h"

using odel::bus::BusMonitor;
using odel::bus::Finding;
using odel::sim::Fault;
namespace defaultbus = odel::sim::defaultbus;

namespace {

struct Link {
    explicit Link(const std::string& path) : port(path) {
        ok = port.Open() && port.SetLineSettings(9600, 8, 0, 0) && port.SetTimeout(80);
        monitor.Attach(&port);
    }
    void send(const char* line, int times = 3) {
        for (int i = 0; i < times; ++i) {
            std::string cmd = line, reply;
            port.Transact(cmd, 64, &reply);
        }
    }
    odel::bus::Diagnosis why(const std::string& address) {
        monitor.CloseLast();
        return monitor.Diagnose(address, BusMonitor::NowUsec());
    }
    odel::SerialPort port;
    BusMonitor monitor;
    bool ok = false;
};

class BusMonitorDiagnosis : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(bus.start()) << bus.error(); }
    int index(int address) { return bus.findModule(address); }
    odel::sim::SimBus bus;
};

TEST_F(BusMonitorDiagnosis, HealthyBusIsSilent) {
    Link l(bus.slavePath());
    ASSERT_TRUE(l.ok);
    l.send("$012\r");
    l.send("#01\r");
    l.send("$01M\r");
    auto d = l.why("01");
    EXPECT_EQ(d.finding, Finding::None) << d.text;
    EXPECT_EQ(d.text, "Address 01 answers: 9 of the last 9 exchanges good.");
    // The checksum module, with the checksum box on.
    l.port.SetChecksum(1);
    l.send("$022\r");
    l.send("#02\r");
    EXPECT_EQ(l.why("02").finding, Finding::None) << l.why("02").text;
    EXPECT_EQ(l.why("07").finding, Finding::NoData);
}

TEST_F(BusMonitorDiagnosis, NothingBackNamesAddressBaudAndInit) {
    Link l(bus.slavePath());
    l.send("$30M\r");
    auto d = l.why("30");
    EXPECT_EQ(d.finding, Finding::NothingBack);
    EXPECT_EQ(d.text,
              "Nothing came back from address 30 (3 tries at 9600 bps): check the module's "
              "address and baud rate. A module in its INIT state answers only at 00.");
    // The module configured at 40 sits in its INIT state: it answers at 00 only.
    l.send("$40M\r");
    l.send("$00M\r", 1);
    d = l.why("40");
    EXPECT_EQ(d.finding, Finding::NothingBack);
    EXPECT_NE(d.text.find("A module answers at 00: it is in its INIT state"), std::string::npos)
        << d.text;
    // Wrong baud rate: the simulated modules stay silent.
    l.port.SetLineSettings(19200, 8, 0, 0);
    l.send("$01M\r");
    d = l.why("01");
    EXPECT_EQ(d.finding, Finding::NothingBack);
    EXPECT_NE(d.text.find("at 19200 bps"), std::string::npos) << d.text;
}

TEST_F(BusMonitorDiagnosis, NoCrOrGarbageMeansBaudMismatch) {
    const struct {
        Fault fault;
        const char* how;
    } cases[] = {{Fault::NoCr, "without a CR"}, {Fault::Garbage, "as garbage"}};
    for (const auto& c : cases) {
        bus.setFault(index(defaultbus::k7352R), c.fault);
        Link l(bus.slavePath());
        l.send("$01M\r");
        auto d = l.why("01");
        EXPECT_EQ(d.finding, Finding::BaudMismatch) << d.text;
        EXPECT_EQ(d.text, std::string("Bytes come back from address 01 ") + c.how +
                              ": most likely a baud rate mismatch (the port is at 9600 bps).");
        bus.clearFault(index(defaultbus::k7352R));
    }
}

TEST_F(BusMonitorDiagnosis, LateRepliesAskForALongerTimeOut) {
    bus.setPacing(true, 120);  // the modules answer 120 ms after a command
    Link l(bus.slavePath());
    l.send("$01M\r");
    auto d = l.why("01");
    EXPECT_EQ(d.finding, Finding::Late) << d.text;
    EXPECT_NE(d.text.find("arrive after the time-out (up to 1"), std::string::npos) << d.text;
    EXPECT_NE(d.text.find(" ms, time-out 80 ms): raise the time-out on the port's page."),
              std::string::npos)
        << d.text;
}

TEST_F(BusMonitorDiagnosis, ChecksumBoxOnWhileTheModuleHasItOff) {
    Link l(bus.slavePath());
    l.port.SetChecksum(1);
    l.send("$012\r");
    auto d = l.why("01");
    EXPECT_EQ(d.finding, Finding::ChecksumOn) << d.text;
    // A checksum fault (digits present but wrong) is told apart.
    bus.setFault(index(defaultbus::k7354RChecksum), Fault::BadChecksum);
    l.send("$022\r");
    EXPECT_EQ(l.why("02").finding, Finding::BadChecksum) << l.why("02").text;
}

TEST(BusMonitorPeer, EchoAndChecksumDigitsWithTheBoxOff) {
    odel::test::ScriptedPeer peer;
    ASSERT_TRUE(peer.ok());
    // An adapter that echoes its transmitter: the command comes back before the reply.
    peer.setHandler([](const std::string& line) -> std::optional<std::string> {
        return line + "\r!01400600\r";
    });
    Link l(peer.path());
    l.send("$012\r");
    auto d = l.why("01");
    EXPECT_EQ(d.finding, Finding::Echo) << d.text;
    EXPECT_EQ(d.text,
              "The replies from address 01 begin with our own command: the adapter echoes its "
              "transmitter. Turn its echo off (or use an adapter without echo).");
    // A module with its checksum on answering although the box is off.
    peer.setHandler([](const std::string& line) -> std::optional<std::string> {
        std::string r = line.rfind("$012", 0) == 0 ? "!01404600" : "!01A1.20";
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", odel::bus::AsciiChecksum(r));
        return r + digits + "\r";
    });
    l.monitor.Clear();
    l.send("$012\r");
    l.send("$01F\r");
    d = l.why("01");
    EXPECT_EQ(d.finding, Finding::ChecksumOff) << d.text;
}

TEST(BusMonitorRing, HoldsItsBoundAndCountsDropped) {
    BusMonitor m(5);
    const std::uint8_t cmd[] = {'$', '0', '1', 'M', '\r'};
    for (int i = 0; i < 12; ++i) m.BytesWritten(cmd, sizeof cmd, 1000 * i);
    EXPECT_EQ(m.Exchanges().size(), 5u);
    EXPECT_EQ(m.Dropped(), 7u);
    EXPECT_EQ(m.FirstSeq(), 8u);
    EXPECT_EQ(m.Find(7), nullptr);
    EXPECT_NE(m.Find(12), nullptr);
    EXPECT_EQ(BusMonitor().Capacity(), 100000u);
    m.Clear();
    EXPECT_EQ(m.Exchanges().size(), 0u);
    EXPECT_EQ(m.Dropped(), 0u);
}

}  // namespace

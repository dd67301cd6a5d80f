// The per-address bus probe against a scripted bus: bytes of each phase, node texts, markers,
// main-unit slots and the step/progress logic.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <thread>
#include <vector>

#include "device/BusProbe.h"
#include "device/serial_test_link.h"

using odel::BusSearch;
using odel::ProbeNode;
using odel::test::ElapsedMs;
using odel::test::OpenLink;
using odel::test::ScriptedPeer;

namespace {

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

std::string Sum(const std::string& text) {
    unsigned s = 0;
    for (unsigned char c : text) s += c;
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", s % 256);
    return hex;
}

// A bus of modules, each answering in one way: ASCII without or with checksum, or Modbus.
struct FakeModule {
    enum Kind { Plain, Checked, Modbus } kind;
    std::string name;       // ASCII name, or for Modbus the two name registers as 4 bytes
    std::string slotTable;  // payload of "$AAT" for main units ("" = no answer)
};

class FakeBus {
  public:
    explicit FakeBus(ScriptedPeer& peer) {
        peer.setStreamHandler([this](std::string& pending) { return Take(pending); });
    }
    std::map<int, FakeModule> modules;  // set up before the probes run
    std::vector<std::string> Log() {
        std::lock_guard<std::mutex> lock(mu_);
        return log_;
    }
    void ClearLog() {
        std::lock_guard<std::mutex> lock(mu_);
        log_.clear();
    }

  private:
    void Record(const std::string& text) {
        if (watch) watch(text);
        std::lock_guard<std::mutex> lock(mu_);
        log_.push_back(text);
    }
    std::mutex mu_;
    std::vector<std::string> log_;  // every request as printable text
  public:
    // Told every request as it arrives (on the peer's thread).
    std::function<void(const std::string& request)> watch;

  private:
    std::optional<std::string> Take(std::string& pending) {
        if (pending.empty()) return std::nullopt;
        if (pending[0] == '$') {
            if (pending.back() != '\r') return std::nullopt;
            std::string line = pending;
            pending.clear();
            Record(line);
            return AnswerAscii(line);
        }
        if (pending.size() < 8) return std::nullopt;
        std::string frame = pending;
        pending.clear();
        char text[40];
        std::snprintf(text, sizeof text, "RTU %02X %02X %02X%02X %02X%02X",
                      static_cast<unsigned char>(frame[0]), static_cast<unsigned char>(frame[1]),
                      static_cast<unsigned char>(frame[2]), static_cast<unsigned char>(frame[3]),
                      static_cast<unsigned char>(frame[4]), static_cast<unsigned char>(frame[5]));
        Record(text);
        if (WithCrc(frame.substr(0, 6)) != frame) return std::nullopt;
        auto it = modules.find(static_cast<unsigned char>(frame[0]));
        if (it == modules.end() || it->second.kind != FakeModule::Modbus) return std::nullopt;
        return WithCrc(std::string("\x00\x03\x04", 3).replace(0, 1, 1, frame[0]) + it->second.name);
    }
    std::optional<std::string> AnswerAscii(const std::string& line) {
        // "$AAM[cc]\r" or "$AAT[cc]\r"
        int address = std::stoi(line.substr(1, 2), nullptr, 16);
        auto it = modules.find(address);
        if (it == modules.end() || it->second.kind == FakeModule::Modbus) return std::nullopt;
        const FakeModule& m = it->second;
        const bool checked = line.size() == 7;
        if (checked != (m.kind == FakeModule::Checked)) return std::nullopt;
        if (checked && Sum(line.substr(0, 4)) != line.substr(4, 2)) return std::nullopt;
        std::string payload;
        if (line[3] == 'M')
            payload = m.name;
        else if (line[3] == 'T' && !m.slotTable.empty())
            payload = m.slotTable;
        else
            return std::nullopt;
        std::string reply = "!" + line.substr(1, 2) + payload;
        if (checked) reply += Sum(reply);
        return reply + "\r";
    }
};

// Runs a search to its end and returns the nodes and the progress count.
std::vector<ProbeNode> RunSearch(BusSearch& search, int& progress, int& probes) {
    std::vector<ProbeNode> nodes;
    progress = probes = 0;
    while (!search.Finished()) {
        ProbeNode node;
        bool progressed = false;
        if (search.ProbeNext(node, progressed)) nodes.push_back(node);
        if (progressed) ++progress;
        ++probes;
    }
    return nodes;
}

struct ProbeTest : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(peer.ok());
        link = OpenLink(peer.path(), 25);
    }
    ScriptedPeer peer;
    FakeBus bus{peer};
    std::unique_ptr<odel::SerialPort> link;
};

}  // namespace

TEST_F(ProbeTest, PhasesSendTheirBytes) {
    BusSearch search(link.get(), 0x1A, 0x1A);
    EXPECT_EQ(search.Step(), 0x1A * 3);
    EXPECT_EQ(search.ProgressMaximum(), 1);
    int progress = 0, probes = 0;
    auto nodes = RunSearch(search, progress, probes);
    EXPECT_TRUE(nodes.empty());
    EXPECT_EQ(progress, 1);
    EXPECT_EQ(probes, 3);
    // "$1AM" sums to 0xE3.
    EXPECT_EQ(bus.Log(), (std::vector<std::string>{"$1AM\r", "$1AME3\r", "RTU 1A 03 00D2 0002"}));
    EXPECT_EQ(peer.received(),
              "$1AM\r$1AME3\r" + WithCrc(std::string("\x1A\x03\x00\xD2\x00\x02", 6)));
}

TEST_F(ProbeTest, NodesMarkersAndSkippedPhases) {
    bus.modules[0x00] = {FakeModule::Plain, "7352", ""};
    bus.modules[0x01] = {FakeModule::Checked, "7361", ""};
    bus.modules[0x02] = {FakeModule::Modbus, std::string("\x73\x52\x52\x00", 4), ""};
    bus.modules[0x03] = {FakeModule::Modbus, std::string("\x73\x85\x00\x00", 4), ""};
    bus.modules[0x10] = {FakeModule::Plain, "7385", ""};
    BusSearch search(link.get(), 0, 0x10);
    EXPECT_EQ(search.ProgressMaximum(), 17);
    int progress = 0, probes = 0;
    auto nodes = RunSearch(search, progress, probes);
    ASSERT_EQ(nodes.size(), 5u);
    const std::vector<std::pair<std::string, int>> expected = {
        {"(*)7352", 0}, {"(01)7361", 1}, {"(02)7352R", 2}, {"(03)7385", 2}, {"(10)7385", 0}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(nodes[i].text, expected[i].first);
        EXPECT_EQ(nodes[i].marker, expected[i].second);
        EXPECT_FALSE(nodes[i].mainUnit);
        EXPECT_TRUE(nodes[i].slotNodes.empty());
    }
    EXPECT_EQ(progress, 17);  // one step per address
    // 0 and 16 answer at once, 1 on the second probe, all others take three.
    EXPECT_EQ(probes, 1 + 2 + 3 * 14 + 1);
    EXPECT_EQ(bus.Log().front(), "$00M\r");
    EXPECT_EQ(bus.Log()[1], "$01M\r");
    EXPECT_EQ(bus.Log()[2], "$01MD2\r");
    EXPECT_EQ(bus.Log()[3], "$02M\r");
    EXPECT_EQ(bus.Log().back(), "$10M\r");
    EXPECT_EQ(link->GetTimeout(), 25);
}

TEST_F(ProbeTest, ModuleAtZeroAnsweringOnlyModbusIsNotListed) {
    bus.modules[0x00] = {FakeModule::Modbus, std::string("\x73\x52\x00\x00", 4), ""};
    BusSearch search(link.get(), 0, 0);
    int progress = 0, probes = 0;
    EXPECT_TRUE(RunSearch(search, progress, probes).empty());
    EXPECT_EQ(progress, 1);
    EXPECT_EQ(bus.Log().back(), "RTU 00 03 00D2 0002");
}

TEST_F(ProbeTest, StepLogic) {
    bus.modules[0x05] = {FakeModule::Plain, "7341L", ""};
    BusSearch search(link.get(), 5, 6);
    ProbeNode node;
    bool progressed = true;
    EXPECT_EQ(search.Address(), 5);
    EXPECT_EQ(search.Phase(), 0);
    EXPECT_TRUE(search.ProbeNext(node, progressed));
    EXPECT_TRUE(progressed);
    EXPECT_EQ(node.text, "(05)7341L");
    EXPECT_EQ(search.Step(), 18);  // next address, phase 0
    EXPECT_FALSE(search.ProbeNext(node, progressed));
    EXPECT_FALSE(progressed);
    EXPECT_EQ(search.Phase(), 1);
    EXPECT_FALSE(search.ProbeNext(node, progressed));
    EXPECT_FALSE(progressed);
    EXPECT_EQ(search.Phase(), 2);
    EXPECT_FALSE(search.ProbeNext(node, progressed));
    EXPECT_TRUE(progressed);
    EXPECT_TRUE(search.Finished());
    EXPECT_EQ(search.Progress(), 2);
    EXPECT_FALSE(search.ProbeNext(node, progressed));  // nothing more once finished
    EXPECT_FALSE(progressed);

    BusSearch last(link.get(), 255);
    EXPECT_EQ(last.ProgressMaximum(), 1);
    EXPECT_EQ(last.Step(), 765);
    int progress = 0, probes = 0;
    RunSearch(last, progress, probes);
    EXPECT_EQ(progress, 1);
    EXPECT_EQ(last.Step(), BusSearch::kFinishedStep);

    BusSearch full(link.get(), 0);
    EXPECT_EQ(full.ProgressMaximum(), 256);
    EXPECT_FALSE(full.Finished());
}

TEST_F(ProbeTest, MainUnitSlots) {
    struct Case {
        std::string name;
        std::string table;
        std::vector<std::string> slots;
    };
    const std::vector<Case> cases = {
        {"8600", "1G17FF13", {"(S0)8631G", "(S1)8617", "(S3)8613"}},
        {"8600X", "1G17FF13", {"(S0)8631G", "(S1)8617", "(S3)8613"}},  // 8 characters: 0..3
        {"8600X",
         "1A1B1C1D1E1F1G1H",
         {"(S0)861A", "(S1)861B", "(S2)861C", "(S3)861D", "(S4)861E", "(S5)861F", "(S6)8631G",
          "(S7)861H"}},
        {"8600", "1A1B1C1D1E1F1G1H", {"(S0)861A", "(S1)861B", "(S2)861C", "(S3)861D"}},
        {"8600", "", {}},        // no answer to $AAT
        {"8600", "1A1B1C", {}},  // a table of another length covers no slot
    };
    for (const auto& c : cases) {
        bus.modules[0x20] = {FakeModule::Plain, c.name, c.table};
        bus.ClearLog();
        BusSearch search(link.get(), 0x20, 0x20);
        ProbeNode node;
        bool progressed = false;
        ASSERT_TRUE(search.ProbeNext(node, progressed)) << c.name << c.table;
        EXPECT_EQ(node.text, "(20)" + c.name);
        EXPECT_TRUE(node.mainUnit);
        EXPECT_EQ(node.slotNodes, c.slots) << c.name << " " << c.table;
        // The slot table is asked exactly once.
        EXPECT_EQ(bus.Log(), (std::vector<std::string>{"$20M\r", "$20T\r"})) << c.table;
    }
    // The main unit with checksum: the slot table goes out with checksum too.
    bus.modules[0x20] = {FakeModule::Checked, "8600", "1G17FFFF"};
    bus.ClearLog();
    BusSearch search(link.get(), 0x20, 0x20);
    int progress = 0, probes = 0;
    auto nodes = RunSearch(search, progress, probes);
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_EQ(nodes[0].marker, 1);
    EXPECT_EQ(nodes[0].slotNodes, (std::vector<std::string>{"(S0)8631G", "(S1)8617"}));
    EXPECT_EQ(bus.Log().back(), "$20T" + Sum("$20T") + "\r");
}

TEST_F(ProbeTest, DrainLinkStopsAtSilenceOrLimit) {
    peer.send("leftover");
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(odel::DrainLink(*link), 8);
    peer.send(std::string(1100, 'x'));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(odel::DrainLink(*link), 1025);
    EXPECT_EQ(odel::DrainLink(*link), 75);
    EXPECT_EQ(odel::DrainLink(*link), 0);
}

// No quiet wait before the next address: its first probe goes out as soon as the Modbus probe of
// the address before has timed out, and a late Modbus answer of that address, arriving during
// the probe, is still not taken as the next address's reply.
TEST(ProbeLate, LateModbusFrameDuringTheNextAsciiProbeIsRejected) {
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok());
    FakeBus bus{peer};
    const int timeout = 150;
    auto link = OpenLink(peer.path(), timeout);
    // Slave 21 answers its name registers ("7352" and a CR) 20 ms into the probe of 22.
    const std::string late = WithCrc(std::string("\x21\x03\x04\x73\x0D\x52\x00", 7));
    ASSERT_EQ(std::count(late.begin(), late.end(), '\r'), 1);
    std::thread sender;
    bus.watch = [&](const std::string& request) {
        if (request != "$22M\r") return;
        sender = std::thread([&peer, late] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            peer.send(late);
        });
    };
    BusSearch search(link.get(), 0x21, 0x22);
    ProbeNode node;
    bool progressed = false;
    for (int probe = 0; probe < 3; ++probe) EXPECT_FALSE(search.ProbeNext(node, progressed));
    bool found = true;
    long long ms = ElapsedMs([&] { found = search.ProbeNext(node, progressed); });
    EXPECT_FALSE(found) << node.text;
    // One time-out after the foreign bytes, not a quiet time-out before the command.
    EXPECT_LT(ms, 2 * timeout - 50);
    while (!search.Finished()) EXPECT_FALSE(search.ProbeNext(node, progressed)) << node.text;
    if (sender.joinable()) sender.join();
    EXPECT_EQ(bus.Log(), (std::vector<std::string>{"$21M\r", "$21MD4\r", "RTU 21 03 00D2 0002",
                                                   "$22M\r", "$22MD5\r", "RTU 22 03 00D2 0002"}));
}

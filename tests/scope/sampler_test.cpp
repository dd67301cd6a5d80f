// Sweeps, records and CSV rows against the simulator with frozen values.
#include "scope/Sampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "device/SerialPort.h"
#include "scope/Catalog.h"
#include "scope/CsvWriter.h"
#include "scope/IsoTime.h"
#include "sim/SimBus.h"

namespace sc = odel::scope;
using odel::sim::ModuleState;

namespace {

// A mixed bus: multi-channel AI, counter, digital module, Modbus AI module.
odel::sim::BusDescription MixedBus() {
    odel::sim::BusDescription bus;
    ModuleState ai = *odel::sim::makeModule("7352R", 0x01);
    ai.ranges = {0x08, 0x08, 0x0B, 0x07, 0x08, 0x08, 0x08, 0x08};
    ai.values = {1.234, -5.5, 12.5, 4.0, 0, 0, 0, 0};
    ModuleState counter = *odel::sim::makeModule("7320", 0x07);
    counter.counts = {1000, 0xFFFFFFFFu};
    ModuleState dio = *odel::sim::makeModule("7385", 0x17);
    dio.digitalOutputs = 0x05;
    dio.digitalInputs = 0x8A;
    dio.format |= 0x40;  // answers with checksum
    ModuleState mod = *odel::sim::makeModule("7354R", 0x23);
    mod.format |= 0x04;  // Modbus
    mod.ranges = {0x07, 0x06, 0x0E, 0x0E, 0x0E, 0x0E, 0x0E, 0x0E};
    mod.values = {12.0, -20.0, 0, 0, 0, 0, 0, 0};
    for (ModuleState* m : {&ai, &counter, &dio, &mod}) m->live = false;
    bus.modules = {ai, counter, dio, mod};
    return bus;
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class SamplerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(sim.start(MixedBus())) << sim.error();
        link = std::make_unique<odel::SerialPort>(sim.slavePath());
        ASSERT_TRUE(link->Open());
        ASSERT_TRUE(link->SetLineSettings(9600, 8, 0, 0));
        link->SetTimeout(30);
    }
    // Describes the module at address and adds the named inputs.
    void Add(const std::string& address, const std::string& model, int marker,
             const std::vector<std::string>& names) {
        sc::ModuleInfo info = sc::Describe(link.get(), address, model, marker);
        ASSERT_TRUE(info.ok) << address << ": " << info.reason;
        std::vector<int> idx;
        for (const auto& n : names) {
            idx.push_back(info.FindInput(n));
            ASSERT_GE(idx.back(), 0) << n;
        }
        ASSERT_TRUE(sampler.Add(info, idx));
    }
    void AddMixed() {
        Add("01", "7352R", 0, {"CH0", "1", "CH2", "CH3"});
        Add("07", "7320", 0, {"CN0", "CN1"});
        Add("17", "7385", 1, {"DI", "DI1", "DI7", "DO", "DO2"});
        Add("23", "7354R", 2, {"CH0", "CH1"});
    }
    odel::sim::SimBus sim;
    std::unique_ptr<odel::SerialPort> link;
    sc::Sampler sampler;
};

const char* const kHeader =
    "time,01 7352R CH0 [V],01 7352R CH1 [V],01 7352R CH2 [mV],01 7352R CH3 [mA],07 7320 CN0,"
    "07 7320 CN1,17 7385 DI,17 7385 DI1,17 7385 DI7,17 7385 DO,17 7385 DO2,23 7354R CH0 [mA],"
    "23 7354R CH1 [mA],note\n";
const char* const kRow =
    ",+01.234,-05.500,+012.50,+04.000,1000,4294967295,8A,1,1,05,1,+12.000,-20.000,\n";

TEST_F(SamplerTest, MixedBusGivesExactHeaderAndRows) {
    sampler.SetLink(link.get());
    AddMixed();
    const std::string path = ::testing::TempDir() + "/scope-mixed.csv";
    sc::CsvWriter csv;
    ASSERT_TRUE(csv.Open(path));
    ASSERT_TRUE(csv.WriteHeader(sampler.Columns()));
    for (int i = 0; i < 2; ++i) ASSERT_TRUE(csv.WriteSweep(sampler.Sweep()));
    csv.Close();
    std::istringstream lines(Slurp(path));
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line + "\n", kHeader);
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(std::getline(lines, line));
        ASSERT_GT(line.size(), 29u);
        EXPECT_TRUE(odel::test::IsIsoLocalTime(line.substr(0, 29))) << line;
        EXPECT_EQ(line.substr(29) + "\n", kRow);
    }
    EXPECT_FALSE(std::getline(lines, line));
    // One bulk read per module: #01 once, not once per channel; the checksum module's line
    // carries its checksum and the link's flag is given back.
    sim.clearReceived();
    sampler.Sweep();
    EXPECT_EQ(sim.received(0), "#01\r");
    EXPECT_EQ(sim.received(1), "#070\r#071\r");
    EXPECT_EQ(sim.received(2), "$176C2\r");  // 24+31+37+36 = C2
    EXPECT_EQ(link->GetChecksum(), 0);
}

TEST_F(SamplerTest, RecordCarriesUnitsValuesAndNumbers) {
    sampler.SetLink(link.get());
    AddMixed();
    const sc::SweepRecord r = sampler.Sweep();
    ASSERT_EQ(r.samples.size(), 13u);
    EXPECT_EQ(r.samples[2].unit, "mV");
    EXPECT_EQ(r.samples[2].input, "CH2");
    EXPECT_DOUBLE_EQ(*r.samples[2].value, 12.5);
    EXPECT_DOUBLE_EQ(*r.samples[5].value, 4294967295.0);
    EXPECT_DOUBLE_EQ(*r.samples[6].value, 0x8A);
    EXPECT_EQ(r.samples[11].address, "23");
    EXPECT_DOUBLE_EQ(*r.samples[11].value, 12.0);
}

TEST_F(SamplerTest, FailedReadLeavesEmptyCellsCountsAndResumes) {
    sampler.SetLink(link.get());
    AddMixed();
    sampler.Sweep();
    sim.setFault(sim.findModule(0x07), odel::sim::Fault::NoReply, "#", 1);
    const sc::SweepRecord bad = sampler.Sweep();
    const sc::SweepRecord good = sampler.Sweep();
    for (std::size_t i = 0; i < bad.samples.size(); ++i) {
        const bool counter = bad.samples[i].address == "07";
        EXPECT_EQ(bad.samples[i].ok, !counter) << i;
        EXPECT_EQ(bad.samples[i].text.empty(), counter) << i;
        EXPECT_TRUE(good.samples[i].ok) << i;
    }
    EXPECT_EQ(sampler.Status()[1].failures, 1u);
    EXPECT_TRUE(sampler.Status()[1].lastOk);
    EXPECT_EQ(sampler.Status()[0].failures, 0u);
    // The row of the failed sweep has empty cells for the counter only.
    const std::string path = ::testing::TempDir() + "/scope-fail.csv";
    sc::CsvWriter csv;
    ASSERT_TRUE(csv.Open(path));
    csv.WriteSweep(bad);
    csv.Close();
    EXPECT_EQ(Slurp(path).substr(29),
              ",+01.234,-05.500,+012.50,+04.000,,,8A,1,1,05,1,+12.000,-20.000,\n");
}

TEST_F(SamplerTest, ModulesAreDescribedFromTheirRanges) {
    struct Case {
        std::string address, model;
        int marker;
        std::string names;  // InputNames()
        std::string column0;
    };
    const Case cases[] = {
        {"01", "7352R", 0, "CH0..CH7", "01 7352R CH0 [V]"},
        {"07", "7320", 0, "CN0..CN1", "07 7320 CN0"},
        {"17", "7385", 1, "DI, DI0..DI7, DO, DO0..DO7", "17 7385 DI"},
        {"23", "7354R", 2, "CH0..CH7", "23 7354R CH0 [mA]"},
    };
    for (const Case& c : cases) {
        const sc::ModuleInfo m = sc::Describe(link.get(), c.address, c.model, c.marker);
        ASSERT_TRUE(m.ok) << c.model << ": " << m.reason;
        EXPECT_EQ(m.InputNames(), c.names);
        EXPECT_EQ(m.ColumnName(0), c.column0);
    }
    EXPECT_EQ(sc::Describe(link.get(), "23", "7354R", 2).inputs[2].range, "J Type");
    // A module that does not answer is listed with the reason and nothing to sample.
    const sc::ModuleInfo gone = sc::Describe(link.get(), "44", "7352R", 0);
    EXPECT_FALSE(gone.ok);
    EXPECT_EQ(gone.reason, "no answer to the configuration read");
    EXPECT_TRUE(gone.inputs.empty());
    EXPECT_FALSE(sampler.Add(gone, {0}));
    EXPECT_EQ(sc::Describe(link.get(), "03", "7361", 0).reason, "no inputs the scope can read");
}

}  // namespace

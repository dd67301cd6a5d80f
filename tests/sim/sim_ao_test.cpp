// What the simulated analog-output modules do over time: slew ramps, trims, the emergency
// input, the comm safety time and a power cycle, seen on the wire.
#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "sim/RawLink.h"
#include "sim/SimBus.h"

using odel::sim::ModuleState;

namespace {

class SimAo : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(bus.startFromText("0A 7361 frozen\n0E 7364 frozen\n")) << bus.error();
        link = std::make_unique<odel::test::RawLink>(bus.slavePath());
        ASSERT_TRUE(link->ok());
    }
    std::string ask(const std::string& line) { return link->exchange(line + "\r"); }
    static void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
    odel::sim::SimBus bus;
    std::unique_ptr<odel::test::RawLink> link;
};

TEST_F(SimAo, SlewRateRampsTheReadBackNotTheLastValue) {
    // Code 9: 32 mA/s, so 4 -> 20 mA takes half a second.
    bus.modify(0, [](ModuleState& m) { m.format = 9 << 2; });
    ASSERT_EQ(ask("#0A20.000"), ">\r");
    EXPECT_EQ(ask("$0A6"), "!0A20.000\r");
    const std::string early = ask("$0A8");
    ASSERT_EQ(early.size(), 10u);
    const double v = std::stod(early.substr(3));
    EXPECT_GT(v, 4.0);
    EXPECT_LT(v, 12.0);
    sleepMs(600);
    EXPECT_EQ(ask("$0A8"), "!0A20.000\r");
    // Immediately (code 0) the read-back follows at once.
    bus.modify(0, [](ModuleState& m) { m.format = 0; });
    ASSERT_EQ(ask("#0A05.000"), ">\r");
    EXPECT_EQ(ask("$0A8"), "!0A05.000\r");
}

TEST_F(SimAo, TrimCountsMoveTheReadBack) {
    ASSERT_EQ(ask("#0A12.500"), ">\r");
    EXPECT_EQ(ask("$0A30A"), "!0A\r");  // +10 counts: 15 uA down
    EXPECT_EQ(ask("$0A8"), "!0A12.485\r");
    EXPECT_EQ(ask("$0A3F6"), "!0A\r");  // -10 counts
    EXPECT_EQ(ask("$0A3F6"), "!0A\r");
    EXPECT_EQ(ask("$0A8"), "!0A12.515\r");
    EXPECT_EQ(ask("$0A6"), "!0A12.500\r");
    EXPECT_EQ(bus.module(0).aoTrimCounts, -10);
}

TEST_F(SimAo, EmergencyInputDrivesOnlyTheEnabledChannels) {
    ASSERT_EQ(ask("#0EEC1+06.000"), ">\r");
    ASSERT_EQ(ask("$0EAC11"), "!0E\r");
    bus.modify(1, [](ModuleState& m) { m.aoEmergencyActive = true; });
    EXPECT_EQ(ask("$0E6C1"), "!0E+06.000\r");
    EXPECT_EQ(ask("$0E6C0"), "!0E+04.000\r");
    bus.modify(1, [](ModuleState& m) { m.aoEmergencyActive = false; });
    EXPECT_EQ(ask("$0E6C1"), "!0E+12.000\r");
}

TEST_F(SimAo, SilentHostPastTheSafetyTimeSendsOutputsToEmergencyValues) {
    ASSERT_EQ(ask("#0EEC0+02.000"), ">\r");
    ASSERT_EQ(ask("$0EX00002"), "!0E\r");  // 0.2 s
    EXPECT_EQ(ask("$0E6C0"), "!0E+04.000\r");
    sleepMs(350);
    EXPECT_EQ(ask("$0E6C0"), "!0E+02.000\r");
    EXPECT_EQ(ask("$0E6C3"), "!0E+00.000\r");
    EXPECT_TRUE(bus.module(1).safetyTriggered);
    ASSERT_EQ(ask("#0EC0+10.000"), ">\r");
    EXPECT_EQ(ask("$0E6C0"), "!0E+10.000\r");
    EXPECT_FALSE(bus.module(1).safetyTriggered);
}

TEST_F(SimAo, PowerCycleStartsAtTheStartUpValues) {
    ASSERT_EQ(ask("#0A07.000"), ">\r");
    ASSERT_EQ(ask("$0A4"), "!0A\r");
    ASSERT_EQ(ask("#0A15.000"), ">\r");
    ASSERT_EQ(ask("#0ESC2-03.500"), ">\r");
    bus.modify(0, [](ModuleState& m) { m.aoRestart = true; });
    bus.modify(1, [](ModuleState& m) { m.aoRestart = true; });
    EXPECT_EQ(ask("$0A6"), "!0A07.000\r");
    EXPECT_EQ(ask("$0E6C2"), "!0E-03.500\r");
    EXPECT_EQ(ask("$0E6C1"), "!0E+04.000\r");
}

}  // namespace

// The simulated counter modules: range checks of their settings, clear to the initial value,
// frequency mode, preset outputs and the 7320L's alarm outputs with their latch.
#include <gtest/gtest.h>

#include "sim/SimInternal.h"

using odel::sim::ModuleState;

namespace {

std::string ask(ModuleState& m, const std::string& line) {
    bool block = false;
    return odel::sim::handleAscii(m, line, block).value_or("<silent>");
}

ModuleState counter(const char* model) {
    auto m = *odel::sim::makeModule(model, 7);
    m.counting = {false, false};
    return m;
}

TEST(SimCounter, SettingsAreRangeChecked) {
    ModuleState m = counter("7320");
    const std::pair<const char*, const char*> cases[] = {
        {"$070H65535", "!07"}, {"$070H65536", "?07"}, {"$070L00000", "!07"}, {"$070L1234", "?07"},
        {"$071H50", "!07"},    {"$071L51", "?07"},    {"$071H5", "?07"},     {"$0742", "!07"},
        {"$074X", "?07"},      {"$07A3", "?07"},      {"$07B2", "?07"},      {"@07DO04", "?07"},
        {"@07DO03", "!07"},    {"$0790012.5", "?07"},  // no display on the 7320
    };
    for (const auto& [command, reply] : cases) EXPECT_EQ(ask(m, command), reply) << command;
    EXPECT_EQ(ask(m, "$070H"), "!0765535");
    EXPECT_EQ(ask(m, "$074"), "!071");
    EXPECT_EQ(ask(m, "$071L"), "!0708");
}

TEST(SimCounter, ClearStartsFromTheInitialValue) {
    ModuleState m = counter("7320");
    m.counts = {500, 600};
    m.overflow = {true, true};
    EXPECT_EQ(ask(m, "@07P100000100"), "!07");
    EXPECT_EQ(ask(m, "@07G1"), "!0700000100");
    EXPECT_EQ(ask(m, "$0761"), "!07");
    EXPECT_EQ(ask(m, "#071"), ">00000100");
    EXPECT_EQ(ask(m, "$0771"), "!070");
    EXPECT_EQ(ask(m, "#070"), ">000001F4");
}

TEST(SimCounter, FrequencyModeReadsTheInputAtTheGateResolution) {
    ModuleState m = counter("7320");
    m.typeCode = 0x51;
    m.inputHz = {1234, 250};
    odel::sim::advanceCounter(m, 0.0, 0.1);
    EXPECT_EQ(m.counts[0] % 10, 0u);  // 0.1 s gate: 10 Hz steps
    EXPECT_NEAR(m.counts[0], 1234, 15);
    m.format |= 0x04;  // 1.0 s gate
    odel::sim::advanceCounter(m, 0.0, 0.1);
    EXPECT_NEAR(m.counts[0], 1234, 4);
}

TEST(SimCounter, PresetModeSwitchesTheOutputAtThePresetValue) {
    ModuleState m = counter("7320");
    m.counting = {true, true};
    EXPECT_EQ(ask(m, "@07SA00000064"), "!07");  // counter 1 preset 100
    EXPECT_EQ(ask(m, "@07PA0000FFFF"), "!07");
    EXPECT_EQ(ask(m, "@07EA1"), "!07");
    m.counts = {0, 99};
    odel::sim::advanceCounter(m, 0.0, 0.001);
    EXPECT_EQ(ask(m, "@07DI"), "!07202");
    m.counts = {0, 0};
    EXPECT_EQ(ask(m, "@07DA1"), "!07");
    EXPECT_EQ(ask(m, "@07DO00"), "!07");
    m.counts = {0, 200};
    odel::sim::advanceCounter(m, 0.0, 0.001);
    EXPECT_EQ(ask(m, "@07DI"), "!07000");
}

TEST(SimCounter, DisplayModelAlarmOutputsAndLatch) {
    ModuleState m = counter("7320L");
    m.counting = {true, false};
    EXPECT_EQ(ask(m, "@07SA000003E8"), "!07");  // high 1000
    EXPECT_EQ(ask(m, "@07PA00000064"), "!07");  // low 100
    EXPECT_EQ(ask(m, "@07EAL"), "!07");
    EXPECT_EQ(ask(m, "@07DO01"), "?07");  // the outputs are alarm outputs now
    m.counts[0] = 50;
    odel::sim::advanceCounter(m, 0.0, 0.001);
    EXPECT_EQ(ask(m, "@07DI"), "!07202");  // low alarm
    m.counts[0] = 500;
    odel::sim::advanceCounter(m, 0.0, 0.001);
    EXPECT_EQ(ask(m, "@07DI"), "!07202");  // latched
    EXPECT_EQ(ask(m, "@07CA"), "!07");
    EXPECT_EQ(ask(m, "@07DI"), "!07200");
    EXPECT_EQ(ask(m, "@07EAM"), "!07");
    m.counts[0] = 2000;
    odel::sim::advanceCounter(m, 0.0, 0.001);
    EXPECT_EQ(ask(m, "@07DI"), "!07101");
    m.counts[0] = 500;
    odel::sim::advanceCounter(m, 0.0, 0.001);
    EXPECT_EQ(ask(m, "@07DI"), "!07100");  // momentary: follows the count
    EXPECT_EQ(ask(m, "$0790012.5"), "!07");
    EXPECT_EQ(m.ledData, "0012.5");
    EXPECT_EQ(ask(m, "$079 012.5"), "?07");
    EXPECT_EQ(ask(m, "$0783"), "?07");
    EXPECT_EQ(ask(m, "@07EA0"), "?07");  // the 7320's per-counter form
}

}  // namespace

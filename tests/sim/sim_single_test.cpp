// The simulated single-channel and thermistor modules as the pages need them: alarm outputs
// from the value, DI edges counted, the 7345 without alarms, Fahrenheit and lead-wire values.
#include <gtest/gtest.h>

#include <string>

#include "sim/SimInternal.h"

using namespace odel::sim;

namespace {

std::string ask(ModuleState& m, const std::string& line) {
    bool block = false;
    auto r = handleAscii(m, line, block);
    return r ? *r : "(silent)";
}

TEST(SimSingle, AlarmOutputsMomentaryLatchedAndCleared) {
    ModuleState m = *makeModule("7341", 1);
    m.values[0] = 3;
    ask(m, "@01HI+05.000");
    ask(m, "@01LO-05.000");
    ask(m, "@01EAM");
    EXPECT_EQ(ask(m, "@01DI"), "!0110000");
    m.values[0] = 6;
    EXPECT_EQ(ask(m, "@01DI"), "!0110100");
    m.values[0] = 3;
    EXPECT_EQ(ask(m, "@01DI"), "!0110000");  // momentary
    EXPECT_EQ(ask(m, "@01DO01"), "?01");     // the alarm owns the outputs
    ask(m, "@01EAL");
    m.values[0] = -6;
    ask(m, "#01");
    m.values[0] = 3;
    EXPECT_EQ(ask(m, "@01DI"), "!0120200");  // latched
    EXPECT_EQ(ask(m, "@01CA"), "!01");
    EXPECT_EQ(ask(m, "@01DI"), "!0120000");
}

TEST(SimSingle, RisingEdgesOfTheInputCountEvents) {
    ModuleState m = *makeModule("7341L", 1);
    for (int i = 0; i < 5; ++i) {
        m.digitalInputs ^= 1;
        ask(m, "#01");
    }
    EXPECT_EQ(ask(m, "@01RE"), "!0100003");
    advanceLive(m, 1.5, 0.1);  // live modules toggle their DI on their own
    EXPECT_EQ(m.digitalInputs, 0);
    EXPECT_EQ(ask(m, "@01CE"), "!01");
    EXPECT_EQ(ask(m, "@01RE"), "!0100000");
}

TEST(SimSingle, RtdInputHasNoAlarmsAndPrintsOhms) {
    ModuleState m = *makeModule("7345", 1);
    m.values[0] = 0;
    for (const char* c : {"@01DI", "@01RE", "@01HI+01.000", "@01EAM"})
        EXPECT_EQ(ask(m, c), "?01") << c;
    m.format = 3;
    EXPECT_EQ(ask(m, "#01"), ">+100.00");
}

TEST(SimSingle, ThermistorFahrenheitAndUnsignedLeadWire) {
    ModuleState m = *makeModule("7347K", 1);
    m.values[0] = 100;
    EXPECT_EQ(ask(m, "#010"), ">+100.00");
    m.format = 0x08;
    EXPECT_EQ(ask(m, "#010"), ">+212.00");
    EXPECT_EQ(ask(m, "$01R1-007B"), "!01");
    EXPECT_EQ(ask(m, "$01R1"), "!01007B");  // four hex digits without sign
    EXPECT_EQ(ask(m, "$01R0+FFFF"), "!01");
    EXPECT_EQ(ask(m, "$01R0"), "!01FFFF");
}

}  // namespace

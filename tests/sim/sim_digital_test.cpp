// The digital modules on the wire (reply widths per model, output switching, fail-safe values)
// and the reply options every family may use: lower-case hex digits, corrupted data digits and
// faults limited to a number of commands.
#include <gtest/gtest.h>

#include <memory>

#include "sim/RawLink.h"
#include "sim/SimBus.h"

using odel::sim::Fault;
using odel::sim::ModuleState;
using odel::sim::SimBus;
using odel::test::RawLink;
using odel::test::withChecksum;

namespace {

const char* kBus = R"(01 7385 frozen
02 7396 frozen
03 7390 frozen
04 7380 frozen
05 7383 frozen
06 7381 frozen
07 7382 frozen
08 7385 frozen lowerhex checksum
09 7354R frozen
)";

class SimDigital : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(bus.startFromText(kBus)) << bus.error();
        link = std::make_unique<RawLink>(bus.slavePath());
        ASSERT_TRUE(link->ok());
        for (int i = 0; i < 8; ++i)
            bus.modify(i, [](ModuleState& m) {
                m.digitalInputs = 0xA5C3;
                m.digitalOutputs = 0xFF;
            });
    }
    std::string ask(const std::string& line) { return link->exchange(line + "\r"); }
    SimBus bus;
    std::unique_ptr<RawLink> link;
};

TEST_F(SimDigital, StatusWidthsOutputsAndFailSafePerModel) {
    struct Case {
        const char* address;
        const char* status;   // reply to $AA6 with all outputs on and inputs A5C3
        const char* output7;  // reply to #AA1701
        const char* safe;     // reply to $AAX1 after $AAX0 0123 FF
    };
    const Case cases[] = {
        {"01", "!FFC300\r", ">\r", "!0123FF\r"},    // 8 DO, 8 DI
        {"02", "!FF0000\r", ">\r", "!0123FF\r"},    // 8 DO, no DI
        {"03", "!0F0000\r", "?03\r", "!01230F\r"},  // 4 DO: DO 7 does not exist
        {"04", "!FF4300\r", ">\r", "!0123FF\r"},    // 8 DO, 7 DI
        {"05", "!A5C300\r", "?05\r", "?05\r"},      // 16 DI, no outputs
        {"06", "!A5C300\r", "?06\r", "?06\r"},     {"07", "!C300\r", "?07\r", "?07\r"},  // 8 DI
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        const std::string a = c.address;
        EXPECT_EQ(ask("$" + a + "6"), c.status);
        EXPECT_EQ(ask("#" + a + "1701"), c.output7);
        const bool outputs = std::string(c.safe)[0] == '!';
        EXPECT_EQ(ask("$" + a + "X00123FF"), outputs ? "!" + a + "\r" : "?" + a + "\r");
        EXPECT_EQ(ask("$" + a + "X1"), c.safe);
    }
    // Switching one line off and on again; malformed switch commands are refused.
    EXPECT_EQ(ask("#011200"), ">\r");
    EXPECT_EQ(bus.module(0).digitalOutputs, 0xFB);
    EXPECT_EQ(ask("#011201"), ">\r");
    EXPECT_EQ(bus.module(0).digitalOutputs, 0xFF);
    for (const char* bad : {"#011202", "#01121", "#011800", "#011210", "#0112001"})
        EXPECT_EQ(ask(bad), "?01\r") << bad;
    EXPECT_EQ(ask("$01X0012G00"), "?01\r");
}

TEST_F(SimDigital, LowerHexGivesLowerCaseDataDigitsOnly) {
    bus.modify(7, [](ModuleState& m) {
        m.digitalOutputs = 0xA5;
        m.digitalInputs = 0x0B;
        m.safeTime = 0xABCD;
        m.safeValue = 0xEF;
        m.typeCode = 0xAB;
    });
    // The address echo and the checksum stay upper case; the checksum covers what is sent.
    EXPECT_EQ(ask(withChecksum("$086")), withChecksum("!a50b00") + "\r");
    EXPECT_EQ(ask(withChecksum("$08X1")), withChecksum("!abcdef") + "\r");
    EXPECT_EQ(ask(withChecksum("$082")), withChecksum("!08ab0640") + "\r");
    EXPECT_EQ(ask(withChecksum("$08M")), withChecksum("!087385") + "\r");
    bus.modify(7, [](ModuleState& m) { m.address = 0x1B; });
    EXPECT_EQ(ask(withChecksum("$1B6")), withChecksum("!a50b00") + "\r");
    EXPECT_EQ(ask(withChecksum("%1B1CAB064A")), withChecksum("!1C") + "\r");
    // Other modules keep upper case.
    EXPECT_EQ(ask("$016"), "!FFC300\r");
}

TEST_F(SimDigital, BadDigitsCorruptTheDataOnly) {
    bus.setFault(0, Fault::BadDigits);
    EXPECT_EQ(ask("$016"), "!GGGGGG\r");
    EXPECT_EQ(ask("$012"), "!01GGGGGG\r");  // address echo kept
    EXPECT_EQ(ask("$01F"), "!01GG.GG\r");   // firmware A1.20
    EXPECT_EQ(ask("#011201"), ">\r");       // nothing to corrupt
    bus.setFault(7, Fault::BadDigits, "$6");
    EXPECT_EQ(ask(withChecksum("$086")), withChecksum("!GGGGGG") + "\r");  // checksum valid
    EXPECT_EQ(ask(withChecksum("$08X1")), withChecksum("!000000") + "\r");
    bus.setFault(8, Fault::BadDigits);
    EXPECT_EQ(ask("$09M"), "!09GGGGR\r");
}

TEST_F(SimDigital, CountLimitedFaultsClearAfterTheirCommands) {
    bus.setFault(0, Fault::NoReply, "$6", 2);
    EXPECT_EQ(ask("$01M"), "!017385\r");  // not matching: does not count
    EXPECT_EQ(ask("$016"), "");
    EXPECT_EQ(ask("$016"), "");
    EXPECT_EQ(ask("$016"), "!FFC300\r");
    EXPECT_EQ(bus.module(0).fault.kind, Fault::None);
    bus.setFault(0, Fault::Reject, {}, 1);
    EXPECT_EQ(ask("$01M"), "?01\r");
    EXPECT_EQ(ask("$01M"), "!017385\r");
    bus.setFault(0, Fault::Reject);  // -1: for ever
    for (int k = 0; k < 3; ++k) EXPECT_EQ(ask("$01M"), "?01\r");
}

TEST(SimDigitalBusFile, LowerHexIsAnOptionWithoutValue) {
    SimBus bus;
    EXPECT_TRUE(bus.startFromText("01 7385 lowerhex\n"));
    EXPECT_TRUE(bus.module(0).lowerHex);
    EXPECT_FALSE(bus.startFromText("01 7385 lowerhex=1\n"));
    EXPECT_EQ(bus.error(), "line 1: bad option \"lowerhex=1\"");
}

}  // namespace

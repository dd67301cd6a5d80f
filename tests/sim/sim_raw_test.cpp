// The simulator on the wire: command lines written to the pty, replies read back byte for byte.
#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "sim/RawLink.h"
#include "sim/SimBus.h"

using odel::sim::Fault;
using odel::sim::ModuleState;
using odel::sim::SimBus;
using odel::test::bytes;
using odel::test::modbusFrame;
using odel::test::RawLink;
using odel::test::withChecksum;

namespace {

const char* kBus = R"(# test bus
01 7354R frozen
02 7352R checksum frozen
40 7354 init frozen
05 7385
06 7385 modbus
07 7364 modbus
08 7320 frozen
09 8600X
0A 7361 frozen
0B 7341 frozen
0C 7354R modbus frozen
0D 7382
0E 7364 frozen
)";

class SimRaw : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(bus.startFromText(kBus)) << bus.error();
        link = std::make_unique<RawLink>(bus.slavePath());
        ASSERT_TRUE(link->ok());
    }
    std::string ask(const std::string& line) { return link->exchange(line + "\r"); }
    SimBus bus;
    std::unique_ptr<RawLink> link;
};

TEST_F(SimRaw, AnswersOnlyItsOwnAddress) {
    EXPECT_EQ(ask("$01M"), "!017354R\r");
    EXPECT_EQ(ask("$05M"), "!057385\r");
    EXPECT_EQ(ask("$0bM"), "!0B7341\r");  // address digits read case-insensitively
    EXPECT_EQ(ask("$33M"), "");           // nobody there
    EXPECT_EQ(ask("$01Q"), "?01\r");      // unknown command
    EXPECT_EQ(bus.received(0), "$01M\r$01Q\r");
}

TEST_F(SimRaw, ConfigurationAndDataReplyShapes) {
    struct Case {
        const char* command;
        const char* reply;
    };
    bus.modify(0, [](ModuleState& m) {
        m.values[0] = 1.234;
        m.ranges[0] = 0x06;
        m.values[1] = 250.0;  // K thermocouple, 0..1000
        m.burnout[2] = true;
        m.enableMask = 0x83;
        m.watchdog = 123;
    });
    const Case cases[] = {
        {"$012", "!010F0600\r"},  {"$01F", "!01A1.20\r"},   {"$016", "!0183\r"},
        {"$018C0", "!01C0R06\r"}, {"$018C3", "!01C3R0F\r"}, {"$01Y", "!010123\r"},
        {"$013", ">+025.00\r"},   {"#010", ">+01.234\r"},   {"#011", ">+0250.0\r"},
        {"#012", ">+888888\r"},   {"$018C8", "?01\r"},  // no channel 8
        {"$017C1R55", "?01\r"},                         // range not in the model's table
    };
    for (const auto& c : cases) EXPECT_EQ(ask(c.command), c.reply) << c.command;
    std::string all = ask("#01");
    ASSERT_EQ(all.size(), 1 + 8 * 7 + 1u);
    EXPECT_EQ(all.substr(0, 22), ">+01.234+0250.0+888888");
}

TEST_F(SimRaw, ChannelCommandsChangeTheModule) {
    EXPECT_EQ(ask("$01583"), "!01\r");
    EXPECT_EQ(ask("$017C3R0F"), "!01\r");
    EXPECT_EQ(ask("$01X0123"), "!01\r");
    EXPECT_EQ(ask("$019+006F"), "!01\r");
    EXPECT_EQ(ask("$011C2"), "!01\r");
    ModuleState m = bus.module(0);
    EXPECT_EQ(m.enableMask, 0x83);
    EXPECT_EQ(m.ranges[3], 0x0F);
    EXPECT_EQ(m.watchdog, 123);
    EXPECT_EQ(m.cjcOffset, 0x6F);
    EXPECT_EQ(m.calibrations, (std::vector<std::string>{"$9+006F", "$1C2"}));
}

TEST_F(SimRaw, DataFormatsOfTheReadAll) {
    bus.modify(0, [](ModuleState& m) {
        m.ranges[0] = 0x06;  // +/-20 mA
        m.values[0] = -10.0;
    });
    bus.modify(0, [](ModuleState& m) { m.format = 0x01; });
    EXPECT_EQ(ask("#010"), ">-050.00\r");
    bus.modify(0, [](ModuleState& m) { m.format = 0x02; });
    EXPECT_EQ(ask("#010"), ">C000\r");
    EXPECT_EQ(ask("#01").size(), 1 + 8 * 4 + 1u);
}

TEST_F(SimRaw, ChecksumModuleNeedsAndSendsChecksum) {
    EXPECT_EQ(withChecksum("$012"), "$012B7");
    EXPECT_EQ(ask("$02M"), "");    // digits missing: ignored
    EXPECT_EQ(ask("$02M00"), "");  // wrong digits: ignored
    std::string reply = ask(withChecksum("$02M"));
    EXPECT_EQ(reply, withChecksum("!027352R") + "\r");
    EXPECT_EQ(ask(withChecksum("$022")), withChecksum("!02080640") + "\r");
}

TEST_F(SimRaw, InitModuleAnswersAtZeroOnly) {
    EXPECT_EQ(ask("$40M"), "");
    EXPECT_EQ(ask("$00M"), "!007354\r");
    EXPECT_EQ(ask("$002"), "!000F0600\r");  // stored configuration at 00
    // Baud and checksum change only in INIT: accepted here, refused on module 01.
    EXPECT_EQ(ask("%0041040740"), "!00\r");
    ModuleState m = bus.module(2);
    EXPECT_EQ(m.address, 0x41);
    EXPECT_EQ(m.typeCode, 0x04);
    EXPECT_EQ(m.ranges[5], 0x04);  // one range for all channels
    EXPECT_EQ(m.baudCode, 7);
    EXPECT_EQ(m.format, 0x40);
    EXPECT_EQ(ask("$00M"), "!007354\r");  // still INIT: 00, 9600, no checksum
    bus.modify(2, [](ModuleState& s) { s.init = false; });
    EXPECT_EQ(ask(withChecksum("$41M")), "");  // now at 19200 baud
    link->setSpeed(B19200);
    EXPECT_EQ(ask(withChecksum("$41M")), withChecksum("!417354") + "\r");
}

TEST_F(SimRaw, ConfigurationMovesTheModule) {
    EXPECT_EQ(ask("%01070F0700"), "?01\r");  // baud change outside INIT
    EXPECT_EQ(ask("%01070F0640"), "?01\r");  // checksum on outside INIT
    EXPECT_EQ(ask("%01070F06"), "?01\r");    // short
    EXPECT_EQ(ask("%01200F0602"), "!20\r");
    EXPECT_EQ(ask("$01M"), "");
    EXPECT_EQ(ask("$20M"), "!207354R\r");
    EXPECT_EQ(ask("$202"), "!200F0602\r");
    EXPECT_EQ(bus.findModule(0x20), 0);
}

TEST_F(SimRaw, AnswersOnlyAtItsLineSpeed) {
    link->setSpeed(B19200);
    EXPECT_EQ(ask("$01M"), "");
    link->setSpeed(B9600);
    EXPECT_EQ(ask("$01M"), "!017354R\r");
    bus.modify(0, [](ModuleState& m) { m.baudCode = 0x0A; });
    EXPECT_EQ(ask("$01M"), "");
    link->setSpeed(B115200);
    EXPECT_EQ(ask("$01M"), "!017354R\r");
}

TEST_F(SimRaw, DigitalAndCounterCommands) {
    bus.modify(3, [](ModuleState& m) {
        m.live = false;
        m.digitalOutputs = 0x0F;
        m.digitalInputs = 0x03;
    });
    EXPECT_EQ(ask("$056"), "!0F0300\r");
    EXPECT_EQ(ask("#051301"), ">\r");
    EXPECT_EQ(ask("$056"), "!0F0300\r");
    EXPECT_EQ(ask("#051200"), ">\r");
    EXPECT_EQ(ask("$056"), "!0B0300\r");
    EXPECT_EQ(ask("#051802"), "?05\r");
    EXPECT_EQ(ask("$05X0001E81"), "!05\r");
    EXPECT_EQ(ask("$05X1"), "!001E81\r");
    EXPECT_EQ(ask("#0D1301"), "?0D\r");  // input-only model

    EXPECT_EQ(ask("#080"), ">00000000\r");
    EXPECT_EQ(ask("$08300000000A"), "!08\r");
    EXPECT_EQ(ask("$0830"), "!080000000A\r");
    EXPECT_EQ(ask("@08DO02"), "!08\r");
    EXPECT_EQ(ask("@08EA1"), "!08\r");
    EXPECT_EQ(ask("@08DI"), "!08202\r");
    EXPECT_EQ(ask("@08PA0000ABCD"), "!08\r");
    EXPECT_EQ(ask("@08RP"), "!080000ABCD\r");
    EXPECT_EQ(ask("$080H"), "!0800010\r");
    EXPECT_EQ(ask("$081H25"), "!08\r");
    EXPECT_EQ(ask("$081H"), "!0825\r");
    // A started counter counts and overflows at its maximum.
    bus.modify(6, [](ModuleState& m) { m.live = true; });
    EXPECT_EQ(ask("$08501"), "!08\r");
    EXPECT_EQ(ask("$0850"), "!081\r");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(ask("$0870"), "!081\r");
    std::string count = ask("#080");
    ASSERT_EQ(count.size(), 10u);
    EXPECT_LE(std::stoul(count.substr(1, 8), nullptr, 16), 10u);
}

TEST_F(SimRaw, AnalogOutputCommands) {
    EXPECT_EQ(ask("#0E1C2+05.000"), "?0E\r");  // not a command of this model
    EXPECT_EQ(ask("#0EC2+05.000"), ">\r");
    EXPECT_EQ(ask("$0E6C2"), "!0E+05.000\r");
    EXPECT_EQ(ask("#0EC0+21.000"), "?0E\r");  // outside 0..20 mA
    EXPECT_EQ(ask("$0E8C1"), "!0EC11\r");
    EXPECT_EQ(ask("$0E7C1R30"), "!0E\r");
    EXPECT_EQ(ask("$0E8C1"), "!0EC10\r");
    EXPECT_EQ(ask("$0EAC31"), "!0E\r");
    EXPECT_EQ(ask("$0EBC3"), "!0EC31\r");
    EXPECT_EQ(ask("#0ESC0+04.000"), ">\r");
    EXPECT_EQ(ask("$0EDC0"), "!0E+04.000\r");
    EXPECT_EQ(ask("$0EX00064"), "!0E\r");
    EXPECT_EQ(ask("$0EX1"), "!0064\r");
    EXPECT_EQ(ask("#0A12.500"), ">\r");
    EXPECT_EQ(ask("$0A6"), "!0A12.500\r");
    EXPECT_EQ(ask("$0A4"), "!0A\r");
    EXPECT_EQ(bus.module(8).aoStartup[0], 12.5);
}

TEST_F(SimRaw, SingleChannelAlarmCommands) {
    EXPECT_EQ(ask("@0BDI"), "!0B00000\r");
    EXPECT_EQ(ask("@0BDO03"), "!0B\r");
    EXPECT_EQ(ask("@0BEAL"), "!0B\r");
    EXPECT_EQ(ask("@0BDO00"), "?0B\r");     // the alarm drives the outputs now
    EXPECT_EQ(ask("@0BDI"), "!0B20000\r");  // within the limits: both alarm outputs off
    EXPECT_EQ(ask("@0BHI+05.000"), "!0B\r");
    EXPECT_EQ(ask("@0BRH"), "!0B+05.000\r");
    EXPECT_EQ(ask("@0BHIabc"), "?0B\r");
    EXPECT_EQ(ask("@0BRE"), "!0B00000\r");
}

TEST_F(SimRaw, ModbusReadsAndWrites) {
    // Name registers 211-212 and firmware 213 of the 7354R at 0C.
    std::string reply =
        link->exchange(modbusFrame(bytes({0x0C, 0x03, 0x00, 0xD2, 0x00, 0x03})), false, 11);
    EXPECT_EQ(reply, modbusFrame(bytes({0x0C, 0x03, 0x06, 0x73, 0x54, 'R', 0x00, 0x01, 0x20})));
    // Enable mask write and read back.
    std::string write = modbusFrame(bytes({0x0C, 0x06, 0x00, 0xDC, 0x00, 0x05}));
    EXPECT_EQ(link->exchange(write, false, 8), write);
    EXPECT_EQ(bus.module(10).enableMask, 0x05);
    // Coils of the 7385 at 06: outputs from coil 17.
    std::string coil = modbusFrame(bytes({0x06, 0x05, 0x00, 0x12, 0xFF, 0x00}));
    EXPECT_EQ(link->exchange(coil, false, 8), coil);
    bus.modify(4, [](ModuleState& m) { m.live = false; });
    reply = link->exchange(modbusFrame(bytes({0x06, 0x01, 0x00, 0x10, 0x00, 0x08})), false, 6);
    EXPECT_EQ(reply, modbusFrame(bytes({0x06, 0x01, 0x01, 0x04})));
    // Exceptions: unknown function, unknown register.
    EXPECT_EQ(link->exchange(modbusFrame(bytes({0x06, 0x04, 0x00, 0x00, 0x00, 0x01})), false, 5),
              modbusFrame(bytes({0x06, 0x84, 0x01})));
    EXPECT_EQ(link->exchange(modbusFrame(bytes({0x0C, 0x03, 0x01, 0x00, 0x00, 0x01})), false, 5),
              modbusFrame(bytes({0x0C, 0x83, 0x02})));
    // A frame with a bad CRC is ignored; a Modbus module ignores ASCII.
    EXPECT_EQ(link->exchange(bytes({0x0C, 0x03, 0x00, 0xD2, 0x00, 0x02, 0x00, 0x00}), false, 9),
              "");
    EXPECT_EQ(ask("$0CM"), "");
}

TEST_F(SimRaw, FaultsOnTheWire) {
    bus.setFault(1, Fault::BadChecksum);
    ASSERT_EQ(withChecksum("!027352R"), "!027352RA6");
    EXPECT_EQ(ask(withChecksum("$02M")), "!027352RA7\r");
    bus.setFault(0, Fault::NoReply);
    EXPECT_EQ(ask("$01M"), "");
    bus.setFault(0, Fault::NoCr);
    EXPECT_EQ(ask("$01M"), "!017354R");
    bus.setFault(0, Fault::TooLong);
    std::string longReply = ask("$01M");
    EXPECT_EQ(longReply.size(), 71u);
    EXPECT_EQ(longReply.substr(0, 9), "!017354R0");
    bus.setFault(0, Fault::Garbage);
    EXPECT_EQ(ask("$01M"), std::string("\x15\xFE*!017354R\r", 12));
    bus.setFault(0, Fault::Reject, "$2");  // only the configuration read fails
    EXPECT_EQ(ask("$012"), "?01\r");
    EXPECT_EQ(ask("$01M"), "!017354R\r");
    bus.clearFault(0);
    EXPECT_EQ(ask("$012"), "!010F0600\r");

    std::string req = modbusFrame(bytes({0x0C, 0x03, 0x00, 0xDC, 0x00, 0x01}));
    bus.setFault(10, Fault::ModbusException);
    EXPECT_EQ(link->exchange(req, false, 5), modbusFrame(bytes({0x0C, 0x83, 0x04})));
    bus.setFault(10, Fault::ModbusBadCrc);
    std::string bad = link->exchange(req, false, 7);
    ASSERT_EQ(bad.size(), 7u);
    EXPECT_EQ(bad.substr(0, 5), bytes({0x0C, 0x03, 0x02, 0x00, 0xFF}));
    EXPECT_NE(bad, modbusFrame(bytes({0x0C, 0x03, 0x02, 0x00, 0xFF})));
}

TEST_F(SimRaw, ModbusFaultsAimAtOneFunctionAndRegister) {
    // Module 10 is the 7354R at 0C: mask 221 reads FF, firmware 213 reads 0120.
    const std::string mask = modbusFrame(bytes({0x0C, 0x03, 0x00, 0xDC, 0x00, 0x01}));
    const std::string firmware = modbusFrame(bytes({0x0C, 0x03, 0x00, 0xD4, 0x00, 0x01}));
    const std::string maskAnswer = modbusFrame(bytes({0x0C, 0x03, 0x02, 0x00, 0xFF}));
    struct Case {
        Fault kind;
        std::string answer;
    };
    const Case cases[] = {
        {Fault::NoReply, ""},
        {Fault::ModbusShort, modbusFrame(bytes({0x0C, 0x03, 0x01, 0x00}))},
        {Fault::ModbusZeroCount, modbusFrame(bytes({0x0C, 0x03, 0x00}))},
        {Fault::ModbusWrongFunc, modbusFrame(bytes({0x0C, 0x04, 0x02, 0x00, 0xFF}))},
        {Fault::ModbusForeign, modbusFrame(bytes({0x0D, 0x03, 0x02, 0x00, 0xFF}))},
        {Fault::ModbusException, modbusFrame(bytes({0x0C, 0x83, 0x04}))},
    };
    for (const Case& c : cases) {
        bus.setFault(10, c.kind, "03:221");
        EXPECT_EQ(link->exchange(mask, false, 7, 60), c.answer) << static_cast<int>(c.kind);
        EXPECT_EQ(link->exchange(firmware, false, 7, 60),
                  modbusFrame(bytes({0x0C, 0x03, 0x02, 0x01, 0x20})));
    }
    // A fault on writes only: reads still answer, the write echo comes back cut.
    bus.setFault(10, Fault::ModbusShort, "06");
    EXPECT_EQ(link->exchange(mask, false, 7, 60), maskAnswer);
    const std::string write = modbusFrame(bytes({0x0C, 0x06, 0x00, 0xDC, 0x00, 0x05}));
    EXPECT_EQ(link->exchange(write, false, 8, 60), modbusFrame(write.substr(0, 5)));
}

TEST_F(SimRaw, ModbusBroadcastsAreAppliedAndRecordedWithoutAnswer) {
    // Coil 20 on, to everybody: the Modbus 7385 at 06 (index 4) switches DO 3.
    bus.modify(4, [](ModuleState& m) { m.live = false; });
    const std::string coil = modbusFrame(bytes({0x00, 0x05, 0x00, 0x13, 0xFF, 0x00}));
    EXPECT_EQ(link->exchange(coil, false, 8, 60), "");
    EXPECT_EQ(bus.module(4).digitalOutputs & 0x08, 0x08);
    ASSERT_EQ(bus.module(4).broadcasts.size(), 1u);
    EXPECT_EQ(bus.module(4).broadcasts[0], coil);
    EXPECT_EQ(bus.module(5).broadcasts.size(), 1u);  // the Modbus 7364 heard it too
    EXPECT_TRUE(bus.module(3).broadcasts.empty());   // the ASCII 7385 did not
    EXPECT_EQ(bus.busSent(), "");
}

TEST_F(SimRaw, ModbusRawOfTheRsbThermocouplesStartsAt500) {
    bus.modify(10, [](ModuleState& m) {
        m.ranges[0] = 0x12;  // R type, 500..1750
        m.values[0] = 1125;  // the middle
        m.ranges[1] = 0x14;  // B type, 500..1800
        m.values[1] = 500;
    });
    const std::string read = modbusFrame(bytes({0x0C, 0x03, 0x00, 0x00, 0x00, 0x02}));
    EXPECT_EQ(link->exchange(read, false, 9, 60),
              modbusFrame(bytes({0x0C, 0x03, 0x04, 0x80, 0x00, 0x00, 0x00})));
}

TEST_F(SimRaw, FirmwareLoaderKeepsTheBlocks) {
    EXPECT_EQ(ask("$09D"), "?09\r");  // only in INIT state
    bus.modify(2, [](ModuleState& m) { m.init = false; });
    bus.modify(7, [](ModuleState& m) { m.init = true; });
    EXPECT_EQ(ask("$002"), "!000600\r");
    EXPECT_EQ(ask("$00T"), "!003134FF1G72XYFF81\r");
    EXPECT_EQ(ask("$00D"), "!00\r");
    EXPECT_EQ(ask("&00S1"), "!00\r");
    EXPECT_EQ(ask("&00A"), "!00\r");
    bus.modify(7, [](ModuleState& m) { m.rejectBlock[2] = 2; });  // refused twice, then taken
    std::string image;
    for (int i = 0; i < 300; ++i) image += static_cast<char>(i * 7);
    for (int n = 0; n < 3; ++n) {
        std::string block = bytes({0, n});
        std::string data = image.substr(n * 128, 128);
        data.resize(128, '\0');
        block += data;
        int sum = 0;
        for (unsigned char c : block) sum += c;
        EXPECT_EQ(ask("&00D"), "!00\r");
        if (n == 1) {  // a corrupted sum is refused and sent again
            std::string bad = block + static_cast<char>((sum + 1) & 0xFF) + "\r";
            EXPECT_EQ(link->exchange(bad), "?00\r");
            EXPECT_EQ(ask("&00D"), "!00\r");
        }
        block += static_cast<char>(sum & 0xFF);
        block += '\r';
        for (int refused = 0; n == 2 && refused < 2; ++refused) {
            EXPECT_EQ(link->exchange(block), "?00\r");
            EXPECT_EQ(ask("&00D"), "!00\r");
        }
        EXPECT_EQ(link->exchange(block), "!00\r");
    }
    // A block accepted again is recorded again.
    EXPECT_EQ(ask("&00D"), "!00\r");
    std::string again = bytes({0, 1}) + image.substr(128, 128);
    int sum = 1;
    for (unsigned char c : image.substr(128, 128)) sum += c;
    EXPECT_EQ(link->exchange(again + static_cast<char>(sum & 0xFF) + "\r"), "!00\r");
    EXPECT_EQ(ask("&00E"), "");
    ModuleState m = bus.module(7);
    ASSERT_EQ(m.downloads.size(), 1u);
    std::string padded = image;
    padded.resize(384, '\0');
    EXPECT_EQ(m.downloads[0], padded);
    EXPECT_EQ(m.badBlocks, 1);
    EXPECT_EQ(m.downloadBlockNumbers, (std::vector<std::vector<int>>{{0, 1, 2, 1}}));
    EXPECT_EQ(m.rejectBlock[2], 0);
    EXPECT_TRUE(m.pendingBlockNumbers.empty());
}

TEST(SimBusFile, RejectsBadLinesWithTheirNumber) {
    struct Case {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {"01 7352\n02 7999\n", "line 2: unknown model 7999"},
        {"# only\nzz 7352\n", "line 2: bad address \"zz\" (two hex digits expected)"},
        {"01 7352 baud=1234\n", "line 1: bad baud rate \"1234\""},
        {"01 7352 modbus\n", "line 1: model 7352 has no Modbus mode"},
        {"01 7352\n\n01 7354\n", "line 3: address 01 already used"},
        {"03 8600X slots=123\n", "line 1: slot table must have 8 or 16 characters"},
        {"01 7352 colour=red\n", "line 1: bad option \"colour=red\""},
        {"# nothing\n", "line 1: no module on the bus"},
        // Huge or binary words are quoted short and printable.
        {"01 7352 colour=\x01\xFF\n", "line 1: bad option \"colour=\\x01\\xFF\""},
        {"01 7352 q=1234567890123456789012345678901234567890\n",
         "line 1: bad option \"q=123456789012345678901234567890...\""},
    };
    for (const auto& c : cases) {
        odel::sim::BusDescription bus;
        std::string error;
        EXPECT_FALSE(odel::sim::parseBusFile(c.text, bus, error)) << c.text;
        EXPECT_EQ(error, c.error);
        EXPECT_TRUE(bus.modules.empty());
    }
    // A megabyte word in the error costs a few dozen characters, and a megabyte firmware text
    // is taken as it is.
    std::string error;
    odel::sim::BusDescription bus;
    EXPECT_FALSE(
        odel::sim::parseBusFile("01 7352 x" + std::string(1 << 20, 'y') + "\n", bus, error));
    EXPECT_LT(error.size(), 80u);
    EXPECT_TRUE(
        odel::sim::parseBusFile("01 7352 firmware=" + std::string(1 << 20, 'F'), bus, error));
    ASSERT_EQ(bus.modules.size(), 1u);
    EXPECT_EQ(bus.modules[0].firmware.size(), 1u << 20);
    SimBus sim;
    EXPECT_FALSE(sim.startFromText("01 7999\n"));
    EXPECT_FALSE(sim.running());
}

TEST(SimBusFile, ParsesOptions) {
    odel::sim::BusDescription bus;
    std::string error;
    ASSERT_TRUE(odel::sim::parseBusFile(
        "01 7352R checksum baud=19200   # comment\n 00 7364 modbus init\n03 8600 slots=3172FF1G\n",
        bus, error))
        << error;
    ASSERT_EQ(bus.modules.size(), 3u);
    EXPECT_EQ(bus.modules[0].format, 0x40);
    EXPECT_EQ(bus.modules[0].baudCode, 7);
    EXPECT_EQ(bus.modules[1].format, 0x80);
    EXPECT_TRUE(bus.modules[1].init);
    EXPECT_EQ(bus.modules[2].slotTable, "3172FF1G");
}

}  // namespace

namespace {

TEST(SimLive, ValuesMoveUnlessFrozenAndPacingTakesTime) {
    SimBus bus;
    ASSERT_TRUE(bus.startFromText("01 7352R\n02 7352R frozen baud=1200\n"));
    RawLink link(bus.slavePath());
    std::string first = link.exchange("#01\r");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_NE(link.exchange("#01\r"), first);
    link.setSpeed(B1200);
    std::string frozen = link.exchange("#02\r");
    EXPECT_EQ(frozen.size(), 58u);
    EXPECT_EQ(link.exchange("#02\r"), frozen);
    bus.setPacing(true, 20);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(link.exchange("#02\r"), frozen);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - t0);
    EXPECT_GE(ms.count(), 20 + 58 * 10 * 1000 / 1200 - 5);  // turnaround + 10 bits per byte
}

}  // namespace

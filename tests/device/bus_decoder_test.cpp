// The bus monitor's decoder: sample exchanges of every command family and of the four Modbus
// functions turn into exact row texts.
#include <gtest/gtest.h>

#include "device/BusDecoder.h"
#include "device/BusMonitor.h"

using namespace odel::bus;

namespace {

// An exchange whose reply bytes arrive one at a time, `gapUs` apart, the first `firstUs` after
// the write.
Exchange Make(std::string command, std::string reply, bool checksum = false,
              std::int64_t firstUs = 1500, std::int64_t gapUs = 100) {
    Exchange e;
    e.writeUsec = 1000000;
    e.wallUsec = 0;
    e.port = "/dev/pts/3";
    e.checksum = checksum;
    e.command = std::move(command);
    e.reply = std::move(reply);
    e.chunks.push_back({e.writeUsec, 0, static_cast<std::uint32_t>(e.command.size()), true});
    for (std::size_t k = 0; k < e.reply.size(); ++k)
        e.chunks.push_back({e.writeUsec + firstUs + static_cast<std::int64_t>(k) * gapUs,
                            static_cast<std::uint32_t>(k), 1, false});
    e.closed = true;
    return e;
}

std::string Bin(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes) s += static_cast<char>(b);
    return s;
}

// A Modbus frame with its CRC appended.
std::string Frame(std::initializer_list<int> bytes) {
    std::string s = Bin(bytes);
    std::uint16_t c = ModbusCrc(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
    s += static_cast<char>(c & 0xFF);
    s += static_cast<char>(c >> 8);
    return s;
}

struct Case {
    const char* name;
    Exchange e;
    const char* command;
    const char* reply;
    const char* replyTime;
    const char* verdict;
    const char* meaning;
};

TEST(BusDecoder, SampleExchangesGiveExactRowTexts) {
    const std::string tooLong = "!01" + std::string(62, '0') + "\r";
    const std::string tooLongText = "!01" + std::string(62, '0') + "↵";
    const Case cases[] = {
        {"read configuration", Make("$012\r", "!01400600\r"), "$012↵", "!01400600↵", "2.4 ms",
         "accepted \"!\"", "$AA2 read configuration"},
        {"checksum on, good", Make("$012B7\r", "!01400600AC\r", true), "$012[B7 ok]↵",
         "!01400600[AC ok]↵", "2.6 ms", "accepted \"!\"", "$AA2 read configuration"},
        {"checksum on, bad reply digits", Make("$012B7\r", "!01400600AD\r", true), "$012[B7 ok]↵",
         "!01400600[AD bad]↵", "2.6 ms", "bad checksum", "$AA2 read configuration"},
        {"read all inputs", Make("#01\r", ">+01.234+05.678\r"), "#01↵", ">+01.234+05.678↵",
         "3.0 ms", "data \">\"", "#AA read all inputs"},
        {"set configuration", Make("%0102080600\r", "!02\r"), "%0102080600↵", "!02↵", "1.8 ms",
         "accepted \"!\"",
         "%AANNTTCCFF set configuration (address 01 → 02, type 08, 9600 bps, format 00)"},
        {"rejected", Make("$01M\r", "?01\r"), "$01M↵", "?01↵", "1.8 ms", "rejected \"?\"",
         "$AAM read module name"},
        {"channel range", Make("$017C3R0E\r", "!01\r"), "$017C3R0E↵", "!01↵", "1.8 ms",
         "accepted \"!\"", "$AA7CnRrr set channel range (channel 3, range 0E)"},
        {"alarm limit", Make("@01HI+10.00\r", "!01\r"), "@01HI+10.00↵", "!01↵", "1.8 ms",
         "accepted \"!\"", "@AAHI(value) set high alarm limit (value +10.00)"},
        {"digital output", Make("#011301\r", ">\r"), "#011301↵", ">↵", "1.6 ms", "data \">\"",
         "#AA1n0v set digital output (output 3, value 1)"},
        {"channel output", Make("#01C2+12.000\r", ">\r"), "#01C2+12.000↵", ">↵", "1.6 ms",
         "data \">\"", "#AACn(value) write channel output (channel 2, value +12.000)"},
        {"counter", Make("$01510\r", "!01\r"), "$01510↵", "!01↵", "1.8 ms", "accepted \"!\"",
         "$AA5MM set channel enable (mask 10) or $AA5ns set counter state (counter 1, "
         "state 0)"},
        {"ambiguous form", Make("$016\r", "!0F0300\r"), "$016↵", "!0F0300↵", "2.2 ms",
         "accepted \"!\"", "$AA6 read channel enable / digital status / output value"},
        {"misbuilt command", Make("$01Q\r", ""), "$01Q↵", "", "no reply", "no reply",
         "unknown command"},
        {"no CR", Make("$012\r", "!01400600"), "$012↵", "!01400600", "2.3 ms", "no CR",
         "$AA2 read configuration"},
        {"garbage", Make("$012\r", "\x15\xFE*!01400600\r"), "$012↵", "<15><FE>*!01400600↵",
         "2.7 ms", "garbage", "$AA2 read configuration"},
        {"over-long", Make("$012\r", tooLong), "$012↵", tooLongText.c_str(), "8.0 ms", "over-long",
         "$AA2 read configuration"},
        {"echo", Make("$012\r", "$012\r!01400600\r"), "$012↵", "$012↵!01400600↵", "2.9 ms", "echo",
         "$AA2 read configuration"},
        {"late", Make("$012\r", "!01400600\r", false, 95000), "$012↵", "!01400600↵", "95.9 ms late",
         "accepted \"!\"", "$AA2 read configuration"},
        // Lines that answer another command: dropped by the link, told apart here.
        {"foreign reply", Make("$012\r", "!017352R\r"), "$012↵", "!017352R↵", "2.3 ms",
         "foreign reply", "$AA2 read configuration"},
        {"reply after a foreign one", Make("$02M\r", "!017352R\r!027354\r"), "$02M↵",
         "!017352R↵!027354↵", "3.1 ms", "accepted \"!\"",
         "$AAM read module name → after a foreign reply"},
        // Modbus: the four functions, an exception and a bad CRC.
        {"read coils", Make(Frame({1, 1, 0, 0, 0, 16}), Frame({1, 1, 2, 0x0F, 0x00})),
         "01 01 00 00 00 10 [3D C6 ok]", "01 01 02 0F 00 [BC 0C ok]", "2.1 ms", "ok",
         "slave 1 read coils (01) from coil 1, count 16 → 2 bytes: 0F 00"},
        {"read registers", Make(Frame({1, 3, 0, 0, 0, 1}), Frame({1, 3, 2, 0x00, 0x2A})),
         "01 03 00 00 00 01 [84 0A ok]", "01 03 02 00 2A [39 9B ok]", "2.1 ms", "ok",
         "slave 1 read holding registers (03) from register 1, count 1 → 2 bytes: 00 2A"},
        {"write coil", Make(Frame({1, 5, 0, 16, 0xFF, 0}), Frame({1, 5, 0, 16, 0xFF, 0})),
         "01 05 00 10 FF 00 [8D FF ok]", "01 05 00 10 FF 00 [8D FF ok]", "2.2 ms", "ok",
         "slave 1 write single coil (05) coil 17 on → echoed"},
        {"write register", Make(Frame({2, 6, 0, 4, 0x04, 0xD2}), Frame({2, 6, 0, 4, 0x04, 0xD2})),
         "02 06 00 04 04 D2 [4A A5 ok]", "02 06 00 04 04 D2 [4A A5 ok]", "2.2 ms", "ok",
         "slave 2 write single register (06) register 5 value 1234 → echoed"},
        {"exception", Make(Frame({1, 3, 0, 0x63, 0, 1}), Frame({1, 0x83, 2})),
         "01 03 00 63 00 01 [74 14 ok]", "01 83 02 [C0 F1 ok]", "1.9 ms", "exception",
         "slave 1 read holding registers (03) from register 100, count 1 → exception 02 illegal "
         "data address"},
        {"bad CRC", Make(Frame({1, 3, 0, 0, 0, 1}), Bin({1, 3, 2, 0, 0x2A, 0x39, 0x9C})),
         "01 03 00 00 00 01 [84 0A ok]", "01 03 02 00 2A [39 9C bad]", "2.1 ms", "bad CRC",
         "slave 1 read holding registers (03) from register 1, count 1"},
        {"Modbus no reply", Make(Frame({5, 1, 0, 0, 0, 8}), ""), "05 01 00 00 00 08 [3C 48 ok]", "",
         "no reply", "no reply", "slave 5 read coils (01) from coil 1, count 8"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Row r = Decode(c.e, c.e.writeUsec);
        EXPECT_EQ(r.command, c.command);
        EXPECT_EQ(r.reply, c.reply);
        EXPECT_EQ(r.replyTime, c.replyTime);
        EXPECT_EQ(r.verdict, c.verdict);
        EXPECT_EQ(r.meaning, c.meaning);
    }
}

TEST(BusDecoder, AddressTimeAndPending) {
    Exchange e = Make("$2A2\r", "");
    e.closed = false;
    e.timeoutMs = 80;
    EXPECT_EQ(Decode(e, e.writeUsec + 50000).verdict, "");  // still within the time-out
    EXPECT_EQ(Decode(e, e.writeUsec + 81000).verdict, "no reply");
    EXPECT_EQ(Decode(e, e.writeUsec).address, "2A");
    EXPECT_EQ(Decode(Make(Frame({0x11, 3, 0, 0, 0, 1}), ""), 0).address, "11");
    // hh:mm:ss.mmm of the local time.
    e.wallUsec = 1700000000123456;
    EXPECT_EQ(Decode(e, 0).time.size(), 12u);
    EXPECT_EQ(Decode(e, 0).time.substr(8), ".123");
}

TEST(BusDecoder, RawViewCsvAndText) {
    Exchange e = Make("$012\r", "!0\r");
    e.wallUsec = 1700000000000000;  // the wall clock of the write, a whole second
    std::string raw = RawText(e);
    // One line per chunk: µs time, direction, hex, ASCII.
    EXPECT_NE(raw.find(".000000  TX  24 30 31 32 0D  |$012↵|\n"), std::string::npos) << raw;
    EXPECT_NE(raw.find(".001500  RX  21  |!|\n"), std::string::npos) << raw;
    EXPECT_NE(raw.find(".001700  RX  0D  |↵|\n"), std::string::npos) << raw;
    Row r = Decode(Make("$01M\r", "!01\"x\"\r"), 0);
    r.time = "10:00:00.000";
    EXPECT_EQ(CsvLine(r),
              "\"10:00:00.000\",\"/dev/pts/3\",\"01\",\"$01M↵\",\"!01\"\"x\"\"↵\","
              "\"2.1 ms\",\"accepted \"\"!\"\"\",\"$AAM read module name\"");
    EXPECT_EQ(RowText(r),
              "10:00:00.000  /dev/pts/3  $01M↵  !01\"x\"↵  2.1 ms  accepted \"!\"  "
              "$AAM read module name");
}

}  // namespace

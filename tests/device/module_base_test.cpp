// ModuleBase: configuration commands, staged codes, the data format byte, address forwarding
// to the command groups, checksum path, failures and the 64-character command limit.
#include <map>

#include "device/AnalogInput.h"
#include "device/AnalogOutput.h"
#include "device/Counter.h"
#include "device/Digital.h"
#include "device/ModuleBase.h"
#include "device/module_wire.h"

namespace odel::test {
namespace {

class BaseWire : public WireTest {};

TEST_P(BaseWire, Exchange) {
    RunWireRow(GetParam());
}

const WireRow kBaseRows[] = {
    {"ReadConfiguration",
     [](SerialPort* p, Outs& o) {
         ModuleBase m(p, "01");
         std::string address = "-";
         bool ok = m.ReadConfiguration(address);
         o = {address, m.TypeCode(), m.BaudCode(), m.DataFormat()};
         return ok;
     },
     "$012\r",
     "!01080641\r",
     true,
     {"01", "08", "06", "41"}},
    {"ReadConfigurationShortReplyFails",
     [](SerialPort* p, Outs& o) {
         ModuleBase m(p, "01");
         std::string address = "-";
         bool ok = m.ReadConfiguration(address);
         o = {address, m.TypeCode(), m.BaudCode(), m.DataFormat()};
         return ok;
     },
     "$012\r",
     "!010806\r",
     false,
     {"-", "", "", ""}},
    {"RefreshConfiguration",
     [](SerialPort* p, Outs& o) {
         ModuleBase m(p, "3C");
         bool ok = m.RefreshConfiguration();
         o = {m.TypeCode(), m.BaudCode(), m.DataFormat()};
         return ok;
     },
     "$3C2\r",
     "!3C0E0A80\r",
     true,
     {"0E", "0A", "80"}},
    {"ReadFirmwareVersion",
     [](SerialPort* p, Outs& o) {
         std::string version = "-";
         bool ok = ModuleBase(p, "01").ReadFirmwareVersion(version);
         o = {version};
         return ok;
     },
     "$01F\r",
     "!01A1.05\r",
     true,
     {"A1.05"}},
    {"ReadModuleName",
     [](SerialPort* p, Outs& o) {
         std::string name = "-";
         bool ok = ModuleBase(p, "01").ReadModuleName(name);
         o = {name};
         return ok;
     },
     "$01M\r",
     "!017341L\r",
     true,
     {"7341L"}},
    {"SetCommWatchdog",
     [](SerialPort* p, Outs&) { return ModuleBase(p, "01").SetCommWatchdog("0150"); },
     "$01X0150\r",
     "!01\r",
     true,
     {}},
    {"ReadCommWatchdog",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = ModuleBase(p, "01").ReadCommWatchdog(value);
         o = {value};
         return ok;
     },
     "$01Y\r",
     "!010150\r",
     true,
     {"0150"}},
    {"SetConfigurationAfterNewAddress",
     [](SerialPort* p, Outs& o) {
         ModuleBase m(p, "01");
         m.SetAddress("02");
         m.SetTypeCode("08");
         m.SetBaudCode("06");
         m.SetDataFormat("00");
         bool ok = m.SetConfiguration();
         o = {m.PreviousAddress(), m.TypeCode(), m.BaudCode(), m.DataFormat()};
         return ok;
     },
     "%0102080600\r",
     "!02\r",
     true,
     {"", "08", "06", "00"}},
    // A fresh object has no previous address: nothing goes out.
    {"SetConfigurationFreshSendsNothing",
     [](SerialPort* p, Outs&) {
         ModuleBase m(p, "05");
         m.SetTypeCode("08");
         return m.SetConfiguration();
     },
     "",
     "!05\r",
     false,
     {}},
    {"SetConfigurationWithoutAddressSendsNothing",
     [](SerialPort* p, Outs&) {
         ModuleBase m(p);
         m.SetAddress("05");  // nothing held before: still no previous address
         return m.SetConfiguration();
     },
     "",
     "!05\r",
     false,
     {}},
    {"SetConfigurationSameAddress",
     [](SerialPort* p, Outs&) {
         ModuleBase m(p, "05");
         m.SetAddress("05");
         m.SetTypeCode("0E");
         m.SetBaudCode("0A");
         m.SetDataFormat("40");
         return m.SetConfiguration();
     },
     "%05050E0A40\r",
     "!05\r",
     true,
     {}},
    // A rejected change keeps the previous address so that it can be sent again.
    {"SetConfigurationRejectedKeepsPrevious",
     [](SerialPort* p, Outs& o) {
         ModuleBase m(p, "01");
         m.SetAddress("02");
         bool ok = m.SetConfiguration();
         o = {m.PreviousAddress()};
         return ok;
     },
     "%0102\r",
     "?01\r",
     false,
     {"01"}},
    {"GetTypeCodeReadsOnceWhenEmpty",
     [](SerialPort* p, Outs& o) {
         ModuleBase m(p, "01");
         std::string type = "-", again = "-";
         bool ok = m.GetTypeCode(type) && m.GetTypeCode(again);
         o = {type, again};
         return ok;
     },
     "$012\r",
     "!01080600\r",
     true,
     {"08", "08"}},
    {"GetTypeCodeFilledSendsNothing",
     [](SerialPort* p, Outs& o) {
         ModuleBase m(p, "01");
         m.SetTypeCode("0E");
         std::string type = "-";
         bool ok = m.GetTypeCode(type);
         o = {type};
         return ok;
     },
     "",
     "!01080600\r",
     true,
     {"0E"}},
    {"GetTypeCodeRejectedFails",
     [](SerialPort* p, Outs& o) {
         ModuleBase m(p, "01");
         std::string type = "-";
         bool ok = m.GetTypeCode(type);
         o = {type};
         return ok;
     },
     "$012\r",
     "?01\r",
     false,
     {"-"}},
    {"GetBaudCodeReadsWhenEmpty",
     [](SerialPort* p, Outs& o) {
         ModuleBase m(p, "01");
         std::string baud = "-";
         bool ok = m.GetBaudCode(baud);
         o = {baud};
         return ok;
     },
     "$012\r",
     "!01080700\r",
     true,
     {"07"}},
    {"GetBaudCodeTimeoutFails",
     [](SerialPort* p, Outs& o) {
         ModuleBase m(p, "01");
         std::string baud = "-";
         bool ok = m.GetBaudCode(baud);
         o = {baud};
         return ok;
     },
     "$012\r",
     "",
     false,
     {"-"}},
    // Two bits, one configuration read.
    {"GetFormatBits10ReadsOnce",
     [](SerialPort* p, Outs& o) {
         ModuleBase m(p, "01");
         std::string bits = "-";
         bool ok = m.GetFormatBits10(bits);
         o = {bits};
         return ok;
     },
     "$012\r",
     "!01080642\r",
     true,
     {"10"}},
    {"GetChecksumBitReadsWhenEmpty",
     [](SerialPort* p, Outs& o) {
         ModuleBase m(p, "01");
         std::string bit = "-";
         bool ok = m.GetChecksumBit(bit);
         o = {bit};
         return ok;
     },
     "$012\r",
     "!01080640\r",
     true,
     {"1"}},
    {"GetFormatBitNineSendsNothing",
     [](SerialPort* p, Outs& o) {
         ModuleBase m(p, "01");
         std::string bit = "-";
         bool ok = m.GetFormatBit(8, bit);
         o = {bit};
         return ok;
     },
     "",
     "!01080640\r",
     false,
     {"-"}},
    // A value that would overflow the 64-character command text is refused unsent.
    {"OverlongCommandSendsNothing",
     [](SerialPort* p, Outs&) { return ModuleBase(p, "01").SetCommWatchdog(std::string(70, '9')); },
     "",
     "!01\r",
     false,
     {}},
    {"LongestCommandIsSent",
     [](SerialPort* p, Outs&) { return ModuleBase(p, "01").SetCommWatchdog(std::string(58, '9')); },
     "$01X" + std::string(58, '9') + "\r",
     "!01\r",
     true,
     {}},
    {"NullPort",
     [](SerialPort*, Outs& o) {
         ModuleBase m(nullptr, "01");
         m.SetAddress("02");
         std::string value = "-";
         bool any = m.ReadConfiguration(value) || m.RefreshConfiguration() ||
                    m.SetConfiguration() || m.ReadFirmwareVersion(value) ||
                    m.ReadModuleName(value) || m.SetCommWatchdog("0010") ||
                    m.ReadCommWatchdog(value) || m.GetTypeCode(value) || m.GetBaudCode(value) ||
                    m.GetChecksumBit(value);
         o = {value, m.GetModbus() != nullptr ? "modbus" : "none"};
         return any;
     },
     "",
     "!01\r",
     false,
     {"-", "modbus"}},
};
INSTANTIATE_TEST_SUITE_P(ModuleBase, BaseWire, ::testing::ValuesIn(kBaseRows), RowName);

// SetAddress reaches every group of every class.
const WireRow kForwardRows[] = {
    {"AiMultiModule",
     [](SerialPort* p, Outs&) {
         AiMultiModule m(p, "01");
         m.SetAddress("02");
         return m.ZeroCalibrateChannel(0);
     },
     "$021C0\r",
     "!02\r",
     true,
     {}},
    {"Module7341LAlarm",
     [](SerialPort* p, Outs&) {
         Module7341L m(p, "01");
         m.SetAddress("02");
         return m.SpanCalibrate() && m.ClearEventCounter();
     },
     "$020\r@02CE\r",
     "!02\r",
     true,
     {}},
    {"Module7349Gauge",
     [](SerialPort* p, Outs&) {
         Module7349 m(p, "01");
         m.SetAddress("0A");
         std::string data;
         return m.ReadAnalogData(data) && m.DisableAlarm() && m.CalibrateOutputLow();
     },
     "#0A\r@0ADA\r$0AA\r",
     "!0A\r",
     true,
     {}},
    {"Module7361",
     [](SerialPort* p, Outs&) {
         Module7361 m(p, "01");
         m.SetAddress("02");
         return m.Calibrate20mA();
     },
     "$021\r",
     "!02\r",
     true,
     {}},
    {"Module7364",
     [](SerialPort* p, Outs&) {
         Module7364 m(p, "01");
         m.SetAddress("02");
         return m.Calibrate20mAChannel(1);
     },
     "$021C1\r",
     "!02\r",
     true,
     {}},
    {"Module7385",
     [](SerialPort* p, Outs&) {
         Module7385 m(p, "01");
         m.SetAddress("02");
         std::string a, b;
         return m.ReadDioStatus(a, b) && m.WriteDigitalOutput(2, "1");
     },
     "$026\r#021201\r",
     "!0F0300\r",
     true,
     {}},
    {"Module7382",
     [](SerialPort* p, Outs&) {
         Module7382 m(p, "01");
         m.SetAddress("02");
         std::string a;
         return m.ReadDioStatus(a);
     },
     "$026\r",
     "!0F0300\r",
     true,
     {}},
    {"Module7383",
     [](SerialPort* p, Outs&) {
         Module7383 m(p, "01");
         m.SetAddress("02");
         std::string a;
         return m.ReadDioStatus(a);
     },
     "$026\r",
     "!0F0300\r",
     true,
     {}},
    {"Module7320",
     [](SerialPort* p, Outs&) {
         Module7320 m(p, "01");
         m.SetAddress("02");
         return m.ClearCounter(0) && m.EnableAlarm(0);
     },
     "$0260\r@02EA0\r",
     "!02\r",
     true,
     {}},
    {"Module7320LDisplay",
     [](SerialPort* p, Outs&) {
         Module7320L m(p, "01");
         m.SetAddress("02");
         return m.ClearCounter(1) && m.WriteLedData("1") && m.DisableAlarm();
     },
     "$0261\r$0291\r@02DA\r",
     "!02\r",
     true,
     {}},
};
INSTANTIATE_TEST_SUITE_P(SetAddressForwards, BaseWire, ::testing::ValuesIn(kForwardRows), RowName);

// The data format byte: start value, operation, resulting field.
struct FormatRow {
    const char* name;
    bool fourOutput;  // Module7364 rather than ModuleBase
    const char* start;
    bool (*op)(ModuleBase&);
    bool ok;
    const char* result;
};

class FormatBits : public ::testing::TestWithParam<FormatRow> {};

TEST_P(FormatBits, Setter) {
    const FormatRow& row = GetParam();
    std::unique_ptr<ModuleBase> m;
    if (row.fourOutput) {
        m = std::make_unique<Module7364>(nullptr, "01");
    } else {
        m = std::make_unique<ModuleBase>(nullptr, "01");
    }
    m->SetDataFormat(row.start);
    EXPECT_EQ(row.op(*m), row.ok);
    EXPECT_EQ(m->DataFormat(), row.result);
}

const FormatRow kFormatRows[] = {
    {"Bit6OnEmpty", false, "", [](ModuleBase& m) { return m.SetFormatBit(6, "1"); }, true, "40"},
    {"Bit0Clear", false, "FF", [](ModuleBase& m) { return m.SetFormatBit(0, "0"); }, true, "FE"},
    {"OtherCharacterClears", false, "FF", [](ModuleBase& m) { return m.SetFormatBit(3, "x"); },
     true, "F7"},
    {"EmptyCharacterClears", false, "FF", [](ModuleBase& m) { return m.SetFormatBit(7, ""); }, true,
     "7F"},
    {"LowerCaseRead", false, "a0", [](ModuleBase& m) { return m.SetFormatBit(0, "1"); }, true,
     "A1"},
    {"Bit8Refused", false, "12", [](ModuleBase& m) { return m.SetFormatBit(8, "1"); }, false, "12"},
    {"NegativeBitRefused", false, "12", [](ModuleBase& m) { return m.SetFormatBit(-1, "1"); },
     false, "12"},
    {"Bits10From00", false, "00", [](ModuleBase& m) { return m.SetFormatBits10("10"); }, true,
     "02"},
    {"Bits10From03", false, "03", [](ModuleBase& m) { return m.SetFormatBits10("10"); }, true,
     "02"},
    {"Bits10Ones", false, "80", [](ModuleBase& m) { return m.SetFormatBits10("01"); }, true, "81"},
    {"Bit2", false, "00", [](ModuleBase& m) { return m.SetFormatBit2("1"); }, true, "04"},
    {"Bits52", false, "C3", [](ModuleBase& m) { return m.SetFormatBits52("1010"); }, true, "EB"},
    {"Bits52Clear", false, "FF", [](ModuleBase& m) { return m.SetFormatBits52("0000"); }, true,
     "C3"},
    {"ChecksumOn", false, "00", [](ModuleBase& m) { return m.SetChecksumBit("1"); }, true, "40"},
    {"ChecksumOff", false, "FF", [](ModuleBase& m) { return m.SetChecksumBit("0"); }, true, "BF"},
    {"Bit7", false, "00", [](ModuleBase& m) { return m.SetFormatBit7("1"); }, true, "80"},
    {"ProtocolBit2", false, "00", [](ModuleBase& m) { return m.SetProtocolBit("1"); }, true, "04"},
    {"ProtocolBit7On7364", true, "00", [](ModuleBase& m) { return m.SetProtocolBit("1"); }, true,
     "80"},
    {"ProtocolBit7Clear7364", true, "FF", [](ModuleBase& m) { return m.SetProtocolBit("0"); }, true,
     "7F"},
    {"DataFormatTwoCharacters", false, "", [](ModuleBase& m) { return m.SetDataFormat("4012"); },
     true, "40"},
};
INSTANTIATE_TEST_SUITE_P(DataFormat, FormatBits, ::testing::ValuesIn(kFormatRows),
                         [](const auto& info) { return std::string(info.param.name); });

// Getters on a filled field: no read is needed, so a module without port answers them.
struct GetterRow {
    const char* name;
    bool fourOutput;
    const char* format;
    bool (*op)(ModuleBase&, std::string&);
    const char* out;
};

class FormatGetters : public ::testing::TestWithParam<GetterRow> {};

TEST_P(FormatGetters, Getter) {
    const GetterRow& row = GetParam();
    std::unique_ptr<ModuleBase> m;
    if (row.fourOutput) {
        m = std::make_unique<Module7364>(nullptr, "01");
    } else {
        m = std::make_unique<ModuleBase>(nullptr, "01");
    }
    m->SetDataFormat(row.format);
    std::string out = "-";
    EXPECT_TRUE(row.op(*m, out));
    EXPECT_EQ(out, row.out);
}

const GetterRow kGetterRows[] = {
    {"Bits10", false, "02", [](ModuleBase& m, std::string& o) { return m.GetFormatBits10(o); },
     "10"},
    {"Bits10Both", false, "F3", [](ModuleBase& m, std::string& o) { return m.GetFormatBits10(o); },
     "11"},
    {"Bit2", false, "04", [](ModuleBase& m, std::string& o) { return m.GetFormatBit2(o); }, "1"},
    {"Bits52", false, "28", [](ModuleBase& m, std::string& o) { return m.GetFormatBits52(o); },
     "1010"},
    {"Checksum", false, "40", [](ModuleBase& m, std::string& o) { return m.GetChecksumBit(o); },
     "1"},
    {"ChecksumOff", false, "BF", [](ModuleBase& m, std::string& o) { return m.GetChecksumBit(o); },
     "0"},
    {"Bit7", false, "80", [](ModuleBase& m, std::string& o) { return m.GetFormatBit7(o); }, "1"},
    {"ProtocolBit2", false, "84", [](ModuleBase& m, std::string& o) { return m.GetProtocolBit(o); },
     "1"},
    {"ProtocolIgnoresBit7", false, "80",
     [](ModuleBase& m, std::string& o) { return m.GetProtocolBit(o); }, "0"},
    {"ProtocolBit7On7364", true, "80",
     [](ModuleBase& m, std::string& o) { return m.GetProtocolBit(o); }, "1"},
    {"ProtocolIgnoresBit2On7364", true, "04",
     [](ModuleBase& m, std::string& o) { return m.GetProtocolBit(o); }, "0"},
    {"LowerCaseHex", false, "c0", [](ModuleBase& m, std::string& o) { return m.GetFormatBit7(o); },
     "1"},
};
INSTANTIATE_TEST_SUITE_P(DataFormat, FormatGetters, ::testing::ValuesIn(kGetterRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ModuleBaseFields, SettersKeepTwoCharacters) {
    ModuleBase m(nullptr, "123");
    std::string address;
    EXPECT_TRUE(m.GetAddress(address));
    EXPECT_EQ(address, "12");
    m.SetTypeCode("0E9");
    m.SetBaudCode("0A1");
    EXPECT_EQ(m.TypeCode(), "0E");
    EXPECT_EQ(m.BaudCode(), "0A");
    m.SetAddress("FFF");
    EXPECT_TRUE(m.GetAddress(address));
    EXPECT_EQ(address, "FF");
    EXPECT_EQ(m.PreviousAddress(), "12");
    // Each SetAddress restages: the previous address is the one held just before.
    m.SetAddress("03");
    EXPECT_EQ(m.PreviousAddress(), "FF");
    EXPECT_EQ(m.GetPort(), nullptr);
}

// A handler that answers each line from a table, for exchanges of several commands.
std::unique_ptr<SerialPort> LinkWithAnswers(ScriptedPeer& peer,
                                            std::map<std::string, std::string> answers,
                                            bool checksum = false) {
    peer.setHandler([answers](const std::string& line) -> std::optional<std::string> {
        auto it = answers.find(line);
        if (it == answers.end()) return std::nullopt;
        return it->second;
    });
    auto link = OpenLink(peer.path(), 50);
    link->SetChecksum(checksum ? 1 : 0);
    return link;
}

TEST(ModuleBaseSequence, UpdateMovesModuleAndConsumesPreviousAddress) {
    ScriptedPeer peer;
    auto link = LinkWithAnswers(peer, {{"$012\r", "!01080600\r"}, {"%0102080600\r", "!02\r"}});
    Module7341L m(link.get(), "01");
    std::string address;
    ASSERT_TRUE(m.ReadConfiguration(address));
    m.SetAddress("02");
    m.SetBaudCode("06");
    m.SetChecksumBit("0");
    m.SetTypeCode("08");
    EXPECT_TRUE(m.SetConfiguration());
    // A second change without a new address sends nothing.
    EXPECT_FALSE(m.SetConfiguration());
    EXPECT_EQ(ReceivedAfterCall(peer, "$012\r%0102080600\r"), "$012\r%0102080600\r");
    // The staged codes stay for the next change.
    EXPECT_EQ(m.TypeCode(), "08");
    EXPECT_EQ(m.BaudCode(), "06");
    EXPECT_EQ(m.DataFormat(), "00");
}

TEST(ModuleBaseSequence, FreshObjectWithAddress05) {
    ScriptedPeer peer;
    auto link = LinkWithAnswers(peer, {{"%05050E0A40\r", "!05\r"}});
    ModuleBase m(link.get(), "05");
    m.SetTypeCode("0E");
    m.SetBaudCode("0A");
    m.SetChecksumBit("1");
    EXPECT_FALSE(m.SetConfiguration());
    EXPECT_EQ(ReceivedAfterCall(peer, ""), "");
    m.SetAddress("05");
    EXPECT_TRUE(m.SetConfiguration());
    EXPECT_EQ(ReceivedAfterCall(peer, "%05050E0A40\r"), "%05050E0A40\r");
}

TEST(ModuleBaseChecksum, CommandAndReplyCarryChecksum) {
    ScriptedPeer peer;
    auto link = LinkWithAnswers(peer,
                                {{"$012B7\r", WithChecksum("!01080640\r")},
                                 {WithChecksum("$01M\r"), WithChecksum("!017341L\r")}},
                                true);
    ModuleBase m(link.get(), "01");
    std::string address, name;
    ASSERT_TRUE(m.ReadConfiguration(address));
    EXPECT_EQ(m.DataFormat(), "40");  // the checksum digits are not taken for data
    ASSERT_TRUE(m.ReadModuleName(name));
    EXPECT_EQ(name, "7341L");
    EXPECT_EQ(ReceivedAfterCall(peer, "$012B7\r" + WithChecksum("$01M\r")),
              "$012B7\r" + WithChecksum("$01M\r"));
}

TEST(ModuleBaseChecksum, WrongReplyChecksumFails) {
    ScriptedPeer peer;
    auto link = LinkWithAnswers(peer, {{"$012B7\r", "!0108064000\r"}}, true);
    ModuleBase m(link.get(), "01");
    std::string address = "-";
    EXPECT_FALSE(m.ReadConfiguration(address));
    EXPECT_EQ(address, "-");
    EXPECT_EQ(m.TypeCode(), "");
}

TEST(ModuleBaseChecksum, LongestCommandStillFitsWithDigits) {
    ScriptedPeer peer;
    const std::string line = "$01X" + std::string(56, '1') + "\r";
    auto link = LinkWithAnswers(peer, {{WithChecksum(line), WithChecksum("!01\r")}}, true);
    ModuleBase m(link.get(), "01");
    EXPECT_TRUE(m.SetCommWatchdog(std::string(56, '1')));
    // One character more would not leave room for the checksum digits.
    EXPECT_FALSE(m.SetCommWatchdog(std::string(57, '1')));
    EXPECT_EQ(ReceivedAfterCall(peer, WithChecksum(line)), WithChecksum(line));
}

}  // namespace
}  // namespace odel::test

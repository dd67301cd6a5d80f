// Module8600: the main unit's configuration commands, its own fields and the slot table.
#include <map>

#include "device/Module8600.h"
#include "device/module_wire.h"

namespace odel::test {
namespace {

class MainUnitWire : public WireTest {};

TEST_P(MainUnitWire, Exchange) {
    RunWireRow(GetParam());
}

const WireRow kMainUnitRows[] = {
    {"ReadConfiguration",
     [](SerialPort* p, Outs& o) {
         Module8600 m(p, "01");
         bool ok = m.ReadConfiguration();
         o = {m.UnitBaudCode(), m.UnitDataFormat(), m.BaudCode(), m.DataFormat()};
         return ok;
     },
     "$012\r",
     "!010640\r",
     true,
     {"06", "40", "", ""}},
    {"ReadConfigurationShortFails",
     [](SerialPort* p, Outs& o) {
         Module8600 m(p, "01");
         bool ok = m.ReadConfiguration();
         o = {m.UnitBaudCode(), m.UnitDataFormat()};
         return ok;
     },
     "$012\r",
     "!01064\r",
     false,
     {"", ""}},
    {"SetConfiguration",
     [](SerialPort* p, Outs&) {
         Module8600 m(p, "01");
         m.SetBaudCode("0A");
         m.SetChecksumBit("1");
         return m.SetConfiguration();
     },
     "%01000A40\r",
     "!01\r",
     true,
     {}},
    {"SetConfigurationNoAddressSendsNothing",
     [](SerialPort* p, Outs&) {
         Module8600 m(p);
         m.SetBaudCode("06");
         return m.SetConfiguration();
     },
     "",
     "!01\r",
     false,
     {}},
    {"ReadSlotTable",
     [](SerialPort* p, Outs& o) {
         Module8600 m(p, "01");
         bool ok = m.ReadSlotTable();
         o = {m.SlotTable()};
         return ok;
     },
     "$01T\r",
     "!01301GFF40\r",
     true,
     {"301GFF40"}},
    {"ReadSlotTableTooLongFails",
     [](SerialPort* p, Outs& o) {
         Module8600 m(p, "01");
         bool ok = m.ReadSlotTable();
         o = {m.SlotTable()};
         return ok;
     },
     "$01T\r",
     "!01" + std::string(32, '3') + "\r",
     false,
     {""}},
    {"GetSlotCodeReadsTableOnce",
     [](SerialPort* p, Outs& o) {
         Module8600 m(p, "01");
         std::string a = "-", b = "-";
         bool ok = m.GetSlotCode(0, a) && m.GetSlotCode(3, b);
         o = {a, b};
         return ok;
     },
     "$01T\r",
     "!01301GFF40\r",
     true,
     {"30", "40"}},
    {"GetSlotCodeTableUnreadableFails",
     [](SerialPort* p, Outs& o) {
         Module8600 m(p, "01");
         std::string a = "-";
         bool ok = m.GetSlotCode(0, a);
         o = {a};
         return ok;
     },
     "$01T\r",
     "?01\r",
     false,
     {"-"}},
    {"GetSlotModuleName",
     [](SerialPort* p, Outs& o) {
         Module8600 m(p, "01");
         std::string a = "-", b = "-", c = "-";
         bool ok = m.GetSlotModuleName(0, a) && m.GetSlotModuleName(1, b);
         bool empty = m.GetSlotModuleName(2, c);
         o = {a, b, c, empty ? "named" : "empty"};
         return ok;
     },
     "$01T\r",
     "!01301GFF40\r",
     true,
     {"8630", "8631G", "-", "empty"}},
    {"ReadBaudAndChecksum",
     [](SerialPort* p, Outs& o) {
         Module8600 m(p, "01");
         std::string baud = "-", checksum = "-";
         bool ok = m.ReadBaudAndChecksum(baud, checksum);
         o = {baud, checksum};
         return ok;
     },
     "$012\r",
     "!010740\r",
     true,
     {"07", "1"}},
    {"ReadBaudAndChecksumRejected",
     [](SerialPort* p, Outs& o) {
         Module8600 m(p, "01");
         std::string baud = "-", checksum = "-";
         bool ok = m.ReadBaudAndChecksum(baud, checksum);
         o = {baud, checksum};
         return ok;
     },
     "$012\r",
     "?01\r",
     false,
     {"-", "-"}},
    // Without the unit's present format the configuration is not written.
    {"WriteBaudAndChecksumNeedsConfiguration",
     [](SerialPort* p, Outs&) { return Module8600(p, "01").WriteBaudAndChecksum("0A", "1"); },
     "$012\r",
     "",
     false,
     {}},
    {"NullPort",
     [](SerialPort*, Outs& o) {
         Module8600 m(nullptr, "01");
         std::string value = "-", bit = "-";
         bool any = m.ReadConfiguration() || m.SetConfiguration() || m.ReadSlotTable() ||
                    m.GetSlotCode(0, value) || m.GetSlotModuleName(0, value) ||
                    m.ReadBaudAndChecksum(value, bit) || m.WriteBaudAndChecksum("06", "0") ||
                    m.GetBaudCode(value) || m.GetChecksumBit(bit);
         o = {value, bit};
         return any;
     },
     "",
     "!01\r",
     false,
     {"-", "-"}},
};
INSTANTIATE_TEST_SUITE_P(Module8600, MainUnitWire, ::testing::ValuesIn(kMainUnitRows), RowName);

TEST(Module8600Sequence, WriteBaudAndChecksumKeepsOtherFormatBits) {
    ScriptedPeer peer;
    peer.setHandler([](const std::string& line) -> std::optional<std::string> {
        static const std::map<std::string, std::string> answers = {{"$012\r", "!010643\r"},
                                                                   {"%01000A03\r", "!01\r"}};
        auto it = answers.find(line);
        if (it == answers.end()) return std::nullopt;
        return it->second;
    });
    auto link = OpenLink(peer.path(), 50);
    Module8600 m(link.get(), "01");
    EXPECT_TRUE(m.WriteBaudAndChecksum("0A", "0"));
    EXPECT_EQ(ReceivedAfterCall(peer, "$012\r%01000A03\r"), "$012\r%01000A03\r");
    std::string baud, bit;
    EXPECT_TRUE(m.GetBaudCode(baud));
    EXPECT_TRUE(m.GetChecksumBit(bit));
    EXPECT_EQ(baud, "0A");
    EXPECT_EQ(bit, "0");
    // The base class fields are not the main unit's.
    EXPECT_EQ(m.BaudCode(), "");
    EXPECT_EQ(m.DataFormat(), "");
}

// Slot index limits: 4 slots in an 8-character table, 8 in a 16-character one, none otherwise.
struct SlotRow {
    const char* name;
    std::string table;
    int index;
    bool ok;
    std::string code;
};

class SlotTable : public ::testing::TestWithParam<SlotRow> {};

TEST_P(SlotTable, GetSlotCode) {
    const SlotRow& row = GetParam();
    ScriptedPeer peer;
    const std::string reply = "!01" + row.table + "\r";
    peer.setHandler([reply](const std::string&) -> std::optional<std::string> { return reply; });
    auto link = OpenLink(peer.path(), 50);
    Module8600 m(link.get(), "01");
    std::string code = "-";
    EXPECT_EQ(m.GetSlotCode(row.index, code), row.ok);
    EXPECT_EQ(code, row.code);
    EXPECT_EQ(ReceivedAfterCall(peer, "$01T\r"), "$01T\r");
}

const SlotRow kSlotRows[] = {
    {"EightFirst", "30311G40", 0, true, "30"},
    {"EightLast", "30311G40", 3, true, "40"},
    {"EightBeyond", "30311G40", 4, false, "-"},
    {"EightNegative", "30311G40", -1, false, "-"},
    {"SixteenSlot4", "30311G40FF2122FF", 4, true, "FF"},
    {"SixteenLast", "30311G40FF2122FF", 7, true, "FF"},
    {"SixteenBeyond", "30311G40FF2122FF", 8, false, "-"},
    {"TenCharacters", "30311G40FF", 0, false, "-"},
    {"SixCharacters", "30311G", 1, false, "-"},
};
INSTANTIATE_TEST_SUITE_P(Module8600, SlotTable, ::testing::ValuesIn(kSlotRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Module8600Names, CodesBecomeNames) {
    ScriptedPeer peer;
    peer.setHandler([](const std::string&) -> std::optional<std::string> {
        return std::string("!011gfF21XY30313260\r");
    });
    auto link = OpenLink(peer.path(), 50);
    Module8600 m(link.get(), "01");
    std::string name;
    ASSERT_TRUE(m.GetSlotModuleName(0, name));
    EXPECT_EQ(name, "8631G");                    // case-insensitive like every reply
    EXPECT_FALSE(m.GetSlotModuleName(1, name));  // "ff": empty slot, whatever the case
    ASSERT_TRUE(m.GetSlotModuleName(2, name));
    EXPECT_EQ(name, "8621");
    ASSERT_TRUE(m.GetSlotModuleName(3, name));
    EXPECT_EQ(name, "86XY");  // unknown codes keep their text
    ASSERT_TRUE(m.GetSlotModuleName(7, name));
    EXPECT_EQ(name, "8660");
    EXPECT_FALSE(m.GetSlotModuleName(8, name));
}

}  // namespace
}  // namespace odel::test

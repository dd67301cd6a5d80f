// Analog-output modules: every command of the analog-output group on Module7361 and Module7364.
#include "device/AnalogOutput.h"
#include "device/module_wire.h"

namespace odel::test {
namespace {

class AoWire : public WireTest {};

TEST_P(AoWire, Exchange) {
    RunWireRow(GetParam());
}

const WireRow kSingleOutputRows[] = {
    {"WriteAnalogOutput",
     [](SerialPort* p, Outs&) { return Module7361(p, "01").WriteAnalogOutput("+12.000"); },
     "#01+12.000\r",
     ">\r",
     true,
     {}},
    {"SetStartupOutput",
     [](SerialPort* p, Outs&) { return Module7361(p, "01").SetStartupOutput(); },
     "$014\r",
     "!01\r",
     true,
     {}},
    {"TrimOutput",
     [](SerialPort* p, Outs&) { return Module7361(p, "01").TrimOutput("F8"); },
     "$013F8\r",
     "!01\r",
     true,
     {}},
    {"Calibrate4mA",
     [](SerialPort* p, Outs&) { return Module7361(p, "01").Calibrate4mA(); },
     "$010\r",
     "!01\r",
     true,
     {}},
    {"Calibrate20mA",
     [](SerialPort* p, Outs&) { return Module7361(p, "01").Calibrate20mA(); },
     "$011\r",
     "!01\r",
     true,
     {}},
    {"ReadLastOutput",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = Module7361(p, "01").ReadLastOutput(value);
         o = {value};
         return ok;
     },
     "$016\r",
     "!01+12.000\r",
     true,
     {"+12.000"}},
    {"ReadOutputReadback",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = Module7361(p, "01").ReadOutputReadback(value);
         o = {value};
         return ok;
     },
     "$018\r",
     "!01+11.998\r",
     true,
     {"+11.998"}},
};
INSTANTIATE_TEST_SUITE_P(Module7361, AoWire, ::testing::ValuesIn(kSingleOutputRows), RowName);

const WireRow kFourOutputRows[] = {
    {"WriteChannelOutput",
     [](SerialPort* p, Outs&) { return Module7364(p, "01").WriteChannelOutput(2, "+12.000"); },
     "#01C2+12.000\r",
     ">\r",
     true,
     {}},
    {"SetChannelStartupValue",
     [](SerialPort* p, Outs&) { return Module7364(p, "01").SetChannelStartupValue(0, "+04.000"); },
     "#01SC0+04.000\r",
     "!01\r",
     true,
     {}},
    {"SetChannelEmergencyValue",
     [](SerialPort* p, Outs&) {
         return Module7364(p, "01").SetChannelEmergencyValue(3, "+20.000");
     },
     "#01EC3+20.000\r",
     "!01\r",
     true,
     {}},
    {"SetChannelEmergencyInput",
     [](SerialPort* p, Outs&) { return Module7364(p, "01").SetChannelEmergencyInput(1, "1"); },
     "$01AC11\r",
     "!01\r",
     true,
     {}},
    {"SetChannelRange",
     [](SerialPort* p, Outs&) { return Module7364(p, "01").SetChannelRange(1, "32"); },
     "$017C1R32\r",
     "!01\r",
     true,
     {}},
    {"Calibrate4mAChannel",
     [](SerialPort* p, Outs&) { return Module7364(p, "01").Calibrate4mAChannel(2); },
     "$010C2\r",
     "!01\r",
     true,
     {}},
    {"Calibrate20mAChannel",
     [](SerialPort* p, Outs&) { return Module7364(p, "01").Calibrate20mAChannel(3); },
     "$011C3\r",
     "!01\r",
     true,
     {}},
    {"ReadChannelOutput",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = Module7364(p, "01").ReadChannelOutput(2, value);
         o = {value};
         return ok;
     },
     "$016C2\r",
     "!01+12.000\r",
     true,
     {"+12.000"}},
    {"ReadChannelRange",
     [](SerialPort* p, Outs& o) {
         std::string code = "-";
         bool ok = Module7364(p, "01").ReadChannelRange(1, code);
         o = {code};
         return ok;
     },
     "$018C1\r",
     "!01C132\r",
     true,
     {"32"}},
    {"ReadChannelEmergencyInput",
     [](SerialPort* p, Outs& o) {
         std::string flag = "-";
         bool ok = Module7364(p, "01").ReadChannelEmergencyInput(0, flag);
         o = {flag};
         return ok;
     },
     "$01BC0\r",
     "!01C01\r",
     true,
     {"1"}},
    {"ReadChannelStartupValue",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = Module7364(p, "01").ReadChannelStartupValue(0, value);
         o = {value};
         return ok;
     },
     "$01DC0\r",
     "!01+04.000\r",
     true,
     {"+04.000"}},
    {"ReadChannelEmergencyValue",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = Module7364(p, "01").ReadChannelEmergencyValue(3, value);
         o = {value};
         return ok;
     },
     "$01EC3\r",
     "!01+20.000\r",
     true,
     {"+20.000"}},
    {"ReadDigitalInputs",
     [](SerialPort* p, Outs& o) {
         std::string inputs = "-";
         bool ok = Module7364(p, "01").ReadDigitalInputs(inputs);
         o = {inputs};
         return ok;
     },
     "$01I\r",
     "!010A\r",
     true,
     {"0A"}},
    {"SetCommSafety",
     [](SerialPort* p, Outs&) { return Module7364(p, "01").SetCommSafety("0064"); },
     "$01X00064\r",
     "!01\r",
     true,
     {}},
    // Exactly four characters from position 1, whatever follows them.
    {"ReadCommSafety",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = Module7364(p, "01").ReadCommSafety(value);
         o = {value};
         return ok;
     },
     "$01X1\r",
     "!0100640\r",
     true,
     {"0100"}},
    {"ReadCommSafetyFourOnly",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = Module7364(p, "01").ReadCommSafety(value);
         o = {value};
         return ok;
     },
     "$01X1\r",
     "!0064XYZ\r",
     true,
     {"0064"}},
    {"ReadCommSafetyShortReplyFails",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = Module7364(p, "01").ReadCommSafety(value);
         o = {value};
         return ok;
     },
     "$01X1\r",
     "!006\r",
     false,
     {"-"}},
    {"RejectedChannelRead",
     [](SerialPort* p, Outs& o) {
         std::string code = "-";
         bool ok = Module7364(p, "01").ReadChannelRange(1, code);
         o = {code};
         return ok;
     },
     "$018C1\r",
     "?01\r",
     false,
     {"-"}},
    {"TimeoutChannelWrite",
     [](SerialPort* p, Outs&) { return Module7364(p, "01").WriteChannelOutput(0, "+04.000"); },
     "#01C0+04.000\r",
     "",
     false,
     {}},
    {"NullPort",
     [](SerialPort*, Outs& o) {
         Module7364 four(nullptr, "01");
         Module7361 one(nullptr, "01");
         std::string value = "-";
         bool any = four.ReadCommSafety(value) || four.WriteChannelOutput(0, "+04.000") ||
                    one.ReadLastOutput(value) || one.Calibrate4mA();
         o = {value};
         return any;
     },
     "",
     "!01\r",
     false,
     {"-"}},
};
INSTANTIATE_TEST_SUITE_P(Module7364, AoWire, ::testing::ValuesIn(kFourOutputRows), RowName);

}  // namespace
}  // namespace odel::test

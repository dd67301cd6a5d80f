// Analog-input modules: every command of the analog-input, alarm and strain-gauge groups.
#include "device/AnalogInput.h"
#include "device/module_wire.h"

namespace odel::test {
namespace {

class AiWire : public WireTest {};

TEST_P(AiWire, Exchange) {
    RunWireRow(GetParam());
}

// One line per operation: the call, the line, the answer, the verdict, the out values.
const WireRow kAnalogInputRows[] = {
    {"SpanCalibrate",
     [](SerialPort* p, Outs&) { return Module7341L(p, "01").SpanCalibrate(); },
     "$010\r",
     "!01\r",
     true,
     {}},
    {"ZeroCalibrate",
     [](SerialPort* p, Outs&) { return Module7341L(p, "01").ZeroCalibrate(); },
     "$011\r",
     "!01\r",
     true,
     {}},
    {"SpanCalibrateChannel",
     [](SerialPort* p, Outs&) { return AiMultiModule(p, "01").SpanCalibrateChannel(2); },
     "$010C2\r",
     "!01\r",
     true,
     {}},
    {"ZeroCalibrateChannel",
     [](SerialPort* p, Outs&) { return AiMultiModule(p, "1A").ZeroCalibrateChannel(7); },
     "$1A1C7\r",
     "!1A\r",
     true,
     {}},
    {"SetChannelEnable",
     [](SerialPort* p, Outs&) { return AiMultiModule(p, "01").SetChannelEnable("A5"); },
     "$015A5\r",
     "!01\r",
     true,
     {}},
    {"ReadChannelEnable",
     [](SerialPort* p, Outs& o) {
         std::string mask = "-";
         bool ok = AiMultiModule(p, "01").ReadChannelEnable(mask);
         o = {mask};
         return ok;
     },
     "$016\r",
     "!01FF\r",
     true,
     {"FF"}},
    {"SetChannelRange",
     [](SerialPort* p, Outs&) { return AiMultiModule(p, "01").SetChannelRange(3, "0E"); },
     "$017C3R0E\r",
     "!01\r",
     true,
     {}},
    {"ReadChannelRange",
     [](SerialPort* p, Outs& o) {
         std::string code = "-";
         bool ok = AiMultiModule(p, "01").ReadChannelRange(3, code);
         o = {code};
         return ok;
     },
     "$018C3\r",
     "!01C3R0E\r",
     true,
     {"0E"}},
    {"ReadChannelRangeEchoedCommand",
     [](SerialPort* p, Outs& o) {
         std::string code = "-";
         bool ok = AiMultiModule(p, "01").ReadChannelRange(3, code);
         o = {code};
         return ok;
     },
     "$018C3\r",
     "!018C3R0E\r",
     true,
     {"0E"}},
    {"ReadChannelRangeShortReply",
     [](SerialPort* p, Outs& o) {
         std::string code = "-";
         bool ok = AiMultiModule(p, "01").ReadChannelRange(3, code);
         o = {code};
         return ok;
     },
     "$018C3\r",
     "!01\r",
     true,
     {""}},
    {"ReadAnalogData",
     [](SerialPort* p, Outs& o) {
         std::string data = "-";
         bool ok = AiMultiModule(p, "01").ReadAnalogData(data);
         o = {data};
         return ok;
     },
     "#01\r",
     ">+01.234+05.678\r",
     true,
     {"+01.234+05.678"}},
    {"ReadAnalogDataSingle",
     [](SerialPort* p, Outs& o) {
         std::string data = "-";
         bool ok = Module7341L(p, "01").ReadAnalogData(data);
         o = {data};
         return ok;
     },
     "#01\r",
     ">+888888\r",
     true,
     {"+888888"}},
    {"ReadCjc",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = Module7341L(p, "01").ReadCjc(value);
         o = {value};
         return ok;
     },
     "$013\r",
     ">+0025.4\r",
     true,
     {"+0025.4"}},
    {"ReadCjcMulti",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = AiMultiModule(p, "01").ReadCjc(value);
         o = {value};
         return ok;
     },
     "$013\r",
     "!+0025.4\r",
     true,
     {"+0025.4"}},
    {"SetCjcOffset",
     [](SerialPort* p, Outs&) { return Module7341L(p, "01").SetCjcOffset("-", "0457"); },
     "$019-0457\r",
     "!01\r",
     true,
     {}},
    {"SetCjcOffsetMulti",
     [](SerialPort* p, Outs&) { return AiMultiModule(p, "01").SetCjcOffset("+", "006F"); },
     "$019+006F\r",
     "!01\r",
     true,
     {}},
    {"ReadLeadWireCompensation",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = Module7341L(p, "01").ReadLeadWireCompensation("2", value);
         o = {value};
         return ok;
     },
     "$01R2\r",
     "!01001E\r",
     true,
     {"001E"}},
    {"SetLeadWireCompensation",
     [](SerialPort* p, Outs&) {
         return Module7341L(p, "01").SetLeadWireCompensation("3", "+", "001E");
     },
     "$01R3+001E\r",
     "!01\r",
     true,
     {}},
};
INSTANTIATE_TEST_SUITE_P(AnalogInputGroup, AiWire, ::testing::ValuesIn(kAnalogInputRows), RowName);

const WireRow kAlarmRows[] = {
    {"SetAlarmModeMomentary",
     [](SerialPort* p, Outs&) { return Module7341L(p, "01").SetAlarmMode("M"); },
     "@01EAM\r",
     "!01\r",
     true,
     {}},
    {"SetAlarmModeLatch",
     [](SerialPort* p, Outs&) { return Module7341L(p, "01").SetAlarmMode("L"); },
     "@01EAL\r",
     "!01\r",
     true,
     {}},
    {"DisableAlarm",
     [](SerialPort* p, Outs&) { return Module7341L(p, "01").DisableAlarm(); },
     "@01DA\r",
     "!01\r",
     true,
     {}},
    {"ClearAlarmLatch",
     [](SerialPort* p, Outs&) { return Module7341L(p, "01").ClearAlarmLatch(); },
     "@01CA\r",
     "!01\r",
     true,
     {}},
    {"SetDigitalOutput",
     [](SerialPort* p, Outs&) { return Module7341L(p, "01").SetDigitalOutput("02"); },
     "@01DO02\r",
     "!01\r",
     true,
     {}},
    {"SetHighAlarmLimit",
     [](SerialPort* p, Outs&) { return Module7341L(p, "01").SetHighAlarmLimit("+080.00"); },
     "@01HI+080.00\r",
     "!01\r",
     true,
     {}},
    {"SetLowAlarmLimit",
     [](SerialPort* p, Outs&) { return Module7341L(p, "01").SetLowAlarmLimit("-010.00"); },
     "@01LO-010.00\r",
     "!01\r",
     true,
     {}},
    {"ReadHighAlarmLimit",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = Module7341L(p, "01").ReadHighAlarmLimit(value);
         o = {value};
         return ok;
     },
     "@01RH\r",
     "!01+080.00\r",
     true,
     {"+080.00"}},
    {"ReadLowAlarmLimit",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = Module7341L(p, "01").ReadLowAlarmLimit(value);
         o = {value};
         return ok;
     },
     "@01RL\r",
     "!01-010.00\r",
     true,
     {"-010.00"}},
    {"ReadAlarmStatus",
     [](SerialPort* p, Outs& o) {
         std::string mode = "-", outputs = "-", inputs = "-";
         bool ok = Module7341L(p, "01").ReadAlarmStatus(mode, outputs, inputs);
         o = {mode, outputs, inputs};
         return ok;
     },
     "@01DI\r",
     "!0120301\r",
     true,
     {"2", "03", "01"}},
    {"ReadAlarmStatusShortReplyFails",
     [](SerialPort* p, Outs& o) {
         std::string mode = "-", outputs = "-", inputs = "-";
         bool ok = Module7341L(p, "01").ReadAlarmStatus(mode, outputs, inputs);
         o = {mode, outputs, inputs};
         return ok;
     },
     "@01DI\r",
     "!012030\r",
     false,
     {"-", "-", "-"}},
    {"ReadEventCounter",
     [](SerialPort* p, Outs& o) {
         std::string count = "-";
         bool ok = Module7341L(p, "01").ReadEventCounter(count);
         o = {count};
         return ok;
     },
     "@01RE\r",
     "!0100042\r",
     true,
     {"00042"}},
    {"ClearEventCounter",
     [](SerialPort* p, Outs&) { return Module7341L(p, "01").ClearEventCounter(); },
     "@01CE\r",
     "!01\r",
     true,
     {}},
    {"Module7349ReadEventCounter",
     [](SerialPort* p, Outs& o) {
         std::string count = "-";
         bool ok = Module7349(p, "02").ReadEventCounter(count);
         o = {count};
         return ok;
     },
     "@02RE\r",
     "!027\r",
     true,
     {"7"}},
};
INSTANTIATE_TEST_SUITE_P(AlarmGroup, AiWire, ::testing::ValuesIn(kAlarmRows), RowName);

const WireRow kStrainGaugeRows[] = {
    {"SetOutputValue",
     [](SerialPort* p, Outs&) { return Module7349(p, "01").SetOutputValue("+05.000"); },
     "$017+05.000\r",
     "!01\r",
     true,
     {}},
    {"SetStartupOutput",
     [](SerialPort* p, Outs&) { return Module7349(p, "01").SetStartupOutput(); },
     "$01S\r",
     "!01\r",
     true,
     {}},
    {"TrimOutput",
     [](SerialPort* p, Outs&) { return Module7349(p, "01").TrimOutput("7F"); },
     "$01E7F\r",
     "!01\r",
     true,
     {}},
    {"CalibrateOutputLow",
     [](SerialPort* p, Outs&) { return Module7349(p, "01").CalibrateOutputLow(); },
     "$01A\r",
     "!01\r",
     true,
     {}},
    {"CalibrateOutputHigh",
     [](SerialPort* p, Outs&) { return Module7349(p, "01").CalibrateOutputHigh(); },
     "$01B\r",
     "!01\r",
     true,
     {}},
    {"ReadOutputValue",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = Module7349(p, "01").ReadOutputValue(value);
         o = {value};
         return ok;
     },
     "$016\r",
     "!01+05.000\r",
     true,
     {"+05.000"}},
    {"Module7349ZeroCalibrate",
     [](SerialPort* p, Outs&) { return Module7349(p, "01").ZeroCalibrate(); },
     "$011\r",
     "!01\r",
     true,
     {}},
    // The strain-gauge module has no cold junction: nothing goes out.
    {"Module7349ReadCjcSendsNothing",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = Module7349(p, "01").ReadCjc(value);
         o = {value};
         return ok;
     },
     "",
     "!01+0025.4\r",
     false,
     {"-"}},
    {"Module7349SetCjcOffsetSendsNothing",
     [](SerialPort* p, Outs&) { return Module7349(p, "01").SetCjcOffset("+", "0010"); },
     "",
     "!01\r",
     false,
     {}},
    {"NoCjcThroughBaseSendsNothing",
     [](SerialPort* p, Outs& o) {
         Module7349 module(p, "01");
         AiAlarmModule& base = module;
         std::string value = "-";
         bool ok = base.ReadCjc(value) || base.SetCjcOffset("+", "0010");
         o = {value};
         return ok;
     },
     "",
     "!01\r",
     false,
     {"-"}},
};
INSTANTIATE_TEST_SUITE_P(StrainGaugeGroup, AiWire, ::testing::ValuesIn(kStrainGaugeRows), RowName);

// Failures: a rejected command, silence and a missing port all give false, outs untouched.
const WireRow kAiFailureRows[] = {
    {"RejectedRead",
     [](SerialPort* p, Outs& o) {
         std::string data = "-";
         bool ok = AiMultiModule(p, "01").ReadAnalogData(data);
         o = {data};
         return ok;
     },
     "#01\r",
     "?01\r",
     false,
     {"-"}},
    {"RejectedWrite",
     [](SerialPort* p, Outs&) { return Module7341L(p, "01").SetHighAlarmLimit("+999.99"); },
     "@01HI+999.99\r",
     "?01\r",
     false,
     {}},
    {"TimeoutRead",
     [](SerialPort* p, Outs& o) {
         std::string mode = "-", outputs = "-", inputs = "-";
         bool ok = Module7341L(p, "01").ReadAlarmStatus(mode, outputs, inputs);
         o = {mode, outputs, inputs};
         return ok;
     },
     "@01DI\r",
     "",
     false,
     {"-", "-", "-"}},
    {"TimeoutWrite",
     [](SerialPort* p, Outs&) { return Module7349(p, "01").SetOutputValue("+01.000"); },
     "$017+01.000\r",
     "",
     false,
     {}},
    {"NullPort",
     [](SerialPort*, Outs& o) {
         Module7349 module(nullptr, "01");
         std::string value = "-";
         bool any = module.ReadAnalogData(value) || module.SpanCalibrate() ||
                    module.ReadEventCounter(value) || module.ReadOutputValue(value) ||
                    module.DisableAlarm();
         o = {value};
         return any;
     },
     "",
     "!01\r",
     false,
     {"-"}},
};
INSTANTIATE_TEST_SUITE_P(Failures, AiWire, ::testing::ValuesIn(kAiFailureRows), RowName);

}  // namespace
}  // namespace odel::test

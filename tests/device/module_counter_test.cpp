// Counter modules: every command of the counter and display groups, Module7320's per-counter
// alarm operations and Module7320L's own alarm operations.
#include "device/Counter.h"
#include "device/module_wire.h"

namespace odel::test {
namespace {

class CounterWire : public WireTest {};

TEST_P(CounterWire, Exchange) {
    RunWireRow(GetParam());
}

const WireRow kCounterRows[] = {
    {"SetInputMode",
     [](SerialPort* p, Outs&) { return Module7320(p, "01").SetInputMode("51"); },
     "$01B51\r",
     "!01\r",
     true,
     {}},
    {"ReadInputMode",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = Module7320(p, "01").ReadInputMode(value);
         o = {value};
         return ok;
     },
     "$01B\r",
     "!0151\r",
     true,
     {"51"}},
    {"SetGateMode",
     [](SerialPort* p, Outs&) { return Module7320(p, "01").SetGateMode("2"); },
     "$01A2\r",
     "!01\r",
     true,
     {}},
    {"ReadGateMode",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = Module7320(p, "01").ReadGateMode(value);
         o = {value};
         return ok;
     },
     "$01A\r",
     "!011\r",
     true,
     {"1"}},
    {"SetMaxCount",
     [](SerialPort* p, Outs&) { return Module7320(p, "01").SetMaxCount(1, "0000FFFF"); },
     "$01310000FFFF\r",
     "!01\r",
     true,
     {}},
    {"ReadMaxCount",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = Module7320(p, "01").ReadMaxCount(0, value);
         o = {value};
         return ok;
     },
     "$0130\r",
     "!010000FFFF\r",
     true,
     {"0000FFFF"}},
    {"SetCounterState",
     [](SerialPort* p, Outs&) { return Module7320(p, "01").SetCounterState(0, "1"); },
     "$01501\r",
     "!01\r",
     true,
     {}},
    {"ReadCounterState",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = Module7320(p, "01").ReadCounterState(1, value);
         o = {value};
         return ok;
     },
     "$0151\r",
     "!010\r",
     true,
     {"0"}},
    {"ClearCounter",
     [](SerialPort* p, Outs&) { return Module7320(p, "01").ClearCounter(1); },
     "$0161\r",
     "!01\r",
     true,
     {}},
    {"ReadCounterFlag",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = Module7320(p, "01").ReadCounterFlag(0, value);
         o = {value};
         return ok;
     },
     "$0170\r",
     "!011\r",
     true,
     {"1"}},
    {"ReadCounter",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = Module7320(p, "01").ReadCounter(1, value);
         o = {value};
         return ok;
     },
     "#011\r",
     ">0000A1B2\r",
     true,
     {"0000A1B2"}},
    {"ReadCounterZero",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = Module7320(p, "01").ReadCounter(0, value);
         o = {value};
         return ok;
     },
     "#010\r",
     ">00000000\r",
     true,
     {"00000000"}},
    {"SetFilterEnable",
     [](SerialPort* p, Outs&) { return Module7320(p, "01").SetFilterEnable("1"); },
     "$0141\r",
     "!01\r",
     true,
     {}},
    {"ReadFilterEnable",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = Module7320(p, "01").ReadFilterEnable(value);
         o = {value};
         return ok;
     },
     "$014\r",
     "!010\r",
     true,
     {"0"}},
    {"SetMinWidthHigh",
     [](SerialPort* p, Outs&) { return Module7320(p, "01").SetMinWidthHigh("00010"); },
     "$010H00010\r",
     "!01\r",
     true,
     {}},
    {"SetMinWidthLow",
     [](SerialPort* p, Outs&) { return Module7320(p, "01").SetMinWidthLow("00020"); },
     "$010L00020\r",
     "!01\r",
     true,
     {}},
    {"SetTriggerLevelHigh",
     [](SerialPort* p, Outs&) { return Module7320(p, "01").SetTriggerLevelHigh("24"); },
     "$011H24\r",
     "!01\r",
     true,
     {}},
    {"SetTriggerLevelLow",
     [](SerialPort* p, Outs&) { return Module7320(p, "01").SetTriggerLevelLow("08"); },
     "$011L08\r",
     "!01\r",
     true,
     {}},
    {"ReadMinWidthHigh",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = Module7320(p, "01").ReadMinWidthHigh(value);
         o = {value};
         return ok;
     },
     "$010H\r",
     "!0100010\r",
     true,
     {"00010"}},
    {"ReadMinWidthLow",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = Module7320(p, "01").ReadMinWidthLow(value);
         o = {value};
         return ok;
     },
     "$010L\r",
     "!0100020\r",
     true,
     {"00020"}},
    {"ReadTriggerLevelHigh",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = Module7320(p, "01").ReadTriggerLevelHigh(value);
         o = {value};
         return ok;
     },
     "$011H\r",
     "!0124\r",
     true,
     {"24"}},
    {"ReadTriggerLevelLow",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = Module7320(p, "01").ReadTriggerLevelLow(value);
         o = {value};
         return ok;
     },
     "$011L\r",
     "!0108\r",
     true,
     {"08"}},
    {"SetDigitalOutput",
     [](SerialPort* p, Outs&) { return Module7320(p, "01").SetDigitalOutput("03"); },
     "@01DO03\r",
     "!01\r",
     true,
     {}},
    {"EnableAlarm",
     [](SerialPort* p, Outs&) { return Module7320(p, "01").EnableAlarm(1); },
     "@01EA1\r",
     "!01\r",
     true,
     {}},
    {"DisableAlarm",
     [](SerialPort* p, Outs&) { return Module7320(p, "01").DisableAlarm(0); },
     "@01DA0\r",
     "!01\r",
     true,
     {}},
    {"SetAlarmValue",
     [](SerialPort* p, Outs&) { return Module7320(p, "01").SetAlarmValue(1, "00001000"); },
     "@01P100001000\r",
     "!01\r",
     true,
     {}},
    {"SetAlarmLimitSelector0",
     [](SerialPort* p, Outs&) { return Module7320(p, "01").SetAlarmLimit(0, "00000100"); },
     "@01PA00000100\r",
     "!01\r",
     true,
     {}},
    {"SetAlarmLimitSelector1",
     [](SerialPort* p, Outs&) { return Module7320(p, "01").SetAlarmLimit(1, "00000200"); },
     "@01SA00000200\r",
     "!01\r",
     true,
     {}},
    {"ReadAlarmValue",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = Module7320(p, "01").ReadAlarmValue(1, value);
         o = {value};
         return ok;
     },
     "@01G1\r",
     "!0100001000\r",
     true,
     {"00001000"}},
    {"ReadAlarmLimitSelector0",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = Module7320(p, "01").ReadAlarmLimit(0, value);
         o = {value};
         return ok;
     },
     "@01RP\r",
     "!0100000100\r",
     true,
     {"00000100"}},
    {"ReadAlarmLimitSelector1",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = Module7320(p, "01").ReadAlarmLimit(1, value);
         o = {value};
         return ok;
     },
     "@01RA\r",
     "!0100000200\r",
     true,
     {"00000200"}},
    {"LEnableAlarmMode",
     [](SerialPort* p, Outs&) { return Module7320L(p, "01").EnableAlarm("L"); },
     "@01EAL\r",
     "!01\r",
     true,
     {}},
    {"LDisableAlarm",
     [](SerialPort* p, Outs&) { return Module7320L(p, "01").DisableAlarm(); },
     "@01DA\r",
     "!01\r",
     true,
     {}},
    {"LClearAlarmLatch",
     [](SerialPort* p, Outs&) { return Module7320L(p, "01").ClearAlarmLatch(); },
     "@01CA\r",
     "!01\r",
     true,
     {}},
    {"LSetLowAlarmLimit",
     [](SerialPort* p, Outs&) { return Module7320L(p, "01").SetLowAlarmLimit("00000100"); },
     "@01PA00000100\r",
     "!01\r",
     true,
     {}},
    {"LSetHighAlarmLimit",
     [](SerialPort* p, Outs&) { return Module7320L(p, "01").SetHighAlarmLimit("00000900"); },
     "@01SA00000900\r",
     "!01\r",
     true,
     {}},
    {"LReadLowAlarmLimit",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = Module7320L(p, "01").ReadLowAlarmLimit(value);
         o = {value};
         return ok;
     },
     "@01RP\r",
     "!0100000100\r",
     true,
     {"00000100"}},
    {"LReadHighAlarmLimit",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = Module7320L(p, "01").ReadHighAlarmLimit(value);
         o = {value};
         return ok;
     },
     "@01RA\r",
     "!0100000900\r",
     true,
     {"00000900"}},
    {"LSetLedSource",
     [](SerialPort* p, Outs&) { return Module7320L(p, "01").SetLedSource("1"); },
     "$0181\r",
     "!01\r",
     true,
     {}},
    {"LWriteLedData",
     [](SerialPort* p, Outs&) { return Module7320L(p, "01").WriteLedData("+12345"); },
     "$019+12345\r",
     "!01\r",
     true,
     {}},
    {"LReadLedSource",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = Module7320L(p, "01").ReadLedSource(value);
         o = {value};
         return ok;
     },
     "$018\r",
     "!012\r",
     true,
     {"2"}},
    {"LReadLedSourceShortFails",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = Module7320L(p, "01").ReadLedSource(value);
         o = {value};
         return ok;
     },
     "$018\r",
     "!01\r",
     false,
     {"-"}},
    {"LReadCounter",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = Module7320L(p, "01").ReadCounter(0, value);
         o = {value};
         return ok;
     },
     "#010\r",
     ">00000042\r",
     true,
     {"00000042"}},
    {"LEnableAlarmCounterSendsNothing",
     [](SerialPort* p, Outs&) { return Module7320L(p, "01").EnableAlarm(1); },
     "",
     "!01\r",
     false,
     {}},
    {"LDisableAlarmCounterSendsNothing",
     [](SerialPort* p, Outs&) { return Module7320L(p, "01").DisableAlarm(0); },
     "",
     "!01\r",
     false,
     {}},
    {"LSetAlarmValueSendsNothing",
     [](SerialPort* p, Outs&) { return Module7320L(p, "01").SetAlarmValue(0, "00000010"); },
     "",
     "!01\r",
     false,
     {}},
    {"LSetAlarmLimitSendsNothing",
     [](SerialPort* p, Outs&) { return Module7320L(p, "01").SetAlarmLimit(1, "00000010"); },
     "",
     "!01\r",
     false,
     {}},
    {"LReadAlarmValueSendsNothing",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = Module7320L(p, "01").ReadAlarmValue(0, value);
         o = {value};
         return ok;
     },
     "",
     "!0100000010\r",
     false,
     {"-"}},
    {"LReadAlarmLimitSendsNothing",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = Module7320L(p, "01").ReadAlarmLimit(0, value);
         o = {value};
         return ok;
     },
     "",
     "!0100000010\r",
     false,
     {"-"}},
    {"RejectedRead",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = Module7320(p, "01").ReadCounter(0, value);
         o = {value};
         return ok;
     },
     "#010\r",
     "?01\r",
     false,
     {"-"}},
    {"RejectedWrite",
     [](SerialPort* p, Outs&) { return Module7320(p, "01").SetGateMode("3"); },
     "$01A3\r",
     "?01\r",
     false,
     {}},
    {"TimeoutRead",
     [](SerialPort* p, Outs& o) {
         std::string value = "-";
         bool ok = Module7320(p, "01").ReadMaxCount(1, value);
         o = {value};
         return ok;
     },
     "$0131\r",
     "",
     false,
     {"-"}},
    {"ReadAlarmOutputs",
     [](SerialPort* p, Outs& o) {
         std::string state = "-", outputs = "-";
         bool ok = Module7320(p, "01").ReadAlarmOutputs(state, outputs);
         o = {state, outputs};
         return ok;
     },
     "@01DI\r",
     "!01103\r",
     true,
     {"1", "03"}},
    {"ReadAlarmOutputsShortFails",
     [](SerialPort* p, Outs& o) {
         std::string state = "-", outputs = "-";
         bool ok = Module7320L(p, "01").ReadAlarmOutputs(state, outputs);
         o = {state, outputs};
         return ok;
     },
     "@01DI\r",
     "!011\r",
     false,
     {"-", "-"}},
    {"NullPort",
     [](SerialPort*, Outs& o) {
         Module7320L module(nullptr, "01");
         std::string value = "-";
         bool any = module.ReadCounter(0, value) || module.EnableAlarm("M") ||
                    module.ReadLedSource(value) || module.SetMaxCount(0, "0000FFFF");
         o = {value};
         return any;
     },
     "",
     "!01\r",
     false,
     {"-"}},
};
INSTANTIATE_TEST_SUITE_P(CounterGroups, CounterWire, ::testing::ValuesIn(kCounterRows), RowName);

}  // namespace
}  // namespace odel::test

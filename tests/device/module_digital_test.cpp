// Digital I/O modules: the digital-status read as each class cuts it, and the output group.
#include "device/Digital.h"
#include "device/module_wire.h"

namespace odel::test {
namespace {

class DioWire : public WireTest {};

TEST_P(DioWire, Exchange) {
    RunWireRow(GetParam());
}

const WireRow kDigitalRows[] = {
    {"Module7385ReadDioStatus",
     [](SerialPort* p, Outs& o) {
         std::string outputs = "-", inputs = "-";
         bool ok = Module7385(p, "01").ReadDioStatus(outputs, inputs);
         o = {outputs, inputs};
         return ok;
     },
     "$016\r",
     "!0F0300\r",
     true,
     {"0F", "03"}},
    {"DioModuleReadDioStatus",
     [](SerialPort* p, Outs& o) {
         std::string outputs = "-", inputs = "-";
         bool ok = DioModule(p, "2B").ReadDioStatus(outputs, inputs);
         o = {outputs, inputs};
         return ok;
     },
     "$2B6\r",
     "!A5C3\r",
     true,
     {"A5", "C3"}},
    {"Module7385ReadDioStatusShortFails",
     [](SerialPort* p, Outs& o) {
         std::string outputs = "-", inputs = "-";
         bool ok = Module7385(p, "01").ReadDioStatus(outputs, inputs);
         o = {outputs, inputs};
         return ok;
     },
     "$016\r",
     "!0F0\r",
     false,
     {"-", "-"}},
    {"Module7382ReadDioStatus",
     [](SerialPort* p, Outs& o) {
         std::string data = "-";
         bool ok = Module7382(p, "01").ReadDioStatus(data);
         o = {data};
         return ok;
     },
     "$016\r",
     "!0F0300\r",
     true,
     {"0F"}},
    {"Module7382ReadDioStatusShortFails",
     [](SerialPort* p, Outs& o) {
         std::string data = "-";
         bool ok = Module7382(p, "01").ReadDioStatus(data);
         o = {data};
         return ok;
     },
     "$016\r",
     "!F\r",
     false,
     {"-"}},
    {"Module7383ReadDioStatus",
     [](SerialPort* p, Outs& o) {
         std::string data = "-";
         bool ok = Module7383(p, "01").ReadDioStatus(data);
         o = {data};
         return ok;
     },
     "$016\r",
     "!0F0300\r",
     true,
     {"0F03"}},
    {"Module7383ReadDioStatusShortFails",
     [](SerialPort* p, Outs& o) {
         std::string data = "-";
         bool ok = Module7383(p, "01").ReadDioStatus(data);
         o = {data};
         return ok;
     },
     "$016\r",
     "!0F0\r",
     false,
     {"-"}},
    {"WriteDigitalOutputOn",
     [](SerialPort* p, Outs&) { return Module7385(p, "01").WriteDigitalOutput(3, "1"); },
     "#011301\r",
     ">\r",
     true,
     {}},
    {"WriteDigitalOutputOff",
     [](SerialPort* p, Outs&) { return Module7385(p, "0C").WriteDigitalOutput(0, "0"); },
     "#0C1000\r",
     ">\r",
     true,
     {}},
    {"SetSafeValue",
     [](SerialPort* p, Outs&) { return Module7385(p, "01").SetSafeValue("0064", "0F"); },
     "$01X000640F\r",
     "!01\r",
     true,
     {}},
    {"ReadSafeValue",
     [](SerialPort* p, Outs& o) {
         std::string time = "-", value = "-";
         bool ok = Module7385(p, "01").ReadSafeValue(time, value);
         o = {time, value};
         return ok;
     },
     "$01X1\r",
     "!00640F\r",
     true,
     {"0064", "0F"}},
    {"ReadSafeValueShortFails",
     [](SerialPort* p, Outs& o) {
         std::string time = "-", value = "-";
         bool ok = Module7385(p, "01").ReadSafeValue(time, value);
         o = {time, value};
         return ok;
     },
     "$01X1\r",
     "!00640\r",
     false,
     {"-", "-"}},
    {"RejectedStatus",
     [](SerialPort* p, Outs& o) {
         std::string outputs = "-", inputs = "-";
         bool ok = Module7385(p, "01").ReadDioStatus(outputs, inputs);
         o = {outputs, inputs};
         return ok;
     },
     "$016\r",
     "?01\r",
     false,
     {"-", "-"}},
    {"TimeoutOutput",
     [](SerialPort* p, Outs&) { return Module7385(p, "01").WriteDigitalOutput(1, "1"); },
     "#011101\r",
     "",
     false,
     {}},
    {"NullPort",
     [](SerialPort*, Outs& o) {
         Module7385 dio(nullptr, "01");
         Module7383 in(nullptr, "01");
         std::string a = "-", b = "-";
         bool any =
             dio.ReadDioStatus(a, b) || dio.WriteDigitalOutput(0, "1") || in.ReadDioStatus(a);
         o = {a, b};
         return any;
     },
     "",
     "!0F0300\r",
     false,
     {"-", "-"}},
};
INSTANTIATE_TEST_SUITE_P(DigitalGroups, DioWire, ::testing::ValuesIn(kDigitalRows), RowName);

}  // namespace
}  // namespace odel::test

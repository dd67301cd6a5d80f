// Our own device layer against the simulator: reply shapes, configuration changes, faults and
// the bus search of the default bus.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "device/AnalogInput.h"
#include "device/AnalogOutput.h"
#include "device/BusProbe.h"
#include "device/Counter.h"
#include "device/Digital.h"
#include "device/ModbusMaster.h"
#include "device/Module8600.h"
#include "device/ModuleBase.h"
#include "device/SerialPort.h"
#include "sim/SimBus.h"

using odel::SerialPort;
using odel::sim::Fault;
using odel::sim::ModuleState;
using odel::sim::SimBus;
namespace d = odel::sim::defaultbus;

namespace {

class SimDevice : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(bus.start());
        bus.setLive(false);
        link = std::make_unique<SerialPort>(bus.slavePath());
        ASSERT_TRUE(link->Open());
        ASSERT_TRUE(link->SetLineSettings(9600, 8, 0, 0));
        ASSERT_TRUE(link->SetTimeout(50));
    }
    int index(int address) { return bus.findModule(address); }
    static std::string hex(int address) {
        char b[4];
        std::snprintf(b, sizeof b, "%02X", address);
        return b;
    }
    SimBus bus;
    std::unique_ptr<SerialPort> link;
};

TEST_F(SimDevice, BaseCommandsOfEveryAsciiModel) {
    const std::pair<int, const char*> models[] = {
        {d::k7352R, "7352R"}, {d::k8600X, "8600X"}, {d::k7354, "7354"},   {d::k7364, "7364"},
        {d::k7320, "7320"},   {d::k7341, "7341"},   {d::k7341L, "7341L"}, {d::k7342, "7342"},
        {d::k7345, "7345"},   {d::k7347, "7347"},   {d::k7347K, "7347K"}, {d::k7349, "7349"},
        {d::k7352, "7352"},   {d::k7354R, "7354R"}, {d::k7356, "7356"},   {d::k7361, "7361"},
        {d::k7380, "7380"},   {d::k7381, "7381"},   {d::k7382, "7382"},   {d::k7383, "7383"},
        {d::k7385, "7385"},   {d::k7390, "7390"},   {d::k7396, "7396"},   {d::k7320L, "7320L"},
        {d::k8600, "8600"},
    };
    for (auto [address, name] : models) {
        odel::ModuleBase m(link.get(), hex(address));
        std::string text, version, readAddress;
        EXPECT_TRUE(m.ReadModuleName(text)) << name;
        EXPECT_EQ(text, name);
        EXPECT_TRUE(m.ReadFirmwareVersion(version)) << name;
        EXPECT_FALSE(version.empty());
        if (std::string(name).rfind("8600", 0) == 0) continue;  // own configuration layout
        ASSERT_TRUE(m.ReadConfiguration(readAddress)) << name;
        EXPECT_EQ(readAddress, hex(address));
        std::string baud;
        EXPECT_TRUE(m.GetBaudCode(baud));
        EXPECT_EQ(baud, "06");
    }
}

TEST_F(SimDevice, MultiChannelInputs) {
    int i = index(d::k7354R);
    bus.modify(i, [](ModuleState& m) {
        m.values[0] = 250.5;
        m.burnout[3] = true;
        m.enableMask = 0x83;
    });
    odel::AiMultiModule ai(link.get(), hex(d::k7354R));
    std::string data, mask, code, cjc;
    ASSERT_TRUE(ai.ReadAnalogData(data));
    ASSERT_EQ(data.size(), 56u);
    EXPECT_EQ(data.substr(0, 7), "+0250.5");
    EXPECT_EQ(data.substr(21, 7), "+888888");
    ASSERT_TRUE(ai.ReadChannelEnable(mask));
    EXPECT_EQ(mask, "83");
    EXPECT_TRUE(ai.SetChannelEnable("0F"));
    EXPECT_TRUE(ai.SetChannelRange(3, "0E"));
    ASSERT_TRUE(ai.ReadChannelRange(3, code));
    EXPECT_EQ(code, "0E");
    EXPECT_FALSE(ai.SetChannelRange(3, "55"));
    EXPECT_TRUE(ai.ReadCjc(cjc));
    EXPECT_EQ(cjc, "+025.00");
    EXPECT_TRUE(ai.SetCjcOffset("+", "006F"));
    EXPECT_TRUE(ai.ZeroCalibrateChannel(0));
    EXPECT_TRUE(ai.SpanCalibrateChannel(0));
    EXPECT_TRUE(ai.SetCommWatchdog("0123"));
    std::string wdt;
    ASSERT_TRUE(ai.ReadCommWatchdog(wdt));
    EXPECT_EQ(wdt, "0123");
    ModuleState m = bus.module(i);
    EXPECT_EQ(m.enableMask, 0x0F);
    EXPECT_EQ(m.ranges[3], 0x0E);
    EXPECT_EQ(m.cjcOffset, 0x6F);
    EXPECT_EQ(m.calibrations, (std::vector<std::string>{"$9+006F", "$1C0", "$0C0"}));
    EXPECT_EQ(m.watchdog, 123);
}

TEST_F(SimDevice, SingleChannelAlarmAndGauge) {
    odel::Module7341L ai(link.get(), hex(d::k7341));
    std::string mode, outputs, inputs, value, count;
    EXPECT_TRUE(ai.SetHighAlarmLimit("+05.000"));
    ASSERT_TRUE(ai.ReadHighAlarmLimit(value));
    EXPECT_EQ(value, "+05.000");
    EXPECT_TRUE(ai.SetDigitalOutput("03"));
    EXPECT_TRUE(ai.SetAlarmMode("L"));
    ASSERT_TRUE(ai.ReadAlarmStatus(mode, outputs, inputs));
    EXPECT_EQ(mode, "2");
    EXPECT_EQ(outputs, "00");  // the alarm drives the outputs now: the value is within limits
    EXPECT_EQ(inputs, "00");
    EXPECT_TRUE(ai.ReadEventCounter(count));
    EXPECT_TRUE(ai.ClearEventCounter());
    EXPECT_TRUE(ai.ZeroCalibrate());
    EXPECT_TRUE(ai.ReadCjc(value));

    odel::Module7349 gauge(link.get(), hex(d::k7349));
    EXPECT_TRUE(gauge.SetOutputValue("+05.500"));
    ASSERT_TRUE(gauge.ReadOutputValue(value));
    EXPECT_EQ(value, "+05.500");
    EXPECT_TRUE(gauge.SetStartupOutput());
    EXPECT_TRUE(gauge.TrimOutput("01"));
    EXPECT_TRUE(gauge.CalibrateOutputHigh());
    EXPECT_FALSE(gauge.ReadCjc(value));
}

TEST_F(SimDevice, OutputsDigitalAndCounters) {
    odel::Module7364 ao(link.get(), hex(d::k7364));
    std::string value;
    EXPECT_TRUE(ao.WriteChannelOutput(2, "+05.000"));
    ASSERT_TRUE(ao.ReadChannelOutput(2, value));
    EXPECT_EQ(value, "+05.000");
    EXPECT_TRUE(ao.SetChannelRange(1, "32"));
    ASSERT_TRUE(ao.ReadChannelRange(1, value));
    EXPECT_EQ(value, "2");
    EXPECT_TRUE(ao.SetChannelEmergencyInput(0, "1"));
    ASSERT_TRUE(ao.ReadChannelEmergencyInput(0, value));
    EXPECT_EQ(value, "1");
    EXPECT_TRUE(ao.SetCommSafety("0064"));
    ASSERT_TRUE(ao.ReadCommSafety(value));
    EXPECT_EQ(value, "0064");
    EXPECT_TRUE(ao.ReadDigitalInputs(value));

    odel::Module7361 ao1(link.get(), hex(d::k7361));
    EXPECT_TRUE(ao1.WriteAnalogOutput("12.500"));
    ASSERT_TRUE(ao1.ReadLastOutput(value));
    EXPECT_EQ(value, "12.500");
    EXPECT_TRUE(ao1.ReadOutputReadback(value));
    EXPECT_TRUE(ao1.SetStartupOutput());

    bus.modify(index(d::k7385), [](ModuleState& m) { m.digitalInputs = 0x03; });
    odel::Module7385 dio(link.get(), hex(d::k7385));
    std::string outputs, inputs;
    EXPECT_TRUE(dio.WriteDigitalOutput(3, "1"));
    ASSERT_TRUE(dio.ReadDioStatus(outputs, inputs));
    EXPECT_EQ(outputs, "08");
    EXPECT_EQ(inputs, "03");
    EXPECT_TRUE(dio.SetSafeValue("001E", "81"));
    std::string time;
    ASSERT_TRUE(dio.ReadSafeValue(time, value));
    EXPECT_EQ(time, "001E");
    EXPECT_EQ(value, "81");

    bus.modify(index(d::k7383), [](ModuleState& m) { m.digitalInputs = 0x1234; });
    odel::Module7383 di16(link.get(), hex(d::k7383));
    ASSERT_TRUE(di16.ReadDioStatus(value));
    EXPECT_EQ(value, "1234");

    odel::Module7320 cnt(link.get(), hex(d::k7320));
    bus.modify(index(d::k7320), [](ModuleState& m) { m.counts[1] = 0xFFFFFFFF; });
    ASSERT_TRUE(cnt.ReadCounter(1, value));
    EXPECT_EQ(value, "FFFFFFFF");
    EXPECT_TRUE(cnt.SetMaxCount(0, "0000FFFF"));
    ASSERT_TRUE(cnt.ReadMaxCount(0, value));
    EXPECT_EQ(value, "0000FFFF");
    EXPECT_TRUE(cnt.SetCounterState(1, "1"));
    ASSERT_TRUE(cnt.ReadCounterState(1, value));
    EXPECT_EQ(value.substr(0, 1), "1");
    EXPECT_TRUE(cnt.EnableAlarm(1));
    EXPECT_TRUE(cnt.SetDigitalOutput("01"));
    std::string state;
    ASSERT_TRUE(cnt.ReadAlarmOutputs(state, outputs));
    EXPECT_EQ(state, "2");
    EXPECT_EQ(outputs, "01");
    EXPECT_TRUE(cnt.SetAlarmLimit(1, "00001000"));
    ASSERT_TRUE(cnt.ReadAlarmLimit(1, value));
    EXPECT_EQ(value, "00001000");

    odel::Module7320L led(link.get(), hex(d::k7320L));
    EXPECT_TRUE(led.SetLedSource("2"));
    ASSERT_TRUE(led.ReadLedSource(value));
    EXPECT_EQ(value, "2");
    EXPECT_TRUE(led.WriteLedData("0123.4"));
    EXPECT_TRUE(led.EnableAlarm("M"));
    EXPECT_TRUE(led.ClearAlarmLatch());
}

TEST_F(SimDevice, MainUnitSlots) {
    odel::Module8600 main(link.get(), hex(d::k8600X));
    std::string name, baud, cks;
    ASSERT_TRUE(main.GetSlotModuleName(3, name));
    EXPECT_EQ(name, "8631G");
    EXPECT_FALSE(main.GetSlotModuleName(2, name));  // empty slot
    ASSERT_TRUE(main.ReadBaudAndChecksum(baud, cks));
    EXPECT_EQ(baud, "06");
    EXPECT_EQ(cks, "0");
    EXPECT_FALSE(main.WriteBaudAndChecksum("07", "0"));  // not in INIT
}

TEST_F(SimDevice, MovedModuleAnswersAtItsNewAddress) {
    odel::AiMultiModule ai(link.get(), hex(d::k7352));
    std::string address;
    ASSERT_TRUE(ai.ReadConfiguration(address));
    ASSERT_TRUE(ai.SetAddress("30"));
    ASSERT_TRUE(ai.SetConfiguration());
    std::string name;
    odel::ModuleBase old(link.get(), hex(d::k7352));
    EXPECT_FALSE(old.ReadModuleName(name));
    odel::ModuleBase moved(link.get(), "30");
    ASSERT_TRUE(moved.ReadModuleName(name));
    EXPECT_EQ(name, "7352");

    // The INIT module takes a new baud rate; outside INIT it answers there only.
    odel::AiMultiModule init(link.get(), "00");
    ASSERT_TRUE(init.ReadConfiguration(address));
    init.SetAddress("31");
    init.SetBaudCode("07");
    ASSERT_TRUE(init.SetConfiguration());
    bus.modify(index(0), [](ModuleState& m) { m.init = false; });
    odel::ModuleBase at31(link.get(), "31");
    EXPECT_FALSE(at31.ReadModuleName(name));  // wrong baud rate: nothing
    ASSERT_TRUE(link->SetLineSettings(19200, 8, 0, 0));
    ASSERT_TRUE(at31.ReadModuleName(name));
    EXPECT_EQ(name, "7354");
}

TEST_F(SimDevice, FaultsFailTheOperation) {
    int i = index(d::k7354RChecksum);
    link->SetChecksum(1);
    odel::AiMultiModule ai(link.get(), hex(d::k7354RChecksum));
    std::string data;
    ASSERT_TRUE(ai.ReadAnalogData(data));
    const Fault faults[] = {Fault::NoReply, Fault::BadChecksum, Fault::NoCr,
                            Fault::TooLong, Fault::Garbage,     Fault::Reject};
    for (Fault f : faults) {
        bus.setFault(i, f);
        data.clear();
        EXPECT_FALSE(ai.ReadAnalogData(data)) << static_cast<int>(f);
        bus.clearFault(i);
        link->SetTimeout(50);
        odel::DrainLink(*link);
        EXPECT_TRUE(ai.ReadAnalogData(data)) << static_cast<int>(f);
    }
    bus.setFault(i, Fault::Reject, "$6");  // one command only
    std::string mask;
    EXPECT_FALSE(ai.ReadChannelEnable(mask));
    EXPECT_TRUE(ai.ReadAnalogData(data));
    link->SetChecksum(0);

    int mb = index(d::k7354RModbus);
    odel::ModuleBase probe(link.get(), hex(d::k7354RModbus));
    auto* modbus = probe.GetModbus();
    std::uint8_t buffer[256];
    int count = 0;
    ASSERT_TRUE(modbus->RequestReadRegisters(d::k7354RModbus, 211, 2));
    ASSERT_TRUE(modbus->ReceiveReadRegisters(buffer, count));
    EXPECT_EQ(count, 4);
    for (Fault f : {Fault::ModbusBadCrc, Fault::ModbusException, Fault::NoReply}) {
        bus.setFault(mb, f);
        ASSERT_TRUE(modbus->RequestReadRegisters(d::k7354RModbus, 211, 2));
        EXPECT_FALSE(modbus->ReceiveReadRegisters(buffer, count)) << static_cast<int>(f);
    }
}

TEST_F(SimDevice, SearchOfTheDefaultBus) {
    odel::DrainLink(*link);
    odel::BusSearch search(link.get(), 0, 0x27);
    std::vector<std::string> lines;
    while (!search.Finished()) {
        odel::ProbeNode node;
        bool progressed = false;
        if (!search.ProbeNext(node, progressed)) continue;
        lines.push_back(node.text + " " + std::to_string(node.marker));
        for (const auto& s : node.slotNodes) lines.push_back("  " + s);
    }
    const std::vector<std::string> expected = {
        "(*)7354 0",   "(01)7352R 0", "(02)7354R 1", "(03)8600X 0", "  (S0)8631",  "  (S1)8634",
        "  (S3)8631G", "  (S4)8672",  "  (S5)86XY",  "  (S7)8681",  "(04)7385 2",  "(05)7354 0",
        "(06)7364 0",  "(07)7320 0",  "(08)7341 0",  "(09)7341L 0", "(0A)7342 0",  "(0B)7345 0",
        "(0C)7347 0",  "(0D)7347K 0", "(0E)7349 0",  "(0F)7352 0",  "(10)7354R 0", "(11)7356 0",
        "(12)7361 0",  "(13)7380 0",  "(14)7381 0",  "(15)7382 0",  "(16)7383 0",  "(17)7385 0",
        "(18)7390 0",  "(19)7396 0",  "(1A)7320L 0", "(1B)8600 0",  "  (S0)8631",  "  (S1)8672",
        "  (S2)8689",  "  (S3)8677",  "(20)7347 2",  "(21)7347K 2", "(22)7352R 2", "(23)7354R 2",
        "(24)7364 2",  "(25)7381 2",  "(26)7396 2",
    };
    EXPECT_EQ(lines, expected);
}

}  // namespace

// The Modbus pages against the simulated modules: exact request frames, the alternate-tick
// polls, scaling, range updates, direct output, and answers that must not be believed.
#include <QScrollBar>
#include <QTreeWidget>
#include <cstdio>

#include "PageFixture.h"
#include "pages/frame/Lamp.h"
#include "pages/modbus/Unitm7347kmod.h"
#include "pages/modbus/Unitm7347mod.h"
#include "pages/modbus/Unitm7352rmod.h"
#include "pages/modbus/Unitm7354rmod.h"
#include "pages/modbus/Unitm7364mod.h"
#include "pages/modbus/Unitm7381mod.h"
#include "pages/modbus/Unitm7385mod.h"
#include "pages/modbus/Unitm7396mod.h"

using namespace odel::test;
using namespace odel::ui;
using odel::sim::Fault;
using odel::sim::ModuleState;

namespace {

// A request or answer frame with its CRC.
std::string frame(std::initializer_list<int> body) {
    std::string s;
    for (int b : body) s += static_cast<char>(b);
    unsigned crc = 0xFFFF;
    for (unsigned char c : s) {
        crc ^= c;
        for (int i = 0; i < 8; ++i) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    s += static_cast<char>(crc & 0xFF);
    s += static_cast<char>(crc >> 8);
    return s;
}
std::string readCoils(int slave, int first, int count) {
    return frame({slave, 1, (first - 1) >> 8, (first - 1) & 0xFF, 0, count});
}
std::string readRegs(int slave, int first, int count) {
    return frame({slave, 3, (first - 1) >> 8, (first - 1) & 0xFF, 0, count});
}
std::string writeReg(int slave, int reg, int value) {
    return frame({slave, 6, (reg - 1) >> 8, (reg - 1) & 0xFF, value >> 8, value & 0xFF});
}

class Modbus : public PageTest {
  protected:
    // A module of the model in Modbus mode with frozen values.
    static ModuleState modbusModule(const std::string& model, int address) {
        ModuleState m = module(model, address);
        m.format |= model == "7364" ? 0x80 : 0x04;
        return m;
    }
    template <class Page>
    Page* openAt(const ModuleState& m, const std::string& model) {
        startBus({m});
        return open<Page>(QString::asprintf("%02X", m.address),
                          QString::asprintf("(%02X)", m.address) + QString::fromStdString(model));
    }
    Lamp* lamp(const QString& name) const { return get<Lamp>(name); }
    QString mapValue(int row) const {
        return get<QTreeWidget>("lstviewModbus")->topLevelItem(row)->text(2);
    }
    QStringList mapRow(int row) const {
        QTreeWidgetItem* item = get<QTreeWidget>("lstviewModbus")->topLevelItem(row);
        return {item->text(0), item->text(1), item->text(2), item->text(3)};
    }
    int mapRows() const { return get<QTreeWidget>("lstviewModbus")->topLevelItemCount(); }
    QString panel0() const { return status.panelText(0); }
    QString panel1() const { return status.panelText(1); }
};

// ---- digital pages ----

TEST_F(Modbus, DigitalGeneralGroupOnlyDisplaysAndTheTimerFollowsTheTimeOut) {
    auto m = modbusModule("7385", 0x1A);
    startBus({m});
    auto* p = new TfrmM7385Mod(nullptr);
    page.reset(p);
    p->InitModule(link.get(), "1A", &status, &tree);
    auto* timer = get<QTimer>("tmrUpdateDIData");
    EXPECT_EQ(timer->interval(), 660);  // 2 x 80 ms + 500 ms
    EXPECT_TRUE(timer->isActive());
    stopTimer();
    EXPECT_EQ(bus.received(0), readRegs(0x1A, 213, 1));
    EXPECT_EQ(p->windowTitle(), "ODEL-7385 (Modbus)");
    EXPECT_EQ(edit("edtAddress_Hex")->text(), "1A");
    EXPECT_EQ(edit("edtAddress_Dec")->text(), "26");
    EXPECT_EQ(edit("edtFirmwareVer")->text(), "01.20");
    EXPECT_EQ(combo("cmbBaudRate")->currentText(), "9600 bps");
    EXPECT_EQ(combo("cmbPotocolSelect")->currentText(), "MODBUS");
    EXPECT_EQ(check("chkCheckSum")->text(), "Not available");
    auto* update = get<QPushButton>("btSystemUpdate");
    EXPECT_EQ(update->text(), "&System Update");
    for (QWidget* w :
         std::initializer_list<QWidget*>{update, combo("cmbBaudRate"), combo("cmbPotocolSelect")})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    ASSERT_EQ(mapRows(), 16);
    EXPECT_EQ(mapRow(0), (QStringList{"00001", "Bit", "*", "DI CH:00"}));
    EXPECT_EQ(mapRow(15), (QStringList{"00024", "Bit", "*", "DO CH:07"}));
    // No settings file: both commands do nothing.
    bus.clearReceived();
    p->SaveConfiguration();
    p->LoadConfiguration();
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(bus.busReceived(), "");
}

TEST_F(Modbus, DigitalPollReadsOutputsAndInputsOnAlternateTicks) {
    auto m = modbusModule("7385", 0x04);
    m.digitalOutputs = 0x81;
    m.digitalInputs = 0x05;
    auto* p = openAt<TfrmM7385Mod>(m, "7385");
    p->tmrUpdateDIDataTimer();
    EXPECT_EQ(bus.received(0), readCoils(4, 17, 8));
    EXPECT_EQ(edit("edtDO_Hex")->text(), "0x81");
    EXPECT_TRUE(lamp("bitbtnDO0")->isOn());
    EXPECT_FALSE(lamp("bitbtnDO1")->isOn());
    EXPECT_TRUE(lamp("bitbtnDO7")->isOn());
    EXPECT_EQ(mapValue(8), "1");
    EXPECT_EQ(mapValue(9), "0");
    EXPECT_EQ(panel0(), "Polling DIO data...");
    EXPECT_EQ(panel1(), "1");
    bus.clearReceived();
    p->tmrUpdateDIDataTimer();
    EXPECT_EQ(bus.received(0), readCoils(4, 1, 8));
    EXPECT_EQ(edit("edtDI_Hex")->text(), "0x05");
    EXPECT_TRUE(lamp("bitbtnDI2")->isOn());
    EXPECT_EQ(mapValue(0), "1");
    EXPECT_EQ(mapValue(1), "0");
    EXPECT_EQ(panel1(), "0");

    // Answers that are no answer to this request: the display stays, the failure shows.
    bus.modify(0, [](ModuleState& s) { s.digitalOutputs = 0x00; });
    for (Fault f : {Fault::NoReply, Fault::ModbusZeroCount, Fault::ModbusForeign,
                    Fault::ModbusWrongFunc, Fault::ModbusException}) {
        bus.setFault(0, f);
        p->heartbeat = false;
        p->tmrUpdateDIDataTimer();
        EXPECT_EQ(panel0(), "Fail to fresh DIO data!") << static_cast<int>(f);
        EXPECT_EQ(panel1(), "3");
        EXPECT_EQ(edit("edtDO_Hex")->text(), "0x81");
    }
}

TEST_F(Modbus, DigitalOutputClickTogglesTheCoilAndReadsTheOutputsBack) {
    auto m = modbusModule("7385", 0x04);
    auto* p = openAt<TfrmM7385Mod>(m, "7385");
    // Before any poll the page reads the outputs to know what to toggle.
    QTest::mouseClick(lamp("bitbtnDO3"), Qt::LeftButton);
    EXPECT_EQ(bus.received(0),
              readCoils(4, 17, 8) + frame({4, 5, 0, 0x13, 0xFF, 0}) + readCoils(4, 17, 8));
    EXPECT_EQ(bus.module(0).digitalOutputs, 0x08);
    EXPECT_TRUE(lamp("bitbtnDO3")->isOn());
    EXPECT_EQ(panel0(), "Polling DIO data...");
    EXPECT_TRUE(get<QTimer>("tmrUpdateDIData")->isActive());
    stopTimer();
    bus.clearReceived();
    QTest::mouseClick(lamp("bitbtnDO3"), Qt::LeftButton);
    EXPECT_EQ(bus.received(0), frame({4, 5, 0, 0x13, 0, 0}) + readCoils(4, 17, 8));
    EXPECT_EQ(bus.module(0).digitalOutputs, 0x00);
    // A failed write leaves the states: the next click still switches on.
    bus.setFault(0, Fault::NoReply, "05");
    p->bitbtnDO0Click(3);
    EXPECT_EQ(panel0(), "Fail to set DO!");
    bus.clearFault(0);
    p->bitbtnDO0Click(3);
    EXPECT_EQ(bus.module(0).digitalOutputs, 0x08);
}

TEST_F(Modbus, SixteenInputPageShowsBothBytes) {
    auto m = modbusModule("7381", 0x25);
    m.digitalInputs = 0x8005;
    auto* p = openAt<TfrmM7381Mod>(m, "7381");
    EXPECT_EQ(mapRows(), 16);
    EXPECT_EQ(mapRow(15), (QStringList{"00016", "Bit", "*", "DI CH:15"}));
    EXPECT_EQ(lamp("bitbtnDO7")->text(), "DI 15");
    p->tmrUpdateDIDataTimer();
    EXPECT_EQ(bus.received(0), readCoils(0x25, 1, 16));
    EXPECT_EQ(edit("edtDI_Hex")->text(), "0x05");
    EXPECT_EQ(edit("edtDO_Hex")->text(), "0x80");
    EXPECT_TRUE(lamp("bitbtnDI0")->isOn());
    EXPECT_FALSE(lamp("bitbtnDI1")->isOn());
    EXPECT_TRUE(lamp("bitbtnDI2")->isOn());
    EXPECT_TRUE(lamp("bitbtnDO7")->isOn());
    EXPECT_EQ(mapValue(15), "1");
    EXPECT_EQ(panel0(), "Polling DI data...");
    // Inputs 8..15 take no clicks; a one-byte answer for 16 coils is no answer.
    bus.clearReceived();
    QTest::mouseClick(lamp("bitbtnDO0"), Qt::LeftButton);
    EXPECT_EQ(bus.busReceived(), "");
    bus.setFault(0, Fault::ModbusShort);
    p->tmrUpdateDIDataTimer();
    EXPECT_EQ(panel0(), "Fail to fresh DI data!");
}

TEST_F(Modbus, OutputOnlyPageReadsTheOutputsOnEveryTick) {
    auto m = modbusModule("7396", 0x26);
    m.digitalOutputs = 0x10;
    auto* p = openAt<TfrmM7396Mod>(m, "7396");
    EXPECT_EQ(mapRows(), 8);
    EXPECT_EQ(mapRow(0), (QStringList{"00017", "Bit", "*", "DO CH:00"}));
    EXPECT_TRUE(get<QWidget>("gbDI")->isHidden());
    p->tmrUpdateDIDataTimer();
    p->tmrUpdateDIDataTimer();
    EXPECT_EQ(bus.received(0), readCoils(0x26, 17, 8) + readCoils(0x26, 17, 8));
    EXPECT_EQ(mapValue(4), "1");
    EXPECT_EQ(panel0(), "Polling DO data...");
    bus.setFault(0, Fault::NoReply);
    p->tmrUpdateDIDataTimer();
    EXPECT_EQ(panel0(), "Fail to fresh DO data!");
}

TEST_F(Modbus, AnAddressTextThatNamesNoSlaveSendsNothing) {
    auto m = modbusModule("7385", 0x04);
    startBus({m});
    for (const QString& text :
         {QString(), QString("*"), QString("00"), QString("4"), QString("G4"), QString("104")}) {
        SCOPED_TRACE(text.toStdString());
        bus.clearReceived();
        auto* p = new TfrmM7385Mod(nullptr);
        page.reset(p);
        p->InitModule(link.get(), text, &status, &tree);
        EXPECT_FALSE(get<QTimer>("tmrUpdateDIData")->isActive());
        EXPECT_EQ(panel0(), "Fail to fresh DIO data!");
        p->bitbtnDO0Click(0);
        EXPECT_EQ(panel0(), "Fail to set DO!");
        EXPECT_FALSE(get<QTimer>("tmrUpdateDIData")->isActive());
        EXPECT_EQ(bus.busReceived(), "");
        EXPECT_TRUE(bus.module(0).broadcasts.empty());
    }
}

// ---- analog-input pages ----

TEST_F(Modbus, AnalogInputReadTickThenDisplayTickWithScaling) {
    auto m = modbusModule("7354R", 0x23);
    m.ranges = {0x07, 0x06, 0x0E, 0x10, 0x12, 0x14, 0x08, 0x07};
    m.values[0] = 4 + 16 * 32768 / 65535.0;  // raw 32768
    m.values[1] = -20;                       // raw 0
    m.values[2] = 380;                       // raw 32768 of 0..760
    m.values[3] = 0;                         // raw 13107 of -100..400
    m.values[4] = 1125;                      // raw 32768 of 500..1750
    m.values[5] = 1800;                      // raw 65535
    m.values[6] = 5;                         // 0x08 is no range of this page
    m.burnout[7] = true;
    m.enableMask = 0xFD;  // CH1 off
    auto* p = openAt<TfrmM7354RMod>(m, "7354R");
    EXPECT_EQ(mapRows(), 8);
    EXPECT_EQ(mapRow(0), (QStringList{"40001", "Word", "*****", "AI CH:00"}));
    EXPECT_EQ(combo("cmbTypeChangeCh0")->currentText(), "+ 4~20mA");
    EXPECT_EQ(get<QLabel>("labAIUnitCh2")->text(), "'C");
    EXPECT_EQ(combo("cmbTypeChangeCh6")->currentIndex(), -1);
    EXPECT_EQ(get<QLabel>("labAIUnitCh6")->text(), "");
    EXPECT_FALSE(check("chkEnableCh1")->isChecked());
    p->tmrUpdateAIDataTimer();
    EXPECT_EQ(bus.received(0), readRegs(0x23, 1, 8));
    EXPECT_EQ(edit("edtAIValCh0")->text(), "");  // nothing shown on the read tick
    EXPECT_EQ(panel0(), "Polling AI data...");
    EXPECT_EQ(panel1(), "1");
    bus.clearReceived();
    p->tmrUpdateAIDataTimer();
    EXPECT_EQ(bus.received(0), readRegs(0x23, 221, 1) + readCoils(0x23, 201, 8));
    EXPECT_EQ(panel1(), "0");
    EXPECT_EQ(edit("edtAIValCh0")->text(), "+12.000");
    EXPECT_EQ(mapValue(0), "32768");
    EXPECT_EQ(edit("edtAIValCh1")->text(), "");  // disabled
    EXPECT_EQ(mapValue(1), "*****");
    EXPECT_EQ(edit("edtAIValCh2")->text(), "+380.01");
    EXPECT_EQ(edit("edtAIValCh3")->text(), "+000.00");
    EXPECT_EQ(edit("edtAIValCh4")->text(), "+1125.0");
    EXPECT_EQ(edit("edtAIValCh5")->text(), "+1800.0");
    EXPECT_EQ(edit("edtAIValCh6")->text(), "*****");  // unknown range: no made-up number
    EXPECT_EQ(edit("edtAIValCh7")->text(), "Burn-out");
    EXPECT_NE(mapValue(7), "*****");
}

TEST_F(Modbus, VoltagePageScalesBothEndsAndReadsNoBurnOutCoils) {
    auto m = modbusModule("7352R", 0x22);
    m.ranges = {0x08, 0x08, 0x0C, 0x09, 0x07, 0x07, 0x07, 0x07};
    m.values[0] = -10;
    m.values[1] = 10;
    m.values[2] = -150;
    m.values[3] = 5;
    auto* p = openAt<TfrmM7352RMod>(m, "7352R");
    p->tmrUpdateAIDataTimer();
    p->tmrUpdateAIDataTimer();
    EXPECT_EQ(bus.received(0), readRegs(0x22, 1, 8) + readRegs(0x22, 221, 1));
    EXPECT_EQ(edit("edtAIValCh0")->text(), "-10.000");
    EXPECT_EQ(edit("edtAIValCh1")->text(), "+10.000");
    EXPECT_EQ(edit("edtAIValCh2")->text(), "-150.00");
    EXPECT_EQ(edit("edtAIValCh3")->text(), "+5.0000");
    EXPECT_EQ(get<QLabel>("labAIUnitCh2")->text(), "mV");
}

TEST_F(Modbus, ValuesOfAFailedReadAreNeverShownAsFresh) {
    auto m = modbusModule("7352R", 0x22);
    for (int& r : m.ranges) r = 0x08;
    auto* p = openAt<TfrmM7352RMod>(m, "7352R");
    bus.setFault(0, Fault::NoReply, "03:1");  // the value registers only
    p->tmrUpdateAIDataTimer();
    EXPECT_EQ(panel0(), "Fail to fresh AI data!");
    EXPECT_EQ(panel1(), "3");
    p->tmrUpdateAIDataTimer();  // display tick: the mask answers, but there is nothing to show
    EXPECT_EQ(panel0(), "Fail to fresh AI data!");
    EXPECT_EQ(panel1(), "2");
    EXPECT_EQ(edit("edtAIValCh0")->text(), "");
    // Short answers (fewer registers than asked) fail the same way.
    bus.setFault(0, Fault::ModbusShort, "03:1");
    p->tmrUpdateAIDataTimer();
    p->tmrUpdateAIDataTimer();
    EXPECT_EQ(panel0(), "Fail to fresh AI data!");
    bus.clearFault(0);
    p->tmrUpdateAIDataTimer();
    p->tmrUpdateAIDataTimer();
    EXPECT_EQ(panel0(), "Polling AI data...");
    EXPECT_EQ(edit("edtAIValCh0")->text(), "+00.500");
}

TEST_F(Modbus, UpdateWritesTheMaskAndEveryKnownRange) {
    auto m = modbusModule("7354R", 0x23);
    m.ranges = {0x06, 0x07, 0x0E, 0x0F, 0x10, 0x11, 0x12, 0x13};
    auto* p = openAt<TfrmM7354RMod>(m, "7354R");
    click("btUncheckAll");
    combo("cmbTypeChangeCh1")->setCurrentIndex(8);   // B Type
    combo("cmbTypeChangeCh2")->setCurrentIndex(-1);  // no selection: keeps the module's
    pauses.clear();
    click("btUpdateAIStatus");
    std::string expected = writeReg(0x23, 221, 0);
    const int codes[] = {0x06, 0x14, -1, 0x0F, 0x10, 0x11, 0x12, 0x13};
    for (int i = 0; i < 8; ++i)
        if (codes[i] >= 0) expected += writeReg(0x23, 201 + i, codes[i]);
    expected += readRegs(0x23, 221, 1) + readRegs(0x23, 201, 8);
    EXPECT_EQ(bus.received(0), expected);
    EXPECT_EQ(pauses, std::vector<int>(7, 100));
    EXPECT_EQ(dialogs.texts("information"), QStringList{"Update Channel Setup Success!"});
    EXPECT_EQ(bus.module(0).enableMask, 0);
    EXPECT_EQ(bus.module(0).ranges[1], 0x14);
    EXPECT_EQ(combo("cmbTypeChangeCh2")->currentText(), "J Type ");  // read back
    EXPECT_TRUE(get<QTimer>("tmrUpdateAIData")->isActive());
    stopTimer();
    // Failed range writes: the status text and the error dialog.
    dialogs.clear();
    bus.setFault(0, Fault::NoReply, "06:2");
    p->btUpdateAIStatusClick();
    EXPECT_EQ(dialogs.texts("error"), QStringList{"Error occurred during setup!"});
    EXPECT_EQ(panel0(), "Change AI range failed");
    dialogs.clear();
    bus.setFault(0, Fault::NoReply, "06:221");
    p->btUpdateAIStatusClick();
    EXPECT_EQ(dialogs.texts("error"), QStringList{"Error occurred during setup!"});
    bus.setFault(0, Fault::NoReply, "03:221");
    p->btRefreshAIStatusClick();
    EXPECT_EQ(panel0(), "Fail to fresh AI status!");
}

TEST_F(Modbus, RtdPageWritesTheLastItemAs2DAndReadsItBackAsTheOneBefore) {
    auto m = modbusModule("7347", 0x20);
    for (int& r : m.ranges) r = 0x20;
    m.values[0] = 0;
    auto* p = openAt<TfrmM7347Mod>(m, "7347");
    EXPECT_EQ(mapRows(), 6);
    combo("cmbTypeChangeCh0")->setCurrentIndex(14);
    p->btUpdateAIStatusClick();
    EXPECT_NE(bus.received(0).find(writeReg(0x20, 201, 0x2D)), std::string::npos);
    EXPECT_EQ(combo("cmbTypeChangeCh0")->currentIndex(), 13);
    EXPECT_EQ(combo("cmbTypeChangeCh1")->currentText(), "PT100(385)-50~150");
}

TEST_F(Modbus, ThermistorPageShowsTheRawRegisterInHex) {
    auto m = modbusModule("7347K", 0x21);
    for (int& r : m.ranges) r = 0x31;
    m.values[0] = 100.0 * 0x1234 / 65535;
    auto* p = openAt<TfrmM7347KMod>(m, "7347K");
    EXPECT_EQ(combo("cmbTypeChangeCh0")->currentText(), "Thermistor 10K 0~100'C");
    p->tmrUpdateAIDataTimer();
    p->tmrUpdateAIDataTimer();
    EXPECT_EQ(edit("edtAIValCh0")->text(), "0x1234");
    EXPECT_EQ(mapValue(0), "4660");
}

// mbpoll, a master we did not write, reads the same registers the page shows.
TEST_F(Modbus, MbpollAndThePageSeeTheSameRegisters) {
    if (system("command -v mbpoll > /dev/null") != 0) GTEST_SKIP() << "mbpoll not installed";
    auto m = modbusModule("7352R", 0x22);
    for (int i = 0; i < 8; ++i) m.values[i] = -9 + 2.3 * i;
    for (int& r : m.ranges) r = 0x08;
    auto* p = openAt<TfrmM7352RMod>(m, "7352R");
    p->tmrUpdateAIDataTimer();
    p->tmrUpdateAIDataTimer();
    QStringList shown;
    for (int i = 0; i < 8; ++i) shown << mapValue(i);
    page.reset();
    link.reset();
    const std::string cmd =
        "mbpoll -m rtu -b 9600 -P none -1 -q -t 4 -a 34 -r 1 -c 8 " + bus.slavePath() + " 2>&1";
    std::string out;
    if (FILE* f = popen(cmd.c_str(), "r")) {
        char buf[256];
        while (fgets(buf, sizeof buf, f)) out += buf;
        pclose(f);
    }
    // mbpoll prints "[1]: \t3277", values above 32767 followed by their signed reading.
    for (int i = 0; i < 8; ++i) {
        const std::string line = "[" + std::to_string(i + 1) + "]: \t" + shown[i].toStdString();
        const auto at = out.find(line);
        ASSERT_NE(at, std::string::npos) << line << out;
        EXPECT_TRUE(out[at + line.size()] == '\n' || out[at + line.size()] == ' ') << out;
    }
}

// ---- analog-output page ----

class ModbusAo : public Modbus {
  protected:
    TfrmM7364Mod* openAo(const std::function<void(ModuleState&)>& change = {}) {
        auto m = modbusModule("7364", 0x24);
        m.aoRanges = {0x30, 0x31, 0x32, 0x30};
        if (change) change(m);
        return openAt<TfrmM7364Mod>(m, "7364");
    }
};

TEST_F(ModbusAo, StartReadsGeneralSafetyRangesAndTheSelectedOutput) {
    auto* p = openAo([](ModuleState& m) {
        m.safetyEnabled = true;
        m.aoValues[0] = 20.0 * 1000 / 4095;
        m.aoValues[1] = 4 + 16.0 * 2048 / 4095;
    });
    EXPECT_EQ(p->windowTitle(), "ODEL-7364 (Modbus)");
    EXPECT_EQ(get<QTimer>("tmrUpdateAOData")->interval(), 660);
    EXPECT_EQ(edit("edtFirmwareVer")->text(), "01.20");
    EXPECT_TRUE(check("chkboxSafeOn")->isChecked());
    EXPECT_EQ(edit("edtSafeTrigger")->text(), "0");
    EXPECT_EQ(combo("cmbAORange3")->currentText(), "+/-  10 V");
    EXPECT_EQ(combo("cmbOutputCh")->currentText(), "Ch 1");
    EXPECT_EQ(edit("edtCode")->text(), "mA");
    EXPECT_EQ(edit("txbCurVal2")->text(), "+12.002");
    EXPECT_EQ(edit("edtAOOutput")->text(), "+04.884");
    EXPECT_EQ(get<QScrollBar>("scrbarAO")->value(), 24);
    ASSERT_EQ(mapRows(), 8);
    EXPECT_EQ(mapRow(0), (QStringList{"00001", "Bit", "*", "DI CH:01"}));
    EXPECT_EQ(mapRow(4), (QStringList{"40001", "Word", "1000", "AO CH:01"}));
    // Ch 3 (+/- 10 V) selected: unit and its value.
    bus.clearReceived();
    combo("cmbOutputCh")->setCurrentIndex(2);
    EXPECT_EQ(bus.received(0), readRegs(0x24, 1, 4));
    EXPECT_EQ(edit("edtCode")->text(), "V");
}

TEST_F(ModbusAo, DirectOutputLimitsAndRawValues) {
    struct Case {
        int channel;
        const char* text;
        int raw;              // -1: refused
        const char* message;  // the error, or the value box text after the output
    };
    const Case cases[] = {
        {0, "20", 4095, "+20.000"},
        {0, "20.1", -1, "The data should be in the range between 0.0~20.0!"},
        {1, "3.9", -1, "The data should be in the range between 4.0~20.0!"},
        {1, "12.002", 2048, "+12.002"},
        {2, "12", -1, "The data should be in the range between -10.0~10.0!"},
        {2, "-10", 0, "-10.000"},
        {2, "", -1, "The input data is invalid!"},
        {2, "1.2.3", -1, "The input data is invalid!"},
        {2, "--5", -1, "The input data is invalid!"},
    };
    auto* p = openAo();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        combo("cmbOutputCh")->setCurrentIndex(c.channel);
        bus.clearReceived();
        dialogs.clear();
        edit("edtAOOutput")->setText(c.text);
        p->btAOOutputClick();
        if (c.raw < 0) {
            EXPECT_EQ(dialogs.texts("error"), QStringList{c.message});
            EXPECT_EQ(bus.busReceived(), "");
        } else {
            EXPECT_TRUE(dialogs.shown.empty());
            EXPECT_EQ(edit("edtAOOutput")->text(), c.message);
            EXPECT_EQ(bus.received(0), writeReg(0x24, c.channel + 1, c.raw) + readRegs(0x24, 1, 4));
        }
        EXPECT_TRUE(get<QTimer>("tmrUpdateAOData")->isActive());
        stopTimer();
    }
    bus.setFault(0, Fault::NoReply, "06");
    dialogs.clear();
    edit("edtAOOutput")->setText("1");
    p->btAOOutputClick();
    EXPECT_EQ(dialogs.texts("error"), QStringList{"Failed to output data!"});
}

TEST_F(ModbusAo, ValueBoxKeysAndTheScrollBarPreview) {
    openAo();
    QLineEdit* value = edit("edtAOOutput");
    value->clear();
    value->setFocus();
    QTest::keyClicks(value, "1x5a.-+");
    EXPECT_EQ(value->text(), "15.-+");
    bus.clearReceived();
    get<QScrollBar>("scrbarAO")->setValue(50);  // raw 2047 of 0..20 mA
    EXPECT_EQ(value->text(), "+09.998");
    EXPECT_EQ(bus.busReceived(), "");
    value->setText("10");
    QTest::keyClick(value, Qt::Key_Return);
    EXPECT_EQ(bus.received(0), writeReg(0x24, 1, 2047) + readRegs(0x24, 1, 4));
}

TEST_F(ModbusAo, PollsAlternateAndTheSafetyCountCountsTriggers) {
    auto* p = openAo([](ModuleState& m) {
        m.safetyEnabled = true;
        m.digitalInputs = 0x09;
    });
    p->tmrUpdateAODataTimer();  // input poll first
    EXPECT_EQ(bus.received(0), readCoils(0x24, 1, 4) + readRegs(0x24, 216, 1));
    EXPECT_EQ(edit("edtDIData")->text(), "09");
    EXPECT_TRUE(lamp("bitbtnDI1")->isOn());
    EXPECT_FALSE(lamp("bitbtnDI2")->isOn());
    EXPECT_EQ(mapValue(3), "1");
    EXPECT_EQ(panel0(), "Polling DI data...");
    EXPECT_EQ(panel1(), "1");
    bus.clearReceived();
    p->tmrUpdateAODataTimer();
    EXPECT_EQ(bus.received(0), readRegs(0x24, 1, 4));
    EXPECT_EQ(panel0(), "Polling AO data...");
    EXPECT_EQ(panel1(), "0");
    bus.modify(0, [](ModuleState& m) { m.safetyTriggered = true; });
    for (int i = 0; i < 6; ++i) p->tmrUpdateAODataTimer();
    EXPECT_EQ(edit("edtSafeTrigger")->text(), "1");  // one trigger, three input polls
    bus.modify(0, [](ModuleState& m) { m.safetyTriggered = false; });
    p->tmrUpdateAODataTimer();
    p->tmrUpdateAODataTimer();
    bus.modify(0, [](ModuleState& m) { m.safetyTriggered = true; });
    p->tmrUpdateAODataTimer();
    EXPECT_EQ(edit("edtSafeTrigger")->text(), "2");
    EXPECT_EQ(p->safetyTriggerCount(), 2);
    bus.setFault(0, Fault::ModbusZeroCount, "01");
    p->tmrUpdateAODataTimer();
    p->tmrUpdateAODataTimer();
    EXPECT_EQ(panel0(), "Fail to fresh DI data!");
    EXPECT_EQ(panel1(), "3");
    bus.setFault(0, Fault::ModbusZeroCount, "03:1");
    p->tmrUpdateAODataTimer();
    EXPECT_EQ(panel0(), "Fail to fresh AO data!");
}

TEST_F(ModbusAo, RangeUpdateKeepsAnUnknownRangeAndOutputRefusesIt) {
    auto* p = openAo([](ModuleState& m) { m.aoRanges[2] = 0x39; });
    EXPECT_EQ(combo("cmbAORange3")->currentIndex(), -1);
    combo("cmbAORange1")->setCurrentIndex(2);
    pauses.clear();
    p->btUpdateAOStatusClick();
    EXPECT_EQ(bus.received(0), writeReg(0x24, 201, '2') + writeReg(0x24, 202, '1') +
                                   writeReg(0x24, 204, '0') + readRegs(0x24, 201, 4) +
                                   readRegs(0x24, 1, 4));
    EXPECT_EQ(pauses, std::vector<int>(3, 100));
    EXPECT_EQ(dialogs.texts("information"), QStringList{"Update Channel Setup Success!"});
    EXPECT_EQ(bus.module(0).aoRanges[0], 0x32);
    EXPECT_EQ(bus.module(0).aoRanges[2], 0x39);
    stopTimer();
    combo("cmbOutputCh")->setCurrentIndex(2);
    EXPECT_EQ(edit("txbCurVal3")->text(), "*****");
    bus.clearReceived();
    dialogs.clear();
    edit("edtAOOutput")->setText("1");
    p->btAOOutputClick();
    EXPECT_EQ(dialogs.texts("error"), QStringList{"Failed to output data!"});
    EXPECT_EQ(bus.busReceived(), "");
    bus.setFault(0, Fault::NoReply, "06");
    dialogs.clear();
    p->btUpdateAOStatusClick();
    EXPECT_EQ(dialogs.texts("error"), QStringList{"Error occurred during setup!"});
    bus.setFault(0, Fault::NoReply, "03:201");
    p->btRefreshAOStatusClick();
    EXPECT_EQ(panel0(), "Fail to fresh AO status!");
}

}  // namespace

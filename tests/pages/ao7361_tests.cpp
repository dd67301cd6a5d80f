// The single-output page 7361 against the simulator: value texts per data format, the track
// bar and step buttons, the Update of range, format and slew bits, polling, start-up value,
// calibration and the settings file.
#include <QFile>
#include <QSlider>
#include <QTemporaryDir>

#include "PageFixture.h"
#include "pages/analog_out/Unitm7361.h"
#include "pages/analog_out/Unitmaocalib.h"

using namespace odel::test;
using namespace odel::ui;

namespace {

class Ao7361 : public PageTest {
  protected:
    // Opens the page on a 7361 at 01 (or in INIT state) with the given format byte and range.
    TfrmM7361* openOn(int format, int type = 0x30, bool init = false) {
        auto m = module("7361", 0x01);
        m.format = format;
        m.typeCode = type;
        m.init = init;
        startBus({m});
        auto* p = open<TfrmM7361>(init ? "*" : "01", init ? "(*)7361" : "(01)7361");
        p->findChild<QTimer*>("tmrUpdateAOData")->stop();
        return p;
    }
    QSlider* bar() const { return get<QSlider>("trabAOVal"); }
    // Types a value and presses Output; returns what went on the wire.
    std::string output(const QString& typed) {
        bus.clearReceived();
        dialogs.clear();
        edit("edtAO_Val")->setText(typed);
        click("btnValueOutput");
        return received();
    }
};

TEST_F(Ao7361, ValueTextsPerFormatRoundOnceAndRefuseWhatDoesNotFit) {
    const struct {
        int format, type;
        const char* typed;
        const char* sent;  // "" = refused with "Write AO Failed!"
    } cases[] = {
        {0, 0x30, "4.5", "#0104.500|"},
        {0, 0x30, "4.35", "#0104.350|"},
        {0, 0x30, "2.3", "#0102.300|"},
        {0, 0x30, "20", "#0120.000|"},
        {0, 0x30, "0", "#0100.000|"},
        {0, 0x30, "-1", ""},
        {0, 0x30, "20.01", ""},
        {0, 0x30, "abc", ""},
        {0, 0x30, "", ""},
        {0, 0x31, "3.9", ""},
        {0, 0x31, "4", "#0104.000|"},
        {0, 0x32, "10", "#0110.000|"},
        {0, 0x32, "10.5", ""},
        {1, 0x30, "50.25", "#01+050.25|"},
        {1, 0x30, "8.2", "#01+008.20|"},
        {1, 0x30, "0.29", "#01+000.29|"},
        {1, 0x30, "100", "#01+100.00|"},
        {1, 0x30, "100.01", ""},
        {2, 0x30, "0x7FF", "#017FF|"},
        {2, 0x30, "0x7ff", "#017FF|"},
        {2, 0x30, "0x7", "#01007|"},
        {2, 0x30, "2048", ""},
        {2, 0x30, "0x1000", ""},
        {2, 0x30, "0x", ""},
        {0, 0x37, "4", ""},  // unknown output range: no limits to check against
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("format ") + std::to_string(c.format) + " typed " + c.typed);
        openOn(c.format, c.type);
        EXPECT_EQ(output(c.typed), c.sent);
        EXPECT_EQ(dialogs.texts("error"),
                  *c.sent ? QStringList{} : QStringList{"Write AO Failed!"});
        page.reset();
        bus.stop();
    }
}

TEST_F(Ao7361, TrackBarScalesAndTextsPerFormatAndRange) {
    const struct {
        int format, type, min, max, position;
        const char* text;
    } cases[] = {
        {1, 0x30, 0, 10000, 5025, "50.25"},   {2, 0x30, 0, 4095, 0x7FF, "0x7FF"},
        {0, 0x30, 0, 20000, 4500, "4.500"},   {0, 0x31, 4000, 20000, 12345, "12.345"},
        {0, 0x32, 0, 10000, 10000, "10.000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        openOn(c.format, c.type);
        EXPECT_EQ(bar()->minimum(), c.min);
        EXPECT_EQ(bar()->maximum(), c.max);
        bar()->setValue(c.position);
        EXPECT_EQ(edit("edtAO_Val")->text(), c.text);
        page.reset();
        bus.stop();
    }
    // End to end: 5025 on the bar in % FSR goes out as +050.25.
    openOn(1);
    bar()->setValue(5025);
    bus.clearReceived();
    click("btnValueOutput");
    EXPECT_EQ(received(), "#01+050.25|");
    EXPECT_EQ(bus.module(0).aoValues[0], 10.05);
}

TEST_F(Ao7361, StepButtonsMoveByTenthsAndHundredthsWithinTheBar) {
    openOn(0, 0x31);  // 4000..20000
    bar()->setValue(4100);
    click("bitbtnLeft");
    EXPECT_EQ(bar()->value(), 4000);  // 4100 - 160, clamped
    click("bitbtnRightRight");
    EXPECT_EQ(bar()->value(), 5600);
    click("bitbtnRight");
    EXPECT_EQ(bar()->value(), 5760);
    EXPECT_EQ(edit("edtAO_Val")->text(), "5.760");
    bar()->setValue(19000);
    click("bitbtnRightRight");
    EXPECT_EQ(bar()->value(), 20000);
    EXPECT_EQ(received(), "");  // nothing is sent by moving
}

TEST_F(Ao7361, NormalStateUpdateWritesAddressAndRangeOnly) {
    for (int index = 0; index < 3; ++index) {
        SCOPED_TRACE(index);
        openOn(0x14);  // slew code 5
        EXPECT_FALSE(get<QComboBox>("cmbSlewRate")->isEnabled());
        EXPECT_FALSE(combo("cmbDataFormat")->isEnabled());
        EXPECT_TRUE(combo("cmbTypeChangeAllCh")->isEnabled());
        combo("cmbTypeChangeAllCh")->setCurrentIndex(index);
        click("btSystemUpdate");
        EXPECT_EQ(received(), "$012|$01M|%0101" + std::to_string(30 + index) + "0614|$012|$01F|");
        EXPECT_EQ(pauses, std::vector<int>{1000});
        EXPECT_EQ(dialogs.texts("information"), QStringList{"Update success!"});
        EXPECT_EQ(bus.module(0).typeCode, 0x30 + index);
        page.reset();
        bus.stop();
        pauses.clear();
        dialogs.clear();
    }
}

TEST_F(Ao7361, UnknownRangeAndSlewShowNothingAndKeepTheModulesCodes) {
    openOn(0x3C, 0x30, true);  // slew code 15
    EXPECT_EQ(combo("cmbSlewRate")->currentIndex(), -1);
    edit("edtAddress_Dec")->setText("5");
    click("btSystemUpdate");
    EXPECT_EQ(received(), "$002|%000530063C|$002|$00F|");
    EXPECT_EQ(bus.module(0).address, 5);
    page.reset();
    bus.stop();
    openOn(0, 0x37);  // a type code outside the list
    EXPECT_EQ(combo("cmbTypeChangeAllCh")->currentIndex(), -1);
    click("btSystemUpdate");
    EXPECT_NE(received().find("%0101370600|"), std::string::npos) << received();
}

TEST_F(Ao7361, InitUpdateWritesRangeSlewAndFormat) {
    openOn(0, 0x30, true);
    EXPECT_TRUE(combo("cmbSlewRate")->isEnabled());
    edit("edtAddress_Dec")->setText("1");
    combo("cmbTypeChangeAllCh")->setCurrentIndex(2);
    combo("cmbSlewRate")->setCurrentIndex(11);
    combo("cmbDataFormat")->setCurrentIndex(2);
    check("chkCheckSum")->setChecked(false);
    click("btSystemUpdate");
    // Format byte: slew 1011 in bits 5..2, hex format 10.
    EXPECT_EQ(received(), "$002|%000132062E|$002|$00F|");
    EXPECT_EQ(edit("edtAddress_Hex")->text(), "*00");
    // The refreshed slew list is the voltage one of the new range.
    EXPECT_EQ(combo("cmbSlewRate")->currentText(), "64.0  V/sec");
    EXPECT_EQ(combo("cmbSlewRate")->itemText(1), "0.0625  V/sec");
}

TEST_F(Ao7361, SlewListsWithTheirTextsPerRange) {
    openOn(0x04, 0x31);
    QStringList items;
    for (int i = 0; i < combo("cmbSlewRate")->count(); ++i)
        items << combo("cmbSlewRate")->itemText(i);
    EXPECT_EQ(items,
              (QStringList{"immediately", "0.125  mA/sec", "0.25  mA/sec", "0.5  mA/sec",
                           "1.0  mA/sec", "2.0  mA/sec", "4.0  mA/sec", "8.0  mA/sec",
                           "16.0  mA/sec", "32.0  mA/sec", "64.0  mA/sec", "128.0  mA/sec"}));
    EXPECT_EQ(combo("cmbSlewRate")->currentIndex(), 1);
    EXPECT_EQ(combo("cmbTypeChangeAllCh")->itemText(2), "0~10V   ");
}

TEST_F(Ao7361, PollShowsLastValueAndReadBackInTheModulesFormat) {
    const struct {
        int format;
        double value;
        const char* shown;
    } cases[] = {{0, 4.5, "4.500"}, {1, 10.0, "50.00"}, {2, 20.0, "0xFFF"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        auto* p = openOn(c.format);
        bus.modify(0, [&](odel::sim::ModuleState& m) { m.aoValues[0] = c.value; });
        p->tmrUpdateAODataTimer();
        EXPECT_EQ(edit("edtLast_Val")->text(), c.shown);
        EXPECT_EQ(edit("edtAO_CurrentReadBak")->text(), c.shown);
        EXPECT_EQ(edit("edtAO_Val")->text(), c.shown);
        EXPECT_EQ(status.panelText(0), "Polling AO Data....  ");
        EXPECT_EQ(status.panelText(1), "1");
        bus.setFault(0, odel::sim::Fault::NoReply, "$8");
        p->tmrUpdateAODataTimer();
        EXPECT_EQ(status.panelText(0), "Fail to fresh AO data!");
        EXPECT_EQ(status.panelText(1), "2");
        page.reset();
        bus.stop();
    }
}

TEST_F(Ao7361, StartupValueAndItsFailure) {
    openOn(0);
    click("btnStartup");
    EXPECT_EQ(received(), "$014|");
    bus.setFault(0, odel::sim::Fault::Reject, "$4");
    click("btnStartup");
    EXPECT_EQ(dialogs.texts("information"), QStringList{"Update success!"});
    EXPECT_EQ(dialogs.texts("error"), QStringList{"Write Start Output Config Failed!"});
}

TEST_F(Ao7361, CalibrationTrimsMoveTheReadBackAndSaveStoresThePoint) {
    auto* p = openOn(0);
    p->findChild<QTimer*>("tmrUpdateAOData")->start();
    dialogs.execHandler = [&](QDialog* d) {
        auto* c = qobject_cast<TfrmMAOCalib*>(d);
        EXPECT_EQ(c->mode(), TfrmMAOCalib::Low4mA);
        c->FormShow();
        EXPECT_EQ(c->labCalibVal->text(), "4.0mA");
        c->bitbtnLeftLeft20->click();
        // The page keeps polling while the dialog is open.
        EXPECT_TRUE(p->findChild<QTimer*>("tmrUpdateAOData")->isActive());
        c->bitbtn20Execute->click();
        return c->result();
    };
    click("bitbtn4mA0");
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[0].caption, " ODEL-7361  4mA Calibration");
    EXPECT_EQ(dialogs.texts("messageBox"), QStringList{"4mA Calibration Successfully"});
    EXPECT_EQ(bus.module(0).calibrations, (std::vector<std::string>{"$30A", "$0"}));
    p->findChild<QTimer*>("tmrUpdateAOData")->stop();
    p->tmrUpdateAODataTimer();
    EXPECT_EQ(edit("edtLast_Val")->text(), "4.000");
    EXPECT_EQ(edit("edtAO_CurrentReadBak")->text(), "3.985");
}

using Ao7361File = Ao7361;

TEST_F(Ao7361File, SavedLinesByteForByteAndALoadThatReconfiguresTheModule) {
    auto* p = openOn(0x40 | 0x14 | 1, 0x31, true);  // checksum, slew 5, % FSR, 4~20 mA
    dialogs.fileAnswers = {path("a.txt")};
    p->SaveConfiguration();
    EXPECT_EQ(dialogs.shown[0].text, "7361.txt");
    EXPECT_EQ(read(path("a.txt")),
              "Module Name:  ODEL-7361 \ncheckSum: 0\nInput Range: 1\nData Format: 1\n"
              "Slew Rate: 5\n");
    QFile f(path("b.txt"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(
        "Module Name:  ODEL-7361 \ncheckSum: 1\nInput Range: 2\nData Format: 2\n"
        "Slew Rate: 9\n");
    f.close();
    dialogs.fileAnswers = {path("b.txt")};
    dialogs.clear();
    edit("edtAddress_Dec")->setText("1");
    bus.clearReceived();
    p->LoadConfiguration();
    // Checksum always off after a load; slew 1001, hex format.
    EXPECT_EQ(received(), "$002|%0001320626|$002|$00F|");
    EXPECT_EQ(bus.module(0).typeCode, 0x32);
    EXPECT_EQ(bus.module(0).format, 0x26);
    EXPECT_EQ(dialogs.texts("information"), QStringList{"Update success!"});
    EXPECT_TRUE(p->findChild<QTimer*>("tmrUpdateAOData")->isActive());
}

}  // namespace

namespace {

TEST_F(Ao7361, LoadsBackEveryFileItSaves) {
    using odel::sim::ModuleState;
    expectLoadsBackEveryState<TfrmM7361>(
        "7361", {
                    {"defaults", {}, {}, false},
                    {"INIT state", {}, {}, true},
                    {"unknown output range", [](ModuleState& m) { m.typeCode = 0x37; }, {}, false},
                    {"unknown slew code", [](ModuleState& m) { m.format = 0x3C; }, {}, true},
                    {"% FSR on 0~10V, checksum",
                     [](ModuleState& m) {
                         m.format = 0x40 | 0x2C | 1;
                         m.typeCode = 0x32;
                     },
                     {},
                     true},
                    {"hex format", [](ModuleState& m) { m.format = 2; }, {}, false},
                    {"range changed, not yet written",
                     {},
                     [this] { combo("cmbTypeChangeAllCh")->setCurrentIndex(1); },
                     false},
                });
}

}  // namespace

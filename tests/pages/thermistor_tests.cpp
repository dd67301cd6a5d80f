// The thermistor page: its unit in the format byte, the thermistor ranges, and the lead-wire
// dialog in both wire modes.
#include "PageFixture.h"
#include "pages/analog_in/Unitm7347k.h"
#include "pages/analog_in/Unitmwirepayment.h"

using namespace odel::test;
using namespace odel::ui;

namespace {

class Thermistor : public PageTest {
  protected:
    TfrmM7347K* k() const { return static_cast<TfrmM7347K*>(page.get()); }
    QComboBox* range(int i) const { return combo(QString("cmbTypeChangeCh%1").arg(i)); }
    // Opens the lead-wire dialog; in it, types text (unless null) and saves.
    QString leadWire(const char* text) {
        QString shown;
        dialogs.execHandler = [&](QDialog* d) {
            auto* e = d->findChild<QLineEdit*>("edtCurrentWirePaymentVal");
            d->show();  // reads the module's value
            shown = e->text();
            if (text) {
                e->setText(text);
                QTest::keyClick(e, Qt::Key_Return);
            }
            d->hide();
            return 0;
        };
        click("bt3K_2WirePayment");
        dialogs.execHandler = {};
        return shown;
    }
};

TEST_F(Thermistor, FahrenheitModuleShowsTheUnitOnAllSixChannels) {
    auto m = module("7347K", 0x0D);
    m.format = 0x08;
    m.ranges[1] = 0x31;
    m.ranges[4] = 0x2F;  // unknown code
    startBus({m});
    open<TfrmM7347K>("0D", "(0D)7347K");
    EXPECT_EQ(combo("cmbTempUnit")->currentText(), "Fahrenheit ('F)");
    EXPECT_FALSE(combo("cmbTempUnit")->isEnabled());
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(range(i)->itemText(0), "Thermistor 3K 32~212'F");
        EXPECT_EQ(range(i)->itemText(1), "Thermistor 10K 32~212'F");
    }
    EXPECT_EQ(range(1)->currentIndex(), 1);
    EXPECT_EQ(range(1)->toolTip(), "Thermistor 10K 32~212'F");
    EXPECT_EQ(range(4)->currentIndex(), -1);
    k()->tmrUpdateAIDataTimer();
    EXPECT_EQ(edit("edtAIValCh0")->text(), "+032.90");  // 0.5 'C

    // Normal state: Update leaves the unit as it is; the unknown channel keeps its code.
    combo("cmbTempUnit")->setCurrentIndex(0);
    click("btSystemUpdate");
    EXPECT_NE(received().find("%0D0D300608|"), std::string::npos) << received();
    click("btSingleChUpdate");
    EXPECT_EQ(received().find("$0D7C4R"), std::string::npos) << received();
    EXPECT_EQ(bus.module(0).ranges[4], 0x2F);
    EXPECT_EQ(range(0)->itemText(0), "Thermistor 3K 32~212'F");
}

TEST_F(Thermistor, InitUpdateWritesTheUnitBit) {
    auto m = module("7347K", 0x0D);
    m.init = true;
    startBus({m});
    open<TfrmM7347K>("*", "(*)7347K");
    EXPECT_EQ(combo("cmbTempUnit")->currentText(), "Centigrade ('C)");
    EXPECT_EQ(range(0)->itemText(0), "Thermistor 3K 0~100'C");
    ASSERT_TRUE(combo("cmbTempUnit")->isEnabled());
    combo("cmbTempUnit")->setCurrentIndex(1);
    edit("edtAddress_Dec")->setText("13");
    click("btSystemUpdate");
    EXPECT_NE(received().find("%000D300608|"), std::string::npos) << received();
    EXPECT_EQ(bus.module(0).format, 0x08);
    EXPECT_EQ(range(5)->itemText(1), "Thermistor 10K 32~212'F");
}

TEST_F(Thermistor, CalibrationTextsOfTheThermistorRanges) {
    auto m = module("7347K", 0x0D);
    m.init = true;
    m.ranges[0] = 0x31;
    startBus({m});
    open<TfrmM7347K>("*", "(*)7347K");
    QString input;
    dialogs.execHandler = [&](QDialog* d) {
        input = d->findChild<QLineEdit*>("Edit1")->text();
        return 0;
    };
    click("btZeroCal");
    EXPECT_EQ(input, "800.0 ohm");
    click("btSpanCal");
    EXPECT_EQ(input, "30K ohms");
}

TEST_F(Thermistor, LeadWireValuesAndTheirText) {
    struct Case {
        const char* text;
        const char* value;  // nullptr: "Invalid data"
    };
    const Case cases[] = {{"12.3", "007B"},   {"6553.5", "FFFF"}, {"6553.6", nullptr},
                          {"0.7", "0007"},    {"1.3", "000D"},    {"+0", "0000"},
                          {"-12.3", nullptr}, {"", nullptr},      {"1.2.3", nullptr},
                          {"--1", nullptr},   {"+-1", nullptr}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        QString value;
        EXPECT_EQ(TfrmMWirePayment::ValueOf(c.text, value), c.value != nullptr);
        if (c.value) {
            EXPECT_EQ(value, c.value);
        }
    }
}

TEST_F(Thermistor, LeadWireDialogInBothModesFollowsTheAddress) {
    auto m = module("7347K", 0x0D);
    m.leadWire = {25, 0, 0, 0};
    startBus({m});
    open<TfrmM7347K>("0D", "(0D)7347K");
    EXPECT_EQ(leadWire("12.3"), "2.5");
    EXPECT_EQ(received(), "$0DR0|$0DR0+007B|$0DR0|");
    EXPECT_EQ(bus.module(0).leadWire[0], 123);
    EXPECT_EQ(dialogs.texts("information"), QStringList{"Update success!"});
    EXPECT_EQ(pauses.back(), 500);

    dialogs.clear();
    bus.clearReceived();
    EXPECT_EQ(leadWire("6553.6"), "12.3");
    EXPECT_EQ(dialogs.texts("messageBox"), QStringList{"Invalid data"});
    EXPECT_EQ(received(), "$0DR0|");

    // A refused write is reported; a failed read shows no value to save.
    bus.setFault(0, odel::sim::Fault::Reject, "$R0+");
    dialogs.clear();
    leadWire("1");
    EXPECT_EQ(dialogs.texts("error"), QStringList{"Update failed!"});
    bus.setFault(0, odel::sim::Fault::Reject, "$R");
    EXPECT_EQ(leadWire(nullptr), "");
    bus.clearFault(0);

    // Data format "Ohms": mode 1; after an address change the dialog talks to 0E.
    bus.modify(0, [](odel::sim::ModuleState& s) { s.format = 0x03; });
    edit("edtAddress_Dec")->setText("14");
    click("btSystemUpdate");
    ASSERT_EQ(bus.module(0).address, 0x0E);
    bus.clearReceived();
    leadWire("7");
    EXPECT_EQ(received(), "$0ER1|$0ER1+0046|$0ER1|");
    EXPECT_EQ(bus.module(0).leadWire[1], 70);
}

TEST_F(Thermistor, EveryStateLoadsBack) {
    expectLoadsBackEveryState<TfrmM7347K>(
        "7347K", {{"celsius", nullptr, nullptr, false},
                  {"fahrenheit, ohms, unknown range",
                   [](odel::sim::ModuleState& s) {
                       s.format = 0x0B;
                       s.ranges[3] = 0x20;
                   },
                   nullptr, false},
                  {"INIT", nullptr, [this] { combo("cmbTempUnit")->setCurrentIndex(1); }, true}});
}

}  // namespace

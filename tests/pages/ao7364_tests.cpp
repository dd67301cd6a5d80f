// The four-output page 7364 against the simulator: channel setup with its validation and
// order, direct output, comm safety time, the alternating poll, DI lamps and calibration.
#include <QGroupBox>
#include <QScrollBar>

#include "PageFixture.h"
#include "pages/analog_out/Unitm7364.h"
#include "pages/analog_out/Unitmaocalib.h"
#include "pages/frame/Lamp.h"

using namespace odel::test;
using namespace odel::ui;

namespace {

// The default 7364: ranges 0-20 mA, 4-20 mA, +/-10 V, 0-20 mA; outputs 4, 12, 0, 20.
class Ao7364 : public PageTest {
  protected:
    TfrmM7364* openOn(const std::function<void(odel::sim::ModuleState&)>& change = {},
                      bool init = false) {
        auto m = module("7364", 0x01);
        m.init = init;
        if (change) change(m);
        startBus({m});
        auto* p = open<TfrmM7364>(init ? "*" : "01", init ? "(*)7364" : "(01)7364");
        timer()->stop();
        return p;
    }
    QTimer* timer() const { return page->findChild<QTimer*>("tmrUpdateData"); }
    TfrmM7364* p() const { return static_cast<TfrmM7364*>(page.get()); }
    void selectChannel(int ch) {
        combo("cmbOutputCh")->setCurrentIndex(ch);
        p()->cmbOutputChChange();
        bus.clearReceived();
    }
};

TEST_F(Ao7364, RefreshShowsEveryChannelAndTheFirstOneForDirectOutput) {
    openOn();
    const char* ranges[] = {"0 - 20 mA", "4 - 20 mA", "+/-  10 V", "0 - 20 mA"};
    for (int n = 0; n < 4; ++n) EXPECT_EQ(p()->cmbAORange[n]->currentText(), ranges[n]);
    EXPECT_EQ(p()->txbStartUpVal[1]->text(), "+04.000");
    EXPECT_EQ(p()->txbEmerVal[1]->text(), "+04.000");
    EXPECT_EQ(p()->txbCurVal[3]->text(), "+20.000");
    EXPECT_EQ(edit("edtCode")->text(), "mA");
    EXPECT_EQ(edit("edtAOOutput")->text(), "+04.000");
    EXPECT_EQ(p()->scrbarAO->value(), 20);
    // Calibration only on a 4 - 20 mA channel.
    EXPECT_FALSE(p()->bitbtn4mA->isEnabled());
    selectChannel(1);
    EXPECT_TRUE(p()->bitbtn20mA->isEnabled());
    selectChannel(2);
    EXPECT_EQ(edit("edtCode")->text(), "V");
    EXPECT_EQ(p()->scrbarAO->value(), 50);
    EXPECT_EQ(edit("edtCommSafety")->text(), "0.0");
    EXPECT_EQ(combo("cmbSlewRate")->itemText(2), "0.0125V/0.25mA");
    EXPECT_FALSE(combo("cmbSlewRate")->isEnabled());
}

TEST_F(Ao7364, DirectOutputChecksNumberAndRangeBeforeSending) {
    openOn();
    selectChannel(2);  // +/-10 V
    const struct {
        const char* typed;
        const char* sent;
        const char* error;
    } cases[] = {
        {"12", "", "The data should be in the range between -10.0~10.0!"},
        {"abc", "", "The input data is invalid!"},
        {"", "", "The input data is invalid!"},
        {"-10", "#01C2-10.000|$016C0|$016C1|$016C2|$016C3|", nullptr},
        {"4.35", "#01C2+04.350|$016C0|$016C1|$016C2|$016C3|", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        dialogs.clear();
        bus.clearReceived();
        edit("edtAOOutput")->setText(c.typed);
        click("btAOOutput");
        EXPECT_EQ(received(), c.sent);
        EXPECT_EQ(dialogs.texts("error"), c.error ? QStringList{c.error} : QStringList{});
    }
    EXPECT_EQ(p()->scrbarAO->value(), 71);
    EXPECT_EQ(edit("edtAOOutput")->text(), "+04.350");
    selectChannel(0);
    edit("edtAOOutput")->setText("20.1");
    click("btAOOutput");
    EXPECT_EQ(dialogs.texts("error").last(), "The data should be in the range between 0.0~20.0!");
    bus.setFault(0, odel::sim::Fault::Reject, "#C0");
    edit("edtAOOutput")->setText("12");
    click("btAOOutput");
    EXPECT_EQ(dialogs.texts("error").last(), "Failed to output data!");
}

TEST_F(Ao7364, DraggingTheScrollBarWritesTheValueAndSendsNothing) {
    openOn();
    selectChannel(1);  // 4-20 mA
    p()->scrbarAO->setValue(50);
    EXPECT_EQ(edit("edtAOOutput")->text(), "+12.000");
    EXPECT_EQ(received(), "");
}

TEST_F(Ao7364, ChannelSetupValidatesAllChannelsBeforeSendingAnything) {
    openOn();
    p()->txbStartUpVal[0]->setText("25");
    click("btAOFunctionSet");
    EXPECT_EQ(dialogs.texts("error"), QStringList{"The Ch 1 startup value is invalid!"});
    EXPECT_EQ(received().find('#'), std::string::npos);
    EXPECT_EQ(received().find("$017"), std::string::npos);
    p()->txbStartUpVal[0]->setText("0");
    p()->cmbAORange[3]->setCurrentIndex(1);  // 4-20 mA: emergency 0 no longer fits
    p()->txbStartUpVal[3]->setText("4");
    dialogs.clear();
    click("btAOFunctionSet");
    EXPECT_EQ(dialogs.texts("error"), QStringList{"The Ch 4 emergency value is invalid!"});
}

TEST_F(Ao7364, ChannelSetupWritesEachChannelInOrderWithItsPause) {
    openOn();
    p()->txbStartUpVal[2]->setText("-2.5");
    p()->ckbEmerInput[3]->setChecked(true);
    pauses.clear();
    click("btAOFunctionSet");
    std::string expected;
    const char* values[4][2] = {{"+00.000", "+00.000"},
                                {"+04.000", "+04.000"},
                                {"-02.500", "+00.000"},
                                {"+00.000", "+00.000"}};
    for (int n = 0; n < 4; ++n) {
        const std::string c = std::to_string(n);
        expected += "$017C" + c + "R3" + std::to_string(n == 3 ? 0 : n) + "|#01SC" + c +
                    values[n][0] + "|#01EC" + c + values[n][1] + "|$01AC" + c +
                    (n == 3 ? "1" : "0") + "|";
    }
    EXPECT_EQ(received().substr(0, expected.size()), expected);
    EXPECT_EQ(pauses, (std::vector<int>{250, 250, 250, 250}));
    EXPECT_EQ(dialogs.texts("information"), QStringList{"Update Channel Setup Success!"});
    EXPECT_EQ(bus.module(0).aoStartup[2], -2.5);
    EXPECT_TRUE(bus.module(0).aoEmergencyInput[3]);
    EXPECT_TRUE(timer()->isActive());
}

TEST_F(Ao7364, FirstFailedChannelStepStopsTheSetup) {
    const struct {
        const char* match;
        const char* error;
    } cases[] = {{"$7C1", "Change Ch 2 range failed!"},
                 {"#SC2", "Change Ch 3 startup value failed!"},
                 {"#EC0", "Change Ch 1 emergency value failed!"},
                 {"$AC3", "Change Ch 4 range failed!"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.match);
        openOn();
        bus.setFault(0, odel::sim::Fault::Reject, c.match);
        click("btAOFunctionSet");
        EXPECT_EQ(dialogs.texts("error"), QStringList{c.error});
        EXPECT_TRUE(dialogs.texts("information").isEmpty());
        const std::string r = received();
        const std::string failedLine = std::string(c.match).insert(1, "01");
        // Nothing is written after the refused command (only the read-back follows).
        const std::size_t at = r.find(failedLine);
        ASSERT_NE(at, std::string::npos);
        EXPECT_EQ(r.substr(r.find('|', at) + 1, 5), "$018C");
        page.reset();
        bus.stop();
        dialogs.clear();
    }
}

TEST_F(Ao7364, UnknownRangeCharacterIsAFailedRefreshAndBlocksUpdateAndOutput) {
    openOn([](odel::sim::ModuleState& m) { m.aoRanges[0] = '7'; });
    EXPECT_EQ(status.panelText(0), "Fail to fresh AO status!");
    EXPECT_FALSE(p()->btAOFunctionSet->isEnabled());
    EXPECT_FALSE(p()->btAOOutput->isEnabled());
    EXPECT_EQ(p()->cmbAORange[0]->currentIndex(), -1);
    bus.modify(0, [](odel::sim::ModuleState& m) { m.aoRanges[0] = 0x30; });
    click("btAORead");
    EXPECT_TRUE(p()->btAOFunctionSet->isEnabled());
    EXPECT_TRUE(p()->btAOOutput->isEnabled());
}

TEST_F(Ao7364, CommSafetyTimeIsWrittenInTenthsAfterTheUpdate) {
    const struct {
        const char* typed;
        const char* sent;  // nullptr: refused
    } cases[] = {{"7000.0", "$01X0FFFF|"},
                 {"12.3", "$01X0007B|"},
                 {"0", "$01X00000|"},
                 {"-5", "$01X00000|"},
                 {"abc", nullptr}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        openOn();
        edit("edtCommSafety")->setText(c.typed);
        click("btSystemUpdate");
        const std::string r = received();
        if (c.sent) {
            EXPECT_NE(r.find(std::string("%0101300600|") + c.sent), std::string::npos) << r;
            EXPECT_EQ(dialogs.texts("information"), QStringList{"Update General Setting Success!"});
        } else {
            EXPECT_EQ(r.find("X0"), std::string::npos) << r;
            EXPECT_EQ(dialogs.texts("error"), QStringList{"The input data is invalid!"});
        }
        EXPECT_EQ(dialogs.texts("exec"), QStringList{"TfrmMWaitFor"});
        page.reset();
        bus.stop();
        dialogs.clear();
    }
    openOn([](odel::sim::ModuleState& m) { m.safeTime = 0xFFFF; });
    EXPECT_EQ(edit("edtCommSafety")->text(), "6553.5");
}

TEST_F(Ao7364, InitUpdateWritesSlewAndProtocolBits) {
    openOn({}, true);
    EXPECT_TRUE(combo("cmbSlewRate")->isEnabled());
    edit("edtAddress_Dec")->setText("1");
    combo("cmbSlewRate")->setCurrentIndex(3);
    combo("cmbPotocolSelect")->setCurrentIndex(1);
    click("btSystemUpdate");
    // Bits 5..2 = 0011, bit 7 Modbus.
    EXPECT_NE(received().find("%000130068C|"), std::string::npos) << received();
}

TEST_F(Ao7364, PollAlternatesBetweenOutputsAndDigitalInputs) {
    openOn([](odel::sim::ModuleState& m) { m.digitalInputs = 0x05; });
    p()->tmrUpdateDataTimer();
    EXPECT_EQ(received(), "$016C0|$016C1|$016C2|$016C3|");
    EXPECT_EQ(status.panelText(0), "Polling AO data...");
    EXPECT_EQ(status.panelText(1), "1");
    bus.clearReceived();
    p()->tmrUpdateDataTimer();
    EXPECT_EQ(received(), "$01I|");
    EXPECT_EQ(status.panelText(0), "Polling DI data...");
    EXPECT_EQ(status.panelText(1), "0");
    EXPECT_EQ(edit("edtDIData")->text(), "05");
    const bool on[] = {true, false, true, false};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(p()->bitbtnDI[i]->isOn(), on[i]) << i;
    bus.setFault(0, odel::sim::Fault::NoReply);
    p()->tmrUpdateDataTimer();
    EXPECT_EQ(status.panelText(0), "Fail to fresh AO data!");
    EXPECT_EQ(status.panelText(1), "3");
    p()->tmrUpdateDataTimer();
    EXPECT_EQ(status.panelText(0), "Fail to fresh DI data!");
    EXPECT_EQ(status.panelText(1), "2");
}

TEST_F(Ao7364, EmergencyInputShowsInTheCurrentValues) {
    openOn([](odel::sim::ModuleState& m) {
        m.aoEmergencyInput[1] = true;
        m.aoEmergencyActive = true;
    });
    p()->tmrUpdateDataTimer();
    EXPECT_EQ(p()->txbCurVal[1]->text(), "+04.000");
    EXPECT_EQ(p()->txbCurVal[0]->text(), "+04.000");
    EXPECT_TRUE(p()->ckbEmerInput[1]->isChecked());
}

TEST_F(Ao7364, CalibrationDrivesTheChannelFirstThenOpensTheDialog) {
    openOn();
    selectChannel(1);
    dialogs.execHandler = [&](QDialog* d) {
        auto* c = qobject_cast<TfrmMAOCalib*>(d);
        EXPECT_FALSE(timer()->isActive());
        c->FormShow();
        EXPECT_EQ(c->grpUnit->title(), "Trim For 20mA");
        EXPECT_EQ(c->labCalibVal->text(), "+20.0 mA");
        EXPECT_FALSE(c->bitbtnLeft20->isEnabled());
        c->bitbtn20Execute->click();
        return c->result();
    };
    click("bitbtn20mA");
    const std::string r = received();
    EXPECT_EQ(r.substr(0, 21), "#01C1+20.000|$011C1|$") << r;
    EXPECT_EQ(dialogs.shown[0].caption, "ODEL-7364 Calibration:");
    EXPECT_EQ(dialogs.texts("messageBox"), QStringList{"20mA Calibration Successfully"});
    EXPECT_NE(r.find("$018C0"), std::string::npos);  // channel setup read again
    EXPECT_TRUE(timer()->isActive());
    bus.setFault(0, odel::sim::Fault::Reject, "#C1");
    dialogs.clear();
    click("bitbtn4mA");
    EXPECT_EQ(dialogs.texts("error"), QStringList{"Initial 4mA calibration error!"});
    EXPECT_TRUE(dialogs.texts("exec").isEmpty());
}

TEST_F(Ao7364, SettingsFileCommandsDoNothing) {
    openOn();
    p()->SaveConfiguration();
    p()->LoadConfiguration();
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(received(), "");
}

}  // namespace

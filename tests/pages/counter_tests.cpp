// The counter pages 7320 and 7320L against the simulated modules: count, width, level and
// display encodings on the wire, the mode that decides which controls live, the data area
// clicks and the 7320L's alarm outputs and display.
#include <QTabWidget>

#include "PageFixture.h"
#include "pages/digital/Unitm7320.h"
#include "pages/digital/Unitm7320l.h"
#include "pages/frame/Lamp.h"

using namespace odel::test;
using namespace odel::ui;
using odel::sim::Fault;
using odel::sim::ModuleState;

namespace {

class Counter : public PageTest {
  protected:
    TfrmM7320* open7320(const std::function<void(ModuleState&)>& change = {}) {
        auto m = module("7320", 0x07);
        if (change) change(m);
        startBus({m});
        return open<TfrmM7320>("07", "(07)7320");
    }
    TfrmM7320L* open7320L(const std::function<void(ModuleState&)>& change = {}) {
        auto m = module("7320L", 0x1A);
        if (change) change(m);
        startBus({m});
        auto* p = open<TfrmM7320L>("1A", "(1A)7320L");
        pauses.clear();  // the display source read at the start
        return p;
    }
    Lamp* lamp(const QString& name) const { return get<Lamp>(name); }
    void poll() { QMetaObject::invokeMethod(page.get(), "tmrUpdateCounterDataTimer"); }
    void enter(const QString& name) { QTest::keyClick(edit(name), Qt::Key_Return); }
};

// A count text and what the maximum-count write of counter 0 sends for it.
TEST_F(Counter, CountTextsAreWrittenAsEightHexDigitsOrRefused) {
    struct Case {
        const char* text;
        const char* sent;  // null: refused, nothing sent
    };
    const Case cases[] = {{"4294967295", "$0730FFFFFFFF|"}, {"1000", "$0730000003E8|"},
                          {"", "$073000000000|"},           {"0000000000", "$073000000000|"},
                          {"4294967296", nullptr},          {"9999999999", nullptr}};
    open7320();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        bus.clearReceived();
        dialogs.clear();
        edit("edtCN0MaxCnt")->setText(c.text);
        click("btCN0StatusUpdate");
        if (c.sent) {
            EXPECT_NE(received().find(c.sent), std::string::npos) << received();
            EXPECT_EQ(dialogs.texts("information"), QStringList{"Update success!"});
        } else {
            EXPECT_EQ(received(), "");
            EXPECT_EQ(dialogs.texts("error"),
                      QStringList{"The count must be between 0 and 4294967295!"});
        }
    }
}

TEST_F(Counter, CountEditsTakeTenDigitsAndEnterRunsTheirCounterUpdate) {
    open7320();
    QLineEdit* e = edit("edtCN1PresetCnt");
    e->clear();
    QTest::keyClicks(e, "12a34567890123");
    EXPECT_EQ(e->text(), "1234567890");
    e->clear();
    QTest::keyClicks(e, "9999999999");  // would exceed 4294967295 at the last digit
    EXPECT_EQ(e->text(), "999999999");
    e->setText("5");
    enter("edtCN1PresetCnt");
    EXPECT_EQ(received(),
              "@07DA1|$0731FFFFFFFF|@07P100000000|@07SA00000005|$0731|@07G1|@07DI|@07RA|");
    EXPECT_EQ(pauses, (std::vector<int>{100, 100, 100, 100}));
    EXPECT_EQ(bus.module(0).highLimit, "00000005");
}

TEST_F(Counter, CounterUpdateWritesModeMaximumInitialAndPresetThenReadsBack) {
    open7320([](ModuleState& m) { m.counts[0] = 0xFFFFFFFF; });
    poll();
    EXPECT_EQ(edit("edtCnt0Val")->text(), "4294967295");
    bus.clearReceived();
    edit("edtCN0MaxCnt")->setText("1000");
    check("chkCN0PresetModeEnable")->setChecked(true);
    edit("edtCN0PresetCnt")->setText("5");
    edit("edtCN0InitialCnt")->setText("16");
    click("btCN0StatusUpdate");
    EXPECT_EQ(received(),
              "@07EA0|$0730000003E8|@07P000000010|@07PA00000005|$0730|@07G0|@07DI|@07RP|");
    const auto m = bus.module(0);
    EXPECT_TRUE(m.alarmEnabled[0]);
    EXPECT_EQ(m.maxCount[0], 1000u);
    EXPECT_EQ(m.alarmValue[0], "00000010");
    EXPECT_EQ(edit("edtCN0InitialCnt")->text(), "16");
    EXPECT_TRUE(check("chkCN0PresetModeEnable")->isChecked());
}

TEST_F(Counter, FailedInitialValueWriteNamesItAndSkipsThePreset) {
    open7320();
    bus.setFault(0, Fault::Reject, "@P");
    click("btCN0StatusUpdate");
    EXPECT_EQ(dialogs.texts("error"), QStringList{"Write Initial Value Error!"});
    EXPECT_EQ(dialogs.texts("information"), QStringList{});
    EXPECT_EQ(received().find("@07PA"), std::string::npos) << received();
    EXPECT_EQ(pauses, (std::vector<int>{100, 100, 100, 100}));
}

TEST_F(Counter, FilterUpdateClampsWidthsAndLevels) {
    open7320();
    check("chkFilterState")->setChecked(true);
    edit("edtHighLevelWidth")->setText("70000");
    edit("edtLowLevelWidth")->setText("100");
    edit("edtHighLevelVolt")->setText("7.3");
    edit("edtLowLevelVolt")->setText("0.25");
    click("btFilterUpdate");
    EXPECT_EQ(received(),
              "$07B|$0741|$070H65535|$070L00100|$071H50|$071L02|"
              "$07B|$074|$070H|$070L|$071H|$071L|");
    EXPECT_EQ(pauses, (std::vector<int>{200, 200, 200, 200, 200}));
    EXPECT_EQ(dialogs.texts("information"), QStringList{"Update success!"});
    EXPECT_EQ(edit("edtHighLevelWidth")->text(), "65535");
    EXPECT_EQ(edit("edtHighLevelVolt")->text(), "5");
    EXPECT_EQ(edit("edtLowLevelVolt")->text(), "0.2");  // read back: 02 tenths
    EXPECT_TRUE(bus.module(0).filter);
}

TEST_F(Counter, FilterUpdateRefusesALevelThatIsNoNumberAndAFailedInputRead) {
    open7320();
    edit("edtLowLevelVolt")->setText(".");
    click("btFilterUpdate");
    EXPECT_EQ(dialogs.texts("error"), QStringList{"Write Non-isolated Low Trigger Level Error!"});
    EXPECT_EQ(received().substr(0, 5), "$07B|");
    EXPECT_EQ(received().find("$070H0"), std::string::npos) << received();
    EXPECT_EQ(received().find("$071H2"), std::string::npos) << received();

    dialogs.clear();
    bus.setFault(0, Fault::Reject, "$B");
    click("btFilterUpdate");
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(status.panelText(0),
              "Fail to fresh general setting data!");  // the re-read failed too
}

TEST_F(Counter, FailedInputSignalReadInTheFilterUpdateGivesOnlyTheStatusText) {
    open7320();
    bus.setFault(0, Fault::NoReply, "$B");
    status.setPanelText(0, "");
    click("btFilterUpdate");
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(received(), "$07B|$07B|");
    bus.clearFault(0);
    EXPECT_EQ(bus.module(0).minWidthHigh, "00010");
}

TEST_F(Counter, FrequencyModeDisablesTheCounterControlsAndStillPollsTheValues) {
    open7320([](ModuleState& m) {
        m.typeCode = 0x51;
        m.format = 0x04;
        m.counts = {1000, 250};
    });
    EXPECT_EQ(combo("cmbTypeChangeAllCh")->currentIndex(), 1);
    EXPECT_EQ(combo("cmbFrequencyGateTime")->currentText(), "1.0 Sec");
    EXPECT_FALSE(combo("cmbFrequencyGateTime")->isHidden());
    EXPECT_TRUE(combo("cmbCntEnableGate")->isHidden());
    for (const char* name :
         {"btCN0Start", "btCN1Reset", "btDO0", "btDO1", "btCN0StatusUpdate", "btCN1StatusUpdate"})
        EXPECT_FALSE(get<QWidget>(name)->isEnabled()) << name;
    EXPECT_FALSE(edit("edtCN0MaxCnt")->isEnabled());
    EXPECT_FALSE(edit("edtHighLevelWidth")->isEnabled());
    EXPECT_FALSE(check("chkFilterState")->isEnabled());
    EXPECT_TRUE(edit("edtHighLevelVolt")->isEnabled());  // TTL input keeps its levels
    poll();
    EXPECT_EQ(received(), "#070|#071|");
    EXPECT_EQ(edit("edtCnt1Val")->text(), "250");
    EXPECT_EQ(status.panelText(0), "Polling Counter Data....  ");
}

TEST_F(Counter, GeneralUpdateWritesTypeGateTimeAndGate) {
    open7320();
    combo("cmbTypeChangeAllCh")->setCurrentIndex(1);
    EXPECT_FALSE(combo("cmbFrequencyGateTime")->isHidden());  // shown as soon as chosen
    combo("cmbFrequencyGateTime")->setCurrentIndex(1);
    click("btSystemUpdate");
    EXPECT_EQ(received().substr(0, 26), "$072|$07M|%0707510604|$072");
    EXPECT_EQ(dialogs.texts("information"), QStringList{"Update success!"});
    EXPECT_EQ(bus.module(0).typeCode, 0x51);
    EXPECT_EQ(pauses, (std::vector<int>{100, 1000, 100}));
    EXPECT_FALSE(get<QWidget>("btCN0Start")->isEnabled());

    bus.clearReceived();
    dialogs.clear();
    combo("cmbTypeChangeAllCh")->setCurrentIndex(0);
    combo("cmbCntEnableGate")->setCurrentIndex(1);
    click("btSystemUpdate");
    EXPECT_EQ(received().substr(0, 30), "$072|$07M|%0707500604|$07A1|$0");
    EXPECT_EQ(bus.module(0).gateMode, 1);
    EXPECT_TRUE(get<QWidget>("btCN0Start")->isEnabled());
}

TEST_F(Counter, GateThatCannotBeReadShowsNoneAndIsNotWritten) {
    auto m = module("7320", 0x07);
    startBus({m});
    bus.setFault(0, Fault::Reject, "$A");
    open<TfrmM7320>("07", "(07)7320");
    EXPECT_EQ(combo("cmbCntEnableGate")->currentIndex(), -1);
    click("btSystemUpdate");
    EXPECT_EQ(received().find("$07A0"), std::string::npos) << received();
    EXPECT_EQ(dialogs.texts("information"), QStringList{"Update success!"});
}

TEST_F(Counter, StartCaptionTellsTheStateAndAClickTurnsIt) {
    open7320([](ModuleState& m) { m.counting = {true, false}; });
    poll();
    EXPECT_EQ(get<QPushButton>("btCN0Start")->text(), "Start");
    EXPECT_EQ(get<QPushButton>("btCN1Start")->text(), "Stop");
    bus.clearReceived();
    click("btCN0Start");
    EXPECT_EQ(received(), "$07500|#070|$0770|$0750|#071|$0771|$0751|");
    EXPECT_EQ(get<QPushButton>("btCN0Start")->text(), "Stop");
    EXPECT_EQ(pauses, std::vector<int>{200});
    bus.clearReceived();
    click("btCN1Reset");
    EXPECT_EQ(received(), "$0761|");
}

TEST_F(Counter, OutputClicksWriteBothBits) {
    struct Case {
        const char* button;
        const char* sent;
    };
    for (const Case& c : {Case{"btDO1", "@07DO03|"}, Case{"btDO0", "@07DO00|"}}) {
        SCOPED_TRACE(c.button);
        open7320([](ModuleState& m) { m.digitalOutputs = 1; });
        poll();
        EXPECT_TRUE(lamp("btDO0")->isOn());
        EXPECT_FALSE(lamp("btDO1")->isOn());
        bus.clearReceived();
        pauses.clear();
        click(c.button);
        EXPECT_EQ(received(), std::string(c.sent) + "@07DI|");
        EXPECT_EQ(pauses, std::vector<int>{300});
        page.reset();
        link.reset();
        bus.stop();
    }
}

TEST_F(Counter, OverflowLampAndAlarmLabelsFollowTheModule) {
    open7320([](ModuleState& m) {
        m.overflow = {false, true};
        m.alarmEnabled = {false, true};
    });
    poll();
    EXPECT_FALSE(lamp("lampCN0Overflow")->isOn());
    EXPECT_TRUE(lamp("lampCN1Overflow")->isOn());
    EXPECT_EQ(get<QLabel>("labCN0AlarmMode")->text(), "Normal Mode");
    EXPECT_EQ(get<QLabel>("labCN1AlarmMode")->text(), "Alarm Mode");
    bus.setFault(0, Fault::NoReply, "#");
    poll();
    EXPECT_EQ(status.panelText(0), "Poilling Counter Error!");
    EXPECT_EQ(status.heartbeatImage() & 2, 2);
}

// ---- 7320L ----

TEST_F(Counter, DisplayPageAlarmTypeAndLimits) {
    open7320L([](ModuleState& m) { m.alarmMode = 2; });
    EXPECT_EQ(combo("cmbAlarmType")->currentText(), "LATCH");
    edit("edtCN0HighAlarmValue")->setText("1000");
    edit("edtCN0LowAlarmValue")->setText("100");
    edit("edtCN0MaxCnt")->setText("");
    combo("cmbAlarmType")->setCurrentIndex(2);
    click("btCN0StatusUpdate");
    EXPECT_EQ(received(),
              "@1ASA000003E8|@1APA00000064|@1AEAL|$1A3000000000|$1A30|@1ADI|@1ARA|"
              "@1ARP|");
    EXPECT_EQ(pauses, (std::vector<int>{300, 300, 300, 300}));
    EXPECT_EQ(dialogs.texts("information"), QStringList{"Update Counter Status success!"});

    bus.clearReceived();
    dialogs.clear();
    edit("edtCN1MaxCnt")->setText("7");
    click("btCN1StatusUpdate");
    EXPECT_EQ(received(), "$1A3100000007|$1A31|");
    EXPECT_EQ(dialogs.texts("information"), QStringList{"Update Counter Status success!"});

    // An alarm type the module does not have is a failed read, shown as no selection.
    bus.modify(0, [](ModuleState& m) { m.alarmMode = 5; });
    get<QTabWidget>("PageControl")->setCurrentIndex(1);
    EXPECT_EQ(combo("cmbAlarmType")->currentIndex(), -1);
    EXPECT_EQ(status.panelText(0), "Fail to fresh general setting data!");
}

// Alarm type 5, or a status word not answered: the type is unknown (no selection), the counts
// that were read are shown, and the Update writes them, not zeros, and no type.
TEST_F(Counter, DisplayPageUnknownAlarmTypeStillShowsTheCountsRead) {
    struct Case {
        const char* name;
        int alarmMode;
        bool answered;
    };
    for (const Case& c : {Case{"type 5", 5, true}, Case{"no answer", 2, false}}) {
        SCOPED_TRACE(c.name);
        auto m = module("7320L", 0x1A);
        m.alarmMode = c.alarmMode;
        m.maxCount[0] = 1000;
        m.highLimit = "000007D0";
        m.lowLimit = "00000064";
        startBus({m});
        if (!c.answered) bus.setFault(0, odel::sim::Fault::NoReply, "@DI");
        open<TfrmM7320L>("1A", "(1A)7320L");
        EXPECT_EQ(combo("cmbAlarmType")->currentIndex(), -1);
        EXPECT_EQ(edit("edtCN0MaxCnt")->text(), "1000");
        EXPECT_EQ(edit("edtCN0HighAlarmValue")->text(), "2000");
        EXPECT_EQ(edit("edtCN0LowAlarmValue")->text(), "100");
        click("btCN0StatusUpdate");
        EXPECT_EQ(received().substr(0, 42), "@1ASA000007D0|@1APA00000064|$1A30000003E8|");
        const auto after = bus.module(0);
        EXPECT_EQ(after.maxCount[0], 1000u);
        EXPECT_EQ(after.highLimit, "000007D0");
        EXPECT_EQ(after.alarmMode, c.alarmMode);  // no type chosen: none written
        page.reset();
        link.reset();
        bus.stop();
    }
}

// With DO0 on, the module refuses "@AADO" and the follow-up "@AADI": the lamps keep the outputs
// as last polled, so the next click sends the same byte again (both counter pages, and the
// 7320L's latch clear).
TEST_F(Counter, RefusedOutputWriteLeavesTheLampsAsLastPolled) {
    struct Case {
        const char* name;
        bool display;
        int alarmMode;
        const char* sent;
        const char* error;
    };
    const Case cases[] = {
        {"7320", false, 0, "@07DO03|@07DI|", "Write Digital Output Failed!!"},
        {"7320L", true, 0, "@1ADO03|@1ADI|", "Write Digital Output Failed!!"},
        {"7320L latch clear", true, 1, "@1ACA|@1ADI|", "Clear Latch Alarm Failed!!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto change = [&c](ModuleState& m) {
            m.digitalOutputs = 1;
            m.alarmMode = c.alarmMode;
        };
        if (c.display)
            open7320L(change);
        else
            open7320(change);
        poll();
        bus.setFault(0, odel::sim::Fault::Reject, c.alarmMode ? "@C" : "@D");
        for (int click = 0; click < 2; ++click) {
            bus.clearReceived();
            dialogs.clear();
            this->click("btDO1");
            EXPECT_EQ(received(), c.sent);
            EXPECT_EQ(dialogs.texts("error"), QStringList{c.error});
            EXPECT_TRUE(lamp("btDO0")->isOn());
            EXPECT_FALSE(lamp("btDO1")->isOn());
        }
        page.reset();
        link.reset();
        bus.stop();
    }
}

TEST_F(Counter, StartButtonTipSaysWhatAClickDoes) {
    open7320([](ModuleState& m) { m.counting = {true, false}; });
    EXPECT_EQ(get<QPushButton>("btCN0Start")->toolTip(), "Start/Stop Counter0");
    poll();
    EXPECT_EQ(get<QPushButton>("btCN0Start")->toolTip(),
              "Start/Stop Counter0\nRunning — click to stop");
    EXPECT_EQ(get<QPushButton>("btCN1Start")->toolTip(),
              "Start/Stop Counter1\nStopped — click to start");
}

TEST_F(Counter, DisplayPageOutputClickClearsTheLatchWhileAnAlarmTypeIsSet) {
    open7320L([](ModuleState& m) {
        m.alarmMode = 1;
        m.digitalOutputs = 3;
    });
    poll();
    EXPECT_EQ(get<QLabel>("labCN0AlarmMode")->text(), "High Alarm");
    EXPECT_EQ(get<QLabel>("labCN1AlarmMode")->text(), "Low Alarm");
    EXPECT_EQ(lamp("btDO1")->toolTip(), "Clear Latch");
    bus.clearReceived();
    click("btDO1");
    EXPECT_EQ(received(), "@1ACA|@1ADI|");
    EXPECT_EQ(bus.module(0).digitalOutputs, 0);

    bus.modify(0, [](ModuleState& m) { m.alarmMode = 0; });
    poll();
    EXPECT_EQ(lamp("btDO0")->toolTip(), "Director DO0 output");
    EXPECT_EQ(lamp("btDO1")->toolTip(), "Director DO1 output");
    bus.clearReceived();
    click("btDO0");
    EXPECT_EQ(received(), "@1ADO01|@1ADI|");
}

TEST_F(Counter, DisplayValueIsClampedAndSentOnlyForTheExternalSource) {
    open7320L([](ModuleState& m) { m.ledSource = 2; });
    EXPECT_TRUE(edit("edtLEDValue")->isEnabled());
    struct Case {
        const char* text;
        const char* sent;
        const char* shown;
    };
    for (const Case& c :
         {Case{"12.5", "$1A90012.5|", "12.5"}, Case{"12345", "$1A99999.9|", "9999.9"}}) {
        bus.clearReceived();
        edit("edtLEDValue")->setText(c.text);
        click("btUpateLEDSetting");
        EXPECT_EQ(received(), std::string("$1A82|$1A8|") + c.sent + "$1A8|");
        EXPECT_EQ(edit("edtLEDValue")->text(), c.shown);
        EXPECT_EQ(bus.module(0).ledData, std::string(c.sent).substr(4, 6));
    }
    EXPECT_EQ(dialogs.texts("information"),
              (QStringList{"Update LED Setting Success!", "Update LED Setting Success!"}));
    dialogs.clear();
    edit("edtLEDValue")->setText(".");
    click("btUpateLEDSetting");
    EXPECT_EQ(dialogs.texts("error"), QStringList{"Write LED Data Error!!"});

    bus.clearReceived();
    dialogs.clear();
    combo("cmbLEDDisplaySetting")->setCurrentIndex(1);
    click("btUpateLEDSetting");
    EXPECT_EQ(received(), "$1A81|$1A8|");
    EXPECT_FALSE(edit("edtLEDValue")->isEnabled());
    EXPECT_EQ(dialogs.texts("information"), QStringList{"Update LED Setting Success!"});
}

TEST_F(Counter, DisplaySourceThatCannotBeReadKeepsTheSelectionShown) {
    auto m = module("7320L", 0x1A);
    startBus({m});
    bus.setFault(0, Fault::Reject, "$8");
    open<TfrmM7320L>("1A", "(1A)7320L");
    EXPECT_EQ(dialogs.texts("error"), QStringList{"Read LED Data Origin Error!!"});
    EXPECT_EQ(combo("cmbLEDDisplaySetting")->currentIndex(), -1);
    dialogs.clear();
    click("btUpateLEDSetting");
    EXPECT_EQ(dialogs.texts("error"), QStringList{"Select LED Data Origin Error!!"});
    EXPECT_EQ(received(), "");  // no source chosen: nothing sent
}

TEST_F(Counter, DisplayPageSuccessTexts) {
    open7320L();
    click("btSystemUpdate");
    click("btFilterUpdate");
    EXPECT_EQ(dialogs.texts("information"),
              (QStringList{"Update General Setting Success!", "Update Filter Setting Success!"}));
}

}  // namespace

// The strain-gauge page: its limit bounds, the four outputs, the excitation output and its
// track bar, the Update with its plain pause, calibration and the settings file.
#include <QSlider>
#include <QTabWidget>

#include "PageFixture.h"
#include "pages/analog_in/Unitm7349.h"
#include "pages/frame/Lamp.h"

using namespace odel::test;
using namespace odel::ui;

namespace {

class StrainGauge : public PageTest {
  protected:
    // Opens the page as open() does but keeps what it sent at start.
    template <class Page>
    void openKeepingTraffic(const QString& address, const QString& nodeText) {
        auto* node = new QTreeWidgetItem(portNode, QStringList{nodeText});
        tree.setCurrentItem(node);
        auto* p = new Page(nullptr);
        page.reset(p);
        p->InitModule(link.get(), address, &status, &tree);
        stopTimer();
    }
    TfrmM7349* sg() const { return static_cast<TfrmM7349*>(page.get()); }
    TfrmM7349* open7349(odel::sim::ModuleState m) {
        startBus({m});
        return open<TfrmM7349>("0E", "(0E)7349");
    }
    QSlider* bar() const { return get<QSlider>("trabAOVal"); }
};

TEST_F(StrainGauge, StartReadsModeOutputsAndLimits) {
    auto m = module("7349", 0x0E);
    m.digitalOutputs = 0x0A;  // DO1 and DO3
    m.typeCode = 0x06;
    startBus({m});
    bus.clearReceived();
    pauses.clear();
    openKeepingTraffic<TfrmM7349>("0E", "(0E)7349");
    EXPECT_EQ(received(), "$0E2|$0EF|@0EDI|@0ERL|@0ERH|");
    EXPECT_EQ(pauses, (std::vector<int>{300, 300, 300}));
    EXPECT_EQ(combo("cmbTypeChangeAllCh")->currentText(), "+/- 20mA");
    EXPECT_EQ(get<QLabel>("labAIUnit")->text(), "mA");
    const bool lit[] = {false, true, false, true};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(get<Lamp>(QString("btDO%1").arg(i))->isOn(), lit[i]);
    EXPECT_FALSE(get<QWidget>("gbAICalibration")->isEnabled());
    EXPECT_EQ(get<QTabWidget>("PageControl")->count(), 2);
}

TEST_F(StrainGauge, UpdatePausesFiveSecondsAndKeepsAnUnknownRange) {
    auto m = module("7349", 0x0E);
    m.typeCode = 0x05;  // not one of the page's ranges
    open7349(m);
    EXPECT_EQ(combo("cmbTypeChangeAllCh")->currentIndex(), -1);
    EXPECT_EQ(get<QLabel>("labAIUnit")->text(), "");
    click("btSystemUpdate");
    EXPECT_NE(received().find("%0E0E050600|"), std::string::npos) << received();
    // Nothing accepted, nothing reported as success.
    EXPECT_EQ(dialogs.texts("error"), QStringList{"Update failed!"});
    EXPECT_EQ(dialogs.texts("information"), QStringList{});

    combo("cmbTypeChangeAllCh")->setCurrentIndex(1);
    dialogs.clear();
    pauses.clear();
    click("btSystemUpdate");
    EXPECT_EQ(bus.module(0).typeCode, 0x01);
    EXPECT_EQ(pauses, (std::vector<int>{100, 5000}));
    EXPECT_EQ(dialogs.texts("exec"), QStringList{});  // no wait dialog
    EXPECT_EQ(dialogs.texts("information"), QStringList{"Update success!"});
    EXPECT_EQ(get<QLabel>("labAIUnit")->text(), "mV");
}

TEST_F(StrainGauge, LimitBoundsAndTexts) {
    struct Case {
        int range;
        const char* text;
        const char* sent;   // nullptr: refused with message
        const char* error;  // message when refused
    };
    const Case cases[] = {
        {0, "7.5", "@0EHI+07.500|", nullptr},
        {2, "-99.5", "@0EHI-099.50|", nullptr},
        {2, "120", nullptr, "The value must be between -100.00 and 100.00!"},
        {4, "-20.5", nullptr, "The value must be between -20.000 and 20.000!"},
        {-1, "20", "@0EHI+20.000|", nullptr},
        {0, "1.2.3", nullptr, "Invalid data format!"},
        {0, "", nullptr, "Invalid data format!"},
        {0, "--5", nullptr, "Invalid data format!"},
        {0, "+-5", nullptr, "Invalid data format!"},
    };
    auto m = module("7349", 0x0E);
    m.alarmMode = 1;
    open7349(m);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        combo("cmbTypeChangeAllCh")->setCurrentIndex(c.range);
        edit("edtHighLimt")->setText(c.text);
        dialogs.clear();
        bus.clearReceived();
        QTest::keyClick(edit("edtHighLimt"), Qt::Key_Return);  // Enter runs the update
        if (c.sent) {
            EXPECT_EQ(received().rfind(c.sent, 0), 0u) << received();
            EXPECT_EQ(dialogs.texts("information"), QStringList{"Update success!"});
        } else {
            EXPECT_EQ(received(), "@0ERL|@0ERH|");
            EXPECT_EQ(dialogs.texts("error"), QStringList{c.error});
            EXPECT_EQ(dialogs.texts("information"), QStringList{});
        }
        EXPECT_TRUE(page->findChild<QTimer*>("tmrUpdateAIData")->isActive());
        stopTimer();
    }
}

TEST_F(StrainGauge, AlarmOutputsWaitForDisableWhileDo2AndDo3AlwaysSwitch) {
    auto m = module("7349", 0x0E);
    m.alarmMode = 2;
    open7349(m);
    click("btDO0");
    click("btDO1");
    EXPECT_EQ(received(), "");
    click("btDO2");
    EXPECT_EQ(received().rfind("@0EDO11|@0EDI|", 0), 0u) << received();
    bus.clearReceived();
    click("btDO3");
    EXPECT_EQ(received().rfind("@0EDO13|", 0), 0u) << received();
    EXPECT_EQ(bus.module(0).digitalOutputs & 0x0C, 0x0C);
    combo("cmbAlarmType")->setCurrentIndex(0);
    click("btAlarmTypeSettingUpdate");
    EXPECT_EQ(dialogs.texts("information"), QStringList{"Update success!"});
    bus.clearReceived();
    click("btDO1");
    EXPECT_EQ(received().rfind("@0EDO02|", 0), 0u) << received();
    EXPECT_EQ(bus.module(0).digitalOutputs, 0x0E);
    // Clear Latch has the single-channel action here too.
    dialogs.clear();
    bus.clearReceived();
    get<QWidget>("btClearAlarmLatch")->setEnabled(true);
    click("btClearAlarmLatch");
    EXPECT_EQ(received(), "@0ECA|@0EDI|");
    EXPECT_EQ(dialogs.texts("information"), QStringList{"Update success!"});
}

TEST_F(StrainGauge, ExcitationOutputIsRoundedOnceThenSplit) {
    struct Case {
        const char* text;
        const char* sent;  // nullptr: nothing sent
        int bar;
        bool ok;
    };
    const Case cases[] = {
        {"2.3", "$0E7+02.300|", 2300, true},
        {"8.2", "$0E7+08.200|", 8200, true},
        {"7.5", "$0E7+07.500|", 7500, true},
        {"0.25", "$0E7+00.250|", 250, true},
        {"12.5", "$0E7+12.500|", 10000, false},  // the module refuses it
        {"", nullptr, 10000, false},
        {"100", nullptr, 10000, false},
    };
    open7349(module("7349", 0x0E));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        edit("edtAO_Val")->setText(c.text);
        dialogs.clear();
        bus.clearReceived();
        click("btnValueOutput");
        EXPECT_EQ(received(), c.sent ? c.sent : "");
        EXPECT_EQ(bar()->value(), c.bar);
        EXPECT_EQ(dialogs.texts("error"), c.ok ? QStringList{} : QStringList{"Write AO Failed!"});
        EXPECT_EQ(edit("edtAO_Val")->text(), c.text);
        stopTimer();
    }
    bar()->setValue(2300);
    EXPECT_EQ(edit("edtAO_Val")->text(), "2.300");
    click("bitbtnRightRight");
    click("bitbtnLeft");
    EXPECT_EQ(bar()->value(), 3200);
    for (int i = 0; i < 5; ++i) click("bitbtnLeftLeft");
    EXPECT_EQ(bar()->value(), 0);
    EXPECT_EQ(edit("edtAO_Val")->text(), "0.000");
    bus.clearReceived();
    click("btnStartup");
    EXPECT_EQ(received(), "$0ES|");
    EXPECT_EQ(dialogs.texts("information"), QStringList{"Update success!"});
}

TEST_F(StrainGauge, PollReadsInputAndLastOutputTogether) {
    auto m = module("7349", 0x0E);
    m.aoValues[0] = 2.3;
    open7349(m);
    sg()->tmrUpdateAIDataTimer();
    EXPECT_EQ(received(), "#0E|$0E6|@0EDI|");
    EXPECT_EQ(edit("edtAI_Val")->text(), "+00.500");
    EXPECT_EQ(edit("edtLast_Val")->text(), "2.300");
    EXPECT_EQ(status.panelText(0), "Read AI success!!  ");
    EXPECT_EQ(status.panelColor(0), QColor(255, 0, 0));
    bus.setFault(0, odel::sim::Fault::Reject, "$6");
    sg()->tmrUpdateAIDataTimer();
    EXPECT_EQ(status.panelText(0), "Read AI error!!    ");
    EXPECT_EQ(status.panelText(1), "2");
    EXPECT_EQ(status.panelColor(0), QColor(0, 0, 0));
    // A tab change re-reads the settings and limits.
    bus.clearFault(0);
    bus.clearReceived();
    get<QTabWidget>("PageControl")->setCurrentIndex(1);
    EXPECT_EQ(received(), "$0E2|$0EF|@0ERL|@0ERH|");
}

TEST_F(StrainGauge, CalibrationDialogs) {
    auto m = module("7349", 0x0E);
    m.init = true;
    m.typeCode = 0x06;
    startBus({m});
    open<TfrmM7349>("*", "(*)7349");
    EXPECT_TRUE(get<QWidget>("gbAICalibration")->isEnabled());
    QString input;
    dialogs.execHandler = [&](QDialog* d) {
        if (auto* e = d->findChild<QLineEdit*>("Edit1")) {
            input = e->text();
            QTest::mouseClick(d->findChild<QPushButton*>("Button1"), Qt::LeftButton);
        }
        return 1;
    };
    click("btZeroCal");
    EXPECT_EQ(input, "0 mA");
    click("btSpanCal");
    EXPECT_EQ(input, "20mA");
    EXPECT_EQ(bus.module(0).calibrations, (std::vector<std::string>{"$1", "$B"}));
    click("bitbtn0V");
    click("bitbtn10V");
    QStringList captions;
    for (const auto& s : dialogs.shown)
        if (s.kind == "exec") captions << s.caption;
    EXPECT_EQ(captions,
              (QStringList{"ODEL- ODEL-7349  Zero calibration", "ODEL- ODEL-7349  Span calibration",
                           " ODEL-7349  0V Calibration", " ODEL-7349  10V Calibration"}));
}

TEST_F(StrainGauge, SettingsFileLinesAndEveryStateLoadsBack) {
    auto m = module("7349", 0x0E);
    m.typeCode = 0x02;
    m.alarmMode = 1;
    m.highLimit = "+050.00";
    startBus({m});
    open<TfrmM7349>("0E", "(0E)7349");
    EXPECT_EQ(save(), QByteArray("Module Name:  ODEL-7349 \nBaudRate: 3\ncheckSum: 1\n"
                                 "Input Range: 2\nData Format: 0\nIntegration Time: 0\n"
                                 "Alarm Type: 1\nHigh Alarm: 50\nLow Alarm: -100\n"));
    expectLoadsBackEveryState<TfrmM7349>(
        "7349", {{"defaults", nullptr, nullptr, false},
                 {"INIT, unknown range", [](odel::sim::ModuleState& s) { s.typeCode = 0x05; },
                  nullptr, true},
                 {"latch, empty limit", [](odel::sim::ModuleState& s) { s.alarmMode = 2; },
                  [this] { edit("edtLowLimt")->clear(); }, false}});
}

}  // namespace

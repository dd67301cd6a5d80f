// Single-channel analog-input pages: ranges and the general Update, the alarm type, limits and
// outputs against the simulated alarm evaluation, the poll with its event counter, calibration
// and the settings files.
#include <QApplication>
#include <QFile>
#include <QProgressBar>
#include <QTemporaryDir>

#include "PageFixture.h"
#include "pages/analog_in/Unitm7341.h"
#include "pages/analog_in/Unitm7341l.h"
#include "pages/analog_in/Unitm7342.h"
#include "pages/analog_in/Unitm7345.h"
#include "pages/analog_in/Unitm7349.h"
#include "pages/frame/Lamp.h"

using namespace odel::test;
using namespace odel::ui;

namespace {

class SingleChannel : public PageTest {
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
    TfrmM7341L* open7341L(odel::sim::ModuleState m) {
        startBus({m});
        return open<TfrmM7341L>(QString::asprintf("%02X", m.address),
                                QString::asprintf("(%02X)7341L", m.address));
    }
    Lamp* lamp(const char* name) const { return get<Lamp>(name); }
    void tick() { static_cast<AiSingleBase*>(page.get())->tmrUpdateAIDataTimer(); }
    QString panel() const { return status.panelText(0); }
};

TEST_F(SingleChannel, StartReadsGeneralAlarmsAndLimitsWithTheirPauses) {
    auto m = module("7341L", 0x09);
    m.typeCode = 0x0E;
    m.highLimit = "+05.000";
    m.lowLimit = "-02.500";
    m.alarmMode = 1;
    startBus({m});
    bus.clearReceived();
    pauses.clear();
    openKeepingTraffic<TfrmM7341L>("09", "(09)7341L");
    EXPECT_EQ(received(), "$092|$09F|@09DI|@09RL|@09RH|");
    EXPECT_EQ(combo("cmbTypeChangeAllCh")->currentText(), "J Thermocouple");
    EXPECT_EQ(edit("edtHighLimt")->text(), "5");
    EXPECT_EQ(edit("edtLowLimt")->text(), "-2.5");
    EXPECT_EQ(combo("cmbAlarmType")->currentText(), "MOMENTARY");
    EXPECT_EQ(pauses, (std::vector<int>{300, 300, 300}));
    for (const char* name : {"cmbBaudRate", "cmbDataFormat", "cmbIntegrationTime", "btZeroCal",
                             "btSpanCal", "btClear_DI_Event_Counter"})
        EXPECT_FALSE(get<QWidget>(name)->isEnabled()) << name;
    EXPECT_TRUE(get<QWidget>("btCJCCal")->isEnabled());
}

TEST_F(SingleChannel, RangeIsWrittenByUpdateAndAnUnknownCodeIsKept) {
    auto m = module("7341L", 0x09);
    open7341L(m);
    combo("cmbTypeChangeAllCh")->setCurrentIndex(7);  // "J Thermocouple"
    pauses.clear();
    click("btSystemUpdate");
    EXPECT_NE(received().find("%09090E0600|"), std::string::npos) << received();
    EXPECT_EQ(bus.module(0).typeCode, 0x0E);
    EXPECT_EQ(dialogs.texts("information"), QStringList{"Update General Setting Success!"});
    EXPECT_EQ(pauses.front(), 100);  // after the two queries
    // The 10 s wait dialog ran; the range reads back from 0E.
    ASSERT_EQ(dialogs.texts("exec"), QStringList{"TfrmMWaitFor"});
    EXPECT_EQ(combo("cmbTypeChangeAllCh")->currentIndex(), 7);

    // A code the page's table does not hold shows no range and stays in the module.
    page.reset();
    link.reset();
    bus.stop();
    m.typeCode = 0x07;
    open7341L(m);
    EXPECT_EQ(combo("cmbTypeChangeAllCh")->currentIndex(), -1);
    click("btSystemUpdate");
    EXPECT_NE(received().find("%0909070600|"), std::string::npos) << received();
}

TEST_F(SingleChannel, WaitAfterUpdateIsThePagesOwn) {
    struct Case {
        const char* model;
        int wait;
    };
    for (const Case& c : {Case{"7341", 10000}, Case{"7342", 5000}, Case{"7345", 5000}}) {
        SCOPED_TRACE(c.model);
        page.reset();
        link.reset();
        bus.stop();
        startBus({module(c.model, 0x0A)});
        const QString node = QString("(0A)") + c.model;
        if (std::string(c.model) == "7341")
            open<TfrmM7341>("0A", node);
        else if (std::string(c.model) == "7342")
            open<TfrmM7342>("0A", node);
        else
            open<TfrmM7345>("0A", node);
        int waited = -1;
        dialogs.execHandler = [&](QDialog* d) {
            waited = d->findChild<QProgressBar*>()->maximum();
            return 1;
        };
        click("btSystemUpdate");
        EXPECT_EQ(waited, c.wait);
        EXPECT_EQ(dialogs.texts("information"), QStringList{"Update General Setting Success!"});
        dialogs.clear();
    }
}

TEST_F(SingleChannel, AlarmModeEnablesLatchAndLimitControls) {
    struct Case {
        int mode;
        bool latch, limits;
    };
    auto m = module("7341L", 0x09);
    open7341L(m);
    for (const Case& c : {Case{0, false, false}, Case{1, false, true}, Case{2, true, true}}) {
        SCOPED_TRACE(c.mode);
        bus.modify(0, [&](odel::sim::ModuleState& s) { s.alarmMode = c.mode; });
        combo("cmbAlarmType")->setCurrentIndex(c.mode);
        click("btAlarmTypeSettingUpdate");
        EXPECT_EQ(combo("cmbAlarmType")->currentIndex(), c.mode);
        EXPECT_EQ(get<QWidget>("btClearAlarmLatch")->isEnabled(), c.latch);
        for (const char* name :
             {"btHighAlarmLimitUpdate", "btLowAlarmLimitUpdate", "edtHighLimt", "edtLowLimt"})
            EXPECT_EQ(get<QWidget>(name)->isEnabled(), c.limits) << name;
    }
    // No selection sends nothing; a mode the module cannot have is a failed read: the mode is
    // unknown and the controls that depend on it are off.
    bus.modify(0, [](odel::sim::ModuleState& s) { s.alarmMode = 7; });
    combo("cmbAlarmType")->setCurrentIndex(-1);
    dialogs.clear();
    bus.clearReceived();
    click("btAlarmTypeSettingUpdate");
    EXPECT_EQ(received().rfind("@09DI|@09RL|@09RH|", 0), 0u) << received();
    EXPECT_EQ(dialogs.texts("error"), QStringList{"Setting Alarm Type error!!"});
    EXPECT_EQ(panel(), "Read Alarm Status error!!");
    EXPECT_EQ(status.panelColor(0), QColor(0, 0, 0));
    EXPECT_EQ(combo("cmbAlarmType")->currentIndex(), -1);
    EXPECT_FALSE(get<QWidget>("btClearAlarmLatch")->isEnabled());
}

TEST_F(SingleChannel, AlarmTypeCommandsAndMessages) {
    open7341L(module("7341L", 0x09));
    const char* sent[] = {"@09DA|", "@09EAM|", "@09EAL|"};
    for (int i = 0; i < 3; ++i) {
        bus.clearReceived();
        dialogs.clear();
        combo("cmbAlarmType")->setCurrentIndex(i);
        click("btAlarmTypeSettingUpdate");
        EXPECT_EQ(received().rfind(sent[i], 0), 0u) << received();
        EXPECT_EQ(dialogs.texts("information"), QStringList{"Update Alarm Type Setting Success!"});
        EXPECT_EQ(bus.module(0).alarmMode, i);
    }
    bus.setFault(0, odel::sim::Fault::Reject, "@EA");
    dialogs.clear();
    click("btAlarmTypeSettingUpdate");
    EXPECT_EQ(dialogs.texts("error"), QStringList{"Setting Alarm Type error!!"});
    EXPECT_EQ(dialogs.texts("information"), QStringList{});
    EXPECT_TRUE(get<QWidget>("btAlarmTypeSettingUpdate")->isEnabled());
}

TEST_F(SingleChannel, OutputsSwitchOnlyWhileTheAlarmIsDisabled) {
    auto m = module("7341L", 0x09);
    m.alarmMode = 1;
    open7341L(m);
    click("btDO0");
    EXPECT_EQ(received(), "");  // MOMENTARY: the module drives the outputs
    bus.modify(0, [](odel::sim::ModuleState& s) { s.alarmMode = 0; });
    combo("cmbAlarmType")->setCurrentIndex(0);
    click("btAlarmTypeSettingUpdate");
    bus.clearReceived();
    click("btDO1");
    EXPECT_EQ(received().rfind("@09DO02|@09DI|", 0), 0u) << received();
    EXPECT_TRUE(lamp("btDO1")->isOn());
    EXPECT_FALSE(lamp("btDO0")->isOn());
    EXPECT_EQ(bus.module(0).digitalOutputs, 2);
    // A refused write leaves the lamp as it was, so the next click sends the same byte.
    bus.setFault(0, odel::sim::Fault::Reject, "@DO");
    click("btDO0");
    EXPECT_EQ(dialogs.texts("error"), QStringList{"Write Digital Output Failed!!"});
    EXPECT_FALSE(lamp("btDO0")->isOn());
}

TEST_F(SingleChannel, LimitTextsFollowTheIntegerDigitsOfTheRange) {
    struct Case {
        const char* model;
        int range;
        bool high;
        const char* text;
        const char* sent;  // nullptr: refused with the error, nothing sent
    };
    const Case cases[] = {
        {"7341L", 0, true, "5", "@09HI+05.000|"},       // +/- 15mV: two digits
        {"7341L", 4, false, "-0.25", "@09LO-0.250|"},   // +/- 1V: one digit
        {"7341L", 0, false, "0", "@09LO-00.000|"},      // zero goes out with "-"
        {"7341L", 6, true, "12.5", "@09HI+0012.500|"},  // thermocouple/current: four
        {"7341L", 5, true, "123.4", nullptr},           // +/- 2.5V allows one
        {"7341L", 0, true, "-", nullptr},               // no number
        {"7342", 4, true, "100", "@09HI+100.000|"},     // +/- 150mV on the 7342: three
        {"7342", 1, false, "0.5", "@09LO+0.500|"},      // +/- 5V: one
        {"7342", 2, true, "12", nullptr},               // +/- 1V: one
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " " + c.text);
        page.reset();
        link.reset();
        bus.stop();
        auto m = module(c.model, 0x09);
        m.alarmMode = 1;
        startBus({m});
        if (std::string(c.model) == "7342")
            open<TfrmM7342>("09", "(09)7342");
        else
            open<TfrmM7341L>("09", "(09)7341L");
        combo("cmbTypeChangeAllCh")->setCurrentIndex(c.range);
        edit(c.high ? "edtHighLimt" : "edtLowLimt")->setText(c.text);
        dialogs.clear();
        pauses.clear();
        click(c.high ? "btHighAlarmLimitUpdate" : "btLowAlarmLimitUpdate");
        const QString fail =
            c.high ? "Write High Alarm Value Failed!!" : "Write Low Alarm Value Failed!!";
        if (c.sent) {
            EXPECT_EQ(received().rfind(c.sent, 0), 0u) << received();
            EXPECT_EQ(dialogs.texts("information"),
                      QStringList{c.high ? "Update Hihg Alarm Limit Value Success!"
                                         : "Update Low Alarm Limit Value success!"});
        } else {
            EXPECT_EQ(received().rfind("@09RL|@09RH|", 0), 0u) << received();
            EXPECT_EQ(dialogs.texts("error"), QStringList{fail});
            EXPECT_EQ(dialogs.texts("information"), QStringList{});
        }
        // Every path ends with the pause, the read-back, the button and the timer back.
        EXPECT_EQ(pauses, std::vector<int>{500});
        EXPECT_TRUE(
            get<QWidget>(c.high ? "btHighAlarmLimitUpdate" : "btLowAlarmLimitUpdate")->isEnabled());
        EXPECT_TRUE(page->findChild<QTimer*>("tmrUpdateAIData")->isActive());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
}

TEST_F(SingleChannel, PollShowsValueCounterAndLampsInRedAndFailuresInBlack) {
    auto m = module("7341L", 0x09);
    m.digitalInputs = 1;
    m.seenInputs = 1;
    m.eventCounter = 42;
    open7341L(m);
    tick();
    EXPECT_EQ(received(), "#09|@09RE|@09DI|");
    EXPECT_EQ(edit("edtAI_Val")->text(), "+00.500");
    EXPECT_EQ(edit("edtEventCounter")->text(), "42");
    EXPECT_TRUE(lamp("btDI")->isOn());
    EXPECT_EQ(panel(), "Read AI success!!  ");
    EXPECT_EQ(status.panelColor(0), QColor(255, 0, 0));
    EXPECT_EQ(status.panelText(1), "1");

    // The counter counts the rising edges of the DI.
    for (int i = 0; i < 3; ++i) {
        bus.modify(0, [](odel::sim::ModuleState& s) { s.digitalInputs ^= 1; });
        tick();
    }
    EXPECT_EQ(edit("edtEventCounter")->text(), "43");
    EXPECT_FALSE(lamp("btDI")->isOn());

    bus.setFault(0, odel::sim::Fault::Reject, "@RE");
    tick();
    EXPECT_EQ(panel(), "Read Event Counter error!!");
    EXPECT_EQ(status.panelColor(0), QColor(0, 0, 0));
    bus.setFault(0, odel::sim::Fault::NoReply, "#");
    tick();
    EXPECT_EQ(panel(), "Read AI error!!    ");
    EXPECT_EQ(status.panelText(1), "2");
}

TEST_F(SingleChannel, AlarmOutputsFollowTheValueMomentaryOrLatched) {
    auto m = module("7341L", 0x09);
    m.values[0] = 10;
    m.highLimit = "+05.000";
    open7341L(m);
    combo("cmbAlarmType")->setCurrentIndex(1);
    click("btAlarmTypeSettingUpdate");
    EXPECT_TRUE(lamp("btDO0")->isOn());
    bus.modify(0, [](odel::sim::ModuleState& s) { s.values[0] = 1; });
    tick();
    EXPECT_FALSE(lamp("btDO0")->isOn());  // momentary: off with the condition

    combo("cmbAlarmType")->setCurrentIndex(2);
    click("btAlarmTypeSettingUpdate");
    bus.modify(0, [](odel::sim::ModuleState& s) { s.values[0] = -120; });
    tick();
    EXPECT_TRUE(lamp("btDO1")->isOn());  // below the low limit
    bus.modify(0, [](odel::sim::ModuleState& s) { s.values[0] = 1; });
    tick();
    EXPECT_TRUE(lamp("btDO1")->isOn());  // latched
    dialogs.clear();
    click("btClearAlarmLatch");
    EXPECT_EQ(dialogs.texts("information"), QStringList{"Update success!"});
    EXPECT_FALSE(lamp("btDO1")->isOn());
    EXPECT_NE(received().find("@09CA|@09DI|"), std::string::npos) << received();
}

TEST_F(SingleChannel, ClearEventCounter) {
    auto m = module("7341L", 0x09);
    m.eventCounter = 7;
    open7341L(m);
    click("btClearEventCounter");
    EXPECT_EQ(received(), "@09CE|@09DI|");
    EXPECT_EQ(bus.module(0).eventCounter, 0);
    EXPECT_EQ(dialogs.texts("information"), QStringList{"Update success!"});
    bus.setFault(0, odel::sim::Fault::Reject, "@CE");
    dialogs.clear();
    click("btClearEventCounter");
    EXPECT_EQ(dialogs.texts("error"), QStringList{"Clear Event Counter Error!!"});
    EXPECT_EQ(dialogs.texts("information"), QStringList{});
}

TEST_F(SingleChannel, RtdPageAsksForNoAlarmsAndShowsOhms) {
    auto m = module("7345", 0x0B);
    m.format = 0x03;  // ohms
    startBus({m});
    bus.clearReceived();
    pauses.clear();
    openKeepingTraffic<TfrmM7345>("0B", "(0B)7345");
    EXPECT_EQ(received(), "$0B2|$0BF|");  // no alarm reads
    bus.clearReceived();
    EXPECT_EQ(pauses, std::vector<int>{});
    EXPECT_EQ(combo("cmbDataFormat")->currentText(), "Ohms");
    EXPECT_EQ(combo("cmbTypeChangeAllCh")->currentText(), "Pt.00385 -100' to 100'C");
    for (const char* name : {"gbEventCounter", "gbAlarmStatus", "gbHighAlarmLimit",
                             "gbLowAlarmLimit", "gbAlarmTypeSetting"})
        EXPECT_TRUE(get<QWidget>(name)->isHidden()) << name;
    EXPECT_FALSE(get<QWidget>("btCJCCal")->isHidden());
    click("btCJCCal");
    EXPECT_EQ(dialogs.shown.back().caption, "ODEL- ODEL-7345  Cold Junction Compesation");
    tick();
    EXPECT_EQ(received(), "#0B|");
    EXPECT_EQ(edit("edtAI_Val")->text(), "+100.19");  // 100 ohms at 0.5 'C
    EXPECT_EQ(panel(), "Read AI success!!  ");
}

TEST_F(SingleChannel, CalibrationDialogsCarryTheirTextsAndCommands) {
    auto m = module("7341L", 0x00);
    m.init = true;
    m.typeCode = 0x06;
    startBus({m});
    open<TfrmM7341L>("*", "(*)7341L");
    QString input;
    dialogs.execHandler = [&](QDialog* d) {
        input = d->findChild<QLineEdit*>("Edit1")->text();
        QTest::mouseClick(d->findChild<QPushButton*>("Button1"), Qt::LeftButton);
        return 1;
    };
    click("btZeroCal");
    EXPECT_EQ(dialogs.shown[0].caption, "ODEL- ODEL-7341L  Zero calibration");
    EXPECT_EQ(input, "0 mA");
    click("btSpanCal");
    EXPECT_EQ(input, "20mA");
    EXPECT_EQ(bus.module(0).calibrations, (std::vector<std::string>{"$1", "$0"}));
    EXPECT_EQ(dialogs.texts("messageBox"),
              (QStringList{"Zero Calibration Successfully", "Span Calibration Successfully"}));
    dialogs.execHandler = {};
    click("btCJCCal");
    EXPECT_EQ(dialogs.shown.back().caption, "ODEL- ODEL-7341L  Cold Junction Compesation");
}

// ---- settings files ----

using SingleChannelFile = SingleChannel;

TEST_F(SingleChannelFile, SavedLinesByteForByte) {
    auto m = module("7341L", 0x09);
    m.format = 0x41 | 0x80;  // checksum, % FSR, 60 ms
    m.typeCode = 0x0F;
    m.alarmMode = 2;
    m.highLimit = "+12.500";
    m.lowLimit = "-03.000";
    startBus({m});
    link->SetChecksum(1);
    open<TfrmM7341L>("09", "(09)7341L");
    EXPECT_EQ(save(), QByteArray("Module Name:  ODEL-7341L \n"
                                 "BaudRate: 3\n"
                                 "checkSum: 0\n"
                                 "Input Range: 8\n"
                                 "Data Format: 1\n"
                                 "Integration Time: 1\n"
                                 "Alarm Type: 2\n"
                                 "High Alarm: 12.5\n"
                                 "Low Alarm: -3\n"));
    EXPECT_EQ(dialogs.shown[0].text, "7341L.txt");

    page.reset();
    link.reset();
    bus.stop();
    startBus({module("7345", 0x0B)});
    open<TfrmM7345>("0B", "(0B)7345");
    EXPECT_EQ(save(), QByteArray("Module Name:  ODEL-7345 \n"
                                 "BaudRate: 3\n"
                                 "checkSum: 1\n"
                                 "Input Range: 0\n"
                                 "Data Format: 0\n"
                                 "Integration Time: 0\n"));
}

TEST_F(SingleChannelFile, LoadRestoresTheModule) {
    auto m = module("7342", 0x0A);
    startBus({m});
    open<TfrmM7342>("0A", "(0A)7342");
    QFile f(dir.filePath("s.txt"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(
        "Module Name: ODEL-7342\nBaudRate: 7\ncheckSum: 0\nInput Range: 4\n"
        "Data Format: 0\nIntegration Time: 0\nAlarm Type: 1\nHigh Alarm: 120\n"
        "Low Alarm: -7.5\n");
    f.close();
    dialogs.fileAnswers.push_back(dir.filePath("s.txt"));
    static_cast<ModulePage*>(page.get())->LoadConfiguration();
    const auto s = bus.module(0);
    EXPECT_EQ(s.typeCode, 0x0C);
    EXPECT_EQ(s.baudCode, 6);  // the baud line is read, not applied
    EXPECT_EQ(s.alarmMode, 1);
    EXPECT_EQ(s.highLimit, "+120.000");
    EXPECT_EQ(s.lowLimit, "-007.500");
    EXPECT_EQ(dialogs.texts("information"),
              (QStringList{"Update General Setting Success!", "Update Alarm Type Setting Success!",
                           "Update Hihg Alarm Limit Value Success!",
                           "Update Low Alarm Limit Value success!"}));
}

// A mode that is no mode, or not answered: no type shown, the controls of the mode off, no
// output written, and the file saved now loads back without writing an alarm type.
TEST_F(SingleChannelFile, UnknownAlarmModeShowsNoTypeAndIsNeverWritten) {
    struct Case {
        const char* name;
        const char* model;
        bool answered;
    };
    for (const Case& c :
         {Case{"7341, mode 5", "7341", true}, Case{"7341, no answer", "7341", false},
          Case{"7349, mode 5", "7349", true}}) {
        SCOPED_TRACE(c.name);
        auto m = module(c.model, 0x08);
        m.alarmMode = 5;
        m.highLimit = "+05.000";  // limits the page can write back
        m.lowLimit = "-02.000";
        startBus({m});
        if (!c.answered) bus.setFault(0, odel::sim::Fault::NoReply, "@DI");
        if (std::string(c.model) == "7349")
            open<TfrmM7349>("08", "(08)7349");
        else
            open<TfrmM7341>("08", "(08)7341");
        EXPECT_EQ(combo("cmbAlarmType")->currentIndex(), -1);
        for (const char* name : {"btClearAlarmLatch", "btHighAlarmLimitUpdate",
                                 "btLowAlarmLimitUpdate", "edtHighLimt", "edtLowLimt"})
            EXPECT_FALSE(get<QWidget>(name)->isEnabled()) << name;
        click("btDO0");
        EXPECT_EQ(received(), "");
        const QByteArray saved = save();
        EXPECT_TRUE(saved.contains("\nAlarm Type: -1\n")) << saved.toStdString();
        bus.clearReceived();
        dialogs.clear();
        dialogs.fileAnswers.push_back(dir.filePath("s.txt"));
        static_cast<ModulePage*>(page.get())->LoadConfiguration();
        EXPECT_EQ(dialogs.texts("error"), QStringList{});
        EXPECT_EQ(received().find("@08DA"), std::string::npos) << received();
        EXPECT_EQ(received().find("@08EA"), std::string::npos) << received();
        page.reset();
        link.reset();
        bus.stop();
    }
}

TEST_F(SingleChannelFile, EveryStateLoadsBack) {
    const std::vector<SavedState> states = {
        {"defaults", nullptr, nullptr, false},
        {"INIT with checksum", [](odel::sim::ModuleState& s) { s.format = 0x42; }, nullptr, true},
        {"unknown range, latch",
         [](odel::sim::ModuleState& s) {
             s.typeCode = 0x2F;
             s.alarmMode = 2;
         },
         nullptr, false},
        {"empty limit edits", nullptr,
         [this] {
             edit("edtHighLimt")->clear();
             edit("edtLowLimt")->clear();
         },
         false},
    };
    expectLoadsBackEveryState<TfrmM7341L>("7341L", states);
    expectLoadsBackEveryState<TfrmM7341>("7341", states);
    expectLoadsBackEveryState<TfrmM7342>("7342", states);
    expectLoadsBackEveryState<TfrmM7345>("7345", states);
}

}  // namespace

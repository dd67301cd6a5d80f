// The digital I/O pages against the simulator: the rows each model shows, the poll and its
// lamps, output clicks, the fail-safe values, the general Update of the family and its
// settings files.
#include <QFile>
#include <QTemporaryDir>

#include "PageFixture.h"
#include "pages/PageRegistry.h"
#include "pages/digital/Unitm7380.h"
#include "pages/digital/Unitm7381.h"
#include "pages/digital/Unitm7382.h"
#include "pages/digital/Unitm7383.h"
#include "pages/digital/Unitm7385.h"
#include "pages/digital/Unitm7390.h"
#include "pages/digital/Unitm7396.h"
#include "pages/frame/GeneralSettingGroup.h"
#include "pages/frame/Lamp.h"

using namespace odel::test;
using namespace odel::ui;
using odel::sim::Fault;
using odel::sim::ModuleState;

namespace {

class Digital : public PageTest {
  protected:
    // Opens the page of the model registered under its class name, timer stopped.
    TfrmM7385* openModel(const std::string& model, int address, bool init = false) {
        auto factory = FindPage(QString::fromStdString("TfrmM" + model));
        EXPECT_TRUE(factory);
        auto* node = new QTreeWidgetItem(
            portNode, QStringList{init ? QString("(*)") + model.c_str()
                                       : QString::asprintf("(%02X)%s", address, model.c_str())});
        tree.setCurrentItem(node);
        status.setPanelText(0, {});
        dialogs.clear();
        auto* p = static_cast<TfrmM7385*>(factory(nullptr));
        page.reset(p);
        p->InitModule(link.get(), init ? "*" : QString::asprintf("%02X", address), &status, &tree);
        timer()->stop();
        bus.clearReceived();
        return p;
    }
    TfrmM7385* start(const ModuleState& m, bool init = false) {
        startBus({m});
        return openModel(m.model, m.address, init);
    }
    QTimer* timer() const { return page->findChild<QTimer*>("tmrUpdateDIData"); }
    Lamp* lamp(const QString& name) const { return get<Lamp>(name); }
    // The lamps of a row from bit 7 down to bit 0 as '1' (on), '0' (off) or '-' (hidden).
    std::string row(const QString& prefix) const {
        std::string out;
        for (int i = 7; i >= 0; --i) {
            Lamp* l = lamp(prefix + QString::number(i));
            const bool shown = isShown(l) && isShown(l->parentWidget());
            out += !shown ? '-' : l->isOn() ? '1' : '0';
        }
        return out;
    }
    QString panel(int i) const { return status.panelText(i); }
};

ModuleState dio(const std::string& model, int address) {
    ModuleState m = PageTest::module(model, address);
    m.digitalInputs = 0;
    return m;
}

// What each model's page shows and saves (module at 13, 9600 baud, no checksum).
struct PageCase {
    const char* model;
    const char* caption;
    const char* diRow;  // first row after a poll of inputs 0x1234 and outputs 0xA5
    const char* doRow;  // second row
    const char* secondCaption;
    const char* safe;  // fail-safe buttons shown, bit 7 first
    bool protocol;
    const char* pollText;
    const char* openStatus;  // status after the general read, before any poll
};
const PageCase kPages[] = {
    {"7385", " ODEL-7385 ", "00110100", "10100101", "DO 7", "00000000", true, "Polling DIO data...",
     ""},
    {"7396", " ODEL-7396 ", "--------", "10100101", "DO 7", "00000000", true, "Polling DIO data...",
     ""},
    {"7390", " ODEL-7390 ", "--------", "----0101", "DO 7", "----0000", false,
     "Polling DIO data...", ""},
    {"7380", " ODEL-7380 ", "-0110100", "10100101", "DO 7", "00000000", false,
     "Polling DIO data...", ""},
    {"7383", " ODEL-7383 ", "00110100", "00010010", "DI 15", "--------", true, "Polling DI data...",
     "Fail to fresh Safety setting data!"},
    {"7381", " ODEL-7381 ", "00110100", "00010010", "DI 15", "--------", true, "Polling DI data...",
     ""},
    {"7382", " ODEL-7382 ", "00110100", "--------", "DO 7", "--------", false,
     "Polling DIO data...", "Fail to fresh Safety setting data!"},
};

TEST_F(Digital, EveryPageShowsItsRowsPollsAndSavesItsLines) {
    std::vector<ModuleState> modules;
    for (const PageCase& c : kPages) {
        ModuleState m = dio(c.model, 0x13);
        m.digitalInputs = 0x1234;
        m.digitalOutputs = 0xA5;
        modules.push_back(m);
    }
    for (std::size_t k = 0; k < std::size(kPages); ++k) {
        const PageCase& c = kPages[k];
        SCOPED_TRACE(c.model);
        std::vector<ModuleState> one{modules[k]};
        bus.stop();
        startBus(one);
        TfrmM7385* p = openModel(c.model, 0x13);
        EXPECT_EQ(p->objectName(), QString("TfrmM") + c.model);
        EXPECT_EQ(get<QGroupBox>("GroupBox1")->title(), c.caption);
        EXPECT_EQ(panel(0), c.openStatus);
        EXPECT_TRUE(dialogs.shown.empty());  // reading failures go to the status bar only
        EXPECT_EQ(isShown(combo("cmbPotocolSelect")), c.protocol);
        EXPECT_EQ(lamp("bitbtnDO7")->text(), c.secondCaption);
        p->tmrUpdateDIDataTimer();
        EXPECT_EQ(panel(0), c.pollText);
        EXPECT_EQ(panel(1), "1");
        EXPECT_EQ(row("bitbtnDI"), c.diRow);
        EXPECT_EQ(row("bitbtnDO"), c.doRow);
        EXPECT_EQ(row("bitbtnSafeDO"), c.safe);
        EXPECT_EQ(isShown(get<QGroupBox>("gbSeftValue")), std::string(c.safe) != "--------");

        const QString file = dir.filePath(QString(c.model) + ".txt");
        dialogs.fileAnswers.push_back(file);
        p->SaveConfiguration();
        // The first save offers the bare name; the next ones start in the folder saved to.
        const QString offered = dialogs.shown.back().text;
        EXPECT_TRUE(offered == QString(c.model) + ".txt" || offered == file) << offered.toStdString();
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), QByteArray("Module Name: ") + c.caption +
                                   "\nBaudRate: 3\ncheckSum: 1\n" +
                                   (c.protocol ? "Potocol: 0\n" : ""));
    }
}

TEST_F(Digital, PollShowsTheLinesAndAClickInvertsTheLineAsPolled) {
    ModuleState m = dio("7385", 0x01);
    m.digitalOutputs = 0x05;
    m.digitalInputs = 0x80;
    TfrmM7385* p = start(m);
    p->tmrUpdateDIDataTimer();
    EXPECT_EQ(row("bitbtnDO"), "00000101");
    EXPECT_EQ(row("bitbtnDI"), "10000000");
    EXPECT_EQ(edit("edtDO_Hex")->text(), "0x05");
    EXPECT_EQ(edit("edtDI_Hex")->text(), "0x80");
    EXPECT_EQ(panel(1), "1");
    p->tmrUpdateDIDataTimer();
    EXPECT_EQ(panel(1), "0");
    bus.clearReceived();

    // DO 2 is on: the click switches it off and reads the lines back at once.
    QTest::mouseClick(lamp("bitbtnDO2"), Qt::LeftButton);
    EXPECT_EQ(received(), "#011200|$016|");
    EXPECT_EQ(bus.module(0).digitalOutputs, 0x01);
    EXPECT_EQ(row("bitbtnDO"), "00000001");
    EXPECT_TRUE(timer()->isActive());
    timer()->stop();
    bus.clearReceived();
    QTest::mouseClick(lamp("bitbtnDO7"), Qt::LeftButton);
    EXPECT_EQ(received(), "#011701|$016|");
    EXPECT_EQ(bus.module(0).digitalOutputs, 0x81);

    // A refused switch changes nothing.
    timer()->stop();
    bus.setFault(0, Fault::Reject, "#");
    bus.clearReceived();
    QTest::mouseClick(lamp("bitbtnDO0"), Qt::LeftButton);
    EXPECT_EQ(received(), "#011000|");
    EXPECT_EQ(panel(0), "Fail to set DO!");
    EXPECT_EQ(row("bitbtnDO"), "10000001");
    EXPECT_EQ(bus.module(0).digitalOutputs, 0x81);
    // Input lamps have no click action.
    bus.clearReceived();
    QTest::mouseClick(lamp("bitbtnDI3"), Qt::LeftButton);
    EXPECT_EQ(received(), "");
}

TEST_F(Digital, FirstClickBeforeAnyGoodPollReadsTheLinesFirst) {
    ModuleState m = dio("7385", 0x01);
    m.digitalOutputs = 0x04;
    TfrmM7385* p = start(m);
    bus.setFault(0, Fault::NoReply, "$6", 1);
    p->tmrUpdateDIDataTimer();  // the first poll fails
    EXPECT_EQ(panel(0), "Fail to fresh DIO data!");
    bus.clearReceived();
    QTest::mouseClick(lamp("bitbtnDO2"), Qt::LeftButton);
    EXPECT_EQ(received(), "$016|#011200|$016|");
    EXPECT_EQ(bus.module(0).digitalOutputs, 0);
}

TEST_F(Digital, LowerCaseDigitsAreReadAndShownAsReceived) {
    ModuleState m = dio("7385", 0x01);
    m.lowerHex = true;
    m.digitalOutputs = 0xA5;
    m.digitalInputs = 0x0F;
    m.safeTime = 0xABC;
    m.safeValue = 0xC3;
    TfrmM7385* p = start(m);
    EXPECT_EQ(p->edtTimeoutSetting->text(), "274.8");
    EXPECT_EQ(row("bitbtnSafeDO"), "11000011");
    p->tmrUpdateDIDataTimer();
    EXPECT_EQ(edit("edtDO_Hex")->text(), "0xa5");
    EXPECT_EQ(edit("edtDI_Hex")->text(), "0x0f");
    EXPECT_EQ(row("bitbtnDO"), "10100101");
}

TEST_F(Digital, FailedOrNonHexPollKeepsTheLamps) {
    struct Case {
        const char* model;
        const char* failText;
    };
    for (const Case& c :
         {Case{"7385", "Fail to fresh DIO data!"}, Case{"7383", "Fail to fresh DI data!"},
          Case{"7382", "Fail to fresh DIO data!"}}) {
        SCOPED_TRACE(c.model);
        ModuleState m = dio(c.model, 0x02);
        m.digitalInputs = 0x0081;
        m.digitalOutputs = 0x03;
        bus.stop();
        TfrmM7385* p = start(m);
        p->tmrUpdateDIDataTimer();
        const std::string before = row("bitbtnDI") + row("bitbtnDO");
        const QString hex = edit("edtDI_Hex")->text();
        bus.modify(0, [](ModuleState& s) { s.digitalInputs = s.digitalOutputs = 0; });
        for (Fault f : {Fault::BadDigits, Fault::NoReply}) {
            bus.setFault(0, f, "$6", 1);
            p->tmrUpdateDIDataTimer();
            EXPECT_EQ(panel(0), c.failText);
            EXPECT_TRUE(panel(1) == "2" || panel(1) == "3") << panel(1).toStdString();
            EXPECT_EQ(row("bitbtnDI") + row("bitbtnDO"), before);
            EXPECT_EQ(edit("edtDI_Hex")->text(), hex);
        }
        p->tmrUpdateDIDataTimer();  // the fault has cleared
        EXPECT_EQ(edit("edtDI_Hex")->text(), "0x00");
    }
}

TEST_F(Digital, SixteenInputsSplitIntoTwoRowsWithoutClicks) {
    ModuleState m = dio("7383", 0x16);
    m.digitalInputs = 0x1234;
    TfrmM7385* p = start(m);
    QStringList labels;
    for (QLabel* l : page->findChildren<QLabel*>()) labels << l->text();
    EXPECT_TRUE(labels.contains("Dl Low Byte (Hex)"));
    EXPECT_TRUE(labels.contains("DI High Bye (Hex)"));
    p->tmrUpdateDIDataTimer();
    EXPECT_EQ(row("bitbtnDO"), "00010010");
    EXPECT_EQ(row("bitbtnDI"), "00110100");
    EXPECT_EQ(edit("edtDI_Hex")->text(), "0x34");
    EXPECT_EQ(edit("edtDO_Hex")->text(), "0x12");
    EXPECT_EQ(lamp("bitbtnDO0")->text(), "DI 8");
    bus.clearReceived();
    QTest::mouseClick(lamp("bitbtnDO4"), Qt::LeftButton);
    EXPECT_EQ(received(), "");
}

TEST_F(Digital, FailSafeTimeoutIsTruncatedAndCheckedBeforeSending) {
    ModuleState m = dio("7385", 0x01);
    m.safeValue = 0x05;
    TfrmM7385* p = start(m);
    struct Case {
        const char* text;
        const char* sent;  // empty: refused with the range error
    };
    const Case cases[] = {{"6553.5", "$01X0FFFF05|"},
                          {"6553.6", ""},
                          {"0", "$01X0000005|"},
                          {"12.34", "$01X0007B05|"},
                          {"", ""},
                          {".", ""},
                          {"1.2.3", ""},
                          {".5", "$01X0000505|"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        dialogs.clear();
        bus.clearReceived();
        p->edtTimeoutSetting->setText(c.text);
        click("btSafeSettingUpdate");
        if (*c.sent) {
            EXPECT_EQ(dialogs.texts("information"), QStringList{"Update success!"});
            EXPECT_EQ(received(), std::string(c.sent) + "$01X1|");
        } else {
            EXPECT_EQ(dialogs.texts("error"),
                      QStringList{"The timeout Value must be between 0.0 and 6553.5!"});
            EXPECT_EQ(received(), "$01X1|");  // read back, nothing written
        }
        EXPECT_TRUE(timer()->isActive());
        timer()->stop();
    }
    EXPECT_EQ(bus.module(0).safeTime, 5);
    EXPECT_EQ(p->edtTimeoutSetting->text(), "0.5");

    // A refused write is reported and the values are still read back.
    bus.setFault(0, Fault::Reject, "$X0", 1);
    dialogs.clear();
    bus.clearReceived();
    click("btSafeSettingUpdate");
    EXPECT_EQ(dialogs.texts("error"), QStringList{"Write Safety Value failed!"});
    EXPECT_EQ(received(), "$01X0000505|$01X1|");
    // A failed read-back says so.
    bus.setFault(0, Fault::BadDigits, "$X1", 1);
    timer()->stop();
    click("btSafeSettingUpdate");
    EXPECT_EQ(panel(0), "Fail to fresh Safety setting data!");
}

TEST_F(Digital, FailSafeButtonsToggleLocallyUntilTheirUpdate) {
    ModuleState m = dio("7385", 0x01);
    m.safeValue = 0x81;
    m.safeTime = 30;
    TfrmM7385* p = start(m);
    EXPECT_EQ(row("bitbtnSafeDO"), "10000001");
    EXPECT_EQ(p->edtTimeoutSetting->text(), "3.0");
    QTest::mouseClick(lamp("bitbtnSafeDO2"), Qt::LeftButton);
    EXPECT_EQ(row("bitbtnSafeDO"), "10000101");
    QTest::mouseClick(lamp("bitbtnSafeDO2"), Qt::LeftButton);
    EXPECT_EQ(row("bitbtnSafeDO"), "10000001");
    EXPECT_EQ(p->SafeValue, 0x81);
    QTest::mouseClick(lamp("bitbtnSafeDO7"), Qt::LeftButton);
    QTest::mouseClick(lamp("bitbtnSafeDO6"), Qt::LeftButton);
    EXPECT_EQ(received(), "");
    click("btSafeSettingUpdate");
    EXPECT_EQ(received(), "$01X0001E41|$01X1|");
    EXPECT_EQ(bus.module(0).safeValue, 0x41);
}

TEST_F(Digital, TimeoutKeyFilterAndEnter) {
    TfrmM7385* p = start(dio("7385", 0x01));
    p->edtTimeoutSetting->clear();
    QTest::keyClicks(p->edtTimeoutSetting, "1a2.5 -b");
    EXPECT_EQ(p->edtTimeoutSetting->text(), "12.5");
    QTest::keyClick(p->edtTimeoutSetting, Qt::Key_Backspace);
    QTest::keyClick(p->edtTimeoutSetting, Qt::Key_Left);
    QTest::keyClicks(p->edtTimeoutSetting, "7");
    EXPECT_EQ(p->edtTimeoutSetting->text(), "127.");
    EXPECT_EQ(received(), "");
    QTest::keyClick(p->edtTimeoutSetting, Qt::Key_Return);
    EXPECT_EQ(received(), "$01X004F600|$01X1|");
    EXPECT_EQ(dialogs.texts("information"), QStringList{"Update success!"});
    EXPECT_EQ(p->edtTimeoutSetting->text(), "127.0");
    QTest::keyClick(p->edtTimeoutSetting, Qt::Key_End);
    QTest::keyClicks(p->edtTimeoutSetting, "999");  // at most six characters
    EXPECT_EQ(p->edtTimeoutSetting->text(), "127.09");
}

TEST_F(Digital, GeneralUpdateWithoutWaitAndInputObjectFollowsTheAddress) {
    start(dio("7383", 0x16));
    edit("edtAddress_Dec")->setText("48");
    click("btSystemUpdate");
    EXPECT_EQ(dialogs.texts("information"), QStringList{"Update success!"});
    EXPECT_EQ(dialogs.texts("exec"), QStringList{});  // no wait dialog
    EXPECT_EQ(tree.currentItem()->text(0), "(30)7383");
    EXPECT_EQ(received(), "$162|$16M|%1630400600|$302|$30F|$30X1|");
    EXPECT_EQ(edit("edtAddress_Hex")->text(), "30");
    // The running poll timer reads the inputs at the new address.
    EXPECT_TRUE(timer()->isActive());
    bus.clearReceived();
    QTRY_COMPARE_WITH_TIMEOUT(QString::fromStdString(received()), QString("$306|"), 2000);
    timer()->stop();
    EXPECT_EQ(panel(0), "Polling DI data...");

    // Every outcome ends with the general read-back.
    for (const char* address : {"0", "1a"}) {
        dialogs.clear();
        bus.clearReceived();
        edit("edtAddress_Dec")->setText(address);
        click("btSystemUpdate");
        EXPECT_EQ(dialogs.texts("error"),
                  QStringList{"Please input dicimal address between 1 and 255!"});
        EXPECT_EQ(received(), "$302|$30F|$30X1|");
        timer()->stop();
    }
    dialogs.clear();
    bus.setFault(0, Fault::Reject, "%", 1);
    click("btSystemUpdate");
    EXPECT_EQ(dialogs.texts("error"), QStringList{"Update failed!"});
    EXPECT_EQ(dialogs.texts("information"), QStringList{});
}

TEST_F(Digital, InitUpdateWritesBaudChecksumAndProtocolOnly) {
    struct Case {
        const char* model;
        int format;        // the module's format byte
        int protocol;      // selector index chosen (-1: leave it)
        const char* sent;  // configuration command
    };
    const Case cases[] = {
        {"7385", 0x00, 1, "%0005400744|"},   // protocol MODBUS, checksum on, 19.2 kbps
        {"7383", 0x00, 1, "%0005400740|"},   // no protocol choice: a change has no effect
        {"7382", 0x04, -1, "%0005400744|"},  // hidden selector mirrors the bit despite no $AAX1
        {"7380", 0x00, -1, "%0005400740|"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        ModuleState m = dio(c.model, 0x20);
        m.init = true;
        m.format = c.format;
        bus.stop();
        start(m, true);
        EXPECT_EQ(edit("edtAddress_Hex")->text(), "*00");
        EXPECT_TRUE(combo("cmbBaudRate")->isEnabled());
        const std::string model = c.model;
        EXPECT_EQ(combo("cmbPotocolSelect")->isEnabled(), model == "7385" || model == "7382");
        edit("edtAddress_Dec")->setText("5");
        combo("cmbBaudRate")->setCurrentIndex(4);
        check("chkCheckSum")->setChecked(true);
        if (c.protocol >= 0) combo("cmbPotocolSelect")->setCurrentIndex(c.protocol);
        dialogs.clear();
        click("btSystemUpdate");
        EXPECT_EQ(dialogs.texts("information"), QStringList{"Update success!"});
        const std::string r = received();
        EXPECT_NE(r.find(c.sent), std::string::npos) << r;
        EXPECT_EQ(r.find("$05"), std::string::npos) << r;  // still addressed as 00
        const ModuleState after = bus.module(0);
        EXPECT_EQ(after.address, 5);
        EXPECT_EQ(after.baudCode, 7);
        EXPECT_EQ(tree.currentItem()->text(0), QString("(*)") + c.model);
    }
}

TEST_F(Digital, LoadInInitStateReconfiguresTheModule) {
    ModuleState m = dio("7396", 0x20);
    m.init = true;
    start(m, true);
    edit("edtAddress_Dec")->setText("9");
    const QString file = dir.filePath("7396.txt");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("Module Name:  ODEL-7396 \nBaudRate: 7\ncheckSum: 0\nPotocol: 1\n");
    f.close();
    dialogs.fileAnswers.push_back(file);
    static_cast<TfrmM7385*>(page.get())->LoadConfiguration();
    EXPECT_EQ(dialogs.texts("information"), QStringList{"Update success!"});
    EXPECT_NE(received().find("%0009400A04|"), std::string::npos) << received();
    EXPECT_EQ(bus.module(0).baudCode, 10);
    EXPECT_EQ(bus.module(0).format, 0x04);
    EXPECT_FALSE(check("chkCheckSum")->isChecked());
    EXPECT_TRUE(timer()->isActive());

    // An index outside the baud list refuses the file before anything is sent; a cancelled
    // load leaves the poll running.
    for (const char* content :
         {"Module Name:  ODEL-7396 \nBaudRate: 8\ncheckSum: 0\nPotocol: 0\n",
          "Module Name:  ODEL-7385 \nBaudRate: 3\ncheckSum: 0\nPotocol: 0\n"}) {
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
        f.close();
        timer()->stop();
        dialogs.clear();
        bus.clearReceived();
        dialogs.fileAnswers.push_back(file);
        static_cast<TfrmM7385*>(page.get())->LoadConfiguration();
        EXPECT_EQ(dialogs.texts("error"), QStringList{"Load Configuration File Error!"});
        EXPECT_EQ(received(), "");
        EXPECT_TRUE(timer()->isActive());
    }
    timer()->stop();
    static_cast<TfrmM7385*>(page.get())->LoadConfiguration();  // cancelled
    EXPECT_TRUE(timer()->isActive());
    EXPECT_EQ(received(), "");
}

}  // namespace

namespace {

class DigitalFiles : public PageTest {
  protected:
    template <class Page>
    void everyState(const std::string& model) {
        const std::vector<SavedState> states = {
            {"normal state", nullptr, nullptr, false},
            {"INIT, Modbus bit set", [](ModuleState& m) { m.format = 0x04; }, nullptr, true},
            {"INIT, baud code outside the list", [](ModuleState& m) { m.baudCode = 0x0B; },
             [this] { EXPECT_EQ(combo("cmbBaudRate")->currentIndex(), -1); }, true},
            {"INIT, settings chosen but not written", nullptr,
             [this] {
                 combo("cmbBaudRate")->setCurrentIndex(7);
                 check("chkCheckSum")->setChecked(true);
                 combo("cmbPotocolSelect")->setCurrentIndex(1);
             },
             true},
        };
        expectLoadsBackEveryState<Page>(model, states);
    }
};

TEST_F(DigitalFiles, EveryPageLoadsBackEveryFileItSaves) {
    everyState<TfrmM7385>("7385");
    everyState<TfrmM7396>("7396");
    everyState<TfrmM7390>("7390");
    everyState<TfrmM7380>("7380");
    everyState<TfrmM7383>("7383");
    everyState<TfrmM7381>("7381");
    everyState<TfrmM7382>("7382");
}

}  // namespace

// The frame on the multi-channel base page: INIT and normal state, the general Update with its
// address checks, tree node renaming, the wait dialog and the watchdog write.
#include <QProgressBar>

#include "PageFixture.h"
#include "pages/analog_in/Unitm7354.h"
#include "pages/analog_in/Unitm7354r.h"
#include "pages/frame/Unitmwf.h"

using namespace odel::test;
using odel::ui::TfrmM7354;
using odel::ui::TfrmM7354R;

namespace {

class GeneralUpdate : public PageTest {};

TEST_F(GeneralUpdate, NormalStateShowsTheModuleAndLocksTheInitOnlyControls) {
    auto m = module("7354R", 0x10);
    m.watchdog = 123;
    m.firmware = "B2.05";
    startBus({m});
    open<TfrmM7354R>("10", "(10)7354R");

    EXPECT_EQ(edit("edtAddress_Dec")->text(), "16");
    EXPECT_EQ(edit("edtAddress_Hex")->text(), "10");
    EXPECT_EQ(combo("cmbBaudRate")->currentText(), "9600 bps");
    EXPECT_EQ(edit("edtFirmwareVer")->text(), "B2.05");
    EXPECT_EQ(edit("edtCommWDT")->text(), "12.3");
    EXPECT_EQ(combo("cmbDataFormat")->currentIndex(), 0);
    EXPECT_EQ(combo("cmbPotocolSelect")->currentText(), "MERIDOX");
    for (const char* name : {"cmbBaudRate", "cmbDataFormat", "cmbIntegrationTime",
                             "cmbPotocolSelect", "btZeroCal", "btSpanCal"})
        EXPECT_FALSE(get<QWidget>(name)->isEnabled()) << name;
    EXPECT_FALSE(check("chkCheckSum")->isEnabled());
    EXPECT_TRUE(get<QWidget>("btCJCCal")->isEnabled());
    EXPECT_FALSE(edit("edtAddress_Hex")->isEnabled());
}

TEST_F(GeneralUpdate, NormalStateUpdateSendsTheReadCodesUnchangedAndTheWatchdog) {
    auto m = module("7354R", 0x10);
    m.format = 0x80;  // 60 ms integration time
    startBus({m});
    open<TfrmM7354R>("10", "(10)7354R");
    // Changes to INIT-only controls are not sent in normal state.
    combo("cmbBaudRate")->setCurrentIndex(7);
    combo("cmbDataFormat")->setCurrentIndex(2);
    edit("edtCommWDT")->setText("5");
    click("btSystemUpdate");

    EXPECT_EQ(dialogs.texts("error"), QStringList{});
    EXPECT_EQ(dialogs.texts("information"), QStringList{"Update General Setting Success!"});
    const std::string r = received();
    EXPECT_NE(r.find("$102|$10M|%10100F0680|"), std::string::npos) << r;
    EXPECT_NE(r.find("$10X0050|"), std::string::npos) << r;
    EXPECT_EQ(bus.module(0).watchdog, 50);
    EXPECT_EQ(bus.module(0).baudCode, 6);
    // The wait dialog ran for the page's wait time, and the controls show the module again.
    ASSERT_EQ(dialogs.texts("exec"), QStringList{"TfrmMWaitFor"});
    EXPECT_EQ(combo("cmbBaudRate")->currentIndex(), 3);
    EXPECT_EQ(tree.currentItem()->text(0), "(10)7354R");
    EXPECT_TRUE(page->findChild<QTimer*>("tmrUpdateAIData")->isActive());
}

TEST_F(GeneralUpdate, WaitDialogLastsTheWaitTimeOfThePage) {
    startBus({module("7354R", 0x10)});
    open<TfrmM7354R>("10", "(10)7354R");
    int maximum = -1;
    QString label;
    dialogs.execHandler = [&](QDialog* d) {
        maximum = d->findChild<QProgressBar*>("ProgressBar1")->maximum();
        return QDialog::Accepted;
    };
    click("btSystemUpdate");
    EXPECT_EQ(maximum, 1000);
    ASSERT_FALSE(dialogs.shown.empty());
}

TEST_F(GeneralUpdate, WaitDialogClosesItselfAfterItsTicks) {
    odel::ui::TfrmMWaitFor wait;
    wait.ProgressBar1->setRange(0, 1000);
    wait.ProgressBar1->setValue(0);
    wait.tmrStatusUpdate->setInterval(5);
    QElapsedTimer t;
    t.start();
    wait.exec();
    EXPECT_EQ(wait.ProgressBar1->value(), 1000);
    EXPECT_EQ(wait.windowTitle(), "Message");
    EXPECT_LT(t.elapsed(), 2000);
    auto labels = wait.findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels[0]->text(), "Please wait  a moment !!");
}

TEST_F(GeneralUpdate, BadDecimalAddressesSendNothingButStillWaitAndReRead) {
    startBus({module("7354R", 0x10)});
    open<TfrmM7354R>("10", "(10)7354R");
    for (const char* text : {"0", "256", "", "1a", "-3"}) {
        SCOPED_TRACE(text);
        dialogs.clear();
        bus.clearReceived();
        edit("edtAddress_Dec")->setText(text);
        click("btSystemUpdate");
        EXPECT_EQ(dialogs.texts("error"),
                  QStringList{"Please input dicimal address between 1 and 255!"});
        EXPECT_EQ(dialogs.texts("exec"), QStringList{"TfrmMWaitFor"});
        EXPECT_EQ(dialogs.texts("information"), QStringList{});
        const std::string r = received();
        EXPECT_EQ(r.find('%'), std::string::npos) << r;
        EXPECT_EQ(r.find("$10X"), std::string::npos) << r;
        EXPECT_EQ(r.rfind("$102|", 0), 0u) << r;  // the settings are read back
        EXPECT_EQ(edit("edtAddress_Dec")->text(), "16");
    }
}

TEST_F(GeneralUpdate, AddressChangeRenamesTheNodeAndSortsTheTree) {
    startBus({module("7354R", 0x10), module("7352R", 0x0C)});
    new QTreeWidgetItem(portNode, QStringList{"(0C)7352R"});
    open<TfrmM7354R>("10", "(10)7354R");
    // Order before: (0C) then (10); after moving 10 to 0A the renamed node comes first.
    edit("edtAddress_Dec")->setText("10");
    click("btSystemUpdate");
    EXPECT_EQ(dialogs.texts("information"), QStringList{"Update General Setting Success!"});
    EXPECT_EQ(bus.module(0).address, 0x0A);
    EXPECT_NE(received().find("%100A0F0600|"), std::string::npos) << received();
    ASSERT_EQ(portNode->childCount(), 2);
    EXPECT_EQ(portNode->child(0)->text(0), "(0A)7354R");
    EXPECT_EQ(portNode->child(1)->text(0), "(0C)7352R");
    EXPECT_EQ(edit("edtAddress_Hex")->text(), "0A");
    // The page keeps talking to the module at its new address.
    bus.clearReceived();
    static_cast<TfrmM7354R*>(page.get())->tmrUpdateAIDataTimer();
    EXPECT_EQ(received(), "#0A|");
}

TEST_F(GeneralUpdate, AddressOwnedByAnotherModuleIsRefused) {
    startBus({module("7354R", 0x10), module("7352R", 0x05)});
    open<TfrmM7354R>("10", "(10)7354R");
    edit("edtAddress_Dec")->setText("5");
    click("btSystemUpdate");
    EXPECT_EQ(dialogs.texts("error"),
              QStringList{"The address 5 (Dec) is used by Module [7352R] !"});
    EXPECT_EQ(dialogs.texts("information"), QStringList{});
    EXPECT_EQ(received().find('%'), std::string::npos) << received();
    EXPECT_EQ(bus.module(0).address, 0x10);
    EXPECT_EQ(tree.currentItem()->text(0), "(10)7354R");
    bus.clearReceived();
    static_cast<TfrmM7354R*>(page.get())->tmrUpdateAIDataTimer();
    EXPECT_EQ(received(0), "#10|");
}

TEST_F(GeneralUpdate, FailuresOfTheQueryAndTheWriteAreReported) {
    startBus({module("7354R", 0x10)});
    open<TfrmM7354R>("10", "(10)7354R");
    bus.setFault(0, odel::sim::Fault::NoReply, "$M");
    click("btSystemUpdate");
    EXPECT_EQ(dialogs.texts("error"), QStringList{"Query module configuration failed!"});
    bus.clearFault(0);

    dialogs.clear();
    bus.setFault(0, odel::sim::Fault::Reject, "%");
    edit("edtAddress_Dec")->setText("17");
    click("btSystemUpdate");
    EXPECT_EQ(dialogs.texts("error"), QStringList{"Update failed!"});
    EXPECT_EQ(dialogs.texts("information"), QStringList{});
    bus.clearFault(0);
    // The old address was staged again: the page still reaches the module at 10.
    EXPECT_EQ(edit("edtAddress_Dec")->text(), "16");
    EXPECT_EQ(tree.currentItem()->text(0), "(10)7354R");
}

TEST_F(GeneralUpdate, WatchdogTextsAndWhatTheyWrite) {
    struct Case {
        const char* text;
        const char* sent;  // nullptr: refused
    };
    const Case cases[] = {{"999.9", "$10X9999|"}, {"abc", "$10X0000|"}, {"12.34", "$10X0123|"},
                          {"0", "$10X0000|"},     {"1000", nullptr},    {".", "$10X0000|"}};
    startBus({module("7354R", 0x10)});
    open<TfrmM7354R>("10", "(10)7354R");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        dialogs.clear();
        bus.clearReceived();
        edit("edtCommWDT")->setText(c.text);
        click("btSystemUpdate");
        const std::string r = received();
        if (c.sent) {
            EXPECT_NE(r.find(c.sent), std::string::npos) << r;
            EXPECT_EQ(dialogs.texts("information"), QStringList{"Update General Setting Success!"});
        } else {
            EXPECT_EQ(r.find("$10X"), std::string::npos) << r;
            EXPECT_EQ(dialogs.texts("error"),
                      QStringList{"The WDT must be between 0.0 and 999.9!"});
            EXPECT_EQ(dialogs.texts("information"), QStringList{});
        }
    }
    // A refused watchdog write is reported.
    dialogs.clear();
    bus.setFault(0, odel::sim::Fault::Reject, "$X");
    edit("edtCommWDT")->setText("1");
    click("btSystemUpdate");
    EXPECT_EQ(dialogs.texts("error"), QStringList{"Update WDT failed!"});
    // 100 ms before each watchdog write, 100 ms before the channel read-back.
    EXPECT_NE(std::count(pauses.begin(), pauses.end(), 100), 0);
}

TEST_F(GeneralUpdate, WatchdogEditTakesDigitsAndPointOnly) {
    startBus({module("7354R", 0x10)});
    open<TfrmM7354R>("10", "(10)7354R");
    QLineEdit* wdt = edit("edtCommWDT");
    wdt->clear();
    QTest::keyClicks(wdt, "1a2.-5+6");
    EXPECT_EQ(wdt->text(), "12.56");
    QTest::keyClicks(wdt, "7");
    EXPECT_EQ(wdt->text(), "12.56");  // at most five characters
    EXPECT_EQ(wdt->toolTip(), "0.0~999.9");
}

TEST_F(GeneralUpdate, InitStateAddressesZeroAndWritesEveryGeneralSetting) {
    auto m = module("7354R", 0x40);
    m.init = true;
    startBus({m});
    open<TfrmM7354R>("*", "(*)7354R");
    EXPECT_EQ(edit("edtAddress_Hex")->text(), "*00");
    for (const char* name : {"cmbBaudRate", "cmbDataFormat", "cmbIntegrationTime",
                             "cmbPotocolSelect", "btZeroCal", "btSpanCal", "chkCheckSum"})
        EXPECT_TRUE(get<QWidget>(name)->isEnabled()) << name;

    edit("edtAddress_Dec")->setText("33");
    combo("cmbBaudRate")->setCurrentIndex(5);         // 38.4 kbps: code 08
    check("chkCheckSum")->setChecked(true);           // bit 6
    combo("cmbDataFormat")->setCurrentIndex(1);       // "01"
    combo("cmbIntegrationTime")->setCurrentIndex(1);  // bit 7
    combo("cmbPotocolSelect")->setCurrentIndex(1);    // bit 2
    click("btSystemUpdate");

    EXPECT_EQ(dialogs.texts("error"), QStringList{});
    const std::string r = received();
    EXPECT_EQ(r.rfind("$002|%00210F08C5|", 0), 0u) << r;
    EXPECT_NE(r.find("$00X"), std::string::npos) << r;  // still at 00 afterwards
    EXPECT_EQ(bus.module(0).address, 0x21);
    EXPECT_EQ(bus.module(0).baudCode, 8);
    EXPECT_EQ(bus.module(0).format, 0xC5);
    EXPECT_EQ(tree.currentItem()->text(0), "(*)7354R");
    EXPECT_EQ(dialogs.texts("information"), QStringList{"Update General Setting Success!"});
}

TEST_F(GeneralUpdate, InitStateKeepsABaudCodeTheListDoesNotHold) {
    auto m = module("7354R", 0x40);
    m.init = true;
    m.baudCode = 0x0B;  // no entry of the baud list
    startBus({m});
    open<TfrmM7354R>("*", "(*)7354R");
    EXPECT_EQ(combo("cmbBaudRate")->currentIndex(), -1);
    edit("edtAddress_Dec")->setText("33");
    click("btSystemUpdate");
    const std::string r = received();
    EXPECT_EQ(r.rfind("$002|%00210F0B", 0), 0u) << r;
}

TEST_F(GeneralUpdate, OneRangePageWritesItsRangeWithTheConfiguration) {
    startBus({module("7354", 0x05)});
    open<TfrmM7354>("05", "(05)7354");
    EXPECT_TRUE(get<QComboBox>("cmbTypeChangeAllCh")->isVisibleTo(page.get()));
    EXPECT_FALSE(get<QComboBox>("cmbTypeChangeCh0")->isVisibleTo(page.get()));
    EXPECT_FALSE(get<QWidget>("btFollowCh0")->isVisibleTo(page.get()));
    EXPECT_FALSE(edit("edtCommWDT")->isVisibleTo(page.get()));
    combo("cmbTypeChangeAllCh")->setCurrentIndex(4);  // "+/- 1V": 04
    click("btSystemUpdate");
    EXPECT_EQ(dialogs.texts("information"), QStringList{"Update General Setting Success!"});
    const std::string r = received();
    EXPECT_NE(r.find("%0505040600|"), std::string::npos) << r;
    EXPECT_EQ(r.find("$05X"), std::string::npos) << r;  // no watchdog on this page
    EXPECT_EQ(bus.module(0).typeCode, 4);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(get<QLabel>(QString("labAIUnitCh%1").arg(i))->text(), "V");
}

}  // namespace

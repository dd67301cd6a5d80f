// The channel grid of the multi-channel pages: polling, enable masks, ranges per page kind.
#include "PageFixture.h"
#include "common/ScriptedPeer.h"
#include "pages/analog_in/Unitm7347.h"
#include "pages/analog_in/Unitm7352.h"
#include "pages/analog_in/Unitm7352r.h"
#include "pages/analog_in/Unitm7354.h"
#include "pages/analog_in/Unitm7354r.h"
#include "pages/analog_in/Unitm7356.h"

using namespace odel::test;
using namespace odel::ui;

namespace {

class Channels : public PageTest {
  protected:
    TfrmM7354R* ai() const { return static_cast<TfrmM7354R*>(page.get()); }
    QString value(int i) const { return edit(QString("edtAIValCh%1").arg(i))->text(); }
    QString unit(int i) const { return get<QLabel>(QString("labAIUnitCh%1").arg(i))->text(); }
    QComboBox* range(int i) const { return combo(QString("cmbTypeChangeCh%1").arg(i)); }
    QCheckBox* enable(int i) const { return check(QString("chkEnableCh%1").arg(i)); }
};

TEST_F(Channels, PollingShowsValuesBurnOutAndTheHeartbeat) {
    auto m = module("7354R", 0x10);
    for (int& r : m.ranges) r = 0x06;  // +/- 20 mA: values print as +00.500 ...
    m.burnout[2] = true;
    startBus({m});
    open<TfrmM7354R>("10", "(10)7354R");
    ai()->tmrUpdateAIDataTimer();
    EXPECT_EQ(received(), "#10|");
    EXPECT_EQ(status.panelText(0), "Polling AI data...");
    EXPECT_EQ(status.panelText(1), "1");
    EXPECT_EQ(value(0), "+00.500");
    EXPECT_EQ(value(1), "+01.500");
    EXPECT_EQ(value(2), "Burn-out");
    EXPECT_EQ(value(3), "+03.500");
    EXPECT_EQ(value(7), "+07.500");
    ai()->tmrUpdateAIDataTimer();
    EXPECT_EQ(status.panelText(1), "0");

    bus.setFault(0, odel::sim::Fault::NoReply);
    ai()->tmrUpdateAIDataTimer();
    EXPECT_EQ(status.panelText(0), "Fail to fresh AI data!");
    EXPECT_EQ(status.panelText(1), "3");
    ai()->tmrUpdateAIDataTimer();
    EXPECT_EQ(status.panelText(1), "2");
    EXPECT_EQ(value(0), "+00.500");  // the last values stay
}

TEST_F(Channels, HexFormatCutsFourDigitsPerChannel) {
    auto m = module("7354R", 0x10);
    m.format = 0x02;
    for (int& r : m.ranges) r = 0x06;
    startBus({m});
    open<TfrmM7354R>("10", "(10)7354R");
    EXPECT_EQ(combo("cmbDataFormat")->currentText(), "2's Complement of Hex");
    ai()->tmrUpdateAIDataTimer();
    // 0.5 of 20 mA full scale is 0.025 * 32767 = 819 (0333 hex).
    EXPECT_EQ(value(0), "0333");
    EXPECT_EQ(value(1).size(), 4);
    EXPECT_EQ(value(7).size(), 4);
}

TEST_F(Channels, ShortReplyLeavesTheLastEditsEmpty) {
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok());
    peer.setHandler([](const std::string& line) -> std::optional<std::string> {
        if (line == "$102\r") return "!100F0600\r";
        if (line == "$10F\r") return "!10A1.00\r";
        if (line == "$10Y\r") return "!100000\r";
        if (line == "$106\r") return "!10FF\r";
        if (line.rfind("$108C", 0) == 0) return "!10C" + line.substr(5, 1) + "R0F\r";
        if (line == "#10\r") return ">+001.00+002.00+888888+04\r";
        return std::nullopt;
    });
    link = std::make_unique<odel::SerialPort>(peer.path());
    ASSERT_TRUE(link->Open());
    link->SetLineSettings(9600, 8, 0, 0);
    link->SetTimeout(80);
    auto* node = new QTreeWidgetItem(portNode, QStringList{"(10)7354R"});
    tree.setCurrentItem(node);
    page.reset(new TfrmM7354R);
    ai()->InitModule(link.get(), "10", &status, &tree);
    stopTimer();
    ai()->tmrUpdateAIDataTimer();
    EXPECT_EQ(value(0), "+001.00");
    EXPECT_EQ(value(1), "+002.00");
    EXPECT_EQ(value(2), "Burn-out");
    EXPECT_EQ(value(3), "+04");
    EXPECT_EQ(value(4), "");
    EXPECT_EQ(value(7), "");
    page.reset();
}

TEST_F(Channels, EnableMaskOfTickedChannels) {
    startBus({module("7354R", 0x10)});
    open<TfrmM7354R>("10", "(10)7354R");
    click("btUncheckAll");
    for (int i = 0; i < 8; ++i) EXPECT_FALSE(enable(i)->isChecked());
    EXPECT_EQ(received(), "");  // the grid buttons send nothing
    for (int i : {0, 1, 7}) enable(i)->setChecked(true);
    click("btSingleChUpdate");
    const std::string r = received();
    EXPECT_EQ(r.rfind("$10583|$107C0R0F|$107C1R0F|", 0), 0u) << r;
    EXPECT_EQ(bus.module(0).enableMask, 0x83);
    EXPECT_EQ(dialogs.texts("information"), QStringList{"Update Channel Setup Success!"});
    EXPECT_EQ(std::count(pauses.begin(), pauses.end(), 100), 8);  // ChannelDelay per channel
    click("btCheckAll");
    for (int i = 0; i < 8; ++i) EXPECT_TRUE(enable(i)->isChecked());
}

TEST_F(Channels, RangesPerChannelAndTheUnknownCode) {
    auto m = module("7354R", 0x10);
    m.ranges[5] = 0x1F;
    startBus({m});
    open<TfrmM7354R>("10", "(10)7354R");
    EXPECT_EQ(range(0)->currentText(), "K Type ");
    EXPECT_EQ(unit(0), "'C");
    EXPECT_EQ(range(5)->currentIndex(), -1);
    EXPECT_EQ(range(5)->currentText(), "");
    EXPECT_EQ(unit(5), "");
    range(3)->setCurrentIndex(range(3)->findText("+ 4~20mA"));
    range(2)->setCurrentIndex(range(2)->findText("J Type "));
    click("btSingleChUpdate");
    const std::string r = received();
    EXPECT_NE(r.find("$107C3R07|"), std::string::npos) << r;
    EXPECT_NE(r.find("$107C2R0E|"), std::string::npos) << r;
    // This page writes J type (0E) for a channel without selection.
    EXPECT_NE(r.find("$107C5R0E|"), std::string::npos) << r;
    EXPECT_EQ(bus.module(0).ranges[3], 0x07);
    EXPECT_EQ(unit(3), "mA");
}

TEST_F(Channels, ChannelWithoutSelectionKeepsItsCodeOnPagesWithoutDefault) {
    auto m = module("7352R", 0x01);
    m.ranges[4] = 0x1F;
    startBus({m});
    open<TfrmM7352R>("01", "(01)7352R");
    EXPECT_EQ(range(4)->currentIndex(), -1);
    click("btSingleChUpdate");
    const std::string r = received();
    EXPECT_NE(r.find("$017C3R08|"), std::string::npos) << r;
    EXPECT_EQ(r.find("$017C4R"), std::string::npos) << r;
    EXPECT_EQ(bus.module(0).ranges[4], 0x1F);
    EXPECT_EQ(dialogs.texts("information"), QStringList{"Update Channel Setup Success!"});
}

TEST_F(Channels, FailuresOfTheChannelUpdateAndTheirMessages) {
    startBus({module("7354R", 0x10)});
    open<TfrmM7354R>("10", "(10)7354R");
    bus.setFault(0, odel::sim::Fault::Reject, "$7C4");
    click("btSingleChUpdate");
    EXPECT_EQ(status.panelText(0), "Change AI range failed");
    EXPECT_EQ(dialogs.texts("error"), QStringList{"Error occurred during setup!"});
    // The other channels were still written.
    EXPECT_NE(received().find("$107C7R0F|"), std::string::npos);

    dialogs.clear();
    bus.setFault(0, odel::sim::Fault::Reject, "$5");
    click("btSingleChUpdate");
    EXPECT_EQ(dialogs.texts("error"), QStringList{"Error occurred during setup!"});

    bus.setFault(0, odel::sim::Fault::NoReply, "$6");
    click("btRefreshAIStatus");
    EXPECT_EQ(status.panelText(0), "Fail to fresh AI status!");
    bus.setFault(0, odel::sim::Fault::NoReply, "$8C2");
    click("btRefreshAIStatus");
    EXPECT_EQ(status.panelText(0), "Fail to fresh AI channel-2");
    EXPECT_EQ(range(2)->currentIndex(), -1);  // read as code 0, not in this table
}

TEST_F(Channels, SixChannelPageFollowsChannelZeroOnItsChannelsOnly) {
    startBus({module("7347", 0x0C)});
    open<TfrmM7347>("0C", "(0C)7347");
    EXPECT_FALSE(enable(6)->isVisibleTo(page.get()));
    EXPECT_FALSE(enable(7)->isEnabled());
    EXPECT_FALSE(get<QLabel>("labAIUnitCh0")->isVisibleTo(page.get()));
    range(7)->setCurrentIndex(0);
    range(0)->setCurrentIndex(14);
    EXPECT_EQ(range(0)->toolTip(), "Ni-508:-80~150");
    click("btFollowCh0");
    for (int i = 1; i < 6; ++i) EXPECT_EQ(range(i)->currentIndex(), 14);
    EXPECT_EQ(range(7)->currentIndex(), 0);
    click("btSingleChUpdate");
    const std::string r = received();
    EXPECT_EQ(r.rfind("$0C53F|$0C7C0R2E|", 0), 0u) << r;
    EXPECT_EQ(r.find("$0C7C6"), std::string::npos) << r;
    EXPECT_EQ(bus.module(0).ranges[5], 0x2E);
    EXPECT_EQ(range(5)->currentText(), "Ni-508:-80~150");  // and 2E reads back as that item
}

TEST_F(Channels, RtdPageWritesOhmsAsFormatEleven) {
    auto m = module("7347", 0x0C);
    m.init = true;
    startBus({m});
    open<TfrmM7347>("*", "(*)7347");
    EXPECT_EQ(combo("cmbDataFormat")->count(), 2);
    EXPECT_FALSE(combo("cmbIntegrationTime")->isVisibleTo(page.get()));
    edit("edtAddress_Dec")->setText("12");
    combo("cmbDataFormat")->setCurrentIndex(1);
    click("btSystemUpdate");
    EXPECT_EQ(bus.module(0).format & 3, 3);
    EXPECT_EQ(combo("cmbDataFormat")->currentText(), "Ohms");
    bus.clearReceived();
    click("btRefreshAIStatus");
    EXPECT_EQ(status.panelText(0), "");
    bus.setFault(0, odel::sim::Fault::NoReply, "$6");
    click("btRefreshAIStatus");
    EXPECT_EQ(status.panelText(0), "Fail to fresh channel status!");
}

TEST_F(Channels, Page7356RangeTableAndItsTimings) {
    auto m = module("7356", 0x11);
    m.ranges[1] = 0x09;
    startBus({m});
    open<TfrmM7356>("11", "(11)7356");
    EXPECT_EQ(range(1)->currentText(), "+/- 5V");
    EXPECT_EQ(unit(1), "V");
    range(2)->setCurrentIndex(4);
    range(3)->setCurrentIndex(13);
    click("btSingleChUpdate");
    EXPECT_NE(received().find("$117C2R08|$117C3R14|"), std::string::npos) << received();
    EXPECT_EQ(std::count(pauses.begin(), pauses.end(), 200), 8);
    int waited = 0;
    dialogs.execHandler = [&](QDialog* d) {
        waited = d->findChild<QProgressBar*>()->maximum();
        return QDialog::Accepted;
    };
    click("btSystemUpdate");
    EXPECT_EQ(waited, 5000);
}

TEST_F(Channels, OneRangePagesShowTheTypeCodeOnAllChannels) {
    struct Case {
        int code;
        const char* item;
        const char* unit;
    };
    for (const Case& c : {Case{0x04, "+/- 1V", "V"}, Case{0x05, "+/- 2.5V", "V"},
                          Case{0x06, "+/- 20mA", "mA"}, Case{0x10, "T Type ", "'C"}}) {
        SCOPED_TRACE(c.item);
        auto m = module("7354", 0x05);
        m.typeCode = c.code;
        bus.stop();
        startBus({m});
        open<TfrmM7354>("05", "(05)7354");
        EXPECT_EQ(combo("cmbTypeChangeAllCh")->currentText(), c.item);
        for (int i = 0; i < 8; ++i) EXPECT_EQ(unit(i), c.unit);
    }
}

TEST_F(Channels, OneRangePageChannelUpdateWritesTheMaskOnly) {
    startBus({module("7352", 0x0F)});
    open<TfrmM7352>("0F", "(0F)7352");
    EXPECT_EQ(combo("cmbTypeChangeAllCh")->currentText(), "+/- 10V");
    enable(3)->setChecked(false);
    click("btSingleChUpdate");
    EXPECT_EQ(dialogs.texts("information"), QStringList{"Update success!"});
    EXPECT_EQ(received().rfind("$0F5F7|", 0), 0u) << received();
    EXPECT_EQ(received().find("$0F7C"), std::string::npos);
    EXPECT_EQ(bus.module(0).enableMask, 0xF7);
    int waited = 0;
    dialogs.execHandler = [&](QDialog* d) {
        waited = d->findChild<QProgressBar*>()->maximum();
        return QDialog::Accepted;
    };
    click("btSystemUpdate");
    EXPECT_EQ(waited, 3000);
    bus.setFault(0, odel::sim::Fault::NoReply, "$6");
    click("btRefreshAIStatus");
    EXPECT_EQ(status.panelText(0), "Try to read status!");
}

TEST_F(Channels, Page7354RetriesTheMaskReadOnce) {
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok());
    int maskReads = 0;
    std::string mask = "FF";
    peer.setHandler([&](const std::string& line) -> std::optional<std::string> {
        if (line == "$052\r") return "!050F0600\r";
        if (line == "$05F\r") return "!05A1.00\r";
        if (line == "$056\r") {
            ++maskReads;
            if (maskReads == 2) return std::nullopt;  // the refresh's first read fails
            return "!05" + (maskReads == 1 ? mask : std::string("00")) + "\r";
        }
        return std::nullopt;
    });
    link = std::make_unique<odel::SerialPort>(peer.path());
    ASSERT_TRUE(link->Open());
    link->SetLineSettings(9600, 8, 0, 0);
    link->SetTimeout(80);
    tree.setCurrentItem(new QTreeWidgetItem(portNode, QStringList{"(05)7354"}));
    page.reset(new TfrmM7354);
    ai()->InitModule(link.get(), "05", &status, &tree);
    stopTimer();
    ASSERT_TRUE(enable(0)->isChecked());
    status.setPanelText(0, "");
    click("btRefreshAIStatus");  // fails, then the retry answers 00
    EXPECT_EQ(maskReads, 3);
    EXPECT_TRUE(enable(0)->isChecked());  // grid unchanged
    EXPECT_EQ(status.panelText(0), "");
    page.reset();
}

}  // namespace

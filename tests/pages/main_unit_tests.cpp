// The main-unit page: general settings and slot list of both unit kinds, INIT-only Update.
#include <QGroupBox>

#include "PageFixture.h"
#include "device/Module8600.h"
#include "pages/main_unit/Unitm8600.h"

using namespace odel::test;
using odel::sim::Fault;
using odel::sim::ModuleState;
using odel::ui::TfrmM8600;

namespace {

class MainUnitPage : public PageTest {
  protected:
    TfrmM8600* openUnit(const std::string& model, const std::string& table, bool init) {
        auto m = module(model, 0x03);
        m.slotTable = table;
        m.init = init;
        m.firmware = "B1.07";
        startBus({m});
        return open<TfrmM8600>(init ? "*" : "03", init ? "(*)" + QString::fromStdString(model)
                                                       : "(03)" + QString::fromStdString(model));
    }
    QStringList rows() const {
        QStringList out;
        auto* list = get<QTreeWidget>("ListView86KModule");
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            auto* it = list->topLevelItem(i);
            out << it->text(0) + "|" + it->text(1) + "|" + it->text(2);
        }
        return out;
    }
};

TEST_F(MainUnitPage, SlotListsOfBothUnitKinds) {
    struct Case {
        std::string model, table;
        QStringList rows;
    };
    const Case cases[] = {
        {"8600X",
         "3134FF1G72XYFF81",
         {"0|8631|ODEL-8631 8-channel analog input module",
          "1|8634|ODEL-8634 7-channel thermocouple input module",
          "3|8631G|ODEL-8631G 8-channel high speed input module",
          "4|8672|ODEL-8672 16-ch universal digital I/O module", "5|86XY|Unknown module (86XY)",
          "7|8681|ODEL-8681 6-channel relay output module"}},
        // An 8600 lists only its four slots, even of a longer table.
        {"8600",
         "2744FF8973747683",
         {"0|8627|ODEL-8627 3-channel RTD input module",
          "1|8644|ODEL-8644 4-channel analog output module",
          "3|8689|ODEL-8689 4-ch Counter/Frequency module"}},
        {"8600",
         "76778983",
         {"0|8676|ODEL-8676 8-ch digital input and 8-ch output module",
          "1|8677|ODEL-8677 16-channel digital output module",
          "2|8689|ODEL-8689 4-ch Counter/Frequency module",
          "3|8683|ODEL-8683 8-channel relay output module"}},
        // An 8600X with an 8-character table has four slots.
        {"8600X",
         "7374FFFF",
         {"0|8673|ODEL-8673 16-channel Digital input module",
          "1|8674|ODEL-8674 8-ch isolated digital input module"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model + " " + c.table);
        openUnit(c.model, c.table, false);
        EXPECT_EQ(rows(), c.rows);
        EXPECT_EQ(get<QGroupBox>("GroupBoxM8600")->title(),
                  "ODEL-" + QString::fromStdString(c.model));
        page.reset();  // the next case starts its own bus
        link.reset();
        bus.stop();
    }
}

TEST_F(MainUnitPage, NormalStateShowsTheUnitWithUpdateAndDownloadDisabled) {
    auto m = module("8600X", 0x03);
    m.format = 0x40;
    m.firmware = "B1.07";
    startBus({m});
    link->SetChecksum(1);
    open<TfrmM8600>("03", "(03)8600X");
    EXPECT_EQ(edit("EditAddrDec")->text(), "3");
    EXPECT_EQ(edit("EditAddrHex")->text(), "03");
    EXPECT_EQ(edit("EditFirmwareVer")->text(), "B1.07");
    EXPECT_EQ(combo("ComboBoxBaudRate")->currentText(), "9600 bps");
    EXPECT_TRUE(check("CheckBoxCheckSum")->isChecked());
    for (const char* name : {"ButtonUpdate", "ButtonDownload", "ComboBoxBaudRate",
                             "CheckBoxCheckSum", "EditAddrDec", "EditAddrHex"})
        EXPECT_FALSE(get<QWidget>(name)->isEnabled()) << name;
    EXPECT_EQ(get<QPushButton>("ButtonDownload")->text(), "Download Firmware");
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(MainUnitPage, InitUpdateWritesBaudAndChecksumAtAddress00) {
    auto* p = openUnit("8600", "31728977", true);
    EXPECT_EQ(edit("EditAddrHex")->text(), "*00");
    EXPECT_EQ(edit("EditAddrDec")->text(), "0");
    for (const char* name : {"ButtonUpdate", "ComboBoxBaudRate", "CheckBoxCheckSum"})
        EXPECT_TRUE(get<QWidget>(name)->isEnabled()) << name;
    combo("ComboBoxBaudRate")->setCurrentIndex(7);
    check("CheckBoxCheckSum")->setChecked(true);
    click("ButtonUpdate");
    EXPECT_EQ(dialogs.texts("information"), QStringList{"Update General Setting Success!"});
    EXPECT_EQ(received().substr(0, 17), "$002|%00000A40|$0") << received();
    EXPECT_EQ(bus.module(0).baudCode, 0x0A);
    EXPECT_EQ(bus.module(0).format, 0x40);
    EXPECT_EQ(p->module()->UnitBaudCode(), "0A");  // read back after the write
}

TEST_F(MainUnitPage, InitUpdateSendsNothingWithoutTheUnitsConfiguration) {
    // A baud code outside the list shows no selection and is kept as the unit's own.
    auto m = module("8600", 0x03);
    m.init = true;
    m.baudCode = 2;
    startBus({m});
    open<TfrmM8600>("*", "(*)8600");
    EXPECT_EQ(combo("ComboBoxBaudRate")->currentIndex(), -1);
    click("ButtonUpdate");
    EXPECT_EQ(received().substr(0, 15), "$002|%00000200|") << received();

    bus.setFault(0, Fault::NoReply, "$2");
    dialogs.clear();
    bus.clearReceived();
    click("ButtonUpdate");
    EXPECT_EQ(dialogs.texts("error"), QStringList{"Update General Setting failed!"});
    EXPECT_EQ(received().find('%'), std::string::npos) << received();
    EXPECT_EQ(status.panelText(0), "Fail to fresh general setting data!");
}

TEST_F(MainUnitPage, UnreadUnitOffersNoDownload) {
    auto m = module("8600", 0x03);
    m.init = true;
    m.fault = {Fault::NoReply, "$M"};
    startBus({m});
    open<TfrmM8600>("*", "(*)8600");
    EXPECT_EQ(status.panelText(0), "Fail to fresh general setting data!");
    EXPECT_FALSE(get<QWidget>("ButtonDownload")->isEnabled());
    EXPECT_TRUE(get<QWidget>("ButtonUpdate")->isEnabled());
    EXPECT_EQ(get<QTreeWidget>("ListView86KModule")->topLevelItemCount(), 0);
}

}  // namespace

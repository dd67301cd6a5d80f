// The bus search through the Search command, against the default simulated bus.
#include <QLineEdit>
#include <QProgressBar>
#include <QTimer>

#include "AppFixture.h"
#include "app/ComSet.h"
#include "app/DlgAskAddr.h"
#include "app/DlgSearch.h"
#include "app/SearchAnimation.h"
#include "device/SerialPort.h"

using odel::test::AppFixture;
using odel::ui::TfrmDlgAskAddr;
using odel::ui::TfrmDlgSearch;
namespace db = odel::sim::defaultbus;

class SearchTest : public AppFixture {
  protected:
    // Runs the Search command: answers the address dialog with `start` and drives the search
    // dialog's timer slot until it closes (or until stopAfter probes, then Stop scan).
    void search(const QString& start, int stopAfter = -1, const QString& timeout = "10") {
        click(portNode());
        win->frmComSet()->EditTimeOut->setText(timeout);
        rec.execHandler = [&, start, stopAfter](QDialog* d) -> int {
            if (auto* ask = qobject_cast<TfrmDlgAskAddr*>(d)) {
                ask->EditAddr->setText(start);
                QTest::mouseClick(ask->BitBtnOK, Qt::LeftButton);
                return ask->result();
            }
            auto* dlg = qobject_cast<TfrmDlgSearch*>(d);
            EXPECT_NE(dlg, nullptr);
            if (!dlg) return QDialog::Rejected;
            searchDialog(dlg);
            EXPECT_EQ(dlg->Timer1->interval(), win->link()->GetTimeout() + 30);
            EXPECT_TRUE(dlg->Timer1->isActive());
            EXPECT_TRUE(dlg->Animate1->isRunning());
            EXPECT_EQ(win->statbarMain->panelText(0), "Searcing modules, please wait a moment...");
            probes = 0;
            while (!dlg->Finished()) {
                if (probes == stopAfter)
                    QTest::mouseClick(dlg->btnStop, Qt::LeftButton);
                else
                    dlg->Timer1Timer();
                ++probes;
            }
            EXPECT_FALSE(dlg->Timer1->isActive());
            EXPECT_FALSE(dlg->Animate1->isRunning());
            lastHex = dlg->edtAddrHex->text();
            lastDec = dlg->edtAddrDec->text();
            progress = dlg->ProgressBar1->value();
            progressMax = dlg->ProgressBar1->maximum();
            return dlg->result();
        };
        win->tlbtnSearch->trigger();
    }
    virtual void searchDialog(TfrmDlgSearch*) {}

    QTreeWidgetItem* child(const QString& text) const {
        for (int i = 0; i < portNode()->childCount(); ++i)
            if (portNode()->child(i)->text(0) == text) return portNode()->child(i);
        return nullptr;
    }
    int data(QTreeWidgetItem* n) const { return n->data(0, odel::ui::kNodeDataRole).toInt(); }
    std::pair<int, int> images(QTreeWidgetItem* n) const {
        return {n->data(0, odel::ui::kImageRole).toInt(),
                n->data(0, odel::ui::kSelectedImageRole).toInt()};
    }

    int probes = 0, progress = 0, progressMax = 0;
    QString lastHex, lastDec;
};

TEST_F(SearchTest, FullSearchFindsEveryModuleOfTheDefaultBus) {
    search("0");
    EXPECT_EQ(win->statbarMain->panelText(0), "");
    EXPECT_EQ(progressMax, 256);
    EXPECT_EQ(progress, 256);  // one step per address
    EXPECT_EQ(lastHex, "FF");
    EXPECT_EQ(lastDec, "255");
    EXPECT_TRUE(portNode()->isExpanded());
    EXPECT_EQ(portNode()->childCount(), bus.moduleCount());

    struct Expect {
        QString text;
        int data;
        std::pair<int, int> img;
    } expected[] = {
        {"(*)7354", 0, {4, 5}},   {"(01)7352R", 0, {4, 5}},   {"(02)7354R", 1, {4, 5}},
        {"(03)8600X", 0, {6, 7}}, {"(04)7385", 2, {18, 19}},  {"(05)7354", 0, {4, 5}},
        {"(1B)8600", 0, {6, 7}},  {"(22)7352R", 2, {18, 19}}, {"(26)7396", 2, {18, 19}},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(e.text.toStdString());
        QTreeWidgetItem* n = child(e.text);
        ASSERT_NE(n, nullptr);
        EXPECT_EQ(data(n), e.data);
        EXPECT_EQ(images(n), e.img);
    }
    // Found in address order, each with the model the simulator holds at that address.
    for (int i = 1; i < portNode()->childCount(); ++i) {
        const QString t = portNode()->child(i)->text(0);
        bool ok = false;
        const int addr = t.mid(1, 2).toInt(&ok, 16);
        ASSERT_TRUE(ok) << t.toStdString();
        const int idx = bus.findModule(addr);
        ASSERT_GE(idx, 0);
        EXPECT_EQ(t.mid(4).toStdString(), bus.module(idx).model);
    }
    // The main unit's occupied slots, as its slot table lists them.
    QTreeWidgetItem* unit = child("(03)8600X");
    ASSERT_GT(unit->childCount(), 0);
    for (int i = 0; i < unit->childCount(); ++i) {
        QTreeWidgetItem* s = unit->child(i);
        EXPECT_TRUE(s->text(0).startsWith("(S")) << s->text(0).toStdString();
        EXPECT_EQ(images(s), std::make_pair(8, 9));
        EXPECT_EQ(data(s), 0);
    }
    EXPECT_LT(unit->childCount(), 8);  // one empty slot, one unknown code
    EXPECT_TRUE(rec.texts("error").isEmpty());
    EXPECT_TRUE(rec.texts("warning").isEmpty());
}

TEST_F(SearchTest, StopScanKeepsWhatWasFoundAndASecondSearchReplacesIt) {
    search("0", 6);  // ASCII answers take one probe each: addresses 0..5
    EXPECT_EQ(win->statbarMain->panelText(0), "");
    QStringList texts;
    for (int i = 0; i < portNode()->childCount(); ++i) texts << portNode()->child(i)->text(0);
    EXPECT_EQ(texts.mid(0, 4), (QStringList{"(*)7354", "(01)7352R", "(02)7354R", "(03)8600X"}));
    EXPECT_LE(portNode()->childCount(), 6);
    EXPECT_LT(progress, 6);

    // Each Modbus module costs three probes: the seven of them, then stop.
    search(QString::number(db::k7347Modbus), 21);
    QStringList modbus;
    for (int i = 0; i < portNode()->childCount(); ++i) modbus << portNode()->child(i)->text(0);
    EXPECT_EQ(modbus, (QStringList{"(20)7347", "(21)7347K", "(22)7352R", "(23)7354R", "(24)7364",
                                   "(25)7381", "(26)7396"}));
    EXPECT_EQ(progressMax, 256 - db::k7347Modbus);
    EXPECT_EQ(progress, 7);
}

TEST_F(SearchTest, StartAddress255ProbesOneAddress) {
    search("255");
    EXPECT_EQ(progressMax, 1);
    EXPECT_EQ(progress, 1);
    EXPECT_EQ(portNode()->childCount(), 0);
    EXPECT_EQ(probes, 4);  // three phases, then the closing tick
}

TEST_F(SearchTest, BadStartAddressKeepsTheDialogOpen) {
    click(portNode());
    struct Case {
        QString text;
        bool error;
    } cases[] = {{"256", true}, {"-1", true}, {"abc", true}, {"", false}};
    for (const auto& c : cases) {
        rec.clear();
        TfrmDlgAskAddr ask;
        ask.EditAddr->setText(c.text);
        QTest::mouseClick(ask.BitBtnOK, Qt::LeftButton);
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(ask.result(), 0);  // still open
        if (c.error) {
            EXPECT_EQ(rec.texts("error"),
                      QStringList{"Please input a dicimal number between 0 and 255!"});
            EXPECT_EQ(ask.EditAddr->text(), "0");
        } else {
            EXPECT_TRUE(rec.shown.empty());
        }
    }
    TfrmDlgAskAddr ask;
    EXPECT_EQ(ask.windowTitle(), "Search Installed Modules");
    EXPECT_EQ(ask.EditAddr->maxLength(), 3);
    ask.EditAddr->setText("17");
    QTest::mouseClick(ask.BitBtnOK, Qt::LeftButton);
    EXPECT_EQ(ask.result(), QDialog::Accepted);
    EXPECT_EQ(ask.StartAddr(), 17);
}

TEST_F(SearchTest, OutOfRangeStartThroughTheSearchCommand) {
    click(portNode());
    win->frmComSet()->EditTimeOut->setText("10");
    QStringList seen;
    rec.execHandler = [&](QDialog* d) -> int {
        if (auto* ask = qobject_cast<TfrmDlgAskAddr*>(d)) {
            ask->EditAddr->setText("300");
            QTest::mouseClick(ask->BitBtnOK, Qt::LeftButton);
            seen << QString::number(ask->result()) << ask->EditAddr->text();
            ask->EditAddr->setText(QString::number(db::k7396Modbus));
            QTest::mouseClick(ask->BitBtnOK, Qt::LeftButton);
            return ask->result();
        }
        auto* dlg = qobject_cast<TfrmDlgSearch*>(d);
        for (int i = 0; i < 3 && dlg && !dlg->Finished(); ++i) dlg->Timer1Timer();
        if (dlg) QTest::mouseClick(dlg->btnStop, Qt::LeftButton);
        return QDialog::Accepted;
    };
    win->tlbtnSearch->trigger();
    EXPECT_EQ(seen, (QStringList{"0", "0"}));  // still open, "0" put back
    EXPECT_EQ(rec.texts("error"), QStringList{"Please input a dicimal number between 0 and 255!"});
    EXPECT_EQ(rec.texts("exec"), (QStringList{"frmDlgAskAddr", "frmDlgSearch"}));
    ASSERT_EQ(portNode()->childCount(), 1);
    EXPECT_EQ(portNode()->child(0)->text(0), "(26)7396");
    EXPECT_EQ(win->statbarMain->panelText(0), "");
}

TEST_F(SearchTest, CancelledAddressDialogSearchesNothing) {
    addNode(portNode(), "(01)7352R", 0);
    click(portNode());
    rec.execHandler = [](QDialog*) { return int(QDialog::Rejected); };
    win->tlbtnSearchClick();
    EXPECT_EQ(rec.texts("exec"), QStringList{"frmDlgAskAddr"});
    EXPECT_EQ(portNode()->childCount(), 1);
    EXPECT_EQ(win->statbarMain->panelText(0), "COM Port status");
}

TEST_F(SearchTest, InvalidTimeoutWarnsAndSearchesWith80) {
    search("255", -1, "fast");
    EXPECT_EQ(rec.texts("warning"),
              QStringList{"Invalid timeout value!\nThe default value '80 ms' will be used!"});
    EXPECT_EQ(win->link()->GetTimeout(), 80);
    EXPECT_EQ(win->frmComSet()->EditTimeOut->text(), "80");
}

TEST_F(SearchTest, ChecksumModuleIsFoundOnlyInThePhaseWithChecksum) {
    bus.clearReceived();
    search(QString::number(db::k7354RChecksum), 3);
    ASSERT_GE(portNode()->childCount(), 1);
    EXPECT_EQ(portNode()->child(0)->text(0), "(02)7354R");
    EXPECT_EQ(data(portNode()->child(0)), 1);
    // Asked without checksum (ignored), then with it.
    const std::string rx = bus.received(bus.findModule(db::k7354RChecksum));
    EXPECT_EQ(rx.substr(0, 12), "$02M\r$02MD3\r");
}

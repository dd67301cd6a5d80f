// Saved state across restarts (in a scratch XDG_CONFIG_HOME): window places, port settings,
// network ports, the remembered bus and its re-check, a corrupt file, windows left off-screen.
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QScreen>
#include <QSettings>
#include <QSpinBox>
#include <QSplitter>
#include <QDir>

#include "AppFixture.h"
#include "app/BusMonitorWindow.h"
#include "app/ComSet.h"
#include "app/DlgAskAddr.h"
#include "app/DlgNetPort.h"
#include "app/DlgSearch.h"
#include "app/KnownBus.h"
#include "pages/frame/SavedState.h"

namespace {

using odel::ui::NodeCheck;
using odel::ui::TfrmMain;

class SavedStateTest : public ::testing::Test {
  protected:
    void SetUp() override {
        odel::ui::setPauseHandler([](int) {});
        odel::sim::BusDescription d;
        for (auto [model, address] : {std::pair{"7352", 1}, {"7341", 2}, {"7385", 3}})
            d.modules.push_back(*odel::sim::makeModule(model, address));
        d.modules[2].format |= 0x04;  // answers Modbus only
        ASSERT_TRUE(bus.start(d)) << bus.error();
    }
    void TearDown() override {
        win.reset();
        odel::ui::setPauseHandler({});
    }
    QString port() const { return QString::fromStdString(bus.slavePath()); }
    void start() {
        win = std::make_unique<TfrmMain>(QStringList{port()}, false);
        win->show();
    }
    // Closes the window as the user does ("Are you sure to exit?" answered Yes).
    void quit() {
        rec.questionAnswers.push_back(true);
        win->close();
        win.reset();
    }
    QTreeWidgetItem* portNode() const { return win->treeviewModule->topLevelItem(0)->child(0); }
    void click(QTreeWidgetItem* item) {
        for (auto* p = item->parent(); p; p = p->parent()) p->setExpanded(true);
        const QRect r = win->treeviewModule->visualItemRect(item);
        QTest::mouseClick(win->treeviewModule->viewport(), Qt::LeftButton, {},
                          QPoint(r.left() + 8, r.center().y()));
    }
    // Searches the selected port from `from` to `to` through the two dialogs.
    void search(const QString& from, const QString& to) {
        rec.execHandler = [from, to](QDialog* d) -> int {
            if (auto* ask = qobject_cast<odel::ui::TfrmDlgAskAddr*>(d)) {
                ask->EditAddr->setText(from);
                ask->EditEndAddr->setText(to);
                QTest::mouseClick(ask->BitBtnOK, Qt::LeftButton);
                return ask->result();
            }
            auto* dlg = qobject_cast<odel::ui::TfrmDlgSearch*>(d);
            while (dlg && !dlg->Finished()) dlg->Timer1Timer();
            return int(QDialog::Accepted);
        };
        win->tlbtnSearch->trigger();
    }
    static QStringList texts(const QTreeWidgetItem* node) {
        QStringList out;
        for (int i = 0; i < node->childCount(); ++i) out << node->child(i)->text(0);
        return out;
    }

    odel::test::ScratchConfig scratch;
    odel::sim::SimBus bus;
    odel::test::RecordingDialogs rec;
    std::unique_ptr<TfrmMain> win;
};

TEST_F(SavedStateTest, StateSurvivesARestart) {
    start();
    const QRect place(40, 30, 700, 500);
    win->setGeometry(place);
    win->Splitter1->setSizes({230, 470});
    click(portNode());
    search("1", "4");
    EXPECT_EQ(texts(portNode()), (QStringList{"(01)7352", "(02)7341", "(03)7385"}));
    // Settings on the COM page are kept when they are applied (here by opening the terminal).
    win->frmComSet()->ComboBoxBaudRate->setCurrentIndex(4);  // 19.2 kbps
    win->frmComSet()->EditTimeOut->setText("40");
    rec.execHandler = [](QDialog*) { return int(QDialog::Accepted); };
    win->tlbtnTerminal->trigger();
    rec.execHandler = [](QDialog* d) -> int {
        auto* ask = qobject_cast<odel::ui::TfrmDlgNetPort*>(d);
        ask->EditHost->setText("127.0.0.1");
        ask->EditTcpPort->setValue(1);
        QTest::mouseClick(ask->BitBtnOK, Qt::LeftButton);
        return ask->result();
    };
    win->menuAddNetworkPort->trigger();
    win->menuBusMonitor->trigger();
    win->busMonitor()->edtAddress->setText("02");
    win->busMonitor()->cmbVerdict->setCurrentIndex(1);
    win->busMonitor()->chkRaw->setChecked(true);
    const QRect monitorPlace(60, 80, win->busMonitor()->width(), 300);
    win->busMonitor()->setGeometry(monitorPlace);
    quit();  // the monitor is still open: its state is kept with the main window's
    EXPECT_TRUE(QFileInfo(scratch.path() + "/odel/odel-utility.ini").isFile());

    start();
    EXPECT_EQ(win->geometry(), place);
    EXPECT_EQ(win->Splitter1->sizes().first(), 230);
    QTreeWidgetItem* root = win->treeviewModule->topLevelItem(0);
    ASSERT_EQ(root->childCount(), 2);
    EXPECT_EQ(root->child(1)->text(0), "tcp://127.0.0.1:1");
    EXPECT_EQ(root->child(1)->childCount(), 0);
    // The last bus, not checked yet: grey, with the day it was found; the port stays closed.
    EXPECT_EQ(texts(portNode()), (QStringList{"(01)7352", "(02)7341", "(03)7385"}));
    EXPECT_EQ(win->link(), nullptr);
    for (int i = 0; i < 3; ++i) {
        QTreeWidgetItem* n = portNode()->child(i);
        EXPECT_EQ(odel::ui::CheckOf(n), NodeCheck::NotChecked);
        EXPECT_TRUE(n->toolTip(0).startsWith("found on ")) << n->toolTip(0).toStdString();
        EXPECT_TRUE(n->toolTip(0).endsWith("; not checked yet"));
        EXPECT_EQ(n->foreground(0).color(),
                  QApplication::palette().color(QPalette::Disabled, QPalette::Text));
    }
    EXPECT_EQ(portNode()->child(2)->data(0, odel::ui::kNodeDataRole).toInt(), 2);
    click(portNode());
    EXPECT_EQ(win->frmComSet()->ComboBoxBaudRate->currentText(), "19.2 kbps");
    EXPECT_EQ(win->frmComSet()->EditTimeOut->text(), "40");
    int baud = 0;
    std::uint8_t bits = 0, parity = 0, stop = 0;
    win->link()->GetLineSettings(baud, bits, parity, stop);
    EXPECT_EQ(baud, 9600);  // the port still opens at 9600; the page applies the rest
    win->menuBusMonitor->trigger();
    EXPECT_EQ(win->busMonitor()->edtAddress->text(), "02");
    EXPECT_EQ(win->busMonitor()->cmbVerdict->currentIndex(), 1);
    EXPECT_TRUE(win->busMonitor()->chkRaw->isChecked());
    // (its least width is more than the test screen's 800 pixels: it is moved to the left edge)
    EXPECT_EQ(win->busMonitor()->geometry().top(), monitorPlace.top());
    EXPECT_EQ(win->busMonitor()->height(), monitorPlace.height());
}

TEST_F(SavedStateTest, RecheckFindsChangesAndDropsNodes) {
    start();
    click(portNode());
    search("1", "5");
    ASSERT_EQ(portNode()->childCount(), 3);
    quit();

    // Between the runs: the 7341 is replaced by a 7342, the Modbus module is taken away.
    bus.modify(1, [](odel::sim::ModuleState& m) { m.model = "7342"; });
    bus.modify(2, [](odel::sim::ModuleState& m) { m.address = 5; });

    start();
    // Clicking a node not checked yet probes its address first, then opens its page.
    bus.clearReceived();
    click(portNode()->child(0));
    EXPECT_EQ(bus.busReceived().rfind("$01M\r", 0), 0u);
    EXPECT_EQ(odel::ui::CheckOf(portNode()->child(0)), NodeCheck::Checked);
    ASSERT_NE(win->shownPage(), nullptr);
    EXPECT_EQ(win->shownPage()->objectName(), "frmM7352");

    click(portNode());
    bus.clearReceived();
    win->menuRecheck->trigger();
    const std::string sent = bus.busReceived();
    for (const char* other : {"$00M", "$04M", "$05M"})
        EXPECT_EQ(sent.find(other), std::string::npos) << other;
    EXPECT_EQ(texts(portNode()), (QStringList{"(01)7352", "(02)7342", "(03)7385"}));
    EXPECT_EQ(odel::ui::CheckOf(portNode()->child(1)), NodeCheck::Checked);
    EXPECT_TRUE(portNode()->child(1)->toolTip(0).endsWith("; changed, was (02)7341"));
    EXPECT_EQ(odel::ui::CheckOf(portNode()->child(2)), NodeCheck::Gone);
    EXPECT_TRUE(portNode()->child(2)->font(0).strikeOut());
    EXPECT_TRUE(portNode()->child(2)->toolTip(0).startsWith("gone: no answer on "));
    EXPECT_EQ(win->statbarMain->panelText(0), "Re-check: 1 found, 1 changed, 1 gone");

    // A gone node clicked is probed again and opens nothing.
    rec.clear();
    click(portNode()->child(2));
    EXPECT_EQ(win->shownPage(), nullptr);
    EXPECT_EQ(win->statbarMain->panelText(0), "(03)7385 did not answer");
    EXPECT_TRUE(rec.shown.empty());

    // The port's context-menu command from elsewhere in the tree: the port is opened first.
    click(win->treeviewModule->topLevelItem(0));
    ASSERT_EQ(win->link(), nullptr);
    win->RecheckPort(portNode());
    EXPECT_NE(win->link(), nullptr);
    EXPECT_EQ(win->treeviewModule->currentItem(), portNode());
    EXPECT_EQ(win->statbarMain->panelText(0), "Re-check: 2 found, 0 changed, 1 gone");

    // The next run lists what the re-check saw; a full search replaces the list.
    quit();
    start();
    EXPECT_EQ(texts(portNode()), (QStringList{"(01)7352", "(02)7342", "(03)7385"}));
    click(portNode());
    search("1", "5");
    EXPECT_EQ(texts(portNode()), (QStringList{"(01)7352", "(02)7342", "(05)7385"}));
}

// The search dialog's optional end address: 255 unless changed, never below the start.
TEST_F(SavedStateTest, SearchStopsAtTheEndAddress) {
    start();
    click(portNode());
    odel::ui::TfrmDlgAskAddr ask;
    EXPECT_EQ(ask.EditAddr->text(), "0");
    EXPECT_EQ(ask.EditEndAddr->text(), "255");
    ask.EditAddr->setText("3");
    ask.EditEndAddr->setText("2");
    QTest::mouseClick(ask.BitBtnOK, Qt::LeftButton);
    EXPECT_EQ(rec.texts("error"),
              QStringList{"Please input an end address between the start address and 255!"});
    EXPECT_EQ(ask.EditEndAddr->text(), "255");
    EXPECT_EQ(ask.result(), 0);
    bus.clearReceived();
    search("2", "2");
    EXPECT_EQ(texts(portNode()), QStringList{"(02)7341"});
    EXPECT_EQ(bus.busReceived().find("$03M"), std::string::npos);
}

TEST_F(SavedStateTest, CorruptFileIsSetAsideWithOneNote) {
    const QString path = odel::ui::SavedStatePath();
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[MainWindow\ngeometry=@Rect(5 5\n\x01\x02 not ini\n");
    }
    start();
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_TRUE(QFileInfo::exists(path + ".bad"));
    EXPECT_EQ(win->statbarMain->panelText(0),
              "Saved settings could not be read; defaults are used (the file was kept as " +
                  path + ".bad)");
    EXPECT_EQ(win->size().width(), std::min(960, win->screen()->availableGeometry().width()));
    quit();
    start();  // the new file is sound: no note again
    EXPECT_TRUE(win->statbarMain->panelText(0).isEmpty());
}

// Inside the area, or, for a window whose controls need more than the screen's width or
// height, starting at the area's left or top edge.
bool onScreen(const QRect& r, const QRect& avail) {
    return r.left() >= avail.left() && r.top() >= avail.top() &&
           (r.right() <= avail.right() || r.left() == avail.left()) &&
           (r.bottom() <= avail.bottom() || r.top() == avail.top());
}

TEST_F(SavedStateTest, WindowsLeftOffScreenReopenOnScreen) {
    {
        auto state = odel::ui::SavedState();
        state->setValue("MainWindow/geometry", QRect(5000, 4000, 700, 500));
        state->setValue("BusMonitor/geometry", QRect(-3000, 100, 600, 300));
    }
    start();
    const QRect avail = win->screen()->availableGeometry();
    EXPECT_TRUE(avail.contains(win->geometry()));
    EXPECT_EQ(win->size(), QSize(700, 500).boundedTo(avail.size()));
    win->menuBusMonitor->trigger();
    ASSERT_NE(win->busMonitor(), nullptr);
    EXPECT_TRUE(onScreen(win->busMonitor()->geometry(), avail));
    win->busMonitor()->close();
    quit();

    // A new monitor beside a main window at the screen's right edge is kept inside the screen.
    odel::ui::SavedState()->remove("BusMonitor");
    odel::ui::SavedState()->setValue("MainWindow/geometry",
                                      QRect(avail.right() - 400, avail.top(), 400, 300));
    start();
    win->menuBusMonitor->trigger();
    EXPECT_TRUE(onScreen(win->busMonitor()->geometry(), avail));
}

}  // namespace

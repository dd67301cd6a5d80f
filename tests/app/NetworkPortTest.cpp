// The main window on ports of a real ser2net in front of the simulated bus: search, the COM
// page's baud over RFC 2217, a server that goes away mid-poll and comes back, Add Network Port.
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSpinBox>

#include "AppFixture.h"
#include "app/ComSet.h"
#include "app/DlgAskAddr.h"
#include "app/DlgNetPort.h"
#include "app/DlgSearch.h"
#include "common/HostileServer.h"
#include "common/Ser2net.h"
#include "common/ScratchConfig.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include "device/SerialPort.h"

using odel::test::AppFixture;
using odel::ui::TfrmDlgAskAddr;
using odel::ui::TfrmDlgNetPort;
using odel::ui::TfrmDlgSearch;

namespace {

class NetworkPortTest : public AppFixture {
  protected:
    // The window lists the pty, the raw TCP port and the RFC 2217 port, in that order.
    void serve(const std::string& busFile = {}) {
        if (!busFile.empty()) {
            win.reset();
            bus.stop();
            ASSERT_TRUE(bus.startFromText(busFile)) << bus.error();
        }
        server = std::make_unique<odel::test::Ser2net>(bus.slavePath());
        ASSERT_TRUE(server->start()) << server->error();
        win = std::make_unique<odel::ui::TfrmMain>(
            QStringList{port(), raw(), rfc()}, false);
        win->show();
        tree = win->treeviewModule;
        ASSERT_EQ(root()->childCount(), 3);
    }
    QString raw() const { return QString::fromStdString(server->rawUrl()); }
    QString rfc() const { return QString::fromStdString(server->rfcUrl()); }
    QTreeWidgetItem* node(int i) const { return root()->child(i); }

    // Search from `start` on the selected port node, the dialog's timer driven to the end.
    QStringList search(QTreeWidgetItem* portNode, const QString& start,
                       const QString& baudIndex = {}) {
        click(portNode);
        EXPECT_NE(win->link(), nullptr) << rec.texts("error").join("|").toStdString();
        if (!win->link()) return {};
        win->frmComSet()->EditTimeOut->setText("10");
        if (!baudIndex.isEmpty())
            win->frmComSet()->ComboBoxBaudRate->setCurrentIndex(baudIndex.toInt());
        rec.execHandler = [&, start](QDialog* d) -> int {
            if (auto* ask = qobject_cast<TfrmDlgAskAddr*>(d)) {
                ask->EditAddr->setText(start);
                QTest::mouseClick(ask->BitBtnOK, Qt::LeftButton);
                return ask->result();
            }
            auto* dlg = qobject_cast<TfrmDlgSearch*>(d);
            if (!dlg) return QDialog::Rejected;
            while (!dlg->Finished()) dlg->Timer1Timer();
            return dlg->result();
        };
        win->tlbtnSearch->trigger();
        QStringList found;
        for (int i = 0; i < portNode->childCount(); ++i) found << portNode->child(i)->text(0);
        return found;
    }

    std::unique_ptr<odel::test::Ser2net> server;
};

TEST_F(NetworkPortTest, SearchOverRawTcpFindsWhatThePtyFinds) {
    serve();
    const QStringList onPty = search(node(0), "0");
    ASSERT_EQ(onPty.size(), bus.moduleCount());
    win->ReleaseResource();  // frees the pty for ser2net
    EXPECT_EQ(search(node(1), "0"), onPty);
    EXPECT_EQ(rec.texts("error"), QStringList{});
}

TEST_F(NetworkPortTest, ComPageBaudReachesTheModuleOverRfc2217Only) {
    serve("FE 7352R baud=19200\n");
    const int index19200 = odel::ui::TfrmComSet::BaudIndex(19200);
    EXPECT_EQ(search(node(2), "250"), QStringList{});
    EXPECT_EQ(search(node(2), "250", QString::number(index19200)), QStringList{"(FE)7352R"});
    EXPECT_EQ(win->statbarMain->panelText(0), "");

    // Over raw TCP the rate stays the server's: the window says so, and nothing answers.
    win->ReleaseResource();
    click(node(1));
    ASSERT_NE(win->link(), nullptr);
    win->frmComSet()->ComboBoxBaudRate->setCurrentIndex(index19200);
    EXPECT_EQ(win->statbarMain->panelText(0), "Baud rate is set on the device server");
    EXPECT_EQ(search(node(1), "250", QString::number(index19200)), QStringList{});
}

TEST_F(NetworkPortTest, ServerStoppedMidPollFailsWithoutSpinningAndResumesAfterAClick) {
    serve();
    QTreeWidgetItem* module = addNode(node(1), "(01)7352R", 0);
    click(module);
    ASSERT_NE(win->modulePage(), nullptr);
    QTest::qWait(1200);
    EXPECT_EQ(win->statbarMain->panelText(0), "Polling AI data...");

    server->stop();
    QElapsedTimer clock;
    clock.start();
    QTest::qWait(1500);
    // The window kept running its event loop: the wait took about as long as asked.
    EXPECT_LT(clock.elapsed(), 2500);
    EXPECT_EQ(win->statbarMain->panelText(0), "Fail to fresh AI data!");
    EXPECT_FALSE(win->link() && win->link()->IsOpen());

    ASSERT_TRUE(server->start()) << server->error();
    click(node(1));
    ASSERT_NE(win->link(), nullptr);
    EXPECT_TRUE(win->link()->IsOpen());
    click(module);
    bus.clearReceived();
    QTest::qWait(1200);
    EXPECT_EQ(win->statbarMain->panelText(0), "Polling AI data...");
    EXPECT_NE(bus.received(bus.findModule(1)), "");
}

// A device server that floods once it has a command: the page's reads give the link up at
// the purge, the window says why, and its event loop keeps running.
TEST_F(NetworkPortTest, AFloodingServerClosesTheLinkWithTheReason) {
    odel::test::HostileServer flood([](int fd, const std::atomic<bool>& stop) {
        if (odel::test::HostileServer::Await(fd, "\r", stop))
            odel::test::HostileServer::Flood(fd, "garbage ", stop);
    });
    const QString url = QString::fromStdString(flood.url("tcp"));
    win = std::make_unique<odel::ui::TfrmMain>(QStringList{url}, false);
    win->show();
    tree = win->treeviewModule;
    QTreeWidgetItem* module = addNode(root()->child(0), "(01)7352R", 0);
    QElapsedTimer clock;
    clock.start();
    click(module);
    EXPECT_LT(clock.elapsed(), 2000);
    clock.restart();
    QTest::qWait(1200);
    EXPECT_LT(clock.elapsed(), 2200);
    EXPECT_EQ(rec.texts("error"),
              QStringList{"Connection to " + url + " closed!\nthe device server sends without end"});
    EXPECT_FALSE(win->link() && win->link()->IsOpen());
    EXPECT_EQ(flood.connections(), 1);
}

// A device server that takes the telnet start but never answers a port setting: the open
// failure says why on its second line.
TEST_F(NetworkPortTest, ASettingNeverAnsweredFailsTheOpenWithTheReason) {
    odel::test::HostileServer mute([](int fd, const std::atomic<bool>& stop) {
        odel::test::HostileServer::Send(fd, odel::test::kTelnetAgree);
        odel::test::HostileServer::Await(fd, "never", stop);
    });
    const QString url = QString::fromStdString(mute.url("rfc2217"));
    win = std::make_unique<odel::ui::TfrmMain>(QStringList{url}, false);
    tree = win->treeviewModule;
    tree->setCurrentItem(root()->child(0));
    win->ShowCOMForm(url);
    EXPECT_EQ(rec.texts("error"),
              QStringList{"Open " + url + " failed!\nthe line settings were not taken"});
    EXPECT_EQ(win->link(), nullptr);
}

// The same server answering the opening settings but not a later baud rate: the COM page's
// change is not taken, and a warning says so when it is applied.
TEST_F(NetworkPortTest, ABaudRateNotTakenIsAWarning) {
    using odel::test::B;
    using odel::test::HostileServer;
    HostileServer server([](int fd, const std::atomic<bool>& stop) {
        HostileServer::Send(fd, odel::test::kTelnetAgree);
        if (!HostileServer::Await(fd, B({255, 250, 44, 4, 1, 255, 240}), stop)) return;
        HostileServer::Send(fd, odel::test::kTelnetTaken9600);
        HostileServer::Await(fd, "never", stop);
    });
    const QString url = QString::fromStdString(server.url("rfc2217"));
    win = std::make_unique<odel::ui::TfrmMain>(QStringList{url}, false);
    tree = win->treeviewModule;
    tree->setCurrentItem(root()->child(0));
    win->ShowCOMForm(url);
    ASSERT_NE(win->link(), nullptr);
    EXPECT_TRUE(rec.shown.empty());
    win->frmComSet()->ComboBoxBaudRate->setCurrentIndex(odel::ui::TfrmComSet::BaudIndex(19200));
    win->ApplyComSettings();
    EXPECT_EQ(rec.texts("warning"), QStringList{url + ": the line settings were not taken"});
}

TEST_F(NetworkPortTest, AddNetworkPortListsTheServerAndOpensIt) {
    serve();
    const int tcpPort = QString(rfc()).section(':', -1).toInt();
    std::vector<QString> hosts = {" ", "127.0.0.1"};
    rec.execHandler = [&](QDialog* d) -> int {
        auto* ask = qobject_cast<TfrmDlgNetPort*>(d);
        EXPECT_NE(ask, nullptr);
        if (!ask) return QDialog::Rejected;
        ask->ComboBoxProtocol->setCurrentIndex(1);
        ask->EditTcpPort->setValue(tcpPort);
        for (const QString& h : hosts) {
            ask->EditHost->setText(h);
            QTest::mouseClick(ask->BitBtnOK, Qt::LeftButton);
        }
        return ask->result();
    };
    // Listed already: the node is selected, not listed twice.
    win->menuAddNetworkPort->trigger();
    EXPECT_EQ(rec.texts("error"),
              QStringList{"Please enter the host name or IP address of the device server!"});
    EXPECT_EQ(root()->childCount(), 3);
    EXPECT_EQ(tree->currentItem(), node(2));
    ASSERT_NE(win->frmComSet(), nullptr);
    EXPECT_EQ(win->frmComSet()->EditPort->text(), rfc());
    ASSERT_NE(win->link(), nullptr);
    EXPECT_EQ(win->link()->GetPortName(), rfc().toStdString());

    // A new server address gets its node; nobody listens there, so opening it fails.
    hosts = {"localhost"};
    rec.execHandler = [&](QDialog* d) -> int {
        auto* ask = static_cast<TfrmDlgNetPort*>(d);
        ask->ComboBoxProtocol->setCurrentIndex(0);
        ask->EditTcpPort->setValue(1);
        ask->EditHost->setText("localhost");
        QTest::mouseClick(ask->BitBtnOK, Qt::LeftButton);
        return ask->result();
    };
    rec.clear();
    win->menuAddNetworkPort->trigger();
    ASSERT_EQ(root()->childCount(), 4);
    EXPECT_EQ(node(3)->text(0), "tcp://localhost:1");
    EXPECT_EQ(rec.texts("error"), QStringList{"Open tcp://localhost:1 failed!\nconnection refused"});
    EXPECT_EQ(win->link(), nullptr);
}

}  // namespace

namespace {
// A device server whose accept queue is full: the connection is never taken up.
TEST(NetworkPortErrors, ServerThatNeverAnswersSaysSoOnTheSecondLine) {
    odel::test::ScratchConfig scratch;
    odel::test::RecordingDialogs rec;
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len), 0);
    std::vector<int> waiting;
    for (int k = 0; k < 2; ++k) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        waiting.push_back(fd);
    }
    const QString name = QString("tcp://127.0.0.1:%1").arg(ntohs(a.sin_port));
    odel::ui::TfrmMain win(QStringList{name}, false);
    win.treeviewModule->setCurrentItem(win.treeviewModule->topLevelItem(0)->child(0));
    win.ShowCOMForm(name);
    EXPECT_EQ(rec.texts("error"),
              QStringList{"Open " + name + " failed!\nno answer from the device server"});
    EXPECT_EQ(win.link(), nullptr);
    for (int fd : waiting) ::close(fd);
    ::close(listener);
}
}  // namespace

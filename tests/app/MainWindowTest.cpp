// The main window against the simulated bus: command enabling, the link, the COM settings
// page, the heartbeat panel, closing, help and the tree listing.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QComboBox>
#include <QDesktopServices>
#include <QFile>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>

#include "AppFixture.h"
#include "app/ComSet.h"
#include "app/HelpWindow.h"
#include "app/Intro.h"
#include "device/SerialPort.h"

using odel::test::AppFixture;
using Cmds = std::vector<bool>;

namespace {
// Save, Search, Terminal, Data Scope, Save Conf., Download Conf., Help.
const Cmds kRootOrNoLink{true, false, false, false, false, false, true};
const Cmds kPortWithLink{true, true, true, true, false, false, true};
const Cmds kModuleWithLink{true, false, false, false, true, true, true};
const Cmds kSlotWithLink{true, false, false, false, false, false, true};
const Cmds kModuleNoLink{true, false, false, false, false, false, false};
}  // namespace

class MainWindowTest : public AppFixture {};

TEST_F(MainWindowTest, StartShowsRootPortsIntroAndSaveHelpOnly) {
    EXPECT_EQ(win->windowTitle(), "ODEL-7300 Utility (Ver 2.00)");
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    EXPECT_EQ(root()->text(0), "PC");
    EXPECT_TRUE(tree->isHeaderHidden());
    ASSERT_EQ(root()->childCount(), 1);
    EXPECT_EQ(portNode()->text(0), port());
    EXPECT_EQ(portNode()->data(0, Qt::UserRole).toInt(), 0);
    EXPECT_EQ(root()->data(0, odel::ui::kImageRole).toInt(), 0);
    EXPECT_EQ(portNode()->data(0, odel::ui::kImageRole).toInt(), 1);
    EXPECT_EQ(portNode()->data(0, odel::ui::kSelectedImageRole).toInt(), 3);
    EXPECT_TRUE(root()->isExpanded());
    EXPECT_EQ(commands(), kRootOrNoLink);
    EXPECT_TRUE(win->tlbtnDataScope->isVisible());
    EXPECT_TRUE(win->menuDataScope->isVisible());
    ASSERT_NE(win->frmIntro(), nullptr);
    EXPECT_EQ(win->frmIntro()->parentWidget(), win->ScrollBox1->widget());
    EXPECT_EQ(win->frmIntro()->pos(), QPoint(2, 2));
    EXPECT_EQ(win->statbarMain->panelText(1), "0");
    EXPECT_EQ(win->link(), nullptr);
    // Tool buttons carry their hints; menu captions keep their mnemonics.
    auto* save = win->ToolBar1->findChild<QToolButton*>("tlbtnSave");
    ASSERT_NE(save, nullptr);
    EXPECT_EQ(save->toolTip(), "Save");
    EXPECT_EQ(win->tlbtnLoadConf->toolTip(), "Load Configuration");
    EXPECT_EQ(win->menuDownloadConf->text(), "D&ownload Configuration File To Set Environment");
    EXPECT_EQ(win->menuAboutOdel->text(), "&About ODEL Utility...");
}

TEST_F(MainWindowTest, EnablingFollowsTheClickedLevel) {
    auto* unit = addNode(portNode(), "(03)8600X", 0);
    auto* slot = addNode(unit, "(S0)8631", 0);
    auto* module = addNode(portNode(), "(40)9999", 0);  // no page: only the warning

    click(portNode());
    ASSERT_NE(win->link(), nullptr);
    EXPECT_EQ(commands(), kPortWithLink);
    EXPECT_EQ(win->statbarMain->panelText(0), "COM Port status");
    click(module);
    EXPECT_EQ(commands(), kModuleWithLink);
    EXPECT_EQ(rec.texts("warning"), QStringList{"Sorry, not support yet!"});
    click(slot);
    EXPECT_EQ(commands(), kSlotWithLink);
    click(root());
    EXPECT_EQ(commands(), kRootOrNoLink);
    EXPECT_EQ(win->statbarMain->panelText(0), "Welcome to use ODEL Utility");
    EXPECT_EQ(win->link(), nullptr);
    ASSERT_NE(win->frmIntro(), nullptr);

    // A held port: no link at any level below it.
    odel::SerialPort holder(bus.slavePath());
    ASSERT_TRUE(holder.Open());
    click(portNode());
    EXPECT_EQ(commands(), kRootOrNoLink);
    click(module);
    EXPECT_EQ(commands(), kModuleNoLink);
    click(slot);
    EXPECT_EQ(commands(), kModuleNoLink);
    const QString failed = "Open " + port() + " failed!\nbusy: another program holds it";
    EXPECT_EQ(rec.texts("error"), (QStringList{failed, failed, failed}));
    EXPECT_EQ(win->link(), nullptr);
    EXPECT_EQ(win->shownPage(), nullptr);
}

TEST(MainWindowPorts, BusyPortIsListedAndGivesTheOpenError) {
    odel::sim::SimBus bus;
    ASSERT_TRUE(bus.start());
    odel::test::RecordingDialogs rec;
    odel::SerialPort holder(bus.slavePath());
    ASSERT_TRUE(holder.Open());
    const QString path = QString::fromStdString(bus.slavePath());
    odel::ui::TfrmMain win(QStringList{path, "/dev/odel-no-such-port"}, false);
    QTreeWidgetItem* root = win.treeviewModule->topLevelItem(0);
    // The missing port the user named is listed too, greyed, with the reason as its tip.
    ASSERT_EQ(root->childCount(), 2);
    EXPECT_EQ(root->child(0)->text(0), path);
    QTreeWidgetItem* missing = root->child(1);
    EXPECT_EQ(missing->text(0), "/dev/odel-no-such-port");
    EXPECT_EQ(missing->toolTip(0), "/dev/odel-no-such-port: no such device");
    EXPECT_EQ(missing->foreground(0).color(),
              QApplication::palette().color(QPalette::Disabled, QPalette::Text));
    EXPECT_EQ(root->child(0)->toolTip(0), path);
    win.treeviewModule->setCurrentItem(root->child(0));
    win.ShowCOMForm(path);
    win.treeviewModule->setCurrentItem(missing);
    win.ShowCOMForm(missing->text(0));
    EXPECT_EQ(rec.texts("error"),
              (QStringList{"Open " + path + " failed!\nbusy: another program holds it",
                           "Open /dev/odel-no-such-port failed!\nno such device"}));
    EXPECT_EQ(win.link(), nullptr);
    EXPECT_EQ(win.frmComSet(), nullptr);
}

// A port the user may not open: the second line says how to get the right.
TEST(MainWindowPorts, PermissionDeniedSaysWhatToDo) {
    odel::sim::SimBus bus;
    ASSERT_TRUE(bus.start());
    odel::test::RecordingDialogs rec;
    const QString path = QString::fromStdString(bus.slavePath());
    ASSERT_EQ(::chmod(bus.slavePath().c_str(), 0600), 0);
    odel::ui::TfrmMain win(QStringList{path}, false);
    win.treeviewModule->setCurrentItem(win.treeviewModule->topLevelItem(0)->child(0));
    const QString expected =
        "Open " + path +
        " failed!\npermission denied: add your user to the dialout group and log in again";
    if (::geteuid() != 0) {
        // Only root passes the check on a pty it owns: then an unprivileged child shows it.
        GTEST_SKIP() << "needs root to make an unprivileged child";
    }
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
        win.RefreshComPort(path);
        ::_exit(win.link() == nullptr && rec.texts("error") == QStringList{expected} ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

namespace {
double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}
}  // namespace

// The adapter vanishes under a polling page and a new one appears at the same path: the page
// reports its failure without spinning, and a click on the port or the module opens the new one.
TEST(MainWindowPorts, VanishedLinkIsOpenedAgainOnTheNextClick) {
    odel::test::RecordingDialogs rec;
    odel::ui::setPauseHandler([](int) {});
    QTemporaryDir dir;
    const QString path = dir.filePath("ttyODEL");
    auto first = std::make_unique<odel::sim::SimBus>();
    ASSERT_TRUE(first->start()) << first->error();
    ASSERT_EQ(::symlink(first->slavePath().c_str(), path.toLocal8Bit().constData()), 0);
    odel::ui::TfrmMain win(QStringList{path}, false);
    win.show();
    QTreeWidget* tree = win.treeviewModule;
    QTreeWidgetItem* port = tree->topLevelItem(0)->child(0);
    auto* module = new QTreeWidgetItem(port, QStringList{"(01)7352R"});
    module->setData(0, odel::ui::kNodeDataRole, 0);
    port->setExpanded(true);
    auto click = [&](QTreeWidgetItem* item) {
        const QRect r = tree->visualItemRect(item);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                          QPoint(r.left() + 8, r.center().y()));
    };
    click(module);
    ASSERT_NE(win.modulePage(), nullptr);
    QTest::qWait(600);
    EXPECT_EQ(win.statbarMain->panelText(0).toStdString(), "Polling AI data...");

    first.reset();  // the pseudo-terminal disappears
    QTest::qWait(600);
    EXPECT_EQ(win.statbarMain->panelText(0).toStdString(), "Fail to fresh AI data!");
    ASSERT_NE(win.link(), nullptr);
    EXPECT_FALSE(win.link()->IsOpen());

    odel::sim::SimBus second;
    ASSERT_TRUE(second.start()) << second.error();
    ASSERT_EQ(::unlink(path.toLocal8Bit().constData()), 0);
    ASSERT_EQ(::symlink(second.slavePath().c_str(), path.toLocal8Bit().constData()), 0);
    // Until the next click the page goes on failing, at its own pace.
    const double cpu = cpuSeconds();
    QTest::qWait(1100);
    EXPECT_LT(cpuSeconds() - cpu, 0.3);
    EXPECT_EQ(win.statbarMain->panelText(0).toStdString(), "Fail to fresh AI data!");
    EXPECT_TRUE(QStringList({"2", "3"}).contains(win.statbarMain->panelText(1)));

    click(port);
    ASSERT_NE(win.link(), nullptr);
    EXPECT_TRUE(win.link()->IsOpen());
    EXPECT_NE(win.frmComSet(), nullptr);
    EXPECT_TRUE(win.CommandEnabled(1));  // Search
    std::string cmd = "$01M\r", reply;
    EXPECT_TRUE(win.link()->Transact(cmd, 64, &reply));
    EXPECT_EQ(reply, "!017352R\r");

    // The same from a module node, when the link died while its page was shown.
    click(module);
    second.stop();
    QTest::qWait(600);
    EXPECT_FALSE(win.link()->IsOpen());
    odel::sim::SimBus third;
    ASSERT_TRUE(third.start()) << third.error();
    ASSERT_EQ(::unlink(path.toLocal8Bit().constData()), 0);
    ASSERT_EQ(::symlink(third.slavePath().c_str(), path.toLocal8Bit().constData()), 0);
    click(module);
    EXPECT_TRUE(win.link()->IsOpen());
    QTest::qWait(600);
    EXPECT_EQ(win.statbarMain->panelText(0).toStdString(), "Polling AI data...");
    EXPECT_TRUE(rec.texts("error").isEmpty());
    odel::ui::setPauseHandler({});
}

TEST_F(MainWindowTest, LinkIsKeptUnderItsPortAndClosedOnTheRoot) {
    auto* module = addNode(portNode(), "(40)9999", 0);
    click(portNode());
    odel::SerialPort* link = win->link();
    ASSERT_NE(link, nullptr);
    int baud = 0;
    std::uint8_t d = 0, p = 0, s = 0;
    link->GetLineSettings(baud, d, p, s);
    EXPECT_EQ(baud, 9600);
    EXPECT_EQ(link->GetTimeout(), 80);
    link->SetLineSettings(19200, 8, 0, 0);
    link->SetTimeout(150);

    click(module);
    EXPECT_EQ(win->link(), link);
    EXPECT_EQ(link->GetTimeout(), 150);
    // Back on the port: the page shows the link's settings.
    click(portNode());
    EXPECT_EQ(win->link(), link);
    ASSERT_NE(win->frmComSet(), nullptr);
    EXPECT_EQ(win->frmComSet()->EditPort->text(), port());
    EXPECT_EQ(win->frmComSet()->ComboBoxBaudRate->currentText(), "19.2 kbps");
    EXPECT_EQ(win->frmComSet()->EditTimeOut->text(), "150");
    EXPECT_EQ(win->frmComSet()->pos(), QPoint(2, 2));

    click(root());
    EXPECT_EQ(win->link(), nullptr);
    click(portNode());
    ASSERT_NE(win->link(), nullptr);
    win->link()->GetLineSettings(baud, d, p, s);
    EXPECT_EQ(baud, 9600);
    EXPECT_EQ(win->link()->GetTimeout(), 80);
    EXPECT_EQ(win->frmComSet()->ComboBoxBaudRate->currentText(), "9600 bps");
    EXPECT_EQ(rec.texts("warning"), QStringList{"Sorry, not support yet!"});  // the 9999 node
    EXPECT_TRUE(rec.texts("error").isEmpty());
}

TEST_F(MainWindowTest, BaudRateOutsideTheListShows9600) {
    click(portNode());
    win->link()->SetLineSettings(300, 8, 0, 0);
    click(portNode());
    EXPECT_EQ(win->frmComSet()->ComboBoxBaudRate->currentIndex(), 3);
    EXPECT_EQ(win->frmComSet()->ComboBoxBaudRate->currentText(), "9600 bps");
}

TEST_F(MainWindowTest, TimeoutTextIsCheckedWhenApplied) {
    click(portNode());
    struct Case {
        QString text;
        int expected;
        bool warned;
    } cases[] = {{"120", 120, false},     {"0", 0, false},    {"abc", 80, true},
                 {"", 80, true},          {"-5", 80, true},   {"12x", 80, true},
                 {"60000", 60000, false}, {"60001", 80, true}};
    for (const auto& c : cases) {
        rec.clear();
        win->frmComSet()->EditTimeOut->setText(c.text);
        win->frmComSet()->ComboBoxBaudRate->setCurrentIndex(5);
        win->ApplyComSettings();
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(win->link()->GetTimeout(), c.expected);
        if (c.warned) {
            EXPECT_EQ(
                rec.texts("warning"),
                QStringList{"Invalid timeout value!\nThe default value '80 ms' will be used!"});
            EXPECT_EQ(win->frmComSet()->EditTimeOut->text(), "80");
        } else {
            EXPECT_TRUE(rec.shown.empty());
        }
        int baud = 0;
        std::uint8_t d = 0, p = 0, s = 0;
        win->link()->GetLineSettings(baud, d, p, s);
        EXPECT_EQ(baud, 38400);
    }
    // A rate typed by hand has no item and counts as 9600.
    win->frmComSet()->EditTimeOut->setText("80");
    win->frmComSet()->ComboBoxBaudRate->setEditText("300 bps");
    win->ApplyComSettings();
    int baud = 0;
    std::uint8_t d = 0, p = 0, s = 0;
    win->link()->GetLineSettings(baud, d, p, s);
    EXPECT_EQ(baud, 9600);
}

TEST_F(MainWindowTest, HeartbeatResetOnLeftClicksOnlyAndExpandButtons) {
    auto* module = addNode(portNode(), "(40)9999", 0);
    click(portNode());
    odel::SerialPort* link = win->link();
    win->statbarMain->setPanelText(1, "3");
    click(module, Qt::RightButton);  // changes nothing
    EXPECT_EQ(win->statbarMain->panelText(1), "3");
    EXPECT_EQ(win->link(), link);
    EXPECT_EQ(tree->currentItem(), portNode());
    EXPECT_NE(win->frmComSet(), nullptr);

    // Empty space below the nodes: only the heartbeat is reset.
    rec.clear();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      QPoint(60, tree->viewport()->height() - 3));
    EXPECT_EQ(win->statbarMain->panelText(1), "0");
    EXPECT_EQ(win->link(), link);
    EXPECT_NE(win->frmComSet(), nullptr);

    // The port's expand button folds it but keeps the link and the page.
    win->statbarMain->setPanelText(1, "2");
    const QRect r = tree->visualItemRect(portNode());
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      QPoint(r.left() - tree->indentation() / 2, r.center().y()));
    EXPECT_FALSE(portNode()->isExpanded());
    EXPECT_EQ(win->link(), link);
    EXPECT_NE(win->frmComSet(), nullptr);
    EXPECT_EQ(win->statbarMain->panelText(1), "0");

    // The root's expand button acts like a click on the root.
    const QRect rr = tree->visualItemRect(root());
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      QPoint(rr.left() - tree->indentation() / 2, rr.center().y()));
    EXPECT_EQ(win->link(), nullptr);
    EXPECT_NE(win->frmIntro(), nullptr);
    EXPECT_TRUE(rec.shown.empty());
}

TEST_F(MainWindowTest, ClicksInTheBlankIndentAndDragsDoNotMoveTheSelection) {
    auto* shown = addNode(portNode(), "(05)7354", 0);
    auto* other = addNode(portNode(), "(07)7320", 0);
    click(portNode());
    click(shown);
    QWidget* page = win->shownPage();
    ASSERT_NE(page, nullptr);
    const QRect r = tree->visualItemRect(other);
    const int y = r.center().y();
    // Far left, in the port's indent slot, and on the leaf's own (empty) indicator slot; once as
    // single clicks, once as double clicks.
    for (int x : {1, r.left() - tree->indentation() - 4, r.left() - tree->indentation() / 2}) {
        SCOPED_TRACE(x);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, QPoint(x, y));
        QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, QPoint(x, y));
        EXPECT_EQ(tree->currentItem(), shown);
        EXPECT_EQ(tree->selectedItems(), QList<QTreeWidgetItem*>{shown});
        EXPECT_EQ(win->shownPage(), page);
    }
    // A press on the shown node dragged onto another row leaves the selection where it was.
    const QRect s = tree->visualItemRect(shown);
    QTest::mousePress(tree->viewport(), Qt::LeftButton, {}, QPoint(s.left() + 8, s.center().y()));
    page = win->shownPage();
    QMouseEvent move(QEvent::MouseMove, QPointF(r.left() + 8, y),
                     tree->viewport()->mapToGlobal(QPointF(r.left() + 8, y)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(tree->viewport(), &move);
    QTest::mouseRelease(tree->viewport(), Qt::LeftButton, {}, QPoint(r.left() + 8, y));
    EXPECT_EQ(tree->currentItem(), shown);
    EXPECT_EQ(tree->selectedItems(), QList<QTreeWidgetItem*>{shown});
    EXPECT_EQ(win->shownPage(), page);
    // The indicator of a node with children still folds it, and nothing else changes.
    const QRect p = tree->visualItemRect(portNode());
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      QPoint(p.left() - tree->indentation() / 2, p.center().y()));
    EXPECT_FALSE(portNode()->isExpanded());
    EXPECT_EQ(tree->currentItem(), shown);
    EXPECT_EQ(win->shownPage(), page);
}

TEST_F(MainWindowTest, KeysDoNotMoveTheSelectionAwayFromTheClickedNode) {
    addNode(portNode(), "(01)7352", 0);
    click(portNode());
    ASSERT_EQ(tree->currentItem(), portNode());
    ASSERT_EQ(commands(), kPortWithLink);
    for (int key : {int(Qt::Key_Up), int(Qt::Key_Down), int(Qt::Key_Home), int(Qt::Key_End),
                    int(Qt::Key_Left), int(Qt::Key_P)}) {
        SCOPED_TRACE(key);
        QTest::keyClick(tree, Qt::Key(key));
        EXPECT_EQ(tree->currentItem(), portNode());
    }
    // The commands still belong to the port that is selected and open.
    EXPECT_EQ(commands(), kPortWithLink);
    ASSERT_NE(win->link(), nullptr);
}

TEST_F(MainWindowTest, ExitAsksAndNoKeepsEverything) {
    auto* module = addNode(portNode(), "(40)9999", 0);
    click(portNode());
    click(module);
    click(portNode());
    rec.clear();
    rec.questionAnswers = {false};
    win->menuExitClick();
    EXPECT_EQ(rec.texts("question"), QStringList{"Are you sure to exit?"});
    EXPECT_NE(win->link(), nullptr);
    EXPECT_NE(win->frmComSet(), nullptr);
    EXPECT_TRUE(win->isVisible());

    rec.questionAnswers = {false};
    EXPECT_FALSE(win->close());
    EXPECT_TRUE(win->isVisible());
    EXPECT_NE(win->link(), nullptr);

    rec.questionAnswers = {true};
    EXPECT_TRUE(win->close());
    EXPECT_EQ(win->link(), nullptr);
    EXPECT_EQ(win->shownPage(), nullptr);
    EXPECT_EQ(rec.texts("question").size(), 3);
}

TEST_F(MainWindowTest, TreeListingIsWrittenWithTabsAndCrLf) {
    auto* m1 = addNode(portNode(), "(01)7352", 0);
    auto* unit = addNode(portNode(), "(03)8600", 0);
    addNode(unit, "(S0)8631", 0);
    addNode(unit, "(S2)8631G", 0);
    (void)m1;
    QTemporaryDir dir;
    const QString file = dir.filePath("listing.txt");
    {
        QFile old(file);  // replaced, not appended to
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old content that is longer than the listing itself ..........................");
    }
    rec.fileAnswers = {file};
    win->tlbtnSaveClick();
    ASSERT_EQ(rec.shown.size(), 1u);
    EXPECT_EQ(rec.shown[0].kind, "save");
    EXPECT_EQ(rec.shown[0].text, "ODEL.txt");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray expected = "PC\r\n\t" + port().toLatin1() +
                                "\r\n\t\t(01)7352\r\n\t\t(03)8600\r\n\t\t\t(S0)8631\r\n"
                                "\t\t\t(S2)8631G\r\n";
    EXPECT_EQ(f.readAll(), expected);

    // Cancel writes nothing; a file that cannot be created says so.
    rec.clear();
    win->tlbtnSaveClick();
    EXPECT_EQ(rec.shown.size(), 1u);
    rec.fileAnswers = {dir.filePath("no/such/dir/x.txt")};
    win->tlbtnSaveClick();
    EXPECT_EQ(rec.texts("messageBox"), QStringList{"Error when opening file"});
    EXPECT_EQ(rec.shown.back().caption, "Message");
}

class UrlCatcher : public QObject {
    Q_OBJECT
  public:
    QList<QUrl> urls;
  public Q_SLOTS:
    void open(const QUrl& url) { urls << url; }
};

// The shortcuts shown in the menus work as the menu items do; Ctrl+Q asks first.
TEST_F(MainWindowTest, ShortcutsAreInTheMenusAndCtrlQAsksBeforeExit) {
    const std::pair<QAction*, const char*> keys[] = {
        {win->menuOnlineHelp, "F1"},   {win->menuSave, "Ctrl+S"},     {win->menuExit, "Ctrl+Q"},
        {win->menuSearch, "Ctrl+F"},   {win->menuTerminal, "Ctrl+T"}, {win->menuBusMonitor, "Ctrl+B"},
        {win->menuDataScope, "Ctrl+D"}, {win->menuRecheck, "Ctrl+R"}};
    for (const auto& [action, key] : keys)
        EXPECT_EQ(action->shortcut().toString(), key) << action->objectName().toStdString();
    win->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(win.get()));
    rec.questionAnswers.push_back(false);
    QTest::keyClick(win.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(rec.texts("question"), QStringList{"Are you sure to exit?"});
    EXPECT_TRUE(win->isVisible());
    // Ctrl+S saves the tree listing, the next time in the folder saved to.
    QTemporaryDir dir;
    rec.fileAnswers.push_back(dir.filePath("bus.txt"));
    QTest::keyClick(win.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(QFile::exists(dir.filePath("bus.txt")));
    QTest::keyClick(win.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(rec.texts("save"), (QStringList{"ODEL.txt", dir.path() + "/ODEL.txt"}));
}

TEST_F(MainWindowTest, HelpShowsThePageOfTheDataDirectoryInItsOwnWindow) {
    UrlCatcher catcher;  // nothing may go to a desktop launcher
    QDesktopServices::setUrlHandler("file", &catcher, "open");
    QTemporaryDir dir;
    qputenv("ODEL_DATA_DIR", dir.path().toLocal8Bit());
    win->tlbtnHelpClick();  // no page there: nothing, no message
    EXPECT_EQ(win->frmHelp(), nullptr);
    ASSERT_TRUE(QDir(dir.path()).mkpath("Help"));
    auto write = [&](const QString& name, const QByteArray& html) {
        QFile f(dir.filePath("Help/" + name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(html);
    };
    write("Odelmain.htm",
          "<html><body><p>Main page</p><a href=\"more.htm\">more</a></body></html>");
    write("more.htm", "<html><body><p>Second page</p></body></html>");
    win->menuOnlineHelp->trigger();
    odel::ui::TfrmHelp* help = win->frmHelp();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_TRUE(help->isWindow());
    const QUrl home = QUrl::fromLocalFile(dir.filePath("Help/Odelmain.htm"));
    EXPECT_EQ(help->tbHelp->source(), home);
    EXPECT_TRUE(help->tbHelp->toPlainText().contains("Main page"));
    EXPECT_FALSE(help->btHelpBack->isEnabled());

    // A link opens in the same window; back and forward walk the history.
    help->tbHelp->setSource(help->tbHelp->source().resolved(QUrl("more.htm")));
    EXPECT_TRUE(help->tbHelp->toPlainText().contains("Second page"));
    ASSERT_TRUE(help->btHelpBack->isEnabled());
    QTest::mouseClick(help->btHelpBack, Qt::LeftButton);
    EXPECT_EQ(help->tbHelp->source(), home);
    ASSERT_TRUE(help->btHelpForward->isEnabled());
    QTest::mouseClick(help->btHelpForward, Qt::LeftButton);
    EXPECT_TRUE(help->tbHelp->toPlainText().contains("Second page"));
    QTest::mouseClick(help->btHelpHome, Qt::LeftButton);
    EXPECT_EQ(help->tbHelp->source(), home);

    // Help again reuses the one window.
    help->hide();
    win->tlbtnHelpClick();
    EXPECT_EQ(win->frmHelp(), help);
    EXPECT_TRUE(help->isVisible());

    // Close, Esc and Ctrl+W close it; F1 in the main window opens it again.
    QTest::mouseClick(help->btHelpClose, Qt::LeftButton);
    EXPECT_FALSE(help->isVisible());
    for (auto [key, mods] : {std::pair{Qt::Key_Escape, Qt::NoModifier},
                             std::pair{Qt::Key_W, Qt::ControlModifier}}) {
        QApplication::setActiveWindow(win.get());
        QTest::keyClick(win.get(), Qt::Key_F1);
        ASSERT_TRUE(help->isVisible());
        // The offscreen platform does not move the activation by itself.
        QApplication::setActiveWindow(help);
        ASSERT_EQ(QApplication::activeWindow(), help);
        QTest::keyClick(help->tbHelp, key, mods);
        EXPECT_FALSE(help->isVisible()) << QKeySequence(key | mods).toString().toStdString();
    }
    qunsetenv("ODEL_DATA_DIR");
    QDesktopServices::unsetUrlHandler("file");
    EXPECT_TRUE(catcher.urls.isEmpty());
    EXPECT_TRUE(rec.shown.empty());
}

// The page shipped beside the program: its topics are there and every link inside it leads to
// a part of the page.
TEST_F(MainWindowTest, ShippedHelpPageCoversInitFamiliesAndTroubleshooting) {
    qputenv("ODEL_DATA_DIR", ODEL_BIN_DIR);
    win->tlbtnHelpClick();
    qunsetenv("ODEL_DATA_DIR");
    ASSERT_NE(win->frmHelp(), nullptr);
    QTextBrowser* tb = win->frmHelp()->tbHelp;
    const QString text = tb->toPlainText();
    for (const char* topic :
         {"INIT state, and why settings are greyed out", "search from start address 0",
          "Page families", "Multi-channel analog input", "Digital I/O", "Counter/frequency",
          "Analog output", "Modbus modules", "Main unit", "Troubleshooting", "Baud rate.",
          "Checksum.", "INIT state.", "Time-out.", "Wiring.", "Permissions"})
        EXPECT_TRUE(text.contains(topic)) << topic;
    QFile page(QString(ODEL_BIN_DIR) + "/Help/Odelmain.htm");
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(page.readAll());
    static const QRegularExpression link("href=\"#([a-z]+)\"");
    int links = 0;
    for (auto it = link.globalMatch(html); it.hasNext(); ++links) {
        const QString anchor = it.next().captured(1);
        EXPECT_TRUE(html.contains("name=\"" + anchor + "\"")) << anchor.toStdString();
    }
    EXPECT_GE(links, 9);
    tb->setSource(QUrl("#trouble"));
    EXPECT_TRUE(win->frmHelp()->btHelpBack->isEnabled());
}

TEST_F(MainWindowTest, AboutDialogIsShownModally) {
    win->menuAboutOdel->trigger();
    ASSERT_EQ(rec.shown.size(), 1u);
    EXPECT_EQ(rec.shown[0].kind, "exec");
    EXPECT_EQ(rec.shown[0].text, "frmDlgAbout");
    EXPECT_EQ(rec.shown[0].caption, "About ODEL 7300 Series Utility");
}

TEST(IntroPage, StartsWithTheHeadingLinesAndListsTheModels) {
    const QStringList lines = odel::ui::TfrmIntro::IntroText().split('\n');
    ASSERT_GE(lines.size(), 5);
    EXPECT_EQ(lines[0], "ODEL-7300 Utility (Version 2.0)              July 2003");
    EXPECT_EQ(lines[1], "    for Windows 95/98/ME/NT/2000/XP");
    EXPECT_TRUE(lines.contains("Support ODEL Modules"));
    EXPECT_TRUE(odel::ui::TfrmIntro::IntroText().contains("ODEL-7320L"));
}

#include "MainWindowTest.moc"

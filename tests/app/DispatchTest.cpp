// Node texts to pages: ParseItemText, the dispatch table, the checksum flag, the page's
// InitModule arguments and the configuration-file commands.
#include <QScrollArea>

#include "AppFixture.h"
#include "pages/Dispatch.h"
#include "device/SerialPort.h"
#include "pages/PageRegistry.h"
#include "pages/frame/ModulePage.h"

using odel::test::AppFixture;
using odel::ui::ParseItemText;

TEST(ParseItemText, SplitsAddressAndName) {
    struct Case {
        QString text;
        bool ok;
        QString address, name;
    } cases[] = {{"(0A)7361", true, "0A", "7361"},   {"(*)7352", true, "*", "7352"},
                 {"(S2)8631", true, "S2", "8631"},   {"COM1", false, "keep", "keep"},
                 {"()7352", false, "keep", "keep"},  {")7352", false, "keep", "keep"},
                 {"x12)7352 ", true, "12", "7352 "}, {"(01)", true, "01", ""},
                 {"(01)73)52", true, "01", "73)52"}};
    for (const auto& c : cases) {
        QString address = "keep", name = "keep";
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(ParseItemText(c.text, address, name), c.ok);
        EXPECT_EQ(address, c.address);
        EXPECT_EQ(name, c.name);
    }
}

TEST(DispatchTable, PicksTheModbusClassOnlyForData2WhereThereIsOne) {
    using odel::ui::PageClassFor;
    EXPECT_EQ(PageClassFor("7352R", 2), "TfrmM7352RMod");
    EXPECT_EQ(PageClassFor("7352R", 1), "TfrmM7352R");
    EXPECT_EQ(PageClassFor("7352R", 0), "TfrmM7352R");
    EXPECT_EQ(PageClassFor("7352", 2), "TfrmM7352");
    EXPECT_EQ(PageClassFor("7385", 2), "TfrmM7385Mod");
    EXPECT_EQ(PageClassFor("7347K", 2), "TfrmM7347KMod");
    EXPECT_EQ(PageClassFor("8600", 0), "TfrmM8600");
    EXPECT_EQ(PageClassFor("8600X", 1), "TfrmM8600");
    for (const char* unknown : {"7352r", "7352 ", " 7352", "7354N", "8631", "", "8600XY"})
        EXPECT_EQ(PageClassFor(unknown, 0), "") << unknown;
    EXPECT_EQ(odel::ui::DispatchTable().size(), 25u);
}

namespace {
// A stand-in page that records how the main window started it.
struct Started {
    QString pageClass;
    odel::SerialPort* link = nullptr;
    QString address;
    odel::ui::StatusPanels* statusBar = nullptr;
    QTreeWidget* tree = nullptr;
    bool visibleAtInit = false;
    int saves = 0, loads = 0;
};
Started g_started;

class FakePage : public odel::ui::ModulePage {
  public:
    FakePage(const QString& cls, QWidget* parent) : ModulePage(parent), cls_(cls) {
        resize(300, 200);
    }
    void InitModule(odel::SerialPort* link, const QString& address, odel::ui::StatusPanels* bar,
                    QTreeWidget* tree) override {
        g_started = {cls_, link, address, bar, tree, isVisible(), 0, 0};
    }
    void SaveConfiguration() override { ++g_started.saves; }
    void LoadConfiguration() override { ++g_started.loads; }

  private:
    QString cls_;
};

const char* const kFaked[] = {"TfrmM7352", "TfrmM7352R", "TfrmM7352RMod", "TfrmM8600"};
}  // namespace

class DispatchTest : public AppFixture {
  protected:
    // Stand-ins replace the real pages of a few classes for the test; the real ones come back.
    void SetUp() override {
        (void)odel::ui::RegisteredPages();  // the real registrations first, ours override them
        for (const char* cls : kFaked) {
            saved_.push_back(odel::ui::FindPage(cls));
            odel::ui::RegisterPage(cls,
                                   [c = QString(cls)](QWidget* p) { return new FakePage(c, p); });
        }
        AppFixture::SetUp();
        g_started = {};
    }
    void TearDown() override {
        AppFixture::TearDown();
        for (std::size_t i = 0; i < saved_.size(); ++i)
            odel::ui::RegisterPage(kFaked[i], saved_[i]);
    }
    std::vector<odel::ui::PageFactory> saved_;
};

TEST_F(DispatchTest, NodeDataChoosesClassAndChecksumFlag) {
    struct Case {
        QString text;
        int data;
        QString cls, address;
        int checksum;
    } cases[] = {{"(22)7352R", 2, "TfrmM7352RMod", "22", 1},
                 {"(01)7352R", 0, "TfrmM7352R", "01", 0},
                 {"(02)7352R", 1, "TfrmM7352R", "02", 1},
                 {"(*)7352", 0, "TfrmM7352", "*", 0},
                 {"(0F)7352", 2, "TfrmM7352", "0F", 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        auto* node = addNode(portNode(), c.text, c.data);
        g_started = {};
        click(node);
        EXPECT_EQ(g_started.pageClass, c.cls);
        EXPECT_EQ(g_started.address, c.address);
        EXPECT_EQ(g_started.link, win->link());
        EXPECT_EQ(g_started.statusBar, win->statbarMain);
        EXPECT_EQ(g_started.tree, tree);
        EXPECT_TRUE(g_started.visibleAtInit);  // shown before InitModule
        ASSERT_NE(win->link(), nullptr);
        EXPECT_EQ(win->link()->GetChecksum(), c.checksum);
        ASSERT_NE(win->modulePage(), nullptr);
        EXPECT_EQ(win->modulePage()->parentWidget(), win->ScrollBox1->widget());
        EXPECT_EQ(win->modulePage()->pos(), QPoint(2, 2));
    }
    EXPECT_TRUE(rec.shown.empty());
    // One page at a time: a click elsewhere deletes it.
    QPointer<QWidget> page = win->modulePage();
    click(portNode());
    EXPECT_TRUE(page.isNull());
    EXPECT_EQ(win->modulePage(), nullptr);
}

TEST_F(DispatchTest, MainUnitGetsNoTreeAndSlotsUseTheUnitsAddressAndData) {
    auto* unit = addNode(portNode(), "(03)8600", 1);
    auto* slot = addNode(unit, "(S1)8634", 0);
    click(unit);
    EXPECT_EQ(g_started.pageClass, "TfrmM8600");
    EXPECT_EQ(g_started.address, "03");
    EXPECT_EQ(g_started.tree, nullptr);

    g_started = {};
    win->link()->SetChecksum(0);
    click(slot);
    EXPECT_EQ(g_started.pageClass, "");
    EXPECT_EQ(rec.texts("warning"), QStringList{"Sorry, not support yet!"});
    EXPECT_EQ(win->link()->GetChecksum(), 1);  // from the main unit's node
    EXPECT_EQ(win->shownPage(), nullptr);

    // A slot reporting a supported name gets that page at the main unit's address.
    auto* known = addNode(unit, "(S2)7352", 0);
    click(known);
    EXPECT_EQ(g_started.pageClass, "TfrmM7352");
    EXPECT_EQ(g_started.address, "03");
}

TEST_F(DispatchTest, UnknownOrUnparsableNamesGiveTheirMessages) {
    for (const char* text : {"(05)7352r", "(05)7352 ", "(05)7354N"}) {
        rec.clear();
        click(addNode(portNode(), text, 0));
        EXPECT_EQ(rec.texts("warning"), QStringList{"Sorry, not support yet!"}) << text;
        EXPECT_EQ(win->shownPage(), nullptr);
    }
    rec.clear();
    click(addNode(portNode(), "()7352", 0));
    EXPECT_EQ(rec.texts("error"), QStringList{"Parsing module name failed!"});
    rec.clear();
    auto* unit = addNode(portNode(), "8600", 0);
    click(addNode(unit, "(S0)7352", 0));
    EXPECT_EQ(rec.texts("error"), QStringList{"Parsing module name failed!"});
    EXPECT_EQ(g_started.pageClass, "");
}

TEST_F(DispatchTest, ConfigurationCommandsCallTheShownPage) {
    click(addNode(portNode(), "(01)7352R", 0));
    win->tlbtnSaveConf->trigger();
    win->menuDownloadConf->trigger();
    win->menuSaveConf->trigger();
    EXPECT_EQ(g_started.saves, 2);
    EXPECT_EQ(g_started.loads, 1);
    click(portNode());  // no module page: the commands do nothing
    win->tlbtnSaveConfClick();
    win->tlbtnLoadConfClick();
    EXPECT_TRUE(rec.shown.empty());
}

// The real pages: whatever dev pages exist are created for found modules; the others warn.
class RealPagesTest : public AppFixture {};

TEST_F(RealPagesTest, ModuleNodesOpenTheirRegisteredPages) {
    auto* plain = addNode(portNode(), "(01)7352R", 0);
    auto* modbus = addNode(portNode(), "(04)7385", 2);
    auto* unknown = addNode(portNode(), "(05)7354N", 0);
    const std::pair<QTreeWidgetItem*, QString> cases[] = {
        {plain, "TfrmM7352R"}, {modbus, "TfrmM7385Mod"}, {unknown, ""}};
    for (const auto& [node, cls] : cases) {
        SCOPED_TRACE(cls.toStdString());
        rec.clear();
        bus.clearReceived();
        click(node);
        const bool registered = !cls.isEmpty() && odel::ui::FindPage(cls);
        if (registered) {
            ASSERT_NE(win->modulePage(), nullptr);
            const QString made = win->modulePage()->metaObject()->className();
            EXPECT_TRUE(made.endsWith(cls)) << made.toStdString();
            EXPECT_FALSE(bus.busReceived().empty());  // the page read its module
        } else {
            EXPECT_EQ(win->modulePage(), nullptr);
            EXPECT_EQ(rec.texts("warning"), QStringList{"Sorry, not support yet!"});
        }
    }
}

namespace {

// A red alarm text of one page does not colour the messages of the page opened next.
TEST_F(RealPagesTest, StatusColourStartsAfreshOnEveryPage) {
    auto* node = addNode(portNode(), "(01)7352R", 0);
    win->findChild<odel::ui::StatusPanels*>()->setPanelColor(0, Qt::red);
    click(node);
    ASSERT_NE(win->modulePage(), nullptr);
    EXPECT_NE(win->findChild<odel::ui::StatusPanels*>()->panelColor(0), QColor(Qt::red));
}

}  // namespace

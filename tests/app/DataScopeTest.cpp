// Tools > Data Scope against the simulated bus: the command's enabling, one window per port,
// sampling with a pause/resume, a recording with a mark, a file-size limit, the image export.
#include <sys/resource.h>

#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include "AppFixture.h"
#include "app/DataScopeWindow.h"
#include "pages/frame/SavedState.h"

namespace {

using odel::ui::TfrmDataScope;
namespace d = odel::sim::defaultbus;

class DataScopeTest : public odel::test::AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        bus.setLive(false);
        bus.modify(bus.findModule(d::k7352R), [](odel::sim::ModuleState& m) {
            m.ranges[0] = 0x08;
            m.values[0] = 2.5;
        });
        addNode(portNode(), "(01)7352R", 0);
        addNode(portNode(), "(02)7354R", 1);
        auto* unit = addNode(portNode(), "(03)8600X", 0);
        addNode(unit, "(S0)8631", 0);
        addNode(portNode(), "(44)7352R", 0);  // gone from the bus
    }
    // Clicks the Data Scope tool button the way a user does.
    void clickTool() {
        QWidget* b = win->ToolBar1->widgetForAction(win->tlbtnDataScope);
        ASSERT_NE(b, nullptr);
        QTest::mouseClick(b, Qt::LeftButton);
    }
    TfrmDataScope* open() {
        click(portNode());
        clickTool();
        return TfrmDataScope::Find(port());
    }
    // Runs the event loop until n sweeps more were taken.
    void sweeps(TfrmDataScope* w, std::uint64_t n) {
        const std::uint64_t until = w->traces()[0].Stats().count + n;
        for (int i = 0; i < 300 && w->traces()[0].Stats().count < until; ++i) QTest::qWait(10);
    }
    static std::string slurp(const QString& path) {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        return f.readAll().toStdString();
    }
};

TEST_F(DataScopeTest, OpensFromThePortNodeOncePerPortAndIsDisabledElsewhere) {
    EXPECT_TRUE(win->tlbtnDataScope->isVisible());
    EXPECT_FALSE(win->tlbtnDataScope->isEnabled());  // root selected, no link
    click(portNode()->child(0));
    EXPECT_FALSE(win->tlbtnDataScope->isEnabled());
    EXPECT_FALSE(win->menuDataScope->isEnabled());
    clickTool();
    EXPECT_EQ(TfrmDataScope::Find(port()), nullptr);

    TfrmDataScope* w = open();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(w->isModal());
    EXPECT_EQ(w->windowTitle(), "Data Scope - " + port());
    clickTool();
    EXPECT_EQ(TfrmDataScope::Find(port()), w);
    EXPECT_EQ(win->findChildren<TfrmDataScope*>().size(), 1);

    // The picker: modules with their inputs and ranges; the ones without inputs or without an
    // answer say why and offer nothing.
    QTreeWidget* t = w->treeChannels;
    ASSERT_EQ(t->topLevelItemCount(), 5);
    EXPECT_EQ(t->topLevelItem(0)->text(0), "(01)7352R");
    ASSERT_EQ(t->topLevelItem(0)->childCount(), 8);
    EXPECT_EQ(t->topLevelItem(0)->child(0)->text(1), "+/- 10V [V]");
    EXPECT_EQ(t->topLevelItem(1)->childCount(), 8);  // the checksum module answers too
    EXPECT_EQ(t->topLevelItem(2)->text(1), "no inputs the scope can read");
    EXPECT_EQ(t->topLevelItem(3)->text(0), "(S0)8631");
    EXPECT_EQ(t->topLevelItem(4)->text(1), "no answer to the configuration read");
    EXPECT_EQ(t->topLevelItem(4)->childCount(), 0);
    EXPECT_FALSE(t->topLevelItem(4)->flags() & Qt::ItemIsEnabled);
}

TEST_F(DataScopeTest, SamplesRecordsWithAMarkAndExportsTheChart) {
    TfrmDataScope* w = open();
    ASSERT_NE(w, nullptr);
    w->edtInterval->setText("50ms");
    QTest::mouseClick(w->btStart, Qt::LeftButton);
    EXPECT_FALSE(w->running());
    EXPECT_EQ(w->labStatus->text(), "Interval 50ms: must be from 100ms to 1h");
    w->edtInterval->setText("100ms");
    QTest::mouseClick(w->btStart, Qt::LeftButton);
    EXPECT_EQ(w->labStatus->text(), "Tick the inputs to sample.");
    w->setTicked(0, 0, true);
    w->setTicked(1, 3, true);

    QTemporaryDir dir;
    const QString csv = dir.filePath("run.csv");
    rec.fileAnswers.push_back(csv);
    QTest::mouseClick(w->btRecord, Qt::LeftButton);  // starts sampling too
    ASSERT_TRUE(w->running());
    ASSERT_TRUE(w->recording());
    EXPECT_FALSE(w->treeChannels->isEnabled());
    sweeps(w, 4);
    EXPECT_GE(w->traces()[0].Stats().count, 4u);
    EXPECT_EQ(w->tblLegend->item(0, 0)->text(), "01 7352R CH0 [V]");
    w->tmrRepaintTimer();
    EXPECT_EQ(w->tblLegend->item(0, 1)->text(), "+02.500");
    EXPECT_EQ(w->tblLegend->item(0, 2)->text(), "2.5");
    EXPECT_EQ(w->tblLegend->item(0, 4)->text(), "2.5");
    EXPECT_GT(w->achievedRate(), 7.0);
    EXPECT_LT(w->achievedRate(), 11.0);

    // Pause freezes the chart, sampling goes on.
    QTest::mouseClick(w->btPause, Qt::LeftButton);
    EXPECT_TRUE(w->paused());
    const std::uint64_t before = w->traces()[0].Stats().count;
    sweeps(w, 2);
    EXPECT_GE(w->traces()[0].Stats().count, before + 2);
    QTest::mouseClick(w->btPause, Qt::LeftButton);
    EXPECT_FALSE(w->paused());

    // A module that stops answering: empty samples and a red count; it comes back by itself.
    bus.setFault(bus.findModule(d::k7352R), odel::sim::Fault::NoReply, "#", 2);
    sweeps(w, 3);
    QTreeWidgetItem* ai = w->treeChannels->topLevelItem(0);
    EXPECT_EQ(ai->text(2), "2");
    EXPECT_EQ(w->sampler().Status()[0].failures, 2u);
    EXPECT_TRUE(w->sampler().Status()[0].lastOk);
    // Drawn as a gap: the line stops at the last good read and starts again at the next one.
    w->tmrRepaintTimer();
    const std::vector<QList<QPointF>> pieces = w->drawnPieces(0);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_GE(pieces[1].first().x() - pieces[0].last().x(), 250.0);  // two missed 100 ms sweeps
    for (const auto& piece : pieces)
        for (const QPointF& p : piece) EXPECT_EQ(p.y(), 2.5);
    EXPECT_EQ(w->drawnPieces(1).size(), 1u);  // the other module's line runs on
    bus.setFault(bus.findModule(d::k7352R), odel::sim::Fault::NoReply, "#", 1);
    for (int i = 0; i < 100 && w->sampler().Status()[0].failures < 3; ++i) QTest::qWait(10);
    EXPECT_FALSE(w->sampler().Status()[0].lastOk);
    EXPECT_EQ(ai->foreground(2).color(), QColor(Qt::red));

    // No sweep falls into a page's pause between the steps of its sequence.
    std::uint64_t inside = 0;
    odel::ui::setPauseHandler([&](int ms) {
        const std::uint64_t at = w->traces()[0].Stats().count;
        QTest::qWait(ms);
        inside += w->traces()[0].Stats().count - at;
    });
    odel::ui::pause(350);
    odel::ui::setPauseHandler([](int) {});
    EXPECT_EQ(inside, 0u);
    sweeps(w, 1);

    w->edtNote->setText("valve, opened");
    QTest::keyClick(w, Qt::Key_M);
    EXPECT_EQ(w->edtNote->text(), "");
    sweeps(w, 1);
    QTest::mouseClick(w->btRecord, Qt::LeftButton);
    EXPECT_FALSE(w->recording());
    EXPECT_TRUE(w->running());

    const std::string text = slurp(csv);
    EXPECT_EQ(text.substr(0, text.find('\n') + 1),
              "time,01 7352R CH0 [V],02 7354R CH3 ['C],note\n");
    EXPECT_NE(text.find(",+02.500,"), std::string::npos);
    EXPECT_NE(text.find(",,,\"valve, opened\"\n"), std::string::npos);
    EXPECT_EQ(text.back(), '\n');

    const QString png = dir.filePath("chart");
    rec.fileAnswers.push_back(png);
    QTest::mouseClick(w->btExportImage, Qt::LeftButton);
    QImage image(png + ".png");
    EXPECT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), w->chartView->size() * w->chartView->devicePixelRatio());
    QTest::mouseClick(w->btStart, Qt::LeftButton);
    EXPECT_FALSE(w->running());
    EXPECT_TRUE(rec.texts("error").isEmpty());
}

TEST_F(DataScopeTest, FullDiskStopsTheRecordingWithAMessageWhileSamplingGoesOn) {
    TfrmDataScope* w = open();
    ASSERT_NE(w, nullptr);
    w->edtInterval->setText("100ms");
    w->setTicked(0, 0, true);
    QTemporaryDir dir;
    const QString csv = dir.filePath("full.csv");
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit tiny = saved;
    tiny.rlim_cur = 200;  // the header and a few rows
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
    rec.fileAnswers.push_back(csv);
    QTest::mouseClick(w->btRecord, Qt::LeftButton);
    sweeps(w, 8);
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_FALSE(w->recording());
    EXPECT_TRUE(w->running());
    ASSERT_EQ(rec.texts("error").size(), 1);
    const QString message =
        "Recording stopped: cannot write to " + csv +
        " (File too large). The rows written before are kept; sampling goes on.";
    EXPECT_EQ(rec.texts("error")[0], message);
    EXPECT_EQ(w->labStatus->text(), message);
    const std::uint64_t before = w->traces()[0].Stats().count;
    sweeps(w, 2);
    EXPECT_GE(w->traces()[0].Stats().count, before + 2);
    const std::string text = slurp(csv);
    EXPECT_LE(text.size(), 200u);
    EXPECT_EQ(text.back(), '\n');  // whole rows only
    EXPECT_GE(std::count(text.begin(), text.end(), '\n'), 4);
    w->close();
}

// The window opens where it was left; a place on no screen is brought back onto one.
TEST_F(DataScopeTest, OpensWhereItWasLeftKeptOnScreen) {
    odel::ui::SavedState()->setValue("DataScope/geometry", QRect(-4000, 100, 600, 400));
    TfrmDataScope* w = open();
    ASSERT_NE(w, nullptr);
    const QRect avail = w->screen()->availableGeometry();
    EXPECT_TRUE(avail.contains(w->geometry())) << w->geometry().x() << "," << w->geometry().y();
    w->setGeometry(QRect(avail.left(), avail.top() + 10, 500, 350));  // grown to its minimum
    const QRect left = w->geometry();
    ASSERT_TRUE(avail.contains(left));
    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(TfrmDataScope::Find(port()), nullptr);
    w = open();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->geometry(), left);
    w->close();
}

}  // namespace

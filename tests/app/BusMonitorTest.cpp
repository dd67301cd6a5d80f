// Tools > Bus Monitor against the simulated bus: a page's poll rows and an Update's exchanges,
// in order and timed; the observer is gone while the window is closed; filters and saving.
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include "AppFixture.h"
#include "app/BusMonitorWindow.h"
#include "pages/frame/ModulePage.h"

namespace {

using odel::ui::ExchangeModel;
using odel::ui::TfrmBusMonitor;

class BusMonitorTest : public odel::test::AppFixture {
  protected:
    TfrmBusMonitor* openMonitor() {
        win->menuBusMonitor->trigger();
        auto* m = win->busMonitor();
        EXPECT_NE(m, nullptr);
        EXPECT_TRUE(m->isVisible());
        EXPECT_FALSE(m->isModal());
        return m;
    }
    // Decoded rows shown: the column's texts.
    static QStringList column(TfrmBusMonitor* m, int c) {
        m->tmrRefreshTimer();
        QStringList out;
        for (int r = 0; r < m->model()->rowCount(); ++r)
            out << m->model()->index(r, c).data().toString();
        return out;
    }
    QWidget* page() const { return win->modulePage(); }
};

TEST_F(BusMonitorTest, ShowsPollRowsAndTheUpdateInOrderWithReplyTimes) {
    click(portNode());
    TfrmBusMonitor* m = openMonitor();
    click(addNode(portNode(), "(01)7352R", 0));
    ASSERT_NE(page(), nullptr);
    QTest::qWait(1200);  // two or three polls of 500 ms
    auto* update = page()->findChild<QPushButton*>("btSystemUpdate");
    ASSERT_NE(update, nullptr);
    QTest::mouseClick(update, Qt::LeftButton);
    EXPECT_EQ(rec.texts("information"), QStringList{"Update General Setting Success!"});
    QTest::qWait(150);

    const QStringList commands = column(m, ExchangeModel::Command);
    const QStringList meanings = column(m, ExchangeModel::Meaning);
    const QStringList times = column(m, ExchangeModel::ReplyTime);
    const QStringList verdicts = column(m, ExchangeModel::Verdict);
    const QStringList ports = column(m, ExchangeModel::Port);
    ASSERT_FALSE(commands.isEmpty());
    // The page's first read, its polls, then the Update's read and configuration command.
    EXPECT_EQ(commands.front(), "$012↵");
    const int firstPoll = static_cast<int>(commands.indexOf("#01↵"));
    const int setConf = static_cast<int>(commands.indexOf(QRegularExpression("^%01.*")));
    ASSERT_GE(firstPoll, 0) << commands.join(" | ").toStdString();
    ASSERT_GT(setConf, firstPoll) << commands.join(" | ").toStdString();
    EXPECT_GE(commands.count("#01↵"), 2);
    // Update reads the configuration and checks the new address first.
    EXPECT_EQ(commands[setConf - 2], "$012↵");
    EXPECT_EQ(commands[setConf - 1], "$01M↵");
    EXPECT_TRUE(meanings[setConf].startsWith("%AANNTTCCFF set configuration (address 01 → 01"))
        << meanings[setConf].toStdString();
    EXPECT_EQ(meanings[firstPoll], "#AA read all inputs");
    EXPECT_EQ(verdicts[firstPoll], "data \">\"");
    for (int r = 0; r < commands.size(); ++r) {
        SCOPED_TRACE(commands[r].toStdString());
        EXPECT_EQ(ports[r], port());
        // A simulated module answers at once: well inside the 80 ms time-out.
        ASSERT_TRUE(times[r].endsWith(" ms")) << times[r].toStdString();
        const double ms = times[r].chopped(3).toDouble();
        EXPECT_GE(ms, 0.0);
        EXPECT_LT(ms, 80.0);
    }
    // Time column as hh:mm:ss.mmm.
    EXPECT_TRUE(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d$")
                    .match(column(m, ExchangeModel::Time).front())
                    .hasMatch());
}

TEST_F(BusMonitorTest, ClosedMonitorObservesNothingAndFollowsANewLink) {
    click(portNode());
    TfrmBusMonitor* m = openMonitor();
    std::string cmd = "$01M\r", reply;
    ASSERT_TRUE(win->link()->Transact(cmd, 64, &reply));
    EXPECT_EQ(column(m, ExchangeModel::Command), QStringList{"$01M↵"});
    m->close();
    cmd = "$012\r";
    reply.clear();
    ASSERT_TRUE(win->link()->Transact(cmd, 64, &reply));
    EXPECT_EQ(m->monitor().Exchanges().size(), 1u);
    // Shown again: the link is observed again, also after it was closed and opened anew.
    win->menuBusMonitor->trigger();
    click(root());
    EXPECT_EQ(win->link(), nullptr);
    click(portNode());
    cmd = "$01F\r";
    reply.clear();
    ASSERT_TRUE(win->link()->Transact(cmd, 64, &reply));
    EXPECT_EQ(column(m, ExchangeModel::Command), (QStringList{"$01M↵", "$01F↵"}));
}

TEST_F(BusMonitorTest, FiltersRawViewSaveAndWhyNoAnswer) {
    click(portNode());
    TfrmBusMonitor* m = openMonitor();
    for (const char* c : {"$01M\r", "$30M\r", "$01F\r", "$30M\r"}) {
        std::string cmd = c, reply;
        win->link()->Transact(cmd, 64, &reply);
    }
    QTest::qWait(100);
    EXPECT_EQ(column(m, ExchangeModel::Verdict),
              (QStringList{"accepted \"!\"", "no reply", "accepted \"!\"", "no reply"}));
    m->edtAddress->setText("30");
    EXPECT_EQ(column(m, ExchangeModel::Command), (QStringList{"$30M↵", "$30M↵"}));
    EXPECT_TRUE(m->labWhyNoAnswer->text().startsWith(
        "Why no answer? Nothing came back from address 30 (2 tries at 9600 bps)"))
        << m->labWhyNoAnswer->text().toStdString();
    m->edtAddress->clear();
    m->cmbVerdict->setCurrentText("Failures only");
    EXPECT_EQ(column(m, ExchangeModel::Address), (QStringList{"30", "30"}));
    m->cmbVerdict->setCurrentIndex(0);
    m->tblExchanges->selectRow(0);
    EXPECT_TRUE(m->labWhyNoAnswer->text().startsWith("Why no answer? Address 01 answers"))
        << m->labWhyNoAnswer->text().toStdString();

    m->chkRaw->setChecked(true);
    EXPECT_TRUE(m->txtRaw->isVisible());
    EXPECT_NE(m->txtRaw->toPlainText().indexOf(QRegularExpression(
                  "\\d\\d:\\d\\d:\\d\\d\\.\\d{6}  TX  24 30 31 4D 0D  \\|\\$01M↵\\|")),
              -1)
        << m->txtRaw->toPlainText().toStdString();

    QTemporaryDir dir;
    const QString csv = dir.filePath("bus.csv");
    rec.fileAnswers.push_back(csv);
    m->btSaveCsv->click();
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0], "time,port,address,command,reply,reply time,verdict,meaning");
    EXPECT_TRUE(
        lines[2].endsWith(",\"30\",\"$30M↵\",\"\",\"no reply\",\"no reply\","
                          "\"$AAM read module name\""))
        << lines[2].toStdString();

    m->btClear->click();
    EXPECT_EQ(m->model()->rowCount(), 0);
    EXPECT_EQ(m->labCount->text(), "0 rows, 0 dropped");
}

}  // namespace

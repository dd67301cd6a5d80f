// Tools > Back Up Bus..., Compare with Backup... and Restore from Backup... on a port node of
// the main window, against the default simulated bus.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include "AppFixture.h"
#include "app/BusBackupDialog.h"

using namespace odel::test;
namespace defaultbus = odel::sim::defaultbus;

namespace {

class BusBackupWindow : public AppFixture {
  protected:
    // Two modules listed under the port, as a search would list them.
    void listTwo() {
        bus.setLive(false);
        addNode(portNode(), "(0F)7352", 0);
        addNode(portNode(), "(12)7361", 0);
    }
    // The compare view shown by a command: its rows "module | state | key | backup | current".
    QStringList runView(const std::function<void()>& command,
                        const std::function<void(odel::ui::TfrmBusBackup*)>& use = {}) {
        QStringList rows;
        rec.execHandler = [&](QDialog* d) {
            auto* view = qobject_cast<odel::ui::TfrmBusBackup*>(d);
            EXPECT_NE(view, nullptr);
            if (!view) return int(QDialog::Rejected);
            rows << view->labSummary->text();
            // ODEL_SCREENSHOT_DIR set: the view as shown, for the README.
            if (const QByteArray shots = qgetenv("ODEL_SCREENSHOT_DIR");
                !shots.isEmpty() && view->btRestore->isHidden() && !view->Ticked().size() &&
                view->labSummary->text() != "No differences")
                view->grab().save(QString::fromLocal8Bit(shots) + "/compare-view.png");
            for (int i = 0; i < view->treeDifferences->topLevelItemCount(); ++i) {
                QTreeWidgetItem* m = view->treeDifferences->topLevelItem(i);
                rows << m->text(0) + " | " + m->text(1);
                for (int j = 0; j < m->childCount(); ++j)
                    rows << "  " + m->child(j)->text(1) + " | " + m->child(j)->text(2) + " | " +
                                m->child(j)->text(3);
            }
            if (use) use(view);
            return int(QDialog::Rejected);
        };
        command();
        rec.execHandler = {};
        return rows;
    }
    QTemporaryDir dir;
};

TEST_F(BusBackupWindow, BackUpCompareAndRestoreAPort) {
    listTwo();
    const QString folder = dir.filePath("bk");
    rec.fileAnswers = {folder};
    win->menuBackUpBus->trigger();  // the port of the selected node: none selected yet
    EXPECT_TRUE(rec.shown.empty());
    click(portNode());
    win->menuBackUpBus->trigger();
    EXPECT_EQ(rec.texts("information"), QStringList{"2 backed up, 0 without settings, 0 failed"});
    EXPECT_TRUE(QFile::exists(folder + "/0F-7352.txt"));
    EXPECT_TRUE(QFile::exists(folder + "/12-7361.txt"));

    bus.modify(bus.findModule(defaultbus::k7352), [](auto& m) { m.enableMask = 0xF7; });
    rec.fileAnswers = {folder};
    EXPECT_EQ(runView([&] { win->menuCompareBackupClick(portNode()); }),
              (QStringList{"1 of 2 modules differ from the backup", "(0F)7352 | differs",
                           "  CH3 State | 1 | 0", "(12)7361 | No differences"}));

    rec.fileAnswers = {folder};
    QString report;
    runView([&] { win->menuRestoreBackupClick(portNode()); },
            [&](odel::ui::TfrmBusBackup* view) {
                EXPECT_EQ(view->Ticked(), QSet<QString>{"0F"});
                QTest::mouseClick(view->btRestore, Qt::LeftButton);
                report = view->edtReport->toPlainText();
            });
    EXPECT_TRUE(rec.texts("question").value(0).startsWith("Write the backup's settings into 1 "));
    EXPECT_TRUE(report.startsWith("0F 7352 restored\n")) << report.toStdString();
    EXPECT_EQ(bus.module(bus.findModule(defaultbus::k7352)).enableMask, 0xFF);
    rec.fileAnswers = {folder};
    EXPECT_EQ(runView([&] { win->menuCompareBackupClick(portNode()); }).value(0), "No differences");
}

TEST_F(BusBackupWindow, CancelInTheProgressWindowStopsBetweenModules) {
    listTwo();
    click(portNode());
    const QString folder = dir.filePath("bk");
    rec.fileAnswers = {folder};
    rec.cancelAtStep = 1;  // Cancel pressed while the first module is read
    win->menuBackUpBusClick(portNode());
    EXPECT_EQ(rec.texts("progress"), QStringList{"Back Up Bus"});
    EXPECT_EQ(rec.progressSteps, (QStringList{"0/2 Reading (0F)7352 ...", "1/2 Reading (12)7361 ..."}));
    EXPECT_EQ(rec.texts("information"), QStringList{"Back up stopped: nothing was written."});
    EXPECT_FALSE(QFile::exists(folder + "/backup.json"));

    rec.cancelAtStep = -1;
    rec.fileAnswers = {folder};
    win->menuBackUpBusClick(portNode());
    bus.modify(bus.findModule(defaultbus::k7352), [](auto& m) { m.enableMask = 0xF7; });
    bus.modify(bus.findModule(defaultbus::k7361), [](auto& m) { m.typeCode ^= 1; });
    const int range7361 = bus.module(bus.findModule(defaultbus::k7361)).typeCode;
    rec.fileAnswers = {folder};
    rec.progressSteps.clear();
    QString report;
    runView([&] { win->menuRestoreBackupClick(portNode()); },
            [&](odel::ui::TfrmBusBackup* view) {
                rec.cancelAtStep = 3;  // two compare steps, then Cancel during the first restore
                QTest::mouseClick(view->btRestore, Qt::LeftButton);
                report = view->edtReport->toPlainText();
            });
    QString started;  // where the last folder chooser started: beside the folder chosen before
    for (const auto& m : rec.shown)
        if (m.kind == "folder") started = m.caption;
    EXPECT_EQ(started, QDir(dir.path()).absolutePath());
    EXPECT_EQ(rec.progressSteps.mid(2), (QStringList{"0/2 Restoring (0F)7352 ...",
                                                     "1/2 Restoring (12)7361 ..."}));
    EXPECT_TRUE(report.startsWith("0F 7352 restored\n")) << report.toStdString();
    EXPECT_TRUE(report.contains("12 7361 not done: stopped before this module")) << report.toStdString();
    EXPECT_EQ(bus.module(bus.findModule(defaultbus::k7352)).enableMask, 0xFF);
    EXPECT_EQ(bus.module(bus.findModule(defaultbus::k7361)).typeCode, range7361);
}

TEST_F(BusBackupWindow, PortWithoutModulesAndFoldersThatAreNoBackup) {
    win->menuBackUpBusClick(portNode());
    EXPECT_EQ(rec.texts("warning"),
              QStringList{"No modules are listed under " + port() + ": search the bus first."});
    listTwo();
    rec.clear();
    rec.fileAnswers = {dir.path()};
    win->menuRestoreBackupClick(portNode());
    EXPECT_EQ(rec.texts("error"),
              QStringList{dir.path() + " is not a bus backup: it has no backup.json"});
}

}  // namespace

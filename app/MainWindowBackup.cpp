// Tools > Back Up Bus..., Compare with Backup... and Restore from Backup... of the main window:
// the port's page is shown on its link (no module page polls meanwhile), the folder chosen,
// and the port's module nodes handed to the shared backup functions.
#include <QTreeWidget>

#include "app/BusBackupDialog.h"
#include "app/MainWindow.h"
#include "app/TreeImages.h"
#include "backup/BusBackup.h"
#include "pages/frame/Dialogs.h"
#include "pages/frame/SavedState.h"
#include "pages/frame/StatusPanels.h"

namespace odel::ui {

namespace {

QTreeWidgetItem* portOf(QTreeWidgetItem* node) {
    if (!node || !node->parent()) return nullptr;  // none, or "PC"
    while (node->parent() && node->parent()->parent()) node = node->parent();
    return node;
}

QList<odel::backup::BusNode> modulesOf(const QTreeWidgetItem* port) {
    QList<odel::backup::BusNode> nodes;
    for (int i = 0; i < port->childCount(); ++i) {
        const QTreeWidgetItem* m = port->child(i);
        QStringList slotTexts;
        for (int j = 0; j < m->childCount(); ++j) slotTexts << m->child(j)->text(0);
        nodes << odel::backup::BusNode{m->text(0), m->data(0, kNodeDataRole).toInt(), slotTexts};
    }
    return nodes;
}

// A whole-bus run's progress window and its line in status panel 0; false once cancelled.
class BusRun {
  public:
    BusRun(TfrmMain* window, const QString& title)
        : window_(window), progress_(dialogs().progress(window, title)) {}
    ~BusRun() { window_->ShowStatusMessage(""); }
    odel::backup::Progress callback() {
        return [this](int done, int total, const QString& text) {
            window_->ShowStatusMessage(text);
            stopped_ = !progress_->step(done, total, text);
            return !stopped_;
        };
    }
    bool stopped() const { return stopped_; }

  private:
    TfrmMain* window_;
    std::unique_ptr<RunProgress> progress_;
    bool stopped_ = false;
};

}  // namespace

bool TfrmMain::beginBusCommand(QTreeWidgetItem* port, const QString& title, QString& folder) {
    if (!port) return false;
    if (port->childCount() == 0) {
        dialogs().warning("No modules are listed under " + port->text(0) +
                          ": search the bus first.");
        return false;
    }
    treeviewModule->setCurrentItem(port);
    showPortPage(port);
    if (!link()) return false;
    folder = ChooseFolderIn(FileKind::Backups, this, title);
    return !folder.isEmpty();
}

void TfrmMain::menuBackUpBusClick(QTreeWidgetItem* port) {
    port = port ? port : portOf(treeviewModule->currentItem());
    QString folder;
    if (!beginBusCommand(port, "Back Up Bus", folder)) return;
    odel::backup::BackupFolder backup;
    bool stopped = false;
    {
        BusRun run(this, "Back Up Bus");
        backup = odel::backup::BackUpBus(*link(), port->text(0), modulesOf(port), run.callback());
        stopped = run.stopped();
    }
    if (stopped) {
        dialogs().information("Back up stopped: nothing was written.");
        return;
    }
    QString error;
    if (!odel::backup::WriteBackupFolder(folder, backup, &error)) {
        ShowStatusMessage("");
        dialogs().error(error);
        return;
    }
    ShowStatusMessage(backup.summary());
    QStringList failed;
    for (const auto& m : backup.modules)
        if (m.status == odel::backup::ModuleEntry::Status::Failed)
            failed << "(" + m.address + ")" + m.model + ": " + m.reason;
    const QString text = backup.summary() + (failed.isEmpty() ? "" : "\n" + failed.join("\n"));
    if (failed.isEmpty())
        dialogs().information(text);
    else
        dialogs().warning(text);
}

void TfrmMain::menuCompareBackupClick(QTreeWidgetItem* port) {
    runBusComparison(port ? port : portOf(treeviewModule->currentItem()), false);
}

void TfrmMain::menuRestoreBackupClick(QTreeWidgetItem* port) {
    runBusComparison(port ? port : portOf(treeviewModule->currentItem()), true);
}

void TfrmMain::runBusComparison(QTreeWidgetItem* port, bool restore) {
    const QString title = restore ? "Restore from Backup" : "Compare with Backup";
    QString folder;
    if (!beginBusCommand(port, title, folder)) return;
    odel::backup::BackupFolder backup;
    QString error;
    if (!odel::backup::ReadBackupFolder(folder, backup, &error)) {
        dialogs().error(error);
        return;
    }
    QList<odel::backup::ModuleComparison> plan;
    {
        BusRun run(this, title);
        plan = odel::backup::CompareBus(*link(), backup, modulesOf(port), run.callback());
        if (run.stopped()) return;
    }
    TfrmBusBackup::RestoreRun run;
    if (restore)
        run = [this, plan](const QSet<QString>& chosen) {
            BusRun progress(this, "Restore from Backup");
            return odel::backup::RestoreBus(*link(), plan, chosen, progress.callback());
        };
    TfrmBusBackup view(title + " - " + folder, plan, run, this);
    dialogs().exec(&view);
}

}  // namespace odel::ui

#include "app/BusBackupDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "pages/frame/Dialogs.h"

namespace odel::ui {

using odel::backup::ModuleComparison;
using odel::backup::RestoreOutcome;

QString RestoreReport(const QList<RestoreOutcome>& outcomes) {
    QStringList lines;
    for (const RestoreOutcome& o : outcomes) {
        lines << o.address + " " + o.model + " " + odel::backup::ResultName(o.result) +
                     (o.reason.isEmpty() ? "" : ": " + o.reason);
        for (const QString& m : o.messages) lines << "    " + m;
    }
    return lines.join("\n");
}

TfrmBusBackup::TfrmBusBackup(const QString& title, const QList<ModuleComparison>& plan,
                             RestoreRun restore, QWidget* parent)
    : QDialog(parent), plan_(plan), restore_(std::move(restore)) {
    setObjectName("TfrmBusBackup");
    setWindowTitle(title);
    resize(720, 480);
    auto* layout = new QVBoxLayout(this);
    labSummary = new QLabel(this);
    labSummary->setObjectName("labSummary");
    layout->addWidget(labSummary);
    treeDifferences = new QTreeWidget(this);
    treeDifferences->setObjectName("treeDifferences");
    treeDifferences->setHeaderLabels({"Module", "Key", "Backup", "Current"});
    treeDifferences->setRootIsDecorated(true);
    layout->addWidget(treeDifferences, 1);

    int differing = 0;
    for (const ModuleComparison& c : plan_) {
        using S = ModuleComparison::State;
        QString what = odel::backup::StateName(c.state);
        if (c.state == S::OtherModel) what += ": now " + c.currentModel;
        if (!c.reason.isEmpty()) what += ": " + c.reason;
        auto* row = new QTreeWidgetItem(treeDifferences,
                                        {"(" + c.address + ")" + c.model, what});
        row->setData(0, Qt::UserRole, c.address);
        row->setFirstColumnSpanned(false);
        if (c.state != S::Same && c.state != S::NoSettings) ++differing;
        for (const odel::backup::LineDifference& d : c.lines)
            new QTreeWidgetItem(row, {QString(), d.key, d.backup.isNull() ? "(none)" : d.backup,
                                      d.current.isNull() ? "(none)" : d.current});
        if (restore_ && odel::backup::Restorable(c, nullptr))
            row->setCheckState(0, c.state == S::Different ? Qt::Checked : Qt::Unchecked);
        row->setExpanded(true);
    }
    for (int i = 0; i < 4; ++i) treeDifferences->resizeColumnToContents(i);
    labSummary->setText(differing == 0 ? QString("No differences")
                                       : QString("%1 of %2 modules differ from the backup")
                                             .arg(differing)
                                             .arg(plan_.size()));

    edtReport = new QPlainTextEdit(this);
    edtReport->setObjectName("edtReport");
    edtReport->setReadOnly(true);
    edtReport->setVisible(false);
    layout->addWidget(edtReport);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    btRestore = buttons->addButton("&Restore", QDialogButtonBox::ActionRole);
    btRestore->setObjectName("btRestore");
    btRestore->setVisible(static_cast<bool>(restore_));
    connect(btRestore, &QPushButton::clicked, this, &TfrmBusBackup::btRestoreClick);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QSet<QString> TfrmBusBackup::Ticked() const {
    QSet<QString> out;
    for (int i = 0; i < treeDifferences->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = treeDifferences->topLevelItem(i);
        if (row->data(0, Qt::CheckStateRole).isValid() && row->checkState(0) == Qt::Checked)
            out.insert(row->data(0, Qt::UserRole).toString());
    }
    return out;
}

void TfrmBusBackup::btRestoreClick() {
    const QSet<QString> chosen = Ticked();
    if (!restore_ || chosen.isEmpty()) return;
    if (!dialogs().question(
            QString("Write the backup's settings into %1 module(s)? Their Update sequences "
                    "run as if each file were downloaded from its page.")
                .arg(chosen.size())))
        return;
    btRestore->setEnabled(false);
    const QList<RestoreOutcome> outcomes = restore_(chosen);
    edtReport->setPlainText(RestoreReport(outcomes));
    edtReport->setVisible(true);
}

}  // namespace odel::ui

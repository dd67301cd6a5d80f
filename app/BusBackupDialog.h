// The compare view of a whole-bus backup: per module its state and the lines that differ (key,
// backup value, current value). In restore mode each restorable module has a check box, and
// "Restore" asks for confirmation, runs the restore and shows its report below.
#pragma once

#include <QDialog>
#include <QList>
#include <QSet>
#include <functional>

#include "backup/BusBackup.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace odel::ui {

class TfrmBusBackup : public QDialog {
    Q_OBJECT
  public:
    using RestoreRun = std::function<QList<odel::backup::RestoreOutcome>(const QSet<QString>&)>;
    // restore empty: the compare view only.
    TfrmBusBackup(const QString& title, const QList<odel::backup::ModuleComparison>& plan,
                  RestoreRun restore, QWidget* parent = nullptr);

    QLabel* labSummary;
    QTreeWidget* treeDifferences;
    QPushButton* btRestore;
    QPlainTextEdit* edtReport;

    // The addresses whose boxes are ticked.
    QSet<QString> Ticked() const;
    void btRestoreClick();

  private:
    QList<odel::backup::ModuleComparison> plan_;
    RestoreRun restore_;
};

// The report of a restore, one module a line with its messages indented below.
QString RestoreReport(const QList<odel::backup::RestoreOutcome>& outcomes);

}  // namespace odel::ui

// The wait dialog shown after a configuration change: "Please wait  a moment !!" with a progress
// bar that advances 500 per 500 ms tick and closes the dialog when it reaches its maximum.
#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QTimer;

namespace odel::ui {

class TfrmMWaitFor : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmMWaitFor(QWidget* parent = nullptr);

    QProgressBar* ProgressBar1;
    QTimer* tmrStatusUpdate;

  public slots:
    void tmrStatusUpdateTimer();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
};

// Shows the wait dialog modally for waitTime milliseconds (rounded up to 500 ms steps).
void showWaitDialog(QWidget* owner, int waitTime);

}  // namespace odel::ui

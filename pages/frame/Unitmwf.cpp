#include "pages/frame/Unitmwf.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>

#include "pages/frame/Dialogs.h"

namespace odel::ui {

TfrmMWaitFor::TfrmMWaitFor(QWidget* parent) : QDialog(parent) {
    setObjectName("TfrmMWaitFor");
    setWindowTitle("Message");
    setModal(true);
    // No close button: the dialog ends when its time is up.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel("Please wait  a moment !!", this);
    label->setObjectName("Label1");
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setMinimumWidth(260);
    layout->addWidget(ProgressBar1);
    tmrStatusUpdate = new QTimer(this);
    tmrStatusUpdate->setObjectName("tmrStatusUpdate");
    tmrStatusUpdate->setInterval(500);
    connect(tmrStatusUpdate, &QTimer::timeout, this, &TfrmMWaitFor::tmrStatusUpdateTimer);
}

void TfrmMWaitFor::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    tmrStatusUpdate->start();
}

void TfrmMWaitFor::closeEvent(QCloseEvent* event) {
    // Only the timer closes the dialog.
    if (ProgressBar1->value() < ProgressBar1->maximum())
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void TfrmMWaitFor::reject() {
    // Escape does not cut the wait short either.
    if (ProgressBar1->value() >= ProgressBar1->maximum()) QDialog::reject();
}

void TfrmMWaitFor::tmrStatusUpdateTimer() {
    repaint();
    ProgressBar1->setValue(std::min(ProgressBar1->value() + 500, ProgressBar1->maximum()));
    if (ProgressBar1->value() >= ProgressBar1->maximum()) {
        tmrStatusUpdate->stop();
        accept();
    }
}

void showWaitDialog(QWidget* owner, int waitTime) {
    TfrmMWaitFor dialog(owner);
    dialog.ProgressBar1->setRange(0, waitTime);
    dialog.ProgressBar1->setValue(0);
    dialogs().exec(&dialog);
}

}  // namespace odel::ui

#include "app/DlgSearch.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include "app/KnownBus.h"
#include "app/SearchAnimation.h"
#include "app/TreeImages.h"
#include "device/BusProbe.h"
#include "device/SerialPort.h"
#include "pages/frame/Widgets.h"

namespace odel::ui {

namespace {
QLineEdit* addressEdit(QWidget* parent, const char* name) {
    auto* e = makeReadOnlyEdit(name, {}, parent);
    e->setEnabled(false);
    e->setMaximumWidth(60);
    return e;
}
}  // namespace

TfrmDlgSearch::TfrmDlgSearch(QWidget* parent) : QDialog(parent) {
    setObjectName("frmDlgSearch");
    setWindowTitle("Searching...");
    Animate1 = new SearchAnimation(this);
    Animate1->setObjectName("Animate1");
    edtAddrHex = addressEdit(this, "edtAddrHex");
    edtAddrDec = addressEdit(this, "edtAddrDec");
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setMinimum(0);
    ProgressBar1->setTextVisible(false);
    btnStop = new QPushButton("Stop scan", this);
    btnStop->setObjectName("btnStop");
    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    connect(Timer1, &QTimer::timeout, this, &TfrmDlgSearch::Timer1Timer);
    connect(btnStop, &QPushButton::clicked, this, &TfrmDlgSearch::btnStopClick);

    auto* grid = new QGridLayout(this);
    grid->addWidget(Animate1, 0, 0, 1, 5);
    grid->addWidget(new QLabel("Scanned address", this), 1, 0);
    grid->addWidget(edtAddrHex, 1, 1);
    grid->addWidget(new QLabel("(Hex)", this), 1, 2);
    grid->addWidget(edtAddrDec, 1, 3);
    grid->addWidget(new QLabel("(Dec)", this), 1, 4);
    grid->addWidget(ProgressBar1, 2, 0, 1, 5);
    grid->addWidget(btnStop, 3, 0, 1, 5, Qt::AlignHCenter);
    setFixedSize(sizeHint());
}

TfrmDlgSearch::~TfrmDlgSearch() = default;

void TfrmDlgSearch::SetStartAddr(odel::SerialPort* link, int startAddress, QTreeWidget* tree,
                                 int endAddress) {
    link_ = link;
    probe_ = std::make_unique<odel::BusSearch>(link, startAddress, endAddress);
    tree_ = tree;
    portNode_ = tree ? tree->currentItem() : nullptr;
    if (portNode_) qDeleteAll(portNode_->takeChildren());
    ProgressBar1->setMaximum(probe_->ProgressMaximum());
    ProgressBar1->setValue(0);
    Animate1->start();
    finished_ = false;
    Timer1->setInterval(link->GetTimeout() + 30);
    Timer1->start();
}

void TfrmDlgSearch::Timer1Timer() {
    if (finished_) return;
    if (!probe_ || probe_->Finished() || !portNode_) {
        finish();
        return;
    }
    const int address = probe_->Address();
    edtAddrDec->setText(QString::asprintf("%d", address));
    edtAddrHex->setText(QString::asprintf("%02X", address));

    odel::ProbeNode found;
    bool progressed = false;
    if (probe_->ProbeNext(found, progressed)) {
        AddModuleNode(portNode_, found);
        if (!portNode_->isExpanded()) portNode_->setExpanded(true);
    }
    if (progressed) ProgressBar1->setValue(ProgressBar1->value() + 1);
    repaint();
}

void TfrmDlgSearch::btnStopClick() {
    finish();
}

void TfrmDlgSearch::finish() {
    Animate1->stop();
    Timer1->stop();
    probe_.reset();
    finished_ = true;
    QDialog::done(QDialog::Accepted);
}

void TfrmDlgSearch::done(int result) {
    // Closing the window in any way ends the search; the nodes found so far stay.
    Animate1->stop();
    Timer1->stop();
    probe_.reset();
    finished_ = true;
    QDialog::done(result);
}

}  // namespace odel::ui

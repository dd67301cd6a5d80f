#include "pages/analog_out/Unitmaocalib.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "pages/analog_out/AoCalibTargets.h"
#include "pages/frame/Dialogs.h"

namespace odel::ui {

namespace {
// Trim step of each button (tag 1 to 4): a signed 8-bit count.
const char* const kTrimCodes[4] = {"0A", "01", "FF", "F6"};
}  // namespace

TfrmMAOCalib::TfrmMAOCalib(QWidget* parent) : QDialog(parent) {
    setObjectName("TfrmMAOCalib");
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    auto* layout = new QVBoxLayout(this);

    grpUnit = new QGroupBox("Trim for 20.0 mA: ", this);
    grpUnit->setObjectName("grpUnit");
    auto* g = new QVBoxLayout(grpUnit);
    g->addWidget(new QLabel("Attach meter to output terminal of the module", grpUnit));
    auto* value = new QHBoxLayout;
    value->addWidget(new QLabel("Startup output value =", grpUnit));
    labCalibVal = new QLabel("20.0 mA", grpUnit);
    labCalibVal->setObjectName("labCalibVal");
    labCalibVal->setMinimumWidth(70);
    value->addWidget(labCalibVal);
    value->addStretch(1);
    g->addLayout(value);

    auto* trim = new QGroupBox("Trim: ", grpUnit);
    trim->setObjectName("grpTrim");
    auto* t = new QHBoxLayout(trim);
    const char* names[4] = {"bitbtnLeftLeft20", "bitbtnLeft20", "bitbtnRight20",
                            "bitbtnRightRight20"};
    const char* arrows[4] = {"<<", "<", ">", ">>"};
    for (int i = 0; i < 4; ++i) {
        auto* b = new QPushButton(arrows[i], trim);
        b->setObjectName(names[i]);
        b->setProperty("tag", i + 1);
        b->setFixedWidth(44);
        // Enter on a focused trim button trims again instead of storing the point.
        b->setAutoDefault(true);
        t->addWidget(b);
        connect(b, &QPushButton::clicked, this, [this, i] { bitbtnLeftLeft20Click(i + 1); });
        trims_[i] = b;
    }
    bitbtnLeftLeft20 = trims_[0];
    bitbtnLeft20 = trims_[1];
    bitbtnRight20 = trims_[2];
    bitbtnRightRight20 = trims_[3];
    g->addWidget(trim);
    layout->addWidget(grpUnit);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    bitbtn20Execute = new QPushButton("&Save", this);
    bitbtn20Execute->setObjectName("bitbtn20Execute");
    bitbtn20Execute->setDefault(true);
    bitbtn20Exit = new QPushButton("E&xit", this);
    bitbtn20Exit->setObjectName("bitbtn20Exit");
    buttons->addWidget(bitbtn20Execute);
    buttons->addWidget(bitbtn20Exit);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    connect(bitbtn20Execute, &QPushButton::clicked, this, &TfrmMAOCalib::bitbtn20ExecuteClick);
    connect(bitbtn20Exit, &QPushButton::clicked, this, &QDialog::reject);
}

TfrmMAOCalib::~TfrmMAOCalib() = default;

void TfrmMAOCalib::setTarget(std::unique_ptr<AoCalibTarget> target) {
    target_ = std::move(target);
}

bool TfrmMAOCalib::lowPoint() const {
    if (target_ && target_->kind() == AoCalibTarget::Kind::VoltageOutput)
        return mode_ == LowVoltage;
    return mode_ == Low4mA;
}

void TfrmMAOCalib::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
    // The trim buttons have the focus first, so Enter does not store the point at once.
    if (trims_[1]->isEnabled()) trims_[1]->setFocus();
}

void TfrmMAOCalib::FormShow() {
    if (!target_) return;
    switch (target_->kind()) {
        case AoCalibTarget::Kind::CurrentOutput: {
            const char* hints[4] = {"To trim -15.0uA", "To trim -1.50uA", "To trim +1.50uA",
                                    "To trim +15.0uA"};
            for (int i = 0; i < 4; ++i) trims_[i]->setToolTip(hints[i]);
            labCalibVal->setText(lowPoint() ? "4.0mA" : "20.0mA");
            grpUnit->setTitle(lowPoint() ? " Trim for 4.0 mA " : " Trim for 20.0 mA ");
            break;
        }
        case AoCalibTarget::Kind::VoltageOutput: {
            const char* hints[4] = {"To trim -1.0mV", "To trim -10.0mV", "To trim +1.0mV",
                                    "To trim +10.0mV"};
            for (int i = 0; i < 4; ++i) trims_[i]->setToolTip(hints[i]);
            labCalibVal->setText(lowPoint() ? "0.0V" : "10.0V");
            grpUnit->setTitle(lowPoint() ? " Trim for 0.0 V " : " Trim for 10.0 V ");
            break;
        }
        case AoCalibTarget::Kind::ChannelOutput:
            // The page has set the group caption and the value label already.
            break;
    }
    // No trim command for this module: the buttons would promise a step that never happens.
    for (QPushButton* b : trims_) {
        b->setEnabled(target_->CanTrim());
        if (!target_->CanTrim()) b->setToolTip(QString());
    }
}

void TfrmMAOCalib::bitbtnLeftLeft20Click(int tag) {
    if (!target_ || !target_->CanTrim() || tag < 1 || tag > 4) return;
    if (!target_->Trim(kTrimCodes[tag - 1]))
        dialogs().messageBox("Write Trim Calibration Error", messageCaption_);
}

void TfrmMAOCalib::bitbtn20ExecuteClick() {
    if (!target_) return;
    const bool voltage = target_->kind() == AoCalibTarget::Kind::VoltageOutput;
    const bool low = lowPoint();
    const QString point = voltage ? (low ? "0V" : "10V") : (low ? "4mA" : "20mA");
    const bool ok = low ? target_->CalibrateLow() : target_->CalibrateHigh();
    dialogs().messageBox(point + (ok ? " Calibration Successfully" : " Calibration Error"),
                         messageCaption_);
    if (ok) accept();
}

}  // namespace odel::ui

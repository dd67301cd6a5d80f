#include "pages/analog_in/Unitmcalib.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "pages/analog_in/AiCalibTargets.h"
#include "pages/frame/Dialogs.h"

namespace odel::ui {

TfrmCalib::TfrmCalib(QWidget* parent) : QDialog(parent) {
    setObjectName("TfrmCalib");
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(this);
    group->setObjectName("GroupBox1");
    auto* g = new QHBoxLayout(group);
    auto* label1 = new QLabel("Apply ", group);
    label1->setObjectName("Label1");
    Edit1 = new QLineEdit(group);
    Edit1->setObjectName("Edit1");
    Edit1->setReadOnly(true);
    Edit1->setFrame(false);
    Edit1->setFixedWidth(70);
    auto* label2 = new QLabel("to the input terminal of the module on", group);
    label2->setObjectName("Label2");
    Label3 = new QLabel("CH 0", group);
    Label3->setObjectName("Label3");
    g->addWidget(label1);
    g->addWidget(Edit1);
    g->addWidget(label2);
    g->addWidget(Label3);
    layout->addWidget(group);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    Button1 = new QPushButton("&Save", this);
    Button1->setObjectName("Button1");
    Button2 = new QPushButton("E&xit", this);
    Button2->setObjectName("Button2");
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    connect(Button1, &QPushButton::clicked, this, &TfrmCalib::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

TfrmCalib::~TfrmCalib() = default;

void TfrmCalib::setInputText(const QString& text) {
    inputText_ = text;
    Edit1->setText(text);
}

void TfrmCalib::setTarget(std::unique_ptr<CalibTarget> target) {
    target_ = std::move(target);
    // Other kinds keep the label's own "CH 0".
    if (target_ && target_->HasChannel())
        Label3->setText(QString::asprintf("CH %d", target_->Channel()));
}

void TfrmCalib::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Edit1->setText(inputText_);
}

void TfrmCalib::Button1Click() {
    const bool ok = target_ && (span_ ? target_->Span() : target_->Zero());
    const char* what = span_ ? "Span" : "Zero";
    dialogs().messageBox(QString("%1 Calibration %2").arg(what, ok ? "Successfully" : "Error"),
                         messageTitle_);
    if (ok) accept();
}

}  // namespace odel::ui

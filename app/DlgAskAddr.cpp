#include "app/DlgAskAddr.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "pages/frame/Dialogs.h"

namespace odel::ui {

TfrmDlgAskAddr::TfrmDlgAskAddr(QWidget* parent) : QDialog(parent) {
    setObjectName("frmDlgAskAddr");
    setWindowTitle("Search Installed Modules");
    auto* label = new QLabel("Enter start address between 0 and 255 dicimal", this);
    label->setObjectName("Label1");
    EditAddr = new QLineEdit("0", this);
    EditAddr->setObjectName("EditAddr");
    EditAddr->setMaxLength(3);
    BitBtnOK = new QPushButton("OK", this);
    BitBtnOK->setObjectName("BitBtnOK");
    BitBtnOK->setDefault(true);
    BitBtnCancel = new QPushButton("Cancel", this);
    BitBtnCancel->setObjectName("BitBtnCancel");
    connect(BitBtnOK, &QPushButton::clicked, this, &TfrmDlgAskAddr::BitBtnOKClick);
    connect(BitBtnCancel, &QPushButton::clicked, this, &TfrmDlgAskAddr::BitBtnCancelClick);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtnOK);
    buttons->addWidget(BitBtnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(EditAddr);
    layout->addLayout(buttons);
    setFixedSize(sizeHint());
}

void TfrmDlgAskAddr::BitBtnOKClick() {
    if (EditAddr->text().isEmpty()) return;
    bool ok = false;
    int value = EditAddr->text().toInt(&ok, 10);
    if (!ok) value = -1;
    if (value < 0 || value > 255) {
        dialogs().error("Please input a dicimal number between 0 and 255!");
        EditAddr->setText("0");
        return;
    }
    startAddr_ = value;
    accept();
}

void TfrmDlgAskAddr::BitBtnCancelClick() {
    reject();
}

}  // namespace odel::ui

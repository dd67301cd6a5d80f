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
    // Optional: where the search stops; left at 255 it searches to the end as always.
    auto* endLabel = new QLabel("End address (optional, up to 255)", this);
    endLabel->setObjectName("LabelEndAddr");
    EditEndAddr = new QLineEdit("255", this);
    EditEndAddr->setObjectName("EditEndAddr");
    EditEndAddr->setMaxLength(3);
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
    layout->addWidget(endLabel);
    layout->addWidget(EditEndAddr);
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
    int end = 255;
    if (!EditEndAddr->text().trimmed().isEmpty()) {
        end = EditEndAddr->text().trimmed().toInt(&ok, 10);
        if (!ok || end < value || end > 255) {
            dialogs().error("Please input an end address between the start address and 255!");
            EditEndAddr->setText("255");
            return;
        }
    }
    startAddr_ = value;
    endAddr_ = end;
    accept();
}

void TfrmDlgAskAddr::BitBtnCancelClick() {
    reject();
}

}  // namespace odel::ui

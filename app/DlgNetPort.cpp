#include "app/DlgNetPort.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "pages/frame/Dialogs.h"

namespace odel::ui {

TfrmDlgNetPort::TfrmDlgNetPort(QWidget* parent) : QDialog(parent) {
    setObjectName("frmDlgNetPort");
    setWindowTitle("Add Network Port");
    ComboBoxProtocol = new QComboBox(this);
    ComboBoxProtocol->setObjectName("ComboBoxProtocol");
    ComboBoxProtocol->addItems({"Raw TCP (tcp://)", "RFC 2217 telnet (rfc2217://)"});
    ComboBoxProtocol->setToolTip(
        "RFC 2217 lets this program set the baud rate on the device server's port;\n"
        "over raw TCP the baud rate is set on the device server itself.");
    EditHost = new QLineEdit(this);
    EditHost->setObjectName("EditHost");
    EditHost->setPlaceholderText("host name or IP address");
    EditTcpPort = new QSpinBox(this);
    EditTcpPort->setObjectName("EditTcpPort");
    EditTcpPort->setRange(1, 65535);
    EditTcpPort->setValue(4001);
    BitBtnOK = new QPushButton("OK", this);
    BitBtnOK->setObjectName("BitBtnOK");
    BitBtnOK->setDefault(true);
    BitBtnCancel = new QPushButton("Cancel", this);
    BitBtnCancel->setObjectName("BitBtnCancel");
    connect(BitBtnOK, &QPushButton::clicked, this, &TfrmDlgNetPort::BitBtnOKClick);
    connect(BitBtnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* form = new QFormLayout;
    form->addRow("Protocol:", ComboBoxProtocol);
    form->addRow("Host:", EditHost);
    form->addRow("TCP port:", EditTcpPort);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtnOK);
    buttons->addWidget(BitBtnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(340, 0)));
}

void TfrmDlgNetPort::BitBtnOKClick() {
    QString host = EditHost->text().trimmed();
    // An IPv6 literal is written in brackets in the port name.
    if (host.startsWith('[') && host.endsWith(']')) host = host.mid(1, host.size() - 2);
    static const QString kAllowed = "-._:%";
    bool valid = !host.isEmpty() && host.size() <= 253;
    for (QChar c : host)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && !kAllowed.contains(c)) valid = false;
    if (!valid) {
        dialogs().error("Please enter the host name or IP address of the device server!");
        EditHost->setFocus();
        return;
    }
    if (host.contains(':')) host = "[" + host + "]";
    const QString scheme = ComboBoxProtocol->currentIndex() == 1 ? "rfc2217://" : "tcp://";
    portName_ = scheme + host + ":" + QString::number(EditTcpPort->value());
    accept();
}

}  // namespace odel::ui

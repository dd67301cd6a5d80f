// Asks for a serial device server on the network: raw TCP or RFC 2217, host and TCP port.
#pragma once

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace odel::ui {

class TfrmDlgNetPort : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmDlgNetPort(QWidget* parent = nullptr);

    QComboBox* ComboBoxProtocol;  // 0 raw TCP, 1 RFC 2217
    QLineEdit* EditHost;
    QSpinBox* EditTcpPort;
    QPushButton* BitBtnOK;
    QPushButton* BitBtnCancel;

    // The port name built on OK: "tcp://HOST:PORT" or "rfc2217://HOST:PORT".
    QString PortName() const { return portName_; }

  public Q_SLOTS:
    void BitBtnOKClick();

  private:
    QString portName_;
};

}  // namespace odel::ui

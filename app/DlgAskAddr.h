// Asks for the address the bus search starts at (0..255, decimal), and where it may stop.
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace odel::ui {

class TfrmDlgAskAddr : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmDlgAskAddr(QWidget* parent = nullptr);

    QLineEdit* EditAddr;
    QLineEdit* EditEndAddr;
    QPushButton* BitBtnOK;
    QPushButton* BitBtnCancel;

    int StartAddr() const { return startAddr_; }
    int EndAddr() const { return endAddr_; }

  public Q_SLOTS:
    void BitBtnOKClick();
    void BitBtnCancelClick();

  private:
    int startAddr_ = 0;
    int endAddr_ = 255;
};

}  // namespace odel::ui

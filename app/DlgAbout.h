// The about dialog of the Help menu.
#pragma once

#include <QDialog>

class QPushButton;

namespace odel::ui {

class TfrmDlgAbout : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmDlgAbout(QWidget* parent = nullptr);
    QPushButton* OKBtn;
};

}  // namespace odel::ui

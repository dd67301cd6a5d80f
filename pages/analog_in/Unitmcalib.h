// Zero or span calibration of an analog input: tells the user what to apply to the input
// terminals and sends the calibration command on "&Save"; a failure leaves the dialog open.
#pragma once

#include <QDialog>
#include <memory>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace odel::ui {

class CalibTarget;

class TfrmCalib : public QDialog {
    Q_OBJECT
  public:
    explicit TfrmCalib(QWidget* parent = nullptr);
    ~TfrmCalib() override;

    void setSpan(bool span) { span_ = span; }
    void setInputText(const QString& text);
    void setTarget(std::unique_ptr<CalibTarget> target);
    // Title of the result message boxes (the pages leave it empty).
    void setMessageTitle(const QString& title) { messageTitle_ = title; }

    QLineEdit* Edit1;
    QLabel* Label3;
    QPushButton* Button1;
    QPushButton* Button2;

  public slots:
    void Button1Click();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    bool span_ = false;
    QString inputText_;
    QString messageTitle_;
    std::unique_ptr<CalibTarget> target_;
};

}  // namespace odel::ui

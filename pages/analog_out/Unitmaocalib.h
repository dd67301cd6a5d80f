// Output calibration: the user trims an analog output step by step against an external meter,
// then stores the point in the module with "&Save". Serves the single current output, the
// strain-gauge excitation voltage output and one channel of the four-output module, by the
// target the caller hands over (pages/analog_out/AoCalibTargets.h).
#pragma once

#include <QDialog>
#include <array>
#include <memory>

class QGroupBox;
class QLabel;
class QPushButton;

namespace odel::ui {

class AoCalibTarget;

class TfrmMAOCalib : public QDialog {
    Q_OBJECT
  public:
    // Calibration point: 4 mA, 20 mA, 0 V, 10 V.
    enum Mode { Low4mA = 0, High20mA = 1, LowVoltage = 2, HighVoltage = 3 };

    explicit TfrmMAOCalib(QWidget* parent = nullptr);
    ~TfrmMAOCalib() override;

    // Set by the caller before the dialog is shown; the caption too (setWindowTitle).
    void setTarget(std::unique_ptr<AoCalibTarget> target);
    void setMode(int mode) { mode_ = mode; }
    int mode() const { return mode_; }

    QGroupBox* grpUnit;
    QLabel* labCalibVal;
    // Trim buttons, tags 1 to 4.
    QPushButton* bitbtnLeftLeft20;
    QPushButton* bitbtnLeft20;
    QPushButton* bitbtnRight20;
    QPushButton* bitbtnRightRight20;
    QPushButton* bitbtn20Execute;
    QPushButton* bitbtn20Exit;

  public slots:
    // A trim button by its tag (1 to 4).
    void bitbtnLeftLeft20Click(int tag);
    void bitbtn20ExecuteClick();
    // Texts and hints of the target's kind, as on showing.
    void FormShow();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    // True when the mode names the low point of the target's kind.
    bool lowPoint() const;
    std::array<QPushButton*, 4> trims_{};
    std::unique_ptr<AoCalibTarget> target_;
    int mode_ = High20mA;
    // Caption of the dialog's message boxes, always empty.
    QString messageCaption_;
};

}  // namespace odel::ui

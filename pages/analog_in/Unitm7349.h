// ODEL-7349: the strain-gauge input with alarm limits and four outputs, plus the 0 to 10 V
// excitation output with its track bar, trim and start-up value, on two tabs. The input,
// alarm and settings logic is the single-channel pages' (AiSingleBase).
#pragma once

#include "pages/analog_in/AiSingleBase.h"

class QLabel;
class QSlider;
class QTabWidget;

namespace odel {
class Module7349;
}

namespace odel::ui {

class TfrmM7349 : public AiSingleBase {
    Q_OBJECT
  public:
    explicit TfrmM7349(QWidget* parent = nullptr);

    void InitModule(odel::SerialPort* link, const QString& addressText, StatusPanels* statusBar,
                    QTreeWidget* treeView) override;

    QTabWidget* PageControl = nullptr;
    QGroupBox* gbAICalibration = nullptr;
    QPushButton* bitbtn0V = nullptr;
    QPushButton* bitbtn10V = nullptr;
    QSlider* trabAOVal = nullptr;
    QLineEdit* edtAO_Val = nullptr;
    QPushButton* btnValueOutput = nullptr;
    QPushButton* btnStartup = nullptr;
    QLineEdit* edtLast_Val = nullptr;
    QLabel* labAIUnit = nullptr;

  public slots:
    void tmrUpdateAIDataTimer() override;
    void PageControlChange();
    void btnValueOutputClick();
    void btnStartupClick();
    void trabAOValChange();
    // Moves the track bar by steps (of 1/10000 of its span), clamped to its ends.
    void TrimBy(int steps);
    // Output calibration at 0 V (kind 2) or 10 V (kind 3).
    void AOCalibration(int kind);

  protected:
    std::unique_ptr<odel::AiAlarmModule> CreateModule(odel::SerialPort* link,
                                                      const std::string& address) override;
    unsigned AllAlarmParts() const override { return Mode | Outputs; }
    void ShowRange(int index) override;
    void DelayForChangeType() override;
    QString UpdateSuccessText() const override { return "Update success!"; }
    QString AlarmTypeSuccessText() const override { return "Update success!"; }
    bool LimitValue(const QString& text, bool high, QString& value) override;
    QString LimitSuccessText(bool) const override { return "Update success!"; }
    QString OutputDigits(const std::vector<bool>& on, int bit) const override;
    std::unique_ptr<CalibTarget> MakeCalibTarget() override;
    QString ZeroCalInput(int index) override;
    QString SpanCalInput(int index) override;

  private:
    QWidget* buildSettingTab();
    QWidget* buildDataTab();

    odel::Module7349* module7349_ = nullptr;
};

}  // namespace odel::ui

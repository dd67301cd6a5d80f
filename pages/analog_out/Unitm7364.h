// Page of the four-output module 7364: general settings with slew rate, protocol and the comm
// safety time, the setup of each channel (range, emergency and start-up values, emergency
// input), one channel driven directly, the four digital inputs and the 4 mA / 20 mA
// calibration of a channel.
#pragma once

#include <array>
#include <memory>

#include "pages/analog_out/AoPage.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QScrollBar;

namespace odel {
class Module7364;
}

namespace odel::ui {

class Lamp;

class TfrmM7364 : public AoPage {
    Q_OBJECT
  public:
    explicit TfrmM7364(QWidget* parent = nullptr);
    ~TfrmM7364() override;

    void InitModule(odel::SerialPort* link, const QString& addressText, StatusPanels* statusBar,
                    QTreeWidget* treeView) override;
    // The 7364 has no settings file: both commands do nothing.
    void SaveConfiguration() override {}
    void LoadConfiguration() override {}

    odel::Module7364* module() const { return module_.get(); }

    QComboBox* cmbSlewRate;
    QLineEdit* edtCommSafety;
    // Channel setup, by channel index 0..3.
    std::array<QLineEdit*, 4> txbAOCH{};
    std::array<QComboBox*, 4> cmbAORange{};
    std::array<QLineEdit*, 4> txbEmerVal{};
    std::array<QCheckBox*, 4> ckbEmerInput{};
    std::array<QLineEdit*, 4> txbStartUpVal{};
    std::array<QLineEdit*, 4> txbCurVal{};
    QPushButton* btAORead;
    QPushButton* btAOFunctionSet;
    QComboBox* cmbOutputCh;
    QLineEdit* edtAOOutput;
    QScrollBar* scrbarAO;
    QLineEdit* edtCode;
    QPushButton* btAOOutput;
    QPushButton* bitbtn4mA;
    QPushButton* bitbtn20mA;
    std::array<Lamp*, 4> bitbtnDI{};
    QLineEdit* edtDIData;

  public slots:
    void tmrUpdateDataTimer();
    void btAOReadClick();
    void btAOFunctionSetClick();
    void cmbOutputChChange();
    void scrbarAOChange();
    void btAOOutputClick();
    void bitbtn4mAClick();
    void bitbtn20mAClick();

  protected:
    odel::ModuleBase* frameModule() const override;
    void RefreshGeneralSetting() override;
    void StageInitSettings() override;
    // Writes the comm safety time after a successful Update.
    bool UpdateCommWDT() override;
    void BuildConfSchema(ConfSchema&) override {}

  private:
    void buildChannelSetup();
    void buildDirectOutput();
    // Reads range, start-up value, emergency value and emergency input of every channel.
    void RefreshAOStatus();
    // Reads the four current values; false when one fails or holds no number.
    bool readCurrentValues();
    void readDigitalInputs();
    void calibrate(int mode);
    int channel() const;

    std::unique_ptr<odel::Module7364> module_;
    // Range code character per channel as read ('0', '1', '2'), 0 when unknown.
    std::array<char, 4> rangeChar_{};
    std::array<double, 4> current_{};
};

}  // namespace odel::ui

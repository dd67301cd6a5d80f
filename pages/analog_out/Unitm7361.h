// Page of the single-output module 7361: output range, data format and slew rate, an output
// value entered on the track bar or typed and sent, the start-up value, the last value and the
// read-back, and the 4 mA / 20 mA calibration.
#pragma once

#include <memory>

#include "pages/analog_out/AoPage.h"

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QSlider;

namespace odel {
class Module7361;
}

namespace odel::ui {

class TfrmM7361 : public AoPage {
    Q_OBJECT
  public:
    explicit TfrmM7361(QWidget* parent = nullptr);
    ~TfrmM7361() override;

    void InitModule(odel::SerialPort* link, const QString& addressText, StatusPanels* statusBar,
                    QTreeWidget* treeView) override;

    odel::Module7361* module() const { return module_.get(); }

    // The value text sent for a typed value in a data format ("00", "01", other = hex), or
    // empty when the value is refused; position is where the track bar goes.
    static QString ValueText(const QString& format, int rangeIndex, const QString& typed,
                             int* position = nullptr);

    QComboBox* cmbTypeChangeAllCh;
    QComboBox* cmbSlewRate;
    QPushButton* bitbtn4mA0;
    QPushButton* bitbtn20mA0;
    QSlider* trabAOVal;
    QLineEdit* edtAO_Val;
    QPushButton* btnValueOutput;
    QPushButton* bitbtnLeftLeft;
    QPushButton* bitbtnLeft;
    QPushButton* bitbtnRight;
    QPushButton* bitbtnRightRight;
    QPushButton* btnStartup;
    QLineEdit* edtLast_Val;
    QLineEdit* edtAO_CurrentReadBak;

  public slots:
    void tmrUpdateAODataTimer();
    void trabAOValChange();
    void btnValueOutputClick();
    void btnStartupClick();
    void bitbtn4mA0Click();
    void bitbtn20mA0Click();
    // Step buttons: tenths (outer) or hundredths (inner) of the track bar's span.
    void stepTrackBar(int sign, int fraction);

  protected:
    odel::ModuleBase* frameModule() const override;
    void RefreshGeneralSetting() override;
    void StageInitSettings() override;
    void StageNormalSettings() override;
    void DelayForChangeType() override;
    void FinishUpdate(bool done) override;
    void BuildConfSchema(ConfSchema& schema) override;

  private:
    void buildDataArea();
    void openCalibration(int mode, const QString& what);
    // Data-format bits of the module's configuration as read ("00", "01", "10"...).
    QString formatBits() const;
    // Track-bar scale and slew list for the format bits and range index read.
    void showScale(const QString& format, int rangeIndex);
    void stageTypeCode();

    std::unique_ptr<odel::Module7361> module_;
};

}  // namespace odel::ui

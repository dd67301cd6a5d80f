// The page of the 7320L, the counter with a display: counter 0 has alarm limits and an alarm
// type that turn the two outputs into alarm outputs (a click clears their latch), counter 1
// only a maximum count, and a " LED Setting " group chooses what the display shows.
#pragma once

#include "pages/digital/CounterPage.h"

namespace odel {
class Module7320L;
}

namespace odel::ui {

class TfrmM7320L : public CounterPage {
    Q_OBJECT
  public:
    explicit TfrmM7320L(QWidget* parent = nullptr);

    odel::Module7320L* displayModule() const;

    QLineEdit* edtCN0HighAlarmValue = nullptr;
    QLineEdit* edtCN0LowAlarmValue = nullptr;
    QComboBox* cmbAlarmType = nullptr;
    QLineEdit* edtCN0MaxCnt = nullptr;
    QLineEdit* edtCN1MaxCnt = nullptr;
    QPushButton* btCN0StatusUpdate = nullptr;
    QPushButton* btCN1StatusUpdate = nullptr;
    QComboBox* cmbLEDDisplaySetting = nullptr;
    QLineEdit* edtLEDValue = nullptr;
    QPushButton* btUpateLEDSetting = nullptr;

  public slots:
    void btUpateLEDSettingClick() { UpdateLEDSetting(true); }
    void PageControlChange() override;

  protected:
    std::unique_ptr<odel::Module7320> createModule(odel::SerialPort* link,
                                                   const std::string& address) override;
    void buildCounterTab(QVBoxLayout* tab) override;
    void RefreshCounterSetting(int n) override;
    bool UpdateCounterSetting(int n) override;
    bool ShowDOStatus(int alarmFlags, int outputs) override;
    void DOClick(int k) override;
    void CounterConfLines(ConfSchema& schema, const std::array<bool, 2>& counter) override;
    QString GeneralSuccessText() const override { return "Update General Setting Success!"; }
    QString FilterSuccessText() const override { return "Update Filter Setting Success!"; }
    void RefreshExtraSetting() override { RefreshLEDSetting(); }

    void RefreshLEDSetting();
    // The display Update; a load writes the source only, since files hold no display value.
    bool UpdateLEDSetting(bool writeValue);

  private:
    QLabel* labLEDValue_ = nullptr;
};

}  // namespace odel::ui

// The counter/frequency page of the 7320: the counter family's page with a preset value, an
// initial value and a preset mode per counter.
#pragma once

#include <array>

#include "pages/digital/CounterPage.h"

namespace odel::ui {

class TfrmM7320 : public CounterPage {
    Q_OBJECT
  public:
    explicit TfrmM7320(QWidget* parent = nullptr);

    std::array<QLineEdit*, 2> edtCNMaxCnt{};
    std::array<QCheckBox*, 2> chkCNPresetModeEnable{};
    std::array<QLineEdit*, 2> edtCNPresetCnt{};
    std::array<QLineEdit*, 2> edtCNInitialCnt{};
    std::array<QPushButton*, 2> btCNStatusUpdate{};

  public slots:
    void btCN0UpdateCounterSettingClick() { btCN0StatusUpdateClick(); }

  protected:
    std::unique_ptr<odel::Module7320> createModule(odel::SerialPort* link,
                                                   const std::string& address) override;
    void buildCounterTab(QVBoxLayout* tab) override;
    void RefreshCounterSetting(int n) override;
    bool UpdateCounterSetting(int n) override;
    void CounterConfLines(ConfSchema& schema, const std::array<bool, 2>& counter) override;
};

}  // namespace odel::ui

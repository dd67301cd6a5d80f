// ODEL-7352: eight voltage/current inputs with one range for all channels; 3 s wait.
#pragma once

#include "pages/analog_in/Unitm7354.h"

namespace odel::ui {

class TfrmM7352 : public TfrmM7354 {
    Q_OBJECT
  public:
    explicit TfrmM7352(QWidget* parent = nullptr);

  protected:
    void RefreshAIStatus() override;
    void SetWaitTime() override { WaitTime = 3000; }
    QString ZeroCalInput(int index) override;
    QString SpanCalInput(int index) override;
};

}  // namespace odel::ui

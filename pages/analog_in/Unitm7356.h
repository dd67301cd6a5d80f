// ODEL-7356: eight voltage/current/thermocouple inputs with a range per channel; no watchdog,
// no protocol; 5 s wait and 200 ms between channel commands.
#pragma once

#include "pages/analog_in/Unitm7354r.h"

namespace odel::ui {

class TfrmM7356 : public TfrmM7354R {
    Q_OBJECT
  public:
    explicit TfrmM7356(QWidget* parent = nullptr);

  protected:
    int RangeCodeOfIndex(int index) override;
    void ChannelDelay() override;
    void SetWaitTime() override { WaitTime = 5000; }
    QString ZeroCalInput(int index) override;
    QString SpanCalInput(int index) override;
};

}  // namespace odel::ui

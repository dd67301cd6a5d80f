// ODEL-7354: eight millivolt/current/thermocouple inputs with one range for all channels,
// written with the general Update; no watchdog, no protocol.
#pragma once

#include "pages/analog_in/Unitm7354r.h"

namespace odel::ui {

class TfrmM7354 : public TfrmM7354R {
    Q_OBJECT
  public:
    explicit TfrmM7354(QWidget* parent = nullptr);

  protected:
    TfrmM7354(const AiPageKind& kind, QWidget* parent) : TfrmM7354R(kind, parent) {}

    void RefreshAIStatus() override;
    void UpdateChannelSetup() override;
    int RangeCodeOfIndex(int index) override;
    QString ZeroCalInput(int index) override;
    QString SpanCalInput(int index) override;
};

}  // namespace odel::ui

// ODEL-7352+: eight voltage/current inputs with a range per channel, no data format, no CJC.
#pragma once

#include "pages/analog_in/Unitm7354r.h"

namespace odel::ui {

class TfrmM7352R : public TfrmM7354R {
    Q_OBJECT
  public:
    explicit TfrmM7352R(QWidget* parent = nullptr);

  protected:
    TfrmM7352R(const AiPageKind& kind, QWidget* parent) : TfrmM7354R(kind, parent) {}

    int RangeCodeOfIndex(int index) override;
    QString ZeroCalInput(int index) override;
    QString SpanCalInput(int index) override;
    QString EnableReadFailText() const override { return "Fail to fresh channel status!"; }
};

// The voltage and current range list of the 7352+ (also its Modbus page's).
std::vector<AiRange> ranges7352R();

}  // namespace odel::ui

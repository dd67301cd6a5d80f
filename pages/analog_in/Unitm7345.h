// ODEL-7345: single RTD input without alarms; data format in engineering units, % FSR or ohms.
#pragma once

#include "pages/analog_in/Unitm7342.h"

namespace odel::ui {

class TfrmM7345 : public TfrmM7342 {
    Q_OBJECT
  public:
    explicit TfrmM7345(QWidget* parent = nullptr);

  protected:
    QString ZeroCalInput(int index) override;
    QString SpanCalInput(int index) override;
};

}  // namespace odel::ui

// ODEL-7352+ in Modbus mode: voltage and current ranges, no burn-out coils.
#pragma once

#include "pages/modbus/Unitm7354rmod.h"

namespace odel::ui {

class TfrmM7352RMod : public TfrmM7354RMod {
    Q_OBJECT
  public:
    explicit TfrmM7352RMod(QWidget* parent = nullptr);
};

}  // namespace odel::ui

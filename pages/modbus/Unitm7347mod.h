// ODEL-7347 in Modbus mode: six RTD channels, values shown as the raw register.
#pragma once

#include "pages/modbus/Unitm7354rmod.h"

namespace odel::ui {

class TfrmM7347Mod : public TfrmM7354RMod {
    Q_OBJECT
  public:
    explicit TfrmM7347Mod(QWidget* parent = nullptr);
};

}  // namespace odel::ui

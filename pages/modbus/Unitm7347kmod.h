// ODEL-7347K in Modbus mode: six thermistor channels, values shown as the raw register.
#pragma once

#include "pages/modbus/Unitm7354rmod.h"

namespace odel::ui {

class TfrmM7347KMod : public TfrmM7354RMod {
    Q_OBJECT
  public:
    explicit TfrmM7347KMod(QWidget* parent = nullptr);
};

}  // namespace odel::ui

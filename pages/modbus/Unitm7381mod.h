// ODEL-7381 in Modbus mode: sixteen inputs read together on every tick; inputs 8..15 show on
// the lamps the base page uses for outputs, which then take no clicks.
#pragma once

#include "pages/modbus/Unitm7385mod.h"

namespace odel::ui {

class TfrmM7381Mod : public TfrmM7385Mod {
    Q_OBJECT
  public:
    explicit TfrmM7381Mod(QWidget* parent = nullptr);

  public slots:
    void tmrUpdateDIDataTimer() override;

  protected:
    void BuildMapList() override;
};

}  // namespace odel::ui

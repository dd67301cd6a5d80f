// ODEL-7396 in Modbus mode: eight outputs only, read on every tick.
#pragma once

#include "pages/modbus/Unitm7385mod.h"

namespace odel::ui {

class TfrmM7396Mod : public TfrmM7385Mod {
    Q_OBJECT
  public:
    explicit TfrmM7396Mod(QWidget* parent = nullptr);

  protected:
    void BuildMapList() override;
    void Poll() override;
    int OutputRow0() const override { return 0; }
};

}  // namespace odel::ui

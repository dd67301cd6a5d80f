// ODEL-7381: the sixteen inputs of the 7383 on a module with a protocol choice; it keeps no
// fail-safe values, so their refresh succeeds without a command.
#pragma once

#include "pages/digital/Unitm7383.h"

namespace odel::ui {

class TfrmM7381 : public TfrmM7383 {
    Q_OBJECT
  public:
    explicit TfrmM7381(QWidget* parent = nullptr);
};

}  // namespace odel::ui

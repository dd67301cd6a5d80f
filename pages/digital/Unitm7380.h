// ODEL-7380: seven inputs and eight outputs; no protocol choice.
#pragma once

#include "pages/digital/Unitm7385.h"

namespace odel::ui {

class TfrmM7380 : public TfrmM7385 {
    Q_OBJECT
  public:
    explicit TfrmM7380(QWidget* parent = nullptr);
};

}  // namespace odel::ui

// ODEL-7390: four outputs and their fail-safe bits; the protocol selector is hidden and only
// mirrors the module's bit.
#pragma once

#include "pages/digital/Unitm7396.h"

namespace odel::ui {

class TfrmM7390 : public TfrmM7396 {
    Q_OBJECT
  public:
    explicit TfrmM7390(QWidget* parent = nullptr);
};

}  // namespace odel::ui

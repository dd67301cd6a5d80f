// ODEL-7396: eight outputs, no inputs; the output row heads the data area.
#pragma once

#include "pages/digital/Unitm7385.h"

namespace odel::ui {

class TfrmM7396 : public TfrmM7385 {
    Q_OBJECT
  public:
    explicit TfrmM7396(QWidget* parent = nullptr);

  protected:
    TfrmM7396(const DioPageKind& kind, QWidget* parent);
};

// The 7396 page's kind, the start of the 7390 page's.
DioPageKind kind7396();

}  // namespace odel::ui

// ODEL-7341: the 7341L's input without display; the same ranges, alarms and texts.
#pragma once

#include "pages/analog_in/Unitm7341l.h"

namespace odel::ui {

class TfrmM7341 : public TfrmM7341L {
    Q_OBJECT
  public:
    explicit TfrmM7341(QWidget* parent = nullptr);
};

}  // namespace odel::ui

// ODEL-7342: single voltage/current input with alarms, no cold junction; its limits follow
// its own ranges.
#pragma once

#include "pages/analog_in/Unitm7341l.h"

namespace odel::ui {

class TfrmM7342 : public TfrmM7341L {
    Q_OBJECT
  public:
    explicit TfrmM7342(QWidget* parent = nullptr);

  protected:
    TfrmM7342(const AiSingleKind& kind, const Options& options, QWidget* parent)
        : TfrmM7341L(kind, options, parent) {}

    int IntegerDigits(int index) const override;
    QString ZeroCalInput(int index) override;
    QString SpanCalInput(int index) override;
};

}  // namespace odel::ui

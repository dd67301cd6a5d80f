// ODEL-7347: six RTD inputs with a range per channel; data format in engineering units or
// ohms; the long range names show as tool tips.
#pragma once

#include "pages/analog_in/Unitm7352r.h"

namespace odel::ui {

class TfrmM7347 : public TfrmM7352R {
    Q_OBJECT
  public:
    explicit TfrmM7347(QWidget* parent = nullptr);

  protected:
    TfrmM7347(const AiPageKind& kind, QWidget* parent) : TfrmM7352R(kind, parent) {}

    void ApplyDataFormat() override;
    void ShowDataFormat(const QString& code) override;
    QString ZeroCalInput(int index) override;
    QString SpanCalInput(int index) override;
};

// The RTD range list shared with the pages derived from TfrmM7347.
std::vector<AiRange> rtdRanges();

}  // namespace odel::ui

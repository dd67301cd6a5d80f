// ODEL-7383: sixteen inputs in two rows (DI 0..7 and DI 8..15), read as one word through a
// second command object; no outputs, no fail-safe values, no protocol choice.
#pragma once

#include <memory>

#include "pages/digital/Unitm7385.h"

namespace odel {
class Module7383;
}

namespace odel::ui {

class TfrmM7383 : public TfrmM7385 {
    Q_OBJECT
  public:
    explicit TfrmM7383(QWidget* parent = nullptr);
    ~TfrmM7383() override;

    odel::Module7383* InputModule() const { return input_.get(); }

  public slots:
    void tmrUpdateDIDataTimer() override;

  protected:
    TfrmM7383(const DioPageKind& kind, QWidget* parent);
    odel::ModuleBase* inputModule() const override;
    void createInputModule(odel::SerialPort* link, const std::string& address) override;

  private:
    std::unique_ptr<odel::Module7383> input_;
};

// The 7383 page's kind, the start of the 7381 page's.
DioPageKind kind7383();

}  // namespace odel::ui

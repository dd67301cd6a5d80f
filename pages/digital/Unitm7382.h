// ODEL-7382: eight inputs read through a second command object; no outputs, no fail-safe
// values; the hidden protocol selector mirrors the module's bit.
#pragma once

#include <memory>

#include "pages/digital/Unitm7385.h"

namespace odel {
class Module7382;
}

namespace odel::ui {

class TfrmM7382 : public TfrmM7385 {
    Q_OBJECT
  public:
    explicit TfrmM7382(QWidget* parent = nullptr);
    ~TfrmM7382() override;

    odel::Module7382* InputModule() const { return input_.get(); }

  public slots:
    void tmrUpdateDIDataTimer() override;

  protected:
    odel::ModuleBase* inputModule() const override;
    void createInputModule(odel::SerialPort* link, const std::string& address) override;

  private:
    std::unique_ptr<odel::Module7382> input_;
};

}  // namespace odel::ui

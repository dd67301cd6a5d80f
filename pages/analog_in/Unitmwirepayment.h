// Lead-wire compensation of the thermistor module: shows and writes the lead-wire resistance
// (0 .. 6553.5 ohm, in tenths) the module subtracts, for the wire mode of its data format.
#pragma once

#include <QString>

#include "pages/analog_in/WiringDialog.h"

namespace odel {
class AiMultiModule;
}

namespace odel::ui {

class TfrmMWirePayment : public WiringDialog {
    Q_OBJECT
  public:
    explicit TfrmMWirePayment(QWidget* parent = nullptr);

    // The module object is borrowed; mode is "0" (engineering units) or "1" (ohms).
    void setTarget(odel::AiMultiModule* module, const QString& mode);

    // The "%04X" tenths for a typed value; false when it is out of range or no number.
    static bool ValueOf(const QString& text, QString& value);

    QLineEdit* edtCurrentWirePaymentVal;

  public slots:
    void btExecuteClick() override;
    // Reads the module's value into the edit.
    void ReadValue();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    odel::AiMultiModule* module_ = nullptr;
    QString mode_ = "0";
    bool shown_ = false;
};

}  // namespace odel::ui

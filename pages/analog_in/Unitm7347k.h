// ODEL-7347K: six thermistor inputs, the RTD page with thermistor ranges, a temperature unit in
// bit 3 of the format byte and the lead-wire compensation dialog.
#pragma once

#include <memory>

#include "pages/analog_in/Unitm7347.h"

namespace odel::ui {

class TfrmM7347K : public TfrmM7347 {
    Q_OBJECT
  public:
    explicit TfrmM7347K(QWidget* parent = nullptr);
    ~TfrmM7347K() override;

    void InitModule(odel::SerialPort* link, const QString& addressText, StatusPanels* statusBar,
                    QTreeWidget* treeView) override;

    QComboBox* cmbTempUnit = nullptr;
    QPushButton* bt3K_2WirePayment = nullptr;

  public slots:
    void bt3K_2WirePaymentClick();

  protected:
    // Shows the unit with the data format: both come from the configuration just read.
    void ShowDataFormat(const QString& code) override;
    void StageInitSettings() override;
    void RefreshAfterUpdate() override;
    QString ZeroCalInput(int index) override;
    QString SpanCalInput(int index) override;

  private:
    void ShowTempUnit(bool fahrenheit);

    // The lead-wire dialog's own module object; it follows the page's address.
    std::unique_ptr<odel::AiMultiModule> thermistor_;
};

}  // namespace odel::ui

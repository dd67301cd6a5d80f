// Cold-junction compensation: shows the module's CJC temperature and writes an offset of
// -99.9 .. +99.9 'C in steps of 0.009 'C ("$AA9" + sign + four hex digits).
#pragma once

#include <memory>

#include "pages/analog_in/WiringDialog.h"

namespace odel::ui {

class CjcTarget;

class TfrmCJC : public WiringDialog {
    Q_OBJECT
  public:
    explicit TfrmCJC(QWidget* parent = nullptr);
    ~TfrmCJC() override;

    void setTarget(std::unique_ptr<CjcTarget> target);

    // Sign and "%04X" offset for a text typed into edtCJCVal; false when it is out of range or
    // holds no number.
    static bool OffsetOf(const QString& text, QString& sign, QString& offset);

    QLineEdit* edtCurrentCJCVal;
    QLineEdit* edtCJCVal;

  public slots:
    void btExecuteClick() override;
    // Reads the temperature and resets the offset edit, as on activation.
    void FormActivate();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    std::unique_ptr<CjcTarget> target_;
};

}  // namespace odel::ui

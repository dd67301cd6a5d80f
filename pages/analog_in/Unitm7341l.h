// The single-channel analog-input pages with alarms. TfrmM7341L holds the logic: one reading,
// the alarm outputs DO0/DO1, the DI with its event counter, the alarm limits and type, and the
// zero/span/CJC calibration; the derived pages change ranges, texts, formats and what is shown.
#pragma once

#include "pages/analog_in/AiSingleBase.h"

namespace odel {
class Module7341L;
}

namespace odel::ui {

class TfrmM7341L : public AiSingleBase {
    Q_OBJECT
  public:
    explicit TfrmM7341L(QWidget* parent = nullptr);

    QLineEdit* edtEventCounter = nullptr;
    Lamp* btDI = nullptr;
    QPushButton* btClearEventCounter = nullptr;
    QPushButton* btClear_DI_Event_Counter = nullptr;
    QPushButton* btCJCCal = nullptr;

  public slots:
    void tmrUpdateAIDataTimer() override;
    void btClearEventCounterClick();
    void btCJCCalClick();

  protected:
    // What a derived page changes beyond its kind.
    struct Options {
        bool alarms = true;  // event counter, alarm status, limits and alarm type shown
        bool cjc = true;     // btCJCCal shown
    };
    TfrmM7341L(const AiSingleKind& kind, const Options& options, QWidget* parent);

    std::unique_ptr<odel::AiAlarmModule> CreateModule(odel::SerialPort* link,
                                                      const std::string& address) override;
    void InitialAlarmReads() override;
    void ShowInput(int inputs) override;
    bool LimitValue(const QString& text, bool high, QString& value) override;
    QString LimitSuccessText(bool high) const override;
    // Integer digits a limit may have on a range index.
    virtual int IntegerDigits(int index) const;
    std::unique_ptr<CalibTarget> MakeCalibTarget() override;
    QString ZeroCalInput(int index) override;
    QString SpanCalInput(int index) override;

    const Options& options() const { return options_; }

  private:
    void build();

    Options options_;
    odel::Module7341L* module7341_ = nullptr;
};

// The millivolt, current and thermocouple ranges of the 7341L and 7341.
std::vector<AiSingleRange> ranges7341();

}  // namespace odel::ui

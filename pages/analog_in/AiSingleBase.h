// What the single-channel analog-input pages and the strain-gauge page share: one input range in
// the general group, the single-channel general settings and Update, the alarm type, the two
// alarm limits, the output lamps, Clear Latch, zero/span calibration and the settings-file lines.
// The pages build their own layout from the groups made here and override the few rules that
// differ (limit texts, output command, messages, waits).
#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

#include "pages/frame/PageFrame.h"

class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace odel {
class AiAlarmModule;
}

namespace odel::ui {

class CalibTarget;
class Lamp;

// One item of a single-channel range list: the combo text, the type code, the unit shown.
struct AiSingleRange {
    QString item;
    int code;
    QString unit;
};

struct AiSingleKind {
    QString className;  // objectName of the page ("TfrmM7341L")
    QString groupName;  // objectName of the outer group
    QString caption;    // " ODEL-7341L "
    std::vector<AiSingleRange> ranges;
    QStringList dataFormatItems;           // items of cmbDataFormat
    std::vector<QString> dataFormatCodes;  // the code each item writes
    int waitTime = 10000;                  // wait after a configuration change, ms
};

class AiSingleBase : public PageFrame {
    Q_OBJECT
  public:
    ~AiSingleBase() override;

    void InitModule(odel::SerialPort* link, const QString& addressText, StatusPanels* statusBar,
                    QTreeWidget* treeView) override;

    QComboBox* cmbTypeChangeAllCh = nullptr;
    QComboBox* cmbAlarmType = nullptr;
    QPushButton* btAlarmTypeSettingUpdate = nullptr;
    QLineEdit* edtHighLimt = nullptr;
    QPushButton* btHighAlarmLimitUpdate = nullptr;
    QLineEdit* edtLowLimt = nullptr;
    QPushButton* btLowAlarmLimitUpdate = nullptr;
    QPushButton* btClearAlarmLatch = nullptr;
    QLineEdit* edtAI_Val = nullptr;
    QPushButton* btZeroCal = nullptr;
    QPushButton* btSpanCal = nullptr;
    // The output lamps btDO0.. in bit order.
    std::vector<Lamp*> btDO;

  public slots:
    // The page's 500 ms poll.
    virtual void tmrUpdateAIDataTimer() = 0;
    void btAlarmTypeSettingUpdateClick();
    void btHighAlarmLimitUpdateClick();
    void btLowAlarmLimitUpdateClick();
    void btClearAlarmLatchClick();
    void btZeroCalClick();
    void btSpanCalClick();
    // Clicks of btDO0.. (bit number).
    void btDOClick(int bit);

  protected:
    AiSingleBase(const AiSingleKind& kind, QWidget* parent);

    odel::ModuleBase* frameModule() const override;
    odel::AiAlarmModule* alarmModule() const { return module_.get(); }
    virtual std::unique_ptr<odel::AiAlarmModule> CreateModule(odel::SerialPort* link,
                                                              const std::string& address) = 0;
    // Reads after the general settings at start (alarm state and limits, with their pauses).
    virtual void InitialAlarmReads();

    // ---- building blocks placed by the pages ----
    QGroupBox* makeAlarmTypeGroup(QWidget* parent);
    // " Hihg Alarm Limit " / " Low Alarm Limit " with its edit and "&Update".
    QGroupBox* makeLimitGroup(bool high, const QString& title, QWidget* parent);
    Lamp* makeOutputLamp(int bit, const QString& caption, QWidget* parent);
    QPushButton* makeClearLatch(QWidget* parent);
    QGroupBox* makeCalibrationGroup(QWidget* parent);

    // ---- general settings ----
    void RefreshGeneralSetting() override;
    virtual void ShowRange(int index);
    void ApplyDataFormat() override;
    void ShowDataFormat(const QString& code) override;
    void StageInitSettings() override;
    void StageNormalSettings() override;
    void FinishUpdate(bool done) override;
    void SetWaitTime() override { WaitTime = kind_.waitTime; }
    virtual QString UpdateSuccessText() const { return "Update General Setting Success!"; }
    // Type code written for a range index; -1 keeps the module's own.
    virtual int RangeCodeOfIndex(int index) const;
    int IndexOfCode(int code) const;

    // ---- alarm state ----
    enum Part : unsigned { Mode = 1, Outputs = 2, Input = 4 };
    // "@AADI" and the parts of its answer; false (and the status text) when it fails.
    bool RefreshAlarmStatus(unsigned parts);
    virtual void ShowInput(int /*inputs*/) {}
    // The alarm-type combo and the controls that depend on the mode; -1: mode unknown.
    void ShowAlarmMode(int index);
    virtual unsigned AllAlarmParts() const { return Mode | Outputs | Input; }
    // "@AARL" and "@AARH" into the limit edits.
    void RefreshLimits();
    virtual QString AlarmTypeSuccessText() const { return "Update Alarm Type Setting Success!"; }

    // ---- limits ----
    // The value text sent for the edit's text, or false after the page's own error dialog.
    virtual bool LimitValue(const QString& text, bool high, QString& value) = 0;
    virtual QString LimitSuccessText(bool high) const = 0;
    static QString LimitFailText(bool high);

    // ---- outputs ----
    // The "@AADO" digits for the output states after a click on bit.
    virtual QString OutputDigits(const std::vector<bool>& on, int bit) const;

    // ---- calibration ----
    virtual std::unique_ptr<CalibTarget> MakeCalibTarget() = 0;
    virtual QString ZeroCalInput(int index) = 0;
    virtual QString SpanCalInput(int index) = 0;

    // ---- status ----
    // Red after a good read, black after a failure (panel 0).
    void statusColor(bool ok);

    void BuildConfSchema(ConfSchema& schema) override;

    const AiSingleKind& kind() const { return kind_; }

  private:
    void limitUpdate(bool high);
    void calibration(bool span);

    AiSingleKind kind_;
    std::unique_ptr<odel::AiAlarmModule> module_;
};

}  // namespace odel::ui

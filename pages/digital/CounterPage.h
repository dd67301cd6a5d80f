// The counter/frequency page family. CounterPage holds what both counter pages share: the
// general settings with input range and gate, the filter and input-signal settings, the data
// area with both readings, start/stop, clear, overflow lamps and outputs, its poll, and the
// settings-file head. TfrmM7320 and TfrmM7320L add their counter settings tab and differences.
#pragma once

#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "pages/frame/PageFrame.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QVBoxLayout;

namespace odel {
class Module7320;
}

namespace odel::ui {

class Lamp;

class CounterPage : public PageFrame {
    Q_OBJECT
  public:
    ~CounterPage() override;

    void InitModule(odel::SerialPort* link, const QString& addressText, StatusPanels* statusBar,
                    QTreeWidget* treeView) override;

    odel::Module7320* module() const { return module_.get(); }

    // Index of a type code in cmbTypeChangeAllCh: 50 counter, 51 frequency, else none (-1).
    static int IndexOfTypeCode(const QString& code);
    static int TypeCodeOfIndex(int index) { return index == 1 ? 0x51 : 0x50; }

    QTabWidget* PageControl = nullptr;
    QComboBox* cmbTypeChangeAllCh = nullptr;
    QComboBox* cmbCntEnableGate = nullptr;
    QComboBox* cmbFrequencyGateTime = nullptr;
    QCheckBox* chkFilterState = nullptr;
    QLineEdit* edtHighLevelWidth = nullptr;
    QLineEdit* edtLowLevelWidth = nullptr;
    QLineEdit* edtHighLevelVolt = nullptr;
    QLineEdit* edtLowLevelVolt = nullptr;
    QPushButton* btFilterUpdate = nullptr;
    QComboBox* cmbInputSignal = nullptr;
    QPushButton* btInputSignalUpdate = nullptr;
    std::array<QLineEdit*, 2> edtCntVal{};
    std::array<QPushButton*, 2> btCNStart{};
    std::array<QPushButton*, 2> btCNReset{};
    std::array<Lamp*, 2> lampOverflow{};
    std::array<Lamp*, 2> btDO{};
    std::array<QLabel*, 2> labDO{};
    std::array<QLabel*, 2> labCNAlarmMode{};

  public slots:
    void btInputSignalUpdateClick() { UpdateInputSignal(); }
    void btFilterUpdateClick() { UpdateFilterSetting(); }
    void tmrUpdateCounterDataTimer();
    void btDO0Click() { DOClick(0); }
    void btDO1Click() { DOClick(1); }
    void btCN0StartClick() { StartClick(0); }
    void btCN1StartClick() { StartClick(1); }
    void btCN0ResetClick() { ResetClick(0); }
    void btCN1ResetClick() { ResetClick(1); }
    void btCN0StatusUpdateClick() { RunCounterUpdate(0); }
    void btCN1StatusUpdateClick() { RunCounterUpdate(1); }
    virtual void PageControlChange();

  protected:
    CounterPage(const QString& groupName, const QString& caption, QWidget* parent);
    // Builds the page; derived constructors call it once their own members exist.
    void buildPage();

    odel::ModuleBase* frameModule() const override;
    virtual std::unique_ptr<odel::Module7320> createModule(odel::SerialPort* link,
                                                           const std::string& address) = 0;

    // ---- the family's differences ----
    // The groups of the "Counter Setting" tab.
    virtual void buildCounterTab(QVBoxLayout* tab) = 0;
    virtual void RefreshCounterSetting(int n) = 0;
    // One counter's Update; false when a write failed or a value was refused.
    virtual bool UpdateCounterSetting(int n) = 0;
    // Shows the output and alarm state of the status word; false when it holds no valid state.
    virtual bool ShowDOStatus(int alarmFlags, int outputs);
    virtual void DOClick(int k);
    // The lines after the filter lines, in order, with their load steps; counter[n] tells
    // whether counter n's lines are there.
    virtual void CounterConfLines(ConfSchema& schema, const std::array<bool, 2>& counter) = 0;
    virtual QString GeneralSuccessText() const { return "Update success!"; }
    virtual QString FilterSuccessText() const { return "Update success!"; }
    // Reads at the end of InitModule, after both counters.
    virtual void RefreshExtraSetting() {}

    // ---- shared operations ----
    void RefreshGeneralSetting() override;
    void RefreshFilterSetting();
    void RefreshCounterData();
    void RefreshDOStatus();
    void ToggleDO(int k);
    bool UpdateInputSignal();
    // The filter Update; a load passes which parts its file holds.
    bool UpdateFilterSetting(bool widthPart = true, bool levelPart = true);
    void RunCounterUpdate(int n);
    void StartClick(int n);
    void ResetClick(int n);
    // The type code of the last general read; empty when that read failed.
    const QString& keptTypeCode() const { return keptType_; }
    // The counter groups; disabled in frequency mode and until their values were read.
    void setCounterGroupsEnabled(bool enabled);
    void setCounterGroupEnabled(int n, bool enabled);
    bool counterGroupEnabled(int n) const;

    // The general Update: type code and gate-time bit staged, a 1000 ms pause instead of the
    // wait dialog, then the gate write and the read-back of every group.
    void StageInitSettings() override;
    void StageNormalSettings() override;
    void DelayForChangeType() override;
    void FinishUpdate(bool done) override;

    // ---- settings file ----
    void BuildConfSchema(ConfSchema& schema) override;
    void BuildLoadSchema(ConfSchema& schema, const QByteArray& content) override;
    // Which optional lines a file holds: the frequency gate time instead of the counter gate,
    // the filter state with both widths, both levels, and each counter's lines.
    struct ConfLines {
        bool frequencyGate = false;
        bool filter = false;
        bool levels = false;
        std::array<bool, 2> counter{};
    };
    void BuildLines(ConfSchema& schema, const ConfLines& lines);
    // Line kinds of these pages; loading puts nothing and runs nothing after a failed step.
    void comboLine(ConfSchema& schema, const QString& key, QComboBox* combo);
    void textLine(ConfSchema& schema, const QString& key, QLineEdit* edit,
                  std::function<bool(const QString&)> accept);
    // A check box written "0" when ticked and "1" when not, and loaded the same way.
    void flagLine(ConfSchema& schema, const QString& key, QCheckBox* box);
    // An Update run on loading; a false result stops the rest of the file.
    void loadStep(ConfSchema& schema, std::function<bool()> run);
    void countLine(ConfSchema& schema, const QString& key, QLineEdit* edit);

    // Counter edits: digits only up to 4294967295, Enter runs the counter's Update.
    QLineEdit* makeCountEdit(const QString& name, int counter, QWidget* parent);

    QGroupBox* gbCN0Status = nullptr;
    QGroupBox* gbCN1Status = nullptr;
    QVBoxLayout* counterTab_ = nullptr;

  private:
    void buildGeneral();
    void buildFilter(QVBoxLayout* tab);
    void buildDataArea();
    void showGateRows(bool frequency);
    void setFilterControlsEnabled(bool enabled);
    void setDataAreaEnabled(bool enabled);

    std::unique_ptr<odel::Module7320> module_;
    QString keptType_;
    QLabel* labFilterState_ = nullptr;
    std::array<QWidget*, 6> widthRow_{};
    std::array<QWidget*, 6> voltRow_{};
    QLabel* labCntEnableGate_ = nullptr;
    QLabel* labFrequencyGateTime_ = nullptr;
    bool generalOk_ = false;
    bool loadStopped_ = false;
};

}  // namespace odel::ui

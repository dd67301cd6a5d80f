// The multi-channel analog-input page family. TfrmM7354R holds all the logic: the shared channel
// grid (enable, range, live value, unit), polling, channel setup, calibration and the settings-file
// lines; the derived pages change range tables, channel count, visible controls and timings.
#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "pages/analog_in/AiChannelGrid.h"
#include "pages/frame/PageFrame.h"

class QComboBox;
class QGroupBox;
class QPushButton;

namespace odel {
class AiMultiModule;
}

namespace odel::ui {

// What a page of the family looks like; fixed when the page is built.
struct AiPageKind {
    QString groupName;  // objectName of the outer group ("gbOdl7354R")
    QString caption;    // " ODEL-7354+ "
    int channels = 8;
    bool perChannelRange = true;  // false: one range for all channels in the general group
    unsigned generalRows = 0;     // GeneralSettingGroup::Row flags
    bool cjc = true;              // btCJCCal shown
    bool units = true;            // unit labels shown
    std::vector<AiRange> ranges;
    QStringList dataFormatItems;  // empty: the general group's own items
};

class TfrmM7354R : public PageFrame, public AiChannelGrid {
    Q_OBJECT
  public:
    explicit TfrmM7354R(QWidget* parent = nullptr);
    ~TfrmM7354R() override;

    void InitModule(odel::SerialPort* link, const QString& addressText, StatusPanels* statusBar,
                    QTreeWidget* treeView) override;

    odel::AiMultiModule* module() const { return module_.get(); }

    QComboBox* cmbTypeChangeAllCh = nullptr;

  public slots:
    void tmrUpdateAIDataTimer();
    void btRefreshAIStatusClick();
    void btSingleChUpdateClick();
    void btZeroCalClick();
    void btSpanCalClick();
    void btCJCCalClick();

  protected:
    TfrmM7354R(const AiPageKind& kind, QWidget* parent);

    odel::ModuleBase* frameModule() const override;

    // ---- the family's virtual operations ----
    virtual void RefreshAIStatus();
    // Range code written for a combo index; -1 writes nothing (the module keeps its own).
    int RangeCodeOfIndex(int index) override;
    int ChannelCount() const override { return kind_.channels; }
    void ChannelDelay() override;
    virtual QString ZeroCalInput(int index);
    virtual QString SpanCalInput(int index);
    virtual void UpdateChannelSetup();
    // Lines between the checksum line and "Data Format" (one-range pages: "Input Range").
    virtual void ExtraSettingLines(ConfSchema& schema);
    // Status text when the enable mask cannot be read.
    virtual QString EnableReadFailText() const { return "Fail to fresh AI status!"; }

    void ApplyExtraSetting() override;
    // Pages without watchdog or protocol succeed at once and stage nothing.
    bool RefreshCommWDT() override;
    bool RefreshProtocol() override;
    bool UpdateCommWDT() override;
    void ApplyProtocol() override;
    void RefreshAfterUpdate() override;
    void BuildConfSchema(ConfSchema& schema) override;

    // Combo index of a range code, -1 when the page's table does not hold it.
    int IndexOfCode(int code) const;
    // Shows a channel's code in its combo box and unit label.
    virtual void ShowChannelCode(int channel, int code);
    // Index of the range that applies to channel 0 (for the calibration texts).
    int Channel0RangeIndex() const;
    // One-range pages: shows a type code on all unit labels and in cmbTypeChangeAllCh.
    void ShowAllChannelsCode(int code);
    bool WriteEnableMask(int mask) override;
    bool WriteChannelRange(int channel, int code) override;
    void ShowGridStatus(const QString& text) override { setStatus(text); }

    const AiPageKind& kind() const { return kind_; }

    QGroupBox* gbAICalibration = nullptr;
    QPushButton* btZeroCal = nullptr;
    QPushButton* btSpanCal = nullptr;
    QPushButton* btCJCCal = nullptr;

  private:
    void buildCalibration();

    AiPageKind kind_;
    std::unique_ptr<odel::AiMultiModule> module_;
};

// The current and thermocouple range list of the 7354+ (also its Modbus page's).
std::vector<AiRange> ranges7354R();

// Parses two hex digits of a module reply; -1 when they are not.
int hexCode(const std::string& digits);

}  // namespace odel::ui

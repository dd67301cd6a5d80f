// The Modbus analog-input pages. TfrmM7354RMod holds the logic: the shared channel grid (enable,
// range, value, unit), the range read and write through registers 201.., the enable mask in
// register 221, and the poll that reads the raw values on one tick and shows them with the
// mask and the burn-out coils on the next. The derived pages change the range list, the
// scaling, the channel count and whether burn-out coils are read.
#pragma once

#include <QString>
#include <vector>

#include "pages/analog_in/Unitm7354r.h"
#include "pages/modbus/ModbusPage.h"

namespace odel::ui {

// Linear scaling of a raw 0..65535 value for one range code, printed with `decimals`.
struct AiModScale {
    int code;
    float low;
    float high;
    int decimals;
};

struct AiModKind {
    QString pageName;     // "TfrmM7354RMod"
    QString groupName;    // "gbOdl7354R"
    QString caption;      // " ODEL-7354+ Modbus"
    QString formCaption;  // "ODEL-7354+ (Modbus)"
    int channels = 8;
    std::vector<AiRange> ranges;
    bool units = true;               // unit labels shown and set from the range
    bool burnout = true;             // burn-out coils 201.. read on the display tick
    std::vector<AiModScale> scales;  // empty: values show as the raw register in hex
};

class TfrmM7354RMod : public ModbusPage, public AiChannelGrid {
    Q_OBJECT
  public:
    explicit TfrmM7354RMod(QWidget* parent = nullptr);

    void InitModule(odel::SerialPort* link, const QString& addressText, StatusPanels* statusBar,
                    QTreeWidget* treeView) override;

  public slots:
    void tmrUpdateAIDataTimer();
    void btUpdateAIStatusClick();
    void btRefreshAIStatusClick();

  protected:
    TfrmM7354RMod(const AiModKind& kind, QWidget* parent);

    int ChannelCount() const override { return kind_.channels; }
    virtual void RefreshAIStatus();
    // Code written for a list index; -1 for no selection (the channel keeps its range).
    int RangeCodeOfIndex(int index) override;
    // The value box text of a channel's raw value under its last read range code.
    virtual QString FormatValue(int channel, int raw) const;
    void ChannelDelay() override;
    // The enable mask goes to register 221, channel i's range to register 201 + i.
    bool WriteEnableMask(int mask) override { return writeRegister(221, mask); }
    bool WriteChannelRange(int channel, int code) override {
        return writeRegister(201 + channel, code);
    }
    void ShowGridStatus(const QString& text) override { setStatus(text); }

    int IndexOfCode(int code) const;
    void ShowChannelCode(int channel, int code);
    const AiModKind& kind() const { return kind_; }

  private:
    void showValues(int mask, std::uint8_t burnout);

    AiModKind kind_;
    std::vector<int> codes_;  // range code of each channel as last read, -1 before
    std::vector<int> raw_;    // raw values of the last register read
    bool rawValid_ = false;   // raw_ holds the answer of the last register read
};

}  // namespace odel::ui

// ODEL-7364 in Modbus mode: four analog outputs with a range each (registers 201..204), their
// values (registers 1..4, 0..4095), four digital inputs (coils 1..4) and the communication
// safety state (registers 215/216). Output and input polls alternate; one channel at a time is
// driven from the value box or previewed with the scroll bar.
#pragma once

#include <QString>
#include <array>

#include "pages/modbus/ModbusPage.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QScrollBar;

namespace odel::ui {

class TfrmM7364Mod : public ModbusPage {
    Q_OBJECT
  public:
    explicit TfrmM7364Mod(QWidget* parent = nullptr);

    void InitModule(odel::SerialPort* link, const QString& addressText, StatusPanels* statusBar,
                    QTreeWidget* treeView) override;

    std::array<QComboBox*, 4> cmbAORange{};
    std::array<QLineEdit*, 4> txbCurVal{};
    std::vector<Lamp*> bitbtnDI;
    QCheckBox* chkboxSafeOn = nullptr;
    QLineEdit* edtSafeTrigger = nullptr;
    QLineEdit* edtDIData = nullptr;
    QComboBox* cmbOutputCh = nullptr;
    QLineEdit* edtAOOutput = nullptr;
    QLineEdit* edtCode = nullptr;
    QScrollBar* scrbarAO = nullptr;

    int safetyTriggerCount() const { return triggerCount_; }

  public slots:
    void tmrUpdateAODataTimer();
    void btUpdateAOStatusClick();
    void btRefreshAOStatusClick();
    void btAOOutputClick();
    void cmbOutputChChange();
    void scrbarAOChange(int position);

  protected:
    void RefreshFirmware() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildPage();
    void RefreshAOStatus();
    bool inputPoll();
    bool outputPoll();
    // Range index 0..2 of a channel as last read, -1 when unknown.
    int rangeOf(int channel) const { return ranges_[channel]; }
    // "%+07.3f" of a raw value in the channel's range; "*****" for an unknown range.
    QString formatted(int channel, int raw) const;

    std::array<int, 4> ranges_{-1, -1, -1, -1};
    std::array<int, 4> outputs_{};
    bool safety_ = false;
    bool triggered_ = false;
    int triggerCount_ = 0;
};

}  // namespace odel::ui

// The Modbus digital I/O pages: TfrmM7385Mod (8 inputs, 8 outputs) holds the data area, the
// lamps, the output clicks and the alternate-tick poll; TfrmM7396Mod and TfrmM7381Mod change
// the map list and what a tick reads.
#pragma once

#include <QString>
#include <array>
#include <vector>

#include "pages/modbus/ModbusPage.h"

class QGroupBox;
class QLineEdit;

namespace odel::ui {

class TfrmM7385Mod : public ModbusPage {
    Q_OBJECT
  public:
    explicit TfrmM7385Mod(QWidget* parent = nullptr);

    void InitModule(odel::SerialPort* link, const QString& addressText, StatusPanels* statusBar,
                    QTreeWidget* treeView) override;

    // Lamp tables by channel.
    std::vector<Lamp*> bitbtnDO;
    std::vector<Lamp*> bitbtnDI;
    QLineEdit* edtDO_Hex = nullptr;
    QLineEdit* edtDI_Hex = nullptr;

  public slots:
    virtual void tmrUpdateDIDataTimer();
    // Every output lamp; the channel is the lamp's tag.
    void bitbtnDO0Click(int channel);

  protected:
    TfrmM7385Mod(const QString& groupName, const QString& caption, const QString& formCaption,
                 QWidget* parent);

    virtual void BuildMapList();
    // One poll after the heartbeat was set or cleared.
    virtual void Poll();
    // Map row of output 0 (the outputs follow the inputs on this page).
    virtual int OutputRow0() const { return 8; }

    // Coils 17..24: output lamps, stored states, map rows, edtDO_Hex.
    bool pollOutputs();
    // Coils 1..8: input lamps, map rows 0..7, edtDI_Hex.
    bool pollInputs();
    // Shows a byte on eight lamps and their map rows.
    void showByte(const std::vector<Lamp*>& lamps, int row0, std::uint8_t byte);
    // Status panels after a poll.
    void report(bool ok, const QString& okText, const QString& failText);

    QGroupBox* gbDataArea = nullptr;
    QGroupBox* gbDO = nullptr;
    QGroupBox* gbDI = nullptr;

  private:
    void buildPage();

    std::array<bool, 8> outputStates_{};
    bool outputsKnown_ = false;
};

}  // namespace odel::ui

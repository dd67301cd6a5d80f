// What every page of a module in Modbus RTU mode shares: a " General Setting " group that only
// displays, the slave number taken from the address text, the poll timer of 2 x port time-out
// + 500 ms, the " Modbus Mapping " list, and the module's ModbusMaster wrapped so that every
// answer is checked for its slave, its function and its length before a page uses it.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "pages/frame/PageFrame.h"

class QTreeWidget;

namespace odel {
class ModbusMaster;
}

namespace odel::ui {

class Lamp;

class ModbusPage : public PageFrame {
    Q_OBJECT
  public:
    // formCaption is the window caption ("ODEL-7385 (Modbus)").
    ModbusPage(const QString& groupName, const QString& caption, const QString& formCaption,
               QWidget* parent = nullptr);
    ~ModbusPage() override;

    // These pages keep no settings file: both commands do nothing.
    void SaveConfiguration() override {}
    void LoadConfiguration() override {}

    // The slave number 1..255, or 0 when the address text was no two hex digits of that range
    // (then nothing is ever sent: slave 0 would reach every Modbus module).
    int slave() const { return slave_; }

    QTreeWidget* lstviewModbus = nullptr;

  public slots:
    // The general group only displays; its button does nothing.
    void btSystemUpdateClick() override {}

  protected:
    odel::ModuleBase* frameModule() const override { return module_.get(); }
    void BuildConfSchema(ConfSchema&) override {}

    // Keeps the environment, reads the slave number and takes the module object.
    void beginModbus(const QString& addressText, StatusPanels* statusBar, QTreeWidget* treeView,
                     std::unique_ptr<odel::ModuleBase> module);
    // Sets the poll interval from the port time-out and starts the timer; with no valid slave
    // the timer stays off and one tick reports the failure.
    void startModbusPolling(const std::function<void()>& tick);

    // Address boxes, baud list, firmware and "MODBUS".
    void RefreshGeneralSetting() override;
    // Reads the firmware register(s); a page with more behind them overrides it.
    virtual void RefreshFirmware();
    void showFirmware(int reg);

    // ---- checked Modbus exchanges ----
    // Coils first..first+count-1, packed from bit 0 of the first byte.
    bool readCoils(int first, int count, std::vector<std::uint8_t>& bytes);
    // Registers first..first+count-1 as unsigned 16-bit values.
    bool readRegisters(int first, int count, std::vector<int>& values);
    bool writeCoil(int coil, bool on);
    bool writeRegister(int reg, int value);

    // ---- the map list ----
    void buildMapList(QWidget* parent, int visibleRows);
    void addMapRow(const QString& location, const QString& type, const QString& value,
                   const QString& description);
    void setMapValue(int row, const QString& value);
    QString mapValue(int row) const;
    // "%05d" of a coil number, and the five-digit reference of a holding register (4xxxx).
    static QString coilLocation(int coil);
    static QString registerLocation(int reg);

    // Lamps in a row, tagged 0..n-1, named prefix + (first + i), captioned caption + (first + i).
    std::vector<Lamp*> makeLamps(QWidget* parent, const QString& prefix, const QString& caption,
                                 int count, int first = 0);

  private:
    odel::ModbusMaster* master() const;
    bool answerFromSlave() const;

    std::unique_ptr<odel::ModuleBase> module_;
    int slave_ = 0;
};

// Slave number of an address text: two hex digits 1..255, else 0.
int modbusSlave(const QString& addressText);

}  // namespace odel::ui

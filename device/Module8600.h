// The main unit of the second series: configuration without type code, and the table of the
// modules in its slots.
#pragma once

#include <string>

#include "device/ModuleBase.h"

namespace odel {

class Module8600 : public ModuleBase {
  public:
    explicit Module8600(SerialPort* port, const std::string& address = std::string());

    bool SetAddress(const std::string& address) override;
    // Baud code and checksum bit live in the main unit's own fields.
    bool SetBaudCode(const std::string& code) override;
    bool GetBaudCode(std::string& code) override;
    bool SetChecksumBit(const std::string& bit) override;
    bool GetChecksumBit(std::string& bit) override;

    // "$AA2": baud code from positions 3-4, data format from 5-6.
    bool ReadConfiguration();
    // "%AA00" + baud code + data format; needs no previous address.
    bool SetConfiguration();
    // "$AAT": keeps the payload (at most 31 characters) as the slot table.
    bool ReadSlotTable();
    // Two characters per slot; slots 0-3 of an 8-character table, 0-7 of a 16-character one.
    bool GetSlotCode(int index, std::string& code);
    // "86" + code ("8631G" for "1G"); fails for an empty slot ("FF").
    bool GetSlotModuleName(int index, std::string& name);
    bool ReadBaudAndChecksum(std::string& baudCode, std::string& checksumBit);
    bool WriteBaudAndChecksum(const std::string& baudCode, const std::string& checksumBit);

    const std::string& UnitBaudCode() const { return unitBaudCode_; }
    const std::string& UnitDataFormat() const { return unitDataFormat_; }
    const std::string& SlotTable() const { return slotTable_; }

  private:
    std::string unitBaudCode_;
    std::string unitDataFormat_;
    std::string slotTable_;
};

}  // namespace odel

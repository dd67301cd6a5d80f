#include "device/Module8600.h"

#include <cctype>

#include "device/CommandGroup.h"

namespace odel {

namespace {

// The slot table field holds 32 characters with its terminating zero.
constexpr std::size_t SlotTableCapacity = 31;

bool SameCode(const std::string& code, const char* expected) {
    if (code.size() != 2) return false;
    for (std::size_t i = 0; i < 2; ++i) {
        if (std::toupper(static_cast<unsigned char>(code[i])) != expected[i]) return false;
    }
    return true;
}

}  // namespace

Module8600::Module8600(SerialPort* port, const std::string& address) : ModuleBase(port, address) {}

bool Module8600::SetAddress(const std::string& address) {
    return ModuleBase::SetAddress(address);
}

bool Module8600::SetBaudCode(const std::string& code) {
    unitBaudCode_ = code.substr(0, 2);
    return true;
}

bool Module8600::GetBaudCode(std::string& code) {
    if (unitBaudCode_.empty()) ReadConfiguration();
    if (unitBaudCode_.empty()) return false;
    code = unitBaudCode_;
    return true;
}

bool Module8600::SetChecksumBit(const std::string& bit) {
    return SetBitIn(unitDataFormat_, 6, bit);
}

bool Module8600::GetChecksumBit(std::string& bit) {
    if (unitDataFormat_.empty()) ReadConfiguration();
    return GetBitOf(unitDataFormat_, 6, bit);
}

bool Module8600::ReadConfiguration() {
    std::string reply;
    if (!ascii::Send(port_, reply, "$%s2\r", address_.c_str())) return false;
    std::string baud, format;
    if (!ascii::Field(reply, 3, 2, baud) || !ascii::Field(reply, 5, 2, format)) return false;
    unitBaudCode_ = baud;
    unitDataFormat_ = format;
    return true;
}

bool Module8600::SetConfiguration() {
    if (address_.empty()) return false;
    std::string reply;
    return ascii::Send(port_, reply, "%%%s00%s%s\r", address_.c_str(), unitBaudCode_.c_str(),
                       unitDataFormat_.c_str());
}

bool Module8600::ReadSlotTable() {
    slotTable_.clear();
    std::string reply;
    if (!ascii::Send(port_, reply, "$%sT\r", address_.c_str())) return false;
    std::string table = ascii::From(reply, 3);
    // A table longer than the field holds is refused rather than cut.
    if (table.size() > SlotTableCapacity) return false;
    slotTable_ = table;
    return true;
}

bool Module8600::GetSlotCode(int index, std::string& code) {
    if (slotTable_.empty() && !ReadSlotTable()) return false;
    int slots = 0;
    if (slotTable_.size() == 8) slots = 4;
    if (slotTable_.size() == 16) slots = 8;
    if (index < 0 || index >= slots) return false;
    code = slotTable_.substr(static_cast<std::size_t>(index) * 2, 2);
    return true;
}

bool Module8600::GetSlotModuleName(int index, std::string& name) {
    std::string code;
    if (!GetSlotCode(index, code) || SameCode(code, "FF")) return false;
    name = SameCode(code, "1G") ? std::string("8631G") : "86" + code;
    return true;
}

bool Module8600::ReadBaudAndChecksum(std::string& baudCode, std::string& checksumBit) {
    if (!ReadConfiguration()) return false;
    std::string baud, bit;
    if (!GetBaudCode(baud) || !GetChecksumBit(bit)) return false;
    baudCode = baud;
    checksumBit = bit;
    return true;
}

bool Module8600::WriteBaudAndChecksum(const std::string& baudCode, const std::string& checksumBit) {
    // Without the unit's present data format the other format bits would be lost.
    if (!ReadConfiguration()) return false;
    SetBaudCode(baudCode);
    SetChecksumBit(checksumBit);
    return SetConfiguration();
}

}  // namespace odel

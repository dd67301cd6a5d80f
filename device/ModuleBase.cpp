#include "device/ModuleBase.h"

#include <cstdio>
#include <cstdlib>

#include "device/CommandGroup.h"
#include "device/ModbusMaster.h"
#include "device/SerialPort.h"

namespace odel {

namespace {

// A copy of at most two characters, as the two-digit code fields hold.
std::string Code(const std::string& text) {
    return text.substr(0, 2);
}

// Character i of a bit-argument text, or an empty text when it is shorter.
std::string CharAt(const std::string& text, std::size_t i) {
    return i < text.size() ? text.substr(i, 1) : std::string();
}

unsigned FormatValue(const std::string& format) {
    return static_cast<unsigned>(std::strtoul(format.c_str(), nullptr, 16)) & 0xFFu;
}

}  // namespace

ModuleBase::ModuleBase(SerialPort* port, const std::string& address)
    : address_(Code(address)), port_(port), modbus_(std::make_unique<ModbusMaster>(port)) {}

ModuleBase::~ModuleBase() = default;

bool ModuleBase::SetAddress(const std::string& address) {
    previousAddress_.clear();
    if (!address_.empty()) previousAddress_ = address_;
    address_ = Code(address);
    return true;
}

bool ModuleBase::SetTypeCode(const std::string& code) {
    typeCode_ = Code(code);
    return true;
}

bool ModuleBase::SetBaudCode(const std::string& code) {
    baudCode_ = Code(code);
    return true;
}

bool ModuleBase::SetDataFormat(const std::string& code) {
    dataFormat_ = Code(code);
    return true;
}

bool ModuleBase::SetBitIn(std::string& format, int bitNumber, const std::string& bit) {
    if (bitNumber < 0 || bitNumber > 7) return false;
    unsigned value = FormatValue(format);
    value &= ~(1u << bitNumber);
    if (bit.size() >= 1 && bit[0] == '1') value |= 1u << bitNumber;
    char text[3] = {};
    std::snprintf(text, sizeof text, "%02X", value);
    format = text;
    return true;
}

bool ModuleBase::GetBitOf(const std::string& format, int bitNumber, std::string& bit) {
    if (bitNumber < 0 || bitNumber > 7 || format.empty()) return false;
    bit = ((FormatValue(format) >> bitNumber) & 1u) ? "1" : "0";
    return true;
}

bool ModuleBase::SetFormatBit(int bitNumber, const std::string& bit) {
    return SetBitIn(dataFormat_, bitNumber, bit);
}

bool ModuleBase::SetFormatBits10(const std::string& bits) {
    return SetFormatBit(1, CharAt(bits, 0)) && SetFormatBit(0, CharAt(bits, 1));
}

bool ModuleBase::SetFormatBit2(const std::string& bit) {
    return SetFormatBit(2, bit);
}

bool ModuleBase::SetFormatBits52(const std::string& bits) {
    for (int i = 0; i < 4; ++i) {
        if (!SetFormatBit(5 - i, CharAt(bits, static_cast<std::size_t>(i)))) return false;
    }
    return true;
}

bool ModuleBase::SetChecksumBit(const std::string& bit) {
    return SetFormatBit(6, bit);
}

bool ModuleBase::SetFormatBit7(const std::string& bit) {
    return SetFormatBit(7, bit);
}

bool ModuleBase::SetProtocolBit(const std::string& bit) {
    return SetFormatBit(2, bit);
}

bool ModuleBase::GetTypeCode(std::string& code) {
    if (typeCode_.empty()) RefreshConfiguration();
    if (typeCode_.empty()) return false;
    code = typeCode_;
    return true;
}

bool ModuleBase::GetBaudCode(std::string& code) {
    if (baudCode_.empty()) RefreshConfiguration();
    if (baudCode_.empty()) return false;
    code = baudCode_;
    return true;
}

bool ModuleBase::GetFormatBit(int bitNumber, std::string& bit) {
    // An impossible bit number is refused before anything is read from the module.
    if (bitNumber < 0 || bitNumber > 7) return false;
    if (dataFormat_.empty()) RefreshConfiguration();
    return GetBitOf(dataFormat_, bitNumber, bit);
}

bool ModuleBase::GetFormatBits10(std::string& bits) {
    std::string high, low;
    if (!GetFormatBit(1, high) || !GetFormatBit(0, low)) return false;
    bits = high + low;
    return true;
}

bool ModuleBase::GetFormatBit2(std::string& bit) {
    return GetFormatBit(2, bit);
}

bool ModuleBase::GetFormatBits52(std::string& bits) {
    std::string result;
    for (int n = 5; n >= 2; --n) {
        std::string one;
        if (!GetFormatBit(n, one)) return false;
        result += one;
    }
    bits = result;
    return true;
}

bool ModuleBase::GetChecksumBit(std::string& bit) {
    return GetFormatBit(6, bit);
}

bool ModuleBase::GetFormatBit7(std::string& bit) {
    return GetFormatBit(7, bit);
}

bool ModuleBase::GetProtocolBit(std::string& bit) {
    return GetFormatBit(2, bit);
}

bool ModuleBase::ReadConfiguration(std::string& address) {
    std::string reply;
    if (!ascii::Send(port_, reply, "$%s2\r", address_.c_str())) return false;
    std::string addr, type, baud, format;
    if (!ascii::Field(reply, 1, 2, addr) || !ascii::Field(reply, 3, 2, type) ||
        !ascii::Field(reply, 5, 2, baud) || !ascii::Field(reply, 7, 2, format)) {
        return false;
    }
    address = addr;
    typeCode_ = type;
    baudCode_ = baud;
    dataFormat_ = format;
    return true;
}

bool ModuleBase::RefreshConfiguration() {
    std::string address;
    return ReadConfiguration(address);
}

bool ModuleBase::SetConfiguration() {
    if (address_.empty() || previousAddress_.empty()) return false;
    std::string reply;
    if (!ascii::Send(port_, reply, "%%%s%s%s%s%s\r", previousAddress_.c_str(), address_.c_str(),
                     typeCode_.c_str(), baudCode_.c_str(), dataFormat_.c_str())) {
        return false;
    }
    previousAddress_.clear();
    return true;
}

bool ModuleBase::ReadFirmwareVersion(std::string& version) {
    std::string reply;
    if (!ascii::Send(port_, reply, "$%sF\r", address_.c_str())) return false;
    version = ascii::From(reply, 3);
    return true;
}

bool ModuleBase::ReadModuleName(std::string& name) {
    std::string reply;
    if (!ascii::Send(port_, reply, "$%sM\r", address_.c_str())) return false;
    name = ascii::From(reply, 3);
    return true;
}

bool ModuleBase::SetCommWatchdog(const std::string& value) {
    std::string reply;
    return ascii::Send(port_, reply, "$%sX%s\r", address_.c_str(), value.c_str());
}

bool ModuleBase::ReadCommWatchdog(std::string& value) {
    std::string reply;
    if (!ascii::Send(port_, reply, "$%sY\r", address_.c_str())) return false;
    value = ascii::From(reply, 3);
    return true;
}

bool ModuleBase::GetAddress(std::string& address) const {
    address = address_;
    return true;
}

}  // namespace odel

// The host's object for one module on the bus: its address, the configuration codes staged
// for the next configuration command, and the command lines every module understands.
#pragma once

#include <memory>
#include <string>

namespace odel {

class SerialPort;
class ModbusMaster;

class ModuleBase {
  public:
    // The port is borrowed and may be null (every command then fails). The bus search
    // constructs its probe without an address.
    explicit ModuleBase(SerialPort* port, const std::string& address = std::string());
    virtual ~ModuleBase();
    ModuleBase(const ModuleBase&) = delete;
    ModuleBase& operator=(const ModuleBase&) = delete;

    // Stages the held address as previous address, then keeps the new one (two characters).
    virtual bool SetAddress(const std::string& address);
    virtual bool SetTypeCode(const std::string& code);
    virtual bool SetBaudCode(const std::string& code);
    virtual bool SetDataFormat(const std::string& code);

    // Data format bits. A bit argument of "1" sets the bit, anything else clears it.
    virtual bool SetFormatBits10(const std::string& bits);
    virtual bool SetFormatBit2(const std::string& bit);
    virtual bool SetFormatBits52(const std::string& bits);
    virtual bool SetChecksumBit(const std::string& bit);
    virtual bool SetFormatBit7(const std::string& bit);
    virtual bool SetProtocolBit(const std::string& bit);
    virtual bool SetFormatBit(int bitNumber, const std::string& bit);

    // Getters read the configuration once when their field is empty.
    virtual bool GetTypeCode(std::string& code);
    virtual bool GetBaudCode(std::string& code);
    virtual bool GetFormatBits10(std::string& bits);
    virtual bool GetFormatBit2(std::string& bit);
    virtual bool GetFormatBits52(std::string& bits);
    virtual bool GetChecksumBit(std::string& bit);
    virtual bool GetFormatBit7(std::string& bit);
    virtual bool GetProtocolBit(std::string& bit);
    virtual bool GetFormatBit(int bitNumber, std::string& bit);

    // "$AA2": fills the staged type, baud and format codes from the reply.
    bool ReadConfiguration(std::string& address);
    bool RefreshConfiguration();
    // "%" previous address, address, type, baud, format; consumes the previous address.
    bool SetConfiguration();
    bool ReadFirmwareVersion(std::string& version);
    bool ReadModuleName(std::string& name);
    // Four decimal digits, tenths of a second.
    bool SetCommWatchdog(const std::string& value);
    bool ReadCommWatchdog(std::string& value);

    bool GetAddress(std::string& address) const;
    SerialPort* GetPort() const { return port_; }
    ModbusMaster* GetModbus() const { return modbus_.get(); }

    // Read-only views of the staged fields.
    const std::string& PreviousAddress() const { return previousAddress_; }
    const std::string& TypeCode() const { return typeCode_; }
    const std::string& BaudCode() const { return baudCode_; }
    const std::string& DataFormat() const { return dataFormat_; }

  protected:
    // Data format byte helpers on any field holding two hexadecimal digits (empty reads as 0).
    static bool SetBitIn(std::string& format, int bitNumber, const std::string& bit);
    static bool GetBitOf(const std::string& format, int bitNumber, std::string& bit);

    std::string address_;
    std::string previousAddress_;
    std::string typeCode_;
    std::string baudCode_;
    std::string dataFormat_;
    SerialPort* port_;
    std::unique_ptr<ModbusMaster> modbus_;
};

}  // namespace odel

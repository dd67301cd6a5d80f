// Host side of Modbus RTU on a SerialPort: functions 01, 03, 05 and 06, each as a request call
// followed by its receive call. Coil and register numbers count from 1.
#pragma once

#include <cstdint>
#include <string>

namespace odel {

class SerialPort;

class ModbusMaster {
public:
    explicit ModbusMaster(SerialPort* port);

    bool RequestReadCoils(int slave, int firstCoil, int count);
    bool ReceiveReadCoils(std::uint8_t* data, int& byteCount);
    bool RequestReadRegisters(int slave, int firstRegister, int count);
    bool ReceiveReadRegisters(std::uint8_t* data, int& byteCount);
    bool RequestWriteCoil(int slave, int coil, bool on);
    bool ReceiveWriteCoil();
    bool RequestWriteRegister(int slave, int reg, int value);
    bool ReceiveWriteRegister();

    static std::uint16_t Crc16(const std::uint8_t* data, std::size_t count);

    void SetDelay(int ms) { delay_ = ms; }
    int GetDelay() const { return delay_; }
    const std::string& RequestText() const { return request_; }
    const std::string& ReplyText() const { return reply_; }
    void SetPort(SerialPort* port) { port_ = port; }

private:
    SerialPort* port_;
    int delay_ = 20;
    std::string request_;
    std::string reply_;
};

}  // namespace odel

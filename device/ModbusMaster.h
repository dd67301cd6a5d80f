// Host side of Modbus RTU on a SerialPort: functions 01, 03, 05 and 06, each as a request call
// followed by its receive call. Coil and register numbers count from 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace odel {

class SerialPort;

class ModbusMaster {
  public:
    explicit ModbusMaster(SerialPort* port);

    // Largest data answer accepted: address, function, count, data and CRC fill 256 bytes.
    static constexpr int kMaxDataBytes = 251;
    // The two-argument receive calls need a data buffer of at least kReceiveBufferSize bytes;
    // the overloads with a capacity fail when the announced count does not fit it.
    static constexpr std::size_t kReceiveBufferSize = 256;

    // Slave 0..255; coil/register 1..65536; count and value 0..65535. Outside: false, nothing sent.
    bool RequestReadCoils(int slave, int firstCoil, int count);
    bool ReceiveReadCoils(std::uint8_t* data, int& byteCount);
    bool ReceiveReadCoils(std::uint8_t* data, std::size_t capacity, int& byteCount);
    bool RequestReadRegisters(int slave, int firstRegister, int count);
    bool ReceiveReadRegisters(std::uint8_t* data, int& byteCount);
    bool ReceiveReadRegisters(std::uint8_t* data, std::size_t capacity, int& byteCount);
    bool RequestWriteCoil(int slave, int coil, bool on);
    bool ReceiveWriteCoil();
    bool RequestWriteRegister(int slave, int reg, int value);
    bool ReceiveWriteRegister();

    static std::uint16_t Crc16(const std::uint8_t* data, std::size_t count);

    // Why the last receive call failed.
    enum class Failure { None, NoAnswer, BadCrc, Exception, ShortAnswer, WrongAnswer };
    Failure LastFailure() const { return failure_; }
    // The exception code of an exception answer (Failure::Exception).
    int LastExceptionCode() const { return exceptionCode_; }
    // Bytes that arrived for the last receive call.
    std::size_t LastAnswerSize() const { return answerSize_; }
    // "Illegal data address" for 02, ...; "Unknown exception" for codes without a name.
    static const char* ExceptionName(int code);

    void SetDelay(int ms) { delay_ = ms; }
    int GetDelay() const { return delay_; }
    const std::string& RequestText() const { return request_; }
    const std::string& ReplyText() const { return reply_; }
    void SetPort(SerialPort* port) { port_ = port; }

  private:
    bool SendRequest(int slave, int function, int address, int value);
    void Purge();
    bool ReceiveData(std::uint8_t* data, std::size_t capacity, int& byteCount);
    bool ReceiveEcho();
    bool FunctionMatches() const;

    SerialPort* port_;
    int delay_ = 20;
    std::string request_;
    std::string reply_;
    Failure failure_ = Failure::None;
    int exceptionCode_ = 0;
    std::size_t answerSize_ = 0;
    // Records why an answer of size bytes was refused; false for the caller to return.
    bool Refuse(const std::uint8_t* frame, std::size_t size, bool crcOk);
};

}  // namespace odel

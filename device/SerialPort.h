// One open serial port: line settings, one time-out for every wait, the checksum flag and the
// ASCII command transaction. Blocking I/O on a termios device, or on a TCP connection to a
// serial device server (tcp://HOST:PORT raw, rfc2217://HOST:PORT telnet with COM-PORT-OPTION);
// all operations report only true/false.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace odel {

// Told every byte written to and read from a port, with a monotonic timestamp in microseconds.
class TrafficObserver {
  public:
    virtual ~TrafficObserver() = default;
    virtual void BytesWritten(const std::uint8_t* data, std::size_t count, std::int64_t usec) = 0;
    virtual void BytesRead(const std::uint8_t* data, std::size_t count, std::int64_t usec) = 0;
};

class SerialPort {
  public:
    // Why the last Open failed.
    // Refused, NoAnswer and UnknownHost are the network ones; BadName a malformed tcp:// or
    // rfc2217:// name. PortInUse: the device server kept saying its port is held by another
    // connection; ServerClosed: it hung up at once, after some text; SendsWithoutEnd and
    // DoesNotRead: it broke a deadline of the protocol start (see LinkFault).
    enum class OpenError {
        None, NotPresent, Busy, NoPermission, Refused, NoAnswer, UnknownHost, BadName,
        PortInUse, ServerClosed, SendsWithoutEnd, DoesNotRead, Other
    };
    // Why this side gave up an open network link: the device server kept sending past a
    // deadline or a buffer's cap, or did not take what it was sent by a deadline.
    enum class LinkFault { None, SendsWithoutEnd, DoesNotRead };

    explicit SerialPort(std::string portName);
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    bool Open();
    bool Close();
    bool IsOpen() const;
    OpenError LastOpenError() const;
    // The fault that closed the link, None while open and after Open.
    LinkFault LastLinkFault() const;
    // Called once when a fault closes the link (no reconnection is tried then).
    void SetLinkFaultNotice(std::function<void(LinkFault)> notice);

    // parity: 0 none; stopBits: 0 one stop bit (the codes the callers pass).
    bool SetLineSettings(int baud, std::uint8_t dataBits, std::uint8_t parity,
                         std::uint8_t stopBits);
    void GetLineSettings(int& baud, std::uint8_t& dataBits, std::uint8_t& parity,
                         std::uint8_t& stopBits) const;
    bool SetTimeout(int ms);
    int GetTimeout() const;
    std::string GetPortName() const;
    // False on a link whose line settings stay on the device server (raw TCP, or a server that
    // refused the COM-PORT-OPTION): SetLineSettings then only records them.
    bool LineSettingsReachDevice() const;
    // Called when a change of line settings could not reach the device.
    void SetLineSettingsNotice(std::function<void()> notice);

    bool WriteText(const std::string& text);
    bool WriteBytes(std::size_t count, const std::uint8_t* buffer);
    bool ReadBytes(std::size_t count, std::uint8_t* buffer);
    // Appends up to limit-1 characters (terminator included) to dest; see the .cpp for the rules.
    bool ReadLine(int limit, std::string& dest);

    // Discards whatever the driver has received but nobody has read yet.
    bool FlushInput();
    // Discards queued input before a command goes out; after a read that gave up, also a late
    // reply still arriving, until the line has been quiet for one time-out.
    bool DiscardStaleInput();
    // The next command does not wait for the line to go quiet: its replies carry its address
    // (the bus search), so a late reply to another address is dropped as foreign anyway.
    void SkipStaleWait();

    void SetChecksum(std::uint8_t flag);
    std::uint8_t GetChecksum() const;

    // 1200, 2400, 4800, 9600, 19200, 38400, 57600 and 115200.
    static bool IsSupportedBaud(int baud);
    static int ComputeChecksum(const std::string& text);
    static void AppendChecksum(std::string& command);
    static bool VerifyChecksum(std::string& reply);
    // One exchange. command may gain its checksum digits; reply receives what arrived (append).
    bool Transact(std::string& command, int limit, std::string* reply);

    void SetObserver(TrafficObserver* observer);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace odel

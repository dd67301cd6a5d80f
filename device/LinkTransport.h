// What carries a SerialPort's bytes: a termios device, a raw TCP stream to a serial device
// server, or a telnet session with the COM-PORT-OPTION (RFC 2217). Chosen from the port name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "device/SerialPort.h"

namespace odel::link {

struct LineSettings {
    int baud = 0;  // 0: not known
    std::uint8_t dataBits = 8;
    std::uint8_t parity = 0;    // 0 none, 1 odd, 2 even
    std::uint8_t stopBits = 0;  // 0 one stop bit, 2 two
};

using OpenFailure = SerialPort::OpenError;
using LinkFault = SerialPort::LinkFault;

// The bounds of a network link. Deadlines in microseconds; caps in bytes.
struct Limits {
    std::int64_t answerUsec = 2'000'000;     // negotiation and the answers to line settings
    std::int64_t settleUsec = 30'000;        // a new raw connection watched for a refusal
    std::int64_t inUseRetryUsec = 2'000'000; // connecting again while the port is in use
    std::size_t maxPending = 64 * 1024;      // decoded data waiting to be read (oldest dropped)
    std::size_t maxOut = 64 * 1024;          // bytes owed to the server but not yet taken
    std::size_t maxPurge = 1024 * 1024;      // input one purge drops before it gives up
};

// The rates the termios device and the network links offer.
bool SupportedBaud(int baud);

// Monotonic clock in microseconds, the one every deadline is measured on.
std::int64_t NowUsec();

class Transport {
  public:
    virtual ~Transport() = default;
    virtual bool Open(OpenFailure& why) = 0;
    virtual void Close() = 0;
    // The descriptor to wait on for input and output, or -1 when closed.
    virtual int Fd() const = 0;
    // Data bytes that have arrived, without waiting: count, 0 when none are there yet (also when
    // only protocol bytes came), -1 when the link is lost.
    virtual long Read(std::uint8_t* buffer, std::size_t capacity) = 0;
    // Takes data bytes without waiting: the count taken (0 when the way out is full), -1 lost.
    virtual long Write(const std::uint8_t* data, std::size_t count) = 0;
    // Waits until everything taken has left this computer, at most until the deadline.
    virtual bool Drain(std::int64_t deadlineUsec) = 0;
    // Drops input that has arrived and, where the far end can, input it still holds, at most
    // until the deadline. A network peer still sending at the deadline (or past maxPurge
    // bytes) closes the link with SendsWithoutEnd.
    virtual bool Purge(std::int64_t deadlineUsec) = 0;
    virtual bool Apply(const LineSettings& settings) = 0;
    // The device's settings found by Open; baud 0 when they cannot be read.
    virtual LineSettings Current() const = 0;
    // False where line settings stay on the device server (raw TCP, or a server that refused
    // the COM-PORT-OPTION).
    virtual bool SettingsReachDevice() const = 0;
    // Time the far end still needs to clock `bytes` out onto the line after Drain returned.
    virtual std::int64_t ClockOutUsec(std::size_t bytes, int baud) const = 0;
    // What the way back adds to every reply: a device server's forwarding delay (it gathers a
    // reply's bytes into one packet) and the network's round trip. 0 on a local device.
    virtual std::int64_t ForwardingUsec() const = 0;
    // Why the transport closed itself, None when it did not.
    virtual LinkFault Fault() const { return LinkFault::None; }
    // The caller waited for the way out until its deadline in vain.
    virtual void WriteTimedOut() {}
};

// tcp://HOST:PORT and rfc2217://HOST:PORT; anything else is a device path.
enum class Scheme { Device, RawTcp, Rfc2217 };
struct PortAddress {
    Scheme scheme = Scheme::Device;
    std::string host;  // without the brackets of an IPv6 literal
    std::string service;
};
// False for a network name whose host or port is missing or malformed.
bool ParsePortName(const std::string& name, PortAddress& address);
bool IsNetworkPortName(const std::string& name);

std::unique_ptr<Transport> MakeTransport(const std::string& name);
// A network transport over a stream socket already connected (taken over; closed by it), with
// its own limits: Open runs only the protocol start. For tests and fuzzing of hostile peers.
std::unique_ptr<Transport> AdoptConnection(Scheme scheme, int fd, const Limits& limits);

}  // namespace odel::link

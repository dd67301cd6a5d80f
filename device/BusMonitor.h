// The bus monitor's capture: a traffic observer that cuts what a link writes and reads into
// exchanges (one command and what came back before the next one), keeps the last ones in a
// bounded ring, and explains from them why an address does not answer.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>

#include "device/BusDecoder.h"
#include "device/SerialPort.h"

namespace odel::bus {

// What "Why no answer?" found for one address.
enum class Finding {
    None,             // the address answers, nothing to explain
    NoData,           // no exchange with that address seen yet
    NothingBack,      // nothing at all came back
    BaudMismatch,     // bytes without CR, or garbage
    Echo,             // our own command came back
    ChecksumOff,      // replies carry checksum digits while the checksum box is off
    ChecksumOn,       // checksum box on, replies without checksum digits
    BadChecksum,      // checksum digits present but wrong
    Late,             // replies arrive after the time-out
    Rejected,         // the module answers "?"
    ModbusException,  // the slave answers with an exception
};

struct Diagnosis {
    Finding finding = Finding::NoData;
    std::string text;
};

class BusMonitor : public TrafficObserver {
  public:
    static constexpr std::size_t kDefaultCapacity = 100000;

    explicit BusMonitor(std::size_t capacity = kDefaultCapacity);
    ~BusMonitor() override;
    BusMonitor(const BusMonitor&) = delete;
    BusMonitor& operator=(const BusMonitor&) = delete;

    // Observes this link (nullptr: none); the previous one, if still given, is released.
    void Attach(SerialPort* port);
    // Stops observing the attached link (its observer is unset).
    void Detach();
    SerialPort* Port() const { return port_; }
    // Where the link's settings are read from when its observer was set by someone else (a
    // window that follows whichever link is current); overrides the attached port.
    void SetPortSource(std::function<SerialPort*()> source) { portSource_ = std::move(source); }

    void BytesWritten(const std::uint8_t* data, std::size_t count, std::int64_t usec) override;
    void BytesRead(const std::uint8_t* data, std::size_t count, std::int64_t usec) override;

    // Marks the last exchange complete (the next write would do the same).
    void CloseLast();
    void Clear();

    const std::deque<Exchange>& Exchanges() const { return ring_; }
    std::uint64_t FirstSeq() const { return ring_.empty() ? nextSeq_ : ring_.front().seq; }
    std::uint64_t NextSeq() const { return nextSeq_; }
    const Exchange* Find(std::uint64_t seq) const;
    std::uint64_t Dropped() const { return dropped_; }
    std::size_t Capacity() const { return capacity_; }
    // Bumped whenever a byte is recorded, so a view knows the last row changed.
    std::uint64_t Changes() const { return changes_; }

    // Called with every exchange once it is complete (for a trace).
    void SetOnClosed(std::function<void(const Exchange&)> f) { onClosed_ = std::move(f); }

    // "Why no answer?" for a two-hex-digit address, from the recent exchanges with it.
    Diagnosis Diagnose(const std::string& address, std::int64_t nowUsec) const;

    static std::int64_t NowUsec();

  private:
    Exchange& Open(std::int64_t usec);
    void Close(Exchange& e);

    std::size_t capacity_;
    std::deque<Exchange> ring_;
    std::uint64_t nextSeq_ = 1;
    std::uint64_t dropped_ = 0;
    std::uint64_t changes_ = 0;
    SerialPort* port_ = nullptr;
    std::string portName_;
    std::int64_t wallOffsetUsec_ = 0;  // wall clock minus monotonic clock
    std::function<void(const Exchange&)> onClosed_;
    std::function<SerialPort*()> portSource_;
};

}  // namespace odel::bus

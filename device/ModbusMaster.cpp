// Modbus RTU requests and answers over the serial link, one byte per read.
#include "device/ModbusMaster.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "device/SerialPort.h"

namespace odel {

namespace {

// The usual pair of lookup tables for CRC-16/Modbus (reflected polynomial A001, start FFFF):
// hi[i] and lo[i] are the bytes of the CRC step for index i.
struct CrcTables {
    std::array<std::uint8_t, 256> hi{};
    std::array<std::uint8_t, 256> lo{};
};

constexpr CrcTables MakeCrcTables() {
    CrcTables t;
    for (unsigned i = 0; i < 256; ++i) {
        unsigned crc = i;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001u : crc >> 1;
        t.lo[i] = static_cast<std::uint8_t>(crc & 0xFF);
        t.hi[i] = static_cast<std::uint8_t>(crc >> 8);
    }
    return t;
}

constexpr CrcTables kCrc = MakeCrcTables();

// At most this many stale bytes are thrown away before a request, so a babbling line
// cannot keep the purge going for ever.
constexpr int kPurgeLimit = 4096;

void AppendHex(std::string& text, const std::uint8_t* bytes, std::size_t count) {
    char hex[3];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(hex, sizeof hex, "%02X", bytes[i]);
        text += hex;
    }
}

bool CrcMatches(const std::uint8_t* frame, std::size_t size) {
    std::uint16_t crc = ModbusMaster::Crc16(frame, size - 2);
    return frame[size - 2] == (crc & 0xFF) && frame[size - 1] == (crc >> 8);
}

}  // namespace

ModbusMaster::ModbusMaster(SerialPort* port) : port_(port) {}

std::uint16_t ModbusMaster::Crc16(const std::uint8_t* data, std::size_t count) {
    std::uint8_t hi = 0xFF;
    std::uint8_t lo = 0xFF;
    for (std::size_t i = 0; i < count; ++i) {
        unsigned index = (lo ^ data[i]) & 0xFF;
        lo = static_cast<std::uint8_t>(hi ^ kCrc.lo[index]);
        hi = kCrc.hi[index];
    }
    return static_cast<std::uint16_t>((hi << 8) | lo);
}

void ModbusMaster::Purge() {
    port_->DiscardStaleInput();
    const int saved = port_->GetTimeout();
    port_->SetTimeout(1);
    std::uint8_t byte;
    for (int i = 0; i < kPurgeLimit && port_->ReadBytes(1, &byte); ++i) {
    }
    port_->SetTimeout(saved);
}

bool ModbusMaster::SendRequest(int slave, int function, int address, int value) {
    if (port_ == nullptr) return false;
    if (slave < 0 || slave > 0xFF || address < 0 || address > 0xFFFF || value < 0 ||
        value > 0xFFFF) {
        return false;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%02X%02X%04X%04X", slave, function, address, value);
    request_ = text;
    std::uint8_t frame[8] = {
        static_cast<std::uint8_t>(slave),        static_cast<std::uint8_t>(function),
        static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address & 0xFF),
        static_cast<std::uint8_t>(value >> 8),   static_cast<std::uint8_t>(value & 0xFF),
    };
    std::uint16_t crc = Crc16(frame, 6);
    frame[6] = static_cast<std::uint8_t>(crc & 0xFF);
    frame[7] = static_cast<std::uint8_t>(crc >> 8);
    Purge();
    std::this_thread::sleep_for(std::chrono::milliseconds(delay_));
    return port_->WriteBytes(sizeof frame, frame);
}

bool ModbusMaster::FunctionMatches() const {
    return request_.size() >= 4 && reply_.size() >= 4 && request_.compare(2, 2, reply_, 2, 2) == 0;
}

bool ModbusMaster::ReceiveData(std::uint8_t* data, std::size_t capacity, int& byteCount) {
    if (port_ == nullptr) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(delay_));
    std::uint8_t frame[kReceiveBufferSize];
    std::size_t got = 0;       // bytes kept in frame
    std::size_t arrived = 0;   // bytes read from the line
    std::size_t expected = 0;  // N + 5 once the byte count is known
    std::uint8_t byte;
    while (port_->ReadBytes(1, &byte)) {
        if (got < sizeof frame) frame[got++] = byte;
        ++arrived;
        if (arrived == 3) expected = static_cast<std::size_t>(byte) + 5;
        if (expected != 0 && arrived >= expected) break;
    }
    // An announced length beyond the buffer is read off the line but never stored.
    if (arrived > got) return false;
    if (got <= 3) return false;
    if (!CrcMatches(frame, got)) return false;
    got -= 2;
    reply_.clear();
    AppendHex(reply_, frame, got);
    if (!FunctionMatches()) return false;
    const int count = frame[2];
    // A frame cut short (even with a CRC that fits) does not carry the data it announces.
    if (got != static_cast<std::size_t>(count) + 3) return false;
    if (data == nullptr || static_cast<std::size_t>(count) > capacity) return false;
    std::memcpy(data, frame + 3, static_cast<std::size_t>(count));
    byteCount = count;
    return true;
}

bool ModbusMaster::ReceiveEcho() {
    if (port_ == nullptr) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(delay_));
    std::uint8_t frame[8];
    std::size_t got = 0;
    while (got < sizeof frame && port_->ReadBytes(1, &frame[got])) ++got;
    if (got != sizeof frame || !CrcMatches(frame, got)) return false;
    reply_.clear();
    AppendHex(reply_, frame, got - 2);
    return FunctionMatches();
}

bool ModbusMaster::RequestReadCoils(int slave, int firstCoil, int count) {
    return SendRequest(slave, 0x01, firstCoil - 1, count);
}

bool ModbusMaster::ReceiveReadCoils(std::uint8_t* data, int& byteCount) {
    return ReceiveData(data, kReceiveBufferSize, byteCount);
}

bool ModbusMaster::ReceiveReadCoils(std::uint8_t* data, std::size_t capacity, int& byteCount) {
    return ReceiveData(data, capacity, byteCount);
}

bool ModbusMaster::RequestReadRegisters(int slave, int firstRegister, int count) {
    return SendRequest(slave, 0x03, firstRegister - 1, count);
}

bool ModbusMaster::ReceiveReadRegisters(std::uint8_t* data, int& byteCount) {
    return ReceiveData(data, kReceiveBufferSize, byteCount);
}

bool ModbusMaster::ReceiveReadRegisters(std::uint8_t* data, std::size_t capacity, int& byteCount) {
    return ReceiveData(data, capacity, byteCount);
}

bool ModbusMaster::RequestWriteCoil(int slave, int coil, bool on) {
    return SendRequest(slave, 0x05, coil - 1, on ? 0xFF00 : 0x0000);
}

bool ModbusMaster::ReceiveWriteCoil() {
    return ReceiveEcho();
}

bool ModbusMaster::RequestWriteRegister(int slave, int reg, int value) {
    return SendRequest(slave, 0x06, reg - 1, value);
}

bool ModbusMaster::ReceiveWriteRegister() {
    return ReceiveEcho();
}

}  // namespace odel

// The client side of a telnet session with the COM-PORT-OPTION (RFC 2217), without I/O: it turns
// received bytes into data and negotiation answers, and data and line settings into bytes to
// send. Binary transmission is asked for both ways so that CR and 0xFF cross unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "device/LinkTransport.h"

namespace odel::telnet {

constexpr std::uint8_t kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251, kSb = 250,
                       kSe = 240;
constexpr std::uint8_t kOptBinary = 0, kOptEcho = 1, kOptSga = 3, kOptComPort = 44;
// COM-PORT-OPTION commands from the client; the server answers with the command plus 100.
constexpr std::uint8_t kSetBaud = 1, kSetDataSize = 2, kSetParity = 3, kSetStopSize = 4,
                       kPurgeData = 12;
constexpr std::uint8_t kServerOffset = 100;
constexpr std::uint8_t kPurgeReceive = 1;  // the server's buffer of data from the device

class Session {
  public:
    // Offers what we need: binary both ways, COM-PORT-OPTION, suppress-go-ahead.
    std::string Start();
    // Decodes bytes from the server: data is appended to `data`, answers the server is owed
    // are appended to `reply`.
    void Receive(const std::uint8_t* bytes, std::size_t count, std::string& data,
                 std::string& reply);
    // Data bytes as they go on the wire: IAC doubled, CR followed by NUL outside binary mode.
    void Encode(const std::uint8_t* data, std::size_t count, std::string& out) const;
    // Sets baud rate, data size, parity and stop size, and clears the record of answers.
    std::string SetLine(const link::LineSettings& settings);
    std::string PurgeInput();

    // Every option we asked for has been answered (accepted or refused).
    bool Negotiated() const;
    bool ComPortAccepted() const { return us_[kOptComPort] == Yes; }
    // The server answered every setting of the last SetLine; BaudTaken: with the baud asked for.
    bool LineAnswered() const { return (answered_ & kLineMask) == kLineMask; }
    bool BaudTaken() const { return answeredBaud_ == askedBaud_; }
    // How many purges the server has confirmed.
    unsigned PurgesAnswered() const { return purges_; }

  private:
    enum State : std::uint8_t { No, Yes, WantYes };
    enum Parse { Data, Iac, Option, Sub, SubIac };
    static constexpr unsigned kLineMask = 0x1E;  // bits of commands 1..4
    void Negotiate(std::uint8_t verb, std::uint8_t option, std::string& reply);
    void SubNegotiation();

    State us_[256] = {};   // options on our side (WILL/WONT)
    State him_[256] = {};  // options on the server's side (DO/DONT)
    Parse parse_ = Data;
    std::uint8_t verb_ = 0;
    bool afterCr_ = false;
    std::string sub_;
    unsigned answered_ = 0;
    unsigned purges_ = 0;
    std::uint32_t askedBaud_ = 0, answeredBaud_ = 0;
};

}  // namespace odel::telnet

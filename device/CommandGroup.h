// The command lines of one module family, sent to the module's current address over the
// module's port. Module classes own one to three groups and keep their address in step.
#pragma once

#include <cstddef>
#include <string>

namespace odel {

class SerialPort;

// One ASCII exchange as every command operation performs it, and the payload cutting rules.
namespace ascii {

// Size of the command and reply texts; a reply holds at most Limit - 1 characters.
inline constexpr int Limit = 64;

// Prints the command line, clears reply and runs one Transact with the read limit 64.
// Fails without sending when port is null or the line (with its checksum digits when the
// checksum is on) would not fit the 64-character command text.
bool Send(SerialPort* port, std::string& reply, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// The reply from position pos up to (not including) the final CR; empty when the reply is
// shorter. Replies reaching here passed Transact, so they end in CR.
std::string From(const std::string& reply, std::size_t pos);

// The len characters at pos, which must all lie before the final CR; false (out untouched)
// when the reply is too short to hold them.
bool Field(const std::string& reply, std::size_t pos, std::size_t len, std::string& out);

}  // namespace ascii

class CommandGroup {
  public:
    CommandGroup(SerialPort* port, const std::string& address);
    virtual ~CommandGroup() = default;

    // Keeps at most two characters.
    void SetAddress(const std::string& address);
    const std::string& Address() const { return address_; }
    SerialPort* Port() const { return port_; }

  protected:
    SerialPort* port_;
    std::string address_;
};

}  // namespace odel

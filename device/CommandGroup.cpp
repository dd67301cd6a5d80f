#include "device/CommandGroup.h"

#include <cstdarg>
#include <cstdio>

#include "device/SerialPort.h"

namespace odel {

namespace ascii {

bool Send(SerialPort* port, std::string& reply, const char* format, ...) {
    reply.clear();
    if (port == nullptr) return false;

    char line[256] = {};
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    // The command text holds 64 characters with its terminating zero, checksum digits included;
    // a longer line is refused rather than cut short.
    int room = Limit - 1 - (port->GetChecksum() ? 2 : 0);
    if (length <= 0 || length > room) return false;

    std::string command(line, static_cast<std::size_t>(length));
    return port->Transact(command, Limit, &reply);
}

std::string From(const std::string& reply, std::size_t pos) {
    if (reply.empty()) return std::string();
    std::size_t end = reply.size() - 1;  // the final CR
    if (reply[end] != '\r') end = reply.size();
    if (pos >= end) return std::string();
    return reply.substr(pos, end - pos);
}

bool Field(const std::string& reply, std::size_t pos, std::size_t len, std::string& out) {
    std::size_t end = reply.size();
    if (end > 0 && reply[end - 1] == '\r') --end;
    if (pos + len > end) return false;
    out = reply.substr(pos, len);
    return true;
}

}  // namespace ascii

CommandGroup::CommandGroup(SerialPort* port, const std::string& address)
    : port_(port), address_(address.substr(0, 2)) {}

void CommandGroup::SetAddress(const std::string& address) {
    address_ = address.substr(0, 2);
}

}  // namespace odel

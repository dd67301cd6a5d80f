// Lists the machine's serial ports the way the main window finds them, without Qt.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace odel {

enum class PortPresence { Present, Denied, Absent };

// Opens a UART slot's device: Present when a UART answers behind it, Denied when it exists but
// cannot be opened by us (permission, held by another program), Absent otherwise.
PortPresence ProbeSerialPort(const std::string& devPath);

// Device paths (devDir + "/" + name) of the entries of sysClassTty that have a "device" link,
// leaving out virtual consoles, pseudo-terminals and UART slots with nothing behind them (probe,
// ProbeSerialPort by default, says Absent); sorted with numbers in numeric order (ttyS2 before
// ttyS10).
std::vector<std::string> ListSerialPorts(
    const std::string& sysClassTty = "/sys/class/tty", const std::string& devDir = "/dev",
    const std::function<PortPresence(const std::string&)>& probe = {});

}  // namespace odel

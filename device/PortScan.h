// Lists the machine's serial ports the way the main window finds them, without Qt.
#pragma once

#include <string>
#include <vector>

namespace odel {

// Device paths (devDir + "/" + name) of the entries of sysClassTty that have a "device" link,
// leaving out virtual consoles, pseudo-terminals and unconfigured 8250 UART slots; sorted with
// numbers in numeric order (ttyS2 before ttyS10).
std::vector<std::string> ListSerialPorts(const std::string& sysClassTty = "/sys/class/tty",
                                         const std::string& devDir = "/dev");

}  // namespace odel

// Serial port discovery from sysfs.
#include "device/PortScan.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <system_error>

namespace odel {

namespace {

namespace fs = std::filesystem;

bool IsVirtualTerminal(const std::string& name) {
    if (name == "tty" || name == "console" || name == "ptmx") return true;
    if (name.rfind("pty", 0) == 0 || name.rfind("pts", 0) == 0) return true;
    // tty0, tty1, ...: the virtual consoles
    if (name.size() > 3 && name.rfind("tty", 0) == 0 &&
        std::all_of(name.begin() + 3, name.end(), [](unsigned char c) { return std::isdigit(c); }))
        return true;
    return false;
}

// Serial-core UART slots (the 8250 driver registers a fixed number whether a UART sits behind
// them or not) are probed; other drivers (USB adapters, ACM) list what they have. Older kernels
// link such a port to the serial8250 driver, newer ones to a port driver of the serial-base bus.
bool IsSerialCoreSlot(const fs::path& entry) {
    std::error_code ec;
    const fs::path driver = fs::read_symlink(entry / "device" / "driver", ec);
    if (ec) return false;
    if (driver.filename() == "serial8250") return true;
    for (const auto& part : driver)
        if (part == "serial-base") return true;
    return false;
}

}  // namespace

PortPresence ProbeSerialPort(const std::string& devPath) {
    int fd = ::open(devPath.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        // Held by another program or not ours to open: the port is there all the same.
        return errno == EACCES || errno == EPERM || errno == EBUSY ? PortPresence::Denied
                                                                   : PortPresence::Absent;
    }
    serial_struct info{};
    const bool unknown = ::ioctl(fd, TIOCGSERIAL, &info) != 0 || info.type == PORT_UNKNOWN;
    ::close(fd);
    return unknown ? PortPresence::Absent : PortPresence::Present;
}

namespace {

// Compares names piecewise, digit runs by value: ttyS2 < ttyS10 < ttyUSB0.
bool NaturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (std::isdigit(static_cast<unsigned char>(a[i])) &&
            std::isdigit(static_cast<unsigned char>(b[j]))) {
            std::size_t ie = i, je = j;
            while (ie < a.size() && std::isdigit(static_cast<unsigned char>(a[ie]))) ++ie;
            while (je < b.size() && std::isdigit(static_cast<unsigned char>(b[je]))) ++je;
            std::string na = a.substr(i, ie - i), nb = b.substr(j, je - j);
            na.erase(0, std::min(na.find_first_not_of('0'), na.size()));
            nb.erase(0, std::min(nb.find_first_not_of('0'), nb.size()));
            if (na.size() != nb.size()) return na.size() < nb.size();
            if (na != nb) return na < nb;
            i = ie;
            j = je;
        } else {
            if (a[i] != b[j]) return a[i] < b[j];
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

}  // namespace

std::vector<std::string> ListSerialPorts(
    const std::string& sysClassTty, const std::string& devDir,
    const std::function<PortPresence(const std::string&)>& probe) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(sysClassTty, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path entry = it->path();
        const std::string name = entry.filename().string();
        if (IsVirtualTerminal(name)) continue;
        std::error_code exists;
        if (!fs::exists(entry / "device", exists)) continue;
        if (IsSerialCoreSlot(entry) &&
            (probe ? probe : ProbeSerialPort)(devDir + "/" + name) == PortPresence::Absent)
            continue;
        names.push_back(name);
    }
    std::sort(names.begin(), names.end(), NaturalLess);
    std::vector<std::string> paths;
    for (const auto& n : names) paths.push_back(devDir + "/" + n);
    return paths;
}

}  // namespace odel

// Serial port listing from a fake sysfs tree.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "device/PortScan.h"

namespace fs = std::filesystem;

TEST(PortScan, ListsTtysWithADeviceSorted) {
    char base[] = "/tmp/odel-sysfs-XXXXXX";
    ASSERT_NE(mkdtemp(base), nullptr);
    const fs::path root(base);
    const fs::path tty = root / "class" / "tty";
    const fs::path drivers = root / "drivers";
    fs::create_directories(drivers / "ftdi_sio");
    fs::create_directories(drivers / "serial8250");
    fs::create_directories(root / "devices" / "usb1");
    auto entry = [&](const std::string& name, const char* driver) {
        fs::create_directories(tty / name);
        if (driver == nullptr) return;
        fs::create_directories(tty / name / "device");
        fs::create_directory_symlink(drivers / driver, tty / name / "device" / "driver");
    };
    entry("ttyUSB10", "ftdi_sio");
    entry("ttyUSB2", "ftdi_sio");
    entry("ttyUSB0", "ftdi_sio");
    entry("ttyACM0", "ftdi_sio");
    entry("ttyS0", "serial8250");  // an 8250 slot with no device node behind it
    entry("tty0", "ftdi_sio");     // virtual consoles are never listed
    entry("tty12", nullptr);
    entry("console", nullptr);
    entry("ptmx", nullptr);
    entry("ttyp0", nullptr);  // no device link: a legacy pty
    fs::create_directories(tty / "ttyAMA0");
    fs::create_directory_symlink(root / "devices" / "usb1", tty / "ttyAMA0" / "device");

    const auto ports = odel::ListSerialPorts(tty.string(), "/devx");
    EXPECT_EQ(ports, (std::vector<std::string>{"/devx/ttyACM0", "/devx/ttyAMA0", "/devx/ttyUSB0",
                                               "/devx/ttyUSB2", "/devx/ttyUSB10"}));
    EXPECT_TRUE(odel::ListSerialPorts((root / "nothing").string()).empty());
    fs::remove_all(root);
}

// UART slots are probed in both kernel layouts (driver serial8250, or a port driver of the
// serial-base bus): a slot is listed when a UART answers or when it exists but is denied.
TEST(PortScan, UartSlotsListedWhenPresentOrDeniedInBothLayouts) {
    char base[] = "/tmp/odel-sysfs-XXXXXX";
    ASSERT_NE(mkdtemp(base), nullptr);
    const fs::path root(base);
    const fs::path tty = root / "class" / "tty";
    const fs::path oldDriver = root / "bus" / "platform" / "drivers" / "serial8250";
    const fs::path newDriver = root / "bus" / "serial-base" / "drivers" / "port";
    const fs::path usbDriver = root / "bus" / "usb-serial" / "drivers" / "ftdi_sio";
    for (const auto& d : {oldDriver, newDriver, usbDriver}) fs::create_directories(d);
    auto entry = [&](const std::string& name, const fs::path& driver) {
        fs::create_directories(tty / name / "device");
        fs::create_directory_symlink(driver, tty / name / "device" / "driver");
    };
    entry("ttyS0", oldDriver);    // present
    entry("ttyS1", oldDriver);    // denied
    entry("ttyS2", oldDriver);    // phantom
    entry("ttyS4", newDriver);    // present
    entry("ttyS5", newDriver);    // denied
    entry("ttyS6", newDriver);    // phantom
    entry("ttyUSB0", usbDriver);  // never probed
    std::vector<std::string> probed;
    const auto probe = [&](const std::string& path) {
        probed.push_back(path);
        const char last = path.back();
        if (last == '0' || last == '4') return odel::PortPresence::Present;
        if (last == '1' || last == '5') return odel::PortPresence::Denied;
        return odel::PortPresence::Absent;
    };
    const auto ports = odel::ListSerialPorts(tty.string(), "/devx", probe);
    EXPECT_EQ(ports, (std::vector<std::string>{"/devx/ttyS0", "/devx/ttyS1", "/devx/ttyS4",
                                               "/devx/ttyS5", "/devx/ttyUSB0"}));
    EXPECT_EQ(probed.size(), 6u);
    // The real probe: a missing node is absent.
    EXPECT_EQ(odel::ProbeSerialPort((root / "missing").string()), odel::PortPresence::Absent);
    fs::remove_all(root);
}

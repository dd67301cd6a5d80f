// Replies from a peer on a pseudo-terminal: the input is a list of replies separated by LF, each
// written as the answer to one command of a fixed round of module reads and Modbus receives.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device/AnalogInput.h"
#include "device/Counter.h"
#include "device/Digital.h"
#include "device/ModbusMaster.h"
#include "device/Module8600.h"
#include "device/SerialPort.h"

namespace {

struct Peer {
    int master = -1;
    std::string path;
    std::mutex mu;
    std::vector<std::string> replies;
    std::size_t next = 0;
    std::thread thread;
    std::atomic<bool> stop{false};

    Peer() {
        int slave = -1;
        char name[256] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) != 0) return;
        termios t{};
        tcgetattr(slave, &t);
        cfmakeraw(&t);
        tcsetattr(slave, TCSANOW, &t);
        close(slave);
        path = name;
        thread = std::thread([this] { Run(); });
    }
    // Every chunk of bytes from the host is answered with the next reply at once.
    void Run() {
        char buf[512];
        while (!stop) {
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, 5) <= 0) continue;
            if (read(master, buf, sizeof buf) <= 0) continue;
            std::lock_guard<std::mutex> lock(mu);
            if (next < replies.size()) {
                const std::string& r = replies[next++];
                if (!r.empty() && write(master, r.data(), r.size()) < 0) {
                }
            }
        }
    }
};

Peer* peer = nullptr;
odel::SerialPort* port = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    peer = new Peer;
    port = new odel::SerialPort(peer->path);
    port->Open();
    port->SetLineSettings(9600, 8, 0, 0);
    port->SetTimeout(1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> replies(1);
    for (std::size_t i = 0; i < size && replies.size() < 40; ++i) {
        if (data[i] == '\n')
            replies.emplace_back();
        else
            replies.back().push_back(static_cast<char>(data[i]));
    }
    {
        std::lock_guard<std::mutex> lock(peer->mu);
        peer->replies = std::move(replies);
        peer->next = 0;
    }
    port->SetChecksum(size > 0 && (data[0] & 1));
    std::string a, b, c;
    odel::Module7341L ai(port, "01");
    ai.ReadConfiguration(a);
    ai.ReadModuleName(a);
    ai.ReadFirmwareVersion(a);
    ai.ReadCommWatchdog(a);
    ai.ReadAnalogData(a);
    ai.ReadAlarmStatus(a, b, c);
    ai.ReadEventCounter(a);
    odel::Module7385 dio(port, "02");
    dio.ReadDioStatus(a, b);
    dio.ReadSafeValue(a, b);
    odel::Module7383 di(port, "03");
    di.ReadDioStatus(a);
    odel::Module7320L counter(port, "04");
    counter.ReadCounter(0, a);
    counter.ReadMaxCount(1, a);
    counter.ReadAlarmOutputs(a, b);
    counter.ReadLedSource(a);
    odel::Module8600 unit(port, "05");
    unit.ReadSlotTable();
    odel::ModbusMaster modbus(port);
    modbus.SetDelay(0);
    std::uint8_t buffer[odel::ModbusMaster::kReceiveBufferSize];
    int count = 0;
    if (modbus.RequestReadRegisters(1, 1, 8)) modbus.ReceiveReadRegisters(buffer, sizeof buffer, count);
    if (modbus.RequestReadCoils(1, 1, 16)) modbus.ReceiveReadCoils(buffer, 2, count);
    if (modbus.RequestWriteCoil(1, 3, true)) modbus.ReceiveWriteCoil();
    return 0;
}

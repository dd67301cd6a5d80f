// odelctl: lists ports, sends command lines, searches the bus, talks Modbus RTU and records
// inputs from scripts.
// Exit codes: 0 success, 1 no or bad answer, 2 usage errors and ports that cannot be opened.
#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/LogCommand.h"
#include "cli/MqttLog.h"
#include "device/BusDecoder.h"
#include "device/BusMonitor.h"
#include "device/BusProbe.h"
#include "device/ModbusMaster.h"
#include "device/PortScan.h"
#include "device/SerialPort.h"
#ifdef ODEL_BACKUP_COMMANDS
#include "backup/OdelctlBackup.h"
#endif

namespace {

constexpr int kOk = 0;
constexpr int kNoAnswer = 1;
constexpr int kUsage = 2;
constexpr int kReadLimit = 64;
constexpr const char* kPortHelp = "Serial port device, tcp://HOST:PORT or rfc2217://HOST:PORT";

// Thrown only inside this program to end with a usage error.
struct UsageError {
    std::string message;
};

// Strict decimal: CLI11 would read "010" as octal and "0x10" as hex.
int ParseDecimal(const std::string& text, const char* what, long min, long max) {
    errno = 0;
    char* end = nullptr;
    long value = text.empty() ? 0 : std::strtol(text.c_str(), &end, 10);
    if (text.empty() || end == nullptr || *end != '\0' || errno != 0 || value < min ||
        value > max) {
        throw UsageError{std::string(what) + " must be a number from " + std::to_string(min) +
                         " to " + std::to_string(max) + ": " + text};
    }
    return static_cast<int>(value);
}

// A bus address, 0 to 255: decimal, or hexadecimal after "0x" as the tree shows addresses.
int ParseAddress(const std::string& text, const char* what) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        const std::string digits = text.substr(2);
        errno = 0;
        char* end = nullptr;
        const long value = std::strtol(digits.c_str(), &end, 16);
        const bool plain = digits.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
        if (plain && end != nullptr && *end == '\0' && errno == 0 && value >= 0 && value <= 255)
            return static_cast<int>(value);
        throw UsageError{std::string(what) + " must be an address from 0 to 255 (or 0x00 to 0xFF): " +
                         text};
    }
    return ParseDecimal(text, what, 0, 255);
}

struct LinkOptions {
    std::string port;
    std::string baud = "9600";
    std::string timeout = "80";
    bool baudGiven = false;
};

void AddLinkOptions(CLI::App* cmd, LinkOptions& o) {
    cmd->add_option("--baud", o.baud, "Baud rate, 1200 to 115200 (default 9600)")
        ->each([&o](const std::string&) { o.baudGiven = true; });
    cmd->add_option("--timeout", o.timeout, "Time-out in milliseconds (default 80)");
}

const char* OpenErrorText(odel::SerialPort::OpenError e) {
    switch (e) {
        case odel::SerialPort::OpenError::NotPresent:
            return "no such port";
        case odel::SerialPort::OpenError::Busy:
            return "port is in use by another program";
        case odel::SerialPort::OpenError::NoPermission:
            return "permission denied";
        case odel::SerialPort::OpenError::Refused:
            return "connection refused";
        case odel::SerialPort::OpenError::NoAnswer:
            return "no answer from the device server";
        case odel::SerialPort::OpenError::UnknownHost:
            return "unknown host";
        case odel::SerialPort::OpenError::BadName:
            return "not a port name (a device, tcp://HOST:PORT or rfc2217://HOST:PORT)";
        case odel::SerialPort::OpenError::PortInUse:
            return "the device server's port is in use";
        case odel::SerialPort::OpenError::ServerClosed:
            return "the device server closed the connection";
        case odel::SerialPort::OpenError::SendsWithoutEnd:
            return "the device server sends without end";
        case odel::SerialPort::OpenError::DoesNotRead:
            return "the device server does not read";
        default:
            return "cannot open port";
    }
}

const char* LinkFaultText(odel::SerialPort::LinkFault f) {
    return f == odel::SerialPort::LinkFault::DoesNotRead ? "the device server does not read"
                                                         : "the device server sends without end";
}

// A link given up for a fault of the device server (said on stderr when it happened).
bool Faulted(const odel::SerialPort& link) {
    return link.LastLinkFault() != odel::SerialPort::LinkFault::None;
}

// --trace: every exchange of the opened link, decoded, one row on stderr as it completes.
std::unique_ptr<odel::bus::BusMonitor> g_trace;

void TraceLink(odel::SerialPort* link) {
    if (!g_trace) return;
    g_trace->SetPortSource([link] { return link; });
    g_trace->SetOnClosed([](const odel::bus::Exchange& e) {
        std::cerr << odel::bus::RowText(odel::bus::Decode(e, odel::bus::BusMonitor::NowUsec()))
                  << "\n";
    });
    link->SetObserver(g_trace.get());
}

// Opens the link like the main window does: 8 data bits, no parity, one stop bit.
std::unique_ptr<odel::SerialPort> OpenLink(const LinkOptions& o) {
    const int baud = ParseDecimal(o.baud, "--baud", 1, 10000000);
    const int timeout = ParseDecimal(o.timeout, "--timeout", 1, 600000);
    auto link = std::make_unique<odel::SerialPort>(o.port);
    if (!link->Open()) {
        std::cerr << "odelctl: " << o.port << ": " << OpenErrorText(link->LastOpenError()) << "\n";
        return nullptr;
    }
    link->SetLinkFaultNotice([port = o.port](odel::SerialPort::LinkFault f) {
        std::cerr << "odelctl: " << port << ": " << LinkFaultText(f) << "\n";
    });
    if (!link->SetLineSettings(baud, 8, 0, 0)) {
        if (Faulted(*link)) {
            // said by the notice
        } else if (!link->IsOpen()) {
            std::cerr << "odelctl: " << o.port
                      << ": the device server closed the connection (its port may be in use)\n";
        } else if (odel::SerialPort::IsSupportedBaud(baud)) {
            std::cerr << "odelctl: " << o.port << ": the line settings were not taken\n";
        } else {
            std::cerr << "odelctl: " << o.port << ": unsupported baud rate " << baud << "\n";
        }
        return nullptr;
    }
    if (o.baudGiven && !link->LineSettingsReachDevice())
        std::cerr << "odelctl: " << o.port << ": baud rate is set on the device server\n";
    if (!link->SetTimeout(timeout)) {
        std::cerr << "odelctl: " << o.port << ": cannot set the time-out\n";
        return nullptr;
    }
    TraceLink(link.get());
    return link;
}

int CmdPorts() {
    for (const auto& path : odel::ListSerialPorts()) std::cout << path << "\n";
    return kOk;
}

int CmdSend(const LinkOptions& o, bool checksum, const std::vector<std::string>& lines) {
    auto link = OpenLink(o);
    if (!link) return kUsage;
    link->SetChecksum(checksum ? 1 : 0);
    int rc = kOk;
    for (const auto& line : lines) {
        std::string command = line + "\r";
        std::string reply;
        if (!link->Transact(command, kReadLimit, &reply)) rc = kNoAnswer;
        if (!reply.empty() && reply.back() == '\r') reply.pop_back();
        std::cout << (reply.empty() ? std::string("Timeout!") : reply) << "\n" << std::flush;
        if (Faulted(*link)) return kUsage;
    }
    return rc;
}

int CmdSearch(const LinkOptions& o, const std::string& fromText, const std::string& toText) {
    const int from = ParseAddress(fromText, "--from");
    const int to = ParseAddress(toText, "--to");
    if (from > to) throw UsageError{"--from must not be above --to"};
    auto link = OpenLink(o);
    if (!link) return kUsage;
    odel::DrainLink(*link);
    odel::BusSearch search(link.get(), from, to);
    while (!search.Finished()) {
        odel::ProbeNode node;
        bool progressed = false;
        const bool found = search.ProbeNext(node, progressed);
        if (!link->IsOpen()) {
            if (!Faulted(*link)) std::cerr << "odelctl: lost the port " << o.port << "\n";
            return kUsage;
        }
        if (!found) continue;
        std::cout << node.text << "\t" << node.marker << "\n";
        for (const auto& slot : node.slotNodes) std::cout << "\t" << slot << "\n";
        std::cout << std::flush;
    }
    return kOk;
}

// Says on stderr why a Modbus request got no usable answer; returns kNoAnswer.
int ModbusFailed(const odel::ModbusMaster& modbus, int slave, std::size_t expectedBytes) {
    using F = odel::ModbusMaster::Failure;
    std::cerr << "odelctl: ";
    switch (modbus.LastFailure()) {
        case F::NoAnswer:
            std::cerr << "no answer from slave " << slave;
            break;
        case F::BadCrc:
            std::cerr << "bad CRC in the answer of slave " << slave;
            break;
        case F::Exception: {
            char code[8];
            std::snprintf(code, sizeof code, "%02X", modbus.LastExceptionCode());
            std::cerr << "exception " << code << " ("
                      << odel::ModbusMaster::ExceptionName(modbus.LastExceptionCode())
                      << ") from slave " << slave;
            break;
        }
        case F::ShortAnswer:
            std::cerr << "short answer from slave " << slave << " (" << modbus.LastAnswerSize()
                      << " of " << expectedBytes << " bytes)";
            break;
        default:
            std::cerr << "answer from slave " << slave << " does not fit the request";
            break;
    }
    std::cerr << "\n";
    return kNoAnswer;
}

int CmdModbus(const LinkOptions& o, const std::string& slaveText, const std::string& action,
              const std::string& a, const std::string& b, bool hex) {
    const int slave = ParseAddress(slaveText, "SLAVE");
    const int first = ParseDecimal(a,
                                   action == "read-coils" || action == "read-registers"
                                       ? "FIRST"
                                       : (action == "write-coil" ? "COIL" : "REGISTER"),
                                   1, 65536);
    int value = 0;
    bool on = false;
    if (action == "read-coils") {
        value = ParseDecimal(b, "COUNT", 1, 2000);
    } else if (action == "read-registers") {
        value = ParseDecimal(b, "COUNT", 1, 125);
    } else if (action == "write-coil") {
        if (b != "on" && b != "off") throw UsageError{"write-coil takes on or off: " + b};
        on = b == "on";
    } else {
        value = ParseDecimal(b, "VALUE", 0, 65535);
    }
    auto link = OpenLink(o);
    if (!link) return kUsage;
    odel::ModbusMaster modbus(link.get());
    std::uint8_t data[odel::ModbusMaster::kReceiveBufferSize] = {};
    int bytes = 0;
    // A port lost or faulted on the way is a link failure (exit 2), not a missing answer.
    const auto linkFailed = [&] {
        if (Faulted(*link)) return true;  // said by the fault notice
        if (link->IsOpen()) return false;
        std::cerr << "odelctl: lost the port " << o.port << "\n";
        return true;
    };
    const auto notSent = [&] {
        if (!linkFailed()) std::cerr << "odelctl: " << o.port << ": the request was not sent\n";
        return kUsage;
    };
    const auto failed = [&](std::size_t want) {
        return linkFailed() ? kUsage : ModbusFailed(modbus, slave, want);
    };
    if (action == "read-coils") {
        const std::size_t want = static_cast<std::size_t>((value + 7) / 8) + 5;
        if (!modbus.RequestReadCoils(slave, first, value)) return notSent();
        if (!modbus.ReceiveReadCoils(data, sizeof data, bytes))
            return failed(want);
        if (bytes * 8 < value) {
            std::cerr << "odelctl: short answer from slave " << slave << " ("
                      << modbus.LastAnswerSize() << " of " << want << " bytes)\n";
            return kNoAnswer;
        }
        std::string states;
        for (int i = 0; i < value; ++i) states += ((data[i / 8] >> (i % 8)) & 1) ? '1' : '0';
        std::cout << states << "\n";
    } else if (action == "read-registers") {
        const std::size_t want = static_cast<std::size_t>(2 * value) + 5;
        if (!modbus.RequestReadRegisters(slave, first, value)) return notSent();
        if (!modbus.ReceiveReadRegisters(data, sizeof data, bytes))
            return failed(want);
        if (bytes < 2 * value) {
            std::cerr << "odelctl: short answer from slave " << slave << " ("
                      << modbus.LastAnswerSize() << " of " << want << " bytes)\n";
            return kNoAnswer;
        }
        // Decimal as the pages show register values; --hex for four hex digits each.
        std::string out;
        for (int i = 0; i < value; ++i) {
            char text[8];
            const unsigned word = data[2 * i] * 256u + data[2 * i + 1];
            std::snprintf(text, sizeof text, hex ? "%s%04X" : "%s%u", i ? " " : "", word);
            out += text;
        }
        std::cout << out << "\n";
    } else if (action == "write-coil") {
        if (!modbus.RequestWriteCoil(slave, first, on)) return notSent();
        if (!modbus.ReceiveWriteCoil()) return failed(8);
    } else {
        if (!modbus.RequestWriteRegister(slave, first, value)) return notSent();
        if (!modbus.ReceiveWriteRegister()) return failed(8);
    }
    return Faulted(*link) ? kUsage : kOk;
}

int CmdLog(const LinkOptions& o, odelctl::LogOptions& log, const odelctl::MqttLogOptions& mqtt) {
    const std::string problem = odelctl::CheckLogOptions(log);
    if (!problem.empty()) throw UsageError{problem};
    odelctl::MqttLog publisher;
    if (!mqtt.url.empty()) {
        const std::string bad = publisher.Prepare(mqtt, o.port);
        if (!bad.empty()) throw UsageError{bad};
        log.csv = !log.output.empty();
        log.startTaker = [&publisher] { return publisher.Start(); };
        log.takeSweep = [&publisher](const odel::scope::SweepRecord& r) { publisher.Publish(r); };
    }
    auto link = OpenLink(o);
    if (!link) return kUsage;
    const int rc = odelctl::RunLog(*link, log);
    publisher.Stop();
    return rc;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"odelctl - talk to ODEL modules on a serial bus"};
    app.require_subcommand(1);
    app.set_version_flag("--version", "odelctl " ODEL_VERSION);
    app.fallthrough();
    bool trace = false;
    app.add_flag("--trace", trace, "Print every exchange, decoded, to stderr");

    app.add_subcommand("ports", "List the serial ports");

    LinkOptions sendLink;
    bool checksum = false;
    std::vector<std::string> lines;
    CLI::App* send = app.add_subcommand("send", "Send command lines and print the replies");
    AddLinkOptions(send, sendLink);
    send->add_flag("--checksum", checksum, "Append and check the two checksum digits");
    send->add_option("PORT", sendLink.port, kPortHelp)->required();
    send->add_option("LINE", lines, "Command lines, one transaction each")->required();

    LinkOptions searchLink;
    std::string from = "0", to = "255";
    CLI::App* search = app.add_subcommand("search", "Search the bus for modules");
    AddLinkOptions(search, searchLink);
    search->add_option("--from", from, "First address, decimal or 0x hex (default 0)");
    search->add_option("--to", to, "Last address, decimal or 0x hex (default 255)");
    search->add_option("PORT", searchLink.port, kPortHelp)->required();

    LinkOptions modbusLink;
    std::string slave, action, argA, argB;
    CLI::App* modbus = app.add_subcommand("modbus", "One Modbus RTU request");
    AddLinkOptions(modbus, modbusLink);
    modbus->add_option("PORT", modbusLink.port, kPortHelp)->required();
    bool hex = false;
    modbus->add_flag("--hex", hex, "Print register values as four hex digits (default decimal)");
    modbus->add_option("SLAVE", slave, "Slave address, 0 to 255 or 0x00 to 0xFF")->required();
    modbus->add_option("ACTION", action, "read-coils, read-registers, write-coil, write-register")
        ->required()
        ->check(CLI::IsMember({"read-coils", "read-registers", "write-coil", "write-register"}));
    modbus->add_option("A", argA, "FIRST, COIL or REGISTER (from 1)")->required();
    modbus->add_option("B", argB, "COUNT, on|off or VALUE")->required();

    LinkOptions logLink;
    odelctl::LogOptions logOptions;
    CLI::App* log = app.add_subcommand("log", "Sample inputs into CSV rows, one per sweep");
    AddLinkOptions(log, logLink);
    log->add_option("PORT", logLink.port, kPortHelp)->required();
    odelctl::AddLogOptions(log, logOptions);
    odelctl::MqttLogOptions mqttOptions;
    odelctl::AddMqttOptions(log, mqttOptions);
#ifdef ODEL_BACKUP_COMMANDS
    LinkOptions backupLink;
    odel::backup::CliOptions backupOptions;
    const auto backupCommands = odel::backup::AddCommands(app, backupOptions, [&](CLI::App* cmd) {
        AddLinkOptions(cmd, backupLink);
        cmd->add_option("PORT", backupLink.port, kPortHelp)->required();
    });
#endif

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? kOk : kUsage;
    }

    if (trace) g_trace = std::make_unique<odel::bus::BusMonitor>(16);
    // The last exchange is complete once the command has run.
    struct FlushTrace {
        ~FlushTrace() {
            if (g_trace) g_trace->CloseLast();
        }
    } flushTrace;
    try {
        if (app.got_subcommand("ports")) return CmdPorts();
        if (app.got_subcommand("send")) return CmdSend(sendLink, checksum, lines);
        if (app.got_subcommand("search")) return CmdSearch(searchLink, from, to);
        if (app.got_subcommand("log")) return CmdLog(logLink, logOptions, mqttOptions);
#ifdef ODEL_BACKUP_COMMANDS
        for (CLI::App* cmd : backupCommands) {
            if (!cmd->parsed()) continue;
            auto link = OpenLink(backupLink);
            if (!link) return kUsage;
            return odel::backup::RunCommand(cmd->get_name(), *link, backupLink.port,
                                            backupOptions, argc, argv);
        }
#endif
        return CmdModbus(modbusLink, slave, action, argA, argB, hex);
    } catch (const UsageError& e) {
        std::cerr << "odelctl: " << e.message << "\n";
        return kUsage;
    }
}

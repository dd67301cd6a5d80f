// odel-utility [--port PATH|tcp://HOST:PORT|rfc2217://HOST:PORT]... [--simulate [BUSFILE]]
#include <CLI/CLI.hpp>
#include <QApplication>
#include <QFile>
#include <iostream>
#include <memory>
#include <set>
#include <string>

#include "app/AppIdentity.h"
#include "app/MainWindow.h"
#include "device/LinkTransport.h"
#include "pages/frame/Dialogs.h"
#include "sim/SimBus.h"

namespace {
// The options Qt itself takes (with one dash or two), and those of its X11 platform.
bool isQtOption(std::string arg) {
    static const std::set<std::string> names{
        "platform", "platformpluginpath", "platformtheme", "plugin", "qmljsdebugger",
        "qwindowgeometry", "qwindowicon", "qwindowtitle", "reverse", "session", "style",
        "stylesheet", "widgetcount", "display", "geometry", "title", "name", "visual", "ncols",
        "cmap", "nograb", "dograb", "sync", "fn", "font", "bg", "background", "fg", "foreground",
        "btn", "button", "im", "inputstyle", "testability"};
    arg.erase(0, arg.find_first_not_of('-'));
    arg = arg.substr(0, arg.find('='));
    return names.count(arg) > 0;
}

struct Options {
    std::vector<std::string> ports;
    std::string busFile;
    bool simulate = false;
};

// Parses the program's own options; extras (Qt's options) are allowed on the first pass only.
int parse(int argc, char** argv, Options& o, bool allowExtras) {
    CLI::App cli{"ODEL-7300 Utility: find, configure and watch ODEL modules on an RS-485 bus",
                 "odel-utility"};
    cli.allow_extras(allowExtras);
    cli.set_version_flag("--version", "odel-utility " ODEL_VERSION);
    cli.add_option("--port", o.ports,
                   "Also list this serial device, or a device server's port tcp://HOST:PORT "
                   "(raw) or rfc2217://HOST:PORT (repeatable)")
        ->type_name("PATH")
        ->check([](const std::string& name) -> std::string {
            odel::link::PortAddress address;
            if (odel::link::ParsePortName(name, address)) return {};
            return "not a port name (tcp://HOST:PORT or rfc2217://HOST:PORT): " + name;
        });
    auto* simulate = cli.add_option("--simulate", o.busFile,
                                    "Serve a simulated bus in-process (the default bus, or the "
                                    "modules of BUSFILE) and list its port")
                         ->expected(0, 1)
                         ->type_name("[BUSFILE]");
    try {
        cli.parse(argc, argv);
        // Refused here rather than by Qt, which aborts without a display.
        for (const std::string& extra : cli.remaining())
            if (extra.size() > 1 && extra[0] == '-' && !isQtOption(extra))
                throw CLI::ExtrasError({extra});
    } catch (const CLI::ParseError& e) {
        return cli.exit(e);
    }
    o.simulate = simulate->count() > 0;
    return -1;
}
}  // namespace

int main(int argc, char** argv) {
    Options options;
    // --help, --version and bad options are answered before a display is needed.
    std::vector<char*> early(argv, argv + argc);
    if (int rc = parse(argc, early.data(), options, true); rc >= 0) return rc;

    QApplication app(argc, argv);  // takes the Qt options out of argv
    odel::ui::SetApplicationIdentity();
    options = {};
    if (int rc = parse(argc, argv, options, false); rc >= 0) return rc;

    QStringList extra;
    for (const auto& p : options.ports) extra << QString::fromStdString(p);
    const std::string& busFile = options.busFile;

    std::unique_ptr<odel::sim::SimBus> bus;
    if (options.simulate) {
        bus = std::make_unique<odel::sim::SimBus>();
        bool ok = false;
        if (busFile.empty()) {
            ok = bus->start();
        } else {
            std::string text, error;
            if (!odel::sim::readBusFile(busFile, text, error)) {
                std::cerr << "odel-utility: bus file " << busFile << ": " << error << "\n";
                return 2;
            }
            ok = bus->startFromText(text);
        }
        if (!ok) {
            std::cerr << "odel-utility: simulated bus: " << bus->error() << "\n";
            return 2;
        }
        extra << QString::fromStdString(bus->slavePath());
        std::cerr << "odel-utility: simulated bus on " << bus->slavePath() << "\n";
    }

    odel::ui::TfrmMain frmMain(extra);
    frmMain.show();
    const int rc = QApplication::exec();
    return rc;
}

// odel-utility [--port PATH]... [--simulate [BUSFILE]]
#include <CLI/CLI.hpp>
#include <QApplication>
#include <QFile>
#include <iostream>
#include <memory>

#include "app/MainWindow.h"
#include "pages/frame/Dialogs.h"
#include "sim/SimBus.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);  // takes the Qt options out of argv
    QApplication::setApplicationName("odel-utility");
    QApplication::setApplicationDisplayName("ODEL Utility");

    CLI::App cli{"ODEL-7300 Utility: find, configure and watch ODEL modules on an RS-485 bus"};
    std::vector<std::string> ports;
    std::string busFile;
    cli.add_option("--port", ports, "Also list this serial device (repeatable)");
    auto* simulate = cli.add_option("--simulate", busFile,
                                    "Serve a simulated bus in-process (default bus, or BUSFILE) "
                                    "and list its port")
                         ->expected(0, 1);
    try {
        cli.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return cli.exit(e);
    }

    QStringList extra;
    for (const auto& p : ports) extra << QString::fromStdString(p);

    std::unique_ptr<odel::sim::SimBus> bus;
    if (simulate->count() > 0) {
        bus = std::make_unique<odel::sim::SimBus>();
        bool ok = false;
        if (busFile.empty()) {
            ok = bus->start();
        } else {
            QFile f(QString::fromStdString(busFile));
            if (!f.open(QIODevice::ReadOnly)) {
                std::cerr << "odel-utility: cannot read bus file " << busFile << "\n";
                return 2;
            }
            ok = bus->startFromText(f.readAll().toStdString());
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

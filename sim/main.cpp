// odel-sim: serves a simulated ODEL bus on a pseudo-terminal until SIGINT or SIGTERM.
#include <signal.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>

#include "sim/SimBus.h"

int main(int argc, char** argv) {
    CLI::App app{"Simulated ODEL bus behind a pseudo-terminal"};
    std::string busFile, linkPath;
    bool pace = false;
    app.set_version_flag("--version", "odel-sim " ODEL_VERSION);
    app.add_option("--bus", busFile, "Bus file: one module per line (address model options)");
    app.add_option("--link", linkPath, "Make a symbolic link to the pseudo-terminal at PATH");
    app.add_flag("--pace", pace, "Pace replies at the modules' baud rates");
    CLI11_PARSE(app, argc, argv);

    // Block the stop signals before the serving thread starts so that only sigwait sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    odel::sim::BusDescription bus = odel::sim::defaultBus();
    if (!busFile.empty()) {
        std::string text, error;
        if (!odel::sim::readBusFile(busFile, text, error)) {
            std::cerr << "odel-sim: " << busFile << ": " << error << "\n";
            return 2;
        }
        if (!odel::sim::parseBusFile(text, bus, error)) {
            std::cerr << "odel-sim: " << busFile << ": " << error << "\n";
            return 2;
        }
    }
    bus.pacing = pace;

    odel::sim::SimBus sim;
    if (!sim.start(bus)) {
        std::cerr << "odel-sim: " << sim.error() << "\n";
        return 1;
    }
    if (!linkPath.empty()) {
        ::unlink(linkPath.c_str());
        if (::symlink(sim.slavePath().c_str(), linkPath.c_str()) != 0) {
            std::perror(("odel-sim: symlink " + linkPath).c_str());
            return 1;
        }
    }
    std::cout << sim.slavePath() << std::endl;

    int sig = 0;
    sigwait(&stopSignals, &sig);
    sim.stop();
    if (!linkPath.empty()) ::unlink(linkPath.c_str());
    return 0;
}

// odelctl backup, compare and restore: the whole-bus commands, built only with the Qt pages
// (they host the real pages without a window).
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <string>
#include <vector>

namespace odel {
class SerialPort;
}

namespace odel::backup {

struct CliOptions {
    std::string dir;
    std::string from = "0";
    std::string to = "255";
    std::vector<std::string> only;
    bool yes = false;
};

// Adds the three subcommands; addPort adds the link options and PORT to each (before DIR).
std::vector<CLI::App*> AddCommands(CLI::App& app, CliOptions& options,
                                   const std::function<void(CLI::App*)>& addPort);

// Runs the parsed subcommand on the open link. Exit codes: 0 done (or nothing differs), 1 a
// module failed (or something differs), 2 bad input, an empty bus or a lost port.
int RunCommand(const std::string& name, odel::SerialPort& link, const std::string& port,
               const CliOptions& options, int argc, char** argv);

}  // namespace odel::backup

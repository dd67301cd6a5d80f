#include "backup/OdelctlBackup.h"

#include <QApplication>
#include <QDir>
#include <QRegularExpression>
#include <csignal>
#include <cstdio>
#include <iostream>

#include <signal.h>

#include "backup/BusBackup.h"
#include "device/BusProbe.h"
#include "device/SerialPort.h"
#include "pages/frame/Widgets.h"

namespace odel::backup {

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kBadInput = 2;

struct Refused {
    std::string message;
};

volatile std::sig_atomic_t g_stopRestore = 0;
void onStopSignal(int) { g_stopRestore = 1; }

// While it lives, Ctrl+C or SIGTERM ends a restore before the next module, never inside one:
// the module being written gets its whole Update sequence.
class StopBetweenModules {
  public:
    StopBetweenModules() {
        g_stopRestore = 0;
        struct sigaction sa {};
        sa.sa_handler = onStopSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        sigaction(SIGINT, &sa, &oldInt_);
        sigaction(SIGTERM, &sa, &oldTerm_);
    }
    ~StopBetweenModules() {
        sigaction(SIGINT, &oldInt_, nullptr);
        sigaction(SIGTERM, &oldTerm_, nullptr);
    }
    StopBetweenModules(const StopBetweenModules&) = delete;
    StopBetweenModules& operator=(const StopBetweenModules&) = delete;

  private:
    struct sigaction oldInt_ {}, oldTerm_ {};
};

std::string str(const QString& s) { return s.toStdString(); }
using odel::ui::qstr;

int decimal(const std::string& text, const char* what) {
    bool ok = false;
    const int v = qstr(text).toInt(&ok, 10);
    if (!ok || v < 0 || v > 255 || text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        throw Refused{std::string(what) + " must be a number from 0 to 255: " + text};
    return v;
}

// The modules answering on the link, as the search lists them.
QList<BusNode> searchBus(odel::SerialPort& link, const CliOptions& o) {
    const int from = decimal(o.from, "--from");
    const int to = decimal(o.to, "--to");
    if (from > to) throw Refused{"--from must not be above --to"};
    odel::DrainLink(link);
    odel::BusSearch search(&link, from, to);
    QList<BusNode> nodes;
    while (!search.Finished()) {
        odel::ProbeNode node;
        bool progressed = false;
        if (!search.ProbeNext(node, progressed)) continue;
        QStringList slotTexts;
        for (const auto& s : node.slotNodes) slotTexts << qstr(s);
        nodes << BusNode{qstr(node.text), node.marker, slotTexts};
    }
    if (!link.IsOpen()) throw Refused{"lost the port " + link.GetPortName()};
    return nodes;
}

void toStderr(const QString& text) { std::cerr << str(text) << "\n" << std::flush; }

int backup(odel::SerialPort& link, const std::string& port, const CliOptions& o) {
    const QString dir = qstr(o.dir);
    QDir d(dir);
    if (d.exists() && !d.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
        throw Refused{o.dir + ": the folder is not empty"};
    const QList<BusNode> nodes = searchBus(link, o);
    if (nodes.isEmpty()) throw Refused{"no module answers on " + port};
    const BackupFolder b = BackUpBus(link, qstr(port), nodes);
    QString error;
    if (!WriteBackupFolder(dir, b, &error)) throw Refused{str(error)};
    for (const ModuleEntry& e : b.modules) {
        QString line = e.address + " " + e.model + " " + StatusName(e.status);
        if (!e.file.isEmpty()) line += " " + e.file;
        if (!e.reason.isEmpty()) line += ": " + e.reason;
        std::cout << str(line) << "\n";
    }
    std::cout << str(b.summary()) << "\n";
    return b.count(ModuleEntry::Status::Failed) ? kFailed : kOk;
}

BackupFolder readBackup(const CliOptions& o) {
    BackupFolder b;
    QString error;
    if (!ReadBackupFolder(qstr(o.dir), b, &error)) throw Refused{str(error)};
    return b;
}

QString nodeName(const std::string& port, const ModuleComparison& c) {
    return qstr(port) + " " + c.node.text;
}

int compare(odel::SerialPort& link, const std::string& port, const CliOptions& o) {
    const BackupFolder b = readBackup(o);
    const QList<BusNode> nodes = searchBus(link, o);
    if (nodes.isEmpty()) throw Refused{"no module answers on " + port};
    const QList<ModuleComparison> result = CompareBus(link, b, nodes);
    const QString dir = QDir(qstr(o.dir)).path();
    // The listing compared under the backup's port name: a bus moved to another port is the
    // same bus.
    QByteArray out = UnifiedDiff(b.listing, BusListing(b.port, nodes), dir + "/bus.txt",
                                 qstr(port) + " (listing)");
    bool bad = false;
    for (const ModuleComparison& c : result) {
        using S = ModuleComparison::State;
        if (c.state == S::Different)
            out += UnifiedDiff(c.backupFile, c.currentFile, dir + "/" + c.file, nodeName(port, c));
        if (c.state == S::BadBackup || c.state == S::NotRead) {
            toStderr("odelctl: " + c.address + " " + c.model + ": " + c.reason);
            bad = true;
        }
    }
    if (out.isEmpty() && NoDifferences(result)) {
        std::cout << (bad ? "" : "No differences\n");
        return bad ? kBadInput : kOk;
    }
    std::cout << out.toStdString() << std::flush;
    return bad ? kBadInput : kFailed;
}

int restore(odel::SerialPort& link, const std::string& port, const CliOptions& o) {
    const BackupFolder b = readBackup(o);
    QSet<QString> chosen;
    static const QRegularExpression hex2("^[0-9A-Fa-f]{2}$");
    for (const std::string& a : o.only) {
        if (!hex2.match(qstr(a)).hasMatch())
            throw Refused{"--only takes two hex digits of an address: " + a};
        chosen.insert(qstr(a).toUpper());
    }
    const QList<BusNode> nodes = searchBus(link, o);
    if (nodes.isEmpty()) throw Refused{"no module answers on " + port};
    const QList<ModuleComparison> plan = CompareBus(link, b, nodes);
    QSet<QString> known;
    for (const ModuleComparison& c : plan) known.insert(c.address);
    for (const QString& a : chosen)
        if (!known.contains(a)) throw Refused{"--only " + str(a) + ": no such module in the backup"};
    // By default every module that differs from its backup, and those whose backup or
    // current settings cannot be read, so that they are named.
    using S = ModuleComparison::State;
    if (o.only.empty())
        for (const ModuleComparison& c : plan)
            if (c.state == S::Different || c.state == S::BadBackup || c.state == S::NotRead)
                chosen.insert(c.address);

    bool bad = false;
    int toWrite = 0;
    for (const ModuleComparison& c : plan) {
        if (!chosen.contains(c.address)) continue;
        QString why;
        if (!Restorable(c, &why)) {
            std::cout << str("skip " + c.address + " " + c.model + ": " + why) << "\n";
            bad = bad || c.state == S::BadBackup;
            continue;
        }
        ++toWrite;
        std::cout << str("restore " + c.address + " " + c.model + " from " + c.file) << "\n";
        for (const LineDifference& d : c.lines)
            std::cout << str("  " + d.key + ": " + (d.current.isNull() ? "(none)" : d.current) +
                             " -> " + (d.backup.isNull() ? "(none)" : d.backup))
                      << "\n";
    }
    if (!o.yes) {
        std::cout << (toWrite ? "Nothing written: add --yes to restore.\n"
                              : "Nothing to restore.\n");
        return bad ? kBadInput : kOk;
    }
    QList<RestoreOutcome> done;
    {
        StopBetweenModules stop;
        done = RestoreBus(link, plan, chosen, [](int, int, const QString& s) {
            if (g_stopRestore) return false;
            toStderr(s);
            return true;
        });
    }
    int rc = bad ? kBadInput : kOk;
    for (const RestoreOutcome& r : done) {
        QString line = r.address + " " + r.model + " " + ResultName(r.result);
        if (!r.reason.isEmpty()) line += ": " + r.reason;
        std::cout << str(line) << "\n";
        for (const QString& m : r.messages) std::cout << "  " << str(m) << "\n";
        if ((r.result == RestoreOutcome::Result::Failed ||
             r.result == RestoreOutcome::Result::NotDone) && rc == kOk)
            rc = kFailed;
    }
    if (!link.IsOpen()) rc = kBadInput;
    return rc;
}

}  // namespace

std::vector<CLI::App*> AddCommands(CLI::App& app, CliOptions& o,
                                   const std::function<void(CLI::App*)>& addPort) {
    struct Command {
        const char* name;
        const char* help;
    };
    const Command commands[] = {
        {"backup", "Back up every module's settings into a new folder"},
        {"compare", "Compare the bus with a backup (unified diff; exit 1 when it differs)"},
        {"restore", "Restore modules from a backup (lists what it would do without --yes)"},
    };
    std::vector<CLI::App*> out;
    for (const Command& s : commands) {
        CLI::App* cmd = app.add_subcommand(s.name, s.help);
        addPort(cmd);
        cmd->add_option("DIR", o.dir, "Backup folder")->required();
        cmd->add_option("--from", o.from, "First address searched (default 0)");
        cmd->add_option("--to", o.to, "Last address searched (default 255)");
        if (std::string(s.name) == "restore") {
            cmd->add_option("--only", o.only, "Restore only these addresses (two hex digits)");
            cmd->add_flag("--yes", o.yes, "Write to the modules");
        }
        out.push_back(cmd);
    }
    return out;
}

int RunCommand(const std::string& name, odel::SerialPort& link, const std::string& port,
               const CliOptions& o, int argc, char** argv) {
    // The pages are hosted without a window; Qt's own notes (no runtime folder ...) would
    // only clutter the output.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg) std::cerr << text.toStdString() << "\n";
    });
    QApplication qt(argc, argv);
    try {
        if (name == "backup") return backup(link, port, o);
        if (name == "compare") return compare(link, port, o);
        return restore(link, port, o);
    } catch (const Refused& r) {
        std::cerr << "odelctl: " << r.message << "\n";
        return kBadInput;
    }
}

}  // namespace odel::backup

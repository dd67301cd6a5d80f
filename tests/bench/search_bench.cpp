// A full bus search (0..255) of the default simulated bus, by `odelctl search` and by the search
// dialog, at 80 ms and 30 ms time-outs, each against its floor: the probe times no search can
// avoid (a benchmark, not a test). Floor of one probe: an ASCII probe that gets no answer waits
// one time-out; a Modbus probe spends 1 ms purging and 2 x 20 ms of the master's delays, plus
// one time-out when nothing answers. odelctl's floor is their sum plus the drain before the
// search (one time-out); the dialog probes once per timer tick (time-out + 30 ms), so its floor
// is one interval plus, per probe, the longer of the interval and the probe.
#include <QApplication>
#include <QTreeWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "app/DlgSearch.h"
#include "app/TreeImages.h"
#include "device/SerialPort.h"
#include "sim/SimBus.h"

namespace {

constexpr double kModbusFixedMs = 1 + 2 * 20;

double NowMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// The probes of one address as the search runs them: the phase that answered (-1 none).
std::vector<double> ProbeFloors(const std::vector<int>& answeredPhase, int timeoutMs) {
    std::vector<double> probes;
    for (int phase : answeredPhase) {
        if (phase == 0) {
            probes.push_back(0);
        } else if (phase == 1) {
            probes.insert(probes.end(), {double(timeoutMs), 0});
        } else {
            probes.insert(probes.end(), {double(timeoutMs), double(timeoutMs),
                                         kModbusFixedMs + (phase == 2 ? 0 : timeoutMs)});
        }
    }
    return probes;
}

// Address -> phase from "(HH)NAME<TAB>marker" lines (slot lines start with a tab).
std::vector<int> PhasesFromListing(const std::string& listing) {
    std::vector<int> phase(256, -1);
    std::size_t at = 0;
    while (at < listing.size()) {
        std::size_t end = listing.find('\n', at);
        if (end == std::string::npos) end = listing.size();
        const std::string line = listing.substr(at, end - at);
        at = end + 1;
        if (line.size() < 4 || line[0] != '(') continue;
        const std::size_t tab = line.rfind('\t');
        const int address = line[1] == '*' ? 0 : std::stoi(line.substr(1, 2), nullptr, 16);
        phase[address] = std::stoi(line.substr(tab + 1));
    }
    return phase;
}

void Report(const char* who, int timeoutMs, double ms, double floorMs) {
    std::printf("%-8s %3d ms   %7.1f s   floor %7.1f s   %.3fx\n", who, timeoutMs, ms / 1000,
                floorMs / 1000, ms / floorMs);
    std::fflush(stdout);
}

void BenchOdelctl(const std::string& port, int timeoutMs) {
    const std::string cmd = std::string(ODEL_BIN_DIR) + "/odelctl search " + port + " --timeout " +
                            std::to_string(timeoutMs);
    const double start = NowMs();
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return;
    std::string listing;
    char buf[512];
    while (std::fgets(buf, sizeof buf, p)) listing += buf;
    ::pclose(p);
    const double ms = NowMs() - start;
    double floorMs = timeoutMs;  // the drain before the search reads until a time-out
    for (double f : ProbeFloors(PhasesFromListing(listing), timeoutMs)) floorMs += f;
    Report("odelctl", timeoutMs, ms, floorMs);
}

void BenchDialog(const std::string& port, int timeoutMs) {
    odel::SerialPort link(port);
    if (!link.Open() || !link.SetLineSettings(9600, 8, 0, 0) || !link.SetTimeout(timeoutMs)) return;
    QTreeWidget tree;
    auto* portNode = new QTreeWidgetItem(&tree, QStringList{QString::fromStdString(port)});
    tree.setCurrentItem(portNode);
    odel::ui::TfrmDlgSearch dlg;
    const double start = NowMs();
    dlg.SetStartAddr(&link, 0, &tree);
    dlg.exec();
    const double ms = NowMs() - start;
    std::vector<int> phase(256, -1);
    for (int i = 0; i < portNode->childCount(); ++i) {
        const QString text = portNode->child(i)->text(0);
        const int address = text[1] == '*' ? 0 : text.mid(1, 2).toInt(nullptr, 16);
        phase[address] = portNode->child(i)->data(0, odel::ui::kNodeDataRole).toInt();
    }
    const double interval = timeoutMs + 30;
    double floorMs = interval;
    for (double f : ProbeFloors(phase, timeoutMs)) floorMs += std::max(interval, f);
    Report("dialog", timeoutMs, ms, floorMs);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    odel::sim::SimBus bus;
    if (!bus.start()) {
        std::fprintf(stderr, "simulator: %s\n", bus.error().c_str());
        return 1;
    }
    std::printf("full search 0..255 of the default simulated bus (%d modules)\n",
                bus.moduleCount());
    for (int timeoutMs : {80, 30}) {
        BenchOdelctl(bus.slavePath(), timeoutMs);
        BenchDialog(bus.slavePath(), timeoutMs);
    }
    return 0;
}

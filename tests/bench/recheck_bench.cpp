// Re-check of a remembered bus of 40 modules against a full search of the same bus, both at
// the default 80 ms time-out (a benchmark, not a test). The search is the search dialog's, the
// re-check the main window's: each remembered address asked with the search's three probes.
#include <QApplication>
#include <QTreeWidget>

#include <chrono>
#include <cstdio>

#include "app/DlgSearch.h"
#include "app/KnownBus.h"
#include "device/BusProbe.h"
#include "device/SerialPort.h"
#include "sim/SimBus.h"

namespace {

double NowMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// Re-checks every module node of the port node; returns the milliseconds taken.
double Recheck(odel::SerialPort& link, QTreeWidgetItem* portNode, int& gone) {
    const double start = NowMs();
    odel::DrainLink(link);
    gone = 0;
    for (int i = 0; i < portNode->childCount(); ++i)
        if (odel::ui::RecheckNode(&link, portNode->child(i)) == odel::ui::Recheck::Gone) ++gone;
    return NowMs() - start;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    constexpr int kTimeoutMs = 80;
    const char* models[] = {"7352", "7341", "7385", "7354R", "7320", "7361", "7382", "7347"};
    odel::sim::BusDescription d;
    for (int i = 0; i < 40; ++i)  // spread over the whole address range
        d.modules.push_back(*odel::sim::makeModule(models[i % 8], 1 + i * 6));
    odel::sim::SimBus bus;
    if (!bus.start(d)) {
        std::fprintf(stderr, "simulator: %s\n", bus.error().c_str());
        return 1;
    }
    odel::SerialPort link(bus.slavePath());
    if (!link.Open() || !link.SetLineSettings(9600, 8, 0, 0) || !link.SetTimeout(kTimeoutMs))
        return 1;
    QTreeWidget tree;
    auto* portNode = new QTreeWidgetItem(&tree, QStringList{QString::fromStdString(bus.slavePath())});
    tree.setCurrentItem(portNode);

    odel::DrainLink(link);
    double start = NowMs();
    {
        odel::ui::TfrmDlgSearch dlg;
        dlg.SetStartAddr(&link, 0, &tree);
        dlg.exec();
    }
    const double searchMs = NowMs() - start;
    std::printf("bus of %d modules, time-out %d ms\n", portNode->childCount(), kTimeoutMs);
    std::printf("full search 0..255        %8.1f s\n", searchMs / 1000);

    int gone = 0;
    const double recheckMs = Recheck(link, portNode, gone);
    std::printf("re-check, all present     %8.2f s   (%d gone)  %.0fx faster\n",
                recheckMs / 1000, gone, searchMs / recheckMs);
    // Four modules taken off the bus: each costs the three probes of an empty address.
    for (int i = 0; i < 4; ++i)
        bus.modify(i * 10, [](odel::sim::ModuleState& m) { m.address = 255 - m.address % 7; });
    const double changedMs = Recheck(link, portNode, gone);
    std::printf("re-check, 4 taken away    %8.2f s   (%d gone)  %.0fx faster\n",
                changedMs / 1000, gone, searchMs / changedMs);
    return 0;
}

// The Data Scope window's cost on the GUI thread (a benchmark, not a test): CPU per sweep with
// 16 traces, and the chart's refresh and paint with every trace at its point bound.
// With --screenshot FILE SECONDS it samples a small live bus instead and saves the window.
#include <time.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "app/DataScopeWindow.h"
#include "device/SerialPort.h"
#include "sim/SimBus.h"

namespace {

double ThreadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double WallMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// The link as the main window opens it: 9600 baud, 8N1, 80 ms.
void OpenLink(odel::SerialPort& link) {
    link.Open();
    link.SetLineSettings(9600, 8, 0, 0);
    link.SetTimeout(80);
}
}  // namespace

// Two channels of a 7352+, a thermocouple channel of a 7354+ and a counter, sampled live for a
// while, recorded, then the window saved as an image.
int Screenshot(const QString& file, int seconds) {
    odel::sim::BusDescription bus;
    bus.modules.push_back(*odel::sim::makeModule("7352R", 1));
    bus.modules.push_back(*odel::sim::makeModule("7354R", 2));
    bus.modules.back().ranges[3] = 0x0F;
    bus.modules.push_back(*odel::sim::makeModule("7320", 7));
    bus.modules.back().counting = {true, false};
    odel::sim::SimBus sim;
    if (!sim.start(bus)) return 1;
    odel::SerialPort link(sim.slavePath());
    OpenLink(link);
    std::vector<odel::ui::ScopeModuleNode> nodes{{"(01)7352R", "01", "7352R", 0},
                                                 {"(02)7354R", "02", "7354R", 0},
                                                 {"(07)7320", "07", "7320", 0}};
    odel::ui::TfrmDataScope w("/dev/ttyUSB0", nodes, [&link] { return &link; });
    w.resize(1180, 660);
    w.show();
    w.setTicked(0, 0, true);
    w.setTicked(0, 2, true);
    w.setTicked(1, 3, true);
    w.setTicked(2, 0, true);
    w.edtInterval->setText("200ms");
    w.btStartClick();
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < seconds * 1000) QApplication::processEvents(QEventLoop::AllEvents, 50);
    w.tmrRepaintTimer();
    QApplication::processEvents();
    return w.grab().save(file, "PNG") ? 0 : 1;
}

int main(int argc, char** argv) {
    if (argc < 4 || QString(argv[1]) != "--screenshot") qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc >= 4 && QString(argv[1]) == "--screenshot") return Screenshot(argv[2], atoi(argv[3]));
    odel::sim::BusDescription bus;
    for (int a = 1; a <= 2; ++a) bus.modules.push_back(*odel::sim::makeModule("7352R", a));
    odel::sim::SimBus sim;
    if (!sim.start(bus)) return 1;
    odel::SerialPort link(sim.slavePath());
    OpenLink(link);
    std::vector<odel::ui::ScopeModuleNode> nodes{{"(01)7352R", "01", "7352R", 0},
                                                 {"(02)7352R", "02", "7352R", 0}};
    odel::ui::TfrmDataScope w("sim", nodes, [&link] { return &link; });
    w.resize(1100, 640);
    w.show();
    app.processEvents();
    for (int m = 0; m < 2; ++m)
        for (int i = 0; i < 8; ++i) w.setTicked(m, i, true);
    w.edtInterval->setText("100ms");
    w.btStartClick();
    w.tmrSweep->stop();
    w.tmrRepaint->stop();
    auto sweep = [&w] {
        w.tmrSweepTimer();
        w.tmrSweep->stop();
    };

    // Sweeps: the two bulk reads, 16 trace pushes, legend counts, failure column.
    constexpr int kSweeps = 300;
    double cpu0 = ThreadCpuMs(), wall0 = WallMs();
    for (int i = 0; i < kSweeps; ++i) sweep();
    const double sweepCpu = (ThreadCpuMs() - cpu0) / kSweeps;
    const double sweepWall = (WallMs() - wall0) / kSweeps;

    // Fill every trace to its bound (it is thinned to half and fills again).
    const std::size_t bound = w.traces()[0].Bound();
    while (w.traces()[0].Span() == 1 || w.traces()[0].Points().size() + 2 < bound) sweep();
    std::size_t points = 0;
    for (const auto& t : w.traces()) points += t.Points().size();

    constexpr int kPaints = 20;
    double refreshCpu = 0, paintCpu = 0, paintWall = 0;
    for (int i = 0; i < kPaints; ++i) {
        sweep();
        cpu0 = ThreadCpuMs();
        w.tmrRepaintTimer();  // points into the series, ranges, legend
        const double c1 = ThreadCpuMs();
        wall0 = WallMs();
        w.chartView->viewport()->repaint();
        refreshCpu += c1 - cpu0;
        paintCpu += ThreadCpuMs() - c1;
        paintWall += WallMs() - wall0;
    }
    refreshCpu /= kPaints;
    paintCpu /= kPaints;
    paintWall /= kPaints;
    // 10 sweeps a second, a repaint every 200 ms.
    // 10 sweeps a second and the refreshes at the period the window chose.
    const double period = w.tmrRepaint->interval();
    const double share = (10 * sweepCpu + 1000.0 / period * (refreshCpu + paintCpu)) / 10.0;
    std::printf("sweep of 16 traces: %.3f ms GUI-thread CPU (%.3f ms wall, bus unpaced)\n",
                sweepCpu, sweepWall);
    std::printf("traces at the bound: %zu points in 16 traces (bound %zu each)\n", points, bound);
    std::printf("chart refresh: %.2f ms CPU; paint: %.2f ms CPU, %.2f ms wall\n", refreshCpu,
                paintCpu, paintWall);
    std::printf("failed module reads: %llu + %llu\n",
                static_cast<unsigned long long>(w.sampler().Status()[0].failures),
                static_cast<unsigned long long>(w.sampler().Status()[1].failures));
    std::printf("10 Hz sweep + a repaint every %.0f ms at the bound: %.1f %% of one core\n", period,
                share);
    w.btStartClick();
    return 0;
}

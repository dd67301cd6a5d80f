// Backup of the default simulated bus against the sum of its query transactions (a benchmark,
// not a test): once with instant pauses (the cost of hosting the pages) and once with the pages'
// own pauses as a real run makes them.
#include <QApplication>

#include <chrono>
#include <cstdio>

#include "backup/BusBackup.h"
#include "device/BusProbe.h"
#include "device/SerialPort.h"
#include "pages/frame/Pause.h"
#include "sim/SimBus.h"

namespace {

double NowMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// Times each transaction from its first byte written to the last byte of its reply; one
// without a reply costs the link's time-out.
class TransactionClock : public odel::TrafficObserver {
  public:
    explicit TransactionClock(int timeoutMs) : timeoutUs_(timeoutMs * 1000) {}
    void BytesWritten(const std::uint8_t*, std::size_t, std::int64_t usec) override {
        if (writing_) return;  // the rest of the same command
        close();
        writing_ = true;
        start_ = usec;
        last_ = -1;
    }
    void BytesRead(const std::uint8_t*, std::size_t, std::int64_t usec) override {
        writing_ = false;
        last_ = usec;
    }
    void close() {
        if (start_ < 0) return;
        sumUs += last_ >= 0 ? last_ - start_ : timeoutUs_;
        ++count;
        start_ = -1;
    }
    std::int64_t sumUs = 0;
    int count = 0;

  private:
    std::int64_t timeoutUs_;
    std::int64_t start_ = -1;
    std::int64_t last_ = -1;
    bool writing_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    odel::sim::SimBus bus;
    if (!bus.start()) return 1;
    bus.setLive(false);
    odel::SerialPort link(bus.slavePath());
    if (!link.Open() || !link.SetLineSettings(9600, 8, 0, 0) || !link.SetTimeout(80)) return 1;
    QList<odel::backup::BusNode> nodes;
    odel::BusSearch search(&link, 0, odel::sim::defaultbus::k7396Modbus);
    while (!search.Finished()) {
        odel::ProbeNode n;
        bool progressed = false;
        if (!search.ProbeNext(n, progressed)) continue;
        nodes << odel::backup::BusNode{QString::fromStdString(n.text), n.marker, {}};
    }
    for (const bool real : {false, true}) {
        long pausedMs = 0;
        odel::ui::setPauseHandler(real ? std::function<void(int)>{} : [&](int ms) { pausedMs += ms; });
        TransactionClock clock(80);
        link.SetObserver(&clock);
        const double start = NowMs();
        const odel::backup::BackupFolder b = odel::backup::BackUpBus(link, "sim", nodes);
        const double total = NowMs() - start;
        clock.close();
        link.SetObserver(nullptr);
        std::printf("%s pauses: %d modules (%s), %d transactions summing %.1f ms; backup %.1f ms",
                    real ? "real" : "instant", static_cast<int>(nodes.size()),
                    b.summary().toStdString().c_str(), clock.count, clock.sumUs / 1000.0, total);
        if (real)
            std::printf("\n");
        else
            std::printf(" (%.1f ms beside the transactions; %ld ms of pauses skipped)\n",
                        total - clock.sumUs / 1000.0, pausedMs);
    }
    return 0;
}

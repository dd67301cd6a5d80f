// Whole-bus backup tests: a simulated bus on a pty, the link the main window would open on it,
// the bus as a search lists it, and instant pauses.
#pragma once

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <memory>

#include "backup/BusBackup.h"
#include "device/BusProbe.h"
#include "device/SerialPort.h"
#include "pages/frame/Pause.h"
#include "sim/SimBus.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QByteArray& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace odel::test {

class BackupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        odel::ui::setPauseHandler([this](int ms) { paused += ms; });
    }
    void TearDown() override {
        link.reset();
        bus.stop();
        odel::ui::setPauseHandler({});
    }

    static odel::sim::ModuleState module(const std::string& model, int address) {
        auto m = odel::sim::makeModule(model, address);
        EXPECT_TRUE(m.has_value()) << model;
        m->live = false;
        return *m;
    }

    void startBus(const std::vector<odel::sim::ModuleState>& modules) {
        odel::sim::BusDescription d;
        d.modules = modules;
        ASSERT_TRUE(bus.start(d)) << bus.error();
        openLink();
    }
    void startDefaultBus() {
        ASSERT_TRUE(bus.start()) << bus.error();
        bus.setLive(false);
        openLink();
    }
    void openLink() {
        link = std::make_unique<odel::SerialPort>(bus.slavePath());
        ASSERT_TRUE(link->Open());
        ASSERT_TRUE(link->SetLineSettings(9600, 8, 0, 0));
        ASSERT_TRUE(link->SetTimeout(80));
    }

    // The modules a search from..to finds, as tree nodes.
    QList<odel::backup::BusNode> search(int from, int to) {
        odel::BusSearch s(link.get(), from, to);
        QList<odel::backup::BusNode> nodes;
        while (!s.Finished()) {
            odel::ProbeNode n;
            bool progressed = false;
            if (!s.ProbeNext(n, progressed)) continue;
            QStringList slotTexts;
            for (const auto& t : n.slotNodes) slotTexts << QString::fromStdString(t);
            nodes << odel::backup::BusNode{QString::fromStdString(n.text), n.marker, slotTexts};
        }
        return nodes;
    }

    odel::sim::SimBus bus;
    std::unique_ptr<odel::SerialPort> link;
    QTemporaryDir dir;
    long paused = 0;
};

}  // namespace odel::test

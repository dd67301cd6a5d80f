// Page tests: a page created as the main window creates it, on a serial link opened on the
// simulated bus at 9600 baud / 80 ms, with a tree holding its port and module nodes, the status
// panels, the dialog recorder and an instant pause that records every wait.
#pragma once

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <memory>
#include <string>
#include <vector>

#include "common/RecordingDialogs.h"
#include "device/SerialPort.h"
#include "pages/frame/Pause.h"
#include "pages/frame/StatusPanels.h"
#include "sim/SimBus.h"

// Readable QStrings in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QByteArray& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace odel::test {

class PageTest : public ::testing::Test {
  public:
    // A module of the model with frozen values (channel i reads i + 0.5).
    static odel::sim::ModuleState module(const std::string& model, int address) {
        auto m = odel::sim::makeModule(model, address);
        EXPECT_TRUE(m.has_value()) << model;
        m->live = false;
        for (int i = 0; i < 8; ++i) m->values[i] = i + 0.5;
        return *m;
    }

  protected:
    void SetUp() override {
        odel::ui::setPauseHandler([this](int ms) { pauses.push_back(ms); });
        portNode = new QTreeWidgetItem(&tree, QStringList{"/dev/ttySIM"});
    }
    void TearDown() override {
        page.reset();
        odel::ui::setPauseHandler({});
    }

    void startBus(const std::vector<odel::sim::ModuleState>& modules) {
        odel::sim::BusDescription d;
        d.modules = modules;
        ASSERT_TRUE(bus.start(d)) << bus.error();
        link = std::make_unique<odel::SerialPort>(bus.slavePath());
        ASSERT_TRUE(link->Open());
        ASSERT_TRUE(link->SetLineSettings(9600, 8, 0, 0));
        ASSERT_TRUE(link->SetTimeout(80));
    }

    // Creates the page, selects a module node with nodeText and starts it with addressText.
    template <class Page>
    Page* open(const QString& addressText, const QString& nodeText) {
        auto* node = new QTreeWidgetItem(portNode, QStringList{nodeText});
        tree.setCurrentItem(node);
        auto* p = new Page(nullptr);
        page.reset(p);
        p->InitModule(link.get(), addressText, &status, &tree);
        // The page's timer is stopped here; tests call the tick handler themselves.
        stopTimer();
        bus.clearReceived();
        return p;
    }

    void stopTimer() {
        if (auto* t = page->findChild<QTimer*>("tmrUpdateAIData")) t->stop();
    }

    template <class T>
    T* get(const QString& name) const {
        T* w = page->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    QLineEdit* edit(const QString& name) const { return get<QLineEdit>(name); }
    QComboBox* combo(const QString& name) const { return get<QComboBox>(name); }
    QCheckBox* check(const QString& name) const { return get<QCheckBox>(name); }
    void click(const QString& name) { QTest::mouseClick(get<QPushButton>(name), Qt::LeftButton); }

    // Lines the module at index received since the last clear, CRs turned into '|'.
    std::string received(int index = 0) const {
        std::string r = bus.received(index);
        for (char& c : r)
            if (c == '\r') c = '|';
        return r;
    }

    odel::sim::SimBus bus;
    std::unique_ptr<odel::SerialPort> link;
    RecordingDialogs dialogs;
    QTreeWidget tree;
    QTreeWidgetItem* portNode = nullptr;
    odel::ui::StatusPanels status;
    std::unique_ptr<QWidget> page;
    std::vector<int> pauses;
};

}  // namespace odel::test

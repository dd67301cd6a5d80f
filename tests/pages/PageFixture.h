// Page tests: a page created as the main window creates it, on a serial link opened on the
// simulated bus at 9600 baud / 80 ms, with a tree holding its port and module nodes, the status
// panels, the dialog recorder and an instant pause that records every wait.
#pragma once

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <memory>
#include <string>
#include <vector>

#include "common/RecordingDialogs.h"
#include "common/ScratchConfig.h"
#include "device/SerialPort.h"
#include "pages/frame/ModulePage.h"
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

// One state a page can be in when its settings file is saved: what differs in the module, what
// the user changed on the page without writing it, and whether the module is in INIT state.
struct SavedState {
    std::string name;
    std::function<void(odel::sim::ModuleState&)> moduleChange;
    std::function<void()> pageChange;
    bool init = false;
};

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
    ScratchConfig scratch;  // before any window reads saved state
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
        for (QTimer* t : page->findChildren<QTimer*>()) t->stop();
    }

    // Every file a page saves loads back on that page: for each state, a module of the model at
    // address 10 (00 in INIT state) is served, the page opened and changed, its settings file
    // saved and loaded again. Loading must never refuse the page's own file.
    template <class Page>
    void expectLoadsBackEveryState(const std::string& model,
                                   const std::vector<SavedState>& states) {
        QTemporaryDir dir;
        for (const SavedState& s : states) {
            SCOPED_TRACE(model + " saved with " + s.name);
            page.reset();
            link.reset();
            bus.stop();
            auto m = module(model, 0x10);
            m.init = s.init;
            if (s.moduleChange) s.moduleChange(m);
            startBus({m});
            if (!link) return;
            const QString name = QString::fromStdString(model);
            if (s.init)
                open<Page>("*", "(*)" + name);
            else
                open<Page>(QString::asprintf("%02X", m.address),
                           QString::asprintf("(%02X)", m.address) + name);
            if (s.pageChange) s.pageChange();
            const QString file = dir.filePath(QString::fromStdString(model) + ".txt");
            QFile::remove(file);
            auto* p = static_cast<odel::ui::ModulePage*>(page.get());
            dialogs.clear();
            dialogs.fileAnswers.push_back(file);
            p->SaveConfiguration();
            QFile f(file);
            ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << "nothing saved";
            const QByteArray saved = f.readAll();
            f.close();
            dialogs.clear();
            dialogs.fileAnswers.push_back(file);
            p->LoadConfiguration();
            EXPECT_FALSE(dialogs.texts("error").contains("Load Configuration File Error!"))
                << saved.toStdString();
        }
    }

    // Settings files in the test's own scratch folder.
    QString path(const char* name) const { return dir.filePath(name); }
    static QByteArray read(const QString& file) {
        QFile f(file);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << file.toStdString();
        return f.readAll();
    }
    static void write(const QString& file, const QByteArray& content) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << file.toStdString();
        f.write(content);
    }
    odel::ui::ModulePage* modulePage() const {
        return static_cast<odel::ui::ModulePage*>(page.get());
    }
    // The page's settings file saved as s.txt, as its bytes.
    QByteArray save() {
        dialogs.fileAnswers.push_back(path("s.txt"));
        modulePage()->SaveConfiguration();
        return read(path("s.txt"));
    }
    // Loads the content as l.txt, the dialog record cleared first.
    void load(const QByteArray& content) {
        write(path("l.txt"), content);
        dialogs.clear();
        dialogs.fileAnswers.push_back(path("l.txt"));
        modulePage()->LoadConfiguration();
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
    QTemporaryDir dir;
};

}  // namespace odel::test

// Shared fixture of the main-window tests: the default simulated bus on a pty, the dialog
// recorder, instant pauses, and the real main window listing only the simulator's port.
#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <memory>

#include "app/MainWindow.h"
#include "app/TreeImages.h"
#include "common/RecordingDialogs.h"
#include "common/ScratchConfig.h"
#include "pages/frame/Pause.h"
#include "pages/frame/StatusPanels.h"
#include "sim/SimBus.h"

namespace odel::test {

class AppFixture : public ::testing::Test {
  protected:
    ScratchConfig scratch;  // before any window reads saved state
    void SetUp() override {
        ASSERT_TRUE(bus.start()) << bus.error();
        odel::ui::setPauseHandler([](int) {});
        win = std::make_unique<odel::ui::TfrmMain>(QStringList{port()}, false);
        win->show();
        tree = win->treeviewModule;
    }
    void TearDown() override {
        win.reset();
        odel::ui::setPauseHandler({});
    }

    QString port() const { return QString::fromStdString(bus.slavePath()); }
    QTreeWidgetItem* root() const { return tree->topLevelItem(0); }
    QTreeWidgetItem* portNode() const { return root()->child(0); }

    // Clicks a node on its icon, the way a user selects it.
    void click(QTreeWidgetItem* item, Qt::MouseButton button = Qt::LeftButton) {
        for (auto* p = item->parent(); p; p = p->parent()) p->setExpanded(true);
        tree->scrollToItem(item);
        const QRect r = tree->visualItemRect(item);
        QTest::mouseClick(tree->viewport(), button, {}, QPoint(r.left() + 8, r.center().y()));
    }

    // A level-2 (or level-3) node made by hand, as a search would make it.
    QTreeWidgetItem* addNode(QTreeWidgetItem* parent, const QString& text, int data) {
        auto* n = new QTreeWidgetItem(parent, QStringList{text});
        n->setData(0, odel::ui::kNodeDataRole, data);
        parent->setExpanded(true);
        return n;
    }

    // Enabled state of the seven commands; fails when tool button and menu item disagree.
    std::vector<bool> commands() const {
        const std::pair<QAction*, QAction*> pairs[] = {
            {win->tlbtnSave, win->menuSave},         {win->tlbtnSearch, win->menuSearch},
            {win->tlbtnTerminal, win->menuTerminal}, {win->tlbtnDataScope, win->menuDataScope},
            {win->tlbtnSaveConf, win->menuSaveConf}, {win->tlbtnLoadConf, win->menuDownloadConf},
            {win->tlbtnHelp, win->menuOnlineHelp}};
        std::vector<bool> out;
        for (int i = 0; i < 7; ++i) {
            const auto& [tool, menu] = pairs[i];
            const bool on = win->CommandEnabled(i);
            if (tool->isVisible() || i != 3) {
                EXPECT_EQ(tool->isEnabled(), on) << tool->objectName().toStdString();
                EXPECT_EQ(menu->isEnabled(), on) << menu->objectName().toStdString();
            }
            out.push_back(on);
        }
        return out;
    }

    odel::sim::SimBus bus;
    RecordingDialogs rec;
    std::unique_ptr<odel::ui::TfrmMain> win;
    QTreeWidget* tree = nullptr;
};

}  // namespace odel::test

// Every page class shown in the main window at its default size: all controls fit the pane's
// width, so nothing needs sideways scrolling.
#include <QScrollArea>
#include <QScrollBar>
#include <cstdio>
#include <set>

#include "AppFixture.h"
#include "pages/PageRegistry.h"

namespace {

class PageFit : public odel::test::AppFixture {};

TEST_F(PageFit, EveryPageClassFitsTheDefaultWindowWidth) {
    win->resize(win->defaultSize());
    QApplication::processEvents();
    std::set<QString> shown;
    int widest = 0;
    for (int i = 0; i < bus.moduleCount(); ++i) {
        const odel::sim::ModuleState m = bus.module(i);
        if (m.init) continue;
        // The default bus keeps its Modbus-mode modules at 04 and from 20 on.
        const bool modbus = m.address == 0x04 || (m.address >= 0x20 && m.address < 0x40);
        const int data = modbus ? 2 : (m.format & 0x40) ? 1 : 0;
        QTreeWidgetItem* node = addNode(
            portNode(), QString::asprintf("(%02X)%s", m.address, m.model.c_str()), data);
        click(node);
        QWidget* page = win->shownPage();
        ASSERT_NE(page, nullptr) << m.model;
        SCOPED_TRACE(page->objectName().toStdString());
        QApplication::processEvents();
        EXPECT_EQ(win->ScrollBox1->horizontalScrollBar()->maximum(), 0)
            << "page " << page->width() << " wide in a pane of "
            << win->ScrollBox1->viewport()->width();
        shown.insert(page->objectName());
        widest = std::max(widest, page->width());
        click(portNode());
    }
    EXPECT_EQ(shown.size(), static_cast<size_t>(odel::ui::RegisteredPages().size()));
    EXPECT_EQ(shown.size(), 32u);
    std::printf("default window %dx%d, widest page %d\n", win->defaultSize().width(),
                win->defaultSize().height(), widest);
}

}  // namespace

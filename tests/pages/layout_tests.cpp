// Every multi-channel page laid out on screen, in ASCII and in Modbus mode: nothing clipped by
// its group, no two controls of a group on top of each other. With ODEL_SCREENSHOT_DIR set, each
// page is also saved there as page-<model>.png (the pictures under docs/).
#include <QAbstractScrollArea>
#include <QGroupBox>
#include <QPixmap>

#include "PageFixture.h"
#include "pages/PageRegistry.h"
#include "pages/frame/Lamp.h"
#include "pages/frame/ModulePage.h"

using namespace odel::test;

namespace {

class Layout : public PageTest {};

// Visible widgets directly inside w (layouts only, no nested windows).
QList<QWidget*> visibleChildren(QWidget* w) {
    QList<QWidget*> out;
    for (QWidget* c : w->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (c->isVisible() && !c->isWindow()) out << c;
    return out;
}

void checkNoClipOrOverlap(QWidget* w) {
    const QList<QWidget*> children = visibleChildren(w);
    for (QWidget* c : children) {
        EXPECT_TRUE(w->rect().contains(c->geometry()))
            << c->objectName().toStdString() << " clipped in " << w->objectName().toStdString();
        // A control never gets less room than it needs to show its text (fixed-size parts such
        // as the up-down arrows are drawn to their size).
        // A lamp sets its own minimum below the push button's hint: picture and caption must fit.
        if (auto* lamp = qobject_cast<odel::ui::Lamp*>(c)) {
            EXPECT_GE(lamp->width(), lamp->iconSize().width() +
                                         lamp->fontMetrics().horizontalAdvance(lamp->text()) + 12)
                << c->objectName().toStdString();
        } else if (!qobject_cast<QGroupBox*>(c) && c->minimumSize() != c->maximumSize()) {
            EXPECT_GE(c->width(), c->minimumSizeHint().width()) << c->objectName().toStdString();
            EXPECT_GE(c->height(), c->minimumSizeHint().height()) << c->objectName().toStdString();
        }
        // A list or table is one control: its header and scroll bars are its own business.
        if (!qobject_cast<QAbstractScrollArea*>(c)) checkNoClipOrOverlap(c);
    }
    for (int i = 0; i < children.size(); ++i)
        for (int j = i + 1; j < children.size(); ++j)
            EXPECT_FALSE(children[i]->geometry().intersects(children[j]->geometry()))
                << children[i]->objectName().toStdString() << " overlaps "
                << children[j]->objectName().toStdString();
}

TEST_F(Layout, PagesShowEveryControlUnclipped) {
    struct Case {
        const char* cls;
        const char* model;
        int address;
        bool modbus = false;
    };
    const Case cases[] = {{"TfrmM7354R", "7354R", 0x10},
                          {"TfrmM7352R", "7352R", 0x01},
                          {"TfrmM7354", "7354", 0x05},
                          {"TfrmM7352", "7352", 0x0F},
                          {"TfrmM7347", "7347", 0x0C},
                          {"TfrmM7356", "7356", 0x11},
                          // Digital I/O, at their addresses on the default bus.
                          {"TfrmM7385", "7385", 0x17},
                          {"TfrmM7396", "7396", 0x19},
                          {"TfrmM7390", "7390", 0x18},
                          {"TfrmM7380", "7380", 0x13},
                          {"TfrmM7383", "7383", 0x16},
                          {"TfrmM7381", "7381", 0x14},
                          {"TfrmM7382", "7382", 0x15},
                          // Counters.
                          {"TfrmM7320", "7320", 0x07},
                          {"TfrmM7320L", "7320L", 0x1A},
                          // In Modbus mode.
                          {"TfrmM7385Mod", "7385", 0x30, true},
                          {"TfrmM7396Mod", "7396", 0x31, true},
                          {"TfrmM7381Mod", "7381", 0x32, true},
                          {"TfrmM7354RMod", "7354R", 0x33, true},
                          {"TfrmM7352RMod", "7352R", 0x34, true},
                          {"TfrmM7347Mod", "7347", 0x35, true},
                          {"TfrmM7347KMod", "7347K", 0x36, true},
                          {"TfrmM7364Mod", "7364", 0x37, true}};
    std::vector<odel::sim::ModuleState> modules;
    for (const Case& c : cases) {
        modules.push_back(module(c.model, c.address));
        // Some lamps lit on the digital pages: outputs, inputs, fail-safe pattern and time-out.
        modules.back().digitalOutputs = 0x35;
        modules.back().digitalInputs = 0xA6C3;
        modules.back().safeValue = 0x81;
        modules.back().safeTime = 100;
        if (c.modbus) modules.back().format |= std::string(c.model) == "7364" ? 0x80 : 0x04;
    }
    startBus(modules);
    const QString shots = qEnvironmentVariable("ODEL_SCREENSHOT_DIR");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cls);
        auto factory = odel::ui::FindPage(c.cls);
        ASSERT_TRUE(factory);
        const QString name = QString(c.model) + (c.modbus ? "Mod" : "");
        auto* node = new QTreeWidgetItem(
            portNode, QStringList{QString::asprintf("(%02X)", c.address) + c.model});
        tree.setCurrentItem(node);
        odel::ui::ModulePage* p = factory(nullptr);
        page.reset(p);
        p->InitModule(link.get(), QString::asprintf("%02X", c.address), &status, &tree);
        stopTimer();
        static_cast<void>(QMetaObject::invokeMethod(p, "tmrUpdateAIDataTimer"));
        // Modbus digital pages read outputs and inputs on alternate ticks.
        for (int tick = 0; tick < 2; ++tick)
            static_cast<void>(QMetaObject::invokeMethod(p, "tmrUpdateDIDataTimer"));
        p->adjustSize();
        p->show();
        QApplication::processEvents();
        checkNoClipOrOverlap(p);
        if (!shots.isEmpty()) {
            EXPECT_TRUE(p->grab().save(QString("%1/page-%2.png").arg(shots, name)));
        }
    }
}

}  // namespace

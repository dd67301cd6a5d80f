#include "pages/frame/Lamp.h"

#include <QIcon>

// The pictures live in the resources library, which a static link does not initialise itself.
static void initLampResources() {
    Q_INIT_RESOURCE(resources);
}

namespace odel::ui {

namespace {
const QIcon& lampIcon(bool on) {
    static const bool loaded = (initLampResources(), true);
    (void)loaded;
    static const QIcon lit(":/lamps/lamp_on.svg");
    static const QIcon dark(":/lamps/lamp_off.svg");
    return on ? lit : dark;
}
}  // namespace

Lamp::Lamp(const QString& objectName, const QString& caption, int tag, QWidget* parent)
    : QPushButton(caption, parent), tag_(tag) {
    setObjectName(objectName);
    setFocusPolicy(Qt::NoFocus);
    setIconSize(QSize(20, 20));
    setIcon(lampIcon(false));
    setMinimumWidth(fontMetrics().horizontalAdvance(caption) + 40);
    setProperty("lampOn", false);
}

void Lamp::setOn(bool on) {
    if (on == on_ && !icon().isNull()) return;
    on_ = on;
    setIcon(lampIcon(on));
    setProperty("lampOn", on);
}

bool writeToggledOutput(const std::vector<Lamp*>& lamps, std::size_t bit,
                        const std::function<bool(const std::vector<bool>&)>& write) {
    std::vector<bool> on;
    for (const Lamp* l : lamps) on.push_back(l->isOn());
    on[bit] = !on[bit];
    if (!write(on)) return false;
    lamps[bit]->setOn(on[bit]);
    return true;
}

}  // namespace odel::ui

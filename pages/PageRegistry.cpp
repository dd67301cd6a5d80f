#include "pages/PageRegistry.h"

#include <QMap>

namespace odel::ui {

namespace {
QMap<QString, PageFactory>& registry() {
    static QMap<QString, PageFactory> map;
    return map;
}

// Each page family adds its classes here (static libraries drop unreferenced self-registration).
void registerAll();

bool ensureRegistered() {
    static bool done = (registerAll(), true);
    return done;
}
}  // namespace

void RegisterPage(const QString& className, PageFactory factory) {
    registry().insert(className, std::move(factory));
}

PageFactory FindPage(const QString& className) {
    ensureRegistered();
    return registry().value(className);
}

QStringList RegisteredPages() {
    ensureRegistered();
    return registry().keys();
}

namespace {
void registerAll() {
    // Page families register their classes below, e.g.
    // RegisterPage("TfrmM7354R", [](QWidget* p) { return new TfrmM7354R(p); });
}
}  // namespace

}  // namespace odel::ui

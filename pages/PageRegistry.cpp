#include "pages/PageRegistry.h"

#include <QMap>

#include "pages/analog_in/Unitm7347.h"
#include "pages/analog_in/Unitm7352.h"
#include "pages/analog_in/Unitm7352r.h"
#include "pages/analog_in/Unitm7354.h"
#include "pages/analog_in/Unitm7354r.h"
#include "pages/analog_in/Unitm7356.h"
#include "pages/analog_out/Unitm7361.h"
#include "pages/analog_out/Unitm7364.h"
#include "pages/digital/Unitm7320.h"
#include "pages/digital/Unitm7320l.h"

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
    // Page families register their classes below.
    // Multi-channel analog inputs.
    RegisterPage("TfrmM7354R", [](QWidget* p) { return new TfrmM7354R(p); });
    RegisterPage("TfrmM7352R", [](QWidget* p) { return new TfrmM7352R(p); });
    RegisterPage("TfrmM7354", [](QWidget* p) { return new TfrmM7354(p); });
    RegisterPage("TfrmM7352", [](QWidget* p) { return new TfrmM7352(p); });
    RegisterPage("TfrmM7347", [](QWidget* p) { return new TfrmM7347(p); });
    RegisterPage("TfrmM7356", [](QWidget* p) { return new TfrmM7356(p); });
    // Analog outputs.
    RegisterPage("TfrmM7361", [](QWidget* p) { return new TfrmM7361(p); });
    RegisterPage("TfrmM7364", [](QWidget* p) { return new TfrmM7364(p); });
    // Counter/frequency modules.
    RegisterPage("TfrmM7320", [](QWidget* p) { return new TfrmM7320(p); });
    RegisterPage("TfrmM7320L", [](QWidget* p) { return new TfrmM7320L(p); });
}
}  // namespace

}  // namespace odel::ui

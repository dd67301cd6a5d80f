#include "pages/PageRegistry.h"

#include <QMap>

#include "pages/analog_in/Unitm7347.h"
#include "pages/analog_in/Unitm7347k.h"
#include "pages/analog_in/Unitm7349.h"
#include "pages/analog_in/Unitm7352.h"
#include "pages/analog_in/Unitm7352r.h"
#include "pages/analog_in/Unitm7354.h"
#include "pages/analog_in/Unitm7354r.h"
#include "pages/analog_in/Unitm7356.h"
#include "pages/analog_in/Unitm7341.h"
#include "pages/analog_in/Unitm7341l.h"
#include "pages/analog_in/Unitm7342.h"
#include "pages/analog_in/Unitm7345.h"
#include "pages/analog_out/Unitm7361.h"
#include "pages/analog_out/Unitm7364.h"
#include "pages/digital/Unitm7380.h"
#include "pages/digital/Unitm7381.h"
#include "pages/digital/Unitm7382.h"
#include "pages/digital/Unitm7383.h"
#include "pages/digital/Unitm7385.h"
#include "pages/digital/Unitm7390.h"
#include "pages/digital/Unitm7396.h"
#include "pages/modbus/Unitm7347kmod.h"
#include "pages/modbus/Unitm7347mod.h"
#include "pages/modbus/Unitm7352rmod.h"
#include "pages/modbus/Unitm7354rmod.h"
#include "pages/modbus/Unitm7364mod.h"
#include "pages/modbus/Unitm7381mod.h"
#include "pages/modbus/Unitm7385mod.h"
#include "pages/modbus/Unitm7396mod.h"
#include "pages/main_unit/Unitm8600.h"
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
    // Single-channel analog inputs.
    RegisterPage("TfrmM7341L", [](QWidget* p) { return new TfrmM7341L(p); });
    RegisterPage("TfrmM7341", [](QWidget* p) { return new TfrmM7341(p); });
    RegisterPage("TfrmM7342", [](QWidget* p) { return new TfrmM7342(p); });
    RegisterPage("TfrmM7345", [](QWidget* p) { return new TfrmM7345(p); });
    // Strain-gauge input with its excitation output (shares the single-channel logic).
    RegisterPage("TfrmM7349", [](QWidget* p) { return new TfrmM7349(p); });
    // Thermistor input with lead-wire compensation.
    RegisterPage("TfrmM7347K", [](QWidget* p) { return new TfrmM7347K(p); });
    // Analog outputs.
    RegisterPage("TfrmM7361", [](QWidget* p) { return new TfrmM7361(p); });
    RegisterPage("TfrmM7364", [](QWidget* p) { return new TfrmM7364(p); });
    // Digital I/O.
    RegisterPage("TfrmM7385", [](QWidget* p) { return new TfrmM7385(p); });
    RegisterPage("TfrmM7396", [](QWidget* p) { return new TfrmM7396(p); });
    RegisterPage("TfrmM7390", [](QWidget* p) { return new TfrmM7390(p); });
    RegisterPage("TfrmM7380", [](QWidget* p) { return new TfrmM7380(p); });
    RegisterPage("TfrmM7383", [](QWidget* p) { return new TfrmM7383(p); });
    RegisterPage("TfrmM7381", [](QWidget* p) { return new TfrmM7381(p); });
    RegisterPage("TfrmM7382", [](QWidget* p) { return new TfrmM7382(p); });
    // Modbus pages.
    RegisterPage("TfrmM7385Mod", [](QWidget* p) { return new TfrmM7385Mod(p); });
    RegisterPage("TfrmM7396Mod", [](QWidget* p) { return new TfrmM7396Mod(p); });
    RegisterPage("TfrmM7381Mod", [](QWidget* p) { return new TfrmM7381Mod(p); });
    RegisterPage("TfrmM7354RMod", [](QWidget* p) { return new TfrmM7354RMod(p); });
    RegisterPage("TfrmM7352RMod", [](QWidget* p) { return new TfrmM7352RMod(p); });
    RegisterPage("TfrmM7347KMod", [](QWidget* p) { return new TfrmM7347KMod(p); });
    RegisterPage("TfrmM7347Mod", [](QWidget* p) { return new TfrmM7347Mod(p); });
    RegisterPage("TfrmM7364Mod", [](QWidget* p) { return new TfrmM7364Mod(p); });
    // Second-series main units.
    RegisterPage("TfrmM8600", [](QWidget* p) { return new TfrmM8600(p); });
    // Counter/frequency modules.
    RegisterPage("TfrmM7320", [](QWidget* p) { return new TfrmM7320(p); });
    RegisterPage("TfrmM7320L", [](QWidget* p) { return new TfrmM7320L(p); });
}
}  // namespace

}  // namespace odel::ui

#include "pages/modbus/Unitm7352rmod.h"

#include "pages/analog_in/Unitm7352r.h"

namespace odel::ui {

namespace {
AiModKind kind7352RMod() {
    AiModKind k;
    k.pageName = "TfrmM7352RMod";
    k.groupName = "gbOdl7352R";
    k.caption = " ODEL-7352+ Modbus";
    k.formCaption = "ODEL-7352+ (Modbus)";
    k.ranges = ranges7352R();
    k.burnout = false;
    k.scales = {{0x07, 4, 20, 3},     {0x08, -10, 10, 3},   {0x09, -5, 5, 4},  {0x0A, -1, 1, 4},
                {0x0B, -500, 500, 2}, {0x0C, -150, 150, 2}, {0x0D, -20, 20, 3}};
    return k;
}
}  // namespace

TfrmM7352RMod::TfrmM7352RMod(QWidget* parent) : TfrmM7354RMod(kind7352RMod(), parent) {}

}  // namespace odel::ui

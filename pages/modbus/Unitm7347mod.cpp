#include "pages/modbus/Unitm7347mod.h"

#include "pages/analog_in/Unitm7347.h"

namespace odel::ui {

namespace {
AiModKind kind7347Mod() {
    AiModKind k;
    k.pageName = "TfrmM7347Mod";
    k.groupName = "gbOdl7347";
    k.caption = " ODEL-7347 Modbus";
    k.formCaption = "ODEL-7347 (Modbus)";
    k.channels = 6;
    k.units = false;
    k.ranges = rtdRanges();
    // In Modbus mode the last item writes 2D like the one before it; 2D reads back as that one.
    k.ranges.back().code = 0x2D;
    return k;
}
}  // namespace

TfrmM7347Mod::TfrmM7347Mod(QWidget* parent) : TfrmM7354RMod(kind7347Mod(), parent) {}

}  // namespace odel::ui

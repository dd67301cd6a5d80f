#include "pages/modbus/Unitm7347kmod.h"

namespace odel::ui {

namespace {
AiModKind kind7347KMod() {
    AiModKind k;
    k.pageName = "TfrmM7347KMod";
    k.groupName = "gbOdl7347K";
    k.caption = " ODEL-7347K Modbus";
    k.formCaption = "ODEL-7347K (Modbus)";
    k.channels = 6;
    k.units = false;
    k.ranges = {{"Thermistor 3K 0~100'C", 0x30, {}}, {"Thermistor 10K 0~100'C", 0x31, {}}};
    return k;
}
}  // namespace

TfrmM7347KMod::TfrmM7347KMod(QWidget* parent) : TfrmM7354RMod(kind7347KMod(), parent) {}

}  // namespace odel::ui

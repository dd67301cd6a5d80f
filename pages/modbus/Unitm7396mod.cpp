#include "pages/modbus/Unitm7396mod.h"

#include <QGroupBox>

namespace odel::ui {

TfrmM7396Mod::TfrmM7396Mod(QWidget* parent)
    : TfrmM7385Mod("gbOdl7396Mod", " ODEL-7396 ModBus ", "ODEL-7396 (Modbus)", parent) {
    // Outputs only: the data area keeps the output group.
    gbDI->hide();
}

void TfrmM7396Mod::BuildMapList() {
    for (int n = 0; n < 8; ++n)
        addMapRow(coilLocation(17 + n), "Bit", "*", QString::asprintf("DO CH:%02d", n));
}

void TfrmM7396Mod::Poll() {
    report(pollOutputs(), "Polling DO data...", "Fail to fresh DO data!");
}

}  // namespace odel::ui

#include "pages/modbus/Unitm7381mod.h"

#include <QGroupBox>
#include <QLineEdit>

#include "pages/frame/Lamp.h"

namespace odel::ui {

TfrmM7381Mod::TfrmM7381Mod(QWidget* parent)
    : TfrmM7385Mod("gbOdl7381Mod", " ODEL-7381 ModBus ", "ODEL-7381 (Modbus)", parent) {
    // The output lamps show inputs 8..15 and take no clicks.
    gbDO->setTitle("DI High Bye (Hex)");
    gbDI->setTitle("Dl Low Byte (Hex)");
    for (std::size_t n = 0; n < bitbtnDO.size(); ++n) {
        disconnect(bitbtnDO[n], nullptr, this, nullptr);
        bitbtnDO[n]->setText(QString("DI %1").arg(8 + n));
    }
}

void TfrmM7381Mod::BuildMapList() {
    for (int n = 0; n < 16; ++n)
        addMapRow(coilLocation(1 + n), "Bit", "*", QString::asprintf("DI CH:%02d", n));
}

void TfrmM7381Mod::tmrUpdateDIDataTimer() {
    heartbeat = !heartbeat;
    std::vector<std::uint8_t> bytes;
    const bool ok = readCoils(1, 16, bytes);
    if (ok) {
        showByte(bitbtnDI, 0, bytes[0]);
        edtDI_Hex->setText(QString::asprintf("0x%02X", bytes[0]));
        showByte(bitbtnDO, 8, bytes[1]);
        edtDO_Hex->setText(QString::asprintf("0x%02X", bytes[1]));
    }
    report(ok, "Polling DI data...", "Fail to fresh DI data!");
}

}  // namespace odel::ui

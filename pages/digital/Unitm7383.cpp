#include "pages/digital/Unitm7383.h"

#include <QLineEdit>

#include "device/Digital.h"

namespace odel::ui {

DioPageKind kind7383() {
    DioPageKind k;
    k.model = "7383";
    k.outputs = 0;
    k.inputWord = true;
    k.safeBits = 0;
    k.protocolFixed = true;
    return k;
}

TfrmM7383::TfrmM7383(QWidget* parent) : TfrmM7383(kind7383(), parent) {}

TfrmM7383::TfrmM7383(const DioPageKind& kind, QWidget* parent) : TfrmM7385(kind, parent) {}

TfrmM7383::~TfrmM7383() {
    stopPolling();
}

odel::ModuleBase* TfrmM7383::inputModule() const {
    return input_.get();
}

void TfrmM7383::createInputModule(odel::SerialPort* link, const std::string& address) {
    input_ = std::make_unique<odel::Module7383>(link, address);
}

void TfrmM7383::tmrUpdateDIDataTimer() {
    heartbeat = !heartbeat;
    std::string data;
    const bool read = input_ && input_->ReadDioStatus(data);
    const int w = read ? hexDigits(data) : -1;
    if (w < 0) {
        reportPoll(false, {}, "Fail to fresh DI data!");
        return;
    }
    reportPoll(true, "Polling DI data...", {});
    // First two digits: inputs 8..15 (second row); last two: inputs 0..7.
    showBits(DOButtons, (w >> 8) & 0xFF);
    showBits(DIButtons, w & 0xFF);
    edtDI_Hex->setText("0x" + QString::fromStdString(data.substr(2, 2)));
    edtDO_Hex->setText("0x" + QString::fromStdString(data.substr(0, 2)));
}

}  // namespace odel::ui

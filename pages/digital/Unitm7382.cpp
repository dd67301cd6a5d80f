#include "pages/digital/Unitm7382.h"

#include <QLineEdit>

#include "device/Digital.h"

namespace odel::ui {

namespace {
DioPageKind kind7382() {
    DioPageKind k;
    k.model = "7382";
    k.outputs = 0;
    k.safeBits = 0;
    k.protocolShown = false;
    return k;
}
}  // namespace

TfrmM7382::TfrmM7382(QWidget* parent) : TfrmM7385(kind7382(), parent) {}

TfrmM7382::~TfrmM7382() {
    stopPolling();
}

odel::ModuleBase* TfrmM7382::inputModule() const {
    return input_.get();
}

void TfrmM7382::createInputModule(odel::SerialPort* link, const std::string& address) {
    input_ = std::make_unique<odel::Module7382>(link, address);
}

void TfrmM7382::tmrUpdateDIDataTimer() {
    heartbeat = !heartbeat;
    std::string data;
    const bool read = input_ && input_->ReadDioStatus(data);
    const int d = read ? hexDigits(data) : -1;
    if (d < 0) {
        reportPoll(false, {}, "Fail to fresh DIO data!");
        return;
    }
    reportPoll(true, "Polling DIO data...", {});
    showBits(DIButtons, d);
    edtDI_Hex->setText("0x" + QString::fromStdString(data));
}

}  // namespace odel::ui

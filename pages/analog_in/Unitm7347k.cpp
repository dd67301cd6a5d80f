#include "pages/analog_in/Unitm7347k.h"

#include <QComboBox>
#include <QPushButton>

#include "device/AnalogInput.h"
#include "pages/analog_in/Unitmwirepayment.h"
#include "pages/frame/Dialogs.h"
#include "pages/frame/GeneralSettingGroup.h"

namespace odel::ui {

namespace {
const char* kCelsius[] = {"Thermistor 3K 0~100'C", "Thermistor 10K 0~100'C"};
const char* kFahrenheit[] = {"Thermistor 3K 32~212'F", "Thermistor 10K 32~212'F"};

AiPageKind kind7347K() {
    using G = GeneralSettingGroup;
    AiPageKind k;
    k.groupName = "gbOdl7347K";
    k.caption = " ODEL-7347K ";
    k.channels = 6;
    k.generalRows = G::DataFormat | G::CommWDT | G::Protocol;
    k.cjc = false;
    k.units = false;
    k.dataFormatItems = {"Engineering Units", "Ohms"};
    k.ranges = {{kCelsius[0], 0x30, {}}, {kCelsius[1], 0x31, {}}};
    return k;
}
}  // namespace

TfrmM7347K::TfrmM7347K(QWidget* parent) : TfrmM7347(kind7347K(), parent) {
    cmbTempUnit = new QComboBox(general());
    cmbTempUnit->setObjectName("cmbTempUnit");
    cmbTempUnit->addItems({"Centigrade ('C)", "Fahrenheit ('F)"});
    cmbTempUnit->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    general()->addRow("Temp. Unit:", cmbTempUnit);
    bt3K_2WirePayment = new QPushButton("Lead Wire Effect Compensation", general());
    bt3K_2WirePayment->setObjectName("bt3K_2WirePayment");
    general()->addRow(QString(), bt3K_2WirePayment);
    connect(bt3K_2WirePayment, &QPushButton::clicked, this, &TfrmM7347K::bt3K_2WirePaymentClick);
}

TfrmM7347K::~TfrmM7347K() = default;

void TfrmM7347K::InitModule(odel::SerialPort* link, const QString& addressText,
                            StatusPanels* statusBar, QTreeWidget* treeView) {
    TfrmM7347::InitModule(link, addressText, statusBar, treeView);
    cmbTempUnit->setEnabled(InitMode);
    thermistor_ = std::make_unique<odel::AiMultiModule>(link, commandAddress().toStdString());
}

void TfrmM7347K::ShowDataFormat(const QString& code) {
    TfrmM7347::ShowDataFormat(code);
    std::string bit;
    if (!module() || !module()->GetFormatBit(3, bit)) {
        setStatus("Fail to fresh general setting data!");
        return;
    }
    ShowTempUnit(bit != "0");
}

void TfrmM7347K::ShowTempUnit(bool fahrenheit) {
    cmbTempUnit->setCurrentIndex(fahrenheit ? 1 : 0);
    const char** texts = fahrenheit ? kFahrenheit : kCelsius;
    for (int i = 0; i < ChannelCount(); ++i) {
        QComboBox* c = cmbTypeChangeCh[i];
        c->setItemText(0, texts[0]);
        c->setItemText(1, texts[1]);
        c->setToolTip(c->currentText());
    }
}

void TfrmM7347K::StageInitSettings() {
    TfrmM7347::StageInitSettings();
    module()->SetFormatBit(3, cmbTempUnit->currentIndex() == 0 ? "0" : "1");
}

void TfrmM7347K::RefreshAfterUpdate() {
    // After an address change the lead-wire dialog talks to the module where it now is.
    if (thermistor_) thermistor_->SetAddress(commandAddress().toStdString());
    TfrmM7347::RefreshAfterUpdate();
}

void TfrmM7347K::bt3K_2WirePaymentClick() {
    std::string bits;
    if (!module() || !module()->GetFormatBits10(bits)) return;
    TfrmMWirePayment dialog(this);
    dialog.setTarget(thermistor_.get(), bits == "00" ? "0" : "1");
    dialogs().exec(&dialog);
}

QString TfrmM7347K::ZeroCalInput(int index) {
    return index == 0 ? "200.0 ohm" : index == 1 ? "800.0 ohm" : "###.##";
}

QString TfrmM7347K::SpanCalInput(int index) {
    return index == 0 ? "10K ohms" : index == 1 ? "30K ohms" : "###.##";
}

}  // namespace odel::ui

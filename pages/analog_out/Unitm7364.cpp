#include "pages/analog_out/Unitm7364.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "device/AnalogOutput.h"
#include "pages/analog_out/AoCalibTargets.h"
#include "pages/analog_out/Unitmaocalib.h"
#include "pages/frame/BusyCursor.h"
#include "pages/frame/Dialogs.h"
#include "pages/frame/GeneralSettingGroup.h"
#include "pages/frame/Lamp.h"
#include "pages/frame/NumberText.h"
#include "pages/frame/Pause.h"
#include "pages/frame/UpDown.h"

namespace odel::ui {

namespace {
// Limits of a range code character; false for a character that names no range.
bool limitsOf(char code, double& low, double& high) {
    switch (code) {
        case '0':
            low = 0, high = 20;
            return true;
        case '1':
            low = 4, high = 20;
            return true;
        case '2':
            low = -10, high = 10;
            return true;
        default:
            return false;
    }
}

bool number(const QString& text, double& v) {
    return parseNumber(text, v);
}

QString value7(double v) {
    return QString::asprintf("%+07.3f", v);
}

bool valueKey(QChar c) {
    return c.isDigit() || c == '+' || c == '-' || c == '.';
}
}  // namespace

TfrmM7364::TfrmM7364(QWidget* parent)
    : AoPage("gbOdl7364", " ODEL-7364 ", GeneralSettingGroup::Protocol, parent) {
    setObjectName("TfrmM7364");
    GeneralSettingGroup* g = general();
    g->edtAddress_Dec->setText("1");
    g->UpDownODEL_ID->setRange(1, 255);
    for (QLabel* l : g->findChildren<QLabel*>())
        if (l->buddy() == g->edtFirmwareVer) l->setText("Firmware :");
    cmbSlewRate = new QComboBox(g);
    cmbSlewRate->setObjectName("cmbSlewRate");
    cmbSlewRate->addItems({"immediately", "0.0625V/0.125mA", "0.0125V/0.25mA", "0.025V/0.5mA",
                           "0.5V/1.0mA", "1.0V/2.0mA", "2.0V/4.0mA", "4.0V/8.0mA", "8.0V/16.0mA",
                           "16.0V/32.0mA", "32.0V/64.0mA", "64.0V/128.0mA"});
    cmbSlewRate->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    g->addRow("Slew Rate: ", cmbSlewRate);
    edtCommSafety = new QLineEdit("0", g);
    edtCommSafety->setObjectName("edtCommSafety");
    edtCommSafety->setToolTip("0~65535");
    edtCommSafety->setFixedWidth(70);
    auto* safety = new QWidget(g);
    safety->setObjectName("wCommSafety");
    auto* sh = new QHBoxLayout(safety);
    sh->setContentsMargins(0, 0, 0, 0);
    sh->addWidget(edtCommSafety);
    sh->addWidget(new QLabel("Sec", safety));
    sh->addStretch(1);
    g->addRow("Comm safety:", safety)->setBuddy(edtCommSafety);
    buildChannelSetup();
    buildDirectOutput();
    createPollTimer("tmrUpdateData", [this] { tmrUpdateDataTimer(); });
}

TfrmM7364::~TfrmM7364() {
    stopPolling();
}

odel::ModuleBase* TfrmM7364::frameModule() const {
    return module_.get();
}

void TfrmM7364::buildChannelSetup() {
    auto* box = new QGroupBox(" AO Channel Setup", outerGroup());
    box->setObjectName("gbAOChannelSetup");
    auto* v = new QVBoxLayout(box);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    const char* heads[] = {"Channel",     "Range",        "Emergency Val.",
                           "Emer. Input", "Startup Val.", "Current Val."};
    for (int c = 0; c < 6; ++c) grid->addWidget(new QLabel(heads[c], box), 0, c);
    for (int i = 0; i < 4; ++i) {
        const int row = i + 1;
        auto edit = [&](const QString& name, const QString& text, int width) {
            auto* e = new QLineEdit(text, box);
            e->setObjectName(name);
            e->setFixedWidth(width);
            return e;
        };
        txbAOCH[i] = edit(QString("txbAOCH%1").arg(i + 1), QString("Ch %1").arg(i + 1), 50);
        txbAOCH[i]->setReadOnly(true);
        cmbAORange[i] = new QComboBox(box);
        cmbAORange[i]->setObjectName(QString("cmbAORange%1").arg(i + 1));
        cmbAORange[i]->addItems({"0 - 20 mA", "4 - 20 mA", "+/-  10 V"});
        cmbAORange[i]->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        txbEmerVal[i] = edit(QString("txbEmerVal%1").arg(i + 1), "", 80);
        ckbEmerInput[i] = new QCheckBox("Enable", box);
        ckbEmerInput[i]->setObjectName(QString("ckbEmerInput%1").arg(i + 1));
        txbStartUpVal[i] = edit(QString("txbStartUpVal%1").arg(i + 1), "", 80);
        txbCurVal[i] = edit(QString("txbCurVal%1").arg(i + 1), "", 80);
        txbCurVal[i]->setReadOnly(true);
        filterKeys(txbEmerVal[i], valueKey, {});
        filterKeys(txbStartUpVal[i], valueKey, {});
        grid->addWidget(txbAOCH[i], row, 0);
        grid->addWidget(cmbAORange[i], row, 1);
        grid->addWidget(txbEmerVal[i], row, 2);
        grid->addWidget(ckbEmerInput[i], row, 3);
        grid->addWidget(txbStartUpVal[i], row, 4);
        grid->addWidget(txbCurVal[i], row, 5);
    }
    v->addLayout(grid);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btAORead = new QPushButton("&Refresh", box);
    btAORead->setObjectName("btAORead");
    btAOFunctionSet = new QPushButton("&Update", box);
    btAOFunctionSet->setObjectName("btAOFunctionSet");
    buttons->addWidget(btAORead);
    buttons->addWidget(btAOFunctionSet);
    v->addLayout(buttons);
    connect(btAORead, &QPushButton::clicked, this, &TfrmM7364::btAOReadClick);
    connect(btAOFunctionSet, &QPushButton::clicked, this, &TfrmM7364::btAOFunctionSetClick);
    rightColumn()->addWidget(box);
}

void TfrmM7364::buildDirectOutput() {
    auto* row = new QHBoxLayout;
    auto* direct = new QGroupBox(" Direct Output Value ", outerGroup());
    direct->setObjectName("gbDirectOutput");
    auto* d = new QGridLayout(direct);
    cmbOutputCh = new QComboBox(direct);
    cmbOutputCh->setObjectName("cmbOutputCh");
    cmbOutputCh->addItems({"Ch 1", "Ch 2", "Ch 3", "Ch 4"});
    edtAOOutput = new QLineEdit("0.000", direct);
    edtAOOutput->setObjectName("edtAOOutput");
    edtAOOutput->setFixedWidth(80);
    filterKeys(edtAOOutput, valueKey, [this] { btAOOutputClick(); });
    edtCode = new QLineEdit(direct);
    edtCode->setObjectName("edtCode");
    edtCode->setReadOnly(true);
    edtCode->setFixedWidth(36);
    btAOOutput = new QPushButton("&Output", direct);
    btAOOutput->setObjectName("btAOOutput");
    scrbarAO = new QScrollBar(Qt::Horizontal, direct);
    scrbarAO->setObjectName("scrbarAO");
    scrbarAO->setRange(0, 100);
    scrbarAO->setToolTip("Drag");
    scrbarAO->setMinimumWidth(200);
    d->addWidget(cmbOutputCh, 0, 0);
    d->addWidget(edtAOOutput, 0, 1);
    d->addWidget(edtCode, 0, 2);
    d->addWidget(btAOOutput, 0, 3);
    d->addWidget(scrbarAO, 1, 0, 1, 4);
    auto* calib = new QGroupBox(" AO Calibration ", direct);
    calib->setObjectName("gbAOCalibration");
    auto* c = new QHBoxLayout(calib);
    bitbtn4mA = new QPushButton("Trim for &4 mA", calib);
    bitbtn4mA->setObjectName("bitbtn4mA");
    bitbtn20mA = new QPushButton("Trim for &20 mA", calib);
    bitbtn20mA->setObjectName("bitbtn20mA");
    c->addWidget(bitbtn4mA);
    c->addWidget(bitbtn20mA);
    d->addWidget(calib, 2, 0, 1, 4);
    connect(cmbOutputCh, &QComboBox::activated, this, &TfrmM7364::cmbOutputChChange);
    connect(scrbarAO, &QScrollBar::valueChanged, this, &TfrmM7364::scrbarAOChange);
    connect(btAOOutput, &QPushButton::clicked, this, &TfrmM7364::btAOOutputClick);
    connect(bitbtn4mA, &QPushButton::clicked, this, &TfrmM7364::bitbtn4mAClick);
    connect(bitbtn20mA, &QPushButton::clicked, this, &TfrmM7364::bitbtn20mAClick);
    row->addWidget(direct);

    auto* di = new QGroupBox("DI Status", outerGroup());
    di->setObjectName("gbDIStatus");
    auto* dv = new QVBoxLayout(di);
    auto* lamps = new QHBoxLayout;
    for (int i = 0; i < 4; ++i) {
        bitbtnDI[i] =
            new Lamp(QString("bitbtnDI%1").arg(i + 1), QString("DI %1").arg(i + 1), i, di);
        lamps->addWidget(bitbtnDI[i]);
    }
    dv->addLayout(lamps);
    auto* data = new QHBoxLayout;
    data->addWidget(new QLabel("Dl (Hex)", di));
    edtDIData = new QLineEdit(di);
    edtDIData->setObjectName("edtDIData");
    edtDIData->setReadOnly(true);
    edtDIData->setFixedWidth(40);
    data->addWidget(edtDIData);
    data->addStretch(1);
    dv->addLayout(data);
    dv->addStretch(1);
    row->addWidget(di);
    rightColumn()->addLayout(row);
    rightColumn()->addStretch(1);
}

void TfrmM7364::InitModule(odel::SerialPort* link, const QString& addressText,
                           StatusPanels* statusBar, QTreeWidget* treeView) {
    const QString address = beginInit(addressText, statusBar, treeView);
    GeneralSettingGroup* g = general();
    for (QWidget* w :
         {static_cast<QWidget*>(g->cmbBaudRate), static_cast<QWidget*>(g->chkCheckSum),
          static_cast<QWidget*>(g->cmbPotocolSelect), static_cast<QWidget*>(cmbSlewRate)})
        w->setEnabled(InitMode);
    module_ = std::make_unique<odel::Module7364>(link, address.toStdString());
    cmbOutputCh->setCurrentIndex(0);
    RefreshGeneralSetting();
    RefreshAOStatus();
    startPolling();
}

int TfrmM7364::channel() const {
    return std::clamp(cmbOutputCh->currentIndex(), 0, 3);
}

// ---- general settings ----

void TfrmM7364::RefreshGeneralSetting() {
    AoGeneral r;
    if (!readGeneral(r)) {
        setStatus("Fail to fresh general setting data!");
        return;
    }
    showGeneral(r);
    const int slew = r.slewCode();
    cmbSlewRate->setCurrentIndex(slew >= 0 && slew < cmbSlewRate->count() ? slew : -1);
    std::string safety, protocol;
    bool ok = false;
    const int tenths =
        module_->ReadCommSafety(safety) ? QString::fromStdString(safety).toInt(&ok, 16) : 0;
    static const QRegularExpression hex4("^[0-9A-Fa-f]{4}$");
    if (!ok || !hex4.match(QString::fromStdString(safety)).hasMatch() ||
        !module_->GetProtocolBit(protocol)) {
        setStatus("Fail to fresh Safety setting data!");
        return;
    }
    edtCommSafety->setText(QString::asprintf("%.1f", tenths / 10.0));
    general()->cmbPotocolSelect->setCurrentIndex(protocol == "0" ? 0 : 1);
}

void TfrmM7364::StageInitSettings() {
    stageBaud();
    module_->SetChecksumBit(general()->chkCheckSum->isChecked() ? "1" : "0");
    stageSlew(cmbSlewRate);
    module_->SetProtocolBit(general()->cmbPotocolSelect->currentIndex() == 1 ? "1" : "0");
}

bool TfrmM7364::UpdateCommWDT() {
    double seconds = 0;
    if (!number(edtCommSafety->text(), seconds)) {
        // A typo would otherwise switch the safety time off (0).
        dialogs().error("The input data is invalid!");
        return false;
    }
    const double tenths = std::clamp(std::trunc(seconds * 10), 0.0, 65535.0);
    const QString text = QString::asprintf("%04X", static_cast<int>(tenths));
    if (!module_->SetCommSafety(text.toStdString())) {
        dialogs().error("Update WDT failed!");
        return false;
    }
    return true;
}

// ---- channel setup ----

void TfrmM7364::RefreshAOStatus() {
    bool ok = module_ != nullptr;
    for (int n = 0; ok && n < 4; ++n) {
        std::string range, startup, emergency, flag;
        ok = module_->ReadChannelRange(n, range) && module_->ReadChannelStartupValue(n, startup) &&
             module_->ReadChannelEmergencyValue(n, emergency) &&
             module_->ReadChannelEmergencyInput(n, flag);
        double low = 0, high = 0;
        // A range character that names no range is no answer either.
        if (ok && (range.size() != 1 || !limitsOf(range[0], low, high))) ok = false;
        if (!ok) {
            rangeChar_[n] = 0;
            cmbAORange[n]->setCurrentIndex(-1);
            break;
        }
        rangeChar_[n] = range[0];
        cmbAORange[n]->setCurrentIndex(range[0] - '0');
        txbStartUpVal[n]->setText(QString::fromStdString(startup));
        txbEmerVal[n]->setText(QString::fromStdString(emergency));
        ckbEmerInput[n]->setChecked(flag == "1");
    }
    if (!ok) setStatus("Fail to fresh AO status!");
    // Unread channels would be written back with stale values: Update waits for a full read.
    btAOFunctionSet->setEnabled(ok);
    cmbOutputChChange();
}

void TfrmM7364::btAOReadClick() {
    stopPolling();
    RefreshAOStatus();
    startPolling();
}

void TfrmM7364::btAOFunctionSetClick() {
    BusyCursor busy;
    stopPolling();
    bool valid = true;
    for (int n = 0; n < 4 && valid; ++n) {
        const int index = cmbAORange[n]->currentIndex();
        double low = 0, high = 0, v = 0;
        const char code = index >= 0 ? static_cast<char>('0' + index) : rangeChar_[n];
        const bool known = limitsOf(code, low, high);
        if (!known || !number(txbStartUpVal[n]->text(), v) || v < low || v > high) {
            dialogs().error(QString::asprintf("The Ch %d startup value is invalid!", n + 1));
            valid = false;
        } else if (!number(txbEmerVal[n]->text(), v) || v < low || v > high) {
            dialogs().error(QString::asprintf("The Ch %d emergency value is invalid!", n + 1));
            valid = false;
        }
    }
    bool done = valid;
    for (int n = 0; n < 4 && done; ++n) {
        const int index = cmbAORange[n]->currentIndex();
        double startup = 0, emergency = 0;
        number(txbStartUpVal[n]->text(), startup);
        number(txbEmerVal[n]->text(), emergency);
        const char* failed = nullptr;
        // No selection keeps the module's own range of the channel.
        if (index >= 0 &&
            !module_->SetChannelRange(n, QString::asprintf("%02X", index + 0x30).toStdString()))
            failed = "Change Ch %d range failed!";
        else if (!module_->SetChannelStartupValue(n, value7(startup).toStdString()))
            failed = "Change Ch %d startup value failed!";
        else if (!module_->SetChannelEmergencyValue(n, value7(emergency).toStdString()))
            failed = "Change Ch %d emergency value failed!";
        else if (!module_->SetChannelEmergencyInput(n, ckbEmerInput[n]->isChecked() ? "1" : "0"))
            failed = "Change Ch %d range failed!";
        pause(250);
        if (failed) {
            dialogs().error(QString::asprintf(failed, n + 1));
            done = false;
        }
    }
    if (done) dialogs().information("Update Channel Setup Success!");
    RefreshAOStatus();
    busy.restore();
    startPolling();
}

// ---- direct output ----

bool TfrmM7364::readCurrentValues() {
    for (int n = 0; n < 4; ++n) {
        std::string value;
        double v = 0;
        if (!module_ || !module_->ReadChannelOutput(n, value) ||
            !number(QString::fromStdString(value), v))
            return false;
        current_[n] = v;
        txbCurVal[n]->setText(QString::fromStdString(value));
    }
    return true;
}

void TfrmM7364::cmbOutputChChange() {
    const int ch = channel();
    const char code = rangeChar_[ch];
    double low = 0, high = 0;
    const bool known = limitsOf(code, low, high);
    edtCode->setText(!known ? QString() : code == '2' ? "V" : "mA");
    bitbtn4mA->setEnabled(code == '1');
    bitbtn20mA->setEnabled(code == '1');
    // A channel of unknown range is not driven from here.
    btAOOutput->setEnabled(known);
    scrbarAO->setEnabled(known);
    // The value read now, so the first look at a channel shows where it stands.
    readCurrentValues();
    const double v = current_[ch];
    if (!known) return;
    scrbarAO->setValue(static_cast<int>(std::trunc((v - low) * 100 / (high - low))));
    edtAOOutput->setText(value7(v));
}

void TfrmM7364::scrbarAOChange() {
    double low = 0, high = 0;
    if (!limitsOf(rangeChar_[channel()], low, high)) return;
    edtAOOutput->setText(value7(low + scrbarAO->value() * (high - low) / 100));
}

void TfrmM7364::btAOOutputClick() {
    stopPolling();
    const int ch = channel();
    double v = 0, low = 0, high = 0;
    if (!number(edtAOOutput->text(), v)) {
        dialogs().error("The input data is invalid!");
    } else if (!limitsOf(rangeChar_[ch], low, high)) {
        dialogs().error("Failed to output data!");
    } else if (v < low || v > high) {
        dialogs().error(
            QString::asprintf("The data should be in the range between %.1f~%.1f!", low, high));
    } else if (!module_->WriteChannelOutput(ch, value7(v).toStdString())) {
        dialogs().error("Failed to output data!");
    } else {
        readCurrentValues();
        scrbarAO->setValue(static_cast<int>(std::trunc((v - low) * 100 / (high - low))));
        edtAOOutput->setText(txbCurVal[ch]->text());
    }
    startPolling();
}

// ---- polling ----

void TfrmM7364::readDigitalInputs() {
    std::string inputs;
    static const QRegularExpression hex2("^[0-9A-Fa-f]{2}$");
    if (!module_ || !module_->ReadDigitalInputs(inputs) ||
        !hex2.match(QString::fromStdString(inputs)).hasMatch()) {
        showHeartbeat(false);
        setStatus("Fail to fresh DI data!");
        return;
    }
    const int bits = QString::fromStdString(inputs).toInt(nullptr, 16);
    edtDIData->setText(QString::asprintf("%02X", bits));
    for (int i = 0; i < 4; ++i) bitbtnDI[i]->setOn(bits & (1 << i));
    showHeartbeat(true);
    setStatus("Polling DI data...");
}

void TfrmM7364::tmrUpdateDataTimer() {
    heartbeat = !heartbeat;
    if (heartbeat) {
        const bool ok = readCurrentValues();
        showHeartbeat(ok);
        setStatus(ok ? "Polling AO data..." : "Fail to fresh AO data!");
    } else
        readDigitalInputs();
}

// ---- calibration ----

void TfrmM7364::calibrate(int mode) {
    stopPolling();
    const bool low = mode == TfrmMAOCalib::Low4mA;
    const int ch = channel();
    if (!module_->WriteChannelOutput(ch, low ? "+04.000" : "+20.000")) {
        dialogs().error(low ? "Initial 4mA calibration error!" : "Initial 20mA calibration error!");
    } else {
        TfrmMAOCalib dialog(this);
        dialog.setWindowTitle("ODEL-7364 Calibration:");
        dialog.setMode(mode);
        dialog.setTarget(std::make_unique<ChannelOutputCalib>(module_.get(), ch));
        dialog.grpUnit->setTitle(low ? "Trim For 4mA" : "Trim For 20mA");
        dialog.labCalibVal->setText(low ? "+4.0 mA" : "+20.0 mA");
        dialogs().exec(&dialog);
        RefreshAOStatus();
    }
    startPolling();
}

void TfrmM7364::bitbtn4mAClick() {
    calibrate(TfrmMAOCalib::Low4mA);
}

void TfrmM7364::bitbtn20mAClick() {
    calibrate(TfrmMAOCalib::High20mA);
}

}  // namespace odel::ui

#include "pages/analog_out/Unitm7361.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "device/AnalogOutput.h"
#include "pages/analog_out/AoCalibTargets.h"
#include "pages/analog_out/Unitmaocalib.h"
#include "pages/frame/ConfFile.h"
#include "pages/frame/Dialogs.h"
#include "pages/frame/GeneralSettingGroup.h"
#include "pages/frame/NumberText.h"
#include "pages/frame/Pause.h"
#include "pages/frame/Widgets.h"

namespace odel::ui {

namespace {
const QStringList kVoltSlew = {"immediately", "0.0625  V/sec", "0.0125  V/sec", "0.025  V/sec",
                               "0.5  V/sec",  "1.0  V/sec",    "2.0  V/sec",    "4.0  V/sec",
                               "8.0  V/sec",  "16.0  V/sec",   "32.0  V/sec",   "64.0  V/sec"};
const QStringList kCurrentSlew = {"immediately",  "0.125  mA/sec", "0.25  mA/sec", "0.5  mA/sec",
                                  "1.0  mA/sec",  "2.0  mA/sec",   "4.0  mA/sec",  "8.0  mA/sec",
                                  "16.0  mA/sec", "32.0  mA/sec",  "64.0  mA/sec", "128.0  mA/sec"};

// Output limits of the range index in engineering units; false for no known range.
bool rangeLimits(int rangeIndex, double& low, double& high) {
    switch (rangeIndex) {
        case 0:
            low = 0, high = 20;
            return true;
        case 1:
            low = 4, high = 20;
            return true;
        case 2:
            low = 0, high = 10;
            return true;
        default:
            return false;
    }
}

// Every character that is neither a digit nor "." becomes "0".
QString zeroFilled(QString s) {
    for (QChar& c : s)
        if (!c.isDigit() && c != '.') c = '0';
    return s;
}

bool number(const QString& text, double& v) {
    return parseNumber(text, v);
}
}  // namespace

TfrmM7361::TfrmM7361(QWidget* parent)
    : AoPage("gbOdl7361", " ODEL-7361 ", GeneralSettingGroup::DataFormat, parent) {
    setObjectName("TfrmM7361");
    GeneralSettingGroup* g = general();
    g->setDataFormatItems({"Engineering Units", "% FSR", "Two Completed of Hex"});
    cmbTypeChangeAllCh = new QComboBox(g);
    cmbTypeChangeAllCh->setObjectName("cmbTypeChangeAllCh");
    cmbTypeChangeAllCh->addItems({"0~20mA", "4~20mA", "0~10V   "});
    cmbTypeChangeAllCh->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    g->addRow("Output Range :", cmbTypeChangeAllCh);
    cmbSlewRate = new QComboBox(g);
    cmbSlewRate->setObjectName("cmbSlewRate");
    cmbSlewRate->addItems(kCurrentSlew);
    cmbSlewRate->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    g->addRow("Slew Rate :  ", cmbSlewRate);

    auto* calib = new QGroupBox(" Calibration : ", outerGroup());
    calib->setObjectName("gbCalibration");
    auto* ch = new QHBoxLayout(calib);
    bitbtn4mA0 = new QPushButton("Trim for &4mA", calib);
    bitbtn4mA0->setObjectName("bitbtn4mA0");
    bitbtn20mA0 = new QPushButton("Trim for &20mA", calib);
    bitbtn20mA0->setObjectName("bitbtn20mA0");
    ch->addWidget(bitbtn4mA0);
    ch->addWidget(bitbtn20mA0);
    ch->addStretch(1);
    connect(bitbtn4mA0, &QPushButton::clicked, this, &TfrmM7361::bitbtn4mA0Click);
    connect(bitbtn20mA0, &QPushButton::clicked, this, &TfrmM7361::bitbtn20mA0Click);
    leftColumn()->addWidget(calib);
    leftColumn()->addStretch(1);
    buildDataArea();
    createPollTimer("tmrUpdateAOData", [this] { tmrUpdateAODataTimer(); });
}

TfrmM7361::~TfrmM7361() {
    stopPolling();
}

odel::ModuleBase* TfrmM7361::frameModule() const {
    return module_.get();
}

void TfrmM7361::buildDataArea() {
    auto* area = new QGroupBox(" Data Area ", outerGroup());
    area->setObjectName("gbDataArea");
    auto* grid = new QGridLayout(area);
    grid->setVerticalSpacing(8);
    trabAOVal = new QSlider(Qt::Horizontal, area);
    trabAOVal->setObjectName("trabAOVal");
    trabAOVal->setRange(0, 20000);
    trabAOVal->setMinimumWidth(260);
    connect(trabAOVal, &QSlider::valueChanged, this, &TfrmM7361::trabAOValChange);
    grid->addWidget(trabAOVal, 0, 0, 1, 4);

    auto* steps = new QHBoxLayout;
    auto step = [&](const char* name, const char* arrow, const char* hint, int sign, int part) {
        QPushButton* b = makeButton(name, arrow, area);
        b->setToolTip(hint);
        b->setFixedWidth(40);
        connect(b, &QPushButton::clicked, this, [this, sign, part] { stepTrackBar(sign, part); });
        steps->addWidget(b);
        return b;
    };
    bitbtnLeftLeft = step("bitbtnLeftLeft", "<<", "To trim -15.0uA", -1, 10);
    bitbtnLeft = step("bitbtnLeft", "<", "To trim -1.5uA", -1, 100);
    bitbtnRight = step("bitbtnRight", ">", "To trim 1.5uA", 1, 100);
    bitbtnRightRight = step("bitbtnRightRight", ">>", "To trim 15.0uA", 1, 10);
    steps->addStretch(1);
    grid->addLayout(steps, 1, 0, 1, 4);

    grid->addWidget(new QLabel("Output Value:", area), 2, 0);
    edtAO_Val = new QLineEdit("0.0", area);
    edtAO_Val->setObjectName("edtAO_Val");
    edtAO_Val->setFixedWidth(90);
    grid->addWidget(edtAO_Val, 2, 1);
    btnValueOutput = new QPushButton("&Output", area);
    btnValueOutput->setObjectName("btnValueOutput");
    grid->addWidget(btnValueOutput, 2, 2);
    btnStartup = new QPushButton("Set as &Initial", area);
    btnStartup->setObjectName("btnStartup");
    grid->addWidget(btnStartup, 2, 3);
    connect(btnValueOutput, &QPushButton::clicked, this, &TfrmM7361::btnValueOutputClick);
    connect(btnStartup, &QPushButton::clicked, this, &TfrmM7361::btnStartupClick);
    // Digits, "+" and "."; in the hex format also the "0x" and the hex digits it needs.
    filterKeys(
        edtAO_Val,
        [this](QChar c) {
            if (c.isDigit() || c == '+' || c == '.') return true;
            const QString f = formatBits();
            return f != "00" && f != "01" && (QString("xXabcdefABCDEF").contains(c));
        },
        [this] { btnValueOutputClick(); });

    auto readOnly = [&](const char* name, const char* label, int row) {
        grid->addWidget(new QLabel(label, area), row, 0);
        QLineEdit* e = makeReadOnlyEdit(name, "0.0", area);
        e->setFixedWidth(90);
        grid->addWidget(e, row, 1);
        return e;
    };
    edtLast_Val = readOnly("edtLast_Val", "Last Value : ", 3);
    edtAO_CurrentReadBak = readOnly("edtAO_CurrentReadBak", "ReadBack Value : ", 4);
    grid->setColumnStretch(4, 1);
    rightColumn()->addWidget(area);
    rightColumn()->addStretch(1);
}

void TfrmM7361::InitModule(odel::SerialPort* link, const QString& addressText,
                           StatusPanels* statusBar, QTreeWidget* treeView) {
    const QString address = beginInit(addressText, statusBar, treeView);
    // The normal-state Update writes only address and output range: the rest is INIT-only.
    GeneralSettingGroup* g = general();
    for (QWidget* w : {static_cast<QWidget*>(g->cmbBaudRate), static_cast<QWidget*>(g->chkCheckSum),
                       static_cast<QWidget*>(g->cmbDataFormat), static_cast<QWidget*>(cmbSlewRate)})
        w->setEnabled(InitMode);
    module_ = std::make_unique<odel::Module7361>(link, address.toStdString());
    RefreshGeneralSetting();
    startPolling();
}

// ---- general settings ----

QString TfrmM7361::formatBits() const {
    std::string bits;
    if (!module_ || !module_->GetFormatBits10(bits)) return QString();
    return QString::fromStdString(bits);
}

void TfrmM7361::RefreshGeneralSetting() {
    AoGeneral r;
    std::string format, type;
    if (!readGeneral(r) || !module_->GetFormatBits10(format) || !module_->GetTypeCode(type)) {
        setStatus("Fail to fresh general setting data!");
        return;
    }
    showGeneral(r);
    bool ok = false;
    const int code = QString::fromStdString(type).toInt(&ok, 16);
    // A code outside the list shows no range rather than a range the module does not have.
    const int range = ok && code >= 0x30 && code <= 0x32 ? code - 0x30 : -1;
    cmbTypeChangeAllCh->setCurrentIndex(range);
    ShowDataFormat(QString::fromStdString(format));
    showScale(QString::fromStdString(format), range);
    const int slew = r.slewCode();
    cmbSlewRate->setCurrentIndex(slew >= 0 && slew < cmbSlewRate->count() ? slew : -1);
}

void TfrmM7361::showScale(const QString& format, int rangeIndex) {
    QSignalBlocker block(trabAOVal);
    if (format == "01")
        trabAOVal->setRange(0, 10000);
    else if (format != "00")
        trabAOVal->setRange(0, 4095);
    else if (rangeIndex == 1)
        trabAOVal->setRange(4 * 1000, 20000);
    else if (rangeIndex == 2)
        trabAOVal->setRange(0, 10000);
    else
        trabAOVal->setRange(0, 20000);
    cmbSlewRate->clear();
    cmbSlewRate->addItems(rangeIndex == 2 ? kVoltSlew : kCurrentSlew);
}

void TfrmM7361::stageTypeCode() {
    const int i = cmbTypeChangeAllCh->currentIndex();
    // No valid selection keeps the module's own output range.
    if (i >= 0 && i < 3) module_->SetTypeCode(QString::asprintf("%2X", i + 0x30).toStdString());
}

void TfrmM7361::StageInitSettings() {
    stageBaud();
    module_->SetChecksumBit(general()->chkCheckSum->isChecked() ? "1" : "0");
    stageTypeCode();
    stageSlew(cmbSlewRate);
    ApplyDataFormat();
}

void TfrmM7361::StageNormalSettings() {
    stageTypeCode();
}

void TfrmM7361::DelayForChangeType() {
    pause(1000);
}

void TfrmM7361::FinishUpdate(bool done) {
    RefreshGeneralSetting();
    if (done) dialogs().information("Update success!");
}

// ---- value entry and output ----

QString TfrmM7361::ValueText(const QString& format, int rangeIndex, const QString& typed,
                             int* position) {
    double v = 0, low = 0, high = 0;
    if (format == "00" || format == "01") {
        if (!number(typed, v)) return {};
        const bool fsr = format == "01";
        if (fsr) {
            low = 0, high = 100;
        } else if (!rangeLimits(rangeIndex, low, high)) {
            return {};
        }
        // Round once to the text's resolution, then split: 4.35 is 04.350, not 04.349.
        const int scale = fsr ? 100 : 1000;
        const long n = std::lround(v * scale);
        if (n < std::lround(low * scale) || n > std::lround(high * scale)) return {};
        if (position) *position = static_cast<int>(n);
        const int whole = static_cast<int>(n / scale), part = static_cast<int>(n % scale);
        if (!fsr) return zeroFilled(QString::asprintf("%2d.%3d", whole, part));
        QString text = zeroFilled(QString::asprintf(" %3d.%2d", whole, part));
        text[0] = '+';
        return text;
    }
    // Hex: "0x" and one to three hex digits, sent as three.
    static const QRegularExpression hex("^0[xX]([0-9A-Fa-f]{1,3})$");
    const auto m = hex.match(typed.trimmed());
    if (!m.hasMatch()) return {};
    const int code = m.captured(1).toInt(nullptr, 16);
    if (position) *position = code;
    return QString::asprintf("%03X", code);
}

void TfrmM7361::trabAOValChange() {
    const int p = trabAOVal->value();
    const QString f = formatBits();
    if (f == "00")
        edtAO_Val->setText(QString::asprintf("%6.3f", p * 0.001).trimmed());
    else if (f == "01")
        edtAO_Val->setText(QString::asprintf("%6.2f", p * 0.01).trimmed());
    else
        edtAO_Val->setText("0x" + QString::asprintf("%03X", p));
}

void TfrmM7361::stepTrackBar(int sign, int fraction) {
    const int span = trabAOVal->maximum() - trabAOVal->minimum();
    trabAOVal->setValue(std::clamp(trabAOVal->value() + sign * span / fraction,
                                   trabAOVal->minimum(), trabAOVal->maximum()));
}

void TfrmM7361::btnValueOutputClick() {
    stopPolling();
    int position = 0;
    const QString text =
        ValueText(formatBits(), cmbTypeChangeAllCh->currentIndex(), edtAO_Val->text(), &position);
    if (text.isEmpty()) {
        // No number, negative, outside the range or not hex: nothing is sent.
        dialogs().error("Write AO Failed!");
    } else {
        trabAOVal->setValue(position);
        if (!module_ || !module_->WriteAnalogOutput(text.toStdString()))
            dialogs().error("Write AO Failed!");
    }
    startPolling();
}

void TfrmM7361::btnStartupClick() {
    stopPolling();
    if (module_ && module_->SetStartupOutput())
        dialogs().information("Update success!");
    else
        dialogs().error("Write Start Output Config Failed!");
    startPolling();
}

// ---- polling ----

void TfrmM7361::tmrUpdateAODataTimer() {
    heartbeat = !heartbeat;
    std::string last, back;
    const QString f = formatBits();
    auto shown = [&f](const std::string& reply, QString& out) {
        const QString text = QString::fromStdString(reply).trimmed();
        double v = 0;
        if (f == "00" || f == "01") {
            if (!number(text, v)) return false;
            out = QString::asprintf(f == "00" ? "%6.3f" : "%6.2f", v).trimmed();
            return true;
        }
        static const QRegularExpression hex("^[0-9A-Fa-f]+$");
        if (!hex.match(text).hasMatch()) return false;
        out = "0x" + text;
        return true;
    };
    QString lastText, backText;
    if (!module_ || f.isEmpty() || !module_->ReadLastOutput(last) ||
        !module_->ReadOutputReadback(back) || !shown(last, lastText) || !shown(back, backText)) {
        showHeartbeat(false);
        setStatus("Fail to fresh AO data!");
        return;
    }
    edtLast_Val->setText(lastText);
    edtAO_CurrentReadBak->setText(backText);
    // Leave the value alone while the user is entering one.
    QWidget* focus = QApplication::focusWidget();
    const bool entering =
        focus && (focus == edtAO_Val || focus == trabAOVal || focus == bitbtnLeftLeft ||
                  focus == bitbtnLeft || focus == bitbtnRight || focus == bitbtnRightRight ||
                  focus == btnValueOutput);
    if (!entering) edtAO_Val->setText(lastText);
    showHeartbeat(true);
    setStatus("Polling AO Data....  ");
}

// ---- calibration ----

void TfrmM7361::openCalibration(int mode, const QString& what) {
    TfrmMAOCalib dialog(this);
    dialog.setWindowTitle(caption() + what);
    dialog.setMode(mode);
    dialog.setTarget(std::make_unique<CurrentOutputCalib>(module_.get()));
    dialogs().exec(&dialog);
}

void TfrmM7361::bitbtn4mA0Click() {
    openCalibration(TfrmMAOCalib::Low4mA, " 4mA Calibration");
}

void TfrmM7361::bitbtn20mA0Click() {
    openCalibration(TfrmMAOCalib::High20mA, " 20mA Calibration");
}

// ---- settings file ----

void TfrmM7361::BuildConfSchema(ConfSchema& schema) {
    GeneralSettingGroup* g = general();
    schema.clearedFlag("checkSum", g->chkCheckSum);
    schema.comboIndex("Input Range", cmbTypeChangeAllCh);
    if (isShown(g->cmbDataFormat)) schema.comboIndex("Data Format", g->cmbDataFormat);
    if (isShown(cmbSlewRate)) schema.comboIndex("Slew Rate", cmbSlewRate);
    schema.step([this] { btSystemUpdateClick(); });
}

}  // namespace odel::ui

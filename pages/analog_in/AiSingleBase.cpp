#include "pages/analog_in/AiSingleBase.h"

#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

#include "device/AnalogInput.h"
#include "pages/analog_in/AiCalibTargets.h"
#include "pages/analog_in/Unitmcalib.h"
#include "pages/frame/BusyCursor.h"
#include "pages/frame/ConfFile.h"
#include "pages/frame/Dialogs.h"
#include "pages/frame/GeneralSettingGroup.h"
#include "pages/frame/Lamp.h"
#include "pages/frame/NumberText.h"
#include "pages/frame/Pause.h"
#include "pages/frame/StatusPanels.h"
#include "pages/frame/Widgets.h"

namespace odel::ui {

namespace {
using G = GeneralSettingGroup;

// Exactly `width` hex digits of a reply field as a number; -1 when the field is anything else.
int strictHex(const std::string& field, int width = 2) {
    static const QRegularExpression re("^[0-9A-Fa-f]+$");
    const QString f = qstr(field);
    if (f.size() != width || !re.match(f).hasMatch()) return -1;
    return f.toInt(nullptr, 16);
}

// A limit text of a reply ("+05.000") as a number.
bool limitNumber(const std::string& text, double& out) {
    return parseNumber(qstr(text), out);
}

// Keeps a button's enabled state across a handler that disables it while it runs.
class ButtonBusy {
  public:
    explicit ButtonBusy(QPushButton* b) : b_(b), was_(b->isEnabled()) { b_->setEnabled(false); }
    ~ButtonBusy() { b_->setEnabled(was_); }
    ButtonBusy(const ButtonBusy&) = delete;
    ButtonBusy& operator=(const ButtonBusy&) = delete;

  private:
    QPushButton* b_;
    bool was_;
};
}  // namespace

AiSingleBase::AiSingleBase(const AiSingleKind& kind, QWidget* parent)
    : PageFrame(kind.groupName, kind.caption, G::DataFormat | G::IntegrationTime, parent),
      kind_(kind) {
    setObjectName(kind.className);
    // Update shows the hourglass throughout and pauses after its two queries.
    updateBusyCursor_ = true;
    pauseAfterQueries_ = 100;
    general()->setDataFormatItems(kind_.dataFormatItems);
    cmbTypeChangeAllCh = new QComboBox(general());
    cmbTypeChangeAllCh->setObjectName("cmbTypeChangeAllCh");
    cmbTypeChangeAllCh->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    for (const auto& r : kind_.ranges) cmbTypeChangeAllCh->addItem(r.item);
    general()->addRow("Input Range :", cmbTypeChangeAllCh);

    edtAI_Val = new QLineEdit(this);
    edtAI_Val->setObjectName("edtAI_Val");
    edtAI_Val->setReadOnly(true);
    edtAI_Val->setFixedWidth(110);
    createPollTimer("tmrUpdateAIData", [this] { tmrUpdateAIDataTimer(); });
}

AiSingleBase::~AiSingleBase() {
    stopPolling();
}

odel::ModuleBase* AiSingleBase::frameModule() const {
    return module_.get();
}

void AiSingleBase::InitModule(odel::SerialPort* link, const QString& addressText,
                              StatusPanels* statusBar, QTreeWidget* treeView) {
    const QString address = beginInit(addressText, statusBar, treeView);
    G* g = general();
    for (QWidget* w :
         std::initializer_list<QWidget*>{g->cmbBaudRate, g->chkCheckSum, g->cmbDataFormat,
                                         g->cmbIntegrationTime, btZeroCal, btSpanCal})
        if (w) w->setEnabled(InitMode);
    module_ = CreateModule(link, address.toStdString());
    RefreshGeneralSetting();
    InitialAlarmReads();
    startPolling();
}

void AiSingleBase::InitialAlarmReads() {
    pause(300);
    RefreshAlarmStatus(AllAlarmParts());
    pause(300);
    RefreshLimits();
    pause(300);
}

// ---- building blocks ----

QGroupBox* AiSingleBase::makeAlarmTypeGroup(QWidget* parent) {
    auto* group = new QGroupBox(" Alarm Type Setting ", parent);
    group->setObjectName("gbAlarmTypeSetting");
    auto* h = new QHBoxLayout(group);
    cmbAlarmType = new QComboBox(group);
    cmbAlarmType->setObjectName("cmbAlarmType");
    cmbAlarmType->addItems({"disable", "MOMENTARY", "LATCH"});
    btAlarmTypeSettingUpdate = new QPushButton("&Update", group);
    btAlarmTypeSettingUpdate->setObjectName("btAlarmTypeSettingUpdate");
    connect(btAlarmTypeSettingUpdate, &QPushButton::clicked, this,
            &AiSingleBase::btAlarmTypeSettingUpdateClick);
    h->addWidget(cmbAlarmType, 1);
    h->addWidget(btAlarmTypeSettingUpdate);
    return group;
}

QGroupBox* AiSingleBase::makeLimitGroup(bool high, const QString& title, QWidget* parent) {
    auto* group = new QGroupBox(title, parent);
    group->setObjectName(high ? "gbHighAlarmLimit" : "gbLowAlarmLimit");
    auto* h = new QHBoxLayout(group);
    auto* edit = new QLineEdit(group);
    edit->setObjectName(high ? "edtHighLimt" : "edtLowLimt");
    edit->setMaxLength(7);
    edit->setFixedWidth(90);
    // Digits, the point and the signs; Enter runs the limit's update.
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9.+\\-]*"), edit));
    auto* button = new QPushButton("&Update", group);
    button->setObjectName(high ? "btHighAlarmLimitUpdate" : "btLowAlarmLimitUpdate");
    if (high) {
        edtHighLimt = edit;
        btHighAlarmLimitUpdate = button;
        connect(button, &QPushButton::clicked, this, &AiSingleBase::btHighAlarmLimitUpdateClick);
    } else {
        edtLowLimt = edit;
        btLowAlarmLimitUpdate = button;
        connect(button, &QPushButton::clicked, this, &AiSingleBase::btLowAlarmLimitUpdateClick);
    }
    connect(edit, &QLineEdit::returnPressed, this, [this, high, button] {
        if (button->isEnabled()) limitUpdate(high);
    });
    h->addWidget(edit);
    h->addWidget(button);
    h->addStretch(1);
    return group;
}

Lamp* AiSingleBase::makeOutputLamp(int bit, const QString& caption, QWidget* parent) {
    auto* lamp = new Lamp(QString("btDO%1").arg(bit), caption, bit, parent);
    if (static_cast<int>(btDO.size()) <= bit) btDO.resize(bit + 1, nullptr);
    btDO[bit] = lamp;
    connect(lamp, &QPushButton::clicked, this, [this, bit] { btDOClick(bit); });
    return lamp;
}

QPushButton* AiSingleBase::makeClearLatch(QWidget* parent) {
    btClearAlarmLatch = new QPushButton("Clear Latch", parent);
    btClearAlarmLatch->setObjectName("btClearAlarmLatch");
    connect(btClearAlarmLatch, &QPushButton::clicked, this, &AiSingleBase::btClearAlarmLatchClick);
    return btClearAlarmLatch;
}

QGroupBox* AiSingleBase::makeCalibrationGroup(QWidget* parent) {
    auto* group = new QGroupBox(" AI Calibration ", parent);
    group->setObjectName("gbAICalibration");
    auto* h = new QHBoxLayout(group);
    btZeroCal = new QPushButton("&Zero Cal.", group);
    btZeroCal->setObjectName("btZeroCal");
    btSpanCal = new QPushButton("S&pan Cal.", group);
    btSpanCal->setObjectName("btSpanCal");
    connect(btZeroCal, &QPushButton::clicked, this, &AiSingleBase::btZeroCalClick);
    connect(btSpanCal, &QPushButton::clicked, this, &AiSingleBase::btSpanCalClick);
    h->addWidget(btZeroCal);
    h->addWidget(btSpanCal);
    return group;
}

// ---- general settings ----

int AiSingleBase::IndexOfCode(int code) const {
    for (std::size_t i = 0; i < kind_.ranges.size(); ++i)
        if (kind_.ranges[i].code == code) return static_cast<int>(i);
    return -1;
}

int AiSingleBase::RangeCodeOfIndex(int index) const {
    if (index >= 0 && index < static_cast<int>(kind_.ranges.size()))
        return kind_.ranges[index].code;
    return -1;
}

void AiSingleBase::RefreshGeneralSetting() {
    odel::AiAlarmModule* m = module_.get();
    std::string address, checksum, baud, version, format, type, integration;
    if (!m || !m->ReadConfiguration(address) || !m->GetChecksumBit(checksum) ||
        !m->GetBaudCode(baud) || !m->ReadFirmwareVersion(version) || !m->GetFormatBits10(format) ||
        !m->GetTypeCode(type) || !m->GetFormatBit7(integration)) {
        statusColor(false);
        setStatus("Fail to fresh general setting data!");
        return;
    }
    G* g = general();
    const int n = strictHex(address);
    g->edtAddress_Hex->setText((InitMode ? "*" : "") + qstr(address));
    g->edtAddress_Dec->setText(n < 0 ? QString() : QString::number(n));
    const int baudCode = strictHex(baud);
    g->cmbBaudRate->setCurrentIndex(
        baudCode >= 3 && baudCode - 3 < g->cmbBaudRate->count() ? baudCode - 3 : -1);
    g->chkCheckSum->setChecked(checksum == "1");
    g->edtFirmwareVer->setText(qstr(version));
    // A code outside the page's table shows no range; Update then keeps the module's own.
    ShowRange(IndexOfCode(strictHex(type)));
    ShowDataFormat(qstr(format));
    g->cmbIntegrationTime->setCurrentIndex(integration == "0" ? 0 : 1);
}

void AiSingleBase::ShowRange(int index) {
    cmbTypeChangeAllCh->setCurrentIndex(index);
}

void AiSingleBase::ApplyDataFormat() {
    const int i = general()->cmbDataFormat->currentIndex();
    if (i >= 0 && i < static_cast<int>(kind_.dataFormatCodes.size()))
        module_->SetFormatBits10(kind_.dataFormatCodes[i].toStdString());
}

void AiSingleBase::ShowDataFormat(const QString& code) {
    general()->cmbDataFormat->setCurrentIndex(code == "00" ? 0 : code == "01" ? 1 : 2);
}

void AiSingleBase::StageInitSettings() {
    G* g = general();
    if (g->cmbBaudRate->currentIndex() >= 0)
        module_->SetBaudCode(
            QString::asprintf("%02X", g->cmbBaudRate->currentIndex() + 3).toStdString());
    module_->SetChecksumBit(g->chkCheckSum->isChecked() ? "1" : "0");
    StageNormalSettings();
    ApplyDataFormat();
    module_->SetFormatBit7(g->cmbIntegrationTime->currentIndex() == 0 ? "0" : "1");
}

void AiSingleBase::StageNormalSettings() {
    const int code = RangeCodeOfIndex(cmbTypeChangeAllCh->currentIndex());
    if (code >= 0) module_->SetTypeCode(QString::asprintf("%02X", code).toStdString());
}

void AiSingleBase::FinishUpdate(bool done) {
    RefreshGeneralSetting();
    restoreBusyCursor();
    if (done) dialogs().information(UpdateSuccessText());
}

// ---- alarm state ----

void AiSingleBase::statusColor(bool ok) {
    if (statusBar_) statusBar_->setPanelColor(0, ok ? QColor(255, 0, 0) : QColor(0, 0, 0));
}

bool AiSingleBase::RefreshAlarmStatus(unsigned parts) {
    update();
    std::string mode, outputs, inputs;
    const bool read = module_ && module_->ReadAlarmStatus(mode, outputs, inputs);
    // Every field used must be what the module prints: a mode digit 0..2, two hex digits.
    const bool modeValid = read && (mode == "0" || mode == "1" || mode == "2");
    // A mode that cannot be read is unknown: no type is shown and what depends on it is off, so
    // neither an output click nor a saved file acts on a mode the module may not have.
    if (parts & Mode) ShowAlarmMode(modeValid ? mode[0] - '0' : -1);
    const bool valid = read && (!(parts & Mode) || modeValid) &&
                       (!(parts & Outputs) || strictHex(outputs) >= 0) &&
                       (!(parts & Input) || strictHex(inputs) >= 0);
    if (!valid) {
        statusColor(false);
        setStatus("Read Alarm Status error!!");
        return false;
    }
    if (parts & Outputs) {
        const int bits = strictHex(outputs);
        for (std::size_t i = 0; i < btDO.size(); ++i) btDO[i]->setOn(bits & (1 << i));
    }
    if (parts & Input) ShowInput(strictHex(inputs));
    update();
    return true;
}

void AiSingleBase::ShowAlarmMode(int index) {
    cmbAlarmType->setCurrentIndex(index);
    btClearAlarmLatch->setEnabled(index == 2);
    for (QWidget* w : std::initializer_list<QWidget*>{btHighAlarmLimitUpdate, btLowAlarmLimitUpdate,
                                                      edtHighLimt, edtLowLimt})
        w->setEnabled(index > 0);
}

void AiSingleBase::RefreshLimits() {
    std::string low, high;
    double l = 0, h = 0;
    if (!module_ || !module_->ReadLowAlarmLimit(low) || !module_->ReadHighAlarmLimit(high) ||
        !limitNumber(low, l) || !limitNumber(high, h)) {
        statusColor(false);
        setStatus("Read Alarm Status error!!");
        return;
    }
    edtHighLimt->setText(QString::number(h, 'g', 15));
    edtLowLimt->setText(QString::number(l, 'g', 15));
}

void AiSingleBase::btAlarmTypeSettingUpdateClick() {
    BusyCursor busy;
    bool ok = false;
    {
        ButtonBusy button(btAlarmTypeSettingUpdate);
        stopPolling();
        switch (cmbAlarmType->currentIndex()) {
            case 0:
                ok = module_->DisableAlarm();
                break;
            case 1:
                ok = module_->SetAlarmMode("M");
                break;
            case 2:
                ok = module_->SetAlarmMode("L");
                break;
            default:  // no selection: nothing to send
                break;
        }
        if (!ok) dialogs().error("Setting Alarm Type error!!");
        pause(300);
        RefreshAlarmStatus(AllAlarmParts());
        pause(300);
        RefreshLimits();
        pause(300);
    }
    startPolling();
    busy.restore();
    if (ok) dialogs().information(AlarmTypeSuccessText());
}

// ---- limits ----

QString AiSingleBase::LimitFailText(bool high) {
    return high ? "Write High Alarm Value Failed!!" : "Write Low Alarm Value Failed!!";
}

void AiSingleBase::btHighAlarmLimitUpdateClick() {
    limitUpdate(true);
}

void AiSingleBase::btLowAlarmLimitUpdateClick() {
    limitUpdate(false);
}

void AiSingleBase::limitUpdate(bool high) {
    BusyCursor busy;
    bool ok = false;
    {
        ButtonBusy button(high ? btHighAlarmLimitUpdate : btLowAlarmLimitUpdate);
        stopPolling();
        QString value;
        // A refused value shows the page's error and sends nothing; the closing steps still run.
        if (LimitValue((high ? edtHighLimt : edtLowLimt)->text(), high, value)) {
            const std::string v = value.toStdString();
            ok = high ? module_->SetHighAlarmLimit(v) : module_->SetLowAlarmLimit(v);
            if (!ok) dialogs().error(LimitFailText(high));
        }
        pause(500);
        RefreshLimits();
        update();
    }
    startPolling();
    busy.restore();
    if (ok) dialogs().information(LimitSuccessText(high));
}

// ---- outputs ----

QString AiSingleBase::OutputDigits(const std::vector<bool>& on, int) const {
    int bits = 0;
    for (std::size_t i = 0; i < on.size() && i < 2; ++i)
        if (on[i]) bits |= 1 << i;
    return QString::asprintf("%02X", bits);
}

void AiSingleBase::btDOClick(int bit) {
    // With an alarm enabled the module drives the alarm outputs DO0 and DO1.
    if (bit < 2 && cmbAlarmType->currentIndex() != 0) return;
    BusyCursor busy;
    {
        ButtonBusy button(btDO[bit]);
        stopPolling();
        if (!writeToggledOutput(btDO, bit, [&](const std::vector<bool>& on) {
                return module_->SetDigitalOutput(OutputDigits(on, bit).toStdString());
            }))
            dialogs().error("Write Digital Output Failed!!");
        pause(300);
        RefreshAlarmStatus(Outputs);
    }
    startPolling();
}

void AiSingleBase::btClearAlarmLatchClick() {
    BusyCursor busy;
    bool ok = false;
    {
        ButtonBusy button(btClearAlarmLatch);
        stopPolling();
        ok = module_->ClearAlarmLatch();
        if (!ok) dialogs().error("Clear Latch Alarm Error!!");
        pause(300);
        RefreshAlarmStatus(Outputs);
    }
    startPolling();
    busy.restore();
    if (ok) dialogs().information("Update success!");
}

// ---- calibration ----

void AiSingleBase::calibration(bool span) {
    const int index = cmbTypeChangeAllCh->currentIndex();
    TfrmCalib dialog(this);
    dialog.setWindowTitle("ODEL-" + caption() + (span ? " Span calibration" : " Zero calibration"));
    dialog.setSpan(span);
    dialog.setInputText(span ? SpanCalInput(index) : ZeroCalInput(index));
    dialog.setTarget(MakeCalibTarget());
    dialogs().exec(&dialog);
}

void AiSingleBase::btZeroCalClick() {
    calibration(false);
}

void AiSingleBase::btSpanCalClick() {
    calibration(true);
}

// ---- settings file ----

void AiSingleBase::BuildConfSchema(ConfSchema& schema) {
    G* g = general();
    QComboBox* baud = g->cmbBaudRate;
    // The baud rate is written and checked, never applied: the page keeps its own.
    schema.readOnly(
        "BaudRate", [baud] { return QString::number(baud->currentIndex()); },
        [baud](const QString& v) {
            static const QRegularExpression re("^-?[0-9]{1,2}$");
            return re.match(v).hasMatch() && v.toInt() >= -1 && v.toInt() < baud->count();
        });
    schema.clearedFlag("checkSum", g->chkCheckSum);
    schema.comboIndex("Input Range", cmbTypeChangeAllCh);
    if (isShown(g->cmbDataFormat)) schema.comboIndex("Data Format", g->cmbDataFormat);
    if (isShown(g->cmbIntegrationTime))
        schema.comboIndex("Integration Time", g->cmbIntegrationTime);
    schema.step([this] { btSystemUpdateClick(); });
    if (isShown(cmbAlarmType)) {
        schema.comboIndex("Alarm Type", cmbAlarmType);
        // A file saved while the mode was unknown holds no type: loading writes none.
        schema.step([this] {
            if (cmbAlarmType->currentIndex() >= 0) btAlarmTypeSettingUpdateClick();
        });
    }
    if (isShown(edtHighLimt)) {
        schema.text("High Alarm", edtHighLimt);
        schema.step([this] { limitUpdate(true); });
    }
    if (isShown(edtLowLimt)) {
        schema.text("Low Alarm", edtLowLimt);
        schema.step([this] { limitUpdate(false); });
    }
}

}  // namespace odel::ui

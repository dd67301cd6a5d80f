#include "pages/analog_in/Unitm7354r.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

#include "device/AnalogInput.h"
#include "pages/analog_in/AiCalibTargets.h"
#include "pages/analog_in/Unitmcalib.h"
#include "pages/analog_in/Unitmcjc.h"
#include "pages/frame/ConfFile.h"
#include "pages/frame/Dialogs.h"
#include "pages/frame/GeneralSettingGroup.h"
#include "pages/frame/Pause.h"
#include "pages/frame/Widgets.h"

namespace odel::ui {

int hexCode(const std::string& digits) {
    bool ok = false;
    const int n = QString::fromStdString(digits).trimmed().toInt(&ok, 16);
    return ok ? n : -1;
}

std::vector<AiRange> ranges7354R() {
    return {{"+/- 0~20mA", 0x06, "mA"}, {"+ 4~20mA", 0x07, "mA"}, {"J Type ", 0x0E, "'C"},
            {"K Type ", 0x0F, "'C"},    {"T Type ", 0x10, "'C"},  {"E Type ", 0x11, "'C"},
            {"R Type ", 0x12, "'C"},    {"S Type ", 0x13, "'C"},  {"B Type ", 0x14, "'C"}};
}

namespace {
using G = GeneralSettingGroup;

AiPageKind kind7354R() {
    AiPageKind k;
    k.groupName = "gbOdl7354R";
    k.caption = " ODEL-7354+ ";
    k.generalRows = G::DataFormat | G::IntegrationTime | G::CommWDT | G::Protocol;
    k.ranges = ranges7354R();
    return k;
}
}  // namespace

TfrmM7354R::TfrmM7354R(QWidget* parent) : TfrmM7354R(kind7354R(), parent) {}

TfrmM7354R::TfrmM7354R(const AiPageKind& kind, QWidget* parent)
    : PageFrame(kind.groupName, kind.caption, kind.generalRows, parent), kind_(kind) {
    setObjectName("TfrmM" + kind.groupName.mid(5));
    if (!kind_.dataFormatItems.isEmpty()) general()->setDataFormatItems(kind_.dataFormatItems);
    cmbTypeChangeAllCh = new QComboBox(general());
    cmbTypeChangeAllCh->setObjectName("cmbTypeChangeAllCh");
    cmbTypeChangeAllCh->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    for (const auto& r : kind_.ranges) cmbTypeChangeAllCh->addItem(r.item);
    general()->addRow("Input Range :", cmbTypeChangeAllCh);
    general()->setRowVisible(cmbTypeChangeAllCh, !kind_.perChannelRange);
    buildCalibration();
    AiGridLook look;
    look.channels = kind_.channels;
    look.rangeLists = kind_.perChannelRange;
    look.units = kind_.units;
    look.rangeToolTips = !kind_.units;
    buildChannelGrid(
        outerGroup(), kind_.ranges, look, [this] { btRefreshAIStatusClick(); },
        [this] { btSingleChUpdateClick(); });
    rightColumn()->addWidget(gbChannelSetup);
    createPollTimer("tmrUpdateAIData", [this] { tmrUpdateAIDataTimer(); });
}

TfrmM7354R::~TfrmM7354R() {
    stopPolling();
}

odel::ModuleBase* TfrmM7354R::frameModule() const {
    return module_.get();
}

void TfrmM7354R::buildCalibration() {
    gbAICalibration = new QGroupBox(" AI Calibration ", outerGroup());
    gbAICalibration->setObjectName("gbAICalibration");
    auto* h = new QHBoxLayout(gbAICalibration);
    auto button = [this, h](const char* name, const char* text, void (TfrmM7354R::*slot)()) {
        QPushButton* b = makeButton(name, text, gbAICalibration);
        connect(b, &QPushButton::clicked, this, slot);
        h->addWidget(b);
        return b;
    };
    btZeroCal = button("btZeroCal", "&Zero Cal.", &TfrmM7354R::btZeroCalClick);
    btSpanCal = button("btSpanCal", "S&pan Cal.", &TfrmM7354R::btSpanCalClick);
    btCJCCal = button("btCJCCal", "&CJC Cal.", &TfrmM7354R::btCJCCalClick);
    btCJCCal->setVisible(kind_.cjc);
    h->addStretch(1);
    leftColumn()->addWidget(gbAICalibration);
    leftColumn()->addStretch(1);
}

void TfrmM7354R::InitModule(odel::SerialPort* link, const QString& addressText,
                            StatusPanels* statusBar, QTreeWidget* treeView) {
    const QString address = beginInit(addressText, statusBar, treeView);
    // Baud rate, checksum, format, integration time, protocol and zero/span calibration can
    // be changed only on a module in INIT state.
    GeneralSettingGroup* g = general();
    for (QWidget* w : std::initializer_list<QWidget*>{g->cmbBaudRate, g->chkCheckSum,
                                                      g->cmbDataFormat, g->cmbIntegrationTime,
                                                      g->cmbPotocolSelect, btZeroCal, btSpanCal})
        w->setEnabled(InitMode);
    module_ = std::make_unique<odel::AiMultiModule>(link, address.toStdString());
    RefreshGeneralSetting();
    RefreshAIStatus();
    startPolling();
}

// ---- ranges ----

int TfrmM7354R::IndexOfCode(int code) const {
    for (std::size_t i = 0; i < kind_.ranges.size(); ++i)
        if (kind_.ranges[i].code == code) return static_cast<int>(i);
    return -1;
}

int TfrmM7354R::RangeCodeOfIndex(int index) {
    if (index >= 0 && index < static_cast<int>(kind_.ranges.size()))
        return kind_.ranges[index].code;
    return 0x0E;
}

void TfrmM7354R::ShowChannelCode(int channel, int code) {
    const int index = IndexOfCode(code);
    cmbTypeChangeCh[channel]->setCurrentIndex(index);
    labAIUnitCh[channel]->setText(index >= 0 ? kind_.ranges[index].unit : QString());
}

void TfrmM7354R::ShowAllChannelsCode(int code) {
    const int index = IndexOfCode(code);
    if (index < 0) setStatus("Fail to fresh AI status!");
    cmbTypeChangeAllCh->setCurrentIndex(index);
    for (QLabel* l : labAIUnitCh) l->setText(index >= 0 ? kind_.ranges[index].unit : QString());
}

int TfrmM7354R::Channel0RangeIndex() const {
    return kind_.perChannelRange ? cmbTypeChangeCh[0]->currentIndex()
                                 : cmbTypeChangeAllCh->currentIndex();
}

void TfrmM7354R::ApplyExtraSetting() {
    // One-range pages write their range with the configuration; a range that is not in the
    // table (unknown code read back) keeps the module's own type code.
    if (kind_.perChannelRange) return;
    const int code = RangeCodeOfIndex(cmbTypeChangeAllCh->currentIndex());
    if (code >= 0) module_->SetTypeCode(hex2(code).toStdString());
}

bool TfrmM7354R::RefreshCommWDT() {
    return !(kind_.generalRows & G::CommWDT) || PageFrame::RefreshCommWDT();
}

bool TfrmM7354R::RefreshProtocol() {
    return !(kind_.generalRows & G::Protocol) || PageFrame::RefreshProtocol();
}

bool TfrmM7354R::UpdateCommWDT() {
    return !(kind_.generalRows & G::CommWDT) || PageFrame::UpdateCommWDT();
}

void TfrmM7354R::ApplyProtocol() {
    if (kind_.generalRows & G::Protocol) PageFrame::ApplyProtocol();
}

// ---- status ----

void TfrmM7354R::RefreshAIStatus() {
    std::string mask;
    // A mask that is not two hex digits is no answer either.
    if (!module_ || !module_->ReadChannelEnable(mask) || hexCode(mask) < 0) {
        setStatus(EnableReadFailText());
        return;
    }
    ShowEnableMask(hexCode(mask));
    for (int i = 0; i < ChannelCount(); ++i) {
        std::string code;
        int value = 0;
        if (!module_->ReadChannelRange(i, code))
            setStatus(QString("Fail to fresh AI channel-%1").arg(i));
        else
            value = hexCode(code);
        ShowChannelCode(i, value);
    }
}

void TfrmM7354R::RefreshAfterUpdate() {
    RefreshGeneralSetting();
    pause(100);
    RefreshAIStatus();
}

void TfrmM7354R::ChannelDelay() {
    pause(100);
}

bool TfrmM7354R::WriteEnableMask(int mask) {
    return module_ && module_->SetChannelEnable(hex2(mask).toStdString());
}

bool TfrmM7354R::WriteChannelRange(int channel, int code) {
    return module_ && module_->SetChannelRange(channel, hex2(code).toStdString());
}

void TfrmM7354R::UpdateChannelSetup() {
    stopPolling();
    WriteChannelSetup();
    RefreshAIStatus();
    startPolling();
}

// ---- polling ----

void TfrmM7354R::tmrUpdateAIDataTimer() {
    heartbeat = !heartbeat;
    std::string data;
    if (!module_ || !module_->ReadAnalogData(data)) {
        showHeartbeat(false);
        setStatus("Fail to fresh AI data!");
        return;
    }
    showHeartbeat(true);
    setStatus("Polling AI data...");
    std::string bits;
    const int format = module_->GetFormatBits10(bits) ? QString::fromStdString(bits).toInt() : 0;
    const int width = format == 10 ? 4 : 7;
    QString rest = QString::fromStdString(data);
    for (int i = 0; i < ChannelCount(); ++i) {
        edtAIValCh[i]->setText(rest.left(7) == "+888888" ? QString("Burn-out") : rest.left(width));
        rest.remove(0, width);
    }
}

// ---- channel grid buttons ----

void TfrmM7354R::btRefreshAIStatusClick() {
    stopPolling();
    RefreshAIStatus();
    startPolling();
}

void TfrmM7354R::btSingleChUpdateClick() {
    UpdateChannelSetup();
}

// ---- calibration ----

QString TfrmM7354R::ZeroCalInput(int index) {
    return index <= 1 ? "0 mA" : "0 mV";
}

QString TfrmM7354R::SpanCalInput(int index) {
    static const char* texts[] = {"20mA", "20mA", "50mV", "50mV", "22mV",
                                  "78mV", "22mV", "19mV", "15mV"};
    return index >= 0 && index < 9 ? texts[index] : "15mV";
}

void TfrmM7354R::btZeroCalClick() {
    TfrmCalib dialog(this);
    dialog.setWindowTitle(caption() + " Zero calibration");
    dialog.setSpan(false);
    dialog.setInputText(ZeroCalInput(Channel0RangeIndex()));
    dialog.setTarget(std::make_unique<MultiChannelCalib>(module_.get(), 0));
    dialogs().exec(&dialog);
}

void TfrmM7354R::btSpanCalClick() {
    TfrmCalib dialog(this);
    dialog.setWindowTitle(caption() + " Span calibration");
    dialog.setSpan(true);
    dialog.setInputText(SpanCalInput(Channel0RangeIndex()));
    dialog.setTarget(std::make_unique<MultiChannelCalib>(module_.get(), 0));
    dialogs().exec(&dialog);
}

void TfrmM7354R::btCJCCalClick() {
    TfrmCJC dialog(this);
    dialog.setWindowTitle(caption() + " Cold Junction Compesation");
    dialog.setTarget(std::make_unique<MultiChannelCjc>(module_.get()));
    dialogs().exec(&dialog);
}

// ---- settings file ----

void TfrmM7354R::ExtraSettingLines(ConfSchema& schema) {
    if (isShown(cmbTypeChangeAllCh)) schema.comboIndex("Input Range", cmbTypeChangeAllCh);
}

void TfrmM7354R::BuildConfSchema(ConfSchema& schema) {
    GeneralSettingGroup* g = general();
    schema.comboIndex("BaudRate", g->cmbBaudRate);
    schema.clearedFlag("checkSum", g->chkCheckSum);
    ExtraSettingLines(schema);
    if (isShown(g->cmbDataFormat)) schema.comboIndex("Data Format", g->cmbDataFormat);
    if (isShown(g->cmbIntegrationTime))
        schema.comboIndex("Integration Time", g->cmbIntegrationTime);
    if (isShown(g->edtCommWDT))
        // A watchdog out of range reaches the Update, which says why it refuses it.
        schema.real("Comm. WDT", g->edtCommWDT);
    if (isShown(g->cmbPotocolSelect)) schema.comboIndex("Potocol", g->cmbPotocolSelect);
    schema.step([this] { btSystemUpdateClick(); });
    // The channel lines reflect the module, not unsaved edits.
    schema.saveStep([this] { RefreshAIStatus(); });
    for (int i = 0; i < ChannelCount(); ++i) {
        schema.state(QString("CH%1 State").arg(i), chkEnableCh[i]);
        if (isShown(cmbTypeChangeCh[i]))
            schema.comboIndex(QString("CH%1 Input Range").arg(i), cmbTypeChangeCh[i]);
    }
    schema.step([this] { UpdateChannelSetup(); });
}

}  // namespace odel::ui

#include "pages/digital/Unitm7385.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>
#include <cmath>

#include "device/Digital.h"
#include "pages/frame/ConfFile.h"
#include "pages/frame/Dialogs.h"
#include "pages/frame/GeneralSettingGroup.h"
#include "pages/frame/Lamp.h"
#include "pages/frame/NumberText.h"

namespace odel::ui {

int hexDigits(const std::string& digits) {
    static const QRegularExpression re("^[0-9A-Fa-f]{1,4}$");
    const QString text = QString::fromStdString(digits);
    if (!re.match(text).hasMatch()) return -1;
    return text.toInt(nullptr, 16);
}

namespace {
DioPageKind kind7385() {
    DioPageKind k;
    k.model = "7385";
    return k;
}

// The label of a general-group row, found by its buddy.
QLabel* rowLabel(QWidget* group, QWidget* field) {
    for (QLabel* l : group->findChildren<QLabel*>())
        if (l->buddy() == field) return l;
    return nullptr;
}
}  // namespace

TfrmM7385::TfrmM7385(QWidget* parent) : TfrmM7385(kind7385(), parent) {}

TfrmM7385::TfrmM7385(const DioPageKind& kind, QWidget* parent)
    : PageFrame("GroupBox1", " ODEL-" + kind.model + " ", GeneralSettingGroup::Protocol, parent),
      kind_(kind) {
    setObjectName("TfrmM" + kind.model);
    GeneralSettingGroup* g = general();
    g->setObjectName("GroupBox2");
    if (QLabel* l = rowLabel(g, g->cmbBaudRate)) l->setText("&Baud Rate :");
    if (QLabel* l = rowLabel(g, g->cmbPotocolSelect)) l->setText("Procotol : ");
    if (!kind.protocolShown) g->setRowVisible(g->cmbPotocolSelect, false);

    GroupBox3 = new QGroupBox(" Data Area ", outerGroup());
    GroupBox3->setObjectName("GroupBox3");
    auto* rows = new QVBoxLayout(GroupBox3);
    GroupBox19 = buildRow("GroupBox19", "Digital Input(Hex)", edtDI_Hex, labDI_Hex, DIButtons,
                          "bitbtnDI", "DI ", 0, kind.inputs);
    GroupBox4 =
        buildRow("GroupBox4", kind.inputWord ? "DI High Bye (Hex)" : "Digital Output(Hex)",
                 edtDO_Hex, labDO_Hex, DOButtons, "bitbtnDO", kind.inputWord ? "DI " : "DO ",
                 kind.inputWord ? 8 : 0, kind.inputWord ? 8 : kind.outputs);
    if (kind.inputWord) labDI_Hex->setText("Dl Low Byte (Hex)");
    rows->addWidget(kind.outputsOnTop ? GroupBox4 : GroupBox19);
    rows->addWidget(kind.outputsOnTop ? GroupBox19 : GroupBox4);
    rows->addStretch(1);
    // Only hidden explicitly: showing a child before its page lays it out at a wrong size.
    if (kind.inputs == 0) GroupBox19->hide();
    if (kind.outputs == 0 && !kind.inputWord) GroupBox4->hide();
    // Output lamps switch their line; the second row of the 16-input pages only shows.
    if (!kind.inputWord)
        for (Lamp* lamp : DOButtons)
            connect(lamp, &QPushButton::clicked, this, &TfrmM7385::bitbtnDO0Click);
    buildSafeGroup();
    // General settings and fail-safe values side by side above the data area.
    leftColumn()->removeWidget(g);
    auto* top = new QHBoxLayout;
    top->addWidget(g, 0, Qt::AlignTop);
    top->addWidget(gbSeftValue, 0, Qt::AlignTop);
    top->addStretch(1);
    leftColumn()->insertLayout(0, top);
    leftColumn()->addWidget(GroupBox3);
    leftColumn()->addStretch(1);
    createPollTimer("tmrUpdateDIData", [this] { tmrUpdateDIDataTimer(); });
}

TfrmM7385::~TfrmM7385() {
    stopPolling();
}

odel::ModuleBase* TfrmM7385::frameModule() const {
    return module_.get();
}

QGroupBox* TfrmM7385::buildRow(const QString& name, const QString& label, QLineEdit*& hexEdit,
                               QLabel*& hexLabel, std::array<Lamp*, 8>& lamps,
                               const QString& lampName, const QString& captionPrefix,
                               int captionBase, int shown) {
    auto* box = new QGroupBox(GroupBox3);
    box->setObjectName(name);
    auto* v = new QVBoxLayout(box);
    auto* h = new QHBoxLayout;
    h->setSpacing(4);
    // Highest line at the left, as the lines are numbered on the module's terminals.
    for (int i = 7; i >= 0; --i) {
        auto* lamp = new Lamp(lampName + QString::number(i),
                              captionPrefix + QString::number(captionBase + i), i, box);
        lamps[i] = lamp;
        h->addWidget(lamp);
        if (i >= shown) {
            lamp->setVisible(false);
            lamp->setEnabled(false);
        }
    }
    h->addStretch(1);
    v->addLayout(h);
    // The row's value in hex under its lamps, so that the page fits the main window's pane.
    auto* hex = new QHBoxLayout;
    hexLabel = new QLabel(label, box);
    hexEdit = new QLineEdit(box);
    hexEdit->setObjectName(name == "GroupBox19" ? "edtDI_Hex" : "edtDO_Hex");
    hexEdit->setReadOnly(true);
    hexEdit->setFixedWidth(64);
    hexLabel->setBuddy(hexEdit);
    hex->addStretch(1);
    hex->addWidget(hexLabel);
    hex->addWidget(hexEdit);
    v->addLayout(hex);
    return box;
}

void TfrmM7385::buildSafeGroup() {
    gbSeftValue = new QGroupBox("  Comm. Fail Safe Value ", outerGroup());
    gbSeftValue->setObjectName("gbSeftValue");
    auto* v = new QVBoxLayout(gbSeftValue);
    auto* grid = new QGridLayout;
    grid->setSpacing(4);
    // DO 3..0 above DO 7..4, the highest number at the left.
    for (int i = 0; i < 8; ++i) {
        auto* lamp = new Lamp("bitbtnSafeDO" + QString::number(i), "DO " + QString::number(i), i,
                              gbSeftValue);
        SafeDOButtons[i] = lamp;
        grid->addWidget(lamp, i < 4 ? 0 : 1, 3 - i % 4);
        connect(lamp, &QPushButton::clicked, this, &TfrmM7385::bitbtnSafeDO0Click);
        if (i >= kind_.safeBits) {
            lamp->setVisible(false);
            lamp->setEnabled(false);
        }
    }
    grid->setColumnStretch(4, 1);
    v->addLayout(grid);
    auto* h = new QHBoxLayout;
    auto* label = new QLabel("Timeout Setting :", gbSeftValue);
    edtTimeoutSetting = new QLineEdit("0.0", gbSeftValue);
    edtTimeoutSetting->setObjectName("edtTimeoutSetting");
    edtTimeoutSetting->setMaxLength(6);
    edtTimeoutSetting->setToolTip("0.0~6553.5");
    edtTimeoutSetting->setFixedWidth(70);
    edtTimeoutSetting->installEventFilter(this);
    label->setBuddy(edtTimeoutSetting);
    btSafeSettingUpdate = new QPushButton("&Update", gbSeftValue);
    btSafeSettingUpdate->setObjectName("btSafeSettingUpdate");
    connect(btSafeSettingUpdate, &QPushButton::clicked, this, &TfrmM7385::btSafeSettingUpdateClick);
    h->addWidget(label);
    h->addWidget(edtTimeoutSetting);
    h->addWidget(new QLabel("Sec", gbSeftValue));
    h->addStretch(1);
    h->addWidget(btSafeSettingUpdate);
    v->addLayout(h);
    if (kind_.safeBits == 0) gbSeftValue->hide();
}

// ---- start ----

void TfrmM7385::InitModule(odel::SerialPort* link, const QString& addressText,
                           StatusPanels* statusBar, QTreeWidget* treeView) {
    const QString address = beginInit(addressText, statusBar, treeView);
    SafeValue = 0;
    DOState = {};
    polled_ = false;
    // Baud rate, checksum and protocol can be changed only on a module in INIT state.
    GeneralSettingGroup* g = general();
    g->cmbBaudRate->setEnabled(InitMode);
    g->chkCheckSum->setEnabled(InitMode);
    g->cmbPotocolSelect->setEnabled(InitMode && !kind_.protocolFixed);
    module_ = std::make_unique<odel::Module7385>(link, address.toStdString());
    createInputModule(link, address.toStdString());
    RefreshGeneralSetting();
    startPolling();
}

// ---- general settings ----

void TfrmM7385::RefreshGeneralSetting() {
    std::string address, checksum, baud, version;
    const bool ok = module_ && module_->ReadConfiguration(address) &&
                    module_->GetChecksumBit(checksum) && module_->GetBaudCode(baud) &&
                    module_->ReadFirmwareVersion(version);
    const int n = ok ? hexDigits(address) : -1;
    if (n < 0) {
        setStatus("Fail to fresh general setting data!");
    } else {
        GeneralSettingGroup* g = general();
        g->edtAddress_Hex->setText((InitMode ? "*" : "") + QString::fromStdString(address));
        g->edtAddress_Dec->setText(QString::number(n));
        // A baud code outside the list shows no selection (and is kept by the Update).
        const int code = hexDigits(baud);
        g->cmbBaudRate->setCurrentIndex(code >= 3 && code <= 10 ? code - 3 : -1);
        g->chkCheckSum->setChecked(checksum == "1");
        g->edtFirmwareVer->setText(QString::fromStdString(version));
    }
    // The protocol is read even when the fail-safe read fails, so that a hidden selector
    // always mirrors the module's bit before an INIT Update writes it back.
    const bool safety = RefreshSafetySetting();
    const bool protocol = RefreshProtocol();
    if (!safety || !protocol) setStatus("Fail to fresh Safety setting data!");
}

void TfrmM7385::ApplyProtocol() {
    if (!kind_.protocolFixed) PageFrame::ApplyProtocol();
}

bool TfrmM7385::RefreshProtocol() {
    if (!kind_.protocolFixed) return PageFrame::RefreshProtocol();
    general()->cmbPotocolSelect->setCurrentIndex(0);
    return true;
}

void TfrmM7385::StageInitSettings() {
    GeneralSettingGroup* g = general();
    if (g->cmbBaudRate->currentIndex() >= 0)
        module_->SetBaudCode(
            QString::asprintf("%02X", g->cmbBaudRate->currentIndex() + 3).toStdString());
    module_->SetChecksumBit(g->chkCheckSum->isChecked() ? "1" : "0");
    ApplyProtocol();
}

void TfrmM7385::FinishUpdate(bool done) {
    // The input-only pages poll through their second object: it moves with the module.
    if (odel::ModuleBase* input = inputModule(); input && module_) {
        std::string address;
        module_->GetAddress(address);
        input->SetAddress(address);
    }
    if (done) dialogs().information("Update success!");
    RefreshGeneralSetting();
}

// ---- fail-safe values ----

bool TfrmM7385::RefreshSafetySetting() {
    if (!kind_.safetyRead) return true;
    std::string time, value;
    if (!module_ || !module_->ReadSafeValue(time, value)) return false;
    const int t = time.size() == 4 ? hexDigits(time) : -1;
    const int v = value.size() == 2 ? hexDigits(value) : -1;
    if (t < 0 || v < 0) return false;
    SafeValue = static_cast<std::uint8_t>(v);
    edtTimeoutSetting->setText(QString::asprintf("%.1f", t * 0.1));
    showBits(SafeDOButtons, v);
    return true;
}

void TfrmM7385::bitbtnSafeDO0Click() {
    auto* lamp = qobject_cast<Lamp*>(sender());
    if (!lamp || lamp->tag() < 0 || lamp->tag() > 7) return;
    SafeValue ^= static_cast<std::uint8_t>(1u << lamp->tag());
    lamp->setOn((SafeValue >> lamp->tag()) & 1);
}

void TfrmM7385::btSafeSettingUpdateClick() {
    stopPolling();
    // Seconds with at most one point; anything else holds no time-out and is refused.
    double seconds = 0;
    const double tenths =
        parseNumber(edtTimeoutSetting->text(), seconds, Sign::None) ? std::trunc(seconds * 10) : -1;
    if (tenths < 0 || tenths > 65535) {
        dialogs().error("The timeout Value must be between 0.0 and 6553.5!");
    } else if (module_ && module_->SetSafeValue(
                              QString::asprintf("%04X", static_cast<int>(tenths)).toStdString(),
                              QString::asprintf("%02X", SafeValue).toStdString())) {
        dialogs().information("Update success!");
    } else {
        dialogs().error("Write Safety Value failed!");
    }
    if (!RefreshSafetySetting()) setStatus("Fail to fresh Safety setting data!");
    startPolling();
}

bool TfrmM7385::edtTimeoutSettingKeyPress(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        btSafeSettingUpdateClick();
        return true;
    }
    // Only typed characters are filtered; cursor keys, Delete and shortcuts keep working.
    const QString text = event->text();
    if (text.isEmpty() || text[0].unicode() < 0x20 || text[0].unicode() == 0x7F) return false;
    return !(text.size() == 1 && ((text[0] >= '0' && text[0] <= '9') || text[0] == '.'));
}

bool TfrmM7385::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edtTimeoutSetting && event->type() == QEvent::KeyPress)
        return edtTimeoutSettingKeyPress(static_cast<QKeyEvent*>(event));
    return PageFrame::eventFilter(watched, event);
}

// ---- poll and outputs ----

void TfrmM7385::showBits(const std::array<Lamp*, 8>& lamps, int bits) {
    for (int i = 0; i < 8; ++i) lamps[i]->setOn((bits >> i) & 1);
}

void TfrmM7385::reportPoll(bool ok, const QString& okText, const QString& failText) {
    showHeartbeat(ok);
    setStatus(ok ? okText : failText);
}

void TfrmM7385::tmrUpdateDIDataTimer() {
    RefreshDIOData();
}

void TfrmM7385::RefreshDIOData() {
    heartbeat = !heartbeat;
    std::string outputs, inputs;
    const bool read = module_ && module_->ReadDioStatus(outputs, inputs);
    const int o = read ? hexDigits(outputs) : -1;
    const int d = read ? hexDigits(inputs) : -1;
    // Digits that are not hex are no reading: the lamps keep what they show.
    if (o < 0 || d < 0) {
        reportPoll(false, {}, "Fail to fresh DIO data!");
        return;
    }
    reportPoll(true, "Polling DIO data...", {});
    showBits(DOButtons, o);
    for (int i = 0; i < 8; ++i) DOState[i] = (o >> i) & 1;
    showBits(DIButtons, d);
    edtDI_Hex->setText("0x" + QString::fromStdString(inputs));
    edtDO_Hex->setText("0x" + QString::fromStdString(outputs));
    polled_ = true;
}

void TfrmM7385::bitbtnDO0Click() {
    auto* lamp = qobject_cast<Lamp*>(sender());
    if (!lamp || lamp->tag() < 0 || lamp->tag() > 7 || !module_) return;
    stopPolling();
    const int i = lamp->tag();
    // A click inverts the line as the module last reported it; before any good poll the
    // state is read first, so the first click cannot switch a line that is already on.
    if (!polled_) RefreshDIOData();
    if (polled_) {
        if (module_->WriteDigitalOutput(i, DOState[i] ? "0" : "1"))
            RefreshDIOData();
        else
            setStatus("Fail to set DO!");
    }
    startPolling();
}

// ---- settings file ----

void TfrmM7385::BuildConfSchema(ConfSchema& schema) {
    GeneralSettingGroup* g = general();
    schema.comboIndex("BaudRate", g->cmbBaudRate);
    schema.clearedFlag("checkSum", g->chkCheckSum);
    if (isShown(g->cmbPotocolSelect)) schema.comboIndex("Potocol", g->cmbPotocolSelect);
    schema.step([this] { btSystemUpdateClick(); });
}

}  // namespace odel::ui

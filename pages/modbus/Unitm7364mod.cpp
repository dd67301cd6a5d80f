#include "pages/modbus/Unitm7364mod.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cmath>

#include "device/AnalogOutput.h"
#include "pages/frame/BusyCursor.h"
#include "pages/frame/Dialogs.h"
#include "pages/frame/GeneralSettingGroup.h"
#include "pages/frame/Lamp.h"
#include "pages/frame/NumberText.h"
#include "pages/frame/Pause.h"
#include "pages/frame/Widgets.h"

namespace odel::ui {

namespace {
// The three output ranges by list index; the module stores the index as the character '0'..'2'.
struct AoRange {
    const char* item;
    double low;
    double high;
    const char* unit;
};
const AoRange kRanges[3] = {
    {"0 - 20 mA", 0, 20, "mA"}, {"4 - 20 mA", 4, 20, "mA"}, {"+/-  10 V", -10, 10, "V"}};
}  // namespace

TfrmM7364Mod::TfrmM7364Mod(QWidget* parent)
    : ModbusPage("gbOdl7364Mod", " ODEL-7364 ", "ODEL-7364 (Modbus)", parent) {
    setObjectName("TfrmM7364Mod");
    buildPage();
    createPollTimer("tmrUpdateAOData", [this] { tmrUpdateAODataTimer(); });
}

void TfrmM7364Mod::buildPage() {
    // Communication safety, shown in the general group.
    auto* safe = new QWidget(general());
    safe->setObjectName("wCommSafety");
    auto* sh = new QHBoxLayout(safe);
    sh->setContentsMargins(0, 0, 0, 0);
    chkboxSafeOn = new QCheckBox("Enable", safe);
    chkboxSafeOn->setObjectName("chkboxSafeOn");
    chkboxSafeOn->setEnabled(false);
    edtSafeTrigger = new QLineEdit(safe);
    edtSafeTrigger->setObjectName("edtSafeTrigger");
    edtSafeTrigger->setReadOnly(true);
    edtSafeTrigger->setFixedWidth(48);
    sh->addWidget(chkboxSafeOn);
    sh->addSpacing(8);
    sh->addWidget(edtSafeTrigger);
    sh->addWidget(new QLabel("triggered", safe));
    sh->addStretch(1);
    general()->addRow("Comm Safety:", safe);

    // Ranges and present values.
    auto* setup = new QGroupBox(" AO Channel Setup", outerGroup());
    setup->setObjectName("gbAOChannelSetup");
    auto* sv = new QVBoxLayout(setup);
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel("Channel", setup), 0, 0);
    grid->addWidget(new QLabel("Range", setup), 0, 1);
    grid->addWidget(new QLabel("Current Val.", setup), 0, 2);
    for (int n = 0; n < 4; ++n) {
        grid->addWidget(new QLabel(QString("Ch %1").arg(n + 1), setup), n + 1, 0);
        cmbAORange[n] = new QComboBox(setup);
        cmbAORange[n]->setObjectName(QString("cmbAORange%1").arg(n + 1));
        for (const AoRange& r : kRanges) cmbAORange[n]->addItem(r.item);
        cmbAORange[n]->setCurrentIndex(-1);
        grid->addWidget(cmbAORange[n], n + 1, 1);
        txbCurVal[n] = new QLineEdit(setup);
        txbCurVal[n]->setObjectName(QString("txbCurVal%1").arg(n + 1));
        txbCurVal[n]->setReadOnly(true);
        txbCurVal[n]->setFixedWidth(80);
        grid->addWidget(txbCurVal[n], n + 1, 2);
    }
    sv->addLayout(grid);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto button = [this](QWidget* parent, QHBoxLayout* row, const char* name, const char* text,
                         void (TfrmM7364Mod::*slot)()) {
        auto* b = makeButton(name, text, parent);
        connect(b, &QPushButton::clicked, this, slot);
        row->addWidget(b);
    };
    button(setup, buttons, "btRefreshAOStatus", "&Refresh", &TfrmM7364Mod::btRefreshAOStatusClick);
    button(setup, buttons, "btUpdateAOStatus", "&Update", &TfrmM7364Mod::btUpdateAOStatusClick);
    sv->addLayout(buttons);

    // Digital inputs.
    auto* di = new QGroupBox("DI Status", outerGroup());
    di->setObjectName("gbDIStatus");
    auto* dh = new QHBoxLayout(di);
    dh->addWidget(new QLabel("Dl Data (Hex)", di));
    edtDIData = new QLineEdit(di);
    edtDIData->setObjectName("edtDIData");
    edtDIData->setReadOnly(true);
    edtDIData->setFixedWidth(40);
    dh->addWidget(edtDIData);
    bitbtnDI = makeLamps(di, "bitbtnDI", "DI ", 4, 1);
    for (Lamp* l : bitbtnDI) dh->addWidget(l);
    dh->addStretch(1);

    // One channel driven directly.
    auto* direct = new QGroupBox(" Direct Output Value ", outerGroup());
    direct->setObjectName("gbDirectOutput");
    auto* dv = new QVBoxLayout(direct);
    auto* row = new QHBoxLayout;
    cmbOutputCh = new QComboBox(direct);
    cmbOutputCh->setObjectName("cmbOutputCh");
    cmbOutputCh->addItems({"Ch 1", "Ch 2", "Ch 3", "Ch 4"});
    edtAOOutput = new QLineEdit("0.000", direct);
    edtAOOutput->setObjectName("edtAOOutput");
    edtAOOutput->setFixedWidth(80);
    edtAOOutput->installEventFilter(this);
    edtCode = new QLineEdit(direct);
    edtCode->setObjectName("edtCode");
    edtCode->setReadOnly(true);
    edtCode->setFixedWidth(36);
    row->addWidget(cmbOutputCh);
    row->addWidget(edtAOOutput);
    row->addWidget(edtCode);
    button(direct, row, "btAOOutput", "&Output", &TfrmM7364Mod::btAOOutputClick);
    row->addStretch(1);
    dv->addLayout(row);
    scrbarAO = new QScrollBar(Qt::Horizontal, direct);
    scrbarAO->setObjectName("scrbarAO");
    scrbarAO->setRange(0, 100);
    scrbarAO->setToolTip("Drag");
    dv->addWidget(scrbarAO);
    connect(scrbarAO, &QScrollBar::valueChanged, this, &TfrmM7364Mod::scrbarAOChange);

    auto* mapping = new QGroupBox("Modbus Mapping", outerGroup());
    mapping->setObjectName("gbModbusMapping");
    auto* mv = new QVBoxLayout(mapping);
    buildMapList(mapping, 8);
    mv->addWidget(lstviewModbus);

    leftColumn()->addWidget(di);
    leftColumn()->addWidget(mapping);
    leftColumn()->addStretch(1);
    rightColumn()->addWidget(setup);
    rightColumn()->addWidget(direct);
    rightColumn()->addStretch(1);
}

void TfrmM7364Mod::InitModule(odel::SerialPort* link, const QString& addressText,
                              StatusPanels* statusBar, QTreeWidget* treeView) {
    beginModbus(addressText, statusBar, treeView,
                std::make_unique<odel::Module7364>(link, addressText.toStdString()));
    cmbOutputCh->setCurrentIndex(0);
    RefreshGeneralSetting();
    for (int n = 0; n < 4; ++n)
        addMapRow(coilLocation(1 + n), "Bit", "*", QString::asprintf("DI CH:%02d", n + 1));
    for (int n = 0; n < 4; ++n)
        addMapRow(registerLocation(1 + n), "Word", "*****", QString::asprintf("AO CH:%02d", n + 1));
    RefreshAOStatus();
    connect(cmbOutputCh, &QComboBox::currentIndexChanged, this, &TfrmM7364Mod::cmbOutputChChange);
    startModbusPolling([this] { tmrUpdateAODataTimer(); });
}

void TfrmM7364Mod::RefreshFirmware() {
    std::vector<int> regs;
    if (!readRegisters(213, 3, regs)) return;
    showFirmware(regs[0]);
    safety_ = (regs[2] & 0xFF) == 1;
    chkboxSafeOn->setChecked(safety_);
    edtSafeTrigger->setText("0");
}

QString TfrmM7364Mod::formatted(int channel, int raw) const {
    const int r = rangeOf(channel);
    if (r < 0) return "*****";
    const AoRange& range = kRanges[r];
    return QString::asprintf("%+07.3f", range.low + (range.high - range.low) * raw / 4095.0);
}

void TfrmM7364Mod::RefreshAOStatus() {
    std::vector<int> regs;
    if (!readRegisters(201, 4, regs)) {
        setStatus("Fail to fresh AO status!");
        return;
    }
    for (int n = 0; n < 4; ++n) {
        // Only the characters '0'..'2' name a range; anything else stays unknown.
        const int c = regs[n] & 0xFF;
        ranges_[n] = c >= '0' && c <= '2' ? c - '0' : -1;
        cmbAORange[n]->setCurrentIndex(ranges_[n]);
    }
    cmbOutputChChange();
}

// ---- polls ----

bool TfrmM7364Mod::inputPoll() {
    std::vector<std::uint8_t> bytes;
    if (!readCoils(1, 4, bytes)) return false;
    edtDIData->setText(QString::asprintf("%02X", bytes[0]));
    for (int n = 0; n < 4; ++n) {
        const bool on = bytes[0] & (1 << n);
        bitbtnDI[n]->setOn(on);
        setMapValue(n, on ? "1" : "0");
    }
    std::vector<int> flag;
    if (safety_ && readRegisters(216, 1, flag)) {
        // The module keeps its flag raised: one trigger counts once, on its rising edge.
        const bool now = (flag[0] & 0xFF) == 1;
        if (now && !triggered_) edtSafeTrigger->setText(QString::number(++triggerCount_));
        triggered_ = now;
    }
    return true;
}

bool TfrmM7364Mod::outputPoll() {
    std::vector<int> regs;
    if (!readRegisters(1, 4, regs)) return false;
    for (int n = 0; n < 4; ++n) {
        outputs_[n] = regs[n];
        setMapValue(4 + n, QString::number(regs[n]));
        txbCurVal[n]->setText(formatted(n, regs[n]));
    }
    return true;
}

void TfrmM7364Mod::tmrUpdateAODataTimer() {
    heartbeat = !heartbeat;
    // The heartbeat was set before the toggle: output poll; else the input poll.
    if (!heartbeat) {
        const bool ok = outputPoll();
        showHeartbeat(ok);
        setStatus(ok ? "Polling AO data..." : "Fail to fresh AO data!");
    } else {
        const bool ok = inputPoll();
        showHeartbeat(ok);
        setStatus(ok ? "Polling DI data..." : "Fail to fresh DI data!");
    }
}

// ---- handlers ----

void TfrmM7364Mod::cmbOutputChChange() {
    const int ch = cmbOutputCh->currentIndex();
    if (ch < 0) return;
    const int r = rangeOf(ch);
    edtCode->setText(r < 0 ? QString() : QString(kRanges[r].unit));
    const bool ok = outputPoll();
    showHeartbeat(ok);
    setStatus(ok ? "Polling AO data..." : "Fail to fresh AO data!");
    if (!ok) return;
    {
        const QSignalBlocker block(scrbarAO);
        scrbarAO->setValue(outputs_[ch] * 100 / 4095);
    }
    edtAOOutput->setText(formatted(ch, outputs_[ch]));
}

void TfrmM7364Mod::scrbarAOChange(int position) {
    // A preview only: nothing is sent until Output.
    const int ch = cmbOutputCh->currentIndex();
    if (ch >= 0) edtAOOutput->setText(formatted(ch, position * 4095 / 100));
}

bool TfrmM7364Mod::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edtAOOutput && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            btAOOutputClick();
            return true;
        }
        const QString text = key->text();
        if (!text.isEmpty() && text[0].isPrint()) {
            const QChar c = text[0];
            const bool allowed = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
            return !allowed;
        }
    }
    return ModbusPage::eventFilter(watched, event);
}

void TfrmM7364Mod::btRefreshAOStatusClick() {
    stopPolling();
    RefreshAOStatus();
    if (slave() != 0) startPolling();
}

void TfrmM7364Mod::btUpdateAOStatusClick() {
    stopPolling();
    BusyCursor cursor;
    bool failed = false;
    for (int n = 0; n < 4; ++n) {
        const int index = cmbAORange[n]->currentIndex();
        // A channel whose range is unknown keeps it: no current loop is turned into a voltage.
        if (index < 0) continue;
        if (!writeRegister(201 + n, '0' + index)) {
            setStatus("Change AI range failed");
            failed = true;
        }
        pause(100);
    }
    cursor.restore();
    if (failed)
        dialogs().error("Error occurred during setup!");
    else
        dialogs().information("Update Channel Setup Success!");
    RefreshAOStatus();
    if (slave() != 0) startPolling();
}

void TfrmM7364Mod::btAOOutputClick() {
    stopPolling();
    const int ch = cmbOutputCh->currentIndex();
    double value = 0;
    if (!parseNumber(edtAOOutput->text(), value)) {
        dialogs().error("The input data is invalid!");
    } else if (ch < 0 || rangeOf(ch) < 0) {
        // Without a known range no limits apply and no raw value is right.
        dialogs().error("Failed to output data!");
    } else {
        const AoRange& r = kRanges[rangeOf(ch)];
        if (value < r.low || value > r.high) {
            dialogs().error(QString::asprintf("The data should be in the range between %.1f~%.1f!",
                                              r.low, r.high));
        } else {
            const int raw = static_cast<int>(std::trunc((value - r.low) * 4095 / (r.high - r.low)));
            if (writeRegister(ch + 1, raw)) {
                outputPoll();
                {
                    const QSignalBlocker block(scrbarAO);
                    scrbarAO->setValue(raw * 100 / 4095);
                }
                edtAOOutput->setText(formatted(ch, raw));
            } else {
                dialogs().error("Failed to output data!");
            }
        }
    }
    if (slave() != 0) startPolling();
}

}  // namespace odel::ui

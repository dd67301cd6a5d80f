#include "pages/digital/CounterPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "device/Counter.h"
#include "pages/digital/CounterFields.h"
#include "pages/frame/ConfFile.h"
#include "pages/frame/Dialogs.h"
#include "pages/frame/GeneralSettingGroup.h"
#include "pages/frame/Lamp.h"
#include "pages/frame/Pause.h"
#include "pages/frame/Widgets.h"

namespace odel::ui {

namespace {
QLineEdit* makeEdit(const char* name, const QString& text, const QString& allowed, int maxLength,
                    QWidget* parent) {
    auto* e = new QLineEdit(text, parent);
    e->setObjectName(name);
    e->setMaxLength(maxLength);
    e->setFixedWidth(90);
    e->setValidator(new QRegularExpressionValidator(QRegularExpression(allowed), e));
    return e;
}
const QString kGeneralFail = "Fail to fresh general setting data!";
const QString kPollFail = "Poilling Counter Error!";
}  // namespace

CounterPage::CounterPage(const QString& groupName, const QString& caption, QWidget* parent)
    : PageFrame(groupName, caption, 0, parent) {
    updateBusyCursor_ = true;
    pauseAfterQueries_ = 100;
}

CounterPage::~CounterPage() {
    stopPolling();
}

odel::ModuleBase* CounterPage::frameModule() const {
    return module_.get();
}

int CounterPage::IndexOfTypeCode(const QString& code) {
    if (code.compare("50", Qt::CaseInsensitive) == 0) return 0;
    if (code.compare("51", Qt::CaseInsensitive) == 0) return 1;
    return -1;
}

// ---- building ----

void CounterPage::buildPage() {
    // The general group moves from the frame's column into the first tab.
    leftColumn()->removeWidget(general());
    PageControl = new QTabWidget(outerGroup());
    PageControl->setObjectName("PageControl");
    auto* module = new QWidget;
    module->setObjectName("tsModuleSetting");
    auto* moduleTab = new QVBoxLayout(module);
    auto* moduleColumns = new QHBoxLayout;
    // The general group keeps its full width (its rows change with the mode).
    general()->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Preferred);
    moduleColumns->addWidget(general(), 0, Qt::AlignTop);
    auto* right = new QVBoxLayout;
    moduleColumns->addLayout(right);
    moduleTab->addLayout(moduleColumns);
    moduleTab->addStretch(1);
    buildGeneral();
    buildFilter(right);
    auto* counters = new QWidget;
    counters->setObjectName("tsCounterSetting");
    counterTab_ = new QVBoxLayout(counters);
    buildCounterTab(counterTab_);
    counterTab_->addStretch(1);
    // Controls whose values have not been read hold none: they start disabled, so neither an
    // Update nor a saved file can carry their design-time texts to the module.
    setFilterControlsEnabled(false);
    for (QWidget* w : voltRow_) w->setEnabled(false);
    setCounterGroupsEnabled(false);
    PageControl->addTab(module, "Module Setting");
    PageControl->addTab(counters, "Counter Setting");
    leftColumn()->insertWidget(0, PageControl);
    buildDataArea();
    leftColumn()->addStretch(1);
    connect(PageControl, &QTabWidget::currentChanged, this, [this] { PageControlChange(); });
    createPollTimer("tmrUpdateCounterData", [this] { tmrUpdateCounterDataTimer(); });
}

void CounterPage::buildGeneral() {
    GeneralSettingGroup* g = general();
    cmbTypeChangeAllCh = makeList("cmbTypeChangeAllCh", {"Counter", "Frequency"}, g);
    g->addRow("Input Range :", cmbTypeChangeAllCh);
    cmbCntEnableGate = makeList("cmbCntEnableGate", {"Low", "High", "Disabled"}, g);
    cmbCntEnableGate->setCurrentIndex(-1);
    labCntEnableGate_ = g->addRow("Enable Gate :", cmbCntEnableGate);
    cmbFrequencyGateTime = makeList("cmbFrequencyGateTime", {"0.1 Sec", "1.0 Sec"}, g);
    labFrequencyGateTime_ = g->addRow("Frequency GateTime :", cmbFrequencyGateTime);
    g->setRowVisible(cmbFrequencyGateTime, false);
    // The gate that goes with the chosen range shows at once, before it is written.
    connect(cmbTypeChangeAllCh, &QComboBox::currentIndexChanged, this,
            [this](int index) { showGateRows(index == 1); });
}

void CounterPage::showGateRows(bool frequency) {
    general()->setRowVisible(cmbFrequencyGateTime, frequency);
    general()->setRowVisible(cmbCntEnableGate, !frequency);
}

void CounterPage::buildFilter(QVBoxLayout* tab) {
    auto* filter = new QGroupBox(" Filter Setting ", general()->parentWidget());
    filter->setObjectName("gbFilterSetting");
    auto* grid = new QGridLayout(filter);
    grid->setHorizontalSpacing(6);
    chkFilterState = new QCheckBox("Enable", filter);
    chkFilterState->setObjectName("chkFilterState");
    labFilterState_ = new QLabel("Filter State : ", filter);
    grid->addWidget(labFilterState_, 0, 0);
    grid->addWidget(chkFilterState, 0, 1, 1, 2);
    auto row = [&](int r, const char* label, QLineEdit* edit, const char* unit) {
        auto* l = new QLabel(label, filter);
        l->setBuddy(edit);
        auto* u = new QLabel(unit, filter);
        grid->addWidget(l, r, 0);
        grid->addWidget(edit, r, 1);
        grid->addWidget(u, r, 2);
        return std::array<QWidget*, 3>{l, edit, u};
    };
    edtHighLevelWidth = makeEdit("edtHighLevelWidth", "", "[0-9]*", 5, filter);
    edtLowLevelWidth = makeEdit("edtLowLevelWidth", "", "[0-9]*", 5, filter);
    edtHighLevelVolt = makeEdit("edtHighLevelVolt", "", "[0-9.]*", 6, filter);
    edtLowLevelVolt = makeEdit("edtLowLevelVolt", "", "[0-9.]*", 6, filter);
    auto w1 = row(1, "High Level Min. Width :", edtHighLevelWidth, " (u sec)");
    auto w2 = row(2, "Low Level Min. Width :", edtLowLevelWidth, " (u sec)");
    auto v1 = row(3, "High Level Voltage :", edtHighLevelVolt, "(V)");
    auto v2 = row(4, "Low Level Voltage : ", edtLowLevelVolt, "(V)");
    widthRow_ = {w1[0], w1[1], w1[2], w2[0], w2[1], w2[2]};
    voltRow_ = {v1[0], v1[1], v1[2], v2[0], v2[1], v2[2]};
    btFilterUpdate = makeButton("btFilterUpdate", "&Update", filter);
    grid->addWidget(btFilterUpdate, 5, 0, 1, 3, Qt::AlignRight);
    connect(btFilterUpdate, &QPushButton::clicked, this, [this] { btFilterUpdateClick(); });
    for (QLineEdit* e : {edtHighLevelWidth, edtLowLevelWidth, edtHighLevelVolt, edtLowLevelVolt})
        connect(e, &QLineEdit::returnPressed, this, [this] { btFilterUpdateClick(); });
    tab->addWidget(filter);

    auto* signal = new QGroupBox(" Input Signal Setting ", general()->parentWidget());
    signal->setObjectName("gbInputSignalSetting");
    auto* h = new QHBoxLayout(signal);
    cmbInputSignal = makeList("cmbInputSignal", {"TTL Input", "Photo Input"}, signal);
    cmbInputSignal->setCurrentIndex(-1);
    btInputSignalUpdate = makeButton("btInputSignalUpdate", "&Update", signal);
    connect(btInputSignalUpdate, &QPushButton::clicked, this,
            [this] { btInputSignalUpdateClick(); });
    h->addWidget(cmbInputSignal);
    h->addStretch(1);
    h->addWidget(btInputSignalUpdate);
    tab->addWidget(signal);
    tab->addStretch(1);
}

void CounterPage::buildDataArea() {
    auto* data = new QGroupBox(" Data Area ", outerGroup());
    data->setObjectName("gbDataArea");
    auto* grid = new QGridLayout(data);
    grid->setHorizontalSpacing(8);
    auto* overflow = new QLabel("Overflow", data);
    grid->addWidget(overflow, 0, 3, Qt::AlignCenter);
    for (int n = 0; n < 2; ++n) {
        const int r = n + 1;
        grid->addWidget(new QLabel(QString("Reading CN%1 :").arg(n), data), r, 0);
        auto* val = new QLineEdit("0000000000", data);
        val->setObjectName(QString("edtCnt%1Val").arg(n));
        val->setReadOnly(true);
        val->setFixedWidth(100);
        val->setAlignment(Qt::AlignRight);
        edtCntVal[n] = val;
        grid->addWidget(val, r, 1);
        btCNStart[n] = makeButton(n ? "btCN1Start" : "btCN0Start", "Start ", data);
        btCNStart[n]->setToolTip(QString("Start/Stop Counter%1").arg(n));
        connect(btCNStart[n], &QPushButton::clicked, this, [this, n] { StartClick(n); });
        grid->addWidget(btCNStart[n], r, 2);
        lampOverflow[n] = new Lamp(QString("lampCN%1Overflow").arg(n), "", n, data);
        grid->addWidget(lampOverflow[n], r, 3, Qt::AlignCenter);
        btCNReset[n] = makeButton(n ? "btCN1Reset" : "btCN0Reset", "Reset", data);
        btCNReset[n]->setToolTip(QString("Reset Counter%1").arg(n));
        connect(btCNReset[n], &QPushButton::clicked, this, [this, n] { ResetClick(n); });
        grid->addWidget(btCNReset[n], r, 4);
        labDO[n] = new QLabel(n ? "DO1:" : "DO0 :", data);
        grid->addWidget(labDO[n], r, 5);
        btDO[n] = new Lamp(QString("btDO%1").arg(n), "", n, data);
        connect(btDO[n], &QPushButton::clicked, this, [this, n] { DOClick(n); });
        grid->addWidget(btDO[n], r, 6);
        labCNAlarmMode[n] = new QLabel("Normal Mode", data);
        labCNAlarmMode[n]->setObjectName(QString("labCN%1AlarmMode").arg(n));
        labCNAlarmMode[n]->setMinimumWidth(
            labCNAlarmMode[n]->fontMetrics().horizontalAdvance("Normal Mode") + 12);
        grid->addWidget(labCNAlarmMode[n], r, 7);
    }
    grid->setColumnStretch(8, 1);
    leftColumn()->addWidget(data);
}

QLineEdit* CounterPage::makeCountEdit(const QString& name, int counter, QWidget* parent) {
    auto* e = new QLineEdit("0000000000", parent);
    e->setObjectName(name);
    e->setMaxLength(10);
    e->setFixedWidth(100);
    e->setValidator(new counter::CountValidator(e));
    connect(e, &QLineEdit::returnPressed, this, [this, counter] { RunCounterUpdate(counter); });
    return e;
}

// ---- start ----

void CounterPage::InitModule(odel::SerialPort* link, const QString& addressText,
                             StatusPanels* statusBar, QTreeWidget* treeView) {
    const QString address = beginInit(addressText, statusBar, treeView);
    // Baud rate and checksum change only on a module in INIT state; range and gates always.
    general()->cmbBaudRate->setEnabled(InitMode);
    general()->chkCheckSum->setEnabled(InitMode);
    module_ = createModule(link, address.toStdString());
    RefreshGeneralSetting();
    RefreshFilterSetting();
    RefreshCounterSetting(0);
    RefreshCounterSetting(1);
    RefreshExtraSetting();
    startPolling();
}

// ---- reading ----

void CounterPage::setDataAreaEnabled(bool enabled) {
    for (int n = 0; n < 2; ++n)
        for (QWidget* w : std::initializer_list<QWidget*>{
                 btCNStart[n], btCNReset[n], lampOverflow[n], labDO[n], btDO[n], labCNAlarmMode[n]})
            w->setEnabled(enabled);
}

void CounterPage::setCounterGroupsEnabled(bool enabled) {
    setCounterGroupEnabled(0, enabled);
    setCounterGroupEnabled(1, enabled);
}

void CounterPage::setCounterGroupEnabled(int n, bool enabled) {
    if (QGroupBox* g = n == 0 ? gbCN0Status : gbCN1Status) g->setEnabled(enabled);
}

bool CounterPage::counterGroupEnabled(int n) const {
    const QGroupBox* g = n == 0 ? gbCN0Status : gbCN1Status;
    return g && g->isEnabled();
}

void CounterPage::setFilterControlsEnabled(bool enabled) {
    labFilterState_->setEnabled(enabled);
    chkFilterState->setEnabled(enabled);
    for (QWidget* w : widthRow_) w->setEnabled(enabled);
}

void CounterPage::RefreshGeneralSetting() {
    repaint();
    odel::Module7320* m = module_.get();
    std::string address, checksum, baud, version, type;
    if (!m || !m->ReadConfiguration(address) || !m->GetChecksumBit(checksum) ||
        !m->GetBaudCode(baud) || !m->ReadFirmwareVersion(version) || !m->GetTypeCode(type)) {
        keptType_.clear();
        setStatus(kGeneralFail);
        repaint();
        return;
    }
    keptType_ = qstr(type);
    GeneralSettingGroup* g = general();
    bool ok = false;
    const int n = qstr(address).toInt(&ok, 16);
    g->edtAddress_Hex->setText((InitMode ? "*" : "") + qstr(address));
    g->edtAddress_Dec->setText(ok ? QString::number(n) : QString());
    const int baudCode = qstr(baud).toInt(&ok, 16);
    g->cmbBaudRate->setCurrentIndex(ok && baudCode >= 3 && baudCode <= 10 ? baudCode - 3 : -1);
    g->chkCheckSum->setChecked(checksum == "1");
    g->edtFirmwareVer->setText(qstr(version));
    // A type code of neither mode shows no selection, so an Update keeps the module's own.
    cmbTypeChangeAllCh->setCurrentIndex(IndexOfTypeCode(keptType_));
    const bool frequency = keptType_ == "51";
    setDataAreaEnabled(!frequency);
    if (frequency) {
        std::string bit;
        cmbFrequencyGateTime->setCurrentIndex(m->GetFormatBit2(bit) && bit == "1" ? 1 : 0);
    } else {
        // A gate that cannot be read shows none, so the next Update does not overwrite it.
        std::string gate;
        const bool read = m->ReadGateMode(gate);
        const int index = !read ? -1 : gate == "0" ? 0 : gate == "1" ? 1 : gate == "2" ? 2 : -1;
        cmbCntEnableGate->setCurrentIndex(index);
        if (index < 0) setStatus(kGeneralFail);
    }
    showGateRows(frequency);
    repaint();
}

void CounterPage::RefreshFilterSetting() {
    odel::Module7320* m = module_.get();
    std::string signal;
    if (!m || !m->ReadInputMode(signal) || (signal != "0" && signal != "1")) {
        setStatus(kGeneralFail);
        return;
    }
    cmbInputSignal->setCurrentIndex(signal == "1" ? 1 : 0);
    const bool counting = keptType_ == "50";
    if (counting) {
        std::string flag, high, low;
        QString highText, lowText;
        if (!m->ReadFilterEnable(flag) || flag.empty() || !m->ReadMinWidthHigh(high) ||
            !m->ReadMinWidthLow(low) || !counter::decimalText(high, highText) ||
            !counter::decimalText(low, lowText)) {
            setStatus(kGeneralFail);
            return;
        }
        chkFilterState->setChecked(flag[0] != '0');
        edtHighLevelWidth->setText(highText);
        edtLowLevelWidth->setText(lowText);
    }
    setFilterControlsEnabled(counting);
    const bool ttl = signal == "0";
    if (!ttl) {
        for (QWidget* w : voltRow_) w->setEnabled(false);
    } else {
        std::string high, low;
        QString highText, lowText;
        // Levels that cannot be read keep the state they had (disabled until first read).
        if (!m->ReadTriggerLevelHigh(high) || !m->ReadTriggerLevelLow(low) ||
            !counter::levelText(high, highText) || !counter::levelText(low, lowText)) {
            setStatus(kGeneralFail);
        } else {
            edtHighLevelVolt->setText(highText);
            edtLowLevelVolt->setText(lowText);
            for (QWidget* w : voltRow_) w->setEnabled(true);
        }
    }
    btFilterUpdate->setEnabled(!(keptType_ == "51" && !ttl));
}

void CounterPage::tmrUpdateCounterDataTimer() {
    RefreshCounterData();
    RefreshDOStatus();
    repaint();
}

void CounterPage::RefreshCounterData() {
    heartbeat = !heartbeat;
    odel::Module7320* m = module_.get();
    if (!m) return;
    for (int n = 0; n < 2; ++n) {
        std::string value;
        QString text;
        if (!m->ReadCounter(n, value) || !counter::hexToCount(value, text)) {
            showHeartbeat(false);
            setStatus(kPollFail);
            return;
        }
        edtCntVal[n]->setText(text);
        showHeartbeat(true);
        setStatus("Polling Counter Data....  ");
        if (keptType_.isEmpty()) return;
        if (keptType_ == "51") continue;
        std::string flag, state;
        if (!m->ReadCounterFlag(n, flag) || !m->ReadCounterState(n, state) || flag.empty() ||
            state.empty()) {
            setStatus(kPollFail);
            continue;
        }
        // The caption tells the state: "Start" while the counter runs; the tip says what a click
        // does.
        const bool running = state[0] == '1';
        btCNStart[n]->setText(running ? "Start" : "Stop");
        btCNStart[n]->setToolTip(
            QString("Start/Stop Counter%1\n").arg(n) +
            (running ? "Running — click to stop" : "Stopped — click to start"));
        lampOverflow[n]->setOn(flag[0] == '1');
    }
}

void CounterPage::RefreshDOStatus() {
    if (keptType_.isEmpty() || keptType_ == "51" || !module_) return;
    std::string state, outputs;
    int flags = -1, bits = -1;
    if (!module_->ReadAlarmOutputs(state, outputs) || (flags = counter::hexDigit(state)) < 0 ||
        (bits = counter::outputBits(outputs)) < 0 || !ShowDOStatus(flags, bits))
        setStatus(kPollFail);
}

bool CounterPage::ShowDOStatus(int alarmFlags, int outputs) {
    for (int k = 0; k < 2; ++k) {
        btDO[k]->setOn(outputs & (1 << k));
        labCNAlarmMode[k]->setText(alarmFlags & (1 << k) ? "Alarm Mode" : "Normal Mode");
    }
    return true;
}

// ---- data area clicks ----

void CounterPage::ToggleDO(int k) {
    if (!writeToggledOutput({btDO[0], btDO[1]}, k, [this](const std::vector<bool>& on) {
            const int value = (on[1] ? 2 : 0) + (on[0] ? 1 : 0);
            return module_->SetDigitalOutput(QString::asprintf("0%X", value).toStdString());
        }))
        dialogs().error("Write Digital Output Failed!!");
}

void CounterPage::DOClick(int k) {
    stopPolling();
    ToggleDO(k);
    pause(300);
    RefreshDOStatus();
    startPolling();
}

void CounterPage::StartClick(int n) {
    stopPolling();
    // "Start" is shown while the counter runs: the click stops it; any other caption starts it.
    const bool stop = btCNStart[n]->text() == "Start";
    if (!module_->SetCounterState(n, stop ? "0" : "1"))
        dialogs().error("Change Counter State Error!!");
    pause(200);
    RefreshCounterData();
    startPolling();
}

void CounterPage::ResetClick(int n) {
    stopPolling();
    if (!module_->ClearCounter(n)) dialogs().error("Clear Counter Error!!");
    startPolling();
}

void CounterPage::PageControlChange() {
    stopPolling();
    RefreshGeneralSetting();
    RefreshFilterSetting();
    RefreshCounterSetting(0);
    RefreshCounterSetting(1);
    startPolling();
}

void CounterPage::RunCounterUpdate(int n) {
    stopPolling();
    UpdateCounterSetting(n);
    startPolling();
}

// ---- general Update ----

void CounterPage::StageInitSettings() {
    odel::Module7320* m = module_.get();
    if (general()->cmbBaudRate->currentIndex() >= 0)
        m->SetBaudCode(hex2(general()->cmbBaudRate->currentIndex() + 3).toStdString());
    m->SetChecksumBit(general()->chkCheckSum->isChecked() ? "1" : "0");
    StageNormalSettings();
}

void CounterPage::StageNormalSettings() {
    odel::Module7320* m = module_.get();
    const int range = cmbTypeChangeAllCh->currentIndex();
    if (range < 0) return;  // neither mode chosen: the module keeps its own type code
    m->SetTypeCode(hex2(TypeCodeOfIndex(range)).toStdString());
    if (range == 1) m->SetFormatBit2(cmbFrequencyGateTime->currentIndex() == 1 ? "1" : "0");
}

void CounterPage::DelayForChangeType() {
    pause(1000);
}

void CounterPage::FinishUpdate(bool done) {
    bool ok = done;
    const int gate = cmbCntEnableGate->currentIndex();
    if (done && cmbTypeChangeAllCh->currentIndex() == 0 && gate >= 0) {
        if (!module_->SetGateMode(std::to_string(gate))) {
            dialogs().error("Update failed!");
            ok = false;
        }
    }
    pause(100);
    // Read back after every outcome, so the page shows the mode the module really has.
    RefreshGeneralSetting();
    RefreshFilterSetting();
    RefreshCounterSetting(0);
    RefreshCounterSetting(1);
    if (ok) dialogs().information(GeneralSuccessText());
    generalOk_ = ok;
}

// ---- input signal and filter ----

bool CounterPage::UpdateInputSignal() {
    stopPolling();
    const int index = cmbInputSignal->currentIndex();
    bool ok = false;
    if (index < 0) {
        dialogs().error("Write Input Mode error!");  // nothing chosen: nothing to write
    } else if (module_->SetInputMode(index == 1 ? "1" : "0")) {
        ok = true;
        dialogs().information("Write Input Mode success!");
    } else {
        dialogs().error("Write Input Mode error!");
    }
    RefreshFilterSetting();
    startPolling();
    return ok;
}

bool CounterPage::UpdateFilterSetting(bool widthPart, bool levelPart) {
    stopPolling();
    std::string signal;
    if (!module_->ReadInputMode(signal) || (signal != "0" && signal != "1")) {
        setStatus("Fail to fresh filter setting data!");
        RefreshFilterSetting();
        startPolling();
        return false;
    }
    cmbInputSignal->setCurrentIndex(signal == "1" ? 1 : 0);
    // Only values read from the module or typed are written: a width or level whose edit was
    // never filled by a read stays disabled and is not sent.
    const bool ttl = levelPart && signal == "0" && edtHighLevelVolt->isEnabled();
    const bool widths = widthPart && keptType_ == "50" && chkFilterState->isEnabled();
    const std::string filter = chkFilterState->isChecked() ? "1" : "0";
    const std::string high = counter::widthDigits(edtHighLevelWidth);
    const std::string low = counter::widthDigits(edtLowLevelWidth);
    // Levels that are no number refuse the Update before anything is written.
    std::string highLevel, lowLevel;
    bool failed = false;
    if (ttl && !counter::levelDigits(edtHighLevelVolt, highLevel)) {
        dialogs().error("Write Non-isolated High Trigger Level Error!");
        failed = true;
    } else if (ttl && !counter::levelDigits(edtLowLevelVolt, lowLevel)) {
        dialogs().error("Write Non-isolated Low Trigger Level Error!");
        failed = true;
    }
    int written = 0;
    // A failed write skips the later ones; their pauses still run.
    auto write = [&](const std::function<bool()>& send, const char* error) {
        if (!failed) {
            if (send())
                ++written;
            else {
                dialogs().error(error);
                failed = true;
            }
        }
        pause(200);
    };
    if (widths) {
        write([&] { return module_->SetFilterEnable(filter); }, "Write Filter Enable Error!");
        write([&] { return module_->SetMinWidthHigh(high); },
              "Write Mininum Input Signal Width at High Level Error!");
        write([&] { return module_->SetMinWidthLow(low); },
              "Write Mininum Input Signal Width at Low Level Error!");
    }
    if (ttl) {
        write([&] { return module_->SetTriggerLevelHigh(highLevel); },
              "Write Non-isolated High Trigger Level Error!");
        write([&] { return module_->SetTriggerLevelLow(lowLevel); },
              "Write Non-isolated Low Trigger Level Error!");
    }
    RefreshFilterSetting();
    // Success only when something was written and accepted.
    if (!failed && written > 0) dialogs().information(FilterSuccessText());
    startPolling();
    return !failed;
}

// ---- settings file ----

void CounterPage::comboLine(ConfSchema& schema, const QString& key, QComboBox* combo) {
    schema.custom(
        key, [combo] { return QString::number(combo->currentIndex()); },
        [combo](const QString& v) {
            static const QRegularExpression re("^-?[0-9]{1,2}$");
            return re.match(v).hasMatch() && v.toInt() >= -1 && v.toInt() < combo->count();
        },
        [this, combo](const QString& v) {
            if (!loadStopped_) combo->setCurrentIndex(v.toInt());
        });
}

void CounterPage::textLine(ConfSchema& schema, const QString& key, QLineEdit* edit,
                           std::function<bool(const QString&)> accept) {
    schema.custom(
        key, [edit] { return edit->text(); }, std::move(accept),
        [this, edit](const QString& v) {
            if (!loadStopped_) edit->setText(v);
        });
}

void CounterPage::flagLine(ConfSchema& schema, const QString& key, QCheckBox* box) {
    schema.custom(
        key, [box] { return QString(box->isChecked() ? "0" : "1"); },
        [](const QString& v) { return v == "0" || v == "1"; },
        [this, box](const QString& v) {
            if (!loadStopped_) box->setChecked(v == "0");
        });
}

void CounterPage::countLine(ConfSchema& schema, const QString& key, QLineEdit* edit) {
    textLine(schema, key, edit, [](const QString& v) {
        std::string hex;
        return counter::countToHex(v, hex);
    });
}

void CounterPage::loadStep(ConfSchema& schema, std::function<bool()> run) {
    schema.step([this, run = std::move(run)] {
        if (!loadStopped_ && !run()) loadStopped_ = true;
    });
}

void CounterPage::BuildConfSchema(ConfSchema& schema) {
    // A line is written only when its control holds a value read from the module (or typed
    // since): the gate of the mode last read, and the groups that are enabled.
    ConfLines lines;
    lines.frequencyGate = keptType_ == "51";
    lines.filter = chkFilterState->isEnabled();
    lines.levels = edtHighLevelVolt->isEnabled();
    lines.counter = {counterGroupEnabled(0), counterGroupEnabled(1)};
    BuildLines(schema, lines);
}

void CounterPage::BuildLoadSchema(ConfSchema& schema, const QByteArray& content) {
    // The optional groups a file holds are those it has lines of, whatever the page shows now.
    const auto has = [&content](const char* key) {
        return !ConfSchema::valueIn(content, key).isNull();
    };
    ConfLines lines;
    lines.frequencyGate = has("Frequency Gate Time");
    lines.filter = has("Filter State");
    lines.levels = has("High Level Volt");
    lines.counter = {has("CN0 Max Cnt"), has("CN1 Max Cnt")};
    BuildLines(schema, lines);
}

void CounterPage::BuildLines(ConfSchema& schema, const ConfLines& lines) {
    auto* g = general();
    loadStep(schema, [this] {
        loadStopped_ = false;
        return true;
    });
    schema.readOnly(
        "BaudRate", [g] { return QString::number(g->cmbBaudRate->currentIndex()); },
        [](const QString& v) {
            static const QRegularExpression re("^-?[0-9]{1,2}$");
            return re.match(v).hasMatch() && v.toInt() >= -1 && v.toInt() <= 7;
        });
    schema.clearedFlag("checkSum", g->chkCheckSum);
    comboLine(schema, "Input Range", cmbTypeChangeAllCh);
    if (lines.frequencyGate)
        comboLine(schema, "Frequency Gate Time", cmbFrequencyGateTime);
    else
        comboLine(schema, "Counter Enable Gate", cmbCntEnableGate);
    loadStep(schema, [this] {
        generalOk_ = false;
        btSystemUpdateClick();
        return generalOk_;
    });
    comboLine(schema, "Input Signal", cmbInputSignal);
    loadStep(schema, [this] { return UpdateInputSignal(); });
    const auto width = [](const QString& v) {
        static const QRegularExpression re("^[0-9]{0,5}$");
        return re.match(v).hasMatch();
    };
    const auto level = [](const QString& v) {
        static const QRegularExpression re("^[0-9.]{0,6}$");
        return re.match(v).hasMatch();
    };
    if (lines.filter) {
        flagLine(schema, "Filter State", chkFilterState);
        textLine(schema, "High Level Width", edtHighLevelWidth, width);
        textLine(schema, "Low Level Width", edtLowLevelWidth, width);
    }
    if (lines.levels) {
        textLine(schema, "High Level Volt", edtHighLevelVolt, level);
        textLine(schema, "Low Level Volt", edtLowLevelVolt, level);
    }
    // The filter Update of a load writes only the parts the file holds.
    if (lines.filter || lines.levels)
        loadStep(schema, [this, lines] {
            return !btFilterUpdate->isEnabled() || UpdateFilterSetting(lines.filter, lines.levels);
        });
    CounterConfLines(schema, lines.counter);
}

}  // namespace odel::ui

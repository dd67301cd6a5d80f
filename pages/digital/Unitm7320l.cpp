#include "pages/digital/Unitm7320l.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <functional>

#include "device/Counter.h"
#include "pages/digital/CounterFields.h"
#include "pages/frame/ConfFile.h"
#include "pages/frame/Dialogs.h"
#include "pages/frame/Lamp.h"
#include "pages/frame/Pause.h"
#include "pages/frame/Widgets.h"

namespace odel::ui {

TfrmM7320L::TfrmM7320L(QWidget* parent) : CounterPage("gbOdl7320L", " ODEL-7320L  ", parent) {
    setObjectName("TfrmM7320L");
    buildPage();
}

odel::Module7320L* TfrmM7320L::displayModule() const {
    return static_cast<odel::Module7320L*>(module());
}

std::unique_ptr<odel::Module7320> TfrmM7320L::createModule(odel::SerialPort* link,
                                                           const std::string& address) {
    return std::make_unique<odel::Module7320L>(link, address);
}

void TfrmM7320L::buildCounterTab(QVBoxLayout* tab) {
    auto rows = [](QGroupBox* group, std::initializer_list<std::pair<const char*, QWidget*>> list,
                   QPushButton* update) {
        auto* grid = new QGridLayout(group);
        int r = 0;
        QLabel* last = nullptr;
        for (const auto& [label, field] : list) {
            last = new QLabel(label, group);
            last->setBuddy(field);
            grid->addWidget(last, r, 0);
            grid->addWidget(field, r++, 1, Qt::AlignLeft);
        }
        grid->addWidget(update, r, 0, 1, 3, Qt::AlignRight);
        grid->setColumnStretch(2, 1);
        return last;
    };
    auto button = [this](const char* name, QWidget* parent, std::function<void()> run) {
        auto* b = makeButton(name, "&Update", parent);
        connect(b, &QPushButton::clicked, this, std::move(run));
        return b;
    };

    gbCN0Status = new QGroupBox(" Counter 0 Status ");
    gbCN0Status->setObjectName("gbCN0Status");
    edtCN0HighAlarmValue = makeCountEdit("edtCN0HighAlarmValue", 0, gbCN0Status);
    edtCN0LowAlarmValue = makeCountEdit("edtCN0LowAlarmValue", 0, gbCN0Status);
    cmbAlarmType = new QComboBox(gbCN0Status);
    cmbAlarmType->setObjectName("cmbAlarmType");
    cmbAlarmType->addItems({"disable", "MOMENTARY", "LATCH"});
    cmbAlarmType->setCurrentIndex(-1);
    edtCN0MaxCnt = makeCountEdit("edtCN0MaxCnt", 0, gbCN0Status);
    btCN0StatusUpdate = button("btCN0StatusUpdate", gbCN0Status, [this] { RunCounterUpdate(0); });
    rows(gbCN0Status,
         {{"High Alarm Value :", edtCN0HighAlarmValue},
          {"Low Alarm Value :", edtCN0LowAlarmValue},
          {"Alarm Mode :", cmbAlarmType},
          {"Max. Count :", edtCN0MaxCnt}},
         btCN0StatusUpdate);
    tab->addWidget(gbCN0Status);

    gbCN1Status = new QGroupBox(" Counter 1 Status ");
    gbCN1Status->setObjectName("gbCN1Status");
    edtCN1MaxCnt = makeCountEdit("edtCN1MaxCnt", 1, gbCN1Status);
    btCN1StatusUpdate = button("btCN1StatusUpdate", gbCN1Status, [this] { RunCounterUpdate(1); });
    rows(gbCN1Status, {{"Max. Count :", edtCN1MaxCnt}}, btCN1StatusUpdate);
    tab->addWidget(gbCN1Status);

    auto* led = new QGroupBox(" LED Setting ");
    led->setObjectName("gbLEDSetting");
    cmbLEDDisplaySetting = new QComboBox(led);
    cmbLEDDisplaySetting->setObjectName("cmbLEDDisplaySetting");
    cmbLEDDisplaySetting->addItems({"CH0", "CH1", "External Input"});
    cmbLEDDisplaySetting->setCurrentIndex(-1);
    edtLEDValue = new QLineEdit("0.0", led);
    edtLEDValue->setObjectName("edtLEDValue");
    edtLEDValue->setFixedWidth(90);
    edtLEDValue->setMaxLength(10);
    edtLEDValue->setValidator(
        new QRegularExpressionValidator(QRegularExpression("[0-9.]*"), edtLEDValue));
    connect(edtLEDValue, &QLineEdit::returnPressed, this, [this] { btUpateLEDSettingClick(); });
    btUpateLEDSetting = button("btUpateLEDSetting", led, [this] { btUpateLEDSettingClick(); });
    labLEDValue_ =
        rows(led, {{"Display Channel :", cmbLEDDisplaySetting}, {"LED Value :", edtLEDValue}},
             btUpateLEDSetting);
    tab->addWidget(led);
}

// ---- counter settings ----

void TfrmM7320L::RefreshCounterSetting(int n) {
    if (keptTypeCode().isEmpty()) return;
    if (keptTypeCode() == "51") {
        setCounterGroupsEnabled(false);
        return;
    }
    odel::Module7320L* m = displayModule();
    std::string max;
    QString maxText;
    // A group keeps its state when a value cannot be read: disabled while it was never read.
    if (!m->ReadMaxCount(n, max) || !counter::hexToCount(max, maxText)) {
        setStatus("Fail to fresh general setting data!");
        return;
    }
    if (n == 1) {
        edtCN1MaxCnt->setText(maxText);
        setCounterGroupEnabled(1, true);
        return;
    }
    std::string state, outputs, high, low;
    QString highText, lowText;
    int type = -1;
    const bool typeRead = m->ReadAlarmOutputs(state, outputs);
    const bool highRead = m->ReadHighAlarmLimit(high) && counter::hexToCount(high, highText);
    const bool lowRead = m->ReadLowAlarmLimit(low) && counter::hexToCount(low, lowText);
    // An alarm type that cannot be read, or above 2 (no type this module has), is unknown: no
    // selection, so the Update writes none, while the counts that were read are still shown.
    if (typeRead && ((type = counter::hexDigit(state)) < 0 || type > 2)) type = -1;
    if (!typeRead || type < 0 || !highRead || !lowRead)
        setStatus("Fail to fresh general setting data!");
    edtCN0MaxCnt->setText(maxText);
    if (highRead) edtCN0HighAlarmValue->setText(highText);
    if (lowRead) edtCN0LowAlarmValue->setText(lowText);
    cmbAlarmType->setCurrentIndex(type);
    // The Update writes all three counts: the group lives once each of them was read.
    if (highRead && lowRead) setCounterGroupEnabled(0, true);
}

bool TfrmM7320L::UpdateCounterSetting(int n) {
    odel::Module7320L* m = displayModule();
    std::string max, high, low;
    // Every count is checked before the first write, so a refused one sends nothing.
    if (!counter::countToHex((n == 0 ? edtCN0MaxCnt : edtCN1MaxCnt)->text(), max) ||
        (n == 0 && (!counter::countToHex(edtCN0HighAlarmValue->text(), high) ||
                    !counter::countToHex(edtCN0LowAlarmValue->text(), low)))) {
        dialogs().error("The count must be between 0 and 4294967295!");
        return false;
    }
    bool failed = false;
    // A failed write skips the later ones of the Update; their pauses still run.
    auto step = [&](const std::function<bool()>& send, const char* error) {
        if (!failed && !send()) {
            dialogs().error(error);
            failed = true;
        }
        pause(300);
    };
    if (n == 0) {
        step([&] { return m->SetHighAlarmLimit(high); }, "Write High Alarm Limit Value Error!");
        step([&] { return m->SetLowAlarmLimit(low); }, "Write Low Alarm Limit Value Error!");
        const int type = cmbAlarmType->currentIndex();
        // No type chosen (a status word that could not be read) writes none.
        if (type > 0)
            step([&] { return m->EnableAlarm(std::string(type == 1 ? "M" : "L")); },
                 "Enable Alarm Error!");
        else if (type == 0)
            step([&] { return m->DisableAlarm(); }, "Disable Alarm Error!");
        else
            pause(300);
    }
    step([&] { return m->SetMaxCount(n, max); }, "Write Max Value Error!");
    RefreshCounterSetting(n);
    if (!failed) dialogs().information("Update Counter Status success!");
    return !failed;
}

// ---- outputs ----

bool TfrmM7320L::ShowDOStatus(int alarmFlags, int outputs) {
    if (alarmFlags > 2) return false;
    for (int k = 0; k < 2; ++k) btDO[k]->setOn(outputs & (1 << k));
    if (alarmFlags == 0) {
        labCNAlarmMode[0]->setText("Normal Mode");
        labCNAlarmMode[1]->setText("Normal Mode");
        btDO[0]->setToolTip("Director DO0 output");
        btDO[1]->setToolTip("Director DO1 output");
    } else {
        labCNAlarmMode[0]->setText("High Alarm");
        labCNAlarmMode[1]->setText("Low Alarm");
        btDO[0]->setToolTip("Clear Latch");
        btDO[1]->setToolTip("Clear Latch");
    }
    return true;
}

void TfrmM7320L::DOClick(int k) {
    stopPolling();
    // With an alarm type set the outputs are alarm outputs: a click clears their latch.
    if (labCNAlarmMode[0]->text() == "High Alarm" && labCNAlarmMode[1]->text() == "Low Alarm") {
        // The lamps go dark only when the module took the clear.
        if (displayModule()->ClearAlarmLatch()) {
            btDO[0]->setOn(false);
            btDO[1]->setOn(false);
        } else {
            dialogs().error("Clear Latch Alarm Failed!!");
        }
    } else {
        ToggleDO(k);
    }
    pause(300);
    RefreshDOStatus();
    startPolling();
}

// ---- display ----

void TfrmM7320L::RefreshLEDSetting() {
    std::string source;
    // A source that cannot be read keeps the selection shown (none at start).
    if (!displayModule()->ReadLedSource(source)) {
        dialogs().error("Read LED Data Origin Error!!");
        return;
    }
    pause(100);
    const int index =
        source.size() == 1 && source[0] >= '0' && source[0] <= '2' ? source[0] - '0' : -1;
    cmbLEDDisplaySetting->setCurrentIndex(index);
    edtLEDValue->setEnabled(index == 2);
    labLEDValue_->setEnabled(index == 2);
}

bool TfrmM7320L::UpdateLEDSetting(bool writeValue) {
    stopPolling();
    bool failed = false;
    const int index = cmbLEDDisplaySetting->currentIndex();
    if (index < 0 || !displayModule()->SetLedSource(std::to_string(index))) {
        dialogs().error("Select LED Data Origin Error!!");
        failed = true;
    }
    if (index >= 0) {
        pause(200);
        RefreshLEDSetting();
        pause(200);
    }
    if (writeValue && cmbLEDDisplaySetting->currentIndex() == 2) {
        std::string digits;
        if (!counter::ledDigits(edtLEDValue, digits)) {
            if (!failed) dialogs().error("Write LED Data Error!!");
            failed = true;
        } else if (!failed && !displayModule()->WriteLedData(digits)) {
            dialogs().error("Write LED Data Error!!");
            failed = true;
        }
        pause(200);
        RefreshLEDSetting();
    }
    if (!failed) dialogs().information("Update LED Setting Success!");
    startPolling();
    return !failed;
}

void TfrmM7320L::PageControlChange() {
    CounterPage::PageControlChange();
    stopPolling();
    RefreshLEDSetting();
    startPolling();
}

// ---- settings file ----

void TfrmM7320L::CounterConfLines(ConfSchema& schema, const std::array<bool, 2>& counter) {
    if (counter[0]) {
        countLine(schema, "CN0 Max Cnt", edtCN0MaxCnt);
        comboLine(schema, "Alarm Type", cmbAlarmType);
        countLine(schema, "CN0 High Alarm Value", edtCN0HighAlarmValue);
        countLine(schema, "CN0 Low Alarm Value", edtCN0LowAlarmValue);
        loadStep(schema,
                 [this] { return !btCN0StatusUpdate->isEnabled() || UpdateCounterSetting(0); });
    }
    if (counter[1]) {
        countLine(schema, "CN1 Max Cnt", edtCN1MaxCnt);
        loadStep(schema,
                 [this] { return !btCN1StatusUpdate->isEnabled() || UpdateCounterSetting(1); });
    }
    comboLine(schema, "LED Display Setting", cmbLEDDisplaySetting);
    // A file saved while the source was unknown holds none: loading writes none.
    loadStep(schema, [this] {
        return cmbLEDDisplaySetting->currentIndex() < 0 || UpdateLEDSetting(false);
    });
}

}  // namespace odel::ui

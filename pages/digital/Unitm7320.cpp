#include "pages/digital/Unitm7320.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "device/Counter.h"
#include "pages/digital/CounterFields.h"
#include "pages/frame/Dialogs.h"
#include "pages/frame/Lamp.h"
#include "pages/frame/Pause.h"

namespace odel::ui {

TfrmM7320::TfrmM7320(QWidget* parent) : CounterPage("gbOdl7320", " ODEL-7320  ", parent) {
    setObjectName("TfrmM7320");
    buildPage();
    btDO[0]->setToolTip("Director DO0 Output");
    btDO[1]->setToolTip("Director DO0 Output");
}

std::unique_ptr<odel::Module7320> TfrmM7320::createModule(odel::SerialPort* link,
                                                          const std::string& address) {
    return std::make_unique<odel::Module7320>(link, address);
}

void TfrmM7320::buildCounterTab(QVBoxLayout* tab) {
    for (int n = 0; n < 2; ++n) {
        auto* group = new QGroupBox(QString(" Counter %1 Status ").arg(n));
        group->setObjectName(QString("gbCN%1Status").arg(n));
        auto* grid = new QGridLayout(group);
        const QString cn = QString("edtCN%1").arg(n);
        edtCNMaxCnt[n] = makeCountEdit(cn + "MaxCnt", n, group);
        chkCNPresetModeEnable[n] = new QCheckBox("Enable", group);
        chkCNPresetModeEnable[n]->setObjectName(QString("chkCN%1PresetModeEnable").arg(n));
        edtCNPresetCnt[n] = makeCountEdit(cn + "PresetCnt", n, group);
        edtCNInitialCnt[n] = makeCountEdit(cn + "InitialCnt", n, group);
        const std::pair<const char*, QWidget*> rows[] = {
            {"Max. Count :", edtCNMaxCnt[n]},
            {"Preset Mode :", chkCNPresetModeEnable[n]},
            {"Preset Value :", edtCNPresetCnt[n]},
            {"Initial Value :", edtCNInitialCnt[n]}};
        int r = 0;
        for (const auto& [label, field] : rows) {
            auto* l = new QLabel(label, group);
            l->setBuddy(field);
            grid->addWidget(l, r, 0);
            grid->addWidget(field, r++, 1);
        }
        btCNStatusUpdate[n] = new QPushButton("&Update", group);
        btCNStatusUpdate[n]->setObjectName(QString("btCN%1StatusUpdate").arg(n));
        connect(btCNStatusUpdate[n], &QPushButton::clicked, this,
                [this, n] { RunCounterUpdate(n); });
        grid->addWidget(btCNStatusUpdate[n], r, 0, 1, 3, Qt::AlignRight);
        grid->setColumnStretch(2, 1);
        tab->addWidget(group);
        (n ? gbCN1Status : gbCN0Status) = group;
    }
}

void TfrmM7320::RefreshCounterSetting(int n) {
    if (keptTypeCode().isEmpty()) return;
    if (keptTypeCode() == "51") {
        setCounterGroupsEnabled(false);
        return;
    }
    odel::Module7320* m = module();
    std::string max, initial, state, outputs, preset;
    QString maxText, initialText, presetText;
    int flags = -1;
    if (!m->ReadMaxCount(n, max) || !m->ReadAlarmValue(n, initial) ||
        !m->ReadAlarmOutputs(state, outputs) || !m->ReadAlarmLimit(n, preset) ||
        !counter::hexToCount(max, maxText) || !counter::hexToCount(initial, initialText) ||
        !counter::hexToCount(preset, presetText) || (flags = counter::hexDigit(state)) < 0) {
        // The group keeps its state: disabled while its values were never read.
        setStatus("Fail to fresh general setting data!");
        return;
    }
    setCounterGroupEnabled(n, true);
    edtCNMaxCnt[n]->setText(maxText);
    edtCNPresetCnt[n]->setText(presetText);
    edtCNInitialCnt[n]->setText(initialText);
    chkCNPresetModeEnable[n]->setChecked(flags & (1 << n));
}

bool TfrmM7320::UpdateCounterSetting(int n) {
    odel::Module7320* m = module();
    std::string max, initial, preset;
    // Every count is checked before the first write, so a refused one sends nothing.
    if (!counter::countToHex(edtCNMaxCnt[n]->text(), max) ||
        !counter::countToHex(edtCNInitialCnt[n]->text(), initial) ||
        !counter::countToHex(edtCNPresetCnt[n]->text(), preset)) {
        dialogs().error("The count must be between 0 and 4294967295!");
        return false;
    }
    bool failed = false;
    auto step = [&](bool sent, const char* error) {
        if (!sent) {
            dialogs().error(error);
            failed = true;
        }
    };
    if (chkCNPresetModeEnable[n]->isChecked())
        step(m->EnableAlarm(n), "Enable Alarm Error!");
    else
        step(m->DisableAlarm(n), "Disable Alarm Error!");
    pause(100);
    if (!failed) step(m->SetMaxCount(n, max), "Write Max Value Error!");
    pause(100);
    if (!failed) step(m->SetAlarmValue(n, initial), "Write Initial Value Error!");
    pause(100);
    // Counter 0's preset is "@AAPA", counter 1's "@AASA".
    if (!failed) step(m->SetAlarmLimit(n, preset), "Write Alarm Limit Value Error!");
    pause(100);
    RefreshCounterSetting(n);
    if (!failed) dialogs().information("Update success!");
    return !failed;
}

void TfrmM7320::CounterConfLines(ConfSchema& schema, const std::array<bool, 2>& counter) {
    for (int n = 0; n < 2; ++n) {
        if (!counter[n]) continue;
        const QString cn = QString("CN%1 ").arg(n);
        countLine(schema, cn + "Max Cnt", edtCNMaxCnt[n]);
        flagLine(schema, cn + "Preset Mode Enable", chkCNPresetModeEnable[n]);
        countLine(schema, cn + "Preset Cnt", edtCNPresetCnt[n]);
        countLine(schema, cn + "Initial Cnt", edtCNInitialCnt[n]);
        loadStep(schema, [this, n] {
            return !btCNStatusUpdate[n]->isEnabled() || UpdateCounterSetting(n);
        });
    }
}

}  // namespace odel::ui

#include "pages/analog_in/AiChannelGrid.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "pages/frame/Dialogs.h"
#include "pages/frame/Widgets.h"

namespace odel::ui {

void AiChannelGrid::buildChannelGrid(QWidget* parent, const std::vector<AiRange>& ranges,
                                     const AiGridLook& look, const std::function<void()>& onRefresh,
                                     const std::function<void()>& onUpdate) {
    gbChannelSetup = new QGroupBox(" Channel Setup ", parent);
    gbChannelSetup->setObjectName("gbChannelSetup");
    auto* v = new QVBoxLayout(gbChannelSetup);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(4);
    for (int i = 0; i < look.rows; ++i) {
        auto* chk = new QCheckBox(QString("CH%1").arg(i), gbChannelSetup);
        chk->setObjectName(QString("chkEnableCh%1").arg(i));
        auto* cmb = new QComboBox(gbChannelSetup);
        cmb->setObjectName(QString("cmbTypeChangeCh%1").arg(i));
        for (const auto& r : ranges) cmb->addItem(r.item);
        cmb->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        auto* val = new QLineEdit(gbChannelSetup);
        val->setObjectName(QString("edtAIValCh%1").arg(i));
        val->setReadOnly(true);
        val->setFixedWidth(90);
        auto* unit = new QLabel("mA", gbChannelSetup);
        unit->setObjectName(QString("labAIUnitCh%1").arg(i));
        unit->setMinimumWidth(24);
        grid->addWidget(chk, i, 0);
        grid->addWidget(cmb, i, 1);
        grid->addWidget(val, i, 2);
        grid->addWidget(unit, i, 3);
        chkEnableCh.push_back(chk);
        cmbTypeChangeCh.push_back(cmb);
        edtAIValCh.push_back(val);
        labAIUnitCh.push_back(unit);
        cmb->setVisible(look.rangeLists);
        unit->setVisible(look.units);
        if (look.rangeToolTips) {
            // Long range names: the selected item also shows as the tool tip.
            QObject::connect(cmb, &QComboBox::currentIndexChanged, cmb,
                             [cmb] { cmb->setToolTip(cmb->currentText()); });
        }
        if (i >= look.channels) {
            for (QWidget* w : {static_cast<QWidget*>(chk), static_cast<QWidget*>(cmb),
                               static_cast<QWidget*>(val), static_cast<QWidget*>(unit)}) {
                w->setVisible(false);
                w->setEnabled(false);
            }
        }
    }
    grid->setColumnStretch(4, 1);
    v->addLayout(grid);
    auto* allLabel = new QLabel("For all channels:", gbChannelSetup);
    allLabel->setObjectName("labForAllChannels");
    v->addSpacing(6);
    v->addWidget(allLabel);
    auto* row1 = new QHBoxLayout;
    auto* row2 = new QHBoxLayout;
    auto button = [this](QHBoxLayout* row, const char* name, const char* text,
                         const std::function<void()>& onClick) {
        QPushButton* b = makeButton(name, text, gbChannelSetup);
        b->setMinimumWidth(b->sizeHint().width() + 12);
        QObject::connect(b, &QPushButton::clicked, b, [onClick] { onClick(); });
        row->addWidget(b);
        return b;
    };
    button(row1, "btCheckAll", "&Enable", [this] { btCheckAllClick(); });
    button(row1, "btUncheckAll", "&Disable", [this] { btUncheckAllClick(); });
    btFollowCh0 = button(row1, "btFollowCh0", "&Range follow CH0", [this] { btFollowCh0Click(); });
    btFollowCh0->setVisible(look.rangeLists);
    row1->addStretch(1);
    row2->addStretch(1);
    button(row2, "btRefreshAIStatus", "&Refresh", onRefresh);
    button(row2, look.updateName, "&Update", onUpdate);
    v->addLayout(row1);
    v->addLayout(row2);
    v->addStretch(1);
}

void AiChannelGrid::btCheckAllClick() {
    for (int i = 0; i < ChannelCount(); ++i) chkEnableCh[i]->setChecked(true);
}

void AiChannelGrid::btUncheckAllClick() {
    for (int i = 0; i < ChannelCount(); ++i) chkEnableCh[i]->setChecked(false);
}

void AiChannelGrid::btFollowCh0Click() {
    for (int i = 1; i < ChannelCount(); ++i)
        cmbTypeChangeCh[i]->setCurrentIndex(cmbTypeChangeCh[0]->currentIndex());
}

int AiChannelGrid::EnableMask() const {
    int mask = 0;
    for (int i = 0; i < ChannelCount(); ++i)
        if (chkEnableCh[i]->isChecked()) mask |= 1 << i;
    return mask;
}

void AiChannelGrid::ShowEnableMask(int mask) {
    for (int i = 0; i < ChannelCount(); ++i) chkEnableCh[i]->setChecked(mask & (1 << i));
}

bool AiChannelGrid::UpdateEnableMask() {
    if (!WriteEnableMask(EnableMask())) {
        ShowGridStatus("Fail to change AI status!");
        return false;
    }
    return true;
}

void AiChannelGrid::WriteChannelSetup() {
    bool failed = !UpdateEnableMask();
    for (int i = 0; i < ChannelCount(); ++i) {
        const int code = RangeCodeOfIndex(cmbTypeChangeCh[i]->currentIndex());
        // A channel without a valid selection keeps the module's own range.
        if (code < 0) continue;
        if (!WriteChannelRange(i, code)) {
            ShowGridStatus("Change AI range failed");
            failed = true;
        }
        ChannelDelay();
    }
    if (failed)
        dialogs().error("Error occurred during setup!");
    else
        dialogs().information("Update Channel Setup Success!");
}

}  // namespace odel::ui

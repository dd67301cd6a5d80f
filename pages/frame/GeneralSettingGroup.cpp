#include "pages/frame/GeneralSettingGroup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include "pages/frame/UpDown.h"
#include "pages/frame/Widgets.h"

namespace odel::ui {

bool isShown(const QWidget* w) {
    return w && !w->isHidden();
}


GeneralSettingGroup::GeneralSettingGroup(unsigned rows, QWidget* parent)
    : QGroupBox(" General Setting ", parent) {
    setObjectName("gbGeneralSetting");
    grid_ = new QGridLayout(this);
    grid_->setHorizontalSpacing(8);
    grid_->setVerticalSpacing(6);
    grid_->setColumnStretch(2, 1);

    // Address: decimal edit with its up-down, then the read-only hex field.
    edtAddress_Dec = new QLineEdit("0", this);
    edtAddress_Dec->setObjectName("edtAddress_Dec");
    edtAddress_Dec->setFixedWidth(48);
    UpDownODEL_ID = new UpDown(edtAddress_Dec, 0, 255, this);
    UpDownODEL_ID->setObjectName("UpDownODEL_ID");
    edtAddress_Hex = new QLineEdit(this);
    edtAddress_Hex->setObjectName("edtAddress_Hex");
    edtAddress_Hex->setReadOnly(true);
    edtAddress_Hex->setEnabled(false);
    edtAddress_Hex->setFixedWidth(48);
    auto* address = new QWidget(this);
    address->setObjectName("wAddress");
    auto* ah = new QHBoxLayout(address);
    ah->setContentsMargins(0, 0, 0, 0);
    ah->setSpacing(4);
    ah->addWidget(edtAddress_Dec);
    ah->addWidget(UpDownODEL_ID);
    ah->addWidget(new QLabel("DEC", address));
    ah->addSpacing(10);
    ah->addWidget(edtAddress_Hex);
    ah->addWidget(new QLabel("HEX", address));
    ah->addStretch(1);
    addRow("&Address :", address)->setBuddy(edtAddress_Dec);

    cmbBaudRate = makeList("cmbBaudRate",
                           {"1200 bps", "2400 bps", "4800 bps", "9600 bps", "19.2 kbps",
                            "38.4 kbps", "57.6 kbps", "115.2 kbps"},
                           this);
    addRow("&BaudRate :", cmbBaudRate);

    chkCheckSum = new QCheckBox("Enable", this);
    chkCheckSum->setObjectName("chkCheckSum");
    chkCheckSum->setEnabled(false);
    addRow("&CheckSum :", chkCheckSum);

    edtFirmwareVer = new QLineEdit(this);
    edtFirmwareVer->setObjectName("edtFirmwareVer");
    edtFirmwareVer->setEnabled(false);
    edtFirmwareVer->setFixedWidth(120);
    addRow("Firmware Ver :", edtFirmwareVer);

    cmbDataFormat =
        makeList("cmbDataFormat", {"Engineering Units", "% FSR", "2's Complement of Hex"}, this);
    addRow("&Data Format :", cmbDataFormat);
    setRowVisible(cmbDataFormat, rows & DataFormat);

    cmbIntegrationTime = makeList("cmbIntegrationTime", {"50 ms(60 Hz)", "60 ms(50 Hz)"}, this);
    addRow("Integration Time : ", cmbIntegrationTime);
    setRowVisible(cmbIntegrationTime, rows & IntegrationTime);

    cmbPotocolSelect = makeList("cmbPotocolSelect", {"MERIDOX", "MODBUS"}, this);
    addRow("&Protocol : ", cmbPotocolSelect);
    setRowVisible(cmbPotocolSelect, rows & Protocol);

    // Watchdog time in seconds: digits and a point only, at most five characters.
    edtCommWDT = new QLineEdit(this);
    edtCommWDT->setObjectName("edtCommWDT");
    edtCommWDT->setMaxLength(5);
    edtCommWDT->setToolTip("0.0~999.9");
    edtCommWDT->setFixedWidth(60);
    edtCommWDT->setValidator(
        new QRegularExpressionValidator(QRegularExpression("[0-9.]*"), edtCommWDT));
    auto* wdt = new QWidget(this);
    wdt->setObjectName("wCommWDT");
    auto* wh = new QHBoxLayout(wdt);
    wh->setContentsMargins(0, 0, 0, 0);
    wh->setSpacing(4);
    wh->addWidget(edtCommWDT);
    wh->addWidget(new QLabel("Sec", wdt));
    wh->addStretch(1);
    addRow("Comm. WDT:", wdt)->setBuddy(edtCommWDT);
    setRowVisible(edtCommWDT, rows & CommWDT);

    btSystemUpdate = new QPushButton("&Update", this);
    btSystemUpdate->setObjectName("btSystemUpdate");
    grid_->addWidget(btSystemUpdate, 100, 0, 1, 3, Qt::AlignRight);
    grid_->setRowStretch(99, 1);
}

QLabel* GeneralSettingGroup::addRow(const QString& label, QWidget* field) {
    auto* l = new QLabel(label, this);
    if (field->focusPolicy() != Qt::NoFocus) l->setBuddy(field);
    grid_->addWidget(l, nextRow_, 0, Qt::AlignLeft | Qt::AlignVCenter);
    grid_->addWidget(field, nextRow_, 1, 1, 2, Qt::AlignLeft | Qt::AlignVCenter);
    ++nextRow_;
    return l;
}

QWidget* GeneralSettingGroup::rowWidget(QWidget* field) const {
    // The watchdog edit sits inside its row widget together with its unit.
    if (field == edtCommWDT) return field->parentWidget();
    return field;
}

void GeneralSettingGroup::setRowVisible(QWidget* field, bool visible) {
    QWidget* w = rowWidget(field);
    const int index = grid_->indexOf(w);
    if (index < 0) return;
    int row = 0, col = 0, rs = 0, cs = 0;
    grid_->getItemPosition(index, &row, &col, &rs, &cs);
    for (int c = 0; c < 3; ++c)
        if (auto* item = grid_->itemAtPosition(row, c); item && item->widget())
            item->widget()->setHidden(!visible);
    // The field itself keeps the visible flag, so savers can ask the control.
    field->setHidden(!visible);
}

void GeneralSettingGroup::setDataFormatItems(const QStringList& items) {
    cmbDataFormat->clear();
    cmbDataFormat->addItems(items);
}

}  // namespace odel::ui

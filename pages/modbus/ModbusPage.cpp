#include "pages/modbus/ModbusPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include "device/ModbusMaster.h"
#include "device/ModuleBase.h"
#include "device/SerialPort.h"
#include "pages/frame/GeneralSettingGroup.h"
#include "pages/frame/Lamp.h"
#include "pages/frame/UpDown.h"

namespace odel::ui {

int modbusSlave(const QString& addressText) {
    if (addressText.size() != 2) return 0;
    bool ok = false;
    const int n = addressText.toInt(&ok, 16);
    return ok && n >= 1 && n <= 255 ? n : 0;
}

ModbusPage::ModbusPage(const QString& groupName, const QString& caption, const QString& formCaption,
                       QWidget* parent)
    : PageFrame(groupName, caption, GeneralSettingGroup::Protocol, parent) {
    setWindowTitle(formCaption);
    GeneralSettingGroup* g = general();
    g->edtAddress_Dec->setReadOnly(true);
    for (QWidget* w :
         std::initializer_list<QWidget*>{g->edtAddress_Dec, g->UpDownODEL_ID, g->cmbBaudRate,
                                         g->chkCheckSum, g->cmbPotocolSelect, g->btSystemUpdate})
        w->setEnabled(false);
    g->chkCheckSum->setText("Not available");
    g->btSystemUpdate->setText("&System Update");
    for (QLabel* l : g->findChildren<QLabel*>())
        if (l->buddy() == g->cmbPotocolSelect) l->setText("Procotol : ");
}

ModbusPage::~ModbusPage() {
    stopPolling();
}

void ModbusPage::beginModbus(const QString& addressText, StatusPanels* statusBar,
                             QTreeWidget* treeView, std::unique_ptr<odel::ModuleBase> module) {
    beginInit(addressText, statusBar, treeView);
    InitMode = false;  // a Modbus module is never reached in INIT state
    slave_ = modbusSlave(addressText);
    module_ = std::move(module);
}

void ModbusPage::startModbusPolling(const std::function<void()>& tick) {
    odel::SerialPort* port = module_ ? module_->GetPort() : nullptr;
    if (pollTimer()) pollTimer()->setInterval(2 * (port ? port->GetTimeout() : 0) + 500);
    if (slave_ == 0) {
        tick();
        return;
    }
    startPolling();
}

odel::ModbusMaster* ModbusPage::master() const {
    return slave_ != 0 && module_ ? module_->GetModbus() : nullptr;
}

// ---- general settings ----

void ModbusPage::RefreshGeneralSetting() {
    GeneralSettingGroup* g = general();
    g->edtAddress_Hex->setText(slave_ ? QString::asprintf("%02X", slave_) : QString());
    g->edtAddress_Dec->setText(slave_ ? QString::number(slave_) : QString());
    int baud = 0;
    if (odel::SerialPort* port = module_ ? module_->GetPort() : nullptr) {
        std::uint8_t bits, parity, stop;
        port->GetLineSettings(baud, bits, parity, stop);
    }
    static const int rates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    int index = 3;
    for (int i = 0; i < 8; ++i)
        if (rates[i] == baud) index = i;
    g->cmbBaudRate->setCurrentIndex(index);
    RefreshFirmware();
    g->cmbPotocolSelect->setCurrentIndex(1);
}

void ModbusPage::RefreshFirmware() {
    std::vector<int> regs;
    if (readRegisters(213, 1, regs)) showFirmware(regs[0]);
}

void ModbusPage::showFirmware(int reg) {
    general()->edtFirmwareVer->setText(QString::asprintf("%02X.%02X", reg >> 8, reg & 0xFF));
}

// ---- exchanges ----

bool ModbusPage::answerFromSlave() const {
    // The reply text starts with the answering slave's address.
    const std::string& reply = master()->ReplyText();
    return reply.size() >= 2 &&
           reply.compare(0, 2, QString::asprintf("%02X", slave_).toStdString()) == 0;
}

bool ModbusPage::readCoils(int first, int count, std::vector<std::uint8_t>& bytes) {
    odel::ModbusMaster* mb = master();
    if (!mb || !mb->RequestReadCoils(slave_, first, count)) return false;
    std::uint8_t data[odel::ModbusMaster::kReceiveBufferSize];
    int got = 0;
    if (!mb->ReceiveReadCoils(data, sizeof data, got) || !answerFromSlave()) return false;
    const int needed = (count + 7) / 8;
    if (got < needed) return false;
    bytes.assign(data, data + needed);
    return true;
}

bool ModbusPage::readRegisters(int first, int count, std::vector<int>& values) {
    odel::ModbusMaster* mb = master();
    if (!mb || !mb->RequestReadRegisters(slave_, first, count)) return false;
    std::uint8_t data[odel::ModbusMaster::kReceiveBufferSize];
    int got = 0;
    if (!mb->ReceiveReadRegisters(data, sizeof data, got) || !answerFromSlave()) return false;
    if (got < 2 * count) return false;
    values.resize(count);
    for (int i = 0; i < count; ++i) values[i] = data[2 * i] << 8 | data[2 * i + 1];
    return true;
}

bool ModbusPage::writeCoil(int coil, bool on) {
    odel::ModbusMaster* mb = master();
    return mb && mb->RequestWriteCoil(slave_, coil, on) && mb->ReceiveWriteCoil() &&
           answerFromSlave();
}

bool ModbusPage::writeRegister(int reg, int value) {
    odel::ModbusMaster* mb = master();
    return mb && mb->RequestWriteRegister(slave_, reg, value) && mb->ReceiveWriteRegister() &&
           answerFromSlave();
}

// ---- map list ----

void ModbusPage::buildMapList(QWidget* parent, int visibleRows) {
    lstviewModbus = new QTreeWidget(parent);
    lstviewModbus->setObjectName("lstviewModbus");
    lstviewModbus->setHeaderLabels({"Location", "Type", "Value", "Description"});
    lstviewModbus->setRootIsDecorated(false);
    lstviewModbus->setUniformRowHeights(true);
    lstviewModbus->setSelectionMode(QAbstractItemView::NoSelection);
    lstviewModbus->setFocusPolicy(Qt::NoFocus);
    lstviewModbus->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    lstviewModbus->header()->setStretchLastSection(true);
    const int row = lstviewModbus->fontMetrics().height() + 6;
    lstviewModbus->setMinimumSize(300, row * (visibleRows + 1) + 8);
}

void ModbusPage::addMapRow(const QString& location, const QString& type, const QString& value,
                           const QString& description) {
    new QTreeWidgetItem(lstviewModbus, QStringList{location, type, value, description});
}

void ModbusPage::setMapValue(int row, const QString& value) {
    if (QTreeWidgetItem* item = lstviewModbus->topLevelItem(row)) item->setText(2, value);
}

QString ModbusPage::mapValue(int row) const {
    QTreeWidgetItem* item = lstviewModbus->topLevelItem(row);
    return item ? item->text(2) : QString();
}

QString ModbusPage::coilLocation(int coil) {
    return QString::asprintf("%05d", coil);
}

QString ModbusPage::registerLocation(int reg) {
    return QString::asprintf("%05d", 40000 + reg);
}

std::vector<Lamp*> ModbusPage::makeLamps(QWidget* parent, const QString& prefix,
                                         const QString& caption, int count, int first) {
    std::vector<Lamp*> lamps;
    for (int i = 0; i < count; ++i)
        lamps.push_back(new Lamp(prefix + QString::number(first + i),
                                 caption + QString::number(first + i), i, parent));
    return lamps;
}

}  // namespace odel::ui

#include "pages/modbus/Unitm7385mod.h"

#include <QGroupBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "device/Digital.h"
#include "pages/frame/Lamp.h"
#include "pages/frame/Widgets.h"

namespace odel::ui {

TfrmM7385Mod::TfrmM7385Mod(QWidget* parent)
    : TfrmM7385Mod("gbOdl7385Mod", " ODEL-7385 ModBus ", "ODEL-7385 (Modbus)", parent) {}

TfrmM7385Mod::TfrmM7385Mod(const QString& groupName, const QString& caption,
                           const QString& formCaption, QWidget* parent)
    : ModbusPage(groupName, caption, formCaption, parent) {
    setObjectName("TfrmM" + groupName.mid(5));
    buildPage();
    createPollTimer("tmrUpdateDIData", [this] { tmrUpdateDIDataTimer(); });
}

void TfrmM7385Mod::buildPage() {
    gbDataArea = new QGroupBox(" Data Area ", outerGroup());
    gbDataArea->setObjectName("gbDataArea");
    auto* area = new QVBoxLayout(gbDataArea);
    auto group = [this, area](const char* name, const QString& title, const QString& lampName,
                              const QString& lampCaption, std::vector<Lamp*>& lamps,
                              QLineEdit*& hex, const char* hexName) {
        auto* g = new QGroupBox(title, gbDataArea);
        g->setObjectName(name);
        // Two rows of four lamps, so the page fits beside the tree in the main window.
        auto* rows = new QGridLayout(g);
        rows->setSpacing(4);
        lamps = makeLamps(g, lampName, lampCaption, 8);
        for (int i = 0; i < static_cast<int>(lamps.size()); ++i)
            rows->addWidget(lamps[i], i / 4, i % 4);
        hex = makeReadOnlyEdit(hexName, {}, g);
        hex->setFixedWidth(56);
        rows->setColumnMinimumWidth(4, 4);
        rows->addWidget(hex, 0, 5, 2, 1, Qt::AlignVCenter);
        rows->setColumnStretch(6, 1);
        area->addWidget(g);
        return g;
    };
    gbDO =
        group("gbDO", "Digital Output(Hex)", "bitbtnDO", "DO ", bitbtnDO, edtDO_Hex, "edtDO_Hex");
    gbDI = group("gbDI", "Digital Input(Hex)", "bitbtnDI", "DI ", bitbtnDI, edtDI_Hex, "edtDI_Hex");
    area->addStretch(1);
    for (Lamp* l : bitbtnDO)
        connect(l, &Lamp::clicked, this, [this, l] { bitbtnDO0Click(l->tag()); });
    leftColumn()->addWidget(gbDataArea);
    leftColumn()->addStretch(1);

    auto* mapping = new QGroupBox(" Modbus Mapping ", outerGroup());
    mapping->setObjectName("gbModbusMapping");
    auto* v = new QVBoxLayout(mapping);
    buildMapList(mapping, 16);
    v->addWidget(lstviewModbus);
    rightColumn()->addWidget(mapping);
    rightColumn()->addStretch(1);
}

void TfrmM7385Mod::InitModule(odel::SerialPort* link, const QString& addressText,
                              StatusPanels* statusBar, QTreeWidget* treeView) {
    beginModbus(addressText, statusBar, treeView,
                std::make_unique<odel::Module7385>(link, addressText.toStdString()));
    RefreshGeneralSetting();
    BuildMapList();
    startModbusPolling([this] { tmrUpdateDIDataTimer(); });
}

void TfrmM7385Mod::BuildMapList() {
    for (int n = 0; n < 8; ++n)
        addMapRow(coilLocation(1 + n), "Bit", "*", QString::asprintf("DI CH:%02d", n));
    for (int n = 0; n < 8; ++n)
        addMapRow(coilLocation(17 + n), "Bit", "*", QString::asprintf("DO CH:%02d", n));
}

void TfrmM7385Mod::tmrUpdateDIDataTimer() {
    heartbeat = !heartbeat;
    Poll();
}

void TfrmM7385Mod::Poll() {
    report(heartbeat ? pollOutputs() : pollInputs(), "Polling DIO data...",
           "Fail to fresh DIO data!");
}

void TfrmM7385Mod::report(bool ok, const QString& okText, const QString& failText) {
    showHeartbeat(ok);
    setStatus(ok ? okText : failText);
}

void TfrmM7385Mod::showByte(const std::vector<Lamp*>& lamps, int row0, std::uint8_t byte) {
    for (int n = 0; n < 8; ++n) {
        const bool on = byte & (1 << n);
        lamps[n]->setOn(on);
        setMapValue(row0 + n, on ? "1" : "0");
    }
}

bool TfrmM7385Mod::pollOutputs() {
    std::vector<std::uint8_t> bytes;
    if (!readCoils(17, 8, bytes)) return false;
    showByte(bitbtnDO, OutputRow0(), bytes[0]);
    for (int n = 0; n < 8; ++n) outputStates_[n] = bytes[0] & (1 << n);
    outputsKnown_ = true;
    edtDO_Hex->setText(QString::asprintf("0x%02X", bytes[0]));
    return true;
}

bool TfrmM7385Mod::pollInputs() {
    std::vector<std::uint8_t> bytes;
    if (!readCoils(1, 8, bytes)) return false;
    showByte(bitbtnDI, 0, bytes[0]);
    edtDI_Hex->setText(QString::asprintf("0x%02X", bytes[0]));
    return true;
}

void TfrmM7385Mod::bitbtnDO0Click(int channel) {
    if (channel < 0 || channel >= 8) return;
    stopPolling();
    // The toggle needs the output's present state: read it first when no poll has yet.
    if ((outputsKnown_ || pollOutputs()) && writeCoil(17 + channel, !outputStates_[channel])) {
        heartbeat = true;
        Poll();
    } else {
        setStatus("Fail to set DO!");
    }
    if (slave() != 0) startPolling();
}

}  // namespace odel::ui

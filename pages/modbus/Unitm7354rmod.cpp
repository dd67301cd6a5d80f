#include "pages/modbus/Unitm7354rmod.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "device/AnalogInput.h"
#include "pages/frame/Pause.h"

namespace odel::ui {

namespace {
AiModKind kind7354RMod() {
    AiModKind k;
    k.pageName = "TfrmM7354RMod";
    k.groupName = "gbOdl7354R";
    k.caption = " ODEL-7354+ Modbus";
    k.formCaption = "ODEL-7354+ (Modbus)";
    k.ranges = ranges7354R();
    k.scales = {{0x06, -20, 20, 3},   {0x07, 4, 20, 3},     {0x0E, 0, 760, 2},
                {0x0F, 0, 1000, 1},   {0x11, 0, 1000, 1},   {0x10, -100, 400, 2},
                {0x12, 500, 1750, 1}, {0x13, 500, 1750, 1}, {0x14, 500, 1800, 1}};
    return k;
}
}  // namespace

TfrmM7354RMod::TfrmM7354RMod(QWidget* parent) : TfrmM7354RMod(kind7354RMod(), parent) {}

TfrmM7354RMod::TfrmM7354RMod(const AiModKind& kind, QWidget* parent)
    : ModbusPage(kind.groupName, kind.caption, kind.formCaption, parent), kind_(kind) {
    setObjectName(kind_.pageName);
    codes_.assign(kind_.channels, -1);
    raw_.assign(kind_.channels, 0);
    AiGridLook look;
    look.rows = look.channels = kind_.channels;
    look.units = kind_.units;
    look.updateName = "btUpdateAIStatus";
    buildChannelGrid(
        outerGroup(), kind_.ranges, look, [this] { btRefreshAIStatusClick(); },
        [this] { btUpdateAIStatusClick(); });
    rightColumn()->addWidget(gbChannelSetup);
    rightColumn()->addStretch(1);
    auto* mapping = new QGroupBox(" Modbus Mapping ", outerGroup());
    mapping->setObjectName("gbModbusMapping");
    auto* v = new QVBoxLayout(mapping);
    buildMapList(mapping, kind_.channels);
    v->addWidget(lstviewModbus);
    leftColumn()->addWidget(mapping);
    leftColumn()->addStretch(1);
    createPollTimer("tmrUpdateAIData", [this] { tmrUpdateAIDataTimer(); });
}

void TfrmM7354RMod::InitModule(odel::SerialPort* link, const QString& addressText,
                               StatusPanels* statusBar, QTreeWidget* treeView) {
    beginModbus(addressText, statusBar, treeView,
                std::make_unique<odel::AiMultiModule>(link, addressText.toStdString()));
    RefreshGeneralSetting();
    for (int i = 0; i < ChannelCount(); ++i)
        addMapRow(registerLocation(1 + i), "Word", "*****", QString::asprintf("AI CH:%02d", i));
    RefreshAIStatus();
    startModbusPolling([this] { tmrUpdateAIDataTimer(); });
}

// ---- ranges ----

int TfrmM7354RMod::IndexOfCode(int code) const {
    for (std::size_t i = 0; i < kind_.ranges.size(); ++i)
        if (kind_.ranges[i].code == code) return static_cast<int>(i);
    return -1;
}

int TfrmM7354RMod::RangeCodeOfIndex(int index) {
    if (index >= 0 && index < static_cast<int>(kind_.ranges.size()))
        return kind_.ranges[index].code;
    return -1;
}

void TfrmM7354RMod::ShowChannelCode(int channel, int code) {
    codes_[channel] = code;
    const int index = IndexOfCode(code);
    cmbTypeChangeCh[channel]->setCurrentIndex(index);
    if (kind_.units)
        labAIUnitCh[channel]->setText(index >= 0 ? kind_.ranges[index].unit : QString());
}

QString TfrmM7354RMod::FormatValue(int channel, int raw) const {
    if (kind_.scales.empty()) return QString::asprintf("0x%04X", raw);
    for (const AiModScale& s : kind_.scales) {
        if (s.code != codes_[channel]) continue;
        // Single precision, as the module's own scaling.
        const float v = s.low + (s.high - s.low) * static_cast<float>(raw) / 65535.0f;
        return v >= 0 ? QString::asprintf("+%0*.*f", 6, s.decimals, static_cast<double>(v))
                      : QString::asprintf("%0*.*f", 7, s.decimals, static_cast<double>(v));
    }
    // A range the page does not know has no scale: no plausible number is made up.
    return "*****";
}

void TfrmM7354RMod::RefreshAIStatus() {
    std::vector<int> mask, codes;
    if (!readRegisters(221, 1, mask) || !readRegisters(201, ChannelCount(), codes)) {
        setStatus("Fail to fresh AI status!");
        return;
    }
    ShowEnableMask(mask[0]);
    for (int i = 0; i < ChannelCount(); ++i) ShowChannelCode(i, codes[i] & 0xFF);
}

void TfrmM7354RMod::ChannelDelay() {
    pause(100);
}

// ---- buttons ----

void TfrmM7354RMod::btUpdateAIStatusClick() {
    stopPolling();
    WriteChannelSetup();
    RefreshAIStatus();
    if (slave() != 0) startPolling();
}

void TfrmM7354RMod::btRefreshAIStatusClick() {
    stopPolling();
    RefreshAIStatus();
    if (slave() != 0) startPolling();
}

// ---- polling ----

void TfrmM7354RMod::tmrUpdateAIDataTimer() {
    heartbeat = !heartbeat;
    bool ok = false;
    if (heartbeat) {
        // Read tick: the values are shown on the next tick.
        ok = rawValid_ = readRegisters(1, ChannelCount(), raw_);
    } else {
        // Display tick: only values of a good read are shown, with a fresh mask.
        std::vector<int> mask;
        std::vector<std::uint8_t> burnout{0};
        ok = rawValid_ && readRegisters(221, 1, mask) &&
             (!kind_.burnout || readCoils(201, ChannelCount(), burnout));
        if (ok) showValues(mask[0], burnout[0]);
    }
    showHeartbeat(ok);
    setStatus(ok ? "Polling AI data..." : "Fail to fresh AI data!");
}

void TfrmM7354RMod::showValues(int mask, std::uint8_t burnout) {
    for (int i = 0; i < ChannelCount(); ++i) {
        if (!(mask & (1 << i))) {
            setMapValue(i, "*****");
            edtAIValCh[i]->clear();
            continue;
        }
        setMapValue(i, QString::number(raw_[i]));
        edtAIValCh[i]->setText(burnout & (1 << i) ? QString("Burn-out") : FormatValue(i, raw_[i]));
    }
}

}  // namespace odel::ui

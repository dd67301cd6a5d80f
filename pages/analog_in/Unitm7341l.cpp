#include "pages/analog_in/Unitm7341l.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>
#include <cmath>

#include "device/AnalogInput.h"
#include "pages/analog_in/AiCalibTargets.h"
#include "pages/analog_in/Unitmcjc.h"
#include "pages/frame/BusyCursor.h"
#include "pages/frame/Dialogs.h"
#include "pages/frame/Lamp.h"
#include "pages/frame/NumberText.h"
#include "pages/frame/Pause.h"

namespace odel::ui {

std::vector<AiSingleRange> ranges7341() {
    return {{"+/- 15mV", 0x00, "mV"},       {"+/- 50mV", 0x01, "mV"},
            {"+/- 100mV", 0x02, "mV"},      {"+/- 500mV", 0x03, "mV"},
            {"+/- 1V", 0x04, "V"},          {"+/- 2.5V", 0x05, "V"},
            {"+/- 20mA", 0x06, "mA"},       {"J Thermocouple", 0x0E, "'C"},
            {"K Thermocouple", 0x0F, "'C"}, {"T Thermocouple", 0x10, "'C"},
            {"E Thermocouple", 0x11, "'C"}, {"R Thermocouple", 0x12, "'C"},
            {"S Thermocouple", 0x13, "'C"}, {"B Thermocouple", 0x14, "'C"}};
}

namespace {
AiSingleKind kind7341L() {
    AiSingleKind k;
    k.className = "TfrmM7341L";
    k.groupName = "gbOdl7341L";
    k.caption = " ODEL-7341L ";
    k.ranges = ranges7341();
    k.dataFormatItems = {"Engineering Units", "% FSR", "Two Completed of Hex"};
    k.dataFormatCodes = {"00", "01", "10"};
    k.waitTime = 10000;
    return k;
}
}  // namespace

TfrmM7341L::TfrmM7341L(QWidget* parent) : TfrmM7341L(kind7341L(), Options{}, parent) {}

TfrmM7341L::TfrmM7341L(const AiSingleKind& kind, const Options& options, QWidget* parent)
    : AiSingleBase(kind, parent), options_(options) {
    build();
}

void TfrmM7341L::build() {
    QWidget* outer = outerGroup();
    // Left: general settings, calibration, the reading.
    QGroupBox* calib = makeCalibrationGroup(outer);
    btCJCCal = new QPushButton("&CJC Cal.", calib);
    btCJCCal->setObjectName("btCJCCal");
    connect(btCJCCal, &QPushButton::clicked, this, &TfrmM7341L::btCJCCalClick);
    static_cast<QHBoxLayout*>(calib->layout())->addWidget(btCJCCal);
    if (!options_.cjc) btCJCCal->hide();
    leftColumn()->addWidget(calib);

    auto* data = new QGroupBox(" Data Area ", outer);
    data->setObjectName("gbDataArea");
    auto* dh = new QHBoxLayout(data);
    dh->addWidget(new QLabel("Reading AI value :", data));
    edtAI_Val->setParent(data);
    dh->addWidget(edtAI_Val);
    dh->addStretch(1);
    leftColumn()->addWidget(data);
    leftColumn()->addStretch(1);

    // Right: event counter, alarm outputs, limits and alarm type.
    auto* counter = new QGroupBox(" Event Counter ", outer);
    counter->setObjectName("gbEventCounter");
    auto* cg = new QGridLayout(counter);
    edtEventCounter = new QLineEdit(counter);
    edtEventCounter->setObjectName("edtEventCounter");
    edtEventCounter->setMaxLength(7);
    edtEventCounter->setReadOnly(true);
    edtEventCounter->setFixedWidth(90);
    btDI = new Lamp("btDI", "DI", 0, counter);
    btClearEventCounter = new QPushButton("Clear Event Cnt", counter);
    btClearEventCounter->setObjectName("btClearEventCounter");
    connect(btClearEventCounter, &QPushButton::clicked, this,
            &TfrmM7341L::btClearEventCounterClick);
    // The module offers no separate DI event clear: the button stays, without an action.
    btClear_DI_Event_Counter = new QPushButton("Clear Event", counter);
    btClear_DI_Event_Counter->setObjectName("btClear_DI_Event_Counter");
    btClear_DI_Event_Counter->setEnabled(false);
    cg->addWidget(new QLabel("Counter Value :", counter), 0, 0);
    cg->addWidget(edtEventCounter, 0, 1);
    cg->addWidget(btClearEventCounter, 0, 2);
    cg->addWidget(new QLabel("DI Status :", counter), 1, 0);
    cg->addWidget(btDI, 1, 1);
    cg->addWidget(btClear_DI_Event_Counter, 1, 2);

    auto* status = new QGroupBox(" Alarm Status ", outer);
    status->setObjectName("gbAlarmStatus");
    auto* sg = new QGridLayout(status);
    sg->addWidget(new QLabel("High Alarm :", status), 0, 0);
    sg->addWidget(makeOutputLamp(0, "DO0", status), 0, 1);
    sg->addWidget(new QLabel("Low Alarm:", status), 1, 0);
    sg->addWidget(makeOutputLamp(1, "DO1", status), 1, 1);
    sg->addWidget(makeClearLatch(status), 0, 2, 2, 1, Qt::AlignVCenter);
    sg->setColumnStretch(3, 1);

    QGroupBox* high = makeLimitGroup(true, " Hihg Alarm Limit ", outer);
    QGroupBox* low = makeLimitGroup(false, " Low Alarm Limit ", outer);
    QGroupBox* type = makeAlarmTypeGroup(outer);
    for (QGroupBox* g : {counter, status, high, low, type}) {
        rightColumn()->addWidget(g);
        if (!options_.alarms) g->hide();
    }
    rightColumn()->addStretch(1);
    if (!options_.alarms) {
        // Hidden controls write no settings-file lines.
        for (QWidget* w : std::initializer_list<QWidget*>{cmbAlarmType, edtHighLimt, edtLowLimt})
            w->setVisible(false);
    }
}

std::unique_ptr<odel::AiAlarmModule> TfrmM7341L::CreateModule(odel::SerialPort* link,
                                                              const std::string& address) {
    auto m = std::make_unique<odel::Module7341L>(link, address);
    module7341_ = m.get();
    return m;
}

void TfrmM7341L::InitialAlarmReads() {
    // A module without alarms is not asked for them.
    if (options_.alarms) AiSingleBase::InitialAlarmReads();
}

void TfrmM7341L::ShowInput(int inputs) {
    btDI->setOn(inputs & 1);
}

// ---- polling ----

void TfrmM7341L::tmrUpdateAIDataTimer() {
    heartbeat = !heartbeat;
    std::string data;
    if (!alarmModule() || !alarmModule()->ReadAnalogData(data)) {
        statusColor(false);
        setStatus("Read AI error!!    ");
        showHeartbeat(false);
        return;
    }
    edtAI_Val->setText(QString::fromStdString(data));
    statusColor(true);
    setStatus("Read AI success!!  ");
    showHeartbeat(true);
    if (!options_.alarms) return;
    std::string count;
    static const QRegularExpression digits("^[0-9]{1,7}$");
    if (!alarmModule()->ReadEventCounter(count) ||
        !digits.match(QString::fromStdString(count).trimmed()).hasMatch()) {
        statusColor(false);
        setStatus("Read Event Counter error!!");
        return;
    }
    edtEventCounter->setText(QString::number(QString::fromStdString(count).trimmed().toLong()));
    RefreshAlarmStatus(Outputs | Input);
}

void TfrmM7341L::btClearEventCounterClick() {
    BusyCursor busy;
    const bool was = btClearEventCounter->isEnabled();
    btClearEventCounter->setEnabled(false);
    stopPolling();
    const bool ok = alarmModule()->ClearEventCounter();
    if (!ok) dialogs().error("Clear Event Counter Error!!");
    pause(300);
    RefreshAlarmStatus(Input);
    btClearEventCounter->setEnabled(was);
    startPolling();
    busy.restore();
    if (ok) dialogs().information("Update success!");
}

// ---- limits ----

int TfrmM7341L::IntegerDigits(int index) const {
    if (index == 0 || index == 1) return 2;
    if (index == 2 || index == 3) return 3;
    if (index == 4 || index == 5) return 1;
    if (index >= 6 && index <= 12) return 4;
    return 2;
}

bool TfrmM7341L::LimitValue(const QString& text, bool high, QString& value) {
    double v = 0;
    // A text that is no number is refused like a value too large for the range.
    if (!parseNumber(text, v)) {
        dialogs().error(LimitFailText(high));
        return false;
    }
    QString digits =
        QString::asprintf("%4.3f", static_cast<double>(std::fabs(static_cast<float>(v))));
    const int p = digits.indexOf('.');
    const int allowed = IntegerDigits(cmbTypeChangeAllCh->currentIndex());
    if (p > allowed) {
        dialogs().error(LimitFailText(high));
        return false;
    }
    value = (v > 0 ? "+" : "-") + QString(allowed - p, '0') + digits;
    return true;
}

QString TfrmM7341L::LimitSuccessText(bool high) const {
    return high ? "Update Hihg Alarm Limit Value Success!"
                : "Update Low Alarm Limit Value success!";
}

// ---- calibration ----

std::unique_ptr<CalibTarget> TfrmM7341L::MakeCalibTarget() {
    return std::make_unique<SingleChannelCalib>(module7341_);
}

QString TfrmM7341L::ZeroCalInput(int index) {
    return index == 6 ? "0 mA" : "0 mV";
}

QString TfrmM7341L::SpanCalInput(int index) {
    static const char* texts[] = {"15mV", "50mV", "100mV", "500mV", "1V",   "2.5V", "20mA",
                                  "50mV", "50mV", "22mV",  "80mV",  "22mV", "22mV", "15mV"};
    return index >= 0 && index < 14 ? texts[index] : "###.##";
}

void TfrmM7341L::btCJCCalClick() {
    TfrmCJC dialog(this);
    dialog.setWindowTitle("ODEL-" + caption() + " Cold Junction Compesation");
    dialog.setTarget(std::make_unique<SingleChannelCjc>(module7341_));
    dialogs().exec(&dialog);
}

}  // namespace odel::ui

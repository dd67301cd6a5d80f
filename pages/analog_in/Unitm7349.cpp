#include "pages/analog_in/Unitm7349.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QSlider>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "device/AnalogInput.h"
#include "pages/analog_in/AiCalibTargets.h"
#include "pages/analog_out/AoCalibTargets.h"
#include "pages/analog_out/Unitmaocalib.h"
#include "pages/frame/Dialogs.h"
#include "pages/frame/GeneralSettingGroup.h"
#include "pages/frame/Lamp.h"
#include "pages/frame/NumberText.h"
#include "pages/frame/Pause.h"
#include "pages/frame/Widgets.h"

namespace odel::ui {

namespace {
AiSingleKind kind7349() {
    AiSingleKind k;
    k.className = "TfrmM7349";
    k.groupName = "gbOdl7349";
    k.caption = " ODEL-7349 ";
    k.ranges = {{"+/- 15mV", 0x00, "mV"},
                {"+/- 50mV", 0x01, "mV"},
                {"+/- 100mV", 0x02, "mV"},
                {"+/- 500mV", 0x03, "mV"},
                {"+/- 20mA", 0x06, "mA"}};
    k.dataFormatItems = {"Engineering Units", "% FSR", "Two Completed of Hex"};
    k.dataFormatCodes = {"00", "01", "10"};
    return k;
}
}  // namespace

TfrmM7349::TfrmM7349(QWidget* parent) : AiSingleBase(kind7349(), parent) {
    // The general group moves onto the first tab of the page control.
    leftColumn()->removeWidget(general());
    PageControl = new QTabWidget(outerGroup());
    PageControl->setObjectName("PageControl");
    PageControl->addTab(buildSettingTab(), "Module Setting");
    PageControl->addTab(buildDataTab(), "Data Area");
    leftColumn()->addWidget(PageControl);
    connect(PageControl, &QTabWidget::currentChanged, this, &TfrmM7349::PageControlChange);
}

QWidget* TfrmM7349::buildSettingTab() {
    auto* tab = new QWidget;
    tab->setObjectName("tsModuleSetting");
    auto* columns = new QHBoxLayout(tab);
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    columns->addLayout(left);
    columns->addLayout(right);
    general()->setParent(tab);
    left->addWidget(general());
    gbAICalibration = makeCalibrationGroup(tab);
    left->addWidget(gbAICalibration);
    auto* ao = new QGroupBox(" AO Calibration ", tab);
    ao->setObjectName("gbAOCalibration");
    auto* ah = new QHBoxLayout(ao);
    bitbtn0V = makeButton("bitbtn0V", "Trim for &0V", ao);
    bitbtn10V = makeButton("bitbtn10V", "Trim for &10V", ao);
    connect(bitbtn0V, &QPushButton::clicked, this, [this] { AOCalibration(2); });
    connect(bitbtn10V, &QPushButton::clicked, this, [this] { AOCalibration(3); });
    ah->addWidget(bitbtn0V);
    ah->addWidget(bitbtn10V);
    left->addWidget(ao);
    left->addStretch(1);
    right->addWidget(makeAlarmTypeGroup(tab));
    right->addWidget(makeLimitGroup(true, " High Alarm Limit ", tab));
    right->addWidget(makeLimitGroup(false, " Low Alarm Limit ", tab));
    right->addStretch(1);
    return tab;
}

QWidget* TfrmM7349::buildDataTab() {
    auto* tab = new QWidget;
    tab->setObjectName("tsDataArea");
    auto* v = new QVBoxLayout(tab);

    auto* status = new QGroupBox(" Alarm and DO Status ", tab);
    status->setObjectName("gbAlarmAndDOStatus");
    auto* sg = new QGridLayout(status);
    sg->addWidget(new QLabel("High Alarm :", status), 0, 0);
    sg->addWidget(makeOutputLamp(0, "DO0", status), 0, 1);
    sg->addWidget(new QLabel("Low Alarm:", status), 0, 2);
    sg->addWidget(makeOutputLamp(1, "DO1", status), 0, 3);
    sg->addWidget(makeOutputLamp(2, "DO2", status), 1, 1);
    sg->addWidget(makeOutputLamp(3, "DO3", status), 1, 3);
    sg->addWidget(makeClearLatch(status), 0, 4, 2, 1, Qt::AlignVCenter);
    sg->setColumnStretch(5, 1);
    v->addWidget(status);

    auto* out = new QGroupBox(" Analog Output ", tab);
    out->setObjectName("gbAnalogOutput");
    auto* og = new QGridLayout(out);
    og->addWidget(new QLabel("Output Value:", out), 0, 0);
    trabAOVal = new QSlider(Qt::Horizontal, out);
    trabAOVal->setObjectName("trabAOVal");
    trabAOVal->setRange(0, 10000);
    trabAOVal->setPageStep(10);
    trabAOVal->setTickInterval(512);
    trabAOVal->setTickPosition(QSlider::TicksBelow);
    trabAOVal->setMinimumWidth(320);
    connect(trabAOVal, &QSlider::valueChanged, this, &TfrmM7349::trabAOValChange);
    og->addWidget(trabAOVal, 0, 1, 1, 4);
    auto* scale = new QHBoxLayout;
    scale->addWidget(new QLabel("0", out));
    scale->addStretch(1);
    scale->addWidget(new QLabel("5V", out));
    scale->addStretch(1);
    scale->addWidget(new QLabel("10", out));
    scale->addWidget(new QLabel("V", out));
    og->addLayout(scale, 1, 1, 1, 4);
    edtAO_Val = new QLineEdit("0.0", out);
    edtAO_Val->setObjectName("edtAO_Val");
    edtAO_Val->setFixedWidth(80);
    // Digits, "+" and the point; Enter outputs the value.
    edtAO_Val->setValidator(
        new QRegularExpressionValidator(QRegularExpression("[0-9+.]*"), edtAO_Val));
    connect(edtAO_Val, &QLineEdit::returnPressed, this, &TfrmM7349::btnValueOutputClick);
    btnValueOutput = makeButton("btnValueOutput", "&Output", out);
    connect(btnValueOutput, &QPushButton::clicked, this, &TfrmM7349::btnValueOutputClick);
    auto* trims = new QHBoxLayout;
    struct Trim {
        const char* name;
        const char* text;
        const char* hint;
        int steps;
    };
    for (const Trim& t : {Trim{"bitbtnLeftLeft", "<<", "To trim -15.0uA", -1000},
                          Trim{"bitbtnLeft", "<", "To trim -1.5uA", -100},
                          Trim{"bitbtnRight", ">", "To trim 1.5uA", 100},
                          Trim{"bitbtnRightRight", ">>", "To trim 15.0uA", 1000}}) {
        QPushButton* b = makeButton(t.name, t.text, out);
        b->setToolTip(t.hint);
        b->setFixedWidth(36);
        const int steps = t.steps;
        connect(b, &QPushButton::clicked, this, [this, steps] { TrimBy(steps); });
        trims->addWidget(b);
    }
    og->addWidget(edtAO_Val, 2, 1);
    og->addWidget(btnValueOutput, 2, 2);
    og->addLayout(trims, 2, 3);
    btnStartup = makeButton("btnStartup", "Set as &Initial", out);
    connect(btnStartup, &QPushButton::clicked, this, &TfrmM7349::btnStartupClick);
    og->addWidget(btnStartup, 2, 4);
    edtLast_Val = new QLineEdit("0.0", out);
    edtLast_Val->setObjectName("edtLast_Val");
    edtLast_Val->setReadOnly(true);
    edtLast_Val->setFixedWidth(80);
    auto* last = new QHBoxLayout;
    last->addWidget(new QLabel("Last Value : ", out));
    last->addWidget(edtLast_Val);
    last->addWidget(new QLabel("V", out));
    last->addStretch(1);
    og->addLayout(last, 3, 1, 1, 4);
    v->addWidget(out);

    auto* in = new QGroupBox(" Analog Input ", tab);
    in->setObjectName("gbAnalogInput");
    auto* ih = new QHBoxLayout(in);
    ih->addWidget(new QLabel("Reading AI value :", in));
    edtAI_Val->setParent(in);
    ih->addWidget(edtAI_Val);
    labAIUnit = new QLabel("mV", in);
    labAIUnit->setObjectName("labAIUnit");
    ih->addWidget(labAIUnit);
    ih->addStretch(1);
    v->addWidget(in);
    v->addStretch(1);
    return tab;
}

void TfrmM7349::InitModule(odel::SerialPort* link, const QString& addressText,
                           StatusPanels* statusBar, QTreeWidget* treeView) {
    AiSingleBase::InitModule(link, addressText, statusBar, treeView);
    gbAICalibration->setEnabled(InitMode);
}

std::unique_ptr<odel::AiAlarmModule> TfrmM7349::CreateModule(odel::SerialPort* link,
                                                             const std::string& address) {
    auto m = std::make_unique<odel::Module7349>(link, address);
    module7349_ = m.get();
    return m;
}

void TfrmM7349::ShowRange(int index) {
    AiSingleBase::ShowRange(index);
    labAIUnit->setText(index < 0 ? QString() : index <= 3 ? "mV" : "mA");
}

void TfrmM7349::DelayForChangeType() {
    // A plain pause instead of the wait dialog.
    pause(5000);
}

// ---- polling ----

void TfrmM7349::tmrUpdateAIDataTimer() {
    heartbeat = !heartbeat;
    std::string data, output;
    double last = 0;
    if (!module7349_ || !module7349_->ReadAnalogData(data) ||
        !module7349_->ReadOutputValue(output) ||
        !parseNumber(QString::fromStdString(output), last)) {
        statusColor(false);
        setStatus("Read AI error!!    ");
        showHeartbeat(false);
        return;
    }
    edtAI_Val->setText(QString::fromStdString(data));
    statusColor(true);
    edtLast_Val->setText(QString::asprintf("%6.3f", last).trimmed());
    setStatus("Read AI success!!  ");
    showHeartbeat(true);
    RefreshAlarmStatus(Outputs);
}

void TfrmM7349::PageControlChange() {
    stopPolling();
    RefreshGeneralSetting();
    RefreshLimits();
    startPolling();
}

// ---- limits ----

bool TfrmM7349::LimitValue(const QString& text, bool high, QString& value) {
    double v = 0;
    if (!parseNumber(text, v)) {
        dialogs().error("Invalid data format!");
        return false;
    }
    static const double bounds[] = {15, 50, 100, 500, 20};
    const int index = cmbTypeChangeAllCh->currentIndex();
    const double bound = index >= 0 && index < 5 ? bounds[index] : 20;
    const bool twoDecimals = index == 2 || index == 3;
    if (v > bound || v < -bound) {
        dialogs().error(QString::asprintf(twoDecimals ? "The value must be between %.2f and %.2f!"
                                                      : "The value must be between %.3f and %.3f!",
                                          -bound, bound));
        return false;
    }
    (void)high;
    value = QString::asprintf(twoDecimals ? "%+07.2f" : "%+07.3f", v);
    return true;
}

// ---- outputs ----

QString TfrmM7349::OutputDigits(const std::vector<bool>& on, int bit) const {
    // Group 0 holds DO0/DO1, group 1 DO2/DO3; the digit after it is the pair's two bits.
    const int group = bit < 2 ? 0 : 1;
    const int pair = (on[group * 2] ? 1 : 0) + (on[group * 2 + 1] ? 2 : 0);
    return QString::asprintf("%d%d", group, pair);
}

void TfrmM7349::trabAOValChange() {
    edtAO_Val->setText(QString::asprintf("%6.3f", trabAOVal->value() * 0.001).trimmed());
}

void TfrmM7349::TrimBy(int steps) {
    trabAOVal->setValue(std::clamp(trabAOVal->value() + steps, 0, 10000));
}

void TfrmM7349::btnValueOutputClick() {
    stopPolling();
    double v = 0;
    // Rounded once to thousandths, then split: 2.3 goes out as +02.300. A text that is no
    // number, a negative value or one too wide for the field is not sent.
    const bool number = parseNumber(edtAO_Val->text(), v) && v >= 0;
    const long n = number ? std::lround(v * 1000) : -1;
    if (n < 0 || n >= 100000) {
        dialogs().error("Write AO Failed!");
    } else {
        {
            // The edit keeps what the user typed; the bar shows where it lies (at most 10 V).
            const QSignalBlocker block(trabAOVal);
            trabAOVal->setValue(static_cast<int>(std::min(n, 10000L)));
        }
        const QString text = QString::asprintf("+%02ld.%03ld", n / 1000, n % 1000);
        if (!module7349_->SetOutputValue(text.toStdString())) dialogs().error("Write AO Failed!");
    }
    startPolling();
}

void TfrmM7349::btnStartupClick() {
    stopPolling();
    if (module7349_->SetStartupOutput())
        dialogs().information("Update success!");
    else
        dialogs().error("Write Start Output Config Failed!");
    startPolling();
}

void TfrmM7349::AOCalibration(int kind) {
    TfrmMAOCalib dialog(this);
    dialog.setWindowTitle(caption() + (kind == 2 ? " 0V Calibration" : " 10V Calibration"));
    dialog.setTarget(std::make_unique<VoltageOutputCalib>(module7349_));
    dialog.setMode(kind == 2 ? TfrmMAOCalib::LowVoltage : TfrmMAOCalib::HighVoltage);
    dialogs().exec(&dialog);
}

// ---- calibration ----

std::unique_ptr<CalibTarget> TfrmM7349::MakeCalibTarget() {
    return std::make_unique<StrainGaugeCalib>(module7349_);
}

QString TfrmM7349::ZeroCalInput(int index) {
    return index == 4 ? "0 mA" : "0 mV";
}

QString TfrmM7349::SpanCalInput(int index) {
    static const char* texts[] = {"15mV", "50mV", "100mV", "500mV", "20mA"};
    return index >= 0 && index < 5 ? texts[index] : "##.###";
}

}  // namespace odel::ui

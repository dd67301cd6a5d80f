#include "pages/main_unit/Unitm8600.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "device/Module8600.h"
#include "pages/frame/Dialogs.h"
#include "pages/frame/SavedState.h"
#include "pages/frame/StatusPanels.h"
#include "pages/frame/Widgets.h"
#include "pages/main_unit/Unitmdownload.h"

namespace odel::ui {

namespace {
struct SlotModule {
    const char* name;
    const char* description;
};
constexpr SlotModule kSlotModules[] = {
    {"8627", "ODEL-8627 3-channel RTD input module"},
    {"8631", "ODEL-8631 8-channel analog input module"},
    {"8631G", "ODEL-8631G 8-channel high speed input module"},
    {"8634", "ODEL-8634 7-channel thermocouple input module"},
    {"8644", "ODEL-8644 4-channel analog output module"},
    {"8672", "ODEL-8672 16-ch universal digital I/O module"},
    {"8673", "ODEL-8673 16-channel Digital input module"},
    {"8674", "ODEL-8674 8-ch isolated digital input module"},
    {"8676", "ODEL-8676 8-ch digital input and 8-ch output module"},
    {"8677", "ODEL-8677 16-channel digital output module"},
    {"8681", "ODEL-8681 6-channel relay output module"},
    {"8683", "ODEL-8683 8-channel relay output module"},
    {"8689", "ODEL-8689 4-ch Counter/Frequency module"},
};

QLineEdit* readOnlyEdit(const char* name, int width, QWidget* parent) {
    auto* e = makeReadOnlyEdit(name, {}, parent);
    e->setFixedWidth(width);
    return e;
}
}  // namespace

QString SlotModuleDescription(const QString& name) {
    for (const auto& m : kSlotModules)
        if (name == QLatin1String(m.name)) return m.description;
    return "Unknown module (" + name + ")";
}

TfrmM8600::TfrmM8600(QWidget* parent) : ModulePage(parent) {
    setObjectName("frmM8600");
    setWindowFlags(Qt::Widget | Qt::FramelessWindowHint);
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(0, 0, 0, 0);
    GroupBoxM8600 = new QGroupBox("ODEL-8600", this);
    GroupBoxM8600->setObjectName("GroupBoxM8600");
    page->addWidget(GroupBoxM8600);
    page->addStretch(1);
    auto* columns = new QHBoxLayout(GroupBoxM8600);
    columns->setSpacing(10);

    auto* general = new QGroupBox("General Setting", GroupBoxM8600);
    general->setObjectName("GroupBoxGeneralSetting");
    auto* grid = new QGridLayout(general);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);
    int row = 0;
    auto addRow = [&](const QString& label, QWidget* field) {
        grid->addWidget(new QLabel(label, general), row, 0);
        grid->addWidget(field, row, 1);
        ++row;
    };
    EditAddrDec = readOnlyEdit("EditAddrDec", 48, general);
    EditAddrDec->setEnabled(false);
    EditAddrHex = readOnlyEdit("EditAddrHex", 48, general);
    EditAddrHex->setEnabled(false);
    auto* address = new QWidget(general);
    auto* ah = new QHBoxLayout(address);
    ah->setContentsMargins(0, 0, 0, 0);
    ah->setSpacing(4);
    ah->addWidget(EditAddrDec);
    ah->addWidget(new QLabel("Dec", address));
    ah->addSpacing(10);
    ah->addWidget(EditAddrHex);
    ah->addWidget(new QLabel("Hex", address));
    ah->addStretch(1);
    addRow("Address:", address);

    ComboBoxBaudRate = new QComboBox(general);
    ComboBoxBaudRate->setObjectName("ComboBoxBaudRate");
    ComboBoxBaudRate->addItems({"1200 bps", "2400 bps", "4800 bps", "9600 bps", "19.2 kbps",
                                "38.4 kbps", "57.6 kbps", "115.2 kbps"});
    ComboBoxBaudRate->setEnabled(false);
    addRow("Baudrate:", ComboBoxBaudRate);

    CheckBoxCheckSum = new QCheckBox("Enable", general);
    CheckBoxCheckSum->setObjectName("CheckBoxCheckSum");
    CheckBoxCheckSum->setEnabled(false);
    addRow("Checksum:", CheckBoxCheckSum);

    EditFirmwareVer = readOnlyEdit("EditFirmwareVer", 120, general);
    EditFirmwareVer->setEnabled(false);
    addRow("Firmware Ver:", EditFirmwareVer);

    ButtonUpdate = new QPushButton("Update", general);
    ButtonUpdate->setObjectName("ButtonUpdate");
    ButtonUpdate->setEnabled(false);
    ButtonDownload = new QPushButton("Download Firmware", general);
    ButtonDownload->setObjectName("ButtonDownload");
    ButtonDownload->setEnabled(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ButtonUpdate);
    buttons->addWidget(ButtonDownload);
    grid->addLayout(buttons, row++, 0, 1, 2);
    grid->setRowStretch(row, 1);
    connect(ButtonUpdate, &QPushButton::clicked, this, [this] { ButtonUpdateClick(); });
    connect(ButtonDownload, &QPushButton::clicked, this, [this] { ButtonDownloadClick(); });
    columns->addWidget(general, 0, Qt::AlignTop);

    ListView86KModule = new QTreeWidget(GroupBoxM8600);
    ListView86KModule->setObjectName("ListView86KModule");
    ListView86KModule->setColumnCount(3);
    ListView86KModule->setHeaderLabels({"Slot", "Module", "Description"});
    ListView86KModule->setRootIsDecorated(false);
    ListView86KModule->setItemsExpandable(false);
    ListView86KModule->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView86KModule->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView86KModule->header()->setStretchLastSection(true);
    ListView86KModule->setColumnWidth(0, 48);
    ListView86KModule->setColumnWidth(1, 72);
    ListView86KModule->setMinimumSize(430, 210);
    columns->addWidget(ListView86KModule, 1);
}

TfrmM8600::~TfrmM8600() = default;

void TfrmM8600::InitModule(odel::SerialPort* link, const QString& addressText,
                           StatusPanels* statusBar, QTreeWidget* /*treeView*/) {
    link_ = link;
    statusBar_ = statusBar;
    InitMode = addressText == "*";
    const QString address = InitMode ? QString("00") : addressText;
    ComboBoxBaudRate->setEnabled(InitMode);
    CheckBoxCheckSum->setEnabled(InitMode);
    ButtonUpdate->setEnabled(InitMode);
    module_ = std::make_unique<odel::Module8600>(link, address.toStdString());
    RefreshMainUnit();
}

void TfrmM8600::setStatus(const QString& text) {
    if (statusBar_) statusBar_->setPanelText(0, text);
}

void TfrmM8600::updateDownloadEnabled() {
    ButtonDownload->setEnabled(InitMode && identified_);
}

bool TfrmM8600::RefreshMainUnit() {
    std::string address;
    module_->GetAddress(address);
    bool ok = false;
    const int n = qstr(address).toInt(&ok, 16);
    EditAddrDec->setText(ok ? QString::number(n) : QString());
    EditAddrHex->setText((InitMode ? "*" : "") + qstr(address));

    std::string version, name;
    if (!module_->ReadFirmwareVersion(version) || !module_->ReadModuleName(name) ||
        !module_->ReadConfiguration()) {
        setStatus("Fail to fresh general setting data!");
        return false;
    }
    moduleName_ = qstr(name);
    firmwareVersion_ = qstr(version);
    identified_ = true;
    updateDownloadEnabled();
    GroupBoxM8600->setTitle(QString("ODEL-%1").arg(moduleName_));
    const int baud = qstr(module_->UnitBaudCode()).toInt(&ok, 16);
    // A baud code the list does not hold shows no selection.
    ComboBoxBaudRate->setCurrentIndex(ok && baud >= 3 && baud <= 10 ? baud - 3 : -1);
    std::string checksum;
    CheckBoxCheckSum->setChecked(module_->GetChecksumBit(checksum) && checksum == "1");
    EditFirmwareVer->setText(firmwareVersion_);
    InitModuleViewList(moduleName_);
    return true;
}

void TfrmM8600::InitModuleViewList(const QString& name) {
    ListView86KModule->clear();
    const int count = name == "8600X" ? 8 : 4;
    // A table that cannot be read lists nothing (rather than one retry per slot).
    if (!module_->ReadSlotTable() || module_->SlotTable().empty()) return;
    for (int n = 0; n < count; ++n) {
        std::string slotName;
        if (!module_->GetSlotModuleName(n, slotName)) continue;
        const QString s = qstr(slotName);
        auto* item = new QTreeWidgetItem(
            ListView86KModule, QStringList{QString::number(n), s, SlotModuleDescription(s)});
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    }
}

void TfrmM8600::ButtonUpdateClick() {
    if (!InitMode) return;
    // Without the unit's present data format the write would be malformed: nothing is sent.
    if (!module_->ReadConfiguration()) {
        dialogs().error("Update General Setting failed!");
        RefreshMainUnit();
        return;
    }
    const int index = ComboBoxBaudRate->currentIndex();
    // No selection keeps the unit's own baud code.
    if (index >= 0) module_->SetBaudCode(QString::asprintf("%02X", index + 3).toStdString());
    module_->SetChecksumBit(CheckBoxCheckSum->isChecked() ? "1" : "0");
    if (module_->SetConfiguration())
        dialogs().information("Update General Setting Success!");
    else
        dialogs().error("Update General Setting failed!");
    RefreshMainUnit();
}

void TfrmM8600::ButtonDownloadClick() {
    if (!InitMode || !identified_) return;
    const QString file = OpenFileIn(FileKind::FirmwareImages, this, "*.img",
                                    "Firmware files (*.img);;All files (*.*)",
                                    "Open firmware to download");
    if (file.isEmpty()) return;
    auto download = std::make_unique<TfrmMDownload>(this);
    download->SetupDownload(link_, moduleName_, file, firmwareVersion_);
    dialogs().exec(download.get());
    const int result = download->downloadResult();
    const QString reason = download->failureReason();
    // The unit's message, and after it the reason when one is known.
    const auto failed = [this, &reason](const QString& text) {
        dialogs().error(reason.isEmpty() ? text : text + "\nReason: " + reason + ".");
    };
    download.reset();
    switch (result) {
        case TfrmMDownload::Done:
            dialogs().information("Download firmware done!");
            RefreshMainUnit();  // the new firmware's version
            break;
        case TfrmMDownload::BaudFailed:
            failed("Set baudrate failed!");
            break;
        case TfrmMDownload::LoaderFailed:
            failed("Send mini-program failed!");
            break;
        case TfrmMDownload::StartFailed:
            failed("Send START failed!");
            break;
        case TfrmMDownload::AckFailed:
            failed("Send ACK failed!");
            break;
        default:
            failed("Download firmware failed!");
            break;
    }
}

}  // namespace odel::ui

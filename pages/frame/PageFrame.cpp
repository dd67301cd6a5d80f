#include "pages/frame/PageFrame.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cmath>

#include "device/ModuleBase.h"
#include "pages/frame/ConfFile.h"
#include "pages/frame/Dialogs.h"
#include "pages/frame/SavedState.h"
#include "pages/frame/GeneralSettingGroup.h"
#include "pages/frame/NumberText.h"
#include "pages/frame/Pause.h"
#include "pages/frame/StatusPanels.h"
#include "pages/frame/Unitmwf.h"
#include "pages/frame/Widgets.h"

namespace odel::ui {

namespace {
std::string str(const QString& s) {
    return s.toStdString();
}
// Two hex digits as a number; -1 when they are not.
int fromHex(const std::string& s) {
    bool ok = false;
    int n = qstr(s).toInt(&ok, 16);
    return ok ? n : -1;
}
const char* kConfFilter = "*.txt (*.txt);;All Files (*.*)";
constexpr qint64 kMaxConfFile = 64 * 1024;
}  // namespace

PageFrame::PageFrame(const QString& groupName, const QString& caption, unsigned generalRows,
                     QWidget* parent)
    : ModulePage(parent), caption_(caption) {
    setWindowFlags(Qt::Widget | Qt::FramelessWindowHint);
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(0, 0, 0, 0);
    outer_ = new QGroupBox(caption, this);
    outer_->setObjectName(groupName);
    page->addWidget(outer_);
    page->addStretch(1);
    auto* columns = new QHBoxLayout(outer_);
    columns->setSpacing(10);
    left_ = new QVBoxLayout;
    right_ = new QVBoxLayout;
    columns->addLayout(left_);
    columns->addLayout(right_);
    columns->addStretch(1);
    general_ = new GeneralSettingGroup(generalRows, outer_);
    left_->addWidget(general_);
    connect(general_->btSystemUpdate, &QPushButton::clicked, this,
            [this] { btSystemUpdateClick(); });
}

PageFrame::~PageFrame() {
    if (pollTimer_) pollTimer_->stop();
}

QTimer* PageFrame::createPollTimer(const QString& name, std::function<void()> onTick) {
    pollTimer_ = new QTimer(this);
    pollTimer_->setObjectName(name);
    pollTimer_->setInterval(500);
    connect(pollTimer_, &QTimer::timeout, this, std::move(onTick));
    return pollTimer_;
}

void PageFrame::stopPolling() {
    if (pollTimer_) pollTimer_->stop();
}

void PageFrame::startPolling() {
    if (pollTimer_) pollTimer_->start();
}

QString PageFrame::beginInit(const QString& addressText, StatusPanels* statusBar,
                             QTreeWidget* treeView) {
    statusBar_ = statusBar;
    treeView_ = treeView;
    InitMode = addressText == "*";
    return InitMode ? QString("00") : addressText;
}

QString PageFrame::commandAddress() const {
    std::string a;
    if (frameModule()) frameModule()->GetAddress(a);
    return qstr(a);
}

void PageFrame::setStatus(const QString& text) {
    if (statusBar_) statusBar_->setPanelText(0, text);
}

void PageFrame::showHeartbeat(bool ok) {
    if (statusBar_)
        statusBar_->setPanelText(1, QString::number((heartbeat ? 1 : 0) + (ok ? 0 : 2)));
}

// ---- general settings ----

void PageFrame::RefreshGeneralSetting() {
    odel::ModuleBase* m = frameModule();
    std::string address, checksum, baud, version, integration, format, type;
    if (!m || !m->ReadConfiguration(address) || !m->GetChecksumBit(checksum) ||
        !m->GetBaudCode(baud) || !m->ReadFirmwareVersion(version) ||
        !m->GetFormatBit7(integration) || !m->GetFormatBits10(format) || !m->GetTypeCode(type)) {
        setStatus("Fail to fresh general setting data!");
        return;
    }
    GeneralSettingGroup* g = general_;
    const int n = fromHex(address);
    g->edtAddress_Hex->setText((InitMode ? "*" : "") + qstr(address));
    g->edtAddress_Dec->setText(n < 0 ? QString() : QString::number(n));
    const int baudCode = fromHex(baud);
    g->cmbBaudRate->setCurrentIndex(
        baudCode >= 3 && baudCode - 3 < g->cmbBaudRate->count() ? baudCode - 3 : -1);
    g->chkCheckSum->setChecked(checksum == "1");
    g->edtFirmwareVer->setText(qstr(version));
    ShowDataFormat(qstr(format));
    g->cmbIntegrationTime->setCurrentIndex(integration == "0" ? 0 : 1);
    if (!RefreshCommWDT() || !RefreshProtocol()) setStatus("Fail to fresh general setting data!");
}

bool PageFrame::RefreshCommWDT() {
    std::string value;
    if (!frameModule() || !frameModule()->ReadCommWatchdog(value)) return false;
    bool ok = false;
    const int tenths = qstr(value).trimmed().toInt(&ok);
    if (!ok) return false;
    general_->edtCommWDT->setText(QString::asprintf("%.1f", tenths * 0.1));
    return true;
}

bool PageFrame::RefreshProtocol() {
    std::string bit;
    if (!frameModule() || !frameModule()->GetProtocolBit(bit)) return false;
    general_->cmbPotocolSelect->setCurrentIndex(bit == "0" ? 0 : 1);
    return true;
}

bool PageFrame::UpdateCommWDT() {
    // A text that is no number counts as 0.
    double seconds = 0;
    if (!parseNumber(general_->edtCommWDT->text(), seconds)) seconds = 0;
    const double tenths = std::trunc(seconds * 10);
    if (tenths < 0 || tenths > 9999) {
        dialogs().error("The WDT must be between 0.0 and 999.9!");
        return false;
    }
    const QString digits = QString::asprintf("%04d", static_cast<int>(tenths));
    pause(100);
    if (!frameModule() || !frameModule()->SetCommWatchdog(str(digits))) {
        dialogs().error("Update WDT failed!");
        return false;
    }
    return true;
}

void PageFrame::ApplyDataFormat() {
    static const char* codes[] = {"00", "01", "10"};
    const int i = general_->cmbDataFormat->currentIndex();
    frameModule()->SetFormatBits10(i >= 0 && i < 3 ? codes[i] : "00");
}

void PageFrame::ShowDataFormat(const QString& code) {
    general_->cmbDataFormat->setCurrentIndex(code == "00" ? 0 : code == "01" ? 1 : 2);
}

void PageFrame::ApplyProtocol() {
    frameModule()->SetProtocolBit(general_->cmbPotocolSelect->currentIndex() == 0 ? "0" : "1");
}

void PageFrame::DelayForChangeType() {
    showWaitDialog(this, WaitTime);
}

// ---- Update ----

int PageFrame::checkedDecimalAddress() {
    const QString text = general_->edtAddress_Dec->text();
    bool ok = false;
    int n = text.toInt(&ok, 10);
    if (!ok) n = -1;
    if (text.isEmpty() || n < 1 || n > 255) {
        dialogs().error("Please input dicimal address between 1 and 255!");
        return -1;
    }
    return n;
}

void PageFrame::StageInitSettings() {
    odel::ModuleBase* m = frameModule();
    // A baud code outside the list leaves the combo empty: keep the module's own code then
    // rather than writing index -1 + 3 = "02", which names no baud rate.
    if (general_->cmbBaudRate->currentIndex() >= 0)
        m->SetBaudCode(str(hex2(general_->cmbBaudRate->currentIndex() + 3)));
    m->SetChecksumBit(general_->chkCheckSum->isChecked() ? "1" : "0");
    ApplyDataFormat();
    m->SetFormatBit7(general_->cmbIntegrationTime->currentIndex() == 0 ? "0" : "1");
    ApplyProtocol();
    ApplyExtraSetting();
}

void PageFrame::restoreBusyCursor() {
    if (!busyCursor_) return;
    QApplication::restoreOverrideCursor();
    busyCursor_ = false;
}

void PageFrame::btSystemUpdateClick() {
    stopPolling();
    if (updateBusyCursor_ && !busyCursor_) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        busyCursor_ = true;
    }
    odel::ModuleBase* m = frameModule();
    bool done = false;
    const int n = checkedDecimalAddress();
    if (n > 0 && m) {
        std::string address;
        if (InitMode) {
            if (!m->ReadConfiguration(address)) {
                dialogs().error("Query module configuration failed!");
            } else {
                m->SetAddress(str(hex2(n)));
                StageInitSettings();
                if (m->SetConfiguration())
                    done = true;
                else
                    dialogs().error("Update failed!");
                // A module in INIT state keeps answering at 00.
                m->SetAddress("00");
            }
        } else {
            std::string name;
            if (!m->ReadConfiguration(address) || !m->ReadModuleName(name)) {
                dialogs().error("Query module configuration failed!");
            } else {
                pause(pauseAfterQueries_);
                const int old = fromHex(address);
                m->SetAddress(str(hex2(n)));
                std::string other;
                if (n != old && m->ReadModuleName(other)) {
                    dialogs().error("The address " + general_->edtAddress_Dec->text() +
                                    " (Dec) is used by Module [" + qstr(other) + "] !");
                } else {
                    StageNormalSettings();
                    if (m->SetConfiguration()) {
                        done = true;
                        renameSelectedNode(QString::asprintf("(%02X)", n) + qstr(name));
                    } else {
                        dialogs().error("Update failed!");
                    }
                }
                // Keep talking to the module where it still is.
                if (!done) m->SetAddress(old < 0 ? address : str(hex2(old)));
            }
        }
    }
    SetWaitTime();
    DelayForChangeType();
    FinishUpdate(done);
    restoreBusyCursor();
    startPolling();
}

void PageFrame::FinishUpdate(bool done) {
    if (done && UpdateCommWDT()) dialogs().information("Update General Setting Success!");
    RefreshAfterUpdate();
}

void PageFrame::renameSelectedNode(const QString& text) {
    if (!treeView_) return;
    QTreeWidgetItem* node = treeView_->currentItem();
    if (!node) return;
    node->setText(0, text);
    treeView_->sortItems(0, Qt::AscendingOrder);
    treeView_->viewport()->update();
}

// ---- settings file ----

void PageFrame::SaveConfiguration() {
    const QString path = SaveFileIn(FileKind::SettingsFiles, this, defaultConfFileName(caption_), kConfFilter);
    if (path.isEmpty()) return;
    saveFileOrSay(path, [this] { return SettingsFile(); });
}

void PageFrame::LoadConfiguration() {
    stopPolling();
    const QString path = OpenFileIn(FileKind::SettingsFiles, this, defaultConfFileName(caption_), kConfFilter);
    if (!path.isEmpty()) {
        QFile file(path);
        if (openFileOrSay(file, QIODevice::ReadOnly)) {
            const QByteArray content = file.read(kMaxConfFile + 1);
            file.close();
            if (!DownloadSettingsFile(content, nullptr, {}))
                dialogs().error("Load Configuration File Error!");
        }
    }
    startPolling();
}

bool PageFrame::HasSettingsFile() {
    ConfSchema schema;
    BuildConfSchema(schema);
    return !schema.empty();
}

QByteArray PageFrame::SettingsFile() {
    ConfSchema schema;
    schema.moduleName(caption_);
    BuildConfSchema(schema);
    return schema.write();
}

bool PageFrame::CheckSettingsFile(const QByteArray& content, ConfError* error) {
    ConfSchema schema;
    return checkedLoadSchema(schema, content, error);
}

bool PageFrame::DownloadSettingsFile(const QByteArray& content, ConfError* error,
                                     const std::function<void(int, const QString&)>& beforeStep) {
    ConfSchema schema;
    if (!checkedLoadSchema(schema, content, error)) return false;
    const bool polling = pollTimer_ && pollTimer_->isActive();
    stopPolling();
    schema.apply(beforeStep);
    if (polling) startPolling();
    return true;
}

bool PageFrame::checkedLoadSchema(ConfSchema& schema, const QByteArray& content,
                                  ConfError* error) {
    // A settings file is a few hundred bytes; anything far larger is not one of ours.
    if (content.size() > kMaxConfFile) {
        if (error) *error = {1, "the file is far larger than a settings file"};
        return false;
    }
    schema.moduleName(caption_);
    BuildLoadSchema(schema, content);
    return schema.parse(content, error);
}

}  // namespace odel::ui

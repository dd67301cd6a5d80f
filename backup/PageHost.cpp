#include "backup/PageHost.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QTimer>
#include <QTreeWidget>

#include "device/BusProbe.h"
#include "device/SerialPort.h"
#include "pages/Dispatch.h"
#include "pages/PageRegistry.h"
#include "pages/frame/ModulePage.h"
#include "pages/frame/Pause.h"
#include "pages/frame/StatusPanels.h"
#include "pages/frame/Unitmwf.h"
#include "pages/frame/Widgets.h"

namespace odel::backup {

QString BusNode::addressText() const {
    QString address, name;
    return odel::ui::ParseItemText(text, address, name) ? address : QString();
}

QString BusNode::model() const {
    QString address, name;
    return odel::ui::ParseItemText(text, address, name) ? name : QString();
}

QString BusNode::address() const {
    const QString a = addressText();
    return a == "*" ? QString("00") : a;
}

CollectMessages::CollectMessages() : previous_(&odel::ui::dialogs()) {
    odel::ui::setDialogs(this);
}

CollectMessages::~CollectMessages() {
    odel::ui::setDialogs(previous_);
}

QStringList CollectMessages::problems() const {
    QStringList out;
    for (const auto& m : messages)
        if (m.kind == "error" || m.kind == "warning") out << m.text;
    return out;
}

void CollectMessages::error(const QString& text) { messages.push_back({"error", text}); }
void CollectMessages::warning(const QString& text) { messages.push_back({"warning", text}); }
void CollectMessages::information(const QString& text) {
    messages.push_back({"information", text});
}
bool CollectMessages::question(const QString& text) {
    messages.push_back({"question", text});
    return false;
}
void CollectMessages::messageBox(const QString& text, const QString&) {
    messages.push_back({"messageBox", text});
}

int CollectMessages::exec(QDialog* dialog) {
    if (auto* wait = qobject_cast<odel::ui::TfrmMWaitFor*>(dialog)) {
        // The wait dialog lasts its maximum rounded up to whole 500 ms steps.
        const int max = wait->ProgressBar1->maximum();
        odel::ui::pause((max + 499) / 500 * 500);
        return QDialog::Accepted;
    }
    messages.push_back({"form", dialog->objectName()});
    return QDialog::Rejected;
}

PageHost::PageHost(odel::SerialPort& link)
    : link_(link),
      panels_(std::make_unique<odel::ui::StatusPanels>()),
      tree_(std::make_unique<QTreeWidget>()) {
    QObject::connect(panels_.get(), &odel::ui::StatusPanels::panelTextSet,
                     [this](int index, const QString& text) {
                         if (index == 0 && text.startsWith("Fail")) failures << text;
                     });
}

PageHost::~PageHost() {
    page_.reset();
}

bool PageHost::open(const BusNode& node, QString* why) {
    auto say = [why](const QString& text) {
        if (why) *why = text;
        return false;
    };
    page_.reset();
    failures.clear();
    answered_.clear();
    const QString address = node.address();
    bool ok = false;
    const int number = address.toInt(&ok, 16);
    if (!ok || node.model().isEmpty()) return say("not a module node: " + node.text);
    odel::ProbeNode found;
    if (!odel::BusSearch::ProbeAt(&link_, number, node.marker, found))
        return say(link_.IsOpen() ? "no answer" : "the port was lost");
    const odel::backup::BusNode now{odel::ui::qstr(found.text), found.marker, {}};
    answered_ = now.model();
    if (answered_ != node.model()) return say("answers as " + answered_);

    const QString pageClass = odel::ui::PageClassFor(node.model(), node.marker);
    const odel::ui::PageFactory factory =
        pageClass.isEmpty() ? odel::ui::PageFactory{} : odel::ui::FindPage(pageClass);
    if (!factory) return say("no page for " + node.model());
    link_.SetChecksum(node.marker != 0 ? 1 : 0);
    // The selected node the page renames after an address change; a tree of our own.
    tree_->clear();
    auto* port = new QTreeWidgetItem(tree_.get(), QStringList{odel::ui::qstr(link_.GetPortName())});
    auto* item = new QTreeWidgetItem(port, QStringList{node.text});
    tree_->setCurrentItem(item);
    page_.reset(factory(nullptr));
    page_->setObjectName(QString(pageClass).remove(0, 1));
    page_->InitModule(&link_, node.addressText(), panels_.get(),
                      pageClass == "TfrmM8600" ? nullptr : tree_.get());
    stopTimers();
    return true;
}

void PageHost::stopTimers() {
    if (!page_) return;
    for (QTimer* t : page_->findChildren<QTimer*>()) t->stop();
}

QString PageHost::firmware() const {
    if (!page_) return {};
    for (const char* name : {"edtFirmwareVer", "EditFirmwareVer"})
        if (auto* edit = page_->findChild<QLineEdit*>(name)) return edit->text();
    return {};
}

}  // namespace odel::backup

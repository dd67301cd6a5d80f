#include "app/KnownBus.h"

#include <QApplication>
#include <QFont>
#include <QPalette>
#include <QSettings>
#include <QTreeWidgetItem>

#include "app/Dispatch.h"
#include "app/TreeImages.h"
#include "device/BusProbe.h"
#include "pages/frame/SavedState.h"

namespace odel::ui {

namespace {
QString DateText(const QDateTime& t) {
    return t.toString("yyyy-MM-dd HH:mm");
}

void SetLook(QTreeWidgetItem* node, NodeCheck check) {
    node->setData(0, kCheckRole, static_cast<int>(check));
    const int image = node->data(0, kImageRole).toInt();
    const int selected = node->data(0, kSelectedImageRole).toInt();
    QFont font = node->font(0);
    font.setStrikeOut(check == NodeCheck::Gone);
    node->setFont(0, font);
    if (check == NodeCheck::Checked) {
        node->setIcon(0, TreeImageIcon(image, selected));
        node->setData(0, Qt::ForegroundRole, QVariant());
    } else {
        // The grey of a disabled item: known, but not seen on the bus in this run.
        const QIcon icon = TreeImageIcon(image, selected);
        node->setIcon(0, QIcon(icon.pixmap(QSize(16, 16), QIcon::Disabled)));
        node->setForeground(0, QApplication::palette().color(QPalette::Disabled,
                                                             QPalette::Text));
    }
}

void SetImagesFor(QTreeWidgetItem* node, const odel::ProbeNode& found) {
    if (found.marker == 2)
        SetNodeImages(node, kImgModbus, kImgModbusSel);
    else if (found.mainUnit)
        SetNodeImages(node, kImgMainUnit, kImgMainUnitSel);
    else
        SetNodeImages(node, kImgModule, kImgModuleSel);
}

// Text, data, images and slot nodes of a module node from what a probe found.
void Fill(QTreeWidgetItem* node, const odel::ProbeNode& found) {
    node->setText(0, QString::fromStdString(found.text));
    node->setData(0, kNodeDataRole, found.marker);
    SetImagesFor(node, found);
    qDeleteAll(node->takeChildren());
    for (const std::string& slot : found.slotNodes) {
        auto* s = new QTreeWidgetItem(node, QStringList{QString::fromStdString(slot)});
        s->setData(0, kNodeDataRole, 0);
        SetNodeImages(s, kImgSlot, kImgSlotSel);
    }
}

void MarkFound(QTreeWidgetItem* node) {
    const QDateTime now = QDateTime::currentDateTime();
    node->setData(0, kFoundOnRole, now);
    node->setToolTip(0, "found on " + DateText(now));
    SetLook(node, NodeCheck::Checked);
}

// The address part of a module node text: "*" is 0, else two hex digits; -1 if unusable.
int AddressOf(const QString& text) {
    QString address, name;
    if (!ParseItemText(text, address, name)) return -1;
    if (address == "*") return 0;
    bool ok = false;
    const int value = address.toInt(&ok, 16);
    return ok && value >= 0 && value <= 255 ? value : -1;
}
}  // namespace

QTreeWidgetItem* AddModuleNode(QTreeWidgetItem* portNode, const odel::ProbeNode& found) {
    auto* node = new QTreeWidgetItem(portNode);
    Fill(node, found);
    MarkFound(node);
    return node;
}

NodeCheck CheckOf(const QTreeWidgetItem* node) {
    return static_cast<NodeCheck>(node->data(0, kCheckRole).toInt());
}

Recheck RecheckNode(odel::SerialPort* link, QTreeWidgetItem* node) {
    const QString before = node->text(0);
    const int address = AddressOf(before);
    odel::ProbeNode found;
    bool answered = false;
    if (link && address >= 0) {
        odel::BusSearch probe(link, address, address);
        bool progressed = false;
        while (!probe.Finished() && !answered) answered = probe.ProbeNext(found, progressed);
    }
    if (!answered) {
        const QDateTime foundOn = node->data(0, kFoundOnRole).toDateTime();
        node->setToolTip(0, "gone: no answer on " + DateText(QDateTime::currentDateTime()) +
                                (foundOn.isValid() ? "; found on " + DateText(foundOn) : ""));
        SetLook(node, NodeCheck::Gone);
        return Recheck::Gone;
    }
    const bool changed = QString::fromStdString(found.text) != before;
    Fill(node, found);
    MarkFound(node);
    if (!changed) return Recheck::Found;
    node->setToolTip(0, node->toolTip(0) + "; changed, was " + before);
    return Recheck::Changed;
}

void SaveKnownBus(QTreeWidgetItem* portNode) {
    auto state = SavedState();
    const QString group = "Bus/" + PortKey(portNode->text(0));
    state->remove(group);
    if (portNode->childCount() == 0) return;
    state->beginWriteArray(group, portNode->childCount());
    for (int i = 0; i < portNode->childCount(); ++i) {
        const QTreeWidgetItem* node = portNode->child(i);
        state->setArrayIndex(i);
        state->setValue("text", node->text(0));
        state->setValue("data", node->data(0, kNodeDataRole).toInt());
        state->setValue("foundOn", node->data(0, kFoundOnRole).toDateTime().toString(Qt::ISODate));
        QStringList slotTexts;
        for (int n = 0; n < node->childCount(); ++n) slotTexts << node->child(n)->text(0);
        state->setValue("slots", slotTexts);
    }
    state->endArray();
}

int LoadKnownBus(QTreeWidgetItem* portNode) {
    auto state = SavedState();
    const int count = state->beginReadArray("Bus/" + PortKey(portNode->text(0)));
    int listed = 0;
    for (int i = 0; i < count; ++i) {
        state->setArrayIndex(i);
        odel::ProbeNode known;
        known.text = state->value("text").toString().toStdString();
        known.marker = state->value("data").toInt();
        // Only what a search could have listed: a parsable text and a known protocol.
        if (AddressOf(QString::fromStdString(known.text)) < 0 || known.marker < 0 ||
            known.marker > 2)
            continue;
        QString address, name;
        ParseItemText(QString::fromStdString(known.text), address, name);
        known.mainUnit = known.marker != 2 && name.startsWith("8600");
        for (const QString& s : state->value("slots").toStringList())
            known.slotNodes.push_back(s.toStdString());
        auto* node = new QTreeWidgetItem(portNode);
        Fill(node, known);
        const QDateTime foundOn =
            QDateTime::fromString(state->value("foundOn").toString(), Qt::ISODate);
        node->setData(0, kFoundOnRole, foundOn);
        node->setToolTip(0, "found on " + DateText(foundOn) + "; not checked yet");
        SetLook(node, NodeCheck::NotChecked);
        ++listed;
    }
    state->endArray();
    return listed;
}

}  // namespace odel::ui

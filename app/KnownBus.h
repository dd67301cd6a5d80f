// The last bus of each port: the modules a search found, remembered in the saved state and
// listed again at the next start in a "not checked" look until a probe confirms them.
#pragma once

#include <QDateTime>
#include <QString>

class QTreeWidgetItem;

namespace odel {
class SerialPort;
struct ProbeNode;
}  // namespace odel

namespace odel::ui {

// Item data roles of a module node: when it was last found, and what is known of it now.
inline constexpr int kFoundOnRole = Qt::UserRole + 3;
inline constexpr int kCheckRole = Qt::UserRole + 4;
enum class NodeCheck { Checked = 0, NotChecked = 1, Gone = 2 };

// A module node under the port node as the search makes it (slot nodes of a main unit too),
// found now.
QTreeWidgetItem* AddModuleNode(QTreeWidgetItem* portNode, const odel::ProbeNode& found);
NodeCheck CheckOf(const QTreeWidgetItem* node);

// What a probe of one remembered address made of its node.
enum class Recheck { Found, Changed, Gone };
// Probes the node's address with the search's three probes and updates the node: found (the
// same module, or its data refreshed), changed (another model: new text and slots) or gone.
Recheck RecheckNode(odel::SerialPort* link, QTreeWidgetItem* node);

// Writes the module nodes of the port node to the saved state (none: the entry is removed).
void SaveKnownBus(QTreeWidgetItem* portNode);
// Lists the remembered modules of the port node, not checked yet. Returns how many.
int LoadKnownBus(QTreeWidgetItem* portNode);

}  // namespace odel::ui

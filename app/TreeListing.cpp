#include "app/TreeListing.h"

#include <QFile>
#include <QTreeWidget>

namespace odel::ui {

namespace {
void appendNode(const QTreeWidgetItem* item, int level, QByteArray& out) {
    out += QByteArray(level, '\t');
    out += item->text(0).toLatin1();
    out += "\r\n";
    for (int i = 0; i < item->childCount(); ++i) appendNode(item->child(i), level + 1, out);
}
}  // namespace

QByteArray TreeListingText(const QTreeWidget* tree) {
    QByteArray out;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) appendNode(tree->topLevelItem(i), 0, out);
    return out;
}

bool SaveTreeListing(const QTreeWidget* tree, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const QByteArray text = TreeListingText(tree);
    return file.write(text) == text.size() && file.flush();
}

}  // namespace odel::ui

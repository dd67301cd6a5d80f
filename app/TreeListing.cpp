#include "app/TreeListing.h"

#include <QTreeWidget>

#include "pages/frame/Dialogs.h"

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
    // Through a temporary file, so a failed write leaves the old listing as it was.
    ReplacingFile file(path);
    return file.open(nullptr) && file.commit(TreeListingText(tree), nullptr);
}

}  // namespace odel::ui

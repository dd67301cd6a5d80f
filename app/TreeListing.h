// The tree listing: one line per node, depth first, indented by one TAB per level, CR LF.
#pragma once

#include <QByteArray>
#include <QString>

class QTreeWidget;

namespace odel::ui {

QByteArray TreeListingText(const QTreeWidget* tree);
// Writes the listing to path, replacing the file; false when it cannot be written.
bool SaveTreeListing(const QTreeWidget* tree, const QString& path);

}  // namespace odel::ui

// What the main window knows of a module page: it is placed in the pane, started with
// InitModule, asked to save or load its settings file, and deleted on the next tree click.
#pragma once

#include <QString>
#include <QWidget>

class QTreeWidget;

namespace odel {
class SerialPort;
}

namespace odel::ui {

class StatusPanels;

class ModulePage : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    ~ModulePage() override = default;

    // link and status bar are borrowed; treeView may be null (the main-unit page takes none).
    // addressText is two hex digits, "*" for a module in INIT state, or empty.
    virtual void InitModule(odel::SerialPort* link, const QString& addressText,
                            StatusPanels* statusBar, QTreeWidget* treeView) = 0;
    // Settings files; pages without them keep these empty (the commands then do nothing).
    virtual void SaveConfiguration() {}
    virtual void LoadConfiguration() {}
};

}  // namespace odel::ui

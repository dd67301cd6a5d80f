// What the main window knows of a module page: it is placed in the pane, started with
// InitModule, asked to save or load its settings file, and deleted on the next tree click.
#pragma once

#include <QByteArray>
#include <QString>
#include <QWidget>
#include <functional>

class QTreeWidget;

namespace odel {
class SerialPort;
}

namespace odel::ui {

class StatusPanels;
struct ConfError;

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

    // The settings file without its file dialog, for the commands above and the whole-bus
    // backup: whether the page has one, the bytes SaveConfiguration writes, the check loading
    // makes (error names the line refused), and loading itself: check, then put the values and
    // run the Update steps (beforeStep is told each step, see ConfSchema::apply).
    virtual bool HasSettingsFile() { return false; }
    virtual QByteArray SettingsFile() { return {}; }
    virtual bool CheckSettingsFile(const QByteArray& content, ConfError* error) {
        (void)content;
        (void)error;
        return false;
    }
    virtual bool DownloadSettingsFile(const QByteArray& content, ConfError* error,
                                      const std::function<void(int, const QString&)>& beforeStep) {
        (void)beforeStep;
        return CheckSettingsFile(content, error);
    }
};

}  // namespace odel::ui

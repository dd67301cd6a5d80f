// The program's saved state: one INI file in the user's XDG config folder
// ($XDG_CONFIG_HOME/odel/odel-utility.ini, else ~/.config/odel/odel-utility.ini), read through
// QSettings. Window places, port settings, the last bus per port, terminal history and the last
// folder of each kind of file dialog live there.
#pragma once

#include <QString>
#include <memory>

class QSettings;
class QWidget;

namespace odel::ui {

// The file's path now (follows XDG_CONFIG_HOME as it is at the call).
QString SavedStatePath();
// A QSettings on the file; changes are written when it is destroyed.
std::unique_ptr<QSettings> SavedState();
// Checks the file once at start: a file that cannot be parsed is renamed to *.bad so defaults are
// used. Returns the text of the one status note to show, or an empty string.
QString SetAsideCorruptState();

// A settings group name for a port name ("/dev/ttyUSB0", "tcp://host:4001"): '/' and ':' would
// otherwise split or confuse the INI key.
QString PortKey(const QString& portName);

// The kinds of file the program asks for; each remembers the folder last used.
enum class FileKind {
    SettingsFiles,
    TreeListings,
    TerminalCommands,
    FirmwareImages,
    Recordings,
    Backups
};

// The file dialogs of the dialog seam, started in the folder last used for this kind; a chosen
// file's folder is remembered. A defaultName with a folder of its own is left as it is.
QString OpenFileIn(FileKind kind, QWidget* parent, const QString& defaultName,
                   const QString& filter, const QString& title = {});
QString SaveFileIn(FileKind kind, QWidget* parent, const QString& defaultName,
                   const QString& filter);
// The folder chooser of the dialog seam, started beside the folder chosen last time.
QString ChooseFolderIn(FileKind kind, QWidget* parent, const QString& title);
// The folder last used for kind (empty if none), and remembering one from a chosen file.
QString LastFolder(FileKind kind);
void RememberFolder(FileKind kind, const QString& chosenFile);

// Window places: a saved rectangle is restored only where some screen shows it, otherwise the
// window opens centred on the primary screen; a new window is kept inside the available area.
void SaveWindowGeometry(QWidget* window, const QString& key);
bool RestoreWindowGeometry(QWidget* window, const QString& key);
void KeepOnScreen(QWidget* window);
// A tool window where it was left (key), or else beside `beside` where the screen has room,
// else inside the screen.
void PlaceToolWindow(QWidget* window, const QString& key, const QWidget* beside);

}  // namespace odel::ui

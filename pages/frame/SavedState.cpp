#include "pages/frame/SavedState.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QWidget>
#include <algorithm>

#include "pages/frame/Dialogs.h"

namespace odel::ui {

namespace {
const char* KindKey(FileKind kind) {
    switch (kind) {
        case FileKind::SettingsFiles: return "Folders/settingsFiles";
        case FileKind::TreeListings: return "Folders/treeListings";
        case FileKind::TerminalCommands: return "Folders/terminalCommands";
        case FileKind::FirmwareImages: return "Folders/firmwareImages";
        case FileKind::Recordings: return "Folders/recordings";
        case FileKind::Backups: return "Folders/backups";
    }
    return "Folders/other";
}

// A name without a folder of its own starts in the kind's last folder.
QString InLastFolder(FileKind kind, const QString& defaultName) {
    const QString folder = LastFolder(kind);
    if (folder.isEmpty() || defaultName.contains('/')) return defaultName;
    return defaultName.isEmpty() ? folder : folder + '/' + defaultName;
}
}  // namespace

QString SavedStatePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           "/odel/odel-utility.ini";
}

std::unique_ptr<QSettings> SavedState() {
    return std::make_unique<QSettings>(SavedStatePath(), QSettings::IniFormat);
}

QString SetAsideCorruptState() {
    const QString path = SavedStatePath();
    if (!QFileInfo::exists(path)) return {};
    {
        QSettings probe(path, QSettings::IniFormat);
        if (probe.status() != QSettings::FormatError) return {};
    }
    const QString bad = path + ".bad";
    QFile::remove(bad);
    if (!QFile::rename(path, bad)) QFile::remove(path);
    return "Saved settings could not be read; defaults are used (the file was kept as " + bad +
           ")";
}

QString PortKey(const QString& portName) {
    return QString::fromLatin1(portName.toUtf8().toPercentEncoding());
}

QString LastFolder(FileKind kind) {
    const QString folder = SavedState()->value(KindKey(kind)).toString();
    return QFileInfo(folder).isDir() ? folder : QString();
}

void RememberFolder(FileKind kind, const QString& chosenFile) {
    if (chosenFile.isEmpty()) return;
    SavedState()->setValue(KindKey(kind), QFileInfo(chosenFile).absolutePath());
}

QString ChooseFolderIn(FileKind kind, QWidget* parent, const QString& title) {
    const QString folder = dialogs().chooseFolder(parent, title, LastFolder(kind));
    RememberFolder(kind, folder);
    return folder;
}

QString OpenFileIn(FileKind kind, QWidget* parent, const QString& defaultName,
                   const QString& filter, const QString& title) {
    const QString start = InLastFolder(kind, defaultName);
    const QString path = title.isEmpty() ? dialogs().openFile(parent, start, filter)
                                         : dialogs().openFileTitled(parent, title, start, filter);
    RememberFolder(kind, path);
    return path;
}

QString SaveFileIn(FileKind kind, QWidget* parent, const QString& defaultName,
                   const QString& filter) {
    const QString path = dialogs().saveFile(parent, InLastFolder(kind, defaultName), filter);
    RememberFolder(kind, path);
    return path;
}

void SaveWindowGeometry(QWidget* window, const QString& key) {
    auto s = SavedState();
    s->setValue(key + "/geometry", window->normalGeometry());
    s->setValue(key + "/maximized", window->isMaximized());
}

bool RestoreWindowGeometry(QWidget* window, const QString& key) {
    auto s = SavedState();
    const QRect r = s->value(key + "/geometry").toRect();
    if (!r.isValid() || r.width() < 50 || r.height() < 50) return false;
    window->setGeometry(r);
    KeepOnScreen(window);
    if (s->value(key + "/maximized").toBool()) window->setWindowState(Qt::WindowMaximized);
    return true;
}

void PlaceToolWindow(QWidget* window, const QString& key, const QWidget* beside) {
    if (RestoreWindowGeometry(window, key)) return;
    if (beside) window->move(beside->frameGeometry().topRight() + QPoint(8, 0));
    KeepOnScreen(window);
}

void KeepOnScreen(QWidget* window) {
    QRect r = window->geometry();
    // The screen that shows most of the window; none that shows a usable part of it means the
    // window was left on a screen that is gone.
    const QScreen* best = nullptr;
    qint64 bestArea = 0;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect part = screen->availableGeometry().intersected(r);
        const qint64 area = qint64(part.width()) * part.height();
        if (part.width() >= std::min(100, r.width()) && part.height() >= std::min(40, r.height()) &&
            area > bestArea) {
            best = screen;
            bestArea = area;
        }
    }
    const bool lost = best == nullptr;
    if (lost) best = QGuiApplication::primaryScreen();
    if (!best) return;
    const QRect avail = best->availableGeometry();
    // Room for the frame the window manager adds around the client area.
    const QSize frame = window->frameGeometry().size() - window->geometry().size();
    // A window cannot shrink below what its controls need: then its top left stays visible.
    const QSize least = window->minimumSize().expandedTo(window->minimumSizeHint());
    r.setSize(r.size().boundedTo(avail.size() - frame).expandedTo(least));
    if (lost) r.moveCenter(avail.center());
    r.moveLeft(std::max(avail.left(),
                        std::min(r.left(), avail.right() - r.width() - frame.width() + 1)));
    r.moveTop(std::max(avail.top(),
                       std::min(r.top(), avail.bottom() - r.height() - frame.height() + 1)));
    window->setGeometry(r);
}

}  // namespace odel::ui

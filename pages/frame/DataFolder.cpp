#include "pages/frame/DataFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace odel::ui {

QString DataDirectory() {
    const QString env = qEnvironmentVariable("ODEL_DATA_DIR");
    if (!env.isEmpty()) return env;
    const QString appDir = QCoreApplication::applicationDirPath();
    const QString installed = QDir::cleanPath(appDir + "/../share/odel");
    if (QFileInfo(installed).isDir()) return installed;
    return appDir;
}

QString ProgramFolder() {
    const QString dir = DataDirectory();
    return dir.isEmpty() ? QString() : dir + "/program/";
}

QString UserProgramFolder() {
    // Honours XDG_DATA_HOME; falls back to ~/.local/share.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return data.isEmpty() ? QString() : QDir::cleanPath(data + "/odel/program") + "/";
}

QStringList ProgramFolders() {
    QStringList folders;
    // An explicit data directory stands alone, so that it is the only place looked at.
    if (qEnvironmentVariableIsEmpty("ODEL_DATA_DIR")) {
        const QString user = UserProgramFolder();
        if (!user.isEmpty()) folders << user;
    }
    const QString own = ProgramFolder();
    if (!own.isEmpty() && !folders.contains(own)) folders << own;
    return folders;
}

QString FindProgramFile(const QString& name) {
    for (const QString& folder : ProgramFolders()) {
        const QString path = folder + name;
        if (QFileInfo(path).isFile()) return path;
    }
    return {};
}

}  // namespace odel::ui

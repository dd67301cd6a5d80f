#include "pages/frame/DataFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

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

}  // namespace odel::ui

#include "app/AppIdentity.h"

#include <QGuiApplication>
#include <QIcon>

namespace odel::ui {

void SetApplicationIdentity() {
    QGuiApplication::setApplicationName("ODEL Utility");
    QGuiApplication::setDesktopFileName(kDesktopId);
    QGuiApplication::setWindowIcon(QIcon(":/icons/org.odel.utility.svg"));
}

}  // namespace odel::ui

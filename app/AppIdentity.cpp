#include "app/AppIdentity.h"

#include <QGuiApplication>

namespace odel::ui {

void SetApplicationIdentity() {
    QGuiApplication::setApplicationName("ODEL Utility");
    QGuiApplication::setDesktopFileName("odel-utility");
}

}  // namespace odel::ui

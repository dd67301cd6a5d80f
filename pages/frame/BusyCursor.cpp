#include "pages/frame/BusyCursor.h"

#include <QApplication>

namespace odel::ui {

BusyCursor::BusyCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyCursor::~BusyCursor() {
    restore();
}

void BusyCursor::restore() {
    if (!active_) return;
    active_ = false;
    QApplication::restoreOverrideCursor();
}

}  // namespace odel::ui

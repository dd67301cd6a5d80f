#include "pages/frame/Pause.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>

namespace odel::ui {

namespace {
std::function<void(int)> g_handler;
int g_depth = 0;

void realPause(int ms) {
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
        QThread::msleep(static_cast<unsigned long>(std::min<qint64>(5, deadline.remainingTime())));
    }
}
}  // namespace

void pause(int ms) {
    if (ms <= 0) return;
    ++g_depth;
    if (g_handler)
        g_handler(ms);
    else
        realPause(ms);
    --g_depth;
}

bool inPause() {
    return g_depth > 0;
}

void setPauseHandler(std::function<void(int)> handler) {
    g_handler = std::move(handler);
}

}  // namespace odel::ui

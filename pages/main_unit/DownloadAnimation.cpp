#include "pages/main_unit/DownloadAnimation.h"

#include <QPainter>
#include <QSvgRenderer>
#include <QTimer>

namespace odel::ui {

namespace {
// How far the file travels, in picture units, from its place beside the PC to the unit.
constexpr double kTravel = 118.0;
}  // namespace

DownloadAnimation::DownloadAnimation(QWidget* parent)
    : QWidget(parent), renderer_(new QSvgRenderer(this)), timer_(new QTimer(this)) {
    timer_->setInterval(60);
    connect(timer_, &QTimer::timeout, this, [this] { showFrame((frame_ + 1) % (kStopFrame + 1)); });
    setMinimumSize(sizeHint());
}

bool DownloadAnimation::setFileName(const QString& path) {
    const bool ok = renderer_->load(path) && renderer_->elementExists("scene") &&
                    renderer_->elementExists("file");
    if (!ok) renderer_->load(QByteArray());
    update();
    return ok;
}

bool DownloadAnimation::isLoaded() const {
    return renderer_->isValid();
}

void DownloadAnimation::start() {
    timer_->start();
}

void DownloadAnimation::stop() {
    timer_->stop();
    showFrame(0);
}

bool DownloadAnimation::isRunning() const {
    return timer_->isActive();
}

void DownloadAnimation::showFrame(int frame) {
    frame_ = frame;
    update();
}

void DownloadAnimation::paintEvent(QPaintEvent*) {
    if (!renderer_->isValid()) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box = renderer_->viewBoxF();
    const double sx = width() / box.width(), sy = height() / box.height();
    auto toWidget = [&](const QRectF& r) {
        return QRectF((r.x() - box.x()) * sx, (r.y() - box.y()) * sy, r.width() * sx,
                      r.height() * sy);
    };
    renderer_->render(&p, "scene", toWidget(renderer_->boundsOnElement("scene")));
    QRectF file = renderer_->boundsOnElement("file");
    file.translate(kTravel * frame_ / kStopFrame, 0);
    renderer_->render(&p, "file", toWidget(file));
}

}  // namespace odel::ui

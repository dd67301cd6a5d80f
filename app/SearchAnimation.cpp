#include "app/SearchAnimation.h"

#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <cmath>

namespace odel::ui {

SearchAnimation::SearchAnimation(QWidget* parent) : QWidget(parent), timer_(new QTimer(this)) {
    timer_->setInterval(90);
    connect(timer_, &QTimer::timeout, this, [this] {
        frame_ = (frame_ + 1) % kFrames;
        update();
    });
    setMinimumSize(sizeHint());
}

void SearchAnimation::start() {
    timer_->start();
}

void SearchAnimation::stop() {
    timer_->stop();
    frame_ = kStopFrame;
    update();
}

bool SearchAnimation::isRunning() const {
    return timer_->isActive();
}

void SearchAnimation::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int w = width(), h = height();
    // The bus line with five modules hanging on it.
    p.setPen(QPen(QColor("#39506b"), 2));
    p.drawLine(8, h / 2, w - 8, h / 2);
    const int count = 5;
    const double gap = (w - 16.0) / count;
    const double phase = static_cast<double>(frame_) / kFrames;  // 0..1 along the bus
    const double lensX = 8 + gap / 2 + phase * (w - 16 - gap);
    for (int i = 0; i < count; ++i) {
        const double cx = 8 + gap * (i + 0.5);
        const bool seen = std::abs(cx - lensX) < gap / 2;
        p.setPen(QPen(QColor("#2f3b4a"), 1));
        p.setBrush(seen ? QColor("#f2c94c") : QColor("#9fc3e8"));
        p.drawRoundedRect(QRectF(cx - 9, h / 2.0 - 14, 18, 28), 2, 2);
        p.setBrush(seen ? QColor("#49d15a") : QColor("#1d2733"));
        p.drawEllipse(QPointF(cx - 3, h / 2.0 - 8), 2, 2);
    }
    // The magnifier.
    const QPointF lens(lensX, h / 2.0 - 4);
    p.setBrush(QColor(220, 236, 251, 150));
    p.setPen(QPen(QColor("#23405f"), 3));
    p.drawEllipse(lens, 13, 13);
    p.setPen(QPen(QColor("#23405f"), 5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(lens + QPointF(9, 9), lens + QPointF(18, 18));
}

}  // namespace odel::ui

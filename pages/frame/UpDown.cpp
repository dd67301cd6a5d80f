#include "pages/frame/UpDown.h"

#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace odel::ui {

UpDown::UpDown(QLineEdit* buddy, int min, int max, QWidget* parent)
    : QWidget(parent), buddy_(buddy), min_(min), max_(max), position_(min) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto make = [this, layout](Qt::ArrowType arrow, int step) {
        auto* b = new QToolButton(this);
        b->setArrowType(arrow);
        b->setAutoRepeat(true);
        b->setFixedSize(18, 12);
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &QToolButton::clicked, this, [this, step] { stepBy(step); });
        layout->addWidget(b);
        return b;
    };
    make(Qt::UpArrow, 1)->setObjectName("btUp");
    make(Qt::DownArrow, -1)->setObjectName("btDown");
}

void UpDown::stepBy(int steps) {
    // Start from the number the edit holds now; a text that is no number keeps the last position.
    bool ok = false;
    const int current = buddy_->text().trimmed().toInt(&ok);
    if (ok && current >= min_ && current <= max_) position_ = current;
    position_ = std::clamp(position_ + steps, min_, max_);
    buddy_->setText(QString::number(position_));
}

}  // namespace odel::ui

namespace odel::ui {

void UpDown::setRange(int min, int max) {
    min_ = min;
    max_ = std::max(min, max);
    position_ = std::clamp(position_, min_, max_);
}

}  // namespace odel::ui

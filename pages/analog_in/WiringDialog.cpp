#include "pages/analog_in/WiringDialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "pages/frame/Widgets.h"

namespace odel::ui {

WiringPicture::WiringPicture(QSize size, QRectF block, qreal screwTop, qreal screwBottom,
                             std::function<void(QPainter&)> wiring, QWidget* parent)
    : QWidget(parent),
      block_(block),
      screwTop_(screwTop),
      screwBottom_(screwBottom),
      wiring_(std::move(wiring)) {
    setObjectName("Image1");
    setFixedSize(size);
}

void WiringPicture::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::darkGray, 1));
    p.setBrush(QColor(230, 230, 230));
    p.drawRect(block_);
    p.setBrush(QColor(90, 90, 90));
    const qreal x = block_.left() + 10;
    p.drawEllipse(QPointF(x, screwTop_), 4, 4);
    p.drawEllipse(QPointF(x, screwBottom_), 4, 4);
    wiring_(p);
}

WiringDialog::WiringDialog(const char* name, const QString& title, QWidget* parent)
    : QDialog(parent) {
    setObjectName(name);
    setWindowTitle(title);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    layout_ = new QHBoxLayout(this);
    right_ = new QVBoxLayout;
    rows_ = new QGridLayout;
    right_->addLayout(rows_);
    layout_->addLayout(right_);
}

void WiringDialog::setPicture(WiringPicture* picture) {
    layout_->insertWidget(0, picture, 0, Qt::AlignTop);
}

QLineEdit* WiringDialog::addRow(const QString& label, const char* labelName, const char* editName,
                                const QString& unit, const char* unitName) {
    auto* l = new QLabel(label, this);
    if (labelName) l->setObjectName(labelName);
    auto* edit = new QLineEdit(this);
    edit->setObjectName(editName);
    edit->setFixedWidth(80);
    auto* u = new QLabel(unit, this);
    if (unitName) u->setObjectName(unitName);
    rows_->addWidget(l, rowCount_, 0);
    rows_->addWidget(edit, rowCount_, 1);
    rows_->addWidget(u, rowCount_, 2);
    ++rowCount_;
    return edit;
}

void WiringDialog::takeNumbers(QLineEdit* edit, int maxLength) {
    edit->setMaxLength(maxLength);
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9+\\-.]*"), edit));
}

void WiringDialog::addButtons(QLineEdit* enterSaves) {
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btExecute = makeButton("btExecute", "&Save", this);
    btExit = makeButton("btExit", "E&xit", this);
    for (QPushButton* b : {btExecute, btExit}) {
        if (enterSaves) b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    right_->addLayout(buttons);
    connect(btExecute, &QPushButton::clicked, this, &WiringDialog::btExecuteClick);
    connect(btExit, &QPushButton::clicked, this, &QDialog::reject);
    if (enterSaves)
        connect(enterSaves, &QLineEdit::returnPressed, this, &WiringDialog::btExecuteClick);
}

}  // namespace odel::ui

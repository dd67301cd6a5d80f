#include "pages/frame/Widgets.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

namespace odel::ui {

QPushButton* makeButton(const char* name, const QString& text, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    return b;
}

QComboBox* makeList(const char* name, const QStringList& items, QWidget* parent) {
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    c->addItems(items);
    c->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    return c;
}

QLineEdit* makeReadOnlyEdit(const char* name, const QString& text, QWidget* parent) {
    auto* e = new QLineEdit(text, parent);
    e->setObjectName(name);
    e->setReadOnly(true);
    return e;
}

}  // namespace odel::ui

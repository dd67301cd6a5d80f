// Small helpers the pages and windows share: text conversion, a byte as two hex digits, and
// widgets made with their object name.
#pragma once

#include <QString>
#include <QStringList>
#include <string>

class QComboBox;
class QLineEdit;
class QPushButton;
class QWidget;

namespace odel::ui {

inline QString qstr(const std::string& s) {
    return QString::fromStdString(s);
}

// Two upper-case hex digits, as the modules take a byte.
inline QString hex2(int n) {
    return QString::asprintf("%02X", n);
}

QPushButton* makeButton(const char* name, const QString& text, QWidget* parent);

// A drop-down list of the items, as wide as its longest item.
QComboBox* makeList(const char* name, const QStringList& items, QWidget* parent);

// An edit the user cannot type into, showing the text.
QLineEdit* makeReadOnlyEdit(const char* name, const QString& text, QWidget* parent);

}  // namespace odel::ui

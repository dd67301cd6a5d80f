#include "pages/digital/CounterFields.h"

#include <QLineEdit>
#include <QRegularExpression>
#include <cctype>
#include <cmath>

#include "pages/frame/NumberText.h"

namespace odel::ui::counter {

namespace {
// A plain decimal number of the edits: digits with at most one point, not just a point.
bool plainNumber(const QString& text, double& value) {
    return parseNumber(text, value, Sign::None);
}
}  // namespace

bool isCountText(const QString& text) {
    static const QRegularExpression re("^[0-9]{0,10}$");
    return re.match(text).hasMatch();
}

bool countToHex(const QString& text, std::string& hex) {
    if (!isCountText(text)) return false;
    const unsigned long long v = text.isEmpty() ? 0 : text.toULongLong();
    if (v > kMaxCount) return false;
    hex = QString::asprintf("%08llX", v).toStdString();
    return true;
}

bool hexToCount(const std::string& reply, QString& text) {
    static const QRegularExpression re("^[0-9A-Fa-f]{1,8}$");
    const QString r = QString::fromStdString(reply);
    if (!re.match(r).hasMatch()) return false;
    text = QString::number(r.toULongLong(nullptr, 16));
    return true;
}

std::string widthDigits(QLineEdit* edit) {
    QString t = edit->text();
    if (t.isEmpty()) t = "0";
    // The edit holds digits only; a long text is far above the limit.
    if (t.size() > 5 || t.toInt() > 65535) {
        t = "65535";
        edit->setText(t);
    }
    return QString::asprintf("%05d", t.toInt()).toStdString();
}

bool levelDigits(QLineEdit* edit, std::string& digits) {
    QString t = edit->text();
    if (t.isEmpty()) t = "0";
    double v = 0;
    if (!plainNumber(t, v)) return false;
    if (v > 5) {
        v = 5;
        edit->setText("5");
    }
    digits = QString::asprintf("%02d", static_cast<int>(std::trunc(v * 10))).toStdString();
    return true;
}

bool levelText(const std::string& reply, QString& text) {
    static const QRegularExpression re("^[0-9]{1,2}$");
    const QString r = QString::fromStdString(reply);
    if (!re.match(r).hasMatch()) return false;
    text = QString::number(r.toInt() / 10.0);
    return true;
}

bool decimalText(const std::string& reply, QString& text) {
    static const QRegularExpression re("^[0-9]{1,9}$");
    const QString r = QString::fromStdString(reply);
    if (!re.match(r).hasMatch()) return false;
    text = QString::number(r.toInt());
    return true;
}

bool ledDigits(QLineEdit* edit, std::string& digits) {
    double v = 0;
    if (!plainNumber(edit->text(), v)) return false;
    if (v > 9999.9) {
        v = 9999.9;
        edit->setText("9999.9");
    }
    QString s = QString::asprintf("%6.1f", v);
    for (QChar& c : s)
        if (!c.isDigit() && c != '.') c = '0';
    digits = s.toStdString();
    return true;
}

int hexDigit(const std::string& s) {
    if (s.size() != 1 || !std::isxdigit(static_cast<unsigned char>(s[0]))) return -1;
    return QString(QChar(s[0])).toInt(nullptr, 16);
}

int outputBits(const std::string& s) {
    if (s.size() != 2 || !std::isdigit(static_cast<unsigned char>(s[0])) ||
        !std::isdigit(static_cast<unsigned char>(s[1])))
        return -1;
    return (s[0] - '0') * 10 + (s[1] - '0');
}

QValidator::State CountValidator::validate(QString& input, int&) const {
    if (!isCountText(input)) return Invalid;
    if (!input.isEmpty() && input.toULongLong() > kMaxCount) return Invalid;
    return Acceptable;
}

}  // namespace odel::ui::counter

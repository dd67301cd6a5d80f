#include "pages/frame/NumberText.h"

#include <QRegularExpression>
#include <cmath>

namespace odel::ui {

bool parseNumber(const QString& text, double& value, Sign sign) {
    static const QRegularExpression signedNumber("^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)$");
    static const QRegularExpression plainNumber("^([0-9]+\\.?[0-9]*|\\.[0-9]+)$");
    const QString t = text.trimmed();
    if (!(sign == Sign::Allowed ? signedNumber : plainNumber).match(t).hasMatch()) return false;
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v)) return false;
    value = v;
    return true;
}

}  // namespace odel::ui

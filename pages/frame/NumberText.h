// The one reading of a number typed into a value edit (or kept in a settings file): the whole
// text, blanks around it aside, is an optional sign and digits with at most one point ("5",
// "-0.25", "+.5", "5."). Anything else is no number: "--5", "+-5", "1.2.3", "1e3", "", ".".
#pragma once

#include <QString>

namespace odel::ui {

enum class Sign { Allowed, None };

// False, leaving value alone, when the text is no number (or carries a sign where none is
// taken).
bool parseNumber(const QString& text, double& value, Sign sign = Sign::Allowed);

}  // namespace odel::ui

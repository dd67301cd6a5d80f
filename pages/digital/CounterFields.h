// The value texts of the counter pages: counts (decimal in the page, eight hex digits on the
// line), filter widths, trigger levels and the display value, with the checks that keep a
// text that is no such value off the line.
#pragma once

#include <QString>
#include <QValidator>
#include <string>

class QLineEdit;

namespace odel::ui::counter {

inline constexpr unsigned long long kMaxCount = 4294967295ull;

// A count text as the count edits hold it: at most ten digits (empty is 0).
bool isCountText(const QString& text);
// A count text to the eight hex digits written ("1000" gives "000003E8", "" "00000000");
// false when the text is no count or above 4294967295.
bool countToHex(const QString& text, std::string& hex);
// A count read from the module (one to eight hex digits) as decimal text; false when the
// reply holds no such number.
bool hexToCount(const std::string& reply, QString& text);

// The width written: an empty text is 0 and a value above 65535 becomes 65535 in the edit;
// five digits ("100" gives "00100").
std::string widthDigits(QLineEdit* edit);
// The trigger level written: an empty text is 0 and a value above 5 becomes 5 in the edit;
// tenths of a volt in two digits ("2.5" gives "25", "0.25" "02"). False when the text is no
// number.
bool levelDigits(QLineEdit* edit, std::string& digits);
// A level read from the module (tenths of a volt) in the shortest text ("25" gives "2.5").
bool levelText(const std::string& reply, QString& text);
// A decimal integer reply (a width), leading zeros dropped.
bool decimalText(const std::string& reply, QString& text);
// The display value written: a value above 9999.9 becomes 9999.9 in the edit; "%6.1f" with
// blanks as '0' ("12.5" gives "0012.5"). False when the text is no number.
bool ledDigits(QLineEdit* edit, std::string& digits);

// One hex digit of the status word (alarm flags or type); -1 when it is not.
int hexDigit(const std::string& s);
// The status word's two decimal digits of output bits; -1 when they are not.
int outputBits(const std::string& s);

// Digits only, at most ten, never above 4294967295.
class CountValidator : public QValidator {
  public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
};

}  // namespace odel::ui::counter

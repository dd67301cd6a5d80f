// Whether text is a CSV row's time: "2026-12-09T16:47:51.123+01:00" (29 characters).
#pragma once

#include <cctype>
#include <string>

namespace odel::test {

inline bool IsIsoLocalTime(const std::string& text) {
    static const std::string form = "dddd-dd-ddTdd:dd:dd.ddd+dd:dd";
    if (text.size() != form.size()) return false;
    for (std::size_t i = 0; i < form.size(); ++i) {
        const char c = text[i];
        if (form[i] == 'd'   ? !std::isdigit(static_cast<unsigned char>(c))
            : form[i] == '+' ? (c != '+' && c != '-')
                             : c != form[i])
            return false;
    }
    return true;
}

}  // namespace odel::test

#include "scope/Interval.h"

#include <cctype>
#include <cstdlib>

namespace odel::scope {

long long ParseTime(const std::string& raw) {
    std::string text;
    for (char c : raw)
        if (c != ' ') text += c;
    std::size_t i = 0;
    while (i < text.size() && (std::isdigit(static_cast<unsigned char>(text[i])) || text[i] == '.'))
        ++i;
    const std::string number = text.substr(0, i), unit = text.substr(i);
    if (number.empty() || number == "." || number.find('.') != number.rfind('.')) return -1;
    double factor = 0;
    if (unit == "ms")
        factor = 1;
    else if (unit.empty() || unit == "s")
        factor = 1000;
    else if (unit == "m" || unit == "min")
        factor = 60000;
    else if (unit == "h")
        factor = 3600000;
    else
        return -1;
    const double ms = std::strtod(number.c_str(), nullptr) * factor;
    if (ms > 1e15) return -1;
    return static_cast<long long>(ms + 0.5);
}

std::string CheckInterval(const std::string& text, long long& ms) {
    ms = ParseTime(text);
    if (ms < 0) return text + ": not a time (e.g. 500ms, 1s, 2m, 1h)";
    if (ms < kMinIntervalMs || ms > kMaxIntervalMs) return text + ": must be from 100ms to 1h";
    return {};
}

std::string FormatInterval(long long ms) {
    if (ms % 3600000 == 0) return std::to_string(ms / 3600000) + " h";
    if (ms % 60000 == 0) return std::to_string(ms / 60000) + " min";
    if (ms % 1000 == 0) return std::to_string(ms / 1000) + " s";
    return std::to_string(ms) + " ms";
}

}  // namespace odel::scope

// Times as the user types them for the sweep interval and the run length.
#pragma once

#include <string>

namespace odel::scope {

inline constexpr long long kMinIntervalMs = 100;
inline constexpr long long kMaxIntervalMs = 3600LL * 1000;

// "100ms", "1s", "1.5s", "2m", "2min", "2h"; a bare number is seconds. -1 when it is not a time.
long long ParseTime(const std::string& text);

// Empty when the interval is a time from 100 ms to 1 h; otherwise why not, naming the text
// ("fast: not a time (e.g. 500ms, 1s, 2m, 1h)", "50ms: must be from 100ms to 1h").
std::string CheckInterval(const std::string& text, long long& ms);

// "1 s", "250 ms", "2 min", "1 h": an interval as the window shows it.
std::string FormatInterval(long long ms);

}  // namespace odel::scope

// What the counter modules do between commands: count or measure frequency, and drive their
// outputs from the preset values (7320) or from counter 0 against the alarm values (7320L).
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "sim/SimInternal.h"

namespace odel::sim {

namespace {

// Eight hex digits as stored by "@AAPA..." and friends; 0 when they are not.
std::uint32_t hexValue(const std::string& s) {
    if (s.empty() || s.size() > 8) return 0;
    char* end = nullptr;
    unsigned long v = std::strtoul(s.c_str(), &end, 16);
    return *end == '\0' ? static_cast<std::uint32_t>(v) : 0;
}

void count(ModuleState& m, double dt) {
    for (int n = 0; n < 2; ++n) {
        if (!m.counting[n]) continue;
        std::uint64_t add = static_cast<std::uint64_t>(std::max(1.0, dt * 100 * (n + 1)));
        std::uint64_t next = m.counts[n] + add;
        if (next > m.maxCount[n]) {
            next %= static_cast<std::uint64_t>(m.maxCount[n]) + 1;
            m.overflow[n] = true;
        }
        m.counts[n] = static_cast<std::uint32_t>(next);
    }
}

// Frequency mode: the reading is the input frequency at the gate time's resolution
// (10 Hz with the 0.1 s gate of format bit 2 clear, 1 Hz with the 1.0 s gate).
void measure(ModuleState& m, double t) {
    const std::uint32_t step = (m.format & 0x04) ? 1 : 10;
    for (int n = 0; n < 2; ++n) {
        double hz = m.inputHz[n] * (1.0 + 0.002 * std::sin(t * 0.7 + n));
        m.counts[n] = static_cast<std::uint32_t>(hz / step) * step;
    }
}

}  // namespace

void advanceCounter(ModuleState& m, double t, double dt) {
    if (m.typeCode == 0x51)
        measure(m, t);
    else
        count(m, dt);
    if (m.model == "7320L") {
        // DO0 is the high alarm, DO1 the low alarm of counter 0; a latch holds until "@AACA".
        if (m.alarmMode == 0) return;
        int alarms = (m.counts[0] >= hexValue(m.highLimit) ? 1 : 0) |
                     (m.counts[0] <= hexValue(m.lowLimit) ? 2 : 0);
        m.digitalOutputs = m.alarmMode == 2 ? (m.digitalOutputs | alarms) : alarms;
        return;
    }
    // 7320 preset mode: output n switches on when counter n reaches its preset value.
    const std::uint32_t preset[2] = {hexValue(m.lowLimit), hexValue(m.highLimit)};
    for (int n = 0; n < 2; ++n)
        if (m.alarmEnabled[n] && m.typeCode != 0x51 && m.counts[n] >= preset[n])
            m.digitalOutputs |= 1 << n;
}

}  // namespace odel::sim

// The mixed bus the log tests sample: a 7352R at 01 (CH0 +1.5 V, CH3 -250.25 mV), a Modbus 7352R
// at 04 (CH1 10 mA) and a 7382 at 15 (DI0 and DI6 on). Values hold still, so every sweep reads
// the same row.
#pragma once

#include <vector>

#include "sim/SimBus.h"

namespace odel::test {

// more: further modules, placed between 04 and 15 so the bus stays in address order.
inline sim::BusDescription LogBus(std::vector<sim::ModuleState> more = {}) {
    sim::ModuleState ai = *sim::makeModule("7352R", 0x01);
    ai.ranges = {0x08, 0x08, 0x08, 0x0B, 0x08, 0x08, 0x08, 0x08};
    ai.values = {1.5, 0, 0, -250.25, 0, 0, 0, 0};
    sim::ModuleState mod = *sim::makeModule("7352R", 0x04);
    mod.format |= 0x04;  // Modbus
    mod.ranges = {0x08, 0x0D, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08};
    mod.values = {0, 10, 0, 0, 0, 0, 0, 0};
    sim::ModuleState dio = *sim::makeModule("7382", 0x15);
    dio.digitalInputs = 0x41;
    sim::BusDescription bus;
    bus.modules = {ai, mod};
    bus.modules.insert(bus.modules.end(), more.begin(), more.end());
    bus.modules.push_back(dio);
    for (sim::ModuleState& m : bus.modules) m.live = false;
    return bus;
}

}  // namespace odel::test

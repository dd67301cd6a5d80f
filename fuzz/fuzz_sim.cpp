// The simulator's request handling: the first byte picks a model, the rest is one ASCII command
// line (or Modbus frame, or loader block) handed to that module.
#include <cstdint>
#include <string>

#include "sim/SimInternal.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const char* const models[] = {"7341",  "7341L", "7342", "7345", "7347", "7347K",
                                         "7349",  "7352",  "7352R", "7354", "7354R", "7356",
                                         "7361",  "7364",  "7380", "7381", "7382", "7383",
                                         "7385",  "7390",  "7396", "7320", "7320L", "8600",
                                         "8600X"};
    if (size < 2) return 0;
    const unsigned pick = data[0];
    auto m = odel::sim::makeModule(models[pick % (sizeof models / sizeof *models)], 1);
    if (!m) return 0;
    if (pick & 0x80) m->format |= 0x40;
    const std::string body(reinterpret_cast<const char*>(data + 1), size - 1);
    bool blockFollows = false;
    odel::sim::handleAscii(*m, body, blockFollows);
    odel::sim::answerModbus(*m, body);
    if (body.size() == 132) odel::sim::handleLoaderBlock(*m, body);
    return 0;
}

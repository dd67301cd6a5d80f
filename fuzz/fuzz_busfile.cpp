// The bus-file parser on any text.
#include <cstdint>
#include <string>

#include "sim/SimBus.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    odel::sim::BusDescription bus;
    std::string error;
    odel::sim::parseBusFile(std::string(reinterpret_cast<const char*>(data), size), bus, error);
    return 0;
}

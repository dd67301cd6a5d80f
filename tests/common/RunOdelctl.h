// Runs the built odelctl to its end with stdout and stderr captured: OdelctlProcess::Run without
// extra environment or file limit.
#pragma once

#include <string>
#include <vector>

#include "common/OdelctlProcess.h"

namespace odel::test {

// rc (the exit status, or minus the signal that ended it), out and err.
using Result = OdelctlProcess;

inline Result RunOdelctl(const std::vector<std::string>& args) {
    return OdelctlProcess::Run(args);
}

}  // namespace odel::test

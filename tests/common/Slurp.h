// A whole file as a string (empty when it cannot be read), for checking what a process wrote.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

namespace odel::test {

inline std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

}  // namespace odel::test

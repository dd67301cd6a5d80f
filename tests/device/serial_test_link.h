// Opens a SerialPort on a scripted peer's pseudo-terminal the way the main window does.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "common/ScriptedPeer.h"
#include "device/SerialPort.h"

namespace odel::test {

inline std::unique_ptr<SerialPort> OpenLink(const std::string& path, int timeoutMs = 80) {
    auto link = std::make_unique<SerialPort>(path);
    EXPECT_TRUE(link->Open());
    EXPECT_TRUE(link->SetLineSettings(9600, 8, 0, 0));
    EXPECT_TRUE(link->SetTimeout(timeoutMs));
    return link;
}

// Milliseconds taken by f().
template <typename F>
long long ElapsedMs(F&& f) {
    auto start = std::chrono::steady_clock::now();
    f();
    auto end = std::chrono::steady_clock::now();
    return std::chrono::duration_cast<std::chrono::milliseconds>(end - start).count();
}

}  // namespace odel::test

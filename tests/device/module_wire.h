// Table-driven wire checks for the module command classes: each row makes one call on a fresh
// module object over a real SerialPort on a pseudo-terminal and states the exact line the peer
// must receive, the canned answer, the verdict and the out values.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "common/ScriptedPeer.h"
#include "device/SerialPort.h"
#include "device/serial_test_link.h"

namespace odel::test {

using Outs = std::vector<std::string>;
using Call = bool (*)(SerialPort*, Outs&);

struct WireRow {
    const char* name;
    Call call;
    std::string command;  // every byte the module must receive ("" = nothing sent)
    std::string reply;    // the module's answer to each line ("" = silence)
    bool ok;
    Outs outs;
};

// Names the row in failure messages instead of dumping its bytes.
inline void PrintTo(const WireRow& row, std::ostream* os) {
    *os << row.name;
}

inline std::string RowName(const ::testing::TestParamInfo<WireRow>& info) {
    return info.param.name;
}

// Sum of the character codes modulo 256 as two upper-case hex digits, inserted before the CR.
inline std::string WithChecksum(const std::string& line) {
    std::string body = line.substr(0, line.size() - 1);
    unsigned sum = 0;
    for (unsigned char c : body) sum += c;
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", sum % 256);
    return body + digits + "\r";
}

// Waits for the expected bytes (or a short while when nothing is expected) and returns what
// the peer received.
inline std::string ReceivedAfterCall(ScriptedPeer& peer, const std::string& expected) {
    if (expected.empty()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    } else {
        peer.waitReceived(expected.size(), 500);
    }
    return peer.received();
}

inline void RunWireRow(const WireRow& row, bool checksum = false) {
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok());
    auto link = OpenLink(peer.path(), 50);
    link->SetChecksum(checksum ? 1 : 0);
    const std::string reply = row.reply;
    peer.setHandler([reply](const std::string&) -> std::optional<std::string> {
        if (reply.empty()) return std::nullopt;
        return reply;
    });
    Outs outs;
    bool ok = row.call(link.get(), outs);
    EXPECT_EQ(ok, row.ok);
    EXPECT_EQ(ReceivedAfterCall(peer, row.command), row.command);
    EXPECT_EQ(outs, row.outs);
}

class WireTest : public ::testing::TestWithParam<WireRow> {};

}  // namespace odel::test

// The ASCII transaction: checksum helpers and Transact against a scripted peer.
#include <gtest/gtest.h>

#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "device/CommandForms.h"
#include "device/serial_test_link.h"

using odel::SerialPort;
using odel::test::ElapsedMs;
using odel::test::OpenLink;
using odel::test::ScriptedPeer;

TEST(Checksum, ComputeAppendVerify) {
    EXPECT_EQ(SerialPort::ComputeChecksum("$012"), 0xB7);
    EXPECT_EQ(SerialPort::ComputeChecksum(""), 0);
    EXPECT_EQ(SerialPort::ComputeChecksum(std::string(3, '\x7F') + "\x7F"), (4 * 0x7F) % 256);

    std::string cmd = "$012\r";
    SerialPort::AppendChecksum(cmd);
    EXPECT_EQ(cmd, "$012B7\r");

    struct Case {
        std::string reply;
        bool ok;
        std::string after;
    };
    const std::vector<Case> cases = {
        {"!01\r", false, "!01\r"},              // 4 characters: too short
        {"!0186\r", false, "!0\r"},             // wrong sum: three characters gone
        {"!0182\r", true, "!01\r"},             // '!'+'0'+'1' = 0x82
        {"!01400600C7\r", false, "!01400600"},  // wrong digits
        {"!01400600AC\r", true, "!01400600\r"},
        {"!01400600ac\r", true, "!01400600\r"},  // lower-case digits read as hex
        {"!0140060ZZ\r", false, "!0140060"},     // not hex at all
    };
    for (const auto& c : cases) {
        std::string r = c.reply;
        EXPECT_EQ(SerialPort::VerifyChecksum(r), c.ok) << c.reply;
        if (c.ok) {
            EXPECT_EQ(r, c.after) << c.reply;
        }
    }
    std::string shortReply = "!01\r";
    EXPECT_FALSE(SerialPort::VerifyChecksum(shortReply));
    EXPECT_EQ(shortReply, "!01\r");  // untouched when too short
}

namespace {

struct TransactCase {
    const char* name;
    std::uint8_t checksum;
    std::string command;
    std::string answer;  // "" = silent
    bool ok;
    std::string wire;   // what the module receives
    std::string reply;  // the reply text afterwards
};

}  // namespace

TEST(Transact, Table) {
    const std::string sixtyTwo(62, '7');
    const std::vector<TransactCase> cases = {
        {"plain", 0, "$012\r", "!01400600\r", true, "$012\r", "!01400600\r"},
        {"data reply", 0, "#01\r", ">+01.234\r", true, "#01\r", ">+01.234\r"},
        {"rejected", 0, "$01M\r", "?01\r", false, "$01M\r", "?01\r"},
        {"other lead", 0, "$01M\r", "*01\r", false, "$01M\r", "*01\r"},
        {"timeout", 0, "$01M\r", "", false, "$01M\r", ""},
        {"63 characters", 0, "#01\r", ">" + sixtyTwo.substr(1) + "\r", true, "#01\r",
         ">" + sixtyTwo.substr(1) + "\r"},
        {"64 characters", 0, "#01\r", ">" + sixtyTwo + "\r", false, "#01\r", ">" + sixtyTwo},
        {"checksum", 1, "$012\r", "!01400600AC\r", true, "$012B7\r", "!01400600\r"},
        {"checksum short", 1, "$012\r", "!01\r", false, "$012B7\r", "!01\r"},
        {"checksum wrong", 1, "$012\r", "!01400600AD\r", false, "$012B7\r", "!01400600"},
        {"checksum missing", 1, "$01M\r", "!017352\r", false, "$01MD2\r", "!0173"},
        {"checksum rejected", 1, "$01M\r", "?01A0\r", false, "$01MD2\r", "?01A0\r"},
    };
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok());
    auto link = OpenLink(peer.path(), 40);
    for (const auto& c : cases) {
        peer.clearReceived();
        peer.replyNext(c.answer);
        link->SetChecksum(c.checksum);
        std::string command = c.command, reply;
        EXPECT_EQ(link->Transact(command, 64, &reply), c.ok) << c.name;
        EXPECT_EQ(command, c.wire) << c.name;
        ASSERT_TRUE(peer.waitReceived(c.wire.size())) << c.name;
        EXPECT_EQ(peer.received(), c.wire) << c.name;
        EXPECT_EQ(reply, c.reply) << c.name;
        std::uint8_t b;
        while (link->ReadBytes(1, &b)) {
        }
    }
}

TEST(Transact, NoReplyTextWritesButFails) {
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok());
    auto link = OpenLink(peer.path());
    std::string command = "$01M\r";
    EXPECT_FALSE(link->Transact(command, 64, nullptr));
    ASSERT_TRUE(peer.waitReceived(5));
    EXPECT_EQ(peer.received(), "$01M\r");
}

TEST(Transact, ReplySplitOverTime) {
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok());
    auto link = OpenLink(peer.path(), 80);
    std::thread module([&] {
        if (!peer.waitReceived(4)) return;
        peer.send(">+01.2");
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
        peer.send("34+05");
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
        peer.send(".678\r");
    });
    std::string command = "#01\r", reply;
    EXPECT_TRUE(link->Transact(command, 64, &reply));
    EXPECT_EQ(reply, ">+01.234+05.678\r");
    module.join();
}

TEST(Transact, TimeoutCostsAboutT) {
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok());
    auto link = OpenLink(peer.path(), 80);
    std::string command = "$05M\r", reply;
    bool ok = true;
    long long ms = ElapsedMs([&] { ok = link->Transact(command, 64, &reply); });
    EXPECT_FALSE(ok);
    EXPECT_TRUE(reply.empty());
    EXPECT_GE(ms, 78);
    EXPECT_LT(ms, 300);
}

TEST(Transact, TerminalLimit) {
    // The terminal reads with 60: 59 characters pass, 60 do not.
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok());
    auto link = OpenLink(peer.path(), 40);
    peer.replyNext(">" + std::string(57, '1') + "\r");
    std::string command = "#01\r", reply;
    EXPECT_TRUE(link->Transact(command, 60, &reply));
    peer.replyNext(">" + std::string(58, '1') + "\r");
    command = "#01\r";
    reply.clear();
    EXPECT_FALSE(link->Transact(command, 60, &reply));
    EXPECT_EQ(reply.size(), 59u);
}

// A module that answers after the time-out: its late reply is never taken as the reply to the
// next command; every exchange fails instead of answering the one before.
TEST(Transact, LateReplyIsNotCreditedToTheNextCommand) {
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok());
    auto link = OpenLink(peer.path(), 80);
    std::vector<std::thread> late;
    peer.setHandler([&](const std::string& line) -> std::optional<std::string> {
        late.emplace_back([&peer, line] {
            std::this_thread::sleep_for(std::chrono::milliseconds(120));
            peer.send("!01 reply to " + line.substr(0, line.size() - 1) + "\r");
        });
        return std::nullopt;
    });
    for (const char* c : {"$01M\r", "$012\r", "$01F\r"}) {
        std::string command = c, reply;
        EXPECT_FALSE(link->Transact(command, 64, &reply)) << c << " got " << reply;
    }
    for (auto& t : late) t.join();
    // Answers in time again: the reply is the one to this command.
    peer.setHandler([](const std::string& line) -> std::optional<std::string> {
        return "!01 reply to " + line.substr(0, line.size() - 1) + "\r";
    });
    std::string command = "$01M\r", reply;
    EXPECT_TRUE(link->Transact(command, 64, &reply));
    EXPECT_EQ(reply, "!01 reply to $01M\r");
}

// The tail of a reply cut at the 64-character limit is dropped with it.
TEST(Transact, TailOfAnOverLongReplyIsDropped) {
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok());
    auto link = OpenLink(peer.path(), 80);
    peer.replyNext("!01" + std::string(67, 'X') + "\r");
    peer.replyNext("!01A1.20\r");
    std::string command = "$01M\r", reply;
    EXPECT_FALSE(link->Transact(command, 64, &reply));
    EXPECT_EQ(reply.size(), 63u);
    command = "$01F\r";
    reply.clear();
    long long ms = ElapsedMs([&] { EXPECT_TRUE(link->Transact(command, 64, &reply)); });
    EXPECT_EQ(reply, "!01A1.20\r");
    EXPECT_LT(ms, 60);  // nothing waited for: the cut line was read to its end
}

namespace {

// The line with its checksum digits and CR.
std::string WithSum(const std::string& line) {
    char digits[4];
    std::snprintf(digits, sizeof digits, "%02X\r", SerialPort::ComputeChecksum(line));
    return line + digits;
}

}  // namespace

// Whether a line can be the reply to a command: the command's address ("!AA", "?AA") on "$",
// "%", "@" and "~" commands, and the fixed form where there is one ("$AA2": 6 or 4 hex digits).
TEST(ReplyCheck, ForeignLinesByAddressAndForm) {
    struct Case {
        const char* command;
        std::string line;
        bool checksum;
        bool foreign;
    };
    const Case cases[] = {
        {"$012\r", "!01400600\r", false, false},
        {"$012\r", "!017352R\r", false, true},      // the name of $01M, late
        {"$012\r", "!01\r", false, true},           // too short for a configuration
        {"$032\r", "!030600\r", false, false},      // a main unit: no type code
        {"$012\r", "!01400600AC\r", false, false},  // the module has its checksum on
        {"$0a2\r", "!0A400600\r", false, false},    // hex digits in either case
        {"$02M\r", "!017352R\r", false, true},      // another address
        {"$02M\r", "?01\r", false, true},
        {"$02M\r", "?02\r", false, false},       // rejected by the addressed module
        {"$01M\r", ">+01.234\r", false, true},   // a data reply carries no address
        {"$01F\r", "!01A1.20\r", false, false},  // free length: the address alone
        {"@01DI\r", "!02203\r", false, true},
        {"~010\r", "!02\r", false, true},  // not in the table: the address alone
        {"~010\r", "!01\r", false, false},
        {"%0102080600\r", "!02\r", false, false},  // set configuration: the new address
        {"%0102080600\r", "!01\r", false, false},  // or the old one
        {"%0102080600\r", "!03\r", false, true},
        // Not checked: "#" commands, replies that carry no address, lines that are no reply.
        {"#01\r", "!027352\r", false, false},
        {"$016\r", "!0F0300\r", false, false},
        {"$01X1\r", "!006400\r", false, false},
        {"$013\r", ">+025.00\r", false, false},
        {"$01M\r", "*01\r", false, false},
        {"$01M\r", "$01M\r", false, false},  // an echo
        // With the checksum on the digits are checked first where the address fits.
        {"$012B7\r", "!01400600AC\r", true, false},
        {"$012B7\r", "!01\r", true, false},      // the checksum rule fails it
        {"$01MD2\r", "!027352R\r", true, true},  // another address, whatever the digits
        {"$012B7\r", WithSum("!017352R"), true, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(odel::forms::IsForeignReply(c.command, c.line, c.checksum), c.foreign)
            << c.command << " / " << c.line;
}

// A peer that answers 170-200 ms late at an 80 ms time-out: no command gets the reply of the one
// before, whether it goes to the same address or another.
TEST(Transact, LateReplyOfAnotherFormOrAddressIsNotTaken) {
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok());
    auto link = OpenLink(peer.path(), 80);
    std::vector<std::thread> late;
    std::mutex mu;
    peer.setHandler([&](const std::string& line) -> std::optional<std::string> {
        const std::string reply = line == "$012\r"   ? "!01400600\r"
                                  : line == "$01M\r" ? "!017352R\r"
                                                     : "!027354\r";
        std::lock_guard<std::mutex> lock(mu);
        late.emplace_back([&peer, reply, n = late.size()] {
            std::this_thread::sleep_for(std::chrono::milliseconds(170 + 10 * (n % 4)));
            peer.send(reply);
        });
        return std::nullopt;
    });
    // (A late "$AA2" reply would pass as the name of "$AAM" at the same address: names have no
    // fixed form.)
    for (const char* c : {"$01M\r", "$012\r", "$02M\r", "$012\r", "$02M\r"}) {
        std::string command = c, reply;
        EXPECT_FALSE(link->Transact(command, 64, &reply)) << c << " got " << reply;
    }
    std::lock_guard<std::mutex> lock(mu);
    for (auto& t : late) t.join();
}

// A foreign line is dropped and the read goes on: the reply behind it is taken, and with none
// the exchange fails one time-out after the foreign line, its text empty.
TEST(Transact, ForeignLineIsDroppedAndTheReadGoesOn) {
    ScriptedPeer peer;
    ASSERT_TRUE(peer.ok());
    auto link = OpenLink(peer.path(), 80);
    peer.replyNext("!027352\r!01400600\r");
    std::string command = "$012\r", reply;
    EXPECT_TRUE(link->Transact(command, 64, &reply));
    EXPECT_EQ(reply, "!01400600\r");
    peer.replyNext("!017352R\r");
    command = "$012\r";
    reply.clear();
    bool ok = true;
    long long ms = ElapsedMs([&] { ok = link->Transact(command, 64, &reply); });
    EXPECT_FALSE(ok);
    EXPECT_EQ(reply, "");
    EXPECT_GE(ms, 78);
    EXPECT_LT(ms, 300);
}

// The telnet session of rfc2217:// links, byte for byte, and the parsing of network port names.
#include <gtest/gtest.h>

#include "device/LinkTransport.h"
#include "device/Telnet.h"

namespace {

using odel::link::ParsePortName;
using odel::link::PortAddress;
using odel::link::Scheme;
using odel::telnet::Session;

std::string B(std::initializer_list<int> list) {
    std::string s;
    for (int b : list) s.push_back(static_cast<char>(b));
    return s;
}

// Feeds the server's bytes; returns the data, and the answers in *reply.
std::string Feed(Session& s, const std::string& in, std::string* reply = nullptr) {
    std::string data, answers;
    s.Receive(reinterpret_cast<const std::uint8_t*>(in.data()), in.size(), data, answers);
    if (reply) *reply = answers;
    return data;
}

std::string Encode(const Session& s, const std::string& data) {
    std::string out;
    s.Encode(reinterpret_cast<const std::uint8_t*>(data.data()), data.size(), out);
    return out;
}

// A session whose server agreed to everything we offered.
Session Agreed() {
    Session s;
    s.Start();
    Feed(s, B({255, 253, 0, 255, 253, 44, 255, 251, 0, 255, 251, 3}));
    return s;
}

TEST(TelnetSession, OffersBinaryBothWaysComPortAndSuppressGoAhead) {
    Session s;
    EXPECT_EQ(s.Start(), B({255, 251, 0, 255, 251, 44, 255, 253, 0, 255, 253, 3}));
    EXPECT_FALSE(s.Negotiated());
    Session agreed = Agreed();
    EXPECT_TRUE(agreed.Negotiated());
    EXPECT_TRUE(agreed.ComPortAccepted());
}

TEST(TelnetSession, AnswersOnlyWhatChangesAState) {
    struct Case {
        const char* what;
        std::string server;
        std::string answer;
        bool comPort;
    };
    const Case cases[] = {
        {"answers to our offers need no answer", B({255, 253, 44, 255, 251, 0}), "", true},
        {"echo is refused", B({255, 251, 1}), B({255, 254, 1}), false},
        {"an unknown option asked of us is refused", B({255, 253, 24}), B({255, 252, 24}), false},
        {"a refused COM-PORT-OPTION", B({255, 254, 44}), "", false},
        {"a repeated DO after acceptance is not answered", B({255, 253, 44, 255, 253, 44}), "",
         true},
        {"DONT after acceptance is acknowledged", B({255, 253, 44, 255, 254, 44}), B({255, 252, 44}),
         false},
    };
    for (const Case& c : cases) {
        Session s;
        s.Start();
        std::string reply;
        EXPECT_EQ(Feed(s, c.server, &reply), "") << c.what;
        EXPECT_EQ(reply, c.answer) << c.what;
        EXPECT_EQ(s.ComPortAccepted(), c.comPort) << c.what;
    }
}

TEST(TelnetSession, DataCrossesUnchangedWithIacDoubled) {
    Session s = Agreed();
    // A Modbus frame with 0xFF in it, a CR-terminated ASCII line.
    EXPECT_EQ(Encode(s, B({0x01, 0x03, 0xFF, 0x0D, 0x00})), B({0x01, 0x03, 0xFF, 0xFF, 0x0D, 0x00}));
    EXPECT_EQ(Feed(s, B({'!', 0xFF, 0xFF, 0x0D, 0x00, 0xFF, 0xF1, 'x'})),
              B({'!', 0xFF, 0x0D, 0x00, 'x'}));  // IAC NOP dropped, NUL kept in binary mode
}

TEST(TelnetSession, OutsideBinaryModeCrTravelsAsCrNul) {
    Session s;
    s.Start();
    Feed(s, B({255, 254, 0, 255, 252, 0}));  // binary refused both ways
    EXPECT_EQ(Encode(s, "$012\r"), B({'$', '0', '1', '2', '\r', 0}));
    EXPECT_EQ(Feed(s, B({'!', '\r', 0, 'A', 0})), B({'!', '\r', 'A', 0}));
}

TEST(TelnetSession, LineSettingsAndPurgeAsComPortSubnegotiations) {
    Session s = Agreed();
    EXPECT_EQ(s.SetLine({19200, 8, 0, 0}),
              B({255, 250, 44, 1, 0, 0, 0x4B, 0x00, 255, 240, 255, 250, 44, 2, 8, 255, 240,
                 255, 250, 44, 3, 1, 255, 240, 255, 250, 44, 4, 1, 255, 240}));
    EXPECT_EQ(s.SetLine({115200, 7, 2, 2}).substr(0, 10),
              B({255, 250, 44, 1, 0, 1, 0xC2, 0x00, 255, 240}));
    EXPECT_EQ(s.PurgeInput(), B({255, 250, 44, 12, 1, 255, 240}));
}

TEST(TelnetSession, ServerAnswersToTheSettingsAreCounted) {
    Session s = Agreed();
    s.SetLine({19200, 8, 0, 0});
    EXPECT_FALSE(s.LineAnswered());
    // The answers arrive split across reads, around data bytes.
    Feed(s, B({255, 250, 44, 101, 0, 0, 0x4B}));
    EXPECT_EQ(Feed(s, B({0x00, 255, 240, 'A', 255, 250, 44, 102, 8, 255, 240, 255, 250, 44, 103, 1,
                         255, 240})),
              "A");
    EXPECT_FALSE(s.LineAnswered());
    Feed(s, B({255, 250, 44, 104, 1, 255, 240}));
    EXPECT_TRUE(s.LineAnswered());
    EXPECT_TRUE(s.BaudTaken());

    s.SetLine({38400, 8, 0, 0});
    Feed(s, B({255, 250, 44, 101, 0, 0, 0x25, 0x80, 255, 240, 255, 250, 44, 102, 8, 255, 240,
               255, 250, 44, 103, 1, 255, 240, 255, 250, 44, 104, 1, 255, 240}));
    EXPECT_TRUE(s.LineAnswered());
    EXPECT_FALSE(s.BaudTaken()) << "the server kept 9600";
}

TEST(TelnetSession, OverlongOrBrokenSubnegotiationsAreDropped) {
    Session s = Agreed();
    s.SetLine({9600, 8, 0, 0});
    std::string longSub = B({255, 250, 44, 101});
    longSub += std::string(200, 'x');
    longSub += B({255, 240});
    EXPECT_EQ(Feed(s, longSub + B({255, 250, 44, 102, 8, 255, 253, 'z'})), "z");
    EXPECT_FALSE(s.LineAnswered());
}

TEST(PortName, NetworkNamesAndDevicePaths) {
    struct Case {
        const char* name;
        bool valid;
        Scheme scheme;
        const char* host;
        const char* service;
    };
    const Case cases[] = {
        {"/dev/ttyUSB0", true, Scheme::Device, "", ""},
        {"tcp://127.0.0.1:4001", true, Scheme::RawTcp, "127.0.0.1", "4001"},
        {"RFC2217://pi.local:2217/", true, Scheme::Rfc2217, "pi.local", "2217"},
        {"tcp://[::1]:23", true, Scheme::RawTcp, "::1", "23"},
        {"tcp://host", false, Scheme::RawTcp, "", ""},
        {"tcp://:4001", false, Scheme::RawTcp, "", ""},
        {"tcp://host:0", false, Scheme::RawTcp, "", ""},
        {"tcp://host:65536", false, Scheme::RawTcp, "", ""},
        {"tcp://host:40a1", false, Scheme::RawTcp, "", ""},
        {"tcp://::1:23", false, Scheme::RawTcp, "", ""},
        {"rfc2217://[::1]23", false, Scheme::Rfc2217, "", ""},
    };
    for (const Case& c : cases) {
        PortAddress a;
        ASSERT_EQ(ParsePortName(c.name, a), c.valid) << c.name;
        if (!c.valid) continue;
        EXPECT_EQ(a.scheme, c.scheme) << c.name;
        EXPECT_EQ(a.host, c.host) << c.name;
        EXPECT_EQ(a.service, c.service) << c.name;
    }
}

}  // namespace

// ModbusMaster against a libmodbus RTU server and against a scripted peer (exact frames, faults).
#include <gtest/gtest.h>
#include <modbus.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "device/ModbusMaster.h"
#include "device/serial_test_link.h"

using odel::ModbusMaster;
using odel::test::ElapsedMs;
using odel::test::OpenLink;
using odel::test::ScriptedPeer;

namespace {

// Bitwise CRC-16/Modbus, independent of the table version under test.
std::string WithCrc(std::string frame) {
    unsigned crc = 0xFFFF;
    for (unsigned char c : frame) {
        crc ^= c;
        for (int i = 0; i < 8; ++i) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    frame.push_back(static_cast<char>(crc & 0xFF));
    frame.push_back(static_cast<char>(crc >> 8));
    return frame;
}

std::string Bytes(std::initializer_list<int> list) {
    std::string s;
    for (int b : list) s.push_back(static_cast<char>(b));
    return s;
}

// A libmodbus RTU server (slave 1) on the master side of a pseudo-terminal.
class LibmodbusServer {
  public:
    LibmodbusServer() {
        char name[256] = {};
        if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) return;
        path_ = name;
        termios t{};
        tcgetattr(slave_, &t);
        cfmakeraw(&t);
        tcsetattr(slave_, TCSANOW, &t);
        map_ = modbus_mapping_new(64, 0, 64, 0);
        ctx_ = modbus_new_rtu(path_.c_str(), 9600, 'N', 8, 1);
        modbus_set_slave(ctx_, 1);
        // The pty's master side has no path of its own: hand its descriptor to libmodbus.
        modbus_set_socket(ctx_, master_);
        modbus_set_indication_timeout(ctx_, 0, 50000);
        thread_ = std::thread([this] { Run(); });
    }
    ~LibmodbusServer() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (ctx_) modbus_free(ctx_);  // not modbus_close: the descriptors are ours
        if (map_) modbus_mapping_free(map_);
        if (master_ >= 0) close(master_);
        if (slave_ >= 0) close(slave_);
    }
    const std::string& path() const { return path_; }
    modbus_mapping_t* map() { return map_; }
    bool ok() const { return ctx_ != nullptr && map_ != nullptr; }

  private:
    void Run() {
        std::uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
        while (!stop_) {
            int rc = modbus_receive(ctx_, query);
            if (rc > 0) modbus_reply(ctx_, query, rc, map_);
        }
    }
    int master_ = -1, slave_ = -1;
    std::string path_;
    modbus_t* ctx_ = nullptr;
    modbus_mapping_t* map_ = nullptr;
    std::thread thread_;
    std::atomic<bool> stop_{false};
};

}  // namespace

TEST(ModbusCrc, TablePairMatchesTheStandard) {
    const std::uint8_t request[] = {0x01, 0x03, 0x00, 0x00, 0x00, 0x01};
    EXPECT_EQ(ModbusMaster::Crc16(request, sizeof request), 0x0A84);  // sent as 84 0A
    EXPECT_EQ(ModbusMaster::Crc16(request, 0), 0xFFFF);
    std::string all;
    for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
    std::string withCrc = WithCrc(all);
    std::uint16_t crc =
        ModbusMaster::Crc16(reinterpret_cast<const std::uint8_t*>(all.data()), all.size());
    EXPECT_EQ(crc & 0xFF, static_cast<std::uint8_t>(withCrc[256]));
    EXPECT_EQ(crc >> 8, static_cast<std::uint8_t>(withCrc[257]));
}

TEST(ModbusLibmodbus, AllFourFunctions) {
    LibmodbusServer server;
    ASSERT_TRUE(server.ok());
    auto link = OpenLink(server.path(), 100);
    ModbusMaster mb(link.get());
    modbus_mapping_t* map = server.map();
    const int coils[16] = {1, 0, 1, 1, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 1};
    for (int i = 0; i < 16; ++i) map->tab_bits[i] = static_cast<std::uint8_t>(coils[i]);
    map->tab_registers[0] = 0x7352;
    map->tab_registers[1] = 0x5200;
    map->tab_registers[2] = 0x0FA0;

    std::uint8_t data[ModbusMaster::kReceiveBufferSize] = {};
    int count = 0;
    ASSERT_TRUE(mb.RequestReadCoils(1, 1, 16));
    ASSERT_TRUE(mb.ReceiveReadCoils(data, count));
    EXPECT_EQ(count, 2);
    EXPECT_EQ(data[0], 0x8D);  // coils 1..8, first coil in the least significant bit
    EXPECT_EQ(data[1], 0x82);
    EXPECT_EQ(mb.RequestText(), "010100000010");
    EXPECT_EQ(mb.ReplyText(), "0101028D82");

    ASSERT_TRUE(mb.RequestReadRegisters(1, 1, 3));
    ASSERT_TRUE(mb.ReceiveReadRegisters(data, count));
    EXPECT_EQ(count, 6);
    EXPECT_EQ(std::vector<int>(data, data + 6),
              (std::vector<int>{0x73, 0x52, 0x52, 0, 0x0F, 0xA0}));

    ASSERT_TRUE(mb.RequestWriteCoil(1, 17, true));
    EXPECT_TRUE(mb.ReceiveWriteCoil());
    EXPECT_EQ(map->tab_bits[16], 1);
    ASSERT_TRUE(mb.RequestWriteCoil(1, 1, false));
    EXPECT_TRUE(mb.ReceiveWriteCoil());
    EXPECT_EQ(map->tab_bits[0], 0);

    ASSERT_TRUE(mb.RequestWriteRegister(1, 5, 0xBEEF));
    EXPECT_TRUE(mb.ReceiveWriteRegister());
    EXPECT_EQ(map->tab_registers[4], 0xBEEF);
    EXPECT_EQ(mb.ReplyText(), "01060004BEEF");

    // Outside the server's map: an exception answer, which fails after the time-out.
    ASSERT_TRUE(mb.RequestReadRegisters(1, 211, 2));
    bool ok = true;
    long long ms = ElapsedMs([&] { ok = mb.ReceiveReadRegisters(data, count); });
    EXPECT_FALSE(ok);
    EXPECT_GE(ms, 100);

    // Another slave: nobody answers.
    ASSERT_TRUE(mb.RequestReadRegisters(2, 1, 1));
    EXPECT_FALSE(mb.ReceiveReadRegisters(data, count));
}

namespace {

struct ModbusPeerTest : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(peer.ok());
        link = OpenLink(peer.path(), 40);
        mb = std::make_unique<ModbusMaster>(link.get());
        peer.setFrameHandler(
            8, [this](const std::string&) -> std::optional<std::string> { return answer; });
    }
    ScriptedPeer peer;
    std::unique_ptr<odel::SerialPort> link;
    std::unique_ptr<ModbusMaster> mb;
    std::string answer;
    std::uint8_t data[ModbusMaster::kReceiveBufferSize] = {};
    int count = -1;
};

}  // namespace

TEST_F(ModbusPeerTest, RequestBytesOnTheWire) {
    struct Case {
        const char* name;
        std::function<bool(ModbusMaster&)> request;
        std::string wire;
    };
    const std::vector<Case> cases = {
        {"read coils", [](ModbusMaster& m) { return m.RequestReadCoils(1, 1, 16); },
         Bytes({0x01, 0x01, 0x00, 0x00, 0x00, 0x10, 0x3D, 0xC6})},
        {"coil on", [](ModbusMaster& m) { return m.RequestWriteCoil(1, 17, true); },
         Bytes({0x01, 0x05, 0x00, 0x10, 0xFF, 0x00, 0x8D, 0xFF})},
        {"coil off", [](ModbusMaster& m) { return m.RequestWriteCoil(1, 17, false); },
         Bytes({0x01, 0x05, 0x00, 0x10, 0x00, 0x00, 0xCC, 0x0F})},
        {"read register", [](ModbusMaster& m) { return m.RequestReadRegisters(1, 1, 1); },
         Bytes({0x01, 0x03, 0x00, 0x00, 0x00, 0x01, 0x84, 0x0A})},
        {"name registers", [](ModbusMaster& m) { return m.RequestReadRegisters(0x21, 211, 2); },
         WithCrc(Bytes({0x21, 0x03, 0x00, 0xD2, 0x00, 0x02}))},
        {"write register", [](ModbusMaster& m) { return m.RequestWriteRegister(1, 5, 0xBEEF); },
         Bytes({0x01, 0x06, 0x00, 0x04, 0xBE, 0xEF, 0xF8, 0x27})},
        {"largest numbers",
         [](ModbusMaster& m) { return m.RequestWriteRegister(255, 65536, 65535); },
         WithCrc(Bytes({0xFF, 0x06, 0xFF, 0xFF, 0xFF, 0xFF}))},
    };
    for (const auto& c : cases) {
        peer.clearReceived();
        EXPECT_TRUE(c.request(*mb)) << c.name;
        ASSERT_TRUE(peer.waitReceived(8)) << c.name;
        EXPECT_EQ(peer.received(), c.wire) << c.name;
    }
    EXPECT_EQ(mb->RequestText(), "FF06FFFFFFFF");
}

TEST_F(ModbusPeerTest, OutOfRangeSendsNothing) {
    EXPECT_FALSE(mb->RequestReadCoils(1, 0, 16));  // coil numbers start at 1
    EXPECT_FALSE(mb->RequestReadCoils(1, 65537, 1));
    EXPECT_FALSE(mb->RequestReadRegisters(1, 1, 65536));
    EXPECT_FALSE(mb->RequestReadRegisters(1, 1, -1));
    EXPECT_FALSE(mb->RequestWriteRegister(1, 1, 70000));
    EXPECT_FALSE(mb->RequestWriteRegister(1, 1, -5));
    EXPECT_FALSE(mb->RequestWriteCoil(256, 1, true));
    EXPECT_FALSE(mb->RequestWriteCoil(-1, 1, true));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(peer.received(), "");
    ModbusMaster none(nullptr);
    EXPECT_FALSE(none.RequestReadCoils(1, 1, 1));
    EXPECT_FALSE(none.ReceiveReadCoils(data, count));
    EXPECT_FALSE(none.ReceiveWriteCoil());
}

TEST_F(ModbusPeerTest, AnswerTable) {
    struct Case {
        const char* name;
        std::string answer;
        bool ok;
        int count;
        std::string replyText;
    };
    const std::vector<Case> cases = {
        {"good", WithCrc(Bytes({0x01, 0x03, 0x04, 0x73, 0x52, 0x52, 0x00})), true, 4,
         "010304735252"
         "00"},
        {"another slave address is not checked", WithCrc(Bytes({0x07, 0x03, 0x02, 0x12, 0x34})),
         true, 2, "0703021234"},
        {"bad crc", Bytes({0x01, 0x03, 0x02, 0xAA, 0xBB, 0x86, 0x98}), false, -1, ""},
        {"exception", WithCrc(Bytes({0x01, 0x83, 0x02})), false, -1, ""},
        {"three bytes", Bytes({0x01, 0x03, 0x02}), false, -1, ""},
        {"other function", WithCrc(Bytes({0x01, 0x04, 0x02, 0x12, 0x34})), false, -1, ""},
        {"cut short with a fitting crc", WithCrc(Bytes({0x01, 0x03, 0x04, 0x01, 0x02})), false, -1,
         ""},
        {"nothing", "", false, -1, ""},
    };
    for (const auto& c : cases) {
        answer = c.answer;
        count = -1;
        ASSERT_TRUE(mb->RequestReadRegisters(1, 1, 2)) << c.name;
        EXPECT_EQ(mb->ReceiveReadRegisters(data, count), c.ok) << c.name;
        EXPECT_EQ(count, c.count) << c.name;
        if (c.ok) {
            EXPECT_EQ(mb->ReplyText(), c.replyText) << c.name;
        }
    }
    answer = WithCrc(Bytes({0x01, 0x03, 0x04, 0x73, 0x52, 0x52, 0x00}));
    ASSERT_TRUE(mb->RequestReadRegisters(1, 1, 2));
    ASSERT_TRUE(mb->ReceiveReadRegisters(data, count));
    EXPECT_EQ(std::vector<int>(data, data + 4), (std::vector<int>{0x73, 0x52, 0x52, 0x00}));
}

TEST_F(ModbusPeerTest, EchoAnswers) {
    struct Case {
        const char* name;
        std::string answer;
        bool ok;
    };
    const std::vector<Case> cases = {
        {"echo", WithCrc(Bytes({0x01, 0x05, 0x00, 0x10, 0xFF, 0x00})), true},
        {"echo value not compared", WithCrc(Bytes({0x01, 0x05, 0x00, 0x11, 0x00, 0x00})), true},
        {"bad crc", Bytes({0x01, 0x05, 0x00, 0x10, 0xFF, 0x00, 0x8D, 0xFE}), false},
        {"other function", WithCrc(Bytes({0x01, 0x06, 0x00, 0x10, 0xFF, 0x00})), false},
        {"exception", WithCrc(Bytes({0x01, 0x85, 0x02})), false},
        {"seven bytes", Bytes({0x01, 0x05, 0x00, 0x10, 0xFF, 0x00, 0x8D}), false},
    };
    for (const auto& c : cases) {
        answer = c.answer;
        ASSERT_TRUE(mb->RequestWriteCoil(1, 17, true)) << c.name;
        EXPECT_EQ(mb->ReceiveWriteCoil(), c.ok) << c.name;
    }
    answer = WithCrc(Bytes({0x01, 0x06, 0x00, 0x04, 0xBE, 0xEF}));
    ASSERT_TRUE(mb->RequestWriteRegister(1, 5, 0xBEEF));
    EXPECT_TRUE(mb->ReceiveWriteRegister());
    answer = WithCrc(Bytes({0x01, 0x05, 0x00, 0x04, 0xBE, 0xEF}));
    ASSERT_TRUE(mb->RequestWriteRegister(1, 5, 0xBEEF));
    EXPECT_FALSE(mb->ReceiveWriteRegister());
}

TEST_F(ModbusPeerTest, StopsAtTheAnnouncedLengthAndPurgesStaleBytes) {
    answer = WithCrc(Bytes({0x01, 0x01, 0x02, 0x8D, 0x82})) + "tail";
    ASSERT_TRUE(mb->RequestReadCoils(1, 1, 16));
    ASSERT_TRUE(mb->ReceiveReadCoils(data, count));
    EXPECT_EQ(count, 2);
    std::uint8_t rest[4];
    ASSERT_TRUE(link->ReadBytes(4, rest));  // nothing after the frame was consumed
    EXPECT_EQ(std::string(reinterpret_cast<char*>(rest), 4), "tail");

    // Stale bytes from an earlier answer are thrown away before the next request.
    peer.send("stale bytes");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(mb->RequestReadCoils(1, 1, 16));
    ASSERT_TRUE(mb->ReceiveReadCoils(data, count));
    EXPECT_EQ(mb->ReplyText(), "0101028D82");
    EXPECT_EQ(link->GetTimeout(), 40);  // the purge puts the time-out back
}

TEST_F(ModbusPeerTest, OversizedAnswersFailWithoutOverflow) {
    // 251 data bytes are the most a 256-byte frame holds.
    std::string largest = Bytes({0x01, 0x03, 251});
    for (int i = 0; i < 251; ++i) largest.push_back(static_cast<char>(i));
    answer = WithCrc(largest);
    ASSERT_TRUE(mb->RequestReadRegisters(1, 1, 125));
    ASSERT_TRUE(mb->ReceiveReadRegisters(data, count));
    EXPECT_EQ(count, 251);
    EXPECT_EQ(data[250], 250);
    // The same answer into a smaller buffer fails instead of writing past its end.
    std::vector<std::uint8_t> small(16, 0xEE);
    ASSERT_TRUE(mb->RequestReadRegisters(1, 1, 125));
    EXPECT_FALSE(mb->ReceiveReadRegisters(small.data(), 8, count));
    EXPECT_EQ(small[8], 0xEE);

    for (int announced : {252, 255}) {
        std::string frame = Bytes({0x01, 0x03, announced});
        for (int i = 0; i < announced; ++i) frame.push_back(static_cast<char>(0x55));
        answer = WithCrc(frame);
        count = -1;
        ASSERT_TRUE(mb->RequestReadRegisters(1, 1, 127));
        EXPECT_FALSE(mb->ReceiveReadRegisters(data, count)) << announced;
        EXPECT_EQ(count, -1);
        // The whole oversized frame was taken off the line.
        std::uint8_t b;
        EXPECT_FALSE(link->ReadBytes(1, &b)) << announced;
    }
}

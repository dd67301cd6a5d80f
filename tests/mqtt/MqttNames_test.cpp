// Broker URLs, topic levels and payloads: the texts that reach the broker.
#include "mqtt/MqttNames.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>

#include "scope/CsvWriter.h"

using namespace odel::mqtt;

TEST(MqttNames, BrokerUrls) {
    struct Case {
        const char* text;
        bool tls;
        const char* host;
        int port;
    } good[] = {
        {"mqtt://broker", false, "broker", 1883},
        {"mqtts://broker", true, "broker", 8883},
        {"mqtt://10.1.2.3:1884", false, "10.1.2.3", 1884},
        {"mqtts://plant-mqtt.example.org:8884/", true, "plant-mqtt.example.org", 8884},
        {"mqtt://[::1]:1883", false, "::1", 1883},
        {"mqtts://[fe80::1]", true, "fe80::1", 8883},
    };
    for (const auto& c : good) {
        std::string error;
        const auto url = ParseBrokerUrl(c.text, &error);
        ASSERT_TRUE(url) << c.text << ": " << error;
        EXPECT_EQ(url->tls, c.tls) << c.text;
        EXPECT_EQ(url->host, c.host) << c.text;
        EXPECT_EQ(url->port, c.port) << c.text;
    }
    struct Bad {
        const char* text;
        const char* error;
    } bad[] = {
        {"broker:1883", "a broker URL is mqtt://HOST[:PORT] or mqtts://HOST[:PORT]: broker:1883"},
        {"tcp://broker", "a broker URL is mqtt://HOST[:PORT] or mqtts://HOST[:PORT]: tcp://broker"},
        {"MQTT://broker",
         "a broker URL is mqtt://HOST[:PORT] or mqtts://HOST[:PORT]: MQTT://broker"},
        {"mqtt://", "no host in mqtt://"},
        {"mqtt://:1883", "no host in mqtt://:1883"},
        {"mqtt://broker:", "bad port in mqtt://broker:"},
        {"mqtt://broker:0", "bad port in mqtt://broker:0"},
        {"mqtt://broker:65536", "bad port in mqtt://broker:65536"},
        {"mqtt://broker:18x3", "bad port in mqtt://broker:18x3"},
        {"mqtt://broker:1883/odel", "a broker URL has no path: mqtt://broker:1883/odel"},
        {"mqtt://user:pw@broker",
         "no user or password in the broker URL: use --mqtt-user with --mqtt-password-file or "
         "the environment variable ODEL_MQTT_PASSWORD"},
        {"mqtt://bro ker",
         "a broker URL is mqtt://HOST[:PORT] or mqtts://HOST[:PORT]: mqtt://bro ker"},
        {"mqtt://[::1", "a broker URL is mqtt://HOST[:PORT] or mqtts://HOST[:PORT]: mqtt://[::1"},
        {"mqtt://[::g]", "not an IPv6 address in mqtt://[::g]"},
        {"mqtt://[::1]x",
         "a broker URL is mqtt://HOST[:PORT] or mqtts://HOST[:PORT]: mqtt://[::1]x"},
    };
    for (const auto& c : bad) {
        std::string error;
        EXPECT_FALSE(ParseBrokerUrl(c.text, &error)) << c.text;
        EXPECT_EQ(error, c.error);
    }
}

TEST(MqttNames, TopicLevelsAreSanitised) {
    const std::pair<const char*, const char*> cases[] = {
        {"line-3", "line-3"},
        {"CN0", "CN0"},
        {"a/b", "a_b"},
        {"+", "_"},
        {"#", "_"},
        {"$SYS", "SYS"},
        {"hall 2 / north", "hall_2_north"},
        {"", "_"},
        {"temp.°C", "temp._C"},
        {"a\nb\x01", "a_b"},
        {"__x__", "x"},
    };
    for (const auto& [name, level] : cases) EXPECT_EQ(TopicLevel(name), level) << name;
    EXPECT_EQ(PortLevel("/dev/ttyUSB0"), "ttyUSB0");
    EXPECT_EQ(PortLevel("/dev/serial/by-id/usb-FTDI_X-if00"), "serial_by-id_usb-FTDI_X-if00");
    EXPECT_EQ(PortLevel("tcp://10.0.0.5:4001"), "tcp_10.0.0.5_4001");
    EXPECT_EQ(SampleTopic("hall 2", "/dev/ttyUSB0", "01", "8017", "0"),
              "odel/hall_2/ttyUSB0/01-8017/0");
    EXPECT_EQ(SampleTopic("pi", "rfc2217://gw:2001", "0A", "8080", "CN1"),
              "odel/pi/rfc2217_gw_2001/0A-8080/CN1");
    EXPECT_EQ(StatusTopic("pi+1", "/dev/ttyS0"), "odel/pi_1/ttyS0/status");
    EXPECT_EQ(DroppedTopic("pi", "/dev/ttyS0"), "odel/pi/ttyS0/dropped");
}

TEST(MqttNames, JsonNumbersReadBackAsTheSameDouble) {
    const std::pair<double, const char*> numbers[] = {
        {25.31, "25.31"},
        {-0.5, "-0.5"},
        {12, "12"},
        {1e21, "1e+21"},
        {0.1 + 0.2, "0.30000000000000004"},
        {-4095, "-4095"},
    };
    for (const auto& [value, json] : numbers) EXPECT_EQ(JsonNumber(value).value_or("none"), json);
    for (double junk : {NAN, INFINITY, -INFINITY}) EXPECT_FALSE(JsonNumber(junk));
}

TEST(MqttNames, Payloads) {
    const std::string t = "2026-12-09T16:05:07.042+01:00";
    EXPECT_EQ(SamplePayload(t, 25.31, "°C", true),
              R"({"t": "2026-12-09T16:05:07.042+01:00", "v": 25.31, "unit": "°C", "ok": true})");
    EXPECT_EQ(SamplePayload(t, std::nullopt, "mA", false),
              R"({"t": "2026-12-09T16:05:07.042+01:00", "v": null, "unit": "mA", "ok": false})");
    // A read that succeeded without a number (burn-out) still says it was read.
    EXPECT_EQ(SamplePayload(t, std::nullopt, "V", true),
              R"({"t": "2026-12-09T16:05:07.042+01:00", "v": null, "unit": "V", "ok": true})");
    EXPECT_EQ(SamplePayload(t, 3.0, "", false),
              R"({"t": "2026-12-09T16:05:07.042+01:00", "v": null, "unit": "", "ok": false})");
    EXPECT_EQ(
        SamplePayload(t, 1, "a \"q\" \\ \x01", true),
        R"({"t": "2026-12-09T16:05:07.042+01:00", "v": 1, "unit": "a \"q\" \\ \u0001", "ok": true})");
    EXPECT_EQ(DroppedPayload(t, 7), R"({"t": "2026-12-09T16:05:07.042+01:00", "dropped": 7})");
}

// The time of every payload.
TEST(MqttNames, IsoLocalTimeWithOffset) {
    const char* saved = std::getenv("TZ");
    const std::string old = saved ? saved : "";
    // 2026-12-09 10:00:00.042 UTC
    const auto when =
        std::chrono::system_clock::time_point(std::chrono::milliseconds(1796810400042));
    const std::pair<const char*, const char*> zones[] = {
        {"UTC0", "2026-12-09T10:00:00.042+00:00"},
        {"IST-05:30", "2026-12-09T15:30:00.042+05:30"},
        {"BRT+03", "2026-12-09T07:00:00.042-03:00"},
    };
    for (const auto& [zone, text] : zones) {
        setenv("TZ", zone, 1);
        tzset();
        EXPECT_EQ(odel::scope::IsoLocalTime(when), text) << zone;
    }
    if (saved)
        setenv("TZ", old.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

// odelctl log --mqtt as a process, against the simulator and a real mosquitto: the exact topics
// and payloads beside the CSV of the same sweeps, the last will after SIGKILL, a broker outage,
// SIGTERM, and what is refused before sampling starts.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <map>
#include <thread>

#include "common/LogBus.h"
#include "common/Mosquitto.h"
#include "common/MqttSubscriber.h"
#include "common/OdelctlProcess.h"
#include "sim/SimBus.h"

using odel::sim::ModuleState;
using odel::test::Mosquitto;
using odel::test::MqttSubscriber;
using odel::test::OdelctlProcess;
using odel::test::Received;

namespace {

class MqttLogTest : public odel::test::BrokerSuite {
  protected:
    void SetUp() override {
        ModuleState counter = *odel::sim::makeModule("7320", 0x07);
        counter.counts = {1234, 0};
        ASSERT_TRUE(sim_.start(odel::test::LogBus({counter}))) << sim_.error();
        port_ = sim_.slavePath();
        ASSERT_EQ(port_.rfind("/dev/pts/", 0), 0u);
        prefix_ = "odel/hall_2/pts_" + port_.substr(9) + "/";
        csv_ = ::testing::TempDir() + "/mqtt-log-" + std::to_string(getpid()) + ".csv";
    }
    void TearDown() override { unlink(csv_.c_str()); }

    std::vector<std::string> Args(std::vector<std::string> more) {
        std::vector<std::string> a{"log",     port_,    "--timeout",   "30",
                                   "--input", "01:0",   "--input",     "01:3",
                                   "--input", "04m:1",  "--input",     "07:CN0",
                                   "--input", "15:6",   "--interval",  "100ms",
                                   "--site",  "hall 2", "--mqtt-user", Mosquitto::kUser};
        a.insert(a.end(), more.begin(), more.end());
        return a;
    }
    static std::vector<std::pair<std::string, std::string>> Password() {
        return {{"ODEL_MQTT_PASSWORD", Mosquitto::kPassword}};
    }
    std::unique_ptr<MqttSubscriber> Subscribe(const char* id) {
        auto sub = std::make_unique<MqttSubscriber>(id, "odel/#");
        EXPECT_TRUE(sub->connect(broker_->plainPort(), Mosquitto::kUser, Mosquitto::kPassword));
        return sub;
    }

    // The time of every row of the CSV, in order.
    std::vector<std::string> CsvTimes() const {
        std::istringstream in(OdelctlProcess::Slurp(csv_));
        std::string line;
        std::getline(in, line);  // header
        std::vector<std::string> times;
        while (std::getline(in, line)) times.push_back(line.substr(0, line.find(',')));
        return times;
    }
    // The "t" of every message on one topic, in arrival order.
    static std::vector<std::string> Times(const std::vector<Received>& all,
                                          const std::string& topic) {
        std::vector<std::string> out;
        for (const auto& m : all)
            if (m.topic == topic) out.push_back(m.payload.substr(7, 29));
        return out;
    }

    odel::sim::SimBus sim_;
    std::string port_, prefix_, csv_;
};


bool Any(const std::vector<Received>& v, const std::string& topic) {
    for (const auto& m : v)
        if (m.topic == topic) return true;
    return false;
}

bool Has(const std::vector<Received>& v, const std::string& topic, const std::string& payload) {
    for (const auto& m : v)
        if (m.topic == topic && m.payload == payload) return true;
    return false;
}

}  // namespace

TEST_F(MqttLogTest, EverySampleOfEverySweepWithTheTimeOfItsCsvRow) {
    auto sub = Subscribe("sub-log");
    auto r = OdelctlProcess::Run(
        Args({"--count", "3", "--output", csv_, "--mqtt", broker_->plainUrl()}), Password());
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "");
    auto got = sub->waitFor([&](const auto& v) { return Has(v, prefix_ + "status", "offline"); });
    // What an earlier test left retained on the broker is not ours.
    std::erase_if(got, [](const Received& m) { return m.retained; });
    const auto times = CsvTimes();
    ASSERT_EQ(times.size(), 3u);
    const std::pair<const char*, const char*> inputs[] = {
        {"01-7352R/CH0", R"(, "v": 1.5, "unit": "V", "ok": true})"},
        {"01-7352R/CH3", R"(, "v": -250.25, "unit": "mV", "ok": true})"},
        {"04-7352R/CH1", R"(, "v": 10, "unit": "mA", "ok": true})"},
        {"07-7320/CN0", R"(, "v": 1234, "unit": "", "ok": true})"},
        {"15-7382/DI6", R"(, "v": 1, "unit": "", "ok": true})"},
    };
    std::vector<Received> expected{{prefix_ + "status", "online", false}};
    for (const auto& t : times)
        for (const auto& [level, rest] : inputs)
            expected.push_back({prefix_ + level, "{\"t\": \"" + t + "\"" + rest, false});
    expected.push_back({prefix_ + "status", "offline", false});
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].topic, expected[i].topic) << i;
        EXPECT_EQ(got[i].payload, expected[i].payload) << i;
    }
}

TEST_F(MqttLogTest, LastWillOfflineAfterSigkillIsRetained) {
    auto sub = Subscribe("sub-will");
    auto r = OdelctlProcess::Start(Args({"--mqtt", broker_->plainUrl()}), Password());
    sub->waitFor([&](const auto& v) { return Any(v, prefix_ + "01-7352R/CH0"); });
    kill(r.pid, SIGKILL);
    r.Wait();
    EXPECT_EQ(r.rc, -SIGKILL);
    const auto got =
        sub->waitFor([&](const auto& v) { return Has(v, prefix_ + "status", "offline"); });
    EXPECT_TRUE(Has(got, prefix_ + "status", "online"));
    EXPECT_TRUE(Has(got, prefix_ + "status", "offline"));

    MqttSubscriber late("sub-will-late", (prefix_ + "status").c_str());
    ASSERT_TRUE(late.connect(broker_->plainPort(), Mosquitto::kUser, Mosquitto::kPassword));
    const auto status = late.waitForCount(1);
    ASSERT_EQ(status.size(), 1u);
    EXPECT_TRUE(status[0].retained);
    EXPECT_EQ(status[0].payload, "offline");
}

// The broker is stopped for 5 s: sampling goes on, and after the reconnect every sweep of the CSV
// arrives, in order; only what was in flight at the break may come twice (QoS 1).
TEST_F(MqttLogTest, BrokerOutageLosesNoSweepAndSigtermFlushes) {
    auto sub = Subscribe("sub-outage");
    auto r =
        OdelctlProcess::Start(Args({"--output", csv_, "--mqtt", broker_->plainUrl()}), Password());
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    broker_->stop();
    std::this_thread::sleep_for(std::chrono::seconds(5));
    ASSERT_TRUE(broker_->start()) << broker_->error();
    // Attempts 1 and 3 s after the loss found nothing; the one at 7 s finds the broker again.
    const auto back = sub->waitFor(
        [&](const auto& v) { return Has(v, prefix_ + "status", "online") && v.size() > 80; },
        std::chrono::seconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto t0 = std::chrono::steady_clock::now();
    kill(r.pid, SIGTERM);
    r.Wait();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(2500));
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.err,
              "odelctl: mqtt: lost the broker, next attempt in 1 s\n"
              "odelctl: mqtt: cannot reach the broker (Connection refused), next attempt in 2 s\n"
              "odelctl: mqtt: cannot reach the broker (Connection refused), next attempt in 4 s\n"
              "odelctl: mqtt: connected to the broker again\n");
    const auto got =
        sub->waitFor([&](const auto& v) { return Has(v, prefix_ + "status", "offline"); });
    EXPECT_EQ(got.back().payload, "offline");

    const auto rows = CsvTimes();
    EXPECT_GT(rows.size(), 70u);  // 8 s at 10 Hz: the outage did not slow the sweeps
    for (const char* level : {"01-7352R/CH0", "15-7382/DI6"}) {
        std::vector<std::string> seen;
        std::size_t repeats = 0;
        for (const auto& t : Times(got, prefix_ + level)) {
            if (!seen.empty() && t <= seen.back()) {
                ++repeats;
                continue;
            }
            seen.push_back(t);
        }
        EXPECT_EQ(seen, rows) << level;
        EXPECT_LE(repeats, 64u) << level;
    }
}

TEST_F(MqttLogTest, BrokerAwayAtTheStartAndAtSigterm) {
    broker_->stop();
    auto r = OdelctlProcess::Start(Args({"--mqtt", broker_->plainUrl()}), Password());
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    const auto t0 = std::chrono::steady_clock::now();
    kill(r.pid, SIGTERM);
    r.Wait();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(2500));
    ASSERT_TRUE(broker_->start()) << broker_->error();
    EXPECT_EQ(r.rc, 0) << r.err;
    const std::string first =
        "odelctl: mqtt: cannot reach the broker (Connection refused), next attempt in 1 s\n";
    EXPECT_EQ(r.err.substr(0, first.size()), first);
    EXPECT_NE(r.err.find(" samples not sent, 0 dropped\n"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
}

TEST_F(MqttLogTest, BadInputExitsTwoBeforeSampling) {
    const std::string passwordFile = ::testing::TempDir() + "/mqtt-password";
    std::ofstream(passwordFile) << "wrong\n";
    const std::string ca = broker_->caFile(), other = broker_->otherCaFile();
    const std::string tls = broker_->tlsUrl(), plain = broker_->plainUrl();
    struct Case {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"--mqtt", "broker:1883"},
         "odelctl: --mqtt: a broker URL is mqtt://HOST[:PORT] or mqtts://HOST[:PORT]: "
         "broker:1883\n"},
        {{"--mqtt", plain, "--mqtt-queue", "0"},
         "odelctl: --mqtt-queue must be a number from 1 to 10000000: 0\n"},
        {{"--mqtt", plain, "--mqtt-password-file", "/nonexistent/pw"},
         "odelctl: --mqtt-password-file: cannot read the password file /nonexistent/pw: No such "
         "file or directory\n"},
        {{"--mqtt", tls, "--mqtt-cafile", "/nonexistent/ca.crt"},
         "odelctl: cannot read the CA file /nonexistent/ca.crt: No such file or directory\n"},
        {{"--mqtt", plain, "--mqtt-cafile", ca},
         "odelctl: --mqtt-cafile, --mqtt-cert and --mqtt-key need an mqtts:// broker URL\n"},
        {{"--mqtt", tls, "--mqtt-cafile", other},
         "odelctl: mqtt: " + tls +
             ": TLS handshake failed: OpenSSL Error[0]: error:0A000086:SSL "
             "routines::certificate verify failed\n"},
        {{"--mqtt", plain, "--mqtt-password-file", passwordFile},
         "odelctl: mqtt: " + plain +
             ": the broker refused the connection: Connection Refused: not authorised.\n"},
    };
    for (const auto& c : cases) {
        auto args = Args(c.args);
        args.insert(args.end(), {"--output", csv_});
        const auto r = OdelctlProcess::Run(args, Password());
        EXPECT_EQ(r.rc, 2) << c.err;
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(access(csv_.c_str(), F_OK), 0) << "CSV written for " << c.err;
    }
    // The password never comes from the command line.
    auto r = OdelctlProcess::Run(Args({"--mqtt", plain, "--mqtt-password", "x"}));
    EXPECT_EQ(r.rc, 2);
    EXPECT_NE(r.err.find("--mqtt-password"), std::string::npos) << r.err;
    // A password needs a user.
    std::vector<std::string> noUser = Args({"--mqtt", plain});
    noUser.erase(noUser.end() - 4, noUser.end() - 2);
    r = OdelctlProcess::Run(noUser, Password());
    EXPECT_EQ(r.rc, 2);
    EXPECT_EQ(r.err, "odelctl: a broker password needs --mqtt-user\n");
    unlink(passwordFile.c_str());
}

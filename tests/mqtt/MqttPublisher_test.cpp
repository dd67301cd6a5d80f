// The publisher against a real mosquitto on 127.0.0.1: what arrives and in which order, an
// overflow, and which brokers and credentials are refused. The outage and the last will are
// tested through odelctl (MqttLog_test).
#include "mqtt/MqttPublisher.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <mutex>

#include "common/Mosquitto.h"
#include "common/MqttSubscriber.h"

using namespace odel::mqtt;
using odel::test::Mosquitto;
using odel::test::MqttSubscriber;
using odel::test::Received;

namespace {

const char* kStatus = "odel/test/ttyS9/status";
const char* kDropped = "odel/test/ttyS9/dropped";

class MqttPublisherTest : public odel::test::BrokerSuite {
  protected:
    PublisherOptions Options(const std::string& url) {
        PublisherOptions o;
        std::string error;
        o.url = *ParseBrokerUrl(url, &error);
        o.clientId = "odel-test-publisher";
        o.user = Mosquitto::kUser;
        o.password = Mosquitto::kPassword;
        o.statusTopic = kStatus;
        o.droppedTopic = kDropped;
        o.connectTimeout = std::chrono::seconds(3);
        o.log = [this](const std::string& line) {
            std::lock_guard lock(logMutex_);
            log_.push_back(line);
        };
        return o;
    }
    std::vector<std::string> Log() {
        std::lock_guard lock(logMutex_);
        return log_;
    }

    // Payloads of the sample topic in arrival order.
    static std::vector<std::string> Samples(const std::vector<Received>& all) {
        std::vector<std::string> out;
        for (const auto& m : all)
            if (m.topic == "odel/test/ttyS9/01-8017/0") out.push_back(m.payload);
        return out;
    }

    std::mutex logMutex_;
    std::vector<std::string> log_;
};

}  // namespace

TEST_F(MqttPublisherTest, SamplesArriveWithQos1AfterTheRetainedStatus) {
    MqttSubscriber sub("sub-samples", "odel/#");
    ASSERT_TRUE(sub.connect(broker_->plainPort(), Mosquitto::kUser, Mosquitto::kPassword));
    Publisher pub(Options(broker_->plainUrl()));
    std::string error;
    ASSERT_EQ(pub.Start(&error), Publisher::StartResult::Connected) << error;
    pub.Publish("odel/test/ttyS9/01-8017/0", "a");
    pub.Publish("odel/test/ttyS9/01-8017/0", "b");
    auto got = sub.waitForCount(3);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].topic, kStatus);
    EXPECT_EQ(got[0].payload, "online");
    EXPECT_EQ(Samples(got), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(pub.Stop(std::chrono::seconds(2)), 0u);
    got = sub.waitForCount(4);
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[3].topic, kStatus);
    EXPECT_EQ(got[3].payload, "offline");
    EXPECT_EQ(pub.Stats().acknowledged, 2u);

    // A subscriber that comes later is told the last status at once: it is retained.
    MqttSubscriber late("sub-late", kStatus);
    ASSERT_TRUE(late.connect(broker_->plainPort(), Mosquitto::kUser, Mosquitto::kPassword));
    got = late.waitForCount(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_TRUE(got[0].retained);
    EXPECT_EQ(got[0].payload, "offline");
}

TEST_F(MqttPublisherTest, FullQueueDropsTheOldestAndCountsThem) {
    MqttSubscriber sub("sub-overflow", "odel/test/#");
    ASSERT_TRUE(sub.connect(broker_->plainPort(), Mosquitto::kUser, Mosquitto::kPassword));
    broker_->stop();
    auto o = Options(broker_->plainUrl());
    o.queueLimit = 5;
    Publisher pub(o);
    std::string error;
    ASSERT_EQ(pub.Start(&error), Publisher::StartResult::Retrying);
    EXPECT_EQ(error, "Connection refused");
    for (int i = 0; i < 12; ++i) pub.Publish("odel/test/ttyS9/01-8017/0", std::to_string(i));
    EXPECT_EQ(pub.Stats().dropped, 7u);
    EXPECT_EQ(pub.Stats().waiting, 5u);
    ASSERT_TRUE(broker_->start()) << broker_->error();
    auto got = sub.waitFor(
        [](const auto& v) {
            return std::any_of(v.begin(), v.end(), [](const auto& m) { return m.payload == "11"; });
        },
        std::chrono::seconds(10));
    EXPECT_EQ(Samples(got), (std::vector<std::string>{"7", "8", "9", "10", "11"}));
    std::vector<std::string> dropped;
    for (const auto& m : got)
        if (m.topic == kDropped) dropped.push_back(m.payload);
    ASSERT_EQ(dropped.size(), 1u);
    // {"t": "2026-12-09T16:05:07.042+01:00", "dropped": 7}
    EXPECT_EQ(dropped[0].size(), 52u) << dropped[0];
    EXPECT_TRUE(dropped[0].starts_with("{\"t\": \"20")) << dropped[0];
    EXPECT_TRUE(dropped[0].ends_with("\", \"dropped\": 7}")) << dropped[0];
    const auto log = Log();
    EXPECT_NE(std::find(log.begin(), log.end(),
                        "7 samples dropped while the broker was unreachable (queue of 5)"),
              log.end());
    EXPECT_EQ(pub.Stop(std::chrono::seconds(2)), 0u);
}

// Stopping with the broker away does not wait for it, and says what is left.
TEST_F(MqttPublisherTest, StopWithoutBrokerEndsAtOnce) {
    Publisher pub(Options("mqtt://127.0.0.1:" + std::to_string(odel::test::FreePort())));
    std::string error;
    ASSERT_EQ(pub.Start(&error), Publisher::StartResult::Retrying);
    pub.Publish("odel/test/ttyS9/01-8017/0", "lost");
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(pub.Stop(std::chrono::seconds(2)), 1u);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(500));
}

TEST_F(MqttPublisherTest, RefusedBrokersAndFiles) {
    struct Case {
        const char* name;
        std::function<void(PublisherOptions&)> change;
        std::string error;  // the text, or its start and end around "…"
        std::string alternative = {};
    } cases[] = {
        {"wrong password", [](PublisherOptions& o) { o.password = "wrong"; },
         "the broker refused the connection: Connection Refused: not authorised."},
        {"no user", [](PublisherOptions& o) { o.user.clear(); },
         "the broker refused the connection: Connection Refused: not authorised."},
        {"untrusted CA",
         [](PublisherOptions& o) {
             o.url = {true, "127.0.0.1", broker_->tlsPort()};
             o.caFile = broker_->otherCaFile();
         },
         "TLS handshake failed: OpenSSL Error[0]: error:0A000086:SSL routines::certificate verify "
         "failed"},
        {"system CAs do not know the test CA",
         [](PublisherOptions& o) {
             o.url = {true, "127.0.0.1", broker_->tlsPort()};
         },
         "TLS handshake failed: OpenSSL Error[0]: error:0A000086:SSL routines::certificate verify "
         "failed"},
        {"host name not in the certificate",
         [](PublisherOptions& o) {
             o.url = {true, "localhost", broker_->tlsPort()};
             o.caFile = broker_->caFile();
         },
         "TLS handshake failed: host name verification failed; OpenSSL Error[0]: …certificate "
         "verify failed"},
        {"missing CA file",
         [](PublisherOptions& o) {
             o.url = {true, "127.0.0.1", broker_->tlsPort()};
             o.caFile = "/nonexistent/ca.crt";
         },
         "cannot read the CA file /nonexistent/ca.crt: No such file or directory"},
        {"certificate without key",
         [](PublisherOptions& o) {
             o.url = {true, "127.0.0.1", broker_->clientCertPort()};
             o.caFile = broker_->caFile();
             o.certFile = broker_->clientCert();
         },
         "a client certificate needs its key, and a key its certificate"},
        {"listener wants a client certificate",
         [](PublisherOptions& o) {
             o.url = {true, "127.0.0.1", broker_->clientCertPort()};
             o.caFile = broker_->caFile();
         },
         // Whether the broker's alert is read before its close depends on the timing.
         "the broker ended the TLS connection without an answer (does it want a client "
         "certificate?)",
         "TLS handshake failed: OpenSSL Error[0]: error:0A00045C:SSL "
         "routines::tlsv13 alert certificate required"},
    };
    for (const auto& c : cases) {
        auto o = Options(broker_->plainUrl());
        c.change(o);
        Publisher pub(o);
        std::string error;
        EXPECT_EQ(pub.Start(&error), Publisher::StartResult::Failed) << c.name << ": " << error;
        auto matches = [&error](const std::string& want) {
            const auto cut = want.find("…");
            if (cut == std::string::npos) return error == want;
            return error.starts_with(want.substr(0, cut)) &&
                   error.ends_with(want.substr(cut + std::string("…").size()));
        };
        EXPECT_TRUE(matches(c.error) || (!c.alternative.empty() && matches(c.alternative)))
            << c.name << ": " << error;
    }
}

// A connection the broker resets may be a passing fault: sampling starts and attempts go on.
TEST_F(MqttPublisherTest, PlainMqttToTheTlsPortIsRetriedWithAHint) {
    auto o = Options(broker_->plainUrl());
    o.url = {false, "127.0.0.1", broker_->tlsPort()};
    Publisher pub(o);
    std::string error;
    EXPECT_EQ(pub.Start(&error), Publisher::StartResult::Retrying);
    EXPECT_EQ(error,
              "the connection failed or was closed before the broker answered (is it a TLS port? "
              "then use mqtts://)");
    pub.Stop(std::chrono::milliseconds(100));
}

TEST_F(MqttPublisherTest, TlsWithCaAndClientCertificate) {
    MqttSubscriber sub("sub-tls", "odel/test/ttyS9/01-8017/0");
    ASSERT_TRUE(sub.connect(broker_->plainPort(), Mosquitto::kUser, Mosquitto::kPassword));
    for (int port : {broker_->tlsPort(), broker_->clientCertPort()}) {
        auto o = Options(broker_->plainUrl());
        o.url = {true, "127.0.0.1", port};
        o.caFile = broker_->caFile();
        if (port == broker_->clientCertPort()) {
            o.certFile = broker_->clientCert();
            o.keyFile = broker_->clientKey();
        }
        Publisher pub(o);
        std::string error;
        ASSERT_EQ(pub.Start(&error), Publisher::StartResult::Connected) << port << ": " << error;
        pub.Publish("odel/test/ttyS9/01-8017/0", std::to_string(port));
        EXPECT_EQ(pub.Stop(std::chrono::seconds(2)), 0u);
    }
    const auto got = sub.waitForCount(2);
    EXPECT_EQ(Samples(got), (std::vector<std::string>{std::to_string(broker_->tlsPort()),
                                                      std::to_string(broker_->clientCertPort())}));
}

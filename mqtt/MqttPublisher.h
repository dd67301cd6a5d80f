// Publishes messages to an MQTT broker with QoS 1 from a worker thread, so that a sweep never
// waits for the network: a bounded queue that drops the oldest, reconnect with back-off, a
// retained "online" status with a last will of "offline". No Qt.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "mqtt/MqttNames.h"

namespace odel::mqtt {

struct PublisherOptions {
    BrokerUrl url;
    std::string clientId;
    std::string user;                     // empty: no user name
    std::optional<std::string> password;  // only with a user
    std::string caFile;                   // mqtts: empty trusts the system's certificates
    std::string certFile, keyFile;        // client certificate, both or neither
    std::string statusTopic;              // "online" retained while connected, will "offline"
    std::string droppedTopic;             // the count of dropped messages after a reconnect
    std::size_t queueLimit = 10000;
    int keepaliveSeconds = 30;
    std::chrono::milliseconds connectTimeout{10000};
    std::chrono::milliseconds firstRetry{1000};   // doubled after every failed attempt ...
    std::chrono::milliseconds lastRetry{60000};   // ... up to this
    std::function<void(const std::string&)> log;  // one line without newline, from any thread
};

struct PublisherStats {
    unsigned long long queued = 0;        // given to Publish
    unsigned long long acknowledged = 0;  // PUBACK received
    unsigned long long dropped = 0;       // oldest thrown away by a full queue
    std::size_t waiting = 0;              // not yet acknowledged
    bool connected = false;
};

class Publisher {
  public:
    enum class StartResult {
        Connected,  // the broker accepted us
        Retrying,   // the broker cannot be reached now; the worker keeps trying
        Failed,     // files, credentials or certificate: retrying cannot mend it
    };

    explicit Publisher(PublisherOptions options);
    ~Publisher();
    Publisher(const Publisher&) = delete;
    Publisher& operator=(const Publisher&) = delete;

    // Checks the TLS files, connects once and waits for the broker's answer, then hands the link
    // to the worker thread (also after Retrying). *error says why it is not Connected.
    StartResult Start(std::string* error);

    // Queues one QoS 1 message; never blocks on the network. A full queue drops its oldest.
    void Publish(std::string topic, std::string payload);

    // Sends what it can within the budget, publishes "offline", disconnects. Returns the number
    // of messages left unsent.
    std::size_t Stop(std::chrono::milliseconds budget);

    PublisherStats Stats() const;

    struct State;

  private:
    std::shared_ptr<State> state_;
    std::thread worker_;
    bool stopped_ = false;
};

// Whether the CA, certificate and key files of an mqtts:// URL can be read; empty when they can.
std::string CheckTlsFiles(const PublisherOptions& o);

// Reads a secret (password) from the first line of a file; false with *error when unreadable.
bool ReadSecretFile(const std::string& path, std::string* secret, std::string* error);

}  // namespace odel::mqtt

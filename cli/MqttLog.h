// odelctl log --mqtt: every sweep also goes to an MQTT broker.
#pragma once

#include <memory>
#include <string>

#include "mqtt/MqttPublisher.h"

namespace CLI {
class App;
}

namespace odelctl {

struct MqttLogOptions {
    std::string url;  // empty: no MQTT
    std::string site;
    std::string user;
    std::string passwordFile;
    std::string caFile, certFile, keyFile;
    std::string queue = "10000";
};

void AddMqttOptions(CLI::App* cmd, MqttLogOptions& o);

class MqttLog {
  public:
    // Checks the URL, reads the password and checks the files named, before the bus is opened.
    // The message names what is wrong; empty when all is well.
    std::string Prepare(const MqttLogOptions& o, const std::string& port);

    // Connects once; false (after saying why on stderr) when retrying cannot mend it.
    bool Start();
    void Publish(const odel::scope::SweepRecord& sweep);
    // Sends what it can within 2 s, then says on stderr what was left.
    void Stop();

  private:
    odel::mqtt::PublisherOptions options_;
    std::string url_, site_, port_;
    std::unique_ptr<odel::mqtt::Publisher> publisher_;
};

}  // namespace odelctl

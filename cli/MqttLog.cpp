#include "cli/MqttLog.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace odelctl {

namespace {

constexpr long kMaxQueue = 10000000;

// One write per line: the publisher's thread and the sampling thread both report on stderr.
void ErrLine(const std::string& text) {
    const std::string line = "odelctl: " + text + "\n";
    (void)!::write(STDERR_FILENO, line.data(), line.size());
}

}  // namespace

void AddMqttOptions(CLI::App* cmd, MqttLogOptions& o) {
    cmd->add_option("--mqtt", o.url,
                    "Also publish every sample to this MQTT broker: mqtt://HOST[:PORT] or "
                    "mqtts://HOST[:PORT]; then CSV is written only with --output");
    cmd->add_option("--site", o.site, "Site name in the MQTT topics (default: the host name)");
    cmd->add_option("--mqtt-user", o.user, "User name at the broker");
    cmd->add_option("--mqtt-password-file", o.passwordFile,
                    "File whose first line is the broker password (else the environment "
                    "variable ODEL_MQTT_PASSWORD)");
    cmd->add_option("--mqtt-cafile", o.caFile,
                    "CA certificates for mqtts:// (default: the system's)");
    cmd->add_option("--mqtt-cert", o.certFile, "Client certificate for mqtts:// (PEM)");
    cmd->add_option("--mqtt-key", o.keyFile, "Key of the client certificate (PEM)");
    cmd->add_option("--mqtt-queue", o.queue,
                    "Samples kept while the broker is away, the oldest dropped first "
                    "(default 10000)");
}

std::string MqttLog::Prepare(const MqttLogOptions& o, const std::string& port) {
    namespace mq = odel::mqtt;
    std::string error;
    const auto url = mq::ParseBrokerUrl(o.url, &error);
    if (!url) return "--mqtt: " + error;
    options_.url = *url;
    url_ = o.url;

    errno = 0;
    char* end = nullptr;
    const long queue = std::strtol(o.queue.c_str(), &end, 10);
    if (o.queue.empty() || *end != '\0' || errno != 0 || queue < 1 || queue > kMaxQueue)
        return "--mqtt-queue must be a number from 1 to " + std::to_string(kMaxQueue) + ": " +
               o.queue;
    options_.queueLimit = static_cast<std::size_t>(queue);

    options_.user = o.user;
    if (!o.passwordFile.empty()) {
        std::string password;
        if (!mq::ReadSecretFile(o.passwordFile, &password, &error))
            return "--mqtt-password-file: " + error;
        options_.password = password;
    } else if (const char* env = std::getenv("ODEL_MQTT_PASSWORD")) {
        options_.password = env;
    }
    if (options_.password && o.user.empty()) return "a broker password needs --mqtt-user";

    if (!url->tls && !(o.caFile.empty() && o.certFile.empty() && o.keyFile.empty()))
        return "--mqtt-cafile, --mqtt-cert and --mqtt-key need an mqtts:// broker URL";
    options_.caFile = o.caFile;
    options_.certFile = o.certFile;
    options_.keyFile = o.keyFile;
    error = mq::CheckTlsFiles(options_);
    if (!error.empty()) return error;

    site_ = o.site;
    if (site_.empty()) {
        char host[HOST_NAME_MAX + 1] = {};
        gethostname(host, sizeof host - 1);
        site_ = host;
    }
    port_ = port;
    options_.clientId = "odelctl-" + mq::TopicLevel(site_) + "-" + mq::PortLevel(port);
    options_.statusTopic = mq::StatusTopic(site_, port);
    options_.droppedTopic = mq::DroppedTopic(site_, port);
    options_.log = [](const std::string& line) { ErrLine("mqtt: " + line); };
    return {};
}

bool MqttLog::Start() {
    publisher_ = std::make_unique<odel::mqtt::Publisher>(options_);
    std::string error;
    switch (publisher_->Start(&error)) {
        case odel::mqtt::Publisher::StartResult::Connected:
            return true;
        case odel::mqtt::Publisher::StartResult::Retrying:
            ErrLine("mqtt: cannot reach the broker (" + error + "), next attempt in " +
                    std::to_string(options_.firstRetry.count() / 1000) + " s");
            return true;
        default:
            ErrLine("mqtt: " + url_ + ": " + error);
            publisher_.reset();
            return false;
    }
}

void MqttLog::Publish(const odel::scope::SweepRecord& sweep) {
    for (auto& m : odel::mqtt::SweepMessages(site_, port_, sweep))
        publisher_->Publish(std::move(m.topic), std::move(m.payload));
}

void MqttLog::Stop() {
    if (!publisher_) return;
    const std::size_t left = publisher_->Stop(std::chrono::seconds(2));
    const auto stats = publisher_->Stats();
    if (left > 0 || stats.dropped > 0)
        ErrLine("mqtt: " + std::to_string(left) + " samples not sent, " +
                std::to_string(stats.dropped) + " dropped");
    publisher_.reset();
}

}  // namespace odelctl

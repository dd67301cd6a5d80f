// Broker URLs, topic names and JSON payloads of the samples published to an MQTT broker. No Qt.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scope/Sampler.h"

namespace odel::mqtt {

struct BrokerUrl {
    bool tls = false;  // mqtts://
    std::string host;
    int port = 0;
};

// "mqtt://HOST[:PORT]" (default port 1883) or "mqtts://HOST[:PORT]" (8883); HOST may be an IPv6
// address in brackets. Nothing else: no user, path or query. nullopt with *error saying why.
std::optional<BrokerUrl> ParseBrokerUrl(const std::string& text, std::string* error);

// One topic level from a free name: runs of characters outside A-Z a-z 0-9 . _ - become one '_'
// (so '/', '+', '#', '$', blanks and control characters never reach the broker), '_' trimmed at
// both ends; an empty result is "_".
std::string TopicLevel(std::string_view name);

// The level of a port: a device path without "/dev/", then as TopicLevel.
std::string PortLevel(std::string_view port);

// odel/<site>/<port-name>/<AA>-<MODEL>/<input>, each level sanitised.
std::string SampleTopic(std::string_view site, std::string_view port, std::string_view address,
                        std::string_view model, std::string_view input);
// odel/<site>/<port-name>/status: retained "online", last will "offline".
std::string StatusTopic(std::string_view site, std::string_view port);
// odel/<site>/<port-name>/dropped: how many samples the queue lost while the broker was away.
std::string DroppedTopic(std::string_view site, std::string_view port);

// The shortest text that reads back as the same double ("25.31", "-0.5", "1e+21"); nullopt for
// NaN and infinities, which JSON has no number for.
std::optional<std::string> JsonNumber(double value);

// "…" with JSON escapes.
std::string JsonString(std::string_view text);

// {"t": "<time>", "v": <number or null>, "unit": "<unit>", "ok": true|false}
std::string SamplePayload(std::string_view time, std::optional<double> value, std::string_view unit,
                          bool ok);
// {"t": "<time>", "dropped": <count>}
std::string DroppedPayload(std::string_view time, unsigned long long count);

// Topic and payload of every sample of a sweep, in record order, stamped with the sweep's time.
struct Message {
    std::string topic, payload;
};
std::vector<Message> SweepMessages(std::string_view site, std::string_view port,
                                   const scope::SweepRecord& sweep);

}  // namespace odel::mqtt

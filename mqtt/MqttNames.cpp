#include "mqtt/MqttNames.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "scope/CsvWriter.h"

namespace odel::mqtt {

namespace {

bool IsNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == '_';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::nullopt_t Fail(std::string* error, std::string why) {
    if (error) *error = std::move(why);
    return std::nullopt;
}

}  // namespace

std::optional<BrokerUrl> ParseBrokerUrl(const std::string& text, std::string* error) {
    const std::string expected = "a broker URL is mqtt://HOST[:PORT] or mqtts://HOST[:PORT]";
    BrokerUrl url;
    std::string_view rest(text);
    if (rest.starts_with("mqtt://")) {
        rest.remove_prefix(7);
    } else if (rest.starts_with("mqtts://")) {
        url.tls = true;
        rest.remove_prefix(8);
    } else {
        return Fail(error, expected + ": " + text);
    }
    // Not echoed: the text holds a password.
    if (rest.find('@') != std::string_view::npos)
        return Fail(error,
                    "no user or password in the broker URL: use --mqtt-user with "
                    "--mqtt-password-file or the environment variable ODEL_MQTT_PASSWORD");
    if (rest.ends_with('/')) rest.remove_suffix(1);
    if (rest.find('/') != std::string_view::npos)
        return Fail(error, "a broker URL has no path: " + text);
    std::string_view host, port;
    if (rest.starts_with('[')) {
        const auto close = rest.find(']');
        if (close == std::string_view::npos || close == 1)
            return Fail(error, expected + ": " + text);
        host = rest.substr(1, close - 1);
        for (char c : host)
            if (!(IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' ||
                  c == '.'))
                return Fail(error, "not an IPv6 address in " + text);
        rest.remove_prefix(close + 1);
        if (!rest.empty() && !rest.starts_with(':')) return Fail(error, expected + ": " + text);
    } else {
        const auto colon = rest.find(':');
        host = rest.substr(0, colon);
        if (host.empty()) return Fail(error, "no host in " + text);
        for (char c : host)
            if (!IsNameChar(c)) return Fail(error, expected + ": " + text);
        rest.remove_prefix(host.size());
    }
    if (rest.starts_with(':')) {
        port = rest.substr(1);
        long value = 0;
        if (port.empty() || port.size() > 5) return Fail(error, "bad port in " + text);
        for (char c : port) {
            if (!IsDigit(c)) return Fail(error, "bad port in " + text);
            value = value * 10 + (c - '0');
        }
        if (value < 1 || value > 65535) return Fail(error, "bad port in " + text);
        url.port = static_cast<int>(value);
    } else {
        url.port = url.tls ? 8883 : 1883;
    }
    url.host = std::string(host);
    return url;
}

std::string TopicLevel(std::string_view name) {
    std::string out;
    for (char c : name) {
        if (IsNameChar(c))
            out += c;
        else if (out.empty() || out.back() != '_')
            out += '_';
    }
    const auto first = out.find_first_not_of('_');
    if (first == std::string::npos) return "_";
    const auto last = out.find_last_not_of('_');
    return out.substr(first, last - first + 1);
}

std::string PortLevel(std::string_view port) {
    if (port.starts_with("/dev/")) port.remove_prefix(5);
    return TopicLevel(port);
}

std::string SampleTopic(std::string_view site, std::string_view port, std::string_view address,
                        std::string_view model, std::string_view input) {
    return "odel/" + TopicLevel(site) + "/" + PortLevel(port) + "/" +
           TopicLevel(std::string(address) + "-" + std::string(model)) + "/" + TopicLevel(input);
}

std::string StatusTopic(std::string_view site, std::string_view port) {
    return "odel/" + TopicLevel(site) + "/" + PortLevel(port) + "/status";
}

std::string DroppedTopic(std::string_view site, std::string_view port) {
    return "odel/" + TopicLevel(site) + "/" + PortLevel(port) + "/dropped";
}

std::optional<std::string> JsonNumber(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    char text[32];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    if (ec != std::errc()) return std::nullopt;
    return std::string(text, end);
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char hex[8];
                    std::snprintf(hex, sizeof hex, "\\u%04x", static_cast<unsigned char>(c));
                    out += hex;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

std::string SamplePayload(std::string_view time, std::optional<double> value, std::string_view unit,
                          bool ok) {
    const auto number = ok && value ? JsonNumber(*value) : std::nullopt;
    return "{\"t\": " + JsonString(time) + ", \"v\": " + number.value_or("null") +
           ", \"unit\": " + JsonString(unit) + ", \"ok\": " + (ok ? "true" : "false") + "}";
}

std::string DroppedPayload(std::string_view time, unsigned long long count) {
    return "{\"t\": " + JsonString(time) + ", \"dropped\": " + std::to_string(count) + "}";
}

std::vector<Message> SweepMessages(std::string_view site, std::string_view port,
                                   const scope::SweepRecord& sweep) {
    const std::string time = scope::IsoLocalTime(sweep.time);
    std::vector<Message> out;
    out.reserve(sweep.samples.size());
    for (const auto& s : sweep.samples)
        out.push_back({SampleTopic(site, port, s.address, s.model, s.input),
                       SamplePayload(time, s.value, s.unit, s.ok)});
    return out;
}

}  // namespace odel::mqtt

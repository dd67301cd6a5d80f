// A libmosquitto subscriber for the tests: a persistent session (the broker keeps QoS 1 messages
// for it while it is away), QoS 1, its own reconnecting network thread; it keeps every message.
#pragma once

#include <mosquitto.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace odel::test {

struct Received {
    std::string topic, payload;
    bool retained = false;
};

class MqttSubscriber {
  public:
    MqttSubscriber(std::string id, std::string filter) : filter_(std::move(filter)) {
        mosquitto_lib_init();
        mosq_ = mosquitto_new(id.c_str(), false, this);
        mosquitto_connect_callback_set(mosq_, [](mosquitto* m, void* obj, int rc) {
            auto* self = static_cast<MqttSubscriber*>(obj);
            if (rc == 0) mosquitto_subscribe(m, nullptr, self->filter_.c_str(), 1);
        });
        mosquitto_subscribe_callback_set(mosq_, [](mosquitto*, void* obj, int, int, const int*) {
            auto* self = static_cast<MqttSubscriber*>(obj);
            std::lock_guard lock(self->m_);
            self->subscribed_ = true;
            self->cv_.notify_all();
        });
        mosquitto_message_callback_set(
            mosq_, [](mosquitto*, void* obj, const mosquitto_message* msg) {
                auto* self = static_cast<MqttSubscriber*>(obj);
                std::lock_guard lock(self->m_);
                self->messages_.push_back({msg->topic,
                                           std::string(static_cast<const char*>(msg->payload),
                                                       static_cast<std::size_t>(msg->payloadlen)),
                                           msg->retain});
                self->cv_.notify_all();
            });
        mosquitto_reconnect_delay_set(mosq_, 1, 1, false);
    }
    ~MqttSubscriber() {
        mosquitto_disconnect(mosq_);
        mosquitto_loop_stop(mosq_, false);
        mosquitto_destroy(mosq_);
    }

    // Connects with the test broker's user and waits for the subscription.
    bool connect(int port, const char* user, const char* password) {
        mosquitto_username_pw_set(mosq_, user, password);
        if (mosquitto_connect(mosq_, "127.0.0.1", port, 30) != MOSQ_ERR_SUCCESS) return false;
        mosquitto_loop_start(mosq_);
        std::unique_lock lock(m_);
        return cv_.wait_for(lock, std::chrono::seconds(5), [this] { return subscribed_; });
    }

    // Waits until the messages satisfy the condition (or the time is up); returns them.
    std::vector<Received> waitFor(const std::function<bool(const std::vector<Received>&)>& done,
                                  std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        std::unique_lock lock(m_);
        cv_.wait_for(lock, limit, [&] { return done(messages_); });
        return messages_;
    }
    std::vector<Received> waitForCount(std::size_t n,
                                       std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        return waitFor([n](const auto& v) { return v.size() >= n; }, limit);
    }
    void clear() {
        std::lock_guard lock(m_);
        messages_.clear();
    }

  private:
    std::string filter_;
    mosquitto* mosq_ = nullptr;
    std::mutex m_;
    std::condition_variable cv_;
    std::vector<Received> messages_;
    bool subscribed_ = false;
};

}  // namespace odel::test

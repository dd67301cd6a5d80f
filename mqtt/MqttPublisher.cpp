#include "mqtt/MqttPublisher.h"

#include <mosquitto.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fstream>
#include <mutex>

#include "scope/CsvWriter.h"

namespace odel::mqtt {

namespace {

using Clock = std::chrono::steady_clock;

// Messages handed to the library and not yet acknowledged, at most.
constexpr std::size_t kWindow = 64;
constexpr const char* kSystemCaPath = "/etc/ssl/certs";

struct Sent {
    int mid = 0;
    Message message;
};

void InitLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

bool Readable(const std::string& path, std::string* error, const char* what) {
    std::ifstream in(path);
    if (in) return true;
    *error = std::string("cannot read the ") + what + " " + path + ": " + std::strerror(errno);
    return false;
}

std::string Seconds(std::chrono::milliseconds ms) {
    const auto n = ms.count();
    return n % 1000 == 0 ? std::to_string(n / 1000) + " s" : std::to_string(n) + " ms";
}

}  // namespace

struct Publisher::State {
    PublisherOptions o;

    mutable std::mutex m;
    std::condition_variable cv;
    std::deque<Message> pending;
    std::deque<Sent> inflight;
    unsigned long long queued = 0, acknowledged = 0, dropped = 0, droppedUnreported = 0;
    bool connected = false;
    bool stopping = false, done = false;
    Clock::time_point sendDeadline, stopDeadline;  // samples until the first, "offline" after

    // Only the thread that owns the link (Start, then the worker) touches these.
    mosquitto* mosq = nullptr;
    bool gotConnack = false, lostLink = false;
    int connack = 0;
    int offlineMid = -1;
    bool offlineAcked = false;
    std::string tlsReason;

    bool StopRequested() const {
        std::lock_guard lock(m);
        return stopping;
    }

    void Log(const std::string& line) const {
        if (o.log) o.log(line);
    }

    // Drops the oldest waiting messages beyond the limit. Caller holds m.
    void Bound() {
        while (pending.size() + inflight.size() > o.queueLimit && !pending.empty()) {
            pending.pop_front();
            ++dropped;
            ++droppedUnreported;
        }
    }

    enum class Attempt { Connected, Refused, TlsFailed, Closed, Unreachable };

    static void OnConnect(mosquitto*, void* obj, int rc) {
        auto* s = static_cast<State*>(obj);
        s->gotConnack = true;
        s->connack = rc;
    }
    static void OnDisconnect(mosquitto*, void* obj, int) {
        static_cast<State*>(obj)->lostLink = true;
    }
    static void OnPublish(mosquitto*, void* obj, int mid) {
        auto* s = static_cast<State*>(obj);
        if (mid == s->offlineMid) s->offlineAcked = true;
        std::lock_guard lock(s->m);
        auto it = std::find_if(s->inflight.begin(), s->inflight.end(),
                               [mid](const Sent& x) { return x.mid == mid; });
        if (it == s->inflight.end()) return;
        s->inflight.erase(it);
        ++s->acknowledged;
    }
    static void OnLog(mosquitto*, void* obj, int level, const char* text) {
        // The reasons for a failed handshake arrive only as log lines.
        if (level != MOSQ_LOG_ERR) return;
        std::string_view line(text);
        if (line.starts_with("Error: ")) line.remove_prefix(7);
        if (line.ends_with('.')) line.remove_suffix(1);
        if (line.find("OpenSSL") == std::string_view::npos &&
            line.find("verification") == std::string_view::npos)
            return;
        auto& reason = static_cast<State*>(obj)->tlsReason;
        reason += (reason.empty() ? "" : "; ") + std::string(line);
    }

    void Destroy() {
        if (!mosq) return;
        mosquitto_destroy(mosq);
        mosq = nullptr;
    }

    // One connection attempt: waits for the CONNACK up to the connect time-out.
    Attempt Connect(std::string* why) {
        Destroy();
        gotConnack = lostLink = false;
        tlsReason.clear();
        mosq = mosquitto_new(o.clientId.c_str(), true, this);
        if (!mosq) {
            *why = "cannot create an MQTT client";
            return Attempt::Unreachable;
        }
        mosquitto_int_option(mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
        mosquitto_max_inflight_messages_set(mosq, kWindow + 4);
        mosquitto_connect_callback_set(mosq, OnConnect);
        mosquitto_disconnect_callback_set(mosq, OnDisconnect);
        mosquitto_publish_callback_set(mosq, OnPublish);
        mosquitto_log_callback_set(mosq, OnLog);
        if (!o.user.empty())
            mosquitto_username_pw_set(mosq, o.user.c_str(),
                                      o.password ? o.password->c_str() : nullptr);
        if (!o.statusTopic.empty())
            mosquitto_will_set(mosq, o.statusTopic.c_str(), 7, "offline", 1, true);
        if (o.url.tls) {
            const char* cert = o.certFile.empty() ? nullptr : o.certFile.c_str();
            const char* key = o.keyFile.empty() ? nullptr : o.keyFile.c_str();
            const int rc =
                o.caFile.empty()
                    ? mosquitto_tls_set(mosq, nullptr, kSystemCaPath, cert, key, nullptr)
                    : mosquitto_tls_set(mosq, o.caFile.c_str(), nullptr, cert, key, nullptr);
            if (rc != MOSQ_ERR_SUCCESS) {
                *why = std::string("TLS settings not taken: ") + mosquitto_strerror(rc);
                return Attempt::TlsFailed;
            }
            mosquitto_tls_opts_set(mosq, 1, nullptr, nullptr);  // verify the server
        }
        int rc = mosquitto_connect_async(mosq, o.url.host.c_str(), o.url.port, o.keepaliveSeconds);
        const auto until = Clock::now() + o.connectTimeout;
        while (rc == MOSQ_ERR_SUCCESS && !gotConnack && !lostLink && Clock::now() < until &&
               !StopRequested())
            rc = mosquitto_loop(mosq, 50, 1);
        const int err = errno;
        if (gotConnack && connack == 0 && rc == MOSQ_ERR_SUCCESS) return Attempt::Connected;
        if (gotConnack && connack != 0) {
            *why = std::string("the broker refused the connection: ") +
                   mosquitto_connack_string(connack);
            return Attempt::Refused;
        }
        if (rc == MOSQ_ERR_TLS || !tlsReason.empty()) {
            *why = "TLS handshake failed" + (tlsReason.empty() ? "" : ": " + tlsReason);
            return Attempt::TlsFailed;
        }
        // A TLS protocol error after the connection was made: the broker ended the handshake
        // (it wants a client certificate); retrying without one cannot help.
        if (o.url.tls && err == EPROTO && (rc == MOSQ_ERR_ERRNO || rc == MOSQ_ERR_CONN_LOST)) {
            *why =
                "the broker ended the TLS connection without an answer (does it want a client "
                "certificate?)";
            return Attempt::Closed;
        }
        // A reset, or a failed connection that the library reports only as lost.
        const bool reset = err == ECONNRESET || err == EPIPE;
        if (rc == MOSQ_ERR_ERRNO && !reset) {
            *why = std::strerror(err);
        } else if (rc == MOSQ_ERR_EAI) {
            *why = "unknown host " + o.url.host;
        } else if (reset || rc == MOSQ_ERR_PROTOCOL || rc == MOSQ_ERR_CONN_LOST || lostLink) {
            *why = std::string("the connection failed or was closed before the broker answered") +
                   (!o.url.tls && reset ? " (is it a TLS port? then use mqtts://)" : "");
        } else if (rc != MOSQ_ERR_SUCCESS) {
            *why = mosquitto_strerror(rc);
        } else {
            *why = "no answer from the broker";
        }
        return Attempt::Unreachable;
    }

    // Right after the CONNACK: the retained status, then the count of what was lost.
    void Announce() {
        mosquitto_publish(mosq, nullptr, o.statusTopic.c_str(), 6, "online", 1, true);
        std::lock_guard lock(m);
        connected = true;
        if (droppedUnreported == 0) return;
        Log(std::to_string(droppedUnreported) +
            " samples dropped while the broker was unreachable (queue of " +
            std::to_string(o.queueLimit) + ")");
        if (!o.droppedTopic.empty())
            pending.push_front(
                {o.droppedTopic,
                 DroppedPayload(scope::IsoLocalTime(std::chrono::system_clock::now()),
                                droppedUnreported)});
        droppedUnreported = 0;
    }

    // The link is gone: what was not acknowledged goes back to the head of the queue, in order.
    void Lost() {
        Destroy();
        std::lock_guard lock(m);
        connected = false;
        for (auto it = inflight.rbegin(); it != inflight.rend(); ++it)
            pending.push_front(std::move(it->message));
        inflight.clear();
        Bound();
    }

    // Gives the library what the window allows. Only the owning thread calls it.
    bool HandOut() {
        for (;;) {
            Message next;
            {
                std::lock_guard lock(m);
                if (pending.empty() || inflight.size() >= kWindow) return true;
                next = std::move(pending.front());
                pending.pop_front();
            }
            int mid = 0;
            const int rc = mosquitto_publish(mosq, &mid, next.topic.c_str(),
                                             static_cast<int>(next.payload.size()),
                                             next.payload.data(), 1, false);
            std::lock_guard lock(m);
            if (rc != MOSQ_ERR_SUCCESS) {
                pending.push_front(std::move(next));
                return false;
            }
            inflight.push_back({mid, std::move(next)});
        }
    }

    // Publishes "offline" and disconnects, within the deadline.
    void GoOffline(Clock::time_point deadline) {
        if (!mosq) return;
        offlineAcked = false;
        if (mosquitto_publish(mosq, &offlineMid, o.statusTopic.c_str(), 7, "offline", 1, true) ==
            MOSQ_ERR_SUCCESS) {
            while (!offlineAcked && Clock::now() < deadline &&
                   mosquitto_loop(mosq, 20, 1) == MOSQ_ERR_SUCCESS) {
            }
        }
        mosquitto_disconnect(mosq);
        mosquitto_loop(mosq, 20, 1);
        Destroy();
        std::lock_guard lock(m);
        connected = false;
    }

    void Run() {
        auto backoff = o.firstRetry;
        auto nextAttempt = Clock::now() + backoff;
        backoff = std::min(backoff * 2, o.lastRetry);
        for (;;) {
            bool stop = false;
            Clock::time_point sendUntil, offlineUntil;
            {
                std::lock_guard lock(m);
                stop = stopping;
                sendUntil = sendDeadline;
                offlineUntil = stopDeadline;
            }
            if (!mosq) {
                if (stop) break;
                {
                    std::unique_lock lock(m);
                    if (cv.wait_until(lock, nextAttempt, [this] { return stopping; })) continue;
                }
                std::string why;
                if (Connect(&why) == Attempt::Connected) {
                    Log("connected to the broker again");
                    Announce();
                    backoff = o.firstRetry;
                } else {
                    Destroy();
                    nextAttempt = Clock::now() + backoff;
                    Log("cannot reach the broker (" + why + "), next attempt in " +
                        Seconds(backoff));
                    backoff = std::min(backoff * 2, o.lastRetry);
                }
                continue;
            }
            bool ok = HandOut();
            if (ok) ok = mosquitto_loop(mosq, 50, 1) == MOSQ_ERR_SUCCESS && !lostLink;
            if (!ok) {
                Log("lost the broker, next attempt in " + Seconds(o.firstRetry));
                Lost();
                backoff = o.firstRetry;
                nextAttempt = Clock::now() + backoff;
                backoff = std::min(backoff * 2, o.lastRetry);
                continue;
            }
            if (stop) {
                bool empty = false;
                {
                    std::lock_guard lock(m);
                    empty = pending.empty() && inflight.empty();
                }
                if (empty || Clock::now() >= sendUntil) {
                    GoOffline(offlineUntil);
                    break;
                }
            }
        }
        Destroy();
        std::lock_guard lock(m);
        connected = false;
        done = true;
        cv.notify_all();
    }
};

Publisher::Publisher(PublisherOptions options) : state_(std::make_shared<State>()) {
    InitLibrary();
    state_->o = std::move(options);
    if (state_->o.queueLimit == 0) state_->o.queueLimit = 1;
}

Publisher::~Publisher() {
    if (!stopped_) Stop(std::chrono::milliseconds(0));
}

Publisher::StartResult Publisher::Start(std::string* error) {
    State& s = *state_;
    std::string why = CheckTlsFiles(s.o);
    if (!why.empty()) {
        *error = why;
        return StartResult::Failed;
    }
    const auto attempt = s.Connect(&why);
    StartResult result = StartResult::Connected;
    if (attempt == State::Attempt::Connected) {
        s.Announce();
    } else {
        s.Destroy();
        *error = why;
        if (attempt != State::Attempt::Unreachable) return StartResult::Failed;
        result = StartResult::Retrying;
    }
    // The first retry comes after the first back-off step; the worker owns the link from now on.
    // It takes no signals: SIGTERM must wake the sampling thread's sleep.
    sigset_t all, old;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &old);
    worker_ = std::thread([state = state_] { state->Run(); });
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    return result;
}

void Publisher::Publish(std::string topic, std::string payload) {
    State& s = *state_;
    std::lock_guard lock(s.m);
    s.pending.push_back({std::move(topic), std::move(payload)});
    ++s.queued;
    s.Bound();
}

std::size_t Publisher::Stop(std::chrono::milliseconds budget) {
    State& s = *state_;
    const auto deadline = Clock::now() + budget;
    // Once only: a worker left behind still owns the link.
    if (stopped_) {
        std::lock_guard lock(s.m);
        return s.pending.size() + s.inflight.size();
    }
    stopped_ = true;
    if (!worker_.joinable()) {
        s.Destroy();
    } else {
        std::unique_lock lock(s.m);
        s.stopping = true;
        s.sendDeadline = deadline - std::min(budget / 4, std::chrono::milliseconds(300));
        s.stopDeadline = deadline;
        s.cv.notify_all();
        // A connect that hangs in the resolver must not hold up the exit: the worker keeps the
        // state alive by its own reference and is left behind.
        if (s.cv.wait_until(lock, deadline + std::chrono::milliseconds(200),
                            [&s] { return s.done; })) {
            lock.unlock();
            worker_.join();
        } else {
            lock.unlock();
            worker_.detach();
        }
    }
    std::lock_guard lock(s.m);
    const std::size_t left = s.pending.size() + s.inflight.size();
    return left;
}

PublisherStats Publisher::Stats() const {
    const State& s = *state_;
    std::lock_guard lock(s.m);
    PublisherStats st;
    st.queued = s.queued;
    st.acknowledged = s.acknowledged;
    st.dropped = s.dropped;
    st.waiting = s.pending.size() + s.inflight.size();
    st.connected = s.connected;
    return st;
}

std::string CheckTlsFiles(const PublisherOptions& o) {
    std::string error;
    if (!o.url.tls) return error;
    if (!o.caFile.empty() && !Readable(o.caFile, &error, "CA file")) return error;
    if (o.certFile.empty() != o.keyFile.empty())
        return "a client certificate needs its key, and a key its certificate";
    if (!o.certFile.empty() && (!Readable(o.certFile, &error, "certificate file") ||
                                !Readable(o.keyFile, &error, "key file")))
        return error;
    return error;
}

bool ReadSecretFile(const std::string& path, std::string* secret, std::string* error) {
    std::ifstream in(path);
    if (!in) {
        *error = "cannot read the password file " + path + ": " + std::strerror(errno);
        return false;
    }
    std::string line;
    std::getline(in, line);
    if (in.bad()) {
        *error = "cannot read the password file " + path;
        return false;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    *secret = line;
    return true;
}

}  // namespace odel::mqtt

// A scripted peer on the master side of a pseudo-terminal: the host under test opens path().
// Every CR-terminated line it receives is recorded and answered by the handler (or the queue).
#pragma once

#include <fcntl.h>
#include <pty.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace odel::test {

class ScriptedPeer {
public:
    using Handler = std::function<std::optional<std::string>(const std::string& line)>;

    ScriptedPeer() {
        char name[256] = {};
        if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) return;
        path_ = name;
        // Programs spawned by a test must not hold the pty open behind the peer's back.
        fcntl(master_, F_SETFD, FD_CLOEXEC);
        fcntl(slave_, F_SETFD, FD_CLOEXEC);
        termios t{};
        tcgetattr(slave_, &t);
        cfmakeraw(&t);
        tcsetattr(slave_, TCSANOW, &t);
        thread_ = std::thread([this] { Run(); });
    }
    ~ScriptedPeer() { hangUp(); }
    // Stops answering and closes both sides: the device vanishes as an unplugged adapter does.
    void hangUp() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (master_ >= 0) close(master_);
        if (slave_ >= 0) close(slave_);
        master_ = slave_ = -1;
    }
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    const std::string& path() const { return path_; }
    bool ok() const { return master_ >= 0; }

    // Answers each received line with the handler's result (nullopt: stay silent).
    void setHandler(Handler h) {
        std::lock_guard<std::mutex> lock(mu_);
        handler_ = std::move(h);
    }
    // Binary framing instead of lines: every frameSize bytes received form one frame, given to
    // the handler (frameSize 0 goes back to CR-terminated lines). Used for Modbus RTU requests.
    void setFrameHandler(std::size_t frameSize, Handler h) {
        std::lock_guard<std::mutex> lock(mu_);
        frameSize_ = frameSize;
        handler_ = std::move(h);
    }
    // Most general form: called after every received byte with the bytes not yet consumed; the
    // handler clears (or trims) `pending` when it has taken a message and returns the answer.
    using StreamHandler = std::function<std::optional<std::string>(std::string& pending)>;
    void setStreamHandler(StreamHandler h) {
        std::lock_guard<std::mutex> lock(mu_);
        stream_ = std::move(h);
    }
    // Queues the answer to the next line (used when no handler is set); "" answers nothing.
    void replyNext(std::string bytes) {
        std::lock_guard<std::mutex> lock(mu_);
        queue_.push_back(std::move(bytes));
    }
    // Writes bytes to the host at once, outside any exchange.
    void send(const std::string& bytes) {
        ssize_t n = ::write(master_, bytes.data(), bytes.size());
        (void)n;
    }
    // Everything received since construction or the last clearReceived().
    std::string received() {
        std::lock_guard<std::mutex> lock(mu_);
        return received_;
    }
    void clearReceived() {
        std::lock_guard<std::mutex> lock(mu_);
        received_.clear();
    }
    // Waits until at least n bytes were received (or timeoutMs passed).
    bool waitReceived(std::size_t n, int timeoutMs = 2000) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < end) {
            if (received().size() >= n) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }

private:
    void Run() {
        std::string line;
        while (!stop_) {
            pollfd p{master_, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0 || !(p.revents & POLLIN)) continue;
            char buf[512];
            ssize_t n = ::read(master_, buf, sizeof buf);
            if (n <= 0) continue;
            for (ssize_t i = 0; i < n; ++i) {
                std::optional<std::string> answer;
                {
                    std::lock_guard<std::mutex> lock(mu_);
                    received_.push_back(buf[i]);
                    line.push_back(buf[i]);
                    if (stream_) {
                        answer = stream_(line);
                    } else {
                        if (frameSize_ > 0 ? line.size() < frameSize_ : buf[i] != '\r') continue;
                        if (handler_) {
                            answer = handler_(line);
                        } else if (!queue_.empty()) {
                            answer = queue_.front();
                            queue_.pop_front();
                        }
                        line.clear();
                    }
                }
                if (answer && !answer->empty()) send(*answer);
            }
        }
    }

    int master_ = -1;
    int slave_ = -1;
    std::string path_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::mutex mu_;
    Handler handler_;
    StreamHandler stream_;
    std::size_t frameSize_ = 0;
    std::deque<std::string> queue_;
    std::string received_;
};

}  // namespace odel::test

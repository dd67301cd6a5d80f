// Serving thread of the simulated bus: frames the bytes the host writes into ASCII lines, Modbus
// frames and loader blocks, lets the addressed module answer, and applies faults and pacing.
#include "sim/SimBus.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "sim/SimInternal.h"

namespace odel::sim {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kFrameGap = std::chrono::milliseconds(5);
// Longest time a reply may wait for room on the line before the rest of it is dropped.
constexpr auto kWriteBound = std::chrono::milliseconds(500);

speed_t speedOf(int baudCode) {
    switch (baudCode) {
        case 3:
            return B1200;
        case 4:
            return B2400;
        case 5:
            return B4800;
        case 6:
            return B9600;
        case 7:
            return B19200;
        case 8:
            return B38400;
        case 9:
            return B57600;
        case 10:
            return B115200;
        default:
            return B0;
    }
}

int bpsOf(int baudCode) {
    static const int rates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    return baudCode >= 3 && baudCode <= 10 ? rates[baudCode - 3] : 9600;
}

bool printable(const std::string& s, std::size_t end) {
    for (std::size_t i = 0; i < end; ++i) {
        auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 || c > 0x7E) return false;
    }
    return true;
}

bool crcOk(const std::string& s, std::size_t len) {
    if (len < 4) return false;
    auto crc = modbusCrc(reinterpret_cast<const std::uint8_t*>(s.data()), len - 2);
    return static_cast<unsigned char>(s[len - 2]) == (crc & 0xFF) &&
           static_cast<unsigned char>(s[len - 1]) == (crc >> 8);
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string hex2(int v) {
    static const char* digits = "0123456789ABCDEF";
    return {digits[(v >> 4) & 0xF], digits[v & 0xF]};
}

}  // namespace

struct SimBus::Impl {
    mutable std::mutex mu;
    BusDescription bus;
    std::vector<std::string> rx;
    std::string busRx, busTx;
    int master = -1;
    int slave = -1;
    std::string path;
    std::string error;
    std::thread thread;
    std::atomic<bool> stopFlag{false};
    std::atomic<bool> running{false};

    // Serving-thread state.
    std::string buf;
    int blockModule = -1;
    Clock::time_point lastByte{};
    Clock::time_point started{};
    Clock::time_point lastTick{};

    struct Out {
        std::string bytes;
        int baudCode;
    };
    std::vector<Out> pending;

    speed_t lineSpeed() const {
        termios t{};
        if (tcgetattr(slave, &t) != 0) return B0;
        return cfgetospeed(&t);
    }

    void emit(const ModuleState& m, std::string bytes) {
        busTx += bytes;
        pending.push_back({std::move(bytes), answerBaudCode(m)});
    }

    bool faultApplies(const ModuleState& m, const std::string& key) const {
        return m.fault.kind != Fault::None &&
               key.compare(0, m.fault.match.size(), m.fault.match) == 0;
    }

    // The fault that hits this command; a count-limited fault is used up by it.
    static Fault takeFault(ModuleState& m, bool applies) {
        if (!applies || m.fault.count == 0) return Fault::None;
        const Fault f = m.fault.kind;
        if (m.fault.count > 0 && --m.fault.count == 0) m.fault = {};
        return f;
    }

    // Finishes an ASCII reply: checksum, faults, CR. dataStart: where the data digits begin.
    void replyAscii(const ModuleState& m, std::string text, Fault f,
                    std::size_t dataStart = std::string::npos) {
        bool cks = checksumOn(m);
        if (f == Fault::BadDigits)
            for (std::size_t k = dataStart; k < text.size(); ++k)
                if (std::isxdigit(static_cast<unsigned char>(text[k]))) text[k] = 'G';
        if (f == Fault::TooLong)
            while (text.size() < 70) text += '0';
        if (cks) {
            int sum = checksumOf(text);
            if (f == Fault::BadChecksum) sum = (sum + 1) & 0xFF;
            text += hex2(sum);
        }
        if (f != Fault::NoCr) text += '\r';
        if (f == Fault::Garbage) text = std::string("\x15\xFE*", 3) + text;
        emit(m, std::move(text));
    }

    void handleLine(const std::string& line) {
        speed_t speed = lineSpeed();
        for (std::size_t i = 0; i < bus.modules.size(); ++i) {
            ModuleState& m = bus.modules[i];
            if (inModbusMode(m) || speedOf(answerBaudCode(m)) != speed) continue;
            if (line.size() < 3) continue;
            int hi = hexValue(line[1]), lo = hexValue(line[2]);
            if (hi < 0 || lo < 0 || (hi << 4 | lo) != answerAddress(m)) continue;
            rx[i] += line + "\r";
            std::string body = line;
            if (checksumOn(m)) {
                if (line.size() < 5) return;
                int h = hexValue(line[line.size() - 2]), l = hexValue(line[line.size() - 1]);
                body = line.substr(0, line.size() - 2);
                if (h < 0 || l < 0 || (h << 4 | l) != checksumOf(body)) return;  // ignored
            }
            std::string key = body.substr(0, 1) + body.substr(3);
            const Fault f = takeFault(m, faultApplies(m, key));
            if (f == Fault::NoReply) return;
            if (f == Fault::Reject) {
                replyAscii(m, "?" + body.substr(1, 2), Fault::None);
                return;
            }
            bool blockFollows = false;
            ModuleState before = m;
            std::size_t dataStart = std::string::npos;
            auto reply = handleAscii(m, body, blockFollows, &dataStart);
            if (blockFollows) blockModule = static_cast<int>(i);
            if (reply) replyAscii(before, *reply, f, dataStart);
            return;
        }
    }

    void handleFrame(const std::string& frame) {
        speed_t speed = lineSpeed();
        int slaveId = static_cast<unsigned char>(frame[0]);
        for (std::size_t i = 0; i < bus.modules.size(); ++i) {
            ModuleState& m = bus.modules[i];
            if (!inModbusMode(m) || speedOf(m.baudCode) != speed) continue;
            if (slaveId == 0) {  // broadcast: every Modbus module takes it, nobody answers
                rx[i] += frame;
                takeModbusBroadcast(m, frame);
                continue;
            }
            if (m.address != slaveId) continue;
            rx[i] += frame;
            if (auto answer = answerModbus(m, frame)) emit(m, *answer);
            return;
        }
    }

    // Takes complete lines, frames and blocks off the front of the buffer.
    void process(bool idle) {
        while (!buf.empty()) {
            if (blockModule >= 0) {
                if (buf.size() < 132) {
                    if (idle && Clock::now() - lastByte > std::chrono::milliseconds(500)) {
                        buf.clear();
                        blockModule = -1;
                    }
                    return;
                }
                ModuleState& m = bus.modules[blockModule];
                std::string block = buf.substr(0, 132);
                buf.erase(0, 132);
                rx[blockModule] += block;
                blockModule = -1;
                replyAscii(m, handleLoaderBlock(m, block), Fault::None);
                continue;
            }
            if (buf.size() >= 8 && crcOk(buf, 8)) {
                std::string frame = buf.substr(0, 8);
                buf.erase(0, 8);
                handleFrame(frame);
                continue;
            }
            auto cr = buf.find('\r');
            if (cr != std::string::npos && printable(buf, cr) &&
                (cr > 0 || buf.size() >= 8 || idle)) {
                std::string line = buf.substr(0, cr);
                buf.erase(0, cr + 1);
                if (!line.empty()) handleLine(line);
                continue;
            }
            if (!idle) return;
            if (buf.size() >= 4 && crcOk(buf, buf.size())) {  // a frame of another length
                std::string frame = buf;
                buf.clear();
                handleFrame(frame);
                return;
            }
            if (cr != std::string::npos) {
                buf.erase(0, cr + 1);  // noise up to the end of a line
                continue;
            }
            if (!printable(buf, buf.size()) || buf.size() > 256) buf.clear();
            return;
        }
    }

    void tick() {
        auto now = Clock::now();
        double t = std::chrono::duration<double>(now - started).count();
        double dt = std::chrono::duration<double>(now - lastTick).count();
        if (dt < 0.02) return;
        lastTick = now;
        for (auto& m : bus.modules) advanceLive(m, t, dt);
    }

    // Sleeps up to ms, in slices, so a stop is never held up by a long turnaround.
    void sleepUnlessStopped(int ms) {
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        while (!stopFlag && Clock::now() < end)
            std::this_thread::sleep_for(
                std::min<Clock::duration>(end - Clock::now(), std::chrono::milliseconds(10)));
    }

    // Writes bytes to the host without ever blocking on it: a host that does not read gets
    // what fits within kWriteBound, and the rest of the reply is dropped.
    bool writeBounded(const char* data, std::size_t size) {
        const auto deadline = Clock::now() + kWriteBound;
        std::size_t done = 0;
        while (done < size && !stopFlag) {
            ssize_t n = ::write(master, data + done, size - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return false;
            if (Clock::now() >= deadline) return false;
            pollfd p{master, POLLOUT, 0};
            ::poll(&p, 1, 10);
        }
        return done == size;
    }

    void send(const Out& out, bool pacing, int turnaroundMs) {
        if (turnaroundMs > 0) sleepUnlessStopped(turnaroundMs);
        if (!pacing) {
            writeBounded(out.bytes.data(), out.bytes.size());
            return;
        }
        // Each byte is due 10 bit times after the one before it, counted from the start, so
        // a late wake-up does not add up over a reply.
        const auto perByte = std::chrono::nanoseconds(10'000'000'000LL / bpsOf(out.baudCode));
        auto due = Clock::now();
        for (char c : out.bytes) {
            if (stopFlag) return;
            due += perByte;
            std::this_thread::sleep_until(due);
            if (!writeBounded(&c, 1)) return;
        }
    }

    void serve() {
        started = lastTick = Clock::now();
        char tmp[512];
        while (!stopFlag) {
            pollfd p{master, POLLIN, 0};
            // Short waits only while a line or frame is half received.
            int r = ::poll(&p, 1, buf.empty() ? 20 : 2);
            bool got = false;
            std::size_t received = 0;
            if (r > 0 && (p.revents & POLLIN)) {
                ssize_t n = ::read(master, tmp, sizeof tmp);
                if (n > 0) {
                    got = true;
                    received = static_cast<std::size_t>(n);
                }
            }
            bool pacing;
            int turnaround;
            std::vector<Out> out;
            {
                std::lock_guard<std::mutex> lock(mu);
                if (got) {
                    buf.append(tmp, received);
                    busRx.append(tmp, received);
                    lastByte = Clock::now();
                }
                tick();
                bool idle = !got && Clock::now() - lastByte >= kFrameGap;
                process(idle);
                out.swap(pending);
                pacing = bus.pacing;
                turnaround = bus.turnaroundMs;
            }
            for (const auto& o : out) send(o, pacing, turnaround);
        }
    }
};

SimBus::SimBus() : impl_(std::make_unique<Impl>()) {}

SimBus::~SimBus() {
    stop();
}

bool SimBus::start(const BusDescription& bus) {
    stop();
    char name[256] = {};
    if (openpty(&impl_->master, &impl_->slave, name, nullptr, nullptr) != 0) {
        impl_->error = std::string("openpty failed: ") + std::strerror(errno);
        return false;
    }
    termios t{};
    tcgetattr(impl_->slave, &t);
    cfmakeraw(&t);
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    tcsetattr(impl_->slave, TCSANOW, &t);
    impl_->path = name;
    // The serving thread never blocks on a host that does not read its replies.
    ::fcntl(impl_->master, F_SETFL, ::fcntl(impl_->master, F_GETFL) | O_NONBLOCK);
    {
        std::lock_guard<std::mutex> lock(impl_->mu);
        impl_->bus = bus;
        impl_->rx.assign(bus.modules.size(), {});
        impl_->busRx.clear();
        impl_->busTx.clear();
        impl_->buf.clear();
        impl_->blockModule = -1;
    }
    impl_->stopFlag = false;
    impl_->thread = std::thread([this] { impl_->serve(); });
    impl_->running = true;
    return true;
}

bool SimBus::start() {
    return start(defaultBus());
}

bool SimBus::startFromText(const std::string& busFileText) {
    BusDescription bus;
    if (!parseBusFile(busFileText, bus, impl_->error)) return false;
    return start(bus);
}

void SimBus::stop() {
    if (!impl_->running) return;
    impl_->stopFlag = true;
    if (impl_->thread.joinable()) impl_->thread.join();
    ::close(impl_->master);
    ::close(impl_->slave);
    impl_->master = impl_->slave = -1;
    impl_->running = false;
}

bool SimBus::running() const {
    return impl_->running;
}
const std::string& SimBus::error() const {
    return impl_->error;
}
const std::string& SimBus::slavePath() const {
    return impl_->path;
}

int SimBus::moduleCount() const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    return static_cast<int>(impl_->bus.modules.size());
}

int SimBus::findModule(int address) const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    for (std::size_t i = 0; i < impl_->bus.modules.size(); ++i)
        if (answerAddress(impl_->bus.modules[i]) == address) return static_cast<int>(i);
    return -1;
}

ModuleState SimBus::module(int index) const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    if (index < 0 || index >= static_cast<int>(impl_->bus.modules.size())) return {};
    return impl_->bus.modules[index];
}

void SimBus::setModule(int index, const ModuleState& state) {
    modify(index, [&](ModuleState& m) { m = state; });
}

void SimBus::modify(int index, const std::function<void(ModuleState&)>& change) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    if (index < 0 || index >= static_cast<int>(impl_->bus.modules.size())) return;
    change(impl_->bus.modules[index]);
}

void SimBus::setFault(int index, Fault kind, std::string match, int count) {
    modify(index, [&](ModuleState& m) { m.fault = {kind, std::move(match), count}; });
}

void SimBus::clearFault(int index) {
    setFault(index, Fault::None);
}

void SimBus::setLive(bool live) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    for (auto& m : impl_->bus.modules) m.live = live;
}

void SimBus::setPacing(bool on, int turnaroundMs) {
    std::lock_guard<std::mutex> lock(impl_->mu);
    impl_->bus.pacing = on;
    impl_->bus.turnaroundMs = turnaroundMs;
}

std::string SimBus::received(int index) const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    if (index < 0 || index >= static_cast<int>(impl_->rx.size())) return {};
    return impl_->rx[index];
}

std::string SimBus::busReceived() const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->busRx;
}

std::string SimBus::busSent() const {
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->busTx;
}

void SimBus::clearReceived() {
    std::lock_guard<std::mutex> lock(impl_->mu);
    for (auto& r : impl_->rx) r.clear();
    impl_->busRx.clear();
    impl_->busTx.clear();
}

}  // namespace odel::sim

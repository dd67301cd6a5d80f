// Model table of the simulated modules, their defaults, the default bus and the bus file format.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <cctype>
#include <cstdio>
#include <set>
#include <sstream>
#include <string_view>

#include "sim/SimInternal.h"

namespace odel::sim {

namespace {

std::vector<int> codes(std::initializer_list<std::pair<int, int>> spans) {
    std::vector<int> out;
    for (auto [a, b] : spans)
        for (int c = a; c <= b; ++c) out.push_back(c);
    return out;
}

const std::vector<ModelInfo>& models() {
    static const std::vector<ModelInfo> table = {
        // name, family, channels, DI, DO, modbus, protocol bit, watchdog, cjc, ranges
        {"7341", Family::AiSingle, 1, 1, 2, false, 2, false, true,
         codes({{0x00, 0x06}, {0x0E, 0x14}})},
        {"7341L", Family::AiSingle, 1, 1, 2, false, 2, false, true,
         codes({{0x00, 0x06}, {0x0E, 0x14}})},
        {"7342", Family::AiSingle, 1, 1, 2, false, 2, false, false, codes({{0x08, 0x0D}})},
        {"7345", Family::AiSingle, 1, 1, 2, false, 2, false, false, codes({{0x20, 0x2C}})},
        {"7347", Family::AiMulti, 6, 0, 0, true, 2, true, false, codes({{0x20, 0x2E}})},
        {"7347K", Family::AiMulti, 6, 0, 0, true, 2, true, false, codes({{0x30, 0x31}})},
        {"7349", Family::StrainGauge, 1, 0, 4, false, 2, false, false,
         codes({{0x00, 0x03}, {0x06, 0x06}})},
        {"7352", Family::AiMulti, 8, 0, 0, false, 2, false, false, codes({{0x08, 0x0D}})},
        {"7352R", Family::AiMulti, 8, 0, 0, true, 2, true, false, codes({{0x07, 0x0D}})},
        {"7354", Family::AiMulti, 8, 0, 0, false, 2, false, true,
         codes({{0x00, 0x06}, {0x0E, 0x14}})},
        {"7354R", Family::AiMulti, 8, 0, 0, true, 2, true, true,
         codes({{0x06, 0x07}, {0x0E, 0x14}})},
        {"7356", Family::AiMulti, 8, 0, 0, false, 2, false, true,
         codes({{0x02, 0x05}, {0x08, 0x09}, {0x0D, 0x14}})},
        {"7361", Family::Ao1, 1, 0, 0, false, 2, false, false, codes({{0x30, 0x32}})},
        {"7364", Family::Ao4, 4, 4, 0, true, 7, false, false, codes({{0x30, 0x32}})},
        {"7380", Family::Dio, 0, 7, 8, false, 2, false, false, {}},
        {"7381", Family::Dio, 0, 16, 0, true, 2, false, false, {}},
        {"7382", Family::Dio, 0, 8, 0, false, 2, false, false, {}},
        {"7383", Family::Dio, 0, 16, 0, false, 2, false, false, {}},
        {"7385", Family::Dio, 0, 8, 8, true, 2, false, false, {}},
        {"7390", Family::Dio, 0, 0, 4, false, 2, false, false, {}},
        {"7396", Family::Dio, 0, 0, 8, true, 2, false, false, {}},
        {"7320", Family::Counter, 0, 0, 2, false, 2, false, false, codes({{0x50, 0x51}})},
        {"7320L", Family::Counter, 0, 0, 2, false, 2, false, false, codes({{0x50, 0x51}})},
        {"8600", Family::MainUnit, 0, 0, 0, false, 2, false, false, {}},
        {"8600X", Family::MainUnit, 0, 0, 0, false, 2, false, false, {}},
    };
    return table;
}

int baudCodeOf(long bps) {
    static const long rates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    for (int i = 0; i < 8; ++i)
        if (rates[i] == bps) return i + 3;
    return -1;
}

bool parseHex(const std::string& s, int& out) {
    if (s.empty() || s.size() > 2) return false;
    for (char c : s)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    out = static_cast<int>(std::stoul(s, nullptr, 16));
    return true;
}

}  // namespace

const ModelInfo* findModel(const std::string& name) {
    for (const auto& m : models())
        if (name == m.name) return &m;
    return nullptr;
}

Span rangeSpan(int code) {
    switch (code) {
        case 0x00:
            return {-15, 15};
        case 0x01:
            return {-50, 50};
        case 0x02:
            return {-100, 100};
        case 0x03:
            return {-500, 500};
        case 0x04:
            return {-1, 1};
        case 0x05:
            return {-2.5, 2.5};
        case 0x06:
            return {-20, 20};
        case 0x07:
            return {4, 20};
        case 0x08:
            return {-10, 10};
        case 0x09:
            return {-5, 5};
        case 0x0A:
            return {-1, 1};
        case 0x0B:
            return {-500, 500};
        case 0x0C:
            return {-150, 150};
        case 0x0D:
            return {-20, 20};
        case 0x0E:
            return {0, 760};
        case 0x0F:
            return {0, 1000};
        case 0x10:
            return {-100, 400};
        case 0x11:
            return {0, 1000};
        case 0x12:
            return {0, 1750};
        case 0x13:
            return {0, 1750};
        case 0x14:
            return {0, 1800};
        case 0x20:
            return {-50, 150};
        case 0x21:
            return {0, 100};
        case 0x22:
            return {0, 200};
        case 0x23:
            return {0, 400};
        case 0x24:
            return {-200, 200};
        case 0x25:
            return {-50, 150};
        case 0x26:
            return {0, 100};
        case 0x27:
            return {0, 200};
        case 0x28:
            return {0, 400};
        case 0x29:
            return {-200, 200};
        case 0x2A:
            return {-40, 160};
        case 0x2B:
            return {0, 500};
        case 0x2C:
            return {-30, 120};
        case 0x2D:
            return {-80, 320};
        case 0x2E:
            return {-80, 150};
        case 0x30:
            return {0, 100};
        case 0x31:
            return {0, 100};
        default:
            return {-10, 10};
    }
}

bool inModbusMode(const ModuleState& m) {
    const ModelInfo* info = findModel(m.model);
    if (!info || !info->modbusVariant || m.init) return false;
    return (m.format >> info->protocolBit) & 1;
}

int answerAddress(const ModuleState& m) {
    return m.init ? 0 : m.address;
}
int answerBaudCode(const ModuleState& m) {
    return m.init ? 6 : m.baudCode;
}
bool checksumOn(const ModuleState& m) {
    return !m.init && (m.format & 0x40);
}

int checksumOf(const std::string& text) {
    int sum = 0;
    for (unsigned char c : text) sum += c;
    return sum % 256;
}

std::optional<ModuleState> makeModule(const std::string& model, int address) {
    const ModelInfo* info = findModel(model);
    if (!info) return std::nullopt;
    ModuleState m;
    m.model = model;
    m.address = address;
    m.channels = info->channels;
    m.enableMask = info->channels >= 8 ? 0xFF : (1 << info->channels) - 1;
    int range = info->ranges.empty() ? 0 : info->ranges.front();
    switch (info->family) {
        case Family::AiMulti:
            if (model == "7354R")
                range = 0x0F;  // K thermocouple
            else if (model == "7354")
                range = 0x0F;
            else if (model == "7356")
                range = 0x08;
            else if (model == "7352R" || model == "7352")
                range = 0x08;
            m.typeCode = range;
            break;
        case Family::AiSingle:
        case Family::StrainGauge:
            m.channels = 1;
            m.enableMask = 1;
            m.typeCode = range;
            break;
        case Family::Ao1:
            m.typeCode = 0x30;
            m.aoRanges = {0x30, 0x30, 0x30, 0x30};
            m.aoValues[0] = 4.0;
            break;
        case Family::Ao4:
            m.typeCode = 0x30;
            m.aoRanges = {0x30, 0x31, 0x32, 0x30};
            m.aoValues = {4.0, 12.0, 0.0, 20.0};
            m.aoStartup = {0.0, 4.0, 0.0, 0.0};
            m.aoEmergency = {0.0, 4.0, 0.0, 0.0};
            break;
        case Family::Dio:
            m.typeCode = 0x40;
            m.channels = 0;
            m.enableMask = 0;
            break;
        case Family::Counter:
            m.typeCode = 0x50;
            m.channels = 0;
            m.enableMask = 0;
            m.maxCount = {0xFFFFFFFFu, 0xFFFFFFFFu};
            m.lowLimit = "00000000";
            m.highLimit = "00000000";
            break;
        case Family::MainUnit:
            m.typeCode = 0;
            m.channels = 0;
            m.enableMask = 0;
            m.slotTable = model == "8600X" ? "3134FF1G72XYFF81" : "31728977";
            m.firmware = "A2.10";
            break;
    }
    for (int i = 0; i < 8; ++i) m.ranges[i] = range;
    if (info->family == Family::AiMulti || info->family == Family::AiSingle ||
        info->family == Family::StrainGauge) {
        for (int i = 0; i < 8; ++i) {
            Span s = rangeSpan(m.ranges[i]);
            m.values[i] = s.low + (s.high - s.low) * (0.3 + 0.05 * i);
        }
    }
    return m;
}

BusDescription defaultBus() {
    namespace d = defaultbus;
    BusDescription bus;
    auto add = [&](const char* model, int address) -> ModuleState& {
        bus.modules.push_back(*makeModule(model, address));
        return bus.modules.back();
    };
    ModuleState& init = add("7354", d::kInitConfigured);
    init.init = true;
    add("7352R", d::k7352R);
    ModuleState& cks = add("7354R", d::k7354RChecksum);
    cks.format |= 0x40;
    cks.burnout[7] = true;  // open thermocouple on the last channel
    add("8600X", d::k8600X);
    add("7385", d::k7385Modbus).format |= 0x04;
    add("7354", d::k7354);
    add("7364", d::k7364);
    add("7320", d::k7320).counting = {true, false};
    add("7341", d::k7341);
    add("7341L", d::k7341L);
    add("7342", d::k7342);
    add("7345", d::k7345);
    add("7347", d::k7347);
    add("7347K", d::k7347K);
    add("7349", d::k7349);
    add("7352", d::k7352);
    add("7354R", d::k7354R).burnout[3] = true;
    add("7356", d::k7356);
    add("7361", d::k7361);
    add("7380", d::k7380);
    add("7381", d::k7381);
    add("7382", d::k7382);
    add("7383", d::k7383);
    add("7385", d::k7385);
    add("7390", d::k7390);
    add("7396", d::k7396);
    add("7320L", d::k7320L).counting = {true, true};
    add("8600", d::k8600);
    add("7347", d::k7347Modbus).format |= 0x04;
    add("7347K", d::k7347KModbus).format |= 0x04;
    add("7352R", d::k7352RModbus).format |= 0x04;
    add("7354R", d::k7354RModbus).format |= 0x04;
    add("7364", d::k7364Modbus).format |= 0x80;
    add("7381", d::k7381Modbus).format |= 0x04;
    add("7396", d::k7396Modbus).format |= 0x04;
    return bus;
}

namespace {

// A word of a bus file as an error message shows it: at most a few dozen characters, bytes that
// are not printable as \xHH, so a huge or binary word never floods the terminal.
std::string shown(std::string_view word) {
    constexpr std::size_t kShown = 32;
    std::string out;
    for (std::size_t i = 0; i < word.size() && i < kShown; ++i) {
        const auto c = static_cast<unsigned char>(word[i]);
        if (std::isprint(c)) {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    if (word.size() > kShown) out += "...";
    return out;
}

std::string quoted(std::string_view word) {
    return "\"" + shown(word) + "\"";
}

// Splits off the next blank-separated word of line; empty at the end.
std::string_view nextWord(std::string_view& line) {
    std::size_t b = 0;
    while (b < line.size() && std::isspace(static_cast<unsigned char>(line[b]))) ++b;
    std::size_t e = b;
    while (e < line.size() && !std::isspace(static_cast<unsigned char>(line[e]))) ++e;
    const std::string_view word = line.substr(b, e - b);
    line.remove_prefix(e);
    return word;
}

}  // namespace

bool readBusFile(const std::string& path, std::string& text, std::string& error) {
    // O_NONBLOCK: opening a FIFO does not wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = std::string("cannot read: ") + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "not a regular file";
    } else if (static_cast<std::uint64_t>(st.st_size) > kMaxBusFileBytes) {
        error = "larger than " + std::to_string(kMaxBusFileBytes) + " bytes";
    } else {
        text.clear();
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                error = std::string("cannot read: ") + std::strerror(errno);
                break;
            }
            if (n == 0) break;
            text.append(buffer, static_cast<std::size_t>(n));
            if (text.size() > kMaxBusFileBytes) {  // it grew while being read
                error = "larger than " + std::to_string(kMaxBusFileBytes) + " bytes";
                break;
            }
        }
        if (error.empty()) {
            ::close(fd);
            return true;
        }
    }
    ::close(fd);
    return false;
}

bool parseBusFile(const std::string& text, BusDescription& bus, std::string& error) {
    BusDescription out;
    out.pacing = bus.pacing;
    out.turnaroundMs = bus.turnaroundMs;
    std::set<std::pair<bool, int>> used;  // (modbus, answer address)
    int lineNo = 0;
    auto fail = [&](const std::string& why) {
        error = "line " + std::to_string(lineNo) + ": " + why;
        return false;
    };
    // Lines and words are views into text: parsing takes memory of the order of the file.
    const std::string_view all(text);
    for (std::size_t pos = 0; pos < all.size();) {
        std::size_t end = all.find('\n', pos);
        if (end == std::string_view::npos) end = all.size();
        std::string_view line = all.substr(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        line = line.substr(0, line.find('#'));
        const std::string addrText(nextWord(line));
        if (addrText.empty()) continue;  // blank or comment
        const std::string model(nextWord(line));
        int address = 0;
        if (!parseHex(addrText, address))
            return fail("bad address " + quoted(addrText) + " (two hex digits expected)");
        if (model.empty()) return fail("model missing");
        auto made = makeModule(model, address);
        if (!made) return fail("unknown model " + shown(model));
        ModuleState m = *made;
        const ModelInfo* info = findModel(model);
        for (std::string_view opt = nextWord(line); !opt.empty(); opt = nextWord(line)) {
            std::string_view keyView = opt, valueView;
            if (auto eq = opt.find('='); eq != std::string_view::npos) {
                keyView = opt.substr(0, eq);
                valueView = opt.substr(eq + 1);
            }
            const std::string key(keyView);
            // Only the firmware text may be long; it is copied once, into the module.
            const std::string value(valueView.substr(0, key == "firmware" ? 0 : 64));
            int byte = 0;
            if (key == "checksum" && value.empty()) {
                m.format |= 0x40;
            } else if (key == "init" && value.empty()) {
                m.init = true;
            } else if (key == "modbus" && value.empty()) {
                if (!info->modbusVariant)
                    return fail("model " + shown(model) + " has no Modbus mode");
                m.format |= 1 << info->protocolBit;
            } else if (key == "frozen" && value.empty()) {
                m.live = false;
            } else if (key == "lowerhex" && value.empty()) {
                m.lowerHex = true;
            } else if (key == "baud") {
                long bps = 0;
                try {
                    bps = std::stol(value);
                } catch (...) {
                    bps = 0;
                }
                int code = baudCodeOf(bps);
                if (code < 0) return fail("bad baud rate " + quoted(valueView));
                m.baudCode = code;
            } else if (key == "type" && parseHex(value, byte)) {
                m.typeCode = byte;
                for (int& r : m.ranges) r = byte;
            } else if (key == "format" && parseHex(value, byte)) {
                m.format = byte;
            } else if (key == "firmware" && !valueView.empty()) {
                m.firmware = std::string(valueView);
            } else if (key == "slots" && info->family == Family::MainUnit) {
                if (value.size() != 8 && value.size() != 16)
                    return fail("slot table must have 8 or 16 characters");
                m.slotTable = value;
            } else {
                return fail("bad option " + quoted(opt));
            }
        }
        auto key = std::make_pair(inModbusMode(m), answerAddress(m));
        if (!used.insert(key).second) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "%02X", answerAddress(m));
            return fail(std::string("address ") + hex + " already used");
        }
        out.modules.push_back(std::move(m));
    }
    if (out.modules.empty()) {
        lineNo = std::max(lineNo, 1);
        return fail("no module on the bus");
    }
    bus = std::move(out);
    return true;
}

}  // namespace odel::sim

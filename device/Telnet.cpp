// Telnet option negotiation (a simplified form of the Q method: answer only what changes a
// state) and the COM-PORT-OPTION subnegotiations.
#include "device/Telnet.h"

namespace odel::telnet {

namespace {

// Longest subnegotiation kept; a longer one is dropped whole.
constexpr std::size_t kMaxSub = 64;

bool WantedOnOurSide(std::uint8_t option) {
    return option == kOptBinary || option == kOptComPort;
}

bool WantedOnServerSide(std::uint8_t option) {
    return option == kOptBinary || option == kOptSga;
}

void AppendCommand(std::string& out, std::uint8_t verb, std::uint8_t option) {
    out += static_cast<char>(kIac);
    out += static_cast<char>(verb);
    out += static_cast<char>(option);
}

// IAC SB COM-PORT-OPTION command value IAC SE, IAC in the value doubled.
void AppendComPort(std::string& out, std::uint8_t command, const std::string& value) {
    out += static_cast<char>(kIac);
    out += static_cast<char>(kSb);
    out += static_cast<char>(kOptComPort);
    out += static_cast<char>(command);
    for (char c : value) {
        out += c;
        if (static_cast<std::uint8_t>(c) == kIac) out += c;
    }
    out += static_cast<char>(kIac);
    out += static_cast<char>(kSe);
}

}  // namespace

std::string Session::Start() {
    std::string out;
    for (std::uint8_t option : {kOptBinary, kOptComPort}) {
        us_[option] = WantYes;
        AppendCommand(out, kWill, option);
    }
    for (std::uint8_t option : {kOptBinary, kOptSga}) {
        him_[option] = WantYes;
        AppendCommand(out, kDo, option);
    }
    return out;
}

bool Session::Negotiated() const {
    for (int option = 0; option < 256; ++option)
        if (us_[option] == WantYes || him_[option] == WantYes) return false;
    return true;
}

void Session::Negotiate(std::uint8_t verb, std::uint8_t option, std::string& reply) {
    switch (verb) {
        case kDo:
            if (us_[option] == WantYes) {
                us_[option] = Yes;
            } else if (us_[option] == No) {
                if (WantedOnOurSide(option)) {
                    us_[option] = Yes;
                    AppendCommand(reply, kWill, option);
                } else {
                    AppendCommand(reply, kWont, option);
                }
            }
            break;
        case kDont:
            if (us_[option] == Yes) AppendCommand(reply, kWont, option);
            us_[option] = No;
            break;
        case kWill:
            if (him_[option] == WantYes) {
                him_[option] = Yes;
            } else if (him_[option] == No) {
                // Echo in particular is refused: our commands must not come back as data.
                if (WantedOnServerSide(option)) {
                    him_[option] = Yes;
                    AppendCommand(reply, kDo, option);
                } else {
                    AppendCommand(reply, kDont, option);
                }
            }
            break;
        case kWont:
            if (him_[option] == Yes) AppendCommand(reply, kDont, option);
            him_[option] = No;
            break;
        default:
            break;
    }
}

void Session::SubNegotiation() {
    if (sub_.size() < 2 || static_cast<std::uint8_t>(sub_[0]) != kOptComPort) return;
    const int command = static_cast<std::uint8_t>(sub_[1]) - kServerOffset;
    if (command >= kSetBaud && command <= kSetStopSize) answered_ |= 1u << command;
    if (command == kPurgeData) ++purges_;
    if (command == kSetBaud && sub_.size() >= 6) {
        answeredBaud_ = 0;
        for (int k = 2; k < 6; ++k)
            answeredBaud_ = answeredBaud_ << 8 | static_cast<std::uint8_t>(sub_[k]);
    }
}

void Session::Receive(const std::uint8_t* bytes, std::size_t count, std::string& data,
                      std::string& reply) {
    for (std::size_t k = 0; k < count; ++k) {
        const std::uint8_t b = bytes[k];
        switch (parse_) {
            case Data:
                if (b == kIac) {
                    parse_ = Iac;
                    break;
                }
                // Outside binary mode a CR comes as CR NUL (or CR LF); the NUL is not data.
                if (!(afterCr_ && b == 0 && him_[kOptBinary] != Yes)) data += static_cast<char>(b);
                afterCr_ = b == '\r';
                break;
            case Iac:
                if (b == kIac) {
                    data += static_cast<char>(b);
                    afterCr_ = false;
                    parse_ = Data;
                } else if (b == kDo || b == kDont || b == kWill || b == kWont) {
                    verb_ = b;
                    parse_ = Option;
                } else if (b == kSb) {
                    sub_.clear();
                    parse_ = Sub;
                } else {
                    parse_ = Data;  // NOP, GA, a stray SE and the like carry nothing for us
                }
                break;
            case Option:
                Negotiate(verb_, b, reply);
                parse_ = Data;
                break;
            case Sub:
                if (b == kIac) {
                    parse_ = SubIac;
                } else if (sub_.size() <= kMaxSub) {
                    sub_ += static_cast<char>(b);
                }
                break;
            case SubIac:
                if (b == kIac) {
                    if (sub_.size() <= kMaxSub) sub_ += static_cast<char>(b);
                    parse_ = Sub;
                } else {
                    // IAC SE ends it; any other command ends it too, as a broken one.
                    if (b == kSe && sub_.size() <= kMaxSub) SubNegotiation();
                    parse_ = Data;
                }
                break;
        }
    }
}

void Session::Encode(const std::uint8_t* data, std::size_t count, std::string& out) const {
    const bool binary = us_[kOptBinary] == Yes;
    for (std::size_t k = 0; k < count; ++k) {
        out += static_cast<char>(data[k]);
        if (data[k] == kIac) out += static_cast<char>(kIac);
        if (data[k] == '\r' && !binary) out += '\0';
    }
}

std::string Session::SetLine(const link::LineSettings& s) {
    answered_ = 0;
    askedBaud_ = static_cast<std::uint32_t>(s.baud);
    answeredBaud_ = 0;
    std::string out;
    std::string baud;
    for (int shift = 24; shift >= 0; shift -= 8) baud += static_cast<char>(askedBaud_ >> shift);
    AppendComPort(out, kSetBaud, baud);
    AppendComPort(out, kSetDataSize, std::string(1, static_cast<char>(s.dataBits)));
    // Our parity codes 0 none, 1 odd, 2 even are the option's 1, 2, 3.
    AppendComPort(out, kSetParity, std::string(1, static_cast<char>(s.parity + 1)));
    AppendComPort(out, kSetStopSize, std::string(1, static_cast<char>(s.stopBits == 2 ? 2 : 1)));
    return out;
}

std::string Session::PurgeInput() {
    std::string out;
    AppendComPort(out, kPurgeData, std::string(1, static_cast<char>(kPurgeReceive)));
    return out;
}

}  // namespace odel::telnet

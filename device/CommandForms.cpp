#include "device/CommandForms.h"

#include <cstring>

namespace odel::forms {

namespace {

constexpr CommandForm kForms[] = {
    // Configuration, identification, watchdog (every module).
    {"$a2", "$AA2", "read configuration", "", "!Ahhh|!Ahh"},
    {"%aahhh", "%AANNTTCCFF", "set configuration", "@,type,bps,format", "!A*|!N*"},
    {"%a00hh", "%AA00CCFF", "set main-unit configuration", "bps,format", "!A*"},
    {"$aF", "$AAF", "read firmware version", "", "!A*"},
    {"$aM", "$AAM", "read module name", "", "!A*"},
    {"$aXdddd", "$AAXnnnn", "set communication watchdog", "tenths of a second", "!A*"},
    {"$aY", "$AAY", "read communication watchdog", "", "!A*"},
    {"$aT", "$AAT", "read slot table", "", "!A*"},
    // Analog input.
    {"$a0", "$AA0", "span calibration / 4 mA calibration", "", "!A*"},
    {"$a1", "$AA1", "zero calibration / 20 mA calibration", "", "!A*"},
    {"$a0Cd", "$AA0Cn", "span calibration / 4 mA calibration of a channel", "channel", "!A*"},
    {"$a1Cd", "$AA1Cn", "zero calibration / 20 mA calibration of a channel", "channel", "!A*"},
    {"$a5h", "$AA5MM", "set channel enable", "mask", "!A*"},
    {"$a6", "$AA6", "read channel enable / digital status / output value", "", ""},
    {"$a7CdRh", "$AA7CnRrr", "set channel range", "channel,range", "!A*"},
    {"$a8Cd", "$AA8Cn", "read channel range", "channel", "!A*"},
    {"#a", "#AA", "read all inputs", "", ""},
    {"$a3", "$AA3", "read CJC temperature", "", ""},
    {"$a9sv", "$AA9Svvvv", "set CJC offset", "sign,offset", "!A*"},
    {"$aRc", "$AARw", "read lead-wire compensation", "wire", "!A*"},
    {"$aRcsv", "$AARwSvvvv", "set lead-wire compensation", "wire,sign,value", "!A*"},
    // Alarms of the single-channel inputs.
    {"@aEA*", "@AAEAm", "set alarm mode", "mode", "!A*"},
    {"@aDA", "@AADA", "disable alarm", "", "!A*"},
    {"@aCA", "@AACA", "clear alarm latch", "", "!A*"},
    {"@aDO*", "@AADO(value)", "set digital output", "value", "!A*"},
    {"@aHI*", "@AAHI(value)", "set high alarm limit", "value", "!A*"},
    {"@aLO*", "@AALO(value)", "set low alarm limit", "value", "!A*"},
    {"@aRH", "@AARH", "read high alarm limit", "", "!A*"},
    {"@aRL", "@AARL", "read low alarm limit", "", "!A*"},
    {"@aDI", "@AADI", "read alarm and digital status", "", "!A*"},
    {"@aRE", "@AARE", "read event counter", "", "!A*"},
    {"@aCE", "@AACE", "clear event counter", "", "!A*"},
    // Strain-gauge excitation output and the analog outputs.
    {"$a7*", "$AA7(value)", "set output value", "value", "!A*"},
    {"$aS", "$AAS", "set start-up output", "", "!A*"},
    {"$aE*", "$AAE(trim)", "trim output", "trim", "!A*"},
    {"$aA", "$AAA", "read gate mode / calibrate output at 0 V", "", "!A*"},
    {"$aB", "$AAB", "read input mode / calibrate output at 10 V", "", "!A*"},
    {"#a*", "#AA(value)", "write analog output", "value", ""},
    {"$a4", "$AA4", "read filter enable / set start-up output", "", "!A*"},
    {"$a3*", "$AA3(trim)", "trim output", "trim", "!A*"},
    {"$a8", "$AA8", "read output readback / LED source", "", "!A*"},
    {"#aCd*", "#AACn(value)", "write channel output", "channel,value", ""},
    {"#aSCd*", "#AASCn(value)", "set channel start-up value", "channel,value", ""},
    {"#aECd*", "#AAECn(value)", "set channel emergency value", "channel,value", ""},
    {"$aACd*", "$AAACn(flag)", "set channel emergency input", "channel,flag", "!A*"},
    {"$a6Cd", "$AA6Cn", "read channel output", "channel", "!A*"},
    {"$aBCd", "$AABCn", "read channel emergency input", "channel", "!A*"},
    {"$aDCd", "$AADCn", "read channel start-up value", "channel", "!A*"},
    {"$aECd", "$AAECn", "read channel emergency value", "channel", "!A*"},
    {"$aI", "$AAI", "read digital inputs", "", "!A*"},
    {"$aX0v", "$AAX0vvvv", "set communication safety", "value", "!A*"},
    {"$aX1", "$AAX1", "read safe value / communication safety", "", ""},
    // Digital I/O.
    {"#a1d0d", "#AA1n0v", "set digital output", "output,value", ""},
    {"$aX0vh", "$AAX0ttttvv", "set safe value", "time,value", "!A*"},
    // Counters and the display.
    {"$aB*", "$AAB(mode)", "set input mode", "mode", "!A*"},
    {"$aAd", "$AAAn", "set gate mode", "mode", "!A*"},
    {"$a3d*", "$AA3n(value)", "set maximum count", "counter,value", "!A*"},
    {"$a3d", "$AA3n", "read maximum count", "counter", "!A*"},
    {"$a5dd", "$AA5ns", "set counter state", "counter,state", "!A*"},
    {"$a5d", "$AA5n", "read counter state", "counter", "!A*"},
    {"$a6d", "$AA6n", "clear counter", "counter", "!A*"},
    {"$a7d", "$AA7n", "read counter flag", "counter", "!A*"},
    {"#ad", "#AAn", "read counter or channel", "counter", ""},
    {"$a4*", "$AA4f", "set filter enable", "flag", "!A*"},
    {"$a0H*", "$AA0H(value)", "set minimum input width at high level", "value", "!A*"},
    {"$a0L*", "$AA0L(value)", "set minimum input width at low level", "value", "!A*"},
    {"$a1H*", "$AA1H(value)", "set high trigger level", "value", "!A*"},
    {"$a1L*", "$AA1L(value)", "set low trigger level", "value", "!A*"},
    {"$a0H", "$AA0H", "read minimum input width at high level", "", "!A*"},
    {"$a0L", "$AA0L", "read minimum input width at low level", "", "!A*"},
    {"$a1H", "$AA1H", "read high trigger level", "", "!A*"},
    {"$a1L", "$AA1L", "read low trigger level", "", "!A*"},
    {"@aEAd", "@AAEAn", "enable alarm of a counter", "counter", "!A*"},
    {"@aDAd", "@AADAn", "disable alarm of a counter", "counter", "!A*"},
    {"@aPd*", "@AAPn(value)", "set alarm value", "counter,value", "!A*"},
    {"@aPA*", "@AAPA(value)", "set low alarm limit", "value", "!A*"},
    {"@aSA*", "@AASA(value)", "set high alarm limit", "value", "!A*"},
    {"@aGd", "@AAGn", "read alarm value", "counter", "!A*"},
    {"@aRA", "@AARA", "read high alarm limit", "", "!A*"},
    {"@aRP", "@AARP", "read low alarm limit", "", "!A*"},
    {"$a8*", "$AA8s", "set LED source", "source", "!A*"},
    {"$a9*", "$AA9(data)", "write LED data", "data", "!A*"},
};

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Two hex digits naming the same address, whatever their case.
bool SameAddress(std::string_view a, std::string_view b) {
    return a.size() == 2 && b.size() == 2 && HexValue(a[0]) == HexValue(b[0]) &&
           HexValue(a[1]) == HexValue(b[1]) && HexValue(a[0]) >= 0 && HexValue(a[1]) >= 0;
}

// The text of the second 'a' placeholder (a new address), "" when the pattern has none.
std::string_view NewAddress(const char* pattern, const std::vector<std::string>& fields) {
    std::size_t field = 0;
    int addresses = 0;
    for (const char* p = pattern; *p && field < fields.size(); ++p) {
        if (!std::strchr("ahvdcs*", *p)) continue;
        if (*p == 'a' && ++addresses == 2) return fields[field];
        ++field;
    }
    return {};
}

// One reply form against a reply body (lead character up to the checksum digits or the CR).
bool FitsForm(std::string_view form, std::string_view body, std::string_view address,
              std::string_view newAddress) {
    std::size_t i = 0;
    for (char p : form) {
        switch (p) {
            case '*':
                return true;
            case 'A':
            case 'N': {
                std::string_view want = p == 'A' ? address : newAddress;
                if (i + 2 > body.size() || !SameAddress(body.substr(i, 2), want)) return false;
                i += 2;
                break;
            }
            case 'h':
                if (i + 2 > body.size() || !IsHex(body[i]) || !IsHex(body[i + 1])) return false;
                i += 2;
                break;
            default:
                if (i >= body.size() || body[i] != p) return false;
                ++i;
        }
    }
    return i == body.size();
}

bool ChecksumGood(std::string_view line) {
    if (line.size() <= 4 || line.back() != '\r') return false;
    const std::size_t n = line.size() - 3;
    if (!IsHex(line[n]) || !IsHex(line[n + 1])) return false;
    unsigned sum = 0;
    for (char c : line.substr(0, n)) sum += static_cast<unsigned char>(c);
    return static_cast<int>(sum & 0xFF) == HexValue(line[n]) * 16 + HexValue(line[n + 1]);
}

}  // namespace

std::span<const CommandForm> Table() {
    return kForms;
}

int Match(const char* pattern, std::string_view line, std::vector<std::string>& fields) {
    fields.clear();
    std::size_t i = 0;
    int fixed = 0;
    bool rest = false;
    for (const char* p = pattern; *p; ++p) {
        auto need = [&](std::size_t n, bool (*ok)(char)) {
            if (i + n > line.size()) return false;
            for (std::size_t k = 0; k < n; ++k)
                if (!ok(line[i + k])) return false;
            fields.emplace_back(line.substr(i, n));
            i += n;
            return true;
        };
        switch (*p) {
            case 'a':
            case 'h':
                if (!need(2, IsHex)) return -1;
                break;
            case 'v':
                if (!need(4, IsHex)) return -1;
                break;
            case 'd':
                if (!need(1, IsDigit)) return -1;
                break;
            case 'c':
                if (!need(1, [](char) { return true; })) return -1;
                break;
            case 's':
                if (!need(1, [](char c) { return c == '+' || c == '-'; })) return -1;
                break;
            case '*':
                if (i >= line.size()) return -1;
                fields.emplace_back(line.substr(i));
                i = line.size();
                rest = true;
                break;
            default:
                if (i >= line.size() || line[i] != *p) return -1;
                ++i;
                ++fixed;
        }
    }
    if (i != line.size()) return -1;
    return fixed + (rest ? 0 : 1000);
}

bool IsForeignReply(std::string_view command, std::string_view line, bool checksum) {
    // The command as the module reads it: no CR, no checksum digits.
    if (!command.empty() && command.back() == '\r') command.remove_suffix(1);
    if (checksum && command.size() >= 2) command.remove_suffix(2);
    if (command.size() < 3 || command[0] == '\0' || !std::strchr("$%@~", command[0]) ||
        !IsHex(command[1]) || !IsHex(command[2]))
        return false;
    if (line.size() < 2 || line.back() != '\r') return false;
    const char lead = line[0];
    if (lead != '!' && lead != '?' && lead != '>') return false;  // no reply line at all
    const std::string_view address = command.substr(1, 2);

    // The reply forms of every form the command fits (an unknown command: the address alone).
    struct Candidate {
        const char* reply;
        std::string newAddress;
    };
    std::vector<Candidate> candidates;
    std::vector<std::string> fields;
    for (const CommandForm& f : kForms) {
        if (Match(f.pattern, command, fields) < 0) continue;
        if (*f.reply == '\0') return false;
        candidates.push_back({f.reply, std::string(NewAddress(f.pattern, fields))});
    }
    if (candidates.empty()) candidates.push_back({"!A*", ""});

    const bool sumGood = !checksum || ChecksumGood(line);
    std::string_view body = line.substr(0, line.size() - 1);
    if (checksum && sumGood) body.remove_suffix(2);
    for (const Candidate& c : candidates) {
        if (lead == '>' || line.size() < 4) continue;  // carries no address
        const std::string_view at = line.substr(1, 2);
        if (!SameAddress(at, address) && !SameAddress(at, c.newAddress)) continue;
        // From the addressed module: a rejection, or a line the checksum rule fails, is its own.
        if (lead == '?' || !sumGood) return false;
        std::string_view forms = c.reply;
        for (;;) {
            const std::size_t bar = forms.find('|');
            const std::string_view form = forms.substr(0, bar);
            if (FitsForm(form, body, address, c.newAddress)) return false;
            // With the checksum off, a module that has its checksum on still answers this
            // command: its digits follow the form.
            if (!checksum && FitsForm(std::string(form) + "h", body, address, c.newAddress))
                return false;
            if (bar == std::string_view::npos) break;
            forms.remove_prefix(bar + 1);
        }
    }
    return true;
}

}  // namespace odel::forms

// The telnet session of rfc2217:// links on whatever a server may send, in chunks as they come:
// data never grows beyond what arrived, answers stay bounded, and what we encode decodes back
// to the same bytes, in binary mode and outside it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "device/Telnet.h"

namespace {

std::string Feed(odel::telnet::Session& s, const std::string& bytes) {
    std::string data, reply;
    s.Receive(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), data, reply);
    return data;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    odel::telnet::Session s;
    s.Start();
    // The first byte splits the rest into chunks of 1..16 bytes.
    const std::size_t chunk = data[0] % 16 + 1;
    std::string got;
    for (std::size_t k = 1; k < size; k += chunk) {
        const std::size_t n = std::min(chunk, size - k);
        std::string reply;
        s.Receive(data + k, n, got, reply);
        if (reply.size() > n + 2) std::abort();  // at most one answer per negotiation
        if (s.LineAnswered()) s.SetLine({9600, 8, 0, 0});
    }
    if (got.size() > size) std::abort();

    for (const bool binary : {true, false}) {
        const std::string agree = binary ? std::string("\xFF\xFD\x00\xFF\xFB\x00", 6)
                                         : std::string("\xFF\xFE\x00\xFF\xFC\x00", 6);
        odel::telnet::Session sender, receiver;
        sender.Start();
        receiver.Start();
        Feed(sender, agree);
        Feed(receiver, agree);
        std::string wire;
        sender.Encode(reinterpret_cast<const std::uint8_t*>(got.data()), got.size(), wire);
        if (Feed(receiver, wire) != got) std::abort();
    }
    return 0;
}

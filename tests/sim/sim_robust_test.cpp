// The simulator never blocks on its host: replies the host does not read are dropped after a
// bound, and a stop ends the serving thread at once.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "sim/RawLink.h"
#include "sim/SimBus.h"

namespace {

TEST(SimRobust, StopsAtOnceWhenTheHostNeverReadsItsReplies) {
    auto m = odel::sim::makeModule("7352R", 0x01);
    ASSERT_TRUE(m.has_value());
    m->firmware = std::string(200000, 'F');  // every $01F reply is far larger than the pty buffer
    odel::sim::BusDescription d;
    d.modules = {*m};
    odel::sim::SimBus bus;
    ASSERT_TRUE(bus.start(d)) << bus.error();
    {
        odel::test::RawLink host(bus.slavePath());
        ASSERT_TRUE(host.ok());
        const std::string request = "$01F\r";
        for (int i = 0; i < 5; ++i) {
            ASSERT_EQ(::write(host.fd(), request.data(), request.size()),
                      static_cast<ssize_t>(request.size()));
            usleep(20000);
        }
        usleep(300000);
        const auto start = std::chrono::steady_clock::now();
        bus.stop();
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count();
        EXPECT_LT(ms, 1000);
    }
    EXPECT_FALSE(bus.running());
}

}  // namespace

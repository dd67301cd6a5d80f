// Trace decimation: bounded points, every spike of a long sine still there.
#include "scope/Trace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace sc = odel::scope;

namespace {

bool HasPoint(const sc::Trace& t, double time, double v) {
    for (const auto& p : t.Points())
        if (p.t == time && p.v == v) return true;
    return false;
}

TEST(TraceTest, SineWithSpikesKeepsEveryExtremeWithinTheBound) {
    constexpr std::size_t kBound = 2000;
    constexpr int kSamples = 864000;  // 24 h at 10 Hz
    sc::Trace trace(kBound);
    // Spikes up and down, single samples, far apart and at odd positions.
    std::vector<std::pair<int, double>> spikes;
    for (int k = 0; k < 40; ++k) spikes.push_back({1237 + k * 21503, k % 2 ? -50.0 - k : 50.0 + k});
    std::size_t next = 0, most = 0;
    for (int i = 0; i < kSamples; ++i) {
        double v = std::sin(i * 2 * M_PI / 5000.0);
        if (next < spikes.size() && spikes[next].first == i) v = spikes[next++].second;
        if (i == 500000) v = NAN;  // one failed read
        trace.Push(i * 0.1, v);
        most = std::max(most, trace.Points().size());
    }
    EXPECT_LE(most, kBound);
    EXPECT_GT(trace.Points().size(), kBound / 2);
    for (const auto& [i, v] : spikes) EXPECT_TRUE(HasPoint(trace, i * 0.1, v)) << i;
    // Points stay in time order; the sine's own peaks survive too.
    double maxSine = -2, minSine = 2;
    for (std::size_t k = 0; k < trace.Points().size(); ++k) {
        const auto& p = trace.Points()[k];
        if (k) {
            EXPECT_LE(trace.Points()[k - 1].t, p.t);
        }
        if (std::fabs(p.v) <= 1) {
            maxSine = std::max(maxSine, p.v);
            minSine = std::min(minSine, p.v);
        }
    }
    EXPECT_GT(maxSine, 0.9999);
    EXPECT_LT(minSine, -0.9999);
    // Statistics cover every sample, not only the kept points; the gap is not a number.
    EXPECT_EQ(trace.Stats().count, static_cast<std::uint64_t>(kSamples - 1));
    EXPECT_DOUBLE_EQ(trace.Stats().max, 50.0 + 38);
    EXPECT_DOUBLE_EQ(trace.Stats().min, -50.0 - 39);
    EXPECT_NEAR(trace.Stats().mean, 0.0, 0.01);
}

TEST(TraceTest, BelowTheBoundEveryPointIsKept) {
    sc::Trace trace(100);
    for (int i = 0; i < 100; ++i) trace.Push(i, i % 7);
    ASSERT_EQ(trace.Points().size(), 100u);
    EXPECT_EQ(trace.Points()[99].v, 99 % 7);
    EXPECT_DOUBLE_EQ(trace.Stats().current, 99 % 7);
}

}  // namespace

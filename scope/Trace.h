// The points one input keeps for its chart trace: at most a fixed number, however long the run.
// When the buffer is full, each group of four points becomes its minimum and maximum, and from
// then on new samples are gathered in buckets of the same span, each kept as its minimum and
// maximum: one resolution from start to end, and every extreme stays visible.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace odel::scope {

struct TracePoint {
    double t;  // seconds
    double v;  // NaN: a failed read (a gap)
};

struct TraceStats {
    double current = std::numeric_limits<double>::quiet_NaN();
    double min = std::numeric_limits<double>::quiet_NaN();
    double max = std::numeric_limits<double>::quiet_NaN();
    double mean = std::numeric_limits<double>::quiet_NaN();
    std::uint64_t count = 0;  // numeric samples seen
};

class Trace {
  public:
    static constexpr std::size_t kDefaultBound = 20000;

    explicit Trace(std::size_t bound = kDefaultBound);

    void Push(double t, double v);
    void Clear();

    const std::vector<TracePoint>& Points() const { return points_; }
    std::size_t Bound() const { return bound_; }
    // Over every sample pushed, not only the points kept.
    const TraceStats& Stats() const { return stats_; }

    // Raw samples per bucket of two points (1: every sample is a point).
    std::size_t Span() const { return span_; }

  private:
    void Thin();

    std::size_t bound_;
    std::vector<TracePoint> points_;
    std::size_t span_ = 1;
    std::size_t pending_ = 0;  // samples in the open bucket (its two points end points_)
    TracePoint lo_{}, hi_{};   // the open bucket's extremes
    TraceStats stats_;
    double sum_ = 0;
};

}  // namespace odel::scope

#include "scope/Trace.h"

#include <cmath>

namespace odel::scope {

Trace::Trace(std::size_t bound) : bound_(bound < 16 ? 16 : bound) {
    points_.reserve(bound_);
}

void Trace::Clear() {
    points_.clear();
    stats_ = TraceStats{};
    sum_ = 0;
    span_ = 1;
    pending_ = 0;
}

namespace {
// Widens lo and hi by p; a gap (NaN) counts only while nothing else is there.
void Extremes(const TracePoint& p, TracePoint& lo, TracePoint& hi, bool first) {
    if (first) {
        lo = hi = p;
        return;
    }
    if (std::isnan(p.v)) return;
    if (std::isnan(lo.v) || p.v < lo.v) lo = p;
    if (std::isnan(hi.v) || p.v > hi.v) hi = p;
}
}  // namespace

void Trace::Push(double t, double v) {
    if (!std::isnan(v)) {
        if (stats_.count == 0 || v < stats_.min) stats_.min = v;
        if (stats_.count == 0 || v > stats_.max) stats_.max = v;
        ++stats_.count;
        sum_ += v;
        stats_.mean = sum_ / static_cast<double>(stats_.count);
    }
    stats_.current = v;
    const TracePoint p{t, v};
    if (span_ == 1) {
        if (points_.size() + 1 > bound_) Thin();
    }
    if (span_ == 1) {
        points_.push_back(p);
        return;
    }
    // The open bucket is shown as it fills: its two points are rewritten with each sample.
    if (pending_ == 0) {
        if (points_.size() + 2 > bound_) Thin();
        points_.push_back(p);
        points_.push_back(p);
    }
    Extremes(p, lo_, hi_, pending_ == 0);
    const bool loFirst = lo_.t <= hi_.t;
    points_[points_.size() - 2] = loFirst ? lo_ : hi_;
    points_[points_.size() - 1] = loFirst ? hi_ : lo_;
    if (++pending_ == span_) pending_ = 0;
}

// Groups of four points become their minimum and maximum in time order (a group without a
// number: its first and last point, both gaps). A trailing partial group stays as it is.
void Trace::Thin() {
    const std::size_t whole = points_.size() / 4 * 4;
    std::size_t out = 0;
    for (std::size_t g = 0; g < whole; g += 4) {
        TracePoint lo{}, hi{};
        for (std::size_t i = g; i < g + 4; ++i) Extremes(points_[i], lo, hi, i == g);
        if (std::isnan(lo.v)) {
            lo = points_[g];
            hi = points_[g + 3];
        }
        const bool loFirst = lo.t <= hi.t;
        points_[out++] = loFirst ? lo : hi;
        points_[out++] = loFirst ? hi : lo;
    }
    for (std::size_t i = whole; i < points_.size(); ++i) points_[out++] = points_[i];
    points_.resize(out);
    span_ = span_ == 1 ? 4 : span_ * 2;
    pending_ = 0;
}

}  // namespace odel::scope

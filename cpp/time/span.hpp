#pragma once
// A half-open stretch of UTC time [start, end): the interval a search scans, a
// window it finds, and the Interval of the Python module.
#include "time/duration.hpp"
#include "time/instant.hpp"

namespace orbweave::time {

struct Span {
    Instant start;
    Instant end;

    bool operator==(const Span&) const = default;
    Duration duration() const { return end - start; }
    // start + (end - start) / 2, halved toward zero at the nanosecond.
    Instant mid_point() const { return start + duration().half(); }
};

}  // namespace orbweave::time

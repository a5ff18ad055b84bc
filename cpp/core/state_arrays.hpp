#pragma once
// States of many (satellite, time) lanes written straight into caller-provided
// buffers: the array form of the evaluation step, for hosts that hold times and
// states as arrays. An expected propagation failure is never thrown: each lane
// records an error code, and a failed lane's state is NaN.
#include <cstdint>
#include <span>

#include "core/predictor.hpp"
#include "time/instant.hpp"

namespace orbweave {

// The outcome of one lane. The propagation kinds take the codes that the published
// reference implementation gives the same conditions; the others follow its six.
enum class LaneError : int32_t {
    None = 0,
    OutOfRangeEccentricity = 1,           // secular eccentricity
    OutOfRangePerturbedEccentricity = 3,  // after the lunar-solar periodics
    NegativeSemiLatusRectum = 4,
    NonFiniteState = 7,
    InvalidTime = 8,  // no time (NaT, NaN) or one outside the range of instants
};

LaneError lane_error(sgp4::Sgp4PropagationError::Kind kind);

// A clock of whole ticks since 1970-01-01 00:00:00 UTC (a datetime64 unit): one
// tick is `numerator` / `denominator` nanoseconds, both at least 1.
struct TickUnit {
    int64_t numerator = 1;
    int64_t denominator = 1;
};

// The tick count that stands for no time (datetime64's NaT).
inline constexpr int64_t kNoTicks = INT64_MIN;

// The propagator's time argument (whole milliseconds since `epoch`, toward zero,
// over 60000), exactly as the evaluation step forms it for an instant, from a time
// in ticks. A time between two nanoseconds is first rounded to the nanosecond
// toward the epoch, which leaves the whole milliseconds exact. NaN for no time and
// for a time outside the range of instants.
double minutes_since_epoch(int64_t ticks, TickUnit unit, time::Instant epoch);

// The same from float seconds since the epoch, rounded to the nearest
// nanosecond. NaN when `seconds` is not finite or lies beyond +-2^63 ns.
double minutes_since_epoch(double seconds);

// Lane outputs, in lane order: three position components (metres), three velocity
// components (metres per second), TEME, and one error code per lane.
struct LaneOutputs {
    std::span<double> positions;
    std::span<double> velocities;
    std::span<int32_t> errors;
};

// The one routine that propagates arrays: lane i is `satellites[i]` (or the only
// satellite, for every lane) at `minutes[i]` since its epoch. A NaN time is
// `InvalidTime`. Near-earth lanes go to the batched kernel in use
// (sgp4::batch::active_kernel()), whose states agree with Predictor::propagate's
// to within a micrometre and a micrometre per second with the same error codes;
// the other lanes, and all of them under Kernel::Scalar, equal
// Predictor::propagate's bit for bit. Buffers whose sizes do not fit the lanes
// are an internal fault.
void propagate_lanes(std::span<const Predictor* const> satellites, std::span<const double> minutes,
                     LaneOutputs out);

}  // namespace orbweave

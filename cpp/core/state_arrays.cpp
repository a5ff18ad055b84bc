#include "core/state_arrays.hpp"

#include <cmath>
#include <limits>
#include <optional>

#include "sgp4/batch/batch.hpp"
#include "util/panic.hpp"

namespace orbweave {

namespace {

// Wide enough for any int64 tick count times any int64 numerator.
__extension__ typedef __int128 Nanos;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr Nanos kNanosPerDay = static_cast<Nanos>(time::kSecondsPerDay) * time::kNanosPerSecond;

Nanos floor_div(Nanos a, Nanos b) {
    const Nanos q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// The instant `ns` nanoseconds after 1970, when it lies in the instant range.
std::optional<time::Instant> instant_from_unix_nanos(Nanos ns) {
    const Nanos days = floor_div(ns, kNanosPerDay);
    if (days < time::kMinDay || days > time::kMaxDay) return std::nullopt;
    const Nanos of_day = ns - days * kNanosPerDay;
    return time::Instant::from_day_parts(static_cast<int64_t>(days),
                                         static_cast<uint32_t>(of_day / time::kNanosPerSecond),
                                         static_cast<uint32_t>(of_day % time::kNanosPerSecond));
}

void write_lane(LaneOutputs out, size_t lane, const StateVector& state, LaneError error) {
    const Vec3& r = state.position;
    const Vec3& v = state.velocity;
    double* position = &out.positions[3 * lane];
    double* velocity = &out.velocities[3 * lane];
    position[0] = r.x, position[1] = r.y, position[2] = r.z;
    velocity[0] = v.x, velocity[1] = v.y, velocity[2] = v.z;
    out.errors[lane] = static_cast<int32_t>(error);
}

void fail_lane(LaneOutputs out, size_t lane, LaneError error) {
    write_lane(out, lane, {{kNaN, kNaN, kNaN}, {kNaN, kNaN, kNaN}}, error);
}

// Nanoseconds since 1970 of an epoch that is not a leap second, when they fit.
std::optional<int64_t> unix_nanos(time::Instant epoch) {
    int64_t seconds, nanos;
    if (epoch.is_leap_second() ||
        __builtin_mul_overflow(epoch.days_since_1970(), time::kSecondsPerDay, &seconds) ||
        __builtin_mul_overflow(seconds + epoch.second_of_day(), time::kNanosPerSecond, &nanos))
        return std::nullopt;
    return nanos + epoch.nanosecond();
}

// The common case of minutes_since_epoch in int64 arithmetic: whole ticks of a
// nanosecond or more whose time, and its distance from the epoch, fit int64
// nanoseconds (about 292 years either side of 1970). With no leap second at the
// epoch, the difference of two instants is the difference of their counts.
std::optional<double> minutes_in_int64(int64_t ticks, TickUnit unit, time::Instant epoch) {
    int64_t ns, since;
    if (unit.denominator != 1 || __builtin_mul_overflow(ticks, unit.numerator, &ns)) return std::nullopt;
    const auto epoch_ns = unix_nanos(epoch);
    if (!epoch_ns || __builtin_sub_overflow(ns, *epoch_ns, &since)) return std::nullopt;
    return static_cast<double>(since / 1'000'000) / 60000.0;
}

}  // namespace

LaneError lane_error(sgp4::Sgp4PropagationError::Kind kind) {
    using Kind = sgp4::Sgp4PropagationError::Kind;
    switch (kind) {
        case Kind::OutOfRangeEccentricity: return LaneError::OutOfRangeEccentricity;
        case Kind::OutOfRangePerturbedEccentricity: return LaneError::OutOfRangePerturbedEccentricity;
        case Kind::NegativeSemiLatusRectum: return LaneError::NegativeSemiLatusRectum;
        case Kind::NonFiniteState: return LaneError::NonFiniteState;
    }
    panic("unknown propagation error kind");
}

double minutes_since_epoch(int64_t ticks, TickUnit unit, time::Instant epoch) {
    if (unit.numerator < 1 || unit.denominator < 1) panic("a tick unit below 1");
    if (ticks == kNoTicks) return kNaN;
    if (const auto minutes = minutes_in_int64(ticks, unit, epoch)) return *minutes;
    const Nanos scaled = static_cast<Nanos>(ticks) * unit.numerator;
    const Nanos ns = floor_div(scaled, unit.denominator);
    auto t = instant_from_unix_nanos(ns);
    if (!t) return kNaN;
    // A remainder below the nanosecond moves a time before the epoch one nanosecond
    // up, toward it, so the truncation toward zero sees what the exact time gives.
    if (ns * unit.denominator != scaled && *t < epoch) {
        t = t->checked_add(time::Duration::nanoseconds(1));
        if (!t) return kNaN;
    }
    return time::minutes_since(*t, epoch);
}

double minutes_since_epoch(double seconds) {
    constexpr double kLimit = 9223372036854775808.0;  // 2^63
    const double ns = std::nearbyint(seconds * 1e9);
    if (!(std::fabs(ns) < kLimit)) return kNaN;
    const auto since_epoch = time::Duration::nanoseconds(static_cast<int64_t>(ns));
    return static_cast<double>(since_epoch.whole_milliseconds()) / 60000.0;
}

namespace {

// One lane by the scalar engine.
void propagate_scalar_lane(const Predictor& satellite, double minutes, sgp4::ResonanceCheckpoint* checkpoint,
                           LaneOutputs out, size_t lane) {
    const auto state = satellite.propagate_minutes(minutes, checkpoint);
    if (state)
        write_lane(out, lane, *state, LaneError::None);
    else
        fail_lane(out, lane, lane_error(std::get<CoreError::Sgp4>(state.error().kind).error.kind));
}

// Near-earth lanes gathered into blocks for a vector kernel. A block keeps the
// constants it last loaded into each slot, so one satellite's constants are
// transposed once and then reused for all its times.
class LaneBatcher {
public:
    LaneBatcher(sgp4::batch::Kernel kernel, LaneOutputs out) : kernel_(kernel), out_(out) {}

    void add(const Predictor& satellite, double minutes, size_t lane) {
        if (loaded_[count_] != &satellite) {
            sgp4::batch::load_lane(block_, count_, satellite.constants());
            loaded_[count_] = &satellite;
        }
        minutes_[count_] = minutes;
        lanes_[count_] = lane;
        if (++count_ == sgp4::batch::kMaxLanes) flush();
    }

    // Propagates the lanes gathered so far; lanes the kernel hands back go to the
    // scalar engine.
    void flush() {
        if (count_ == 0) return;
        if (count_ < sgp4::batch::kMaxLanes) {
            sgp4::batch::repeat_lane(block_, count_ - 1);
            for (int slot = count_; slot < sgp4::batch::kMaxLanes; ++slot) {
                minutes_[slot] = minutes_[count_ - 1];
                loaded_[slot] = loaded_[count_ - 1];
            }
        }
        sgp4::batch::propagate(kernel_, block_, minutes_, count_, states_);
        for (int slot = 0; slot < count_; ++slot) {
            if (states_.needs_scalar[slot]) {
                propagate_scalar_lane(*loaded_[slot], minutes_[slot], nullptr, out_, lanes_[slot]);
                continue;
            }
            constexpr double m = 1000.0;  // per kilometre
            const StateVector state{{states_.x[slot] * m, states_.y[slot] * m, states_.z[slot] * m},
                                    {states_.vx[slot] * m, states_.vy[slot] * m, states_.vz[slot] * m}};
            write_lane(out_, lanes_[slot], state, LaneError::None);
        }
        count_ = 0;
    }

private:
    sgp4::batch::Kernel kernel_;
    LaneOutputs out_;
    sgp4::batch::LaneBlock block_;
    sgp4::batch::BlockStates states_;
    double minutes_[sgp4::batch::kMaxLanes] = {};
    size_t lanes_[sgp4::batch::kMaxLanes] = {};
    const Predictor* loaded_[sgp4::batch::kMaxLanes] = {};
    int count_ = 0;
};

}  // namespace

void propagate_lanes(std::span<const Predictor* const> satellites, std::span<const double> minutes,
                     LaneOutputs out) {
    const size_t lanes = minutes.size();
    const bool one_satellite = satellites.size() == 1;
    if (!(one_satellite || satellites.size() == lanes) || out.positions.size() != 3 * lanes ||
        out.velocities.size() != 3 * lanes || out.errors.size() != lanes)
        panic("lane buffers of mismatched sizes");
    const sgp4::batch::Kernel kernel = sgp4::batch::active_kernel();
    LaneBatcher batcher(kernel, out);
    // One satellite's times mostly increase: its resonance integration resumes from
    // the previous lane, with results equal to a fresh one.
    sgp4::ResonanceCheckpoint checkpoint;
    for (size_t lane = 0; lane < lanes; ++lane) {
        if (std::isnan(minutes[lane])) {
            fail_lane(out, lane, LaneError::InvalidTime);
            continue;
        }
        const Predictor& satellite = *satellites[one_satellite ? 0 : lane];
        if (kernel != sgp4::batch::Kernel::Scalar && sgp4::batch::batchable(satellite.constants()))
            batcher.add(satellite, minutes[lane], lane);
        else
            propagate_scalar_lane(satellite, minutes[lane], one_satellite ? &checkpoint : nullptr, out, lane);
    }
    batcher.flush();
}

}  // namespace orbweave

#pragma once
// How the coarse scan advances from one sample to the next. A step rule looks at
// the cursor and at the last negative sample (when there is one) and returns the
// length of the next step.
#include <algorithm>
#include <concepts>
#include <cstdint>
#include <expected>
#include <limits>
#include <optional>

#include "detect/root_finder.hpp"
#include "time/duration.hpp"
#include "time/instant.hpp"

namespace orbweave::detect {

inline constexpr time::Duration kOneSecond = time::Duration::seconds(1);

// A step knob at or below its floor becomes exactly the floor (one second for the
// scan and walk steps), so that a search always moves on.
constexpr time::Duration floored(time::Duration step, time::Duration floor = kOneSecond) {
    return step <= floor ? floor : step;
}

// A step that is zero or negative would never move the scan on; it becomes one
// second, as in the fixed-step sampler.
inline time::Duration advancing_step(time::Duration step) { return step.is_positive() ? step : kOneSecond; }

// What the scan learns from one sample: the cost and, when the cost function can
// tell, how long the cost is certain to stay negative after it.
struct ScanSample {
    CostSample cost;
    // Seconds after the sample during which the cost cannot reach zero: a proven
    // lower bound, NaN when the cost function cannot bound it at this sample, and
    // absent when the cost function offers no bounds at all.
    std::optional<double> negative_for;
};

// A cost function that bounds the time to its next crossing offers
// `scan(t, horizon) -> std::expected<ScanSample, CoreError>` beside its plain
// call; the scan uses it, the walk and the root finder keep the plain call.
// `horizon` is the longest step the scan would take (seconds): a bound of at least
// that much may be reported as any value from it up, to save work.
template <class F>
concept BoundedCost = CostFunction<F> && requires(const F& f, time::Instant t, double horizon) {
    { f.scan(t, horizon) } -> std::same_as<std::expected<ScanSample, CoreError>>;
};

// A sample without a bound.
template <CostFunction Cost>
std::expected<ScanSample, CoreError> plain_sample(Cost& cost, time::Instant t) {
    auto sample = evaluate(cost, t);
    if (!sample) return std::unexpected(std::move(sample.error()));
    return ScanSample{*sample, std::nullopt};
}

template <CostFunction Cost>
std::expected<ScanSample, CoreError> scan_sample(Cost& cost, time::Instant t, double horizon) {
    if constexpr (BoundedCost<Cost>) {
        if (cancel::requested()) [[unlikely]]
            return cancelled();
        return cost.scan(t, horizon);
    } else
        return plain_sample(cost, t);
}

// A sample of the cost function outside every window, with its instant.
struct LastSample {
    time::Instant t;
    ScanSample sample;
};

// A step rule also tells the longest step it takes from a bound (seconds), the
// horizon beyond which a cost function need not refine its bound.
template <class R>
concept StepRule = std::copy_constructible<R> &&
                   requires(const R& r, time::Instant cursor, const std::optional<LastSample>& last) {
                       { r.next_step(cursor, last) } -> std::same_as<time::Duration>;
                       { r.horizon() } -> std::same_as<double>;
                   };

// The same step everywhere.
struct FixedStep {
    time::Duration step = time::Duration::seconds(60);

    time::Duration next_step(time::Instant, const std::optional<LastSample>&) const { return step; }
    double horizon() const { return 0.0; }  // bounds play no part
};

// Long steps far from a window, short ones near it, and never a step over one: the
// step is the time the cost function guarantees the cost stays negative after the
// last negative sample, truncated to whole milliseconds, at least min_step and at
// most the larger of the two bounds. A sample that the cost function cannot bound
// (NaN) takes min_step; without a sample at the cursor, or from a cost function
// that offers no bounds, the step is the upper bound. So every window that stays
// open for longer than min_step is sampled.
struct AdaptiveStep {
    time::Duration min_step = time::Duration::seconds(10);
    time::Duration max_step = time::Duration::seconds(600);

    time::Duration upper() const { return std::max(min_step, max_step); }
    double horizon() const { return upper().as_seconds_f64(); }

    time::Duration next_step(time::Instant cursor, const std::optional<LastSample>& last) const {
        const time::Duration upper = this->upper();
        if (!last || last->t != cursor || !last->sample.negative_for) return upper;
        const int64_t upper_ms = std::max<int64_t>(upper.whole_milliseconds(), 0);
        const double bound_ms = *last->sample.negative_for * 1000.0;
        int64_t step_ms = 0;  // NaN fails both tests
        if (bound_ms >= static_cast<double>(upper_ms))
            step_ms = upper_ms;
        else if (bound_ms > 0.0)
            step_ms = static_cast<int64_t>(bound_ms);
        return std::max(time::Duration::milliseconds(step_ms), min_step);
    }
};

// A rule supplied by a search as a callable `Duration(Instant cursor, const
// std::optional<LastSample>& last)`.
template <class F>
    requires std::copy_constructible<F>
struct CustomStep {
    F rule;

    time::Duration next_step(time::Instant cursor, const std::optional<LastSample>& last) const {
        return rule(cursor, last);
    }
    double horizon() const { return std::numeric_limits<double>::infinity(); }
};

template <class F>
CustomStep(F) -> CustomStep<F>;

}  // namespace orbweave::detect

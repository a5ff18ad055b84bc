#pragma once
// How the coarse scan advances from one sample to the next. A step rule looks at
// the cursor and at the last negative sample (when there is one) and returns the
// length of the next step.
#include <algorithm>
#include <cmath>
#include <concepts>
#include <optional>

#include "detect/root_finder.hpp"
#include "time/duration.hpp"
#include "time/instant.hpp"

namespace orbweave::detect {

// A step that is zero or negative would never move the scan on; it becomes one
// second, as in the fixed-step sampler.
inline time::Duration advancing_step(time::Duration step) {
    return step.is_positive() ? step : time::Duration::seconds(1);
}

// A sample of the cost function outside every window, with its instant.
struct LastSample {
    time::Instant t;
    CostSample sample;
};

template <class R>
concept StepRule = std::copy_constructible<R> &&
                   requires(const R& r, time::Instant cursor, const std::optional<LastSample>& last) {
                       { r.next_step(cursor, last) } -> std::same_as<time::Duration>;
                   };

// The same step everywhere.
struct FixedStep {
    time::Duration step = time::Duration::seconds(60);

    time::Duration next_step(time::Instant, const std::optional<LastSample>&) const { return step; }
};

// Long steps far from a window, shorter ones as the cost climbs towards zero: the
// step is the time the last negative sample's derivative predicts until the
// crossing, kept between min_step and the larger of the two bounds.
struct AdaptiveStep {
    time::Duration min_step = time::Duration::seconds(10);
    time::Duration max_step = time::Duration::seconds(600);

    time::Duration next_step(time::Instant cursor, const std::optional<LastSample>& last) const {
        const time::Duration upper = std::max(min_step, max_step);
        if (!last || last->t != cursor || !last->sample.derivative || !(*last->sample.derivative > 0.0))
            return upper;
        const double upper_seconds = static_cast<double>(upper.truncated_seconds());
        const double predicted = -last->sample.value / *last->sample.derivative;
        // std::clamp keeps NaN; a NaN prediction counts as no time at all.
        const double limited = std::isnan(predicted) ? 0.0 : std::clamp(predicted, 0.0, std::max(upper_seconds, 0.0));
        return std::max(time::Duration::seconds(static_cast<int64_t>(limited)), min_step);
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
};

template <class F>
CustomStep(F) -> CustomStep<F>;

}  // namespace orbweave::detect

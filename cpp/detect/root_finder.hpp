#pragma once
// The bracketed hybrid root finder: Newton steps when the cost function supplies a
// derivative, secant steps otherwise, and bisection whenever the faster step would
// leave the bracket or one end of the bracket has stalled. Time is float seconds
// since 1970-01-01T00:00:00 UTC; every evaluation goes through an instant.
#include <algorithm>
#include <cmath>
#include <concepts>
#include <expected>
#include <memory>
#include <optional>

#include "core/core_error.hpp"
#include "core/refinement.hpp"
#include "detect/cost.hpp"
#include "time/instant.hpp"

namespace orbweave::detect {

namespace root_detail {

enum class Side { None, Lo, Hi };

inline RootError failed(const Refinement& settings, double lo, double hi, double last_value) {
    return RootError{RootError::FailedToConverge{settings.max_iter, settings.time_tolerance, (lo + hi) / 2.0,
                                                 std::abs(last_value)}};
}

// The next point to try: Newton from the last evaluation, else secant, else the
// midpoint; after two moves of the same end, always the midpoint.
inline double candidate(double lo, double hi, double f_lo, double f_hi, const TimedSample& last, int streak) {
    double x = (lo + hi) / 2.0;
    if (streak >= 2) return x;
    if (last.sample.derivative) {
        const double newton = last.t - last.sample.value / *last.sample.derivative;
        if (newton > lo && newton < hi) return newton;
    }
    const double secant = (f_hi * lo - hi * f_lo) / (f_hi - f_lo);
    if (secant > lo && secant < hi) x = secant;
    return x;
}

// Evaluates the cost at float seconds; a failure becomes the Roots error, a stop
// asked for by the host stays what it is.
template <class F>
auto evaluator(F& cost) {
    return [&cost](double t) -> std::expected<CostSample, CoreError> {
        auto sample = evaluate(cost, time::Instant::from_unix_seconds_f64(t));
        if (!sample && !sample.error().is_cancelled())
            return std::unexpected(CoreError{CoreError::Roots{
                RootError{RootError::CostFn{std::make_shared<const CoreError>(std::move(sample.error()))}}}});
        return sample;
    };
}

// The hybrid iteration from two evaluated ends.
template <class Evaluate>
std::expected<double, CoreError> solve_from(const TimedSample& from_a, const TimedSample& from_b,
                                            const Refinement& settings, Evaluate& evaluate) {
    const double a = from_a.t, b = from_b.t;
    const double f_a = from_a.sample.value, f_b = from_b.sample.value;
    if (f_a == 0.0) return a;
    if (f_b == 0.0) return b;
    if ((f_a > 0.0) == (f_b > 0.0))
        return std::unexpected(CoreError{CoreError::Roots{RootError{RootError::Unbracketed{}}}});

    double lo = a < b ? a : b, hi = a < b ? b : a;
    double f_lo = a < b ? f_a : f_b, f_hi = a < b ? f_b : f_a;
    TimedSample last = from_b;
    uint64_t remaining = settings.max_iter;
    int streak = 0;
    Side last_side = Side::None;
    if (remaining == 0) return std::unexpected(CoreError{CoreError::Roots{failed(settings, lo, hi, last.sample.value)}});
    const double tolerance = settings.time_tolerance;
    while (true) {
        if (hi - lo < tolerance) return std::abs(f_hi) < std::abs(f_lo) ? hi : lo;
        double x = candidate(lo, hi, f_lo, f_hi, last, streak);
        x = std::min(std::max(x, lo + tolerance / 2.0), hi - tolerance / 2.0);
        const auto sample = evaluate(x);
        if (!sample) return std::unexpected(sample.error());
        if (sample->value == 0.0) return x;
        last = {x, *sample};
        const bool same_as_lo = (f_lo <= 0.0) != (sample->value > 0.0);
        const Side moved = same_as_lo ? Side::Lo : Side::Hi;
        if (same_as_lo) {
            lo = x;
            f_lo = sample->value;
        } else {
            hi = x;
            f_hi = sample->value;
        }
        streak = (last_side == Side::None || moved != last_side) ? 0 : streak + 1;
        last_side = moved;
        if (--remaining == 0)
            return std::unexpected(CoreError{CoreError::Roots{failed(settings, lo, hi, sample->value)}});
    }
}

}  // namespace root_detail

// Finds the crossing between a and b (either order), whose samples the caller
// already holds: a scan or a walk hands over the two samples that bracket the
// crossing instead of paying for them again. Errors: RootError inside the core
// error's Roots variant.
template <CostFunction F>
std::expected<double, CoreError> solve(const TimedSample& a, const TimedSample& b, const Refinement& settings,
                                       F&& cost) {
    auto evaluate = root_detail::evaluator(cost);
    return root_detail::solve_from(a, b, settings, evaluate);
}

// Finds the crossing between a and b (either order), evaluating both ends first.
template <CostFunction F>
std::expected<double, CoreError> solve(double a, double b, const Refinement& settings, F&& cost) {
    auto evaluate = root_detail::evaluator(cost);
    const auto at_a = evaluate(a);
    if (!at_a) return std::unexpected(at_a.error());
    if (at_a->value == 0.0) return a;
    const auto at_b = evaluate(b);
    if (!at_b) return std::unexpected(at_b.error());
    return root_detail::solve_from({a, *at_a}, {b, *at_b}, settings, evaluate);
}

}  // namespace orbweave::detect

#pragma once
// Walking through a window: from a sample inside it, step outwards at a fixed pace
// until the cost turns negative, then refine the crossing with the root finder.
// Detect-at runs one walk backward and one forward and so finds the whole window.
#include <expected>
#include <limits>
#include <optional>
#include <string_view>

#include "core/core_error.hpp"
#include "core/refinement.hpp"
#include "detect/root_finder.hpp"
#include "detect/step_policy.hpp"
#include "time/duration.hpp"
#include "time/instant.hpp"
#include "time/span.hpp"

namespace orbweave::detect {

enum class WindowKind { Positive, Gap };

// A stretch inside a window (cost not negative) or a gap between two windows.
struct Window : time::Span {
    WindowKind kind = WindowKind::Positive;

    bool operator==(const Window&) const = default;
};

// Where a walk from `from` with `step` gives up: `from + span`. None when that lies
// beyond the range of instants in the walking direction (the walk can never reach
// it); a limit beyond the range behind the walk is reached at the first step.
std::optional<time::Instant> walk_limit(time::Instant from, time::Duration span, time::Duration step);

// The error for a step that leaves the representable range of instants:
// CoreError::Custom "instant arithmetic out of range: <from> + <by>".
CoreError out_of_range_error(time::Instant from, time::Duration by);

// CoreError::Interval "<name> requires an interval — call .interval(start..end)".
CoreError missing_interval_error(std::string_view iterator_name);

inline double unix_seconds(time::Instant t) { return t.to_unix_seconds_f64(); }

struct WalkSpec {
    time::Instant from;
    CostSample at_from;                  // the cost at `from`, which the caller holds
    time::Duration step;                 // signed: negative walks backward
    std::optional<time::Instant> limit;  // reaching it fails with WindowTooLong
    std::optional<time::Instant> bound;  // reaching it ends the walk there
    time::Instant at;                    // for the error: where the detection started
    time::Duration max_window_duration;  // for the error
    // When set, samples are taken as scan samples with this horizon, so that the
    // first negative one carries its bound and the scan can resume from it.
    std::optional<double> scan_horizon = std::nullopt;
};

struct WalkEnd {
    time::Instant crossing;        // the refined crossing, or the bound
    time::Instant first_negative;  // the first negative sample, or the bound
    ScanSample at_first_negative;  // the sample there
};

namespace walk_detail {

inline bool reached(time::Instant cur, time::Instant mark, bool forward) { return forward ? cur >= mark : cur <= mark; }

// A window's edge lies between a sample inside (not below zero) and one below
// zero. To the solver an exact zero inside is the smallest positive value, so that
// it finds where the cost turns negative instead of stopping at an inner end that
// happens to be zero (the cost may rise again past it).
inline CostSample inside_positive(CostSample sample) {
    if (sample.value == 0.0) sample.value = std::numeric_limits<double>::denorm_min();
    return sample;
}

template <class Cost>
struct InsidePositive {
    Cost& cost;
    std::expected<CostSample, CoreError> operator()(time::Instant t) const {
        auto sample = cost(t);
        if (sample) *sample = inside_positive(*sample);
        return sample;
    }
};

}  // namespace walk_detail

template <CostFunction Cost>
std::expected<WalkEnd, CoreError> walk(const WalkSpec& spec, const Refinement& refinement, Cost& cost) {
    using walk_detail::reached;
    const bool forward = spec.step.is_positive();
    time::Instant prev = spec.from;
    CostSample prev_sample = spec.at_from;
    while (true) {
        // A step past the end of the instant range has passed any bound and limit.
        const std::optional<time::Instant> advanced = prev.checked_add(spec.step);
        const bool at_bound = spec.bound && (!advanced || reached(*advanced, *spec.bound, forward));
        if (!at_bound && spec.limit && (!advanced || reached(*advanced, *spec.limit, forward)))
            return std::unexpected(CoreError{CoreError::Detect{
                DetectError{DetectError::WindowTooLong{spec.at, spec.max_window_duration}}}});
        if (!at_bound && !advanced) return std::unexpected(out_of_range_error(prev, spec.step));
        const time::Instant cur = at_bound ? *spec.bound : *advanced;
        auto scanned = spec.scan_horizon ? scan_sample(cost, cur, *spec.scan_horizon) : plain_sample(cost, cur);
        if (!scanned) return std::unexpected(std::move(scanned.error()));
        const CostSample* sample = &scanned->cost;
        if (sample->value < 0.0) {
            // The two samples that bracket the crossing go to the solver as they are.
            const auto root = solve(TimedSample{unix_seconds(prev), walk_detail::inside_positive(prev_sample)},
                                    TimedSample{unix_seconds(cur), *sample}, refinement,
                                    walk_detail::InsidePositive<Cost>{cost});
            if (!root) return std::unexpected(root.error());
            return WalkEnd{time::Instant::from_unix_seconds_f64(*root), cur, *scanned};
        }
        if (at_bound) return WalkEnd{cur, cur, *scanned};
        prev = cur;
        prev_sample = *sample;
    }
}

struct DetectBounds {
    std::optional<time::Instant> start;
    std::optional<time::Instant> end;
};

struct DetectedWindow {
    Window window;
    time::Instant resume;   // the forward walk's first negative sample (or its bound)
    ScanSample at_resume;  // the sample there
};

// The window around `t`, where the cost (`at_t`) is known not to be negative. Both
// walks stop at the given bounds; a window that reaches more than
// max_window_duration before `t`, or lasts longer than that from its refined
// start, is an error.
template <CostFunction Cost>
std::expected<DetectedWindow, CoreError> detect_at(time::Instant t, const CostSample& at_t, Cost& cost,
                                                   time::Duration walk_step, time::Duration max_window_duration,
                                                   const Refinement& refinement, const DetectBounds& bounds = {},
                                                   std::optional<double> resume_horizon = std::nullopt) {
    const time::Duration step = floored(walk_step);
    const auto start = walk(
        {t, at_t, -step, walk_limit(t, -max_window_duration, -step), bounds.start, t, max_window_duration},
        refinement, cost);
    if (!start) return std::unexpected(start.error());
    const time::Instant window_start = start->crossing;
    const auto end = walk(
        {t, at_t, step, walk_limit(window_start, max_window_duration, step), bounds.end, t, max_window_duration,
         resume_horizon},
        refinement, cost);
    if (!end) return std::unexpected(end.error());
    return DetectedWindow{{{window_start, end->crossing}, WindowKind::Positive}, end->first_negative,
                          end->at_first_negative};
}

// The window containing `t`, or none when the cost is negative at `t`.
template <CostFunction Cost>
std::expected<std::optional<Window>, CoreError> detect_window_at(time::Instant t, Cost cost, time::Duration walk_step,
                                                                 time::Duration max_window_duration,
                                                                 const Refinement& refinement) {
    const auto sample = evaluate(cost, t);
    if (!sample) return std::unexpected(sample.error());
    if (sample->value < 0.0) return std::optional<Window>();
    const auto found = detect_at(t, *sample, cost, walk_step, max_window_duration, refinement);
    if (!found) return std::unexpected(found.error());
    return std::optional<Window>(found->window);
}

}  // namespace orbweave::detect

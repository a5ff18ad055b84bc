#pragma once
// The window search: a coarse scan of the cost function over [start, end) that
// stops at the first sample not below zero, walks backward and forward to the
// window's crossings, and resumes after it. In gap mode the negative stretches
// between windows are yielded too, so that the items tile the interval.
#include <algorithm>
#include <cmath>
#include <expected>
#include <optional>
#include <utility>

#include "core/core_error.hpp"
#include "core/refinement.hpp"
#include "detect/root_finder.hpp"
#include "detect/step_policy.hpp"
#include "detect/walk.hpp"
#include "time/duration.hpp"
#include "time/instant.hpp"

namespace orbweave::detect {

// The knobs of one window search, with the engine's own defaults.
template <StepRule Step = FixedStep>
struct WindowConfig {
    Step step_policy{};
    Refinement refinement{};
    time::Duration walk_step = time::Duration::seconds(30);
    time::Duration max_window_duration = time::Duration::seconds(3600);
    bool report_gaps = false;           // also yield the gaps between windows
    bool skip_leading_partial = true;   // drop a window already open at the start
    bool clamp_to_interval = false;     // cut windows at the interval's ends
    std::optional<time::Span> interval;
};

template <CostFunction Cost, StepRule Step = FixedStep>
class WindowIter {
public:
    class Builder {
    public:
        Builder(WindowConfig<Step> config, Cost cost) : config_(std::move(config)), cost_(std::move(cost)) {}
        Builder& interval(time::Instant start, time::Instant end) {
            config_.interval = time::Span{start, end};
            return *this;
        }
        std::expected<WindowIter, CoreError> build() const {
            if (!config_.interval) return std::unexpected(missing_interval_error("WindowIter"));
            return WindowIter(config_, cost_);
        }

    private:
        WindowConfig<Step> config_;
        Cost cost_;
    };

    // The next window or gap, none once the interval is exhausted, or an error. After
    // an error during the scan the next call continues after the failed sample; an
    // error at the interval end ends the search. A call that the host stopped
    // leaves the search as it was, so the next call does the same work again.
    std::expected<std::optional<Window>, CoreError> next() { return undone_if_cancelled(state_, [this] { return step(); }); }

private:
    enum class Phase { Scanning, Finishing, Done };
    using Item = std::expected<std::optional<Window>, CoreError>;

    Item step() {
        if (state_.phase == Phase::Done) return std::optional<Window>();
        if (state_.phase == Phase::Finishing) return finish();
        while (true) {
            const std::optional<time::Instant> t = next_instant();
            if (!t || *t >= interval().end) {
                state_.phase = Phase::Finishing;
                return finish();
            }
            state_.cursor = *t;
            if (state_.pending) return take_pending();
            auto sample = sample_at(*t);
            if (!sample) return std::unexpected(std::move(sample.error()));
            if (sample->cost.value < 0.0) {
                if (!state_.last_end) state_.last_end = *t;
                state_.last_sample = LastSample{*t, *sample};
                keep_promise(sample->negative_for);
                continue;
            }
            state_.promised = 0.0;
            if (!state_.last_end && config_.skip_leading_partial) {
                const auto skipped = skip_window(*t, sample->cost);
                if (!skipped) return std::unexpected(skipped.error());
                continue;
            }
            return open_window(*t, sample->cost);
        }
    }

    WindowIter(WindowConfig<Step> config, Cost cost) : config_(std::move(config)), cost_(std::move(cost)) {
        config_.walk_step = floored(config_.walk_step);
    }

    const time::Span& interval() const { return *config_.interval; }

    DetectBounds bounds() const {
        if (!config_.clamp_to_interval) return {};
        return {interval().start, interval().end};
    }

    // The interval start first; then the cursor again while a window is held back,
    // the instant after the last window, or one step of the scan. None when the
    // step leaves the range of instants, which is past the interval end as well.
    std::optional<time::Instant> next_instant() {
        if (!state_.cursor) return interval().start;
        if (state_.pending) return state_.cursor;
        if (state_.resume) {
            state_.promised = 0.0;
            return state_.resume->t;
        }
        const time::Duration step = advancing_step(config_.step_policy.next_step(*state_.cursor, state_.last_sample));
        state_.promised -= step.as_seconds_f64();
        return state_.cursor->checked_add(step);
    }

    // A scan sample at t. The instant after a window was sampled by its forward walk
    // already. A bound is a promise about time: the cost stays negative for
    // state_.promised seconds from the cursor, so while that promise reaches past the
    // horizon the cost function need not bound the sample again.
    std::expected<ScanSample, CoreError> sample_at(time::Instant t) {
        if (state_.resume) return std::exchange(state_.resume, std::nullopt)->sample;
        const double horizon = config_.step_policy.horizon();
        auto sample = state_.promised > 0.0 && state_.promised >= horizon ? plain_sample(cost_, t) : scan_sample(cost_, t, horizon);
        if (sample && state_.promised > 0.0 && sample->cost.value < 0.0)
            sample->negative_for = std::isnan(sample->negative_for.value_or(state_.promised))
                                       ? state_.promised
                                       : std::max(*sample->negative_for, state_.promised);
        return sample;
    }

    void keep_promise(std::optional<double> negative_for) {
        if (negative_for && *negative_for > state_.promised) state_.promised = *negative_for;
    }

    Item take_pending() { return std::optional<Window>(*std::exchange(state_.pending, std::nullopt)); }

    // A window already open at the interval start: walk to its end and drop it.
    std::expected<void, CoreError> skip_window(time::Instant t, const CostSample& at_t) {
        const time::Duration step = config_.walk_step;
        const auto end = walk({t, at_t, step, walk_limit(t, config_.max_window_duration, step), bounds().end, t,
                               config_.max_window_duration, config_.step_policy.horizon()},
                              config_.refinement, cost_);
        if (!end) return std::unexpected(end.error());
        state_.last_end = end->crossing;
        state_.resume = LastSample{end->first_negative, end->at_first_negative};
        return {};
    }

    // The walks' bounds for a window found by the scan. The backward walk stops at
    // the last negative scan sample: a gap between two windows shorter than the walk
    // step would otherwise lead it on into the window before, reported already.
    DetectBounds window_bounds() const {
        DetectBounds walls = bounds();
        if (state_.last_sample && (!walls.start || state_.last_sample->t > *walls.start)) walls.start = state_.last_sample->t;
        return walls;
    }

    // The window around `t`, or in gap mode the gap before it while the window waits
    // for the next call.
    Item open_window(time::Instant t, const CostSample& at_t) {
        const auto found = detect_at(t, at_t, cost_, config_.walk_step, config_.max_window_duration, config_.refinement,
                                     window_bounds(), config_.step_policy.horizon());
        if (!found) return std::unexpected(found.error());
        state_.resume = LastSample{found->resume, found->at_resume};
        const std::optional<time::Instant> previous_end = std::exchange(state_.last_end, found->window.end);
        if (!previous_end || !config_.report_gaps) return std::optional<Window>(found->window);
        state_.pending = found->window;
        return std::optional<Window>(Window{{*previous_end, found->window.start}, WindowKind::Gap});
    }

    Item done() {
        state_.phase = Phase::Done;
        return std::optional<Window>();
    }

    // The interval end, which no scan sample reaches: the held-back window cut at
    // the end, the final gap, or a window that opened after the last scan sample.
    Item finish() {
        const time::Instant end = interval().end;
        if (state_.pending) {
            state_.pending->end = end;
            return take_pending();
        }
        if (state_.finish_done) return done();
        state_.finish_done = true;
        if (!state_.last_end || *state_.last_end >= end) return done();
        const auto sample = evaluate(cost_, end);
        if (!sample) {
            state_.phase = Phase::Done;
            return std::unexpected(sample.error());
        }
        if (sample->value < 0.0) {
            if (!config_.report_gaps) return done();
            return std::optional<Window>(Window{{*state_.last_end, end}, WindowKind::Gap});
        }
        Item item = open_window(end, *sample);
        if (!item) state_.phase = Phase::Done;
        return item;
    }

    // State, and what changes it:
    //
    //   event                          phase      cursor  last_sample  last_end  resume  promised  pending
    //   a negative scan sample         Scanning   t       t            t if none  -       its bound  -
    //   a window opens at t            Scanning   t       -            its end   walk's   0        gap mode
    //   (gap mode: the gap is yielded and the window held)                                         window
    //   the held window is yielded     Scanning   -       -            -         -        -        cleared
    //   the scan resumes               Scanning   resume  resume's     -         cleared  its bound -
    //   the next instant reaches end   Finishing  -       -            -         -        -        -
    //   Finish yields its last item    Done       -       -            -         -        -        cleared
    //
    // A step moves the cursor on and uses up that much of the promise. Once Done,
    // every call returns the end.
    struct State {
        Phase phase = Phase::Scanning;
        std::optional<time::Instant> cursor;      // the last scan sample
        std::optional<LastSample> last_sample;    // the last negative one, which the step rule reads
        std::optional<time::Instant> last_end;    // the last window's end, or the first negative sample
        std::optional<LastSample> resume;         // where the scan resumes, with the walk's sample there
        double promised = 0.0;                    // seconds from the cursor the cost stays negative
        std::optional<Window> pending;            // gap mode: the window after the gap just yielded
        bool finish_done = false;                 // the sample at the interval end has been taken
    };

    WindowConfig<Step> config_;
    Cost cost_;
    State state_;
};

template <StepRule Step, CostFunction Cost>
typename WindowIter<Cost, Step>::Builder window_iter(WindowConfig<Step> config, Cost cost) {
    return typename WindowIter<Cost, Step>::Builder(std::move(config), std::move(cost));
}

}  // namespace orbweave::detect

#pragma once
// Fixed-step scan for sign changes of a cost function over [start, end); each
// change is refined by the root finder. A crossing that lands exactly on a sample
// (a value of exactly zero between samples of opposite signs) counts once, at
// that sample; a zero between samples of the same sign is a touch, not a
// crossing. The stretch after the last sample is not scanned, except to tell a
// crossing from a touch when the last sample is zero.
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

struct Event {
    time::Instant t;
    bool rising;  // from negative to positive

    bool operator==(const Event&) const = default;
};

template <CostFunction Cost>
class EventIter {
public:
    class Builder {
    public:
        explicit Builder(Cost cost) : cost_(std::move(cost)) {}
        Builder& step(time::Duration step) {
            step_ = step;
            return *this;
        }
        Builder& refinement(const Refinement& refinement) {
            refinement_ = refinement;
            return *this;
        }
        Builder& interval(time::Instant start, time::Instant end) {
            interval_ = {start, end};
            return *this;
        }
        std::expected<EventIter, CoreError> build() const {
            if (!interval_) return std::unexpected(missing_interval_error("EventIter"));
            return EventIter(cost_, step_, refinement_, interval_->start, interval_->end);
        }

    private:
        Cost cost_;
        time::Duration step_ = time::Duration::seconds(60);
        Refinement refinement_;
        std::optional<time::Span> interval_;
    };

    const Cost& cost() const { return cost_; }

    // The next sign change, none once the interval is exhausted, or the error of
    // this sample (the scan then continues after it on the next call). A call that
    // the host stopped leaves the scan as it was.
    std::expected<std::optional<Event>, CoreError> next() { return undone_if_cancelled(state_, [this] { return step(); }); }

private:
    using Item = std::expected<std::optional<Event>, CoreError>;

    Item step() {
        while (!state_.done) {
            const std::optional<time::Instant> t = next_instant();
            if (!t || *t >= end_) {
                state_.done = true;
                return crossing_at_the_last_zero();
            }
            state_.cursor = *t;
            const auto sample = evaluate(cost_, *t);
            if (!sample) return std::unexpected(sample.error());
            if (auto event = take(*t, *sample)) return *event;
        }
        return std::optional<Event>();
    }

    // Files one sample; an event (or a solver error) when it completes a crossing.
    std::optional<Item> take(time::Instant t, const CostSample& sample) {
        if (sample.value == 0.0) {
            if (!state_.zero_at) state_.zero_at = t;
            return std::nullopt;
        }
        const std::optional<TimedSample> previous = std::exchange(state_.previous, TimedSample{unix_seconds(t), sample});
        const std::optional<time::Instant> zero_at = std::exchange(state_.zero_at, std::nullopt);
        if (!previous || !(previous->sample.value * sample.value < 0.0)) return std::nullopt;
        const bool rising = previous->sample.value < 0.0;
        if (zero_at) return Item(Event{*zero_at, rising});
        const auto root = solve(*previous, *state_.previous, refinement_, cost_);
        if (!root) return Item(std::unexpected(root.error()));
        return Item(Event{time::Instant::from_unix_seconds_f64(*root), rising});
    }

    // A last sample of exactly zero: the interval end tells a crossing from a touch.
    Item crossing_at_the_last_zero() {
        if (!state_.zero_at || !state_.previous) return std::optional<Event>();
        const auto sample = evaluate(cost_, end_);
        if (!sample) return std::unexpected(sample.error());
        if (auto event = take(end_, *sample); event && *event) return *event;
        return std::optional<Event>();
    }

    EventIter(Cost cost, time::Duration step, Refinement refinement, time::Instant start, time::Instant end)
        : cost_(std::move(cost)), step_(step), refinement_(refinement), start_(start), end_(end) {}

    // A step past the last representable instant is past the interval end too.
    std::optional<time::Instant> next_instant() const {
        if (!state_.cursor) return start_;
        return state_.cursor->checked_add(advancing_step(step_));
    }

    struct State {
        std::optional<time::Instant> cursor;
        std::optional<TimedSample> previous;   // the last sample that was not zero
        std::optional<time::Instant> zero_at;  // the first zero sample after it
        bool done = false;
    };

    Cost cost_;
    time::Duration step_;
    Refinement refinement_;
    time::Instant start_, end_;
    State state_;
};

template <CostFunction Cost>
typename EventIter<Cost>::Builder event_iter(Cost cost) {
    return typename EventIter<Cost>::Builder(std::move(cost));
}

}  // namespace orbweave::detect

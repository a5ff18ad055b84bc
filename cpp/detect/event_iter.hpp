#pragma once
// Fixed-step scan for sign changes of a cost function over [start, end); each
// change is refined by the root finder. A value of exactly zero is never a sign
// change, and the stretch after the last sample is not scanned.
#include <expected>
#include <optional>
#include <utility>

#include "core/core_error.hpp"
#include "core/predictor.hpp"
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
        std::optional<ScanInterval> interval_;
    };

    // The next sign change, none once the interval is exhausted, or the error of
    // this sample (the scan then continues after it on the next call).
    const Cost& cost() const { return cost_; }

    std::expected<std::optional<Event>, CoreError> next() {
        while (!done_) {
            const std::optional<time::Instant> t = next_instant();
            if (!t || *t >= end_) {
                done_ = true;
                break;
            }
            cursor_ = *t;
            const auto sample = cost_(*t);
            if (!sample) return std::unexpected(sample.error());
            const std::optional<Sampled> previous = previous_;
            previous_ = Sampled{*t, sample->value};
            if (previous && previous->value * sample->value < 0.0) {
                const auto root = solve(unix_seconds(previous->t), unix_seconds(*t), refinement_, cost_);
                if (!root) return std::unexpected(root.error());
                return Event{time::Instant::from_unix_seconds_f64(*root), previous->value < 0.0};
            }
        }
        return std::optional<Event>();
    }

private:
    struct Sampled {
        time::Instant t;
        double value;
    };

    EventIter(Cost cost, time::Duration step, Refinement refinement, time::Instant start, time::Instant end)
        : cost_(std::move(cost)), step_(step), refinement_(refinement), start_(start), end_(end) {}

    // A step past the last representable instant is past the interval end too.
    std::optional<time::Instant> next_instant() const {
        if (!cursor_) return start_;
        return cursor_->checked_add(advancing_step(step_));
    }

    Cost cost_;
    time::Duration step_;
    Refinement refinement_;
    time::Instant start_, end_;
    std::optional<time::Instant> cursor_;
    std::optional<Sampled> previous_;
    bool done_ = false;
};

template <CostFunction Cost>
typename EventIter<Cost>::Builder event_iter(Cost cost) {
    return typename EventIter<Cost>::Builder(std::move(cost));
}

}  // namespace orbweave::detect

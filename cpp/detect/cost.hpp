#pragma once
// What the engine knows of a cost function: a signed value of time, sampled at
// instants, and the only way the engine evaluates it.
#include <concepts>
#include <expected>
#include <optional>

#include "core/core_error.hpp"
#include "time/instant.hpp"
#include "util/cancel.hpp"

namespace orbweave::detect {

// A signed value of time: positive (or zero) inside the event.
struct CostSample {
    double value = 0.0;
    std::optional<double> derivative;  // per second, when cheaply available
};

// Callable as `std::expected<CostSample, CoreError>(time::Instant)`.
template <class F>
concept CostFunction = requires(F f, time::Instant t) {
    { f(t) } -> std::same_as<std::expected<CostSample, CoreError>>;
};

// The error of a search that the host stopped (out of line: the rare path).
[[gnu::noinline, gnu::cold]] inline std::unexpected<CoreError> cancelled() {
    return std::unexpected(CoreError{CoreError::Cancelled{}});
}

// The engine evaluates a cost function only through here, which first gives the
// host its chance to stop a long search.
template <class Cost>
std::expected<CostSample, CoreError> evaluate(Cost& cost, time::Instant t) {
    if (cancel::requested()) [[unlikely]]
        return cancelled();
    return cost(t);
}

// Runs one step of an iterator whose progress is `state`; a step that the host
// stopped puts the state back, so that calling again does the same work again.
template <class State, class Step>
auto undone_if_cancelled(State& state, Step&& step) {
    const State before = state;
    auto item = step();
    if (!item && item.error().is_cancelled()) state = before;
    return item;
}

// A cost sample together with the time (float seconds since 1970) it was taken at.
struct TimedSample {
    double t;
    CostSample sample;
};

}  // namespace orbweave::detect

#pragma once
// Errors of the detection engine: the root finder's RootError and the window
// scan's DetectError. They live here, below the engine, because the core error
// type carries them.
#include <cstdint>
#include <memory>
#include <string>
#include <variant>

#include "time/duration.hpp"
#include "time/instant.hpp"

namespace orbweave {

struct CoreError;

struct RootError {
    struct FailedToConverge {
        uint64_t iterations;  // the configured max_iter
        double tolerance;     // the configured time_tolerance
        double result;        // seconds since 1970: midpoint of the last bracket
        double error;         // |cost| at the last evaluated point
    };
    struct Unbracketed {};
    // The cost function's own error; shared so that the error stays copyable.
    struct CostFn {
        std::shared_ptr<const CoreError> inner;
    };

    std::variant<FailedToConverge, Unbracketed, CostFn> kind;

    std::string text() const;
};

struct DetectError {
    // A window longer than its cap; `at` is the sample from which the walks started.
    struct WindowTooLong {
        time::Instant at;
        time::Duration max_window_duration;
    };

    std::variant<WindowTooLong> kind;

    std::string text() const;
};

}  // namespace orbweave

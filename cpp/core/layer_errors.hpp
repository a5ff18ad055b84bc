#pragma once
// The error records of the layers above the core: the root finder's RootError, the
// window search's DetectError and the area geometry's AreaError. They are defined
// here, below those layers, because CoreError, which the core's own functions
// return, carries each of them as a variant; the layers produce them, the core
// only carries and prints them.
#include <cstddef>
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

// The error of building an area of interest (polygon, rectangle or circle).

struct AreaError {
    struct TooFewVertices { size_t count; };
    struct Latitude { double latitude_deg; };
    struct NotFinite { std::string what; double value; };
    struct AntipodalEdge { size_t index; };
    struct LargerThanHemisphere { double radius_deg; };
    struct EmptyRectangle { double south, north; };
    struct CircleRadius { double radius_deg; };
    // A stored quantity (a vertex's length, a bound in radians) that no area holds.
    struct OutOfRange { std::string what; double value; };

    std::variant<TooFewVertices, Latitude, NotFinite, AntipodalEdge, LargerThanHemisphere, EmptyRectangle,
                 CircleRadius, OutOfRange>
        kind;

    std::string text() const;
};

}  // namespace orbweave

#pragma once
// The one error type of the core: every fallible operation returns its result or a
// CoreError. The Python boundary turns input errors into ValueError and failures of
// a correctly called computation into RuntimeError.
#include <expected>
#include <string>
#include <variant>

#include "core/layer_errors.hpp"
#include "sgp4/sgp4.hpp"
#include "sgp4/tle_reader.hpp"

namespace orbweave {

struct CoreError {
    // Variants, in order; their names are what debug_text() prints.
    struct TleFormat { std::string text; };
    struct Tle { sgp4::TleError error; };
    struct Elements { sgp4::Sgp4InitError error; };
    struct Sgp4 { sgp4::Sgp4PropagationError error; };
    struct Interval { std::string text; };
    struct Roots { RootError error; };
    struct Detect { DetectError error; };
    struct Aoi { AreaError error; };
    struct Custom { std::string text; };
    // The host asked a long computation to stop (see util/cancel.hpp).
    struct Cancelled {};

    using Variant = std::variant<TleFormat, Tle, Elements, Sgp4, Interval, Roots, Detect, Aoi, Custom, Cancelled>;
    Variant kind;

    // The full text: the variant's prefix, then what it carries.
    std::string text() const;
    // "Sgp4(<text of the inner error>)" and so on.
    std::string debug_text() const;
    // Whether Python sees it as ValueError (input errors) rather than RuntimeError.
    bool is_input_error() const;
    bool is_cancelled() const { return std::holds_alternative<Cancelled>(kind); }
};

// T for a result that may fail, std::expected<T, CoreError>, and for T itself.
template <class T>
struct WithoutError {
    using Type = T;
};
template <class T>
struct WithoutError<std::expected<T, CoreError>> {
    using Type = T;
};

}  // namespace orbweave

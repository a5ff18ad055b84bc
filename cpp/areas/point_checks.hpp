#pragma once
// The checks every shape makes of the numbers it is built from, each turning a bad
// value into the AreaError that names it.
#include <cmath>
#include <optional>

#include "core/layer_errors.hpp"

namespace orbweave::areas {

// A latitude outside [-90, 90], or NaN.
inline std::optional<AreaError> latitude_error(double latitude_deg) {
    std::optional<AreaError> error;
    if (!(std::abs(latitude_deg) <= 90.0)) error.emplace(AreaError::Latitude{latitude_deg});
    return error;
}

// An infinite or NaN value; `what` names it in the message.
inline std::optional<AreaError> not_finite_error(const char* what, double value) {
    std::optional<AreaError> error;
    if (!std::isfinite(value)) error.emplace(AreaError::NotFinite{what, value});
    return error;
}

}  // namespace orbweave::areas

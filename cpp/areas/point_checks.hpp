#pragma once
// The checks every shape makes of the numbers it is built from, each turning a bad
// value into the AreaError that names it.
#include <cmath>
#include <optional>

#include "core/layer_errors.hpp"
#include "core/vectors.hpp"

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

// A direction that is not a unit vector (within 1e-12 of length 1), such as a
// vertex or centre restored from stored coordinates; `what` names it.
inline std::optional<AreaError> not_unit_error(const char* what, const Vec3& direction) {
    std::optional<AreaError> error;
    const double length = norm(direction);
    if (!(std::abs(length - 1.0) <= 1e-12)) error.emplace(AreaError::OutOfRange{what, length});
    return error;
}

}  // namespace orbweave::areas

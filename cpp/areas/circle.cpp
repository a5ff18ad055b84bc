#include "areas/circle.hpp"

#include <cmath>
#include <limits>

#include "areas/point_checks.hpp"

namespace orbweave::areas {

namespace {

// Offsets below this in magnitude (radians) are the rim itself.
constexpr double kOnBoundary = 1e-15;

}  // namespace

std::expected<Circle, AreaError> Circle::build(const LatLon& centre, double radius_deg) {
    if (auto error = latitude_error(centre.latitude_deg)) return std::unexpected(std::move(*error));
    if (auto error = not_finite_error("circle centre longitude", centre.longitude_deg))
        return std::unexpected(std::move(*error));
    if (auto error = not_finite_error("circle radius", radius_deg)) return std::unexpected(std::move(*error));
    const double radius = radius_deg * kRadiansPerDegree;
    if (!(radius > 0.0 && radius < kLargestRadius))
        return std::unexpected(AreaError{AreaError::CircleRadius{radius_deg}});
    return from_centre(unit_vector(centre), radius);
}

std::expected<Circle, AreaError> Circle::from_centre(const Vec3& centre, double radius) {
    if (auto error = not_unit_error("circle centre length", centre)) return std::unexpected(std::move(*error));
    if (!(radius > 0.0 && radius < kLargestRadius))
        return std::unexpected(AreaError{AreaError::CircleRadius{radius * kDegreesPerRadian}});
    Circle circle;
    circle.centre_ = centre;
    circle.radius_ = radius;
    return circle;
}

double Circle::signed_offset(double latitude_deg, double longitude_deg) const {
    if (!has_position(latitude_deg, longitude_deg)) return -std::numeric_limits<double>::infinity();
    const double offset = radius_ - angular_distance(centre_, unit_vector(LatLon{latitude_deg, longitude_deg}));
    return std::abs(offset) < kOnBoundary ? 0.0 : offset;
}

}  // namespace orbweave::areas

#pragma once
// The conventions of area geometry: latitudes and longitudes, whatever their
// origin, are spherical coordinates on a unit sphere, and every distance is an
// angle at the sphere's centre (radians inside, degrees at the Python surface).
#include <cmath>

#include "core/vectors.hpp"

namespace orbweave::areas {

inline constexpr double kRadiansPerDegree = 0.017453292519943295;
inline constexpr double kDegreesPerRadian = 57.29577951308232;
// Shapes must fit well within a hemisphere: pi/2 - 1e-9.
inline constexpr double kLargestRadius = 1.5707963257948965;

// A point on the surface, in degrees, as given (no range check).
struct LatLon {
    double latitude_deg = 0.0;
    double longitude_deg = 0.0;

    bool operator==(const LatLon&) const = default;
};

// (cos lat cos lon, cos lat sin lon, sin lat), from radians.
Vec3 unit_vector(double latitude_rad, double longitude_rad);
// The same from degrees.
Vec3 unit_vector(const LatLon& point);
// Back to degrees: latitude asin(z clamped to [-1, 1]), longitude atan2(y, x),
// in (-180, 180].
LatLon to_lat_lon(const Vec3& unit);

// atan2(|a x b|, a . b), in [0, pi]; never acos.
double angular_distance(const Vec3& a, const Vec3& b);

// Minimum and maximum that skip a NaN operand (the other operand is the result).
// Inline: every offset evaluation takes a few per edge.
inline double nan_min(double a, double b) { return a < b || std::isnan(b) ? a : b; }
inline double nan_max(double a, double b) { return a > b || std::isnan(b) ? a : b; }

// Whether a point given in degrees has a place on the sphere at all. One with a
// NaN or infinite coordinate has none: every shape puts it outside, at an offset
// of -infinity, so that its farthest distance is -infinity too.
inline bool has_position(double latitude_deg, double longitude_deg) {
    return std::isfinite(latitude_deg) && std::isfinite(longitude_deg);
}

}  // namespace orbweave::areas

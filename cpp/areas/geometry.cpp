#include "areas/geometry.hpp"

#include <algorithm>
#include <cmath>

namespace orbweave::areas {

Vec3 unit_vector(double latitude_rad, double longitude_rad) {
    const double cos_latitude = std::cos(latitude_rad);
    return {cos_latitude * std::cos(longitude_rad), cos_latitude * std::sin(longitude_rad), std::sin(latitude_rad)};
}

Vec3 unit_vector(const LatLon& point) {
    return unit_vector(point.latitude_deg * kRadiansPerDegree, point.longitude_deg * kRadiansPerDegree);
}

LatLon to_lat_lon(const Vec3& unit) {
    double longitude = std::atan2(unit.y, unit.x) * kDegreesPerRadian;
    if (longitude == -180.0) longitude = 180.0;  // atan2(-0, x < 0): keep longitudes in (-180, 180]
    return {std::asin(std::clamp(unit.z, -1.0, 1.0)) * kDegreesPerRadian, longitude};
}

double angular_distance(const Vec3& a, const Vec3& b) { return std::atan2(norm(cross(a, b)), dot(a, b)); }

}  // namespace orbweave::areas

#include "areas/rectangle.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "areas/point_checks.hpp"
#include "util/fast_fmod.hpp"

namespace orbweave::areas {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kInfinity = std::numeric_limits<double>::infinity();
// Latitude and longitude spans below this (radians) are empty.
constexpr double kNoSpan = 1e-9;
// Longitude spans from here on (2 pi - 1e-9) go all the way round: a band.
constexpr double kFullCircle = 6.283185306179586;
// The largest latitude, a pole, as 90 degrees converts to radians.
constexpr double kRightAngle = 90.0 * kRadiansPerDegree;
// Latitudes within 1e-9 rad of a pole are the pole, whose parallel is a point.
constexpr double kPoleLatitude = 1.5707963257948965;
// A vector no longer than this has no direction (the smallest normal double).
constexpr double kNoLength = 2.2250738585072014e-308;
// Distances below this (radians) are the boundary itself.
constexpr double kOnBoundary = 1e-15;

// Into [-pi, pi): x - 2 pi floor((x + pi) / 2 pi). Rounding can leave that just
// outside the range (179.99999999999997° comes out below -pi); the exact
// remainder then decides.
double wrapped_longitude(double longitude) {
    const double wrapped = longitude - kTwoPi * std::floor((longitude + kPi) / kTwoPi);
    if (wrapped >= -kPi && wrapped < kPi) return wrapped;
    const double exact = std::remainder(longitude, kTwoPi);
    return exact >= kPi ? exact - kTwoPi : exact;
}

std::optional<AreaError> latitudes_error(double south_deg, double north_deg) {
    if (auto error = latitude_error(south_deg)) return error;
    return latitude_error(north_deg);
}

// Bounds in radians; the message shows them converted back to degrees.
std::optional<AreaError> emptiness_error(double south, double north, double extent) {
    if (north - south >= kNoSpan && extent >= kNoSpan) return std::nullopt;
    return AreaError{AreaError::EmptyRectangle{south * kDegreesPerRadian, north * kDegreesPerRadian}};
}

// Distance to the stretch of a meridian between two latitudes when the
// perpendicular from p meets it there, otherwise infinity. The normal is the
// meridian plane's; the direction picks the meridian's half of its great circle.
double meridian_distance(const Vec3& normal, const Vec3& direction, double south, double north, const Vec3& p) {
    const double across = dot(normal, p);
    const Vec3 in_plane = minus(p, scaled(normal, across));
    const double length = norm(in_plane);
    if (!(dot(direction, in_plane) > 0.0 && length > kNoLength)) return kInfinity;
    const double foot_latitude = std::asin(std::clamp(in_plane.z / length, -1.0, 1.0));
    if (!(south <= foot_latitude && foot_latitude <= north)) return kInfinity;
    return std::asin(std::min(1.0, std::abs(across)));
}

}  // namespace

std::expected<Rectangle, AreaError> Rectangle::build(const LatLon& south_west, const LatLon& north_east) {
    if (auto error = latitudes_error(south_west.latitude_deg, north_east.latitude_deg))
        return std::unexpected(std::move(*error));
    if (auto error = not_finite_error("rectangle west longitude", south_west.longitude_deg))
        return std::unexpected(std::move(*error));
    if (auto error = not_finite_error("rectangle east longitude", north_east.longitude_deg))
        return std::unexpected(std::move(*error));

    const double south = south_west.latitude_deg * kRadiansPerDegree;
    const double north = north_east.latitude_deg * kRadiansPerDegree;
    const double west = wrapped_longitude(south_west.longitude_deg * kRadiansPerDegree);
    const double east = wrapped_longitude(north_east.longitude_deg * kRadiansPerDegree);
    double extent = std::fmod(east - west, kTwoPi);
    if (extent < 0.0) extent += kTwoPi;
    return from_bounds(south, north, west, extent);
}

std::expected<Rectangle, AreaError> Rectangle::from_bounds(double south, double north, double west, double extent) {
    for (const double latitude : {south, north})
        if (!(std::abs(latitude) <= kRightAngle))
            return std::unexpected(AreaError{AreaError::Latitude{latitude * kDegreesPerRadian}});
    if (!(west >= -kPi && west < kPi))
        return std::unexpected(AreaError{AreaError::OutOfRange{"rectangle west bound in radians", west}});
    if (!(extent <= kTwoPi))
        return std::unexpected(AreaError{AreaError::OutOfRange{"rectangle extent in radians", extent}});
    if (auto error = emptiness_error(south, north, extent)) return std::unexpected(std::move(*error));

    Rectangle box;
    box.south_ = south;
    box.north_ = north;
    box.west_ = west;
    if (extent >= kFullCircle) {
        box.extent_ = kTwoPi;
        return box;
    }
    box.extent_ = extent;
    box.has_meridian_edges_ = true;
    const double east_edge = west + extent;
    box.corners_ = {unit_vector(south, west), unit_vector(south, east_edge), unit_vector(north, east_edge),
                    unit_vector(north, west)};
    const auto meridian = [](double longitude) {
        const double sine = std::sin(longitude), cosine = std::cos(longitude);
        return Meridian{{-sine, cosine, 0.0}, {cosine, sine, 0.0}};
    };
    box.west_edge_ = meridian(west);
    box.east_edge_ = meridian(east_edge);
    return box;
}

std::expected<Rectangle, AreaError> Rectangle::latitude_band(double south_deg, double north_deg) {
    if (auto error = latitudes_error(south_deg, north_deg)) return std::unexpected(std::move(*error));
    return from_bounds(south_deg * kRadiansPerDegree, north_deg * kRadiansPerDegree, -kPi, kTwoPi);
}

bool Rectangle::within_longitudes(double longitude_rad) const {
    if (!has_meridian_edges_) return true;
    double east_of_west = fast_fmod(longitude_rad - west_, kTwoPi);
    if (east_of_west < 0.0) east_of_west += kTwoPi;
    return east_of_west <= extent_;
}

double Rectangle::signed_offset(double latitude_deg, double longitude_deg) const {
    if (!has_position(latitude_deg, longitude_deg)) return -kInfinity;
    const double latitude = latitude_deg * kRadiansPerDegree;
    const double longitude = longitude_deg * kRadiansPerDegree;
    const Vec3 p = unit_vector(latitude, longitude);
    const bool within = within_longitudes(longitude);

    // Along the meridian to either parallel, where the point faces it.
    double distance = kInfinity;
    if (within) {
        if (south_ > -kPoleLatitude) distance = std::abs(latitude - south_);
        if (north_ < kPoleLatitude) distance = nan_min(distance, std::abs(north_ - latitude));
    }
    if (has_meridian_edges_) {
        for (const Vec3& corner : corners_) distance = nan_min(distance, angular_distance(p, corner));
        distance = nan_min(distance, meridian_distance(west_edge_.normal, west_edge_.direction, south_, north_, p));
        distance = nan_min(distance, meridian_distance(east_edge_.normal, east_edge_.direction, south_, north_, p));
    }
    distance = nan_min(distance, kPi);  // a band from pole to pole has no edge at all
    if (distance < kOnBoundary) return 0.0;
    const bool inside = within && south_ <= latitude && latitude <= north_;
    return inside ? distance : -distance;
}

}  // namespace orbweave::areas

#pragma once
// A latitude/longitude box: north and south edges along their parallels, west and
// east edges along meridians, running eastward from the south-west corner (so it
// may wrap across the antimeridian); a box around every longitude is a band.
#include <array>
#include <expected>

#include "areas/geometry.hpp"
#include "core/layer_errors.hpp"

namespace orbweave::areas {

class Rectangle {
public:
    static std::expected<Rectangle, AreaError> build(const LatLon& south_west, const LatLon& north_east);
    // Every longitude between two latitudes (a polar cap when one is a pole).
    static std::expected<Rectangle, AreaError> latitude_band(double south_deg, double north_deg);
    // From what a box stores, as the accessors below read it back (radians): the
    // same checks as `build`, and west in [-pi, pi), extent at most 2 pi; an extent
    // within 1e-9 of 2 pi makes a band.
    static std::expected<Rectangle, AreaError> from_bounds(double south, double north, double west, double extent);

    // Radians: positive inside, negative outside, zero on the boundary.
    double signed_offset(double latitude_deg, double longitude_deg) const;

    double south() const { return south_; }    // radians
    double north() const { return north_; }    // radians
    double west() const { return west_; }      // radians, in [-pi, pi)
    double extent() const { return extent_; }  // radians, in (0, 2 pi]; 2 pi for a band
    bool is_band() const { return !has_meridian_edges_; }

private:
    struct Meridian {
        Vec3 normal;     // toward increasing longitude
        Vec3 direction;  // picks the meridian itself, not its antimeridian
    };

    Rectangle() = default;
    bool within_longitudes(double longitude_rad) const;

    bool has_meridian_edges_ = false;
    std::array<Vec3, 4> corners_{};  // south-west, south-east, north-east, north-west
    Meridian west_edge_{}, east_edge_{};
    double south_ = 0.0, north_ = 0.0, west_ = 0.0, extent_ = 0.0;
};

}  // namespace orbweave::areas

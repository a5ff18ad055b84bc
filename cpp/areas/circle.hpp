#pragma once
// A spherical cap: a centre and an angular radius.
#include <expected>

#include "areas/geometry.hpp"
#include "core/layer_errors.hpp"

namespace orbweave::areas {

class Circle {
public:
    static std::expected<Circle, AreaError> build(const LatLon& centre, double radius_deg);
    // From what a circle stores, as `centre()` and `radius()` read it back: a unit
    // vector and radians, checked as `build` checks degrees.
    static std::expected<Circle, AreaError> from_centre(const Vec3& centre, double radius);

    // Radians: the radius less the distance from the centre; 0 within 1e-15.
    double signed_offset(double latitude_deg, double longitude_deg) const;

    const Vec3& centre() const { return centre_; }
    double radius() const { return radius_; }  // radians

private:
    Circle() = default;
    Vec3 centre_;
    double radius_ = 0.0;
};

}  // namespace orbweave::areas

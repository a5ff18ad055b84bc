#pragma once
// An area of interest, whichever its shape, and the two measures every search
// asks of it: the signed offset of a point from its boundary and the distance to
// its farthest point.
#include <numbers>
#include <variant>

#include "areas/circle.hpp"
#include "areas/polygon.hpp"
#include "areas/rectangle.hpp"

namespace orbweave::areas {

using Area = std::variant<Polygon, Rectangle, Circle>;

// Radians: positive inside, negative outside, zero on the boundary.
inline double signed_angular_offset(const Area& area, double latitude_deg, double longitude_deg) {
    return std::visit([&](const auto& shape) { return shape.signed_offset(latitude_deg, longitude_deg); }, area);
}

// Radians to the area's farthest point, for every shape alike: from the offset o
// at the antipode, pi + min(o, 0). When the antipode lies inside, the farthest
// point is the antipode itself; otherwise it lies pi less the antipode's distance
// from the area away.
template <class Shape>
double max_angular_distance(const Shape& shape, double latitude_deg, double longitude_deg) {
    double antipode;
    if constexpr (std::is_same_v<Shape, Area>)
        antipode = signed_angular_offset(shape, -latitude_deg, longitude_deg + 180.0);
    else
        antipode = shape.signed_offset(-latitude_deg, longitude_deg + 180.0);
    return std::numbers::pi + nan_min(antipode, 0.0);
}

}  // namespace orbweave::areas

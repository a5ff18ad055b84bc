#pragma once
// A spherical polygon: a ring of vertices joined by the shorter great-circle arcs,
// with its interior decided by the winding number under a fill rule.
#include <cstdint>
#include <expected>
#include <span>
#include <vector>

#include "areas/geometry.hpp"
#include "core/layer_errors.hpp"

namespace orbweave::areas {

enum class FillRule : uint8_t { NonZero = 0, EvenOdd = 1 };

class Polygon {
public:
    // From (latitude, longitude) pairs in degrees, checked vertex by vertex in
    // input order (latitude, then longitude), consecutive duplicates (1e-9 rad)
    // and a closing duplicate dropped, then the count, the edges in ring order and
    // the hemisphere test.
    static std::expected<Polygon, AreaError> build(std::span<const LatLon> vertices,
                                                   FillRule fill_rule = FillRule::NonZero);
    // From unit vectors, as `vertices()` reads them back: each must have length 1
    // (within 1e-12), then the same deduplication and checks as `build`.
    static std::expected<Polygon, AreaError> from_unit_vertices(std::span<const Vec3> vertices, FillRule fill_rule);

    // Radians: positive inside, negative outside, zero on the boundary; -infinity
    // for a point with a NaN coordinate.
    double signed_offset(double latitude_deg, double longitude_deg) const;

    const std::vector<Vec3>& vertices() const { return vertices_; }
    FillRule fill_rule() const { return fill_rule_; }
    const Vec3& centre() const { return centre_; }
    double radius() const { return radius_; }  // radians

private:
    Polygon() = default;
    // The count, edge and hemisphere checks of a deduplicated ring.
    static std::expected<Polygon, AreaError> from_ring(std::vector<Vec3> ring, FillRule fill_rule);
    double boundary_distance(const Vec3& p) const;
    int64_t winding_number(const Vec3& p) const;

    std::vector<Vec3> vertices_;
    std::vector<Vec3> normals_;  // edge i: normalised v_i x v_i+1
    Vec3 centre_;
    double radius_ = 0.0;
    FillRule fill_rule_ = FillRule::NonZero;
};

}  // namespace orbweave::areas

#include "areas/polygon.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "areas/point_checks.hpp"

namespace orbweave::areas {

namespace {

// Consecutive vertices closer than this (radians) are one vertex.
constexpr double kSameVertex = 1e-9;
// An edge whose ends have a smaller dot product (about 179.9974 degrees apart) has
// no well-defined shorter arc.
constexpr double kAntipodalDot = -0.999999999;
// A vertex sum no longer than this has no direction (the smallest normal double).
constexpr double kNoLength = 2.2250738585072014e-308;
// Slack of the bounding-cap quick test, radians.
constexpr double kCapMargin = 1e-9;
// Boundary distances below this (radians) are the boundary itself.
constexpr double kOnBoundary = 1e-15;

Vec3 normalised(const Vec3& v) {
    const double length = norm(v);
    return {v.x / length, v.y / length, v.z / length};
}

// The ring in input order without consecutive duplicates, and without a closing
// duplicate of the first vertex.
std::vector<Vec3> distinct_ring(std::span<const Vec3> vertices) {
    std::vector<Vec3> ring;
    ring.reserve(vertices.size());
    for (const Vec3& vertex : vertices)
        if (ring.empty() || !(angular_distance(ring.back(), vertex) < kSameVertex)) ring.push_back(vertex);
    if (ring.size() >= 2 && angular_distance(ring.back(), ring.front()) < kSameVertex) ring.pop_back();
    return ring;
}

// The vertices as unit vectors; the first bad coordinate in input order fails.
std::expected<std::vector<Vec3>, AreaError> unit_vertices(std::span<const LatLon> points) {
    std::vector<Vec3> vertices;
    vertices.reserve(points.size());
    for (const LatLon& point : points) {
        if (auto error = latitude_error(point.latitude_deg)) return std::unexpected(std::move(*error));
        if (auto error = not_finite_error("polygon vertex longitude", point.longitude_deg))
            return std::unexpected(std::move(*error));
        vertices.push_back(unit_vector(point));
    }
    return vertices;
}

Vec3 ring_centre(const std::vector<Vec3>& ring) {
    Vec3 sum;
    for (const Vec3& v : ring) sum = {sum.x + v.x, sum.y + v.y, sum.z + v.z};
    return norm(sum) > kNoLength ? normalised(sum) : ring.front();
}

// The squared straight-line distance between two points of the sphere: it grows
// with their angular distance, and costs no trigonometry.
double chord_squared(const Vec3& a, const Vec3& b) {
    const Vec3 d = minus(a, b);
    return dot(d, d);
}

// Chords computed within this of the shortest belong to vertices whose angular
// distance, as computed, may be the smallest: both measures carry rounding errors
// of a few 1e-16, and a chord never grows faster than its angle.
constexpr double kChordSlack = 1e-12;

// Any direction perpendicular to p, away from p's own axis (length at least 0.5).
Vec3 perpendicular(const Vec3& p) {
    return std::abs(p.z) < 0.5 ? Vec3{-p.y, p.x, 0.0} : Vec3{0.0, -p.z, p.y};
}

// A vertex as seen from p: its coordinates in the tangent plane at p, in a
// right-handed frame (e1, e2, p), and the quarter of that plane it lies in,
// counted counter-clockwise from e1. Each quarter holds the half-axis that
// starts it, so every point but the origin lies in exactly one.
struct Bearing {
    double x, y;
    int quarter;
};

Bearing bearing(double x, double y) {
    const int quarter = x > 0.0 && y >= 0.0 ? 0 : x <= 0.0 && y > 0.0 ? 1 : x < 0.0 && y <= 0.0 ? 2 : 3;
    return {x, y, quarter};
}

// The edge a -> b's turn about p in quarter turns, the short way round: its ends'
// quarters settle it, except for opposite quarters, where the sign of the cross
// product says which way. Values too small to multiply without underflow thus
// cannot make neighbouring edges disagree. An edge through p itself (a cross
// product of zero) turns by a convention that reverses with the edge, so a ring
// and its reverse still describe the same area.
int quarter_turns(const Bearing& a, const Bearing& b) {
    switch ((b.quarter - a.quarter + 4) % 4) {
        case 0: return 0;
        case 1: return 1;
        case 3: return -1;
    }
    const double turn = a.x * b.y - b.x * a.y;
    if (turn != 0.0) return turn > 0.0 ? 2 : -2;
    return a.quarter < 2 ? 2 : -2;
}

}  // namespace

std::expected<Polygon, AreaError> Polygon::build(std::span<const LatLon> vertices, FillRule fill_rule) {
    auto units = unit_vertices(vertices);
    if (!units) return std::unexpected(std::move(units.error()));
    return from_ring(distinct_ring(*units), fill_rule);
}

std::expected<Polygon, AreaError> Polygon::from_unit_vertices(std::span<const Vec3> vertices, FillRule fill_rule) {
    for (const Vec3& vertex : vertices)
        if (auto error = not_unit_error("polygon vertex length", vertex)) return std::unexpected(std::move(*error));
    return from_ring(distinct_ring(vertices), fill_rule);
}

std::expected<Polygon, AreaError> Polygon::from_ring(std::vector<Vec3> ring, FillRule fill_rule) {
    if (ring.size() < 3) return std::unexpected(AreaError{AreaError::TooFewVertices{ring.size()}});

    Polygon polygon;
    polygon.fill_rule_ = fill_rule;
    polygon.vertices_ = std::move(ring);
    const std::vector<Vec3>& v = polygon.vertices_;
    polygon.normals_.reserve(v.size());
    for (size_t i = 0; i < v.size(); ++i) {
        const Vec3& a = v[i];
        const Vec3& b = v[(i + 1) % v.size()];
        if (dot(a, b) < kAntipodalDot) return std::unexpected(AreaError{AreaError::AntipodalEdge{i}});
        polygon.normals_.push_back(normalised(cross(a, b)));
    }
    polygon.centre_ = ring_centre(v);
    for (const Vec3& vertex : v) polygon.radius_ = std::max(polygon.radius_, angular_distance(polygon.centre_, vertex));
    if (polygon.radius_ >= kLargestRadius)
        return std::unexpected(AreaError{AreaError::LargerThanHemisphere{polygon.radius_ * kDegreesPerRadian}});
    return polygon;
}

double Polygon::signed_offset(double latitude_deg, double longitude_deg) const {
    if (!has_position(latitude_deg, longitude_deg)) return -std::numeric_limits<double>::infinity();
    const Vec3 p = unit_vector(LatLon{latitude_deg, longitude_deg});
    const double distance = boundary_distance(p);
    if (angular_distance(centre_, p) > radius_ + kCapMargin) return -distance;
    if (distance < kOnBoundary) return 0.0;
    const int64_t winding = winding_number(p);
    const bool inside = fill_rule_ == FillRule::NonZero ? winding != 0 : winding % 2 != 0;
    return inside ? distance : -distance;
}

// The nearest of the vertices and of the perpendicular feet that fall on their
// edge's arc. One pass finds the shortest chord to a vertex and the smallest
// |sine| of a distance to an edge: asin grows with the sine, so one asin gives the
// nearest edge. Only vertices whose chord ties the shortest (almost always one)
// then pay for an angular distance.
double Polygon::boundary_distance(const Vec3& p) const {
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    double shortest_chord_squared = kInfinity;
    double smallest_sine = kInfinity;
    const size_t count = vertices_.size();
    for (size_t i = 0; i < count; ++i) {
        const Vec3& a = vertices_[i];  // each vertex starts one edge: every vertex is visited
        const Vec3& b = vertices_[i + 1 == count ? 0 : i + 1];
        const Vec3& n = normals_[i];
        shortest_chord_squared = std::min(shortest_chord_squared, chord_squared(p, a));
        const double s = dot(n, p);
        const Vec3 in_plane = minus(p, scaled(n, s));  // p projected onto the edge's plane
        if (dot(cross(a, in_plane), n) >= 0.0 && dot(cross(in_plane, b), n) >= 0.0)
            smallest_sine = std::min(smallest_sine, std::abs(s));
    }
    double distance = smallest_sine == kInfinity ? kInfinity : std::asin(std::min(1.0, smallest_sine));
    const double tie = std::sqrt(shortest_chord_squared) + kChordSlack;
    for (const Vec3& vertex : vertices_)
        if (chord_squared(p, vertex) <= tie * tie) distance = nan_min(distance, angular_distance(p, vertex));
    return distance;
}

// The signed angles of the edges as seen from p, in the tangent plane at p, add up
// round the ring to 2 pi times the winding number. Their sum needs no arctangent:
// each angle is a quarter turn for every half-axis of the plane it crosses, plus a
// remainder set by where its ends lie within their quarters, and the remainders
// cancel round the ring. Counting the crossings gives the same integer.
int64_t Polygon::winding_number(const Vec3& p) const {
    const Vec3 e1 = perpendicular(p);
    const Vec3 e2 = cross(p, e1);
    const auto seen = [&](const Vec3& v) { return bearing(dot(v, e1), dot(v, e2)); };
    const Bearing first = seen(vertices_.front());
    Bearing from = first;
    int64_t quarters = 0;
    for (size_t i = 1; i <= vertices_.size(); ++i) {
        const Bearing to = i < vertices_.size() ? seen(vertices_[i]) : first;
        quarters += quarter_turns(from, to);
        from = to;
    }
    return quarters / 4;
}

}  // namespace orbweave::areas

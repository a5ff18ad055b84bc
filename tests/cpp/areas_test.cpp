#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

#include "areas/area.hpp"
#include "core/core_error.hpp"

using namespace orbweave;
using namespace orbweave::areas;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kPi = std::numbers::pi;

template <class Shape>
std::string failure(const std::expected<Shape, AreaError>& built) {
    if (built) return "built";
    const std::string text = CoreError{CoreError::Aoi{built.error()}}.text();
    const std::string prefix = "Area of interest error: ";
    EXPECT_EQ(text.substr(0, prefix.size()), prefix);
    return text.substr(prefix.size());
}

double degrees(double radians) { return radians * kDegreesPerRadian; }

Polygon polygon(const std::vector<LatLon>& ring, FillRule rule = FillRule::NonZero) {
    const auto built = Polygon::build(ring, rule);
    EXPECT_TRUE(built) << failure(built);
    return built.value();
}

const std::vector<LatLon> kTriangle{{0, 0}, {0, 10}, {10, 0}};

std::string empty_rectangle(const char* south, const char* north) {
    return std::string("rectangle is empty: south ") + south + "° must lie below north " + north +
           "°, and the corners must differ in longitude — note that -180° and 180° are the same meridian, so use "
           "`Rectangle::latitude_band` for a box spanning every longitude";
}

}  // namespace

TEST(Areas, BuildFailuresAndTheirMessages) {
    using Ring = std::vector<LatLon>;
    const std::string hemisphere =
        "polygon spans 100.0° from its centre and does not fit within a hemisphere; split it into smaller polygons, "
        "or describe the complementary region instead";
    const std::pair<std::string, std::string> cases[] = {
        {failure(Polygon::build(Ring{{0, 0}, {0, 0}, {1, 1}})), "polygon needs at least 3 distinct vertices, got 2"},
        {failure(Polygon::build(Ring{{0, 0}, {0, 5e-8}, {1, 1}})), "polygon needs at least 3 distinct vertices, got 2"},
        {failure(Polygon::build(Ring{{0, 0}, {1, 1}, {0, 0}})), "polygon needs at least 3 distinct vertices, got 2"},
        {failure(Polygon::build(Ring{{0, 0}, {0, 90}, {0, -90}})),
         "polygon edge 1 joins antipodal vertices; no unique great-circle arc joins them"},
        {failure(Polygon::build(Ring{{0, 0}, {91, 0}, {1, 1}})), "latitude 91 is outside [-90, 90]"},
        {failure(Polygon::build(Ring{{0, 0}, {1, kNaN}, {1, 1}})), "polygon vertex longitude is not finite: NaN"},
        {failure(Polygon::build(Ring{{0, 0}, {1, 1}, {2, 2}, {-90.5, 0}, {0, kInf}})),
         "latitude -90.5 is outside [-90, 90]"},
        {failure(Polygon::build(Ring{{0, 0}, {0, 100}, {0, -100}})), hemisphere},
        {failure(Rectangle::build({10, 180}, {20, -180})), empty_rectangle("10", "20")},
        {failure(Rectangle::build({20, 0}, {10, 10})), empty_rectangle("20", "10")},
        {failure(Rectangle::build({0, kNaN}, {95, 10})), "latitude 95 is outside [-90, 90]"},
        {failure(Rectangle::build({0, kInf}, {10, kNaN})), "rectangle west longitude is not finite: inf"},
        {failure(Rectangle::build({0, 0}, {10, -kInf})), "rectangle east longitude is not finite: -inf"},
        {failure(Rectangle::latitude_band(-91, 0)), "latitude -91 is outside [-90, 90]"},
        {failure(Rectangle::latitude_band(0, kNaN)), "latitude NaN is outside [-90, 90]"},
        {failure(Rectangle::latitude_band(60, 60)), empty_rectangle("59.99999999999999", "59.99999999999999")},
        {failure(Circle::build({0, 0}, 0)), "circle radius must lie in (0, 90°), got 0°"},
        {failure(Circle::build({0, 0}, 90)), "circle radius must lie in (0, 90°), got 90°"},
        {failure(Circle::build({0, 0}, 89.99999995)), "circle radius must lie in (0, 90°), got 89.99999995°"},
        {failure(Circle::build({0, 0}, kNaN)), "circle radius is not finite: NaN"},
        {failure(Circle::build({0, kNaN}, kNaN)), "circle centre longitude is not finite: NaN"},
        {failure(Circle::build({-90.25, kNaN}, kNaN)), "latitude -90.25 is outside [-90, 90]"},
    };
    for (const auto& [got, expected] : cases) EXPECT_EQ(got, expected);
    // Four vertices round the equator sum to almost nothing: the centre falls anywhere on it.
    const auto equator = Polygon::build(Ring{{0, 0}, {0, 90}, {0, 180}, {0, -90}});
    ASSERT_FALSE(equator);
    EXPECT_TRUE(std::holds_alternative<AreaError::LargerThanHemisphere>(equator.error().kind));
}

TEST(Polygon, ClosedRingIsTheOpenRing) {
    const Polygon open = polygon(kTriangle);
    const Polygon closed = polygon({{0, 0}, {0, 10}, {10, 0}, {0, 0}});
    EXPECT_EQ(closed.vertices(), open.vertices());
    EXPECT_EQ(closed.centre(), open.centre());
    EXPECT_EQ(closed.radius(), open.radius());
    const LatLon back = to_lat_lon(open.vertices()[2]);
    EXPECT_NEAR(back.latitude_deg, 10.0, 1e-13);
    EXPECT_EQ(back.longitude_deg, 0.0);
}

TEST(Polygon, TriangleOffsetsAndFarthestDistance) {
    const Polygon triangle = polygon(kTriangle);
    EXPECT_NEAR(degrees(triangle.signed_offset(1, 1)), 1.0, 2e-4);
    EXPECT_GT(triangle.signed_offset(1, 1), 0.0);
    EXPECT_NEAR(degrees(triangle.signed_offset(-1, 5)), -1.0, 1e-12);
    for (const LatLon& v : kTriangle) EXPECT_EQ(triangle.signed_offset(v.latitude_deg, v.longitude_deg), 0.0);
    EXPECT_EQ(triangle.signed_offset(0, 5), 0.0);  // on an edge
    EXPECT_NEAR(degrees(max_angular_distance(triangle, 0, 0)), 10.0, 1e-12);
    const Vec3 p = unit_vector({1, 1});
    const double farthest_vertex =
        std::max(angular_distance(p, triangle.vertices()[1]), angular_distance(p, triangle.vertices()[2]));
    EXPECT_NEAR(max_angular_distance(triangle, 1, 1), farthest_vertex, 1e-12);
    EXPECT_EQ(max_angular_distance(triangle, -1, -179), kPi);  // its antipode lies inside
}

TEST(Polygon, FillRulesOnADoubledRing) {
    std::vector<LatLon> twice = kTriangle;
    twice.insert(twice.end(), kTriangle.begin(), kTriangle.end());
    const double once = polygon(kTriangle).signed_offset(1, 1);
    EXPECT_EQ(polygon(twice, FillRule::NonZero).signed_offset(1, 1), once);
    EXPECT_EQ(polygon(twice, FillRule::EvenOdd).signed_offset(1, 1), -once);
    EXPECT_EQ(polygon(kTriangle, FillRule::EvenOdd).signed_offset(1, 1), once);
}

TEST(Polygon, ReversedRingIsTheSameArea) {
    const std::vector<LatLon> ring{{40, 0}, {42, 6}, {47, 4}, {44, 3}, {48, 0}, {45, -3}};
    const Polygon forward = polygon(ring);
    const Polygon backward = polygon({ring.rbegin(), ring.rend()});
    std::mt19937_64 rng(3);
    std::uniform_real_distribution<double> lat(30, 60), lon(-15, 20);
    for (int i = 0; i < 2000; ++i) {
        const double a = lat(rng), b = lon(rng);
        ASSERT_EQ(forward.signed_offset(a, b), backward.signed_offset(a, b)) << a << ", " << b;
        ASSERT_EQ(max_angular_distance(forward, a, b), max_angular_distance(backward, a, b));
    }
}

TEST(Rectangle, BoxAcrossTheAntimeridian) {
    const Rectangle box = Rectangle::build({10, 170}, {20, -170}).value();
    EXPECT_FALSE(box.is_band());
    EXPECT_NEAR(degrees(box.west()), 170.0, 1e-12);
    EXPECT_NEAR(degrees(box.extent()), 20.0, 1e-12);
    EXPECT_NEAR(degrees(box.signed_offset(15, 180)), 5.0, 1e-12);
    EXPECT_NEAR(degrees(box.signed_offset(15, -540)), 5.0, 1e-12);
    EXPECT_LT(box.signed_offset(15, 0), 0.0);
    for (const LatLon& edge : {LatLon{10, 175}, LatLon{20, -175}, LatLon{15, 170}, LatLon{15, -170}, LatLon{20, 170}})
        EXPECT_EQ(box.signed_offset(edge.latitude_deg, edge.longitude_deg), 0.0);
}

TEST(Rectangle, WestIsAlwaysWithinTheLongitudeRange) {
    // Rounding takes the textbook reduction of 179.99999999999997° just below -180°.
    for (const double west : {179.99999999999997, -180.0}) {
        const Rectangle box = Rectangle::build({0, west}, {10, west + 10}).value();
        EXPECT_GE(box.west(), -std::numbers::pi) << west;
        EXPECT_LT(box.west(), std::numbers::pi) << west;
    }
    EXPECT_NEAR(degrees(Rectangle::build({0, 179.99999999999997}, {10, -170}).value().west()), 180.0, 1e-12);
}

TEST(Rectangle, ReadOutsAndMeridianDistance) {
    const Rectangle box = Rectangle::build({30, 0}, {60, 10}).value();
    EXPECT_EQ(degrees(box.south()), 29.999999999999996);
    EXPECT_EQ(degrees(box.north()), 59.99999999999999);
    const Rectangle square = Rectangle::build({0, 0}, {10, 10}).value();
    const double to_meridian = std::asin(std::cos(5 * kRadiansPerDegree) * std::sin(5 * kRadiansPerDegree));
    EXPECT_NEAR(square.signed_offset(5, 5), to_meridian, 1e-15);
    EXPECT_NEAR(degrees(to_meridian), 4.98, 0.005);
}

TEST(Rectangle, BandsAndPolarCaps) {
    const Rectangle band = Rectangle::latitude_band(-90, 60).value();
    EXPECT_TRUE(band.is_band());
    EXPECT_EQ(degrees(band.west()), -180.0);
    EXPECT_EQ(degrees(band.extent()), 360.0);
    EXPECT_NEAR(degrees(band.signed_offset(-90, 0)), 150.0, 1e-12);
    EXPECT_NEAR(degrees(band.signed_offset(80, 0)), -20.0, 1e-12);
    EXPECT_EQ(Rectangle::latitude_band(-90, 90).value().signed_offset(12, 34), kPi);
    // Corners a fraction of a nanoradian short of a full turn make a band.
    const Rectangle almost = Rectangle::build({0, 10}, {10, 10 - 1e-8}).value();
    EXPECT_TRUE(almost.is_band());
    EXPECT_EQ(almost.extent(), 2 * kPi);
}

TEST(Circle, OffsetsFromCentreToRim) {
    EXPECT_TRUE(Circle::build({0, 0}, 89.99999994));
    const Circle circle = Circle::build({20, 30}, 5).value();
    EXPECT_EQ(degrees(circle.radius()), 5.0);
    EXPECT_EQ(circle.signed_offset(20, 30), circle.radius());
    EXPECT_NEAR(max_angular_distance(circle, 20, 30), circle.radius(), 1e-12);
    EXPECT_EQ(circle.signed_offset(25, 30), 0.0);
    EXPECT_NEAR(degrees(circle.signed_offset(35, 30)), -10.0, 1e-12);
    const LatLon centre = to_lat_lon(circle.centre());
    EXPECT_NEAR(centre.latitude_deg, 20.0, 1e-13);
    EXPECT_NEAR(centre.longitude_deg, 30.0, 1e-13);
    EXPECT_EQ(to_lat_lon(unit_vector({10, -180})).longitude_deg, 180.0);
}

// Offsets at a few points: equal offsets everywhere tested, and equal read-outs,
// make the same shape.
template <class Shape>
std::vector<double> offsets(const Shape& shape) {
    std::vector<double> result;
    for (const LatLon& p : {LatLon{45, 0}, LatLon{41.3, -4.9}, LatLon{-12, 100}, LatLon{60, 179}, LatLon{15, -175}})
        result.push_back(shape.signed_offset(p.latitude_deg, p.longitude_deg));
    return result;
}

TEST(Areas, StoredFormsRebuildTheSameShape) {
    const Polygon ring = polygon({{40.1, -5.3}, {40.7, 5.9}, {50.3, 5.1}, {50.9, -5.7}}, FillRule::EvenOdd);
    const Polygon ring_again = Polygon::from_unit_vertices(ring.vertices(), ring.fill_rule()).value();
    EXPECT_EQ(ring_again.vertices(), ring.vertices());
    EXPECT_EQ(offsets(ring_again), offsets(ring));

    for (const auto& box : {Rectangle::build({10.1, 170.3}, {20.7, -170.9}).value(),
                            Rectangle::latitude_band(-10.3, 10.7).value(),
                            Rectangle::build({0, 10}, {10, 10 - 1e-8}).value()}) {
        const Rectangle again = Rectangle::from_bounds(box.south(), box.north(), box.west(), box.extent()).value();
        EXPECT_EQ(std::tuple(again.south(), again.north(), again.west(), again.extent(), again.is_band()),
                  std::tuple(box.south(), box.north(), box.west(), box.extent(), box.is_band()));
        EXPECT_EQ(offsets(again), offsets(box));
    }

    const Circle circle = Circle::build({20.3, 30.7}, 5.1).value();
    const Circle circle_again = Circle::from_centre(circle.centre(), circle.radius()).value();
    EXPECT_EQ(circle_again.centre(), circle.centre());
    EXPECT_EQ(offsets(circle_again), offsets(circle));
}

TEST(Areas, StoredFormsMeetTheChecksOfTheirShapes) {
    const Vec3 x{1, 0, 0}, y{0, 1, 0}, z{0, 0, 1};
    const double pole = 90 * kRadiansPerDegree;
    EXPECT_EQ(failure(Polygon::from_unit_vertices(std::vector<Vec3>{x, y, {0, 0, 2}}, FillRule::NonZero)),
              "polygon vertex length is out of range: 2");
    EXPECT_EQ(failure(Polygon::from_unit_vertices(std::vector<Vec3>{x, y, {kNaN, 0, 0}}, FillRule::NonZero)),
              "polygon vertex length is out of range: NaN");
    EXPECT_EQ(failure(Polygon::from_unit_vertices(std::vector<Vec3>{x, y, y, x}, FillRule::NonZero)),
              "polygon needs at least 3 distinct vertices, got 2");
    EXPECT_EQ(failure(Polygon::from_unit_vertices(std::vector<Vec3>{x, {-1, 0, 0}, z}, FillRule::NonZero)),
              "polygon edge 0 joins antipodal vertices; no unique great-circle arc joins them");
    EXPECT_TRUE(Rectangle::from_bounds(-pole, pole, -kPi, 2 * kPi));
    EXPECT_EQ(failure(Rectangle::from_bounds(0, std::nextafter(pole, 2.0), 0, 1)),
              "latitude 90.00000000000001 is outside [-90, 90]");
    EXPECT_EQ(failure(Rectangle::from_bounds(0, 1, kPi, 1)),
              "rectangle west bound in radians is out of range: 3.141592653589793");
    EXPECT_EQ(failure(Rectangle::from_bounds(0, 1, 0, kNaN)), "rectangle extent in radians is out of range: NaN");
    EXPECT_EQ(failure(Rectangle::from_bounds(0, 1, 0, 0)).substr(0, 19), "rectangle is empty:");
    EXPECT_EQ(failure(Circle::from_centre({0, 0, 0.5}, 0.1)), "circle centre length is out of range: 0.5");
    EXPECT_EQ(failure(Circle::from_centre(z, pole)), "circle radius must lie in (0, 90°), got 90°");
}

TEST(Areas, PointWithoutPositionIsInfinitelyFarOutside) {
    for (const Area& area : {Area{polygon(kTriangle)}, Area{Rectangle::build({0, 0}, {10, 10}).value()},
                             Area{Rectangle::latitude_band(-90, 90).value()}, Area{Circle::build({0, 0}, 5).value()}})
        for (const LatLon& p : {LatLon{kNaN, 0}, LatLon{0, kNaN}, LatLon{kInf, 0}, LatLon{0, -kInf}}) {
            EXPECT_EQ(signed_angular_offset(area, p.latitude_deg, p.longitude_deg), -kInf);
            EXPECT_EQ(max_angular_distance(area, p.latitude_deg, p.longitude_deg), -kInf);
        }
}

namespace {

// An area with an independent reference: densely sampled boundary points, an
// inside test of the shape's own, and where to look (a box of latitude and
// longitude around a point).
struct Reference {
    Area area;
    std::vector<Vec3> boundary;
    std::function<bool(const Vec3&)> inside;
    LatLon around;
    double spread_deg;
};

constexpr double kSpacing = 4e-5;  // radians between boundary samples

void sample_arc(std::vector<Vec3>& out, const Vec3& a, const Vec3& b) {
    const double angle = angular_distance(a, b);
    const int steps = static_cast<int>(angle / kSpacing) + 1;
    for (int k = 0; k < steps; ++k) {
        const double t = angle * k / steps;
        const Vec3 from_a = scaled(a, std::sin(angle - t) / std::sin(angle));
        const Vec3 from_b = scaled(b, std::sin(t) / std::sin(angle));
        out.push_back({from_a.x + from_b.x, from_a.y + from_b.y, from_a.z + from_b.z});
    }
}

std::vector<Vec3> ring_samples(const std::vector<LatLon>& ring) {
    std::vector<Vec3> out;
    for (size_t i = 0; i < ring.size(); ++i)
        sample_arc(out, unit_vector(ring[i]), unit_vector(ring[(i + 1) % ring.size()]));
    return out;
}

// Whether the dense ring winds round p: the sum of the small turns between samples.
bool wound(const std::vector<Vec3>& ring, const Vec3& p) {
    double turns = 0.0;
    for (size_t i = 0; i < ring.size(); ++i) {
        const Vec3& u = ring[i];
        const Vec3& w = ring[(i + 1) % ring.size()];
        turns += std::atan2(dot(cross(u, w), p), dot(u, w) - dot(u, p) * dot(w, p));
    }
    return std::lround(turns / (2 * kPi)) != 0;
}

Reference concave_star() {
    std::vector<LatLon> ring;
    for (int i = 0; i < 14; ++i) {
        const double reach = i % 2 ? 2.0 : 6.0;
        ring.push_back({46 + reach * std::sin(i * kPi / 7), 2 + reach * std::cos(i * kPi / 7)});
    }
    auto samples = ring_samples(ring);
    return {polygon(ring), samples, [samples](const Vec3& p) { return wound(samples, p); }, {46, 2}, 12};
}

// A box given in degrees, sampled along its parallels and meridians, corners included.
Reference box(double south, double north, double west, double extent, LatLon around, double spread_deg) {
    std::vector<Vec3> edges;
    const auto steps = [](double span) { return static_cast<int>(span / degrees(kSpacing)) + 1; };
    for (int k = 0, n = steps(extent); k <= n; ++k)
        for (double latitude : {south, north}) edges.push_back(unit_vector({latitude, west + extent * k / n}));
    for (int k = 0, n = steps(north - south); k <= n; ++k)
        for (double longitude : {west, west + extent})
            edges.push_back(unit_vector({south + (north - south) * k / n, longitude}));
    const auto inside = [=](const Vec3& p) {
        const LatLon q = to_lat_lon(p);
        const bool east_of_west = std::fmod(q.longitude_deg - west + 720.0, 360.0) <= extent;
        return q.latitude_deg >= south && q.latitude_deg <= north && east_of_west;
    };
    return {Rectangle::build({south, west}, {north, west + extent}).value(), edges, inside, around, spread_deg};
}

struct ReferenceCase {
    const char* name;
    Reference (*make)();
};

void PrintTo(const ReferenceCase& reference, std::ostream* out) { *out << reference.name; }

}  // namespace

class AgainstReference : public testing::TestWithParam<ReferenceCase> {};

TEST_P(AgainstReference, OffsetIsTheBoundaryDistanceWithTheRightSign) {
    const Reference reference = GetParam().make();
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_int_distribution<size_t> sample(0, reference.boundary.size() - 1);
    for (int i = 0; i < 400; ++i) {
        // Half anywhere around the shape, half near its boundary.
        const LatLon& around = reference.around;
        const Vec3 near = reference.boundary[sample(rng)];
        const LatLon q = i % 2 ? LatLon{std::clamp(around.latitude_deg + reference.spread_deg * unit(rng), -90.0, 90.0),
                                        around.longitude_deg + reference.spread_deg * unit(rng)}
                               : to_lat_lon(minus(near, Vec3{1e-3 * unit(rng), 1e-3 * unit(rng), 1e-3 * unit(rng)}));
        const Vec3 p = unit_vector(q);
        double shortest_chord = kInf;
        for (const Vec3& b : reference.boundary) shortest_chord = std::min(shortest_chord, norm(minus(p, b)));
        const double nearest = 2 * std::asin(shortest_chord / 2);
        const double offset = signed_angular_offset(reference.area, q.latitude_deg, q.longitude_deg);
        ASSERT_LE(std::abs(offset), nearest + 1e-12) << q.latitude_deg << ", " << q.longitude_deg;
        ASSERT_GE(std::abs(offset), nearest - kSpacing / 2) << q.latitude_deg << ", " << q.longitude_deg;
        if (nearest > 1e-7) ASSERT_EQ(offset > 0, reference.inside(p)) << q.latitude_deg << ", " << q.longitude_deg;
    }
}

INSTANTIATE_TEST_SUITE_P(Areas, AgainstReference,
                         testing::Values(ReferenceCase{"ConcaveStar", &concave_star},
                                         ReferenceCase{"BoxAcrossTheAntimeridian",
                                                       [] { return box(-5, 4, 175, 13, {0, 180}, 25); }},
                                         ReferenceCase{"BoxToThePole", [] { return box(60, 90, -30, 70, {75, 0}, 180); }}),
                         [](const auto& info) { return std::string(info.param.name); });

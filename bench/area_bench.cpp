// Cost of one signed offset, the area search's per-step measure: a 50-vertex
// country-sized polygon for points inside, outside within its bounding cap (both
// passes over the edges) and outside beyond the cap (one pass), then a box, a band
// and a circle of similar size.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "areas/area.hpp"
#include "fixtures.hpp"

namespace {

using namespace orbweave::areas;

using orbweave::fixtures::country_ring;
constexpr LatLon kCentre = orbweave::fixtures::kCountryCentre;
using orbweave::fixtures::destination;

enum class Where { Inside, OutsideInCap, OutsideBeyondCap };

// 1000 points around the centre that fall in the wanted class.
std::vector<LatLon> points(const Polygon& polygon, Where where) {
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> bearing(0.0, 360.0), distance(0.0, 60.0);
    std::vector<LatLon> found;
    while (found.size() < 1000) {
        const double reach = where == Where::OutsideBeyondCap ? distance(rng) : distance(rng) / 8.0;
        const LatLon p = destination(kCentre, bearing(rng), reach);
        const double offset = polygon.signed_offset(p.latitude_deg, p.longitude_deg);
        const bool in_cap = angular_distance(polygon.centre(), unit_vector(p)) <= polygon.radius() + 1e-9;
        const Where is = offset > 0.0 ? Where::Inside : in_cap ? Where::OutsideInCap : Where::OutsideBeyondCap;
        if (is == where) found.push_back(p);
    }
    return found;
}

// Nanoseconds per call of `measure` over the points, printed with a checksum that
// keeps the calls from being optimised away.
template <class Measure>
void run(const char* name, const std::vector<LatLon>& at, Measure measure) {
    constexpr int kRounds = 2000;
    double sink = 0.0;
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < kRounds; ++round)
        for (const LatLon& p : at) sink += measure(p.latitude_deg, p.longitude_deg);
    const std::chrono::duration<double, std::nano> elapsed = std::chrono::steady_clock::now() - start;
    std::printf("%-40s %8.1f ns per call (checksum %.6g)\n", name,
                elapsed.count() / (static_cast<double>(kRounds) * static_cast<double>(at.size())), sink);
}

template <class Shape>
auto offset_of(const Shape& shape) {
    return [&shape](double latitude, double longitude) { return shape.signed_offset(latitude, longitude); };
}

}  // namespace

int main() {
    const Polygon polygon = Polygon::build(country_ring()).value();
    const Rectangle box = Rectangle::build({41.0, -4.0}, {51.0, 8.0}).value();
    const Rectangle band = Rectangle::latitude_band(41.0, 51.0).value();
    const Circle circle = Circle::build(kCentre, 5.0).value();
    const auto inside = points(polygon, Where::Inside);
    const auto near = points(polygon, Where::OutsideInCap);
    const auto far = points(polygon, Where::OutsideBeyondCap);
    std::vector<LatLon> mixed = inside;
    mixed.insert(mixed.end(), near.begin(), near.end());
    mixed.insert(mixed.end(), far.begin(), far.end());
    std::printf("polygon: %zu vertices, bounding cap %.2f deg\n", polygon.vertices().size(),
                polygon.radius() * kDegreesPerRadian);
    for (int round = 0; round < 2; ++round) {  // the first round warms caches and clocks
        run("polygon offset, inside", inside, offset_of(polygon));
        run("polygon offset, outside within the cap", near, offset_of(polygon));
        run("polygon offset, outside beyond the cap", far, offset_of(polygon));
        run("polygon farthest distance, mixed", mixed,
            [&](double latitude, double longitude) { return max_angular_distance(polygon, latitude, longitude); });
        run("box offset, mixed", mixed, offset_of(box));
        run("band offset, mixed", mixed, offset_of(band));
        run("circle offset, mixed", mixed, offset_of(circle));
    }
}

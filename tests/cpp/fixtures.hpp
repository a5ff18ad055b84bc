#pragma once
// Element sets and an area shared by the C++ tests and benchmarks.
#include <cmath>
#include <vector>

#include "areas/geometry.hpp"
#include "sgp4/elements.hpp"
#include "time/instant.hpp"

namespace orbweave::fixtures {

// The ISS on 2020-07-12 (a near-earth orbit with drag).
inline sgp4::ElementRecord iss_elements() {
    sgp4::ElementRecord r;
    r.norad_id = 25544;
    r.epoch = *time::Instant::from_civil(2020, 7, 12, 1, 19, 7, 199'616'000);
    r.mean_motion = 15.49560532;
    r.eccentricity = 0.0001771;
    r.inclination = 51.6435;
    r.right_ascension = 225.4004;
    r.argument_of_perigee = 44.9625;
    r.mean_anomaly = 5.1087;
    r.mean_motion_dot = 0.00289036;
    r.drag_term = 0.0049645;
    return r;
}

// A Molniya orbit whose passes over some sites climb to two peaks around apogee.
inline sgp4::ElementRecord molniya_elements() {
    sgp4::ElementRecord r;
    r.norad_id = 1;
    r.epoch = *time::Instant::from_civil(2020, 7, 12, 12, 0, 0, 0);
    r.mean_motion = 2.006;
    r.eccentricity = 0.74;
    r.inclination = 63.4;
    r.right_ascension = 225.0;
    r.argument_of_perigee = 270.0;
    r.mean_anomaly = 5.0;
    return r;
}

// The point reached from `from` along the initial bearing, both angles in degrees.
inline areas::LatLon destination(const areas::LatLon& from, double bearing_deg, double distance_deg) {
    using areas::kDegreesPerRadian, areas::kRadiansPerDegree;
    const double lat = from.latitude_deg * kRadiansPerDegree, bearing = bearing_deg * kRadiansPerDegree;
    const double d = distance_deg * kRadiansPerDegree;
    const double to_lat = std::asin(std::sin(lat) * std::cos(d) + std::cos(lat) * std::sin(d) * std::cos(bearing));
    const double east = std::atan2(std::sin(bearing) * std::sin(d) * std::cos(lat),
                                   std::cos(d) - std::sin(lat) * std::sin(to_lat));
    return {to_lat * kDegreesPerRadian, from.longitude_deg + east * kDegreesPerRadian};
}

inline constexpr areas::LatLon kCountryCentre{46.0, 2.0};

// A star-shaped ring of 50 vertices around kCountryCentre whose distance from it
// wanders between about 3 and 6 degrees, like the outline of a mid-sized country.
inline std::vector<areas::LatLon> country_ring() {
    std::vector<areas::LatLon> ring;
    for (int i = 0; i < 50; ++i) {
        const double bearing = 360.0 * i / 50.0;
        const double b = bearing * areas::kRadiansPerDegree;
        ring.push_back(destination(kCountryCentre, bearing, 4.5 + 1.0 * std::sin(3.0 * b) + 0.5 * std::cos(7.0 * b)));
    }
    return ring;
}

}  // namespace orbweave::fixtures

#pragma once
// Element sets shared by the C++ tests and benchmarks.
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

}  // namespace orbweave::fixtures

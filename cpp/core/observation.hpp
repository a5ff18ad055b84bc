#pragma once
// What a ground observer sees of the satellite, and what the satellite sees of a
// ground target.
#include "core/vectors.hpp"

namespace orbweave {

struct Observation {
    double azimuth = 0.0;    // radians from north, clockwise, in (-pi, pi]
    double elevation = 0.0;  // radians above the horizon plane
    double range = 0.0;      // metres
    double range_rate = 0.0; // metres per second, positive when receding

    bool operator==(const Observation&) const = default;
};

struct Pointing {
    Vec3 direction;          // unit vector in LVLH, or zero at zero range
    double range = 0.0;      // metres
    double range_rate = 0.0; // metres per second, positive when receding

    // Angle between the direction and nadir (LVLH +Z), degrees in [0, 180]; 0 for
    // the zero direction.
    double off_nadir_deg() const;
    bool operator==(const Pointing&) const = default;
};

// From an ENU state; no guard for zero range (the values are then not finite).
Observation observation_from_enu(const StateVector& enu);
// From an LVLH state; below 1e-9 m the range counts as zero.
Pointing pointing_from_lvlh(const StateVector& lvlh);

}  // namespace orbweave

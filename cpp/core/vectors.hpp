#pragma once
// Plain vectors and state vectors: metres and metres per second. The frame of a
// state vector is known from where it came from (TEME from the propagator, then
// ECEF, ENU or LVLH after a conversion).
namespace orbweave {

struct Vec3 {
    double x = 0.0, y = 0.0, z = 0.0;

    // IEEE comparison: a NaN component makes vectors unequal, even to themselves.
    bool operator==(const Vec3&) const = default;
};

struct StateVector {
    Vec3 position;  // metres
    Vec3 velocity;  // metres per second

    bool operator==(const StateVector&) const = default;
};

}  // namespace orbweave

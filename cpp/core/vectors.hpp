#pragma once
// Plain vectors and state vectors: metres and metres per second. The frame of a
// state vector is known from where it came from (TEME from the propagator, then
// ECEF, ENU or LVLH after a conversion).
#include <cmath>

namespace orbweave {

struct Vec3 {
    double x = 0.0, y = 0.0, z = 0.0;

    // IEEE comparison: a NaN component makes vectors unequal, even to themselves.
    bool operator==(const Vec3&) const = default;
};

inline double dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline Vec3 minus(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 scaled(const Vec3& a, double k) { return {a.x * k, a.y * k, a.z * k}; }
inline double norm(const Vec3& a) { return std::sqrt(dot(a, a)); }

struct StateVector {
    Vec3 position;  // metres
    Vec3 velocity;  // metres per second

    bool operator==(const StateVector&) const = default;
};

}  // namespace orbweave

#include "core/observation.hpp"

#include <cmath>

#include "core/frames.hpp"

namespace orbweave {

namespace {

constexpr double kZeroRangeMetres = 1e-9;

}  // namespace

double Pointing::off_nadir_deg() const {
    return std::atan2(std::hypot(direction.x, direction.y), direction.z) * frames::kDegreesPerRadian;
}

Observation observation_from_enu(const StateVector& enu) {
    const double e = enu.position.x, n = enu.position.y, u = enu.position.z;
    const double ve = enu.velocity.x, vn = enu.velocity.y, vu = enu.velocity.z;
    const double range = std::sqrt(u * u + (n * n + e * e));
    return {std::atan2(e, n), std::asin(u / range), range, (vu * u + (vn * n + ve * e)) / range};
}

Pointing pointing_from_lvlh(const StateVector& lvlh) {
    const Vec3& p = lvlh.position;
    const Vec3& w = lvlh.velocity;
    const double range = std::sqrt(p.z * p.z + (p.y * p.y + p.x * p.x));
    if (range < kZeroRangeMetres) return {};
    return {{p.x / range, p.y / range, p.z / range}, range, (p.x * w.x + p.y * w.y + p.z * w.z) / range};
}

}  // namespace orbweave

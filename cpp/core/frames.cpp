#include "core/frames.hpp"

#include <cmath>
#include <numbers>

#include "util/fast_fmod.hpp"

namespace orbweave::frames {

namespace {

constexpr double kSecondsPerDay = 86400.0;

}  // namespace

double gmst(time::Instant t) {
    const double s = t.to_unix_seconds_f64();
    const double jd = s / kSecondsPerDay + 2440587.5;
    const double centuries = (jd - 2451545.0) / 36525.0;
    const double g = 3164400184.812866 * centuries + 67310.54841 + 0.093104 * centuries * centuries -
                     6.2e-6 * centuries * centuries * centuries;
    return fast_fmod(fast_fmod(g, kSecondsPerDay) + kSecondsPerDay, kSecondsPerDay) * 2.0 * std::numbers::pi /
           kSecondsPerDay;
}

StateVector teme_to_ecef(const StateVector& teme, time::Instant t) {
    const double theta = gmst(t);
    const double c = std::cos(theta), s = std::sin(theta);
    const Vec3& r = teme.position;
    const Vec3& v = teme.velocity;
    const Vec3 position{c * r.x + s * r.y, c * r.y - s * r.x, r.z};
    const Vec3 velocity{c * v.x + s * v.y + kEarthRotationRadPerS * position.y,
                        c * v.y - s * v.x - kEarthRotationRadPerS * position.x, v.z};
    return {position, velocity};
}

StateVector ecef_to_teme(const StateVector& ecef, time::Instant t) {
    const double theta = gmst(t);
    const double c = std::cos(theta), s = std::sin(theta);
    const Vec3& r = ecef.position;
    const Vec3& v = ecef.velocity;
    const Vec3 position{c * r.x - s * r.y, c * r.y + s * r.x, r.z};
    const double a = v.x - kEarthRotationRadPerS * r.y;
    const double b = v.y + kEarthRotationRadPerS * r.x;
    return {position, {c * a - s * b, c * b + s * a, v.z}};
}

Vec3 geodetic_to_ecef(const Geodetic& point) {
    const double phi = point.latitude_deg * kRadiansPerDegree;
    const double lambda = point.longitude_deg * kRadiansPerDegree;
    const double sin_phi = std::sin(phi);
    const double n = kWgs84A / std::sqrt(1.0 - kWgs84E2 * sin_phi * sin_phi);
    const double h = point.altitude;
    return {(n + h) * std::cos(phi) * std::cos(lambda), (n + h) * std::cos(phi) * std::sin(lambda),
            (n * (1.0 - kWgs84E2) + h) * sin_phi};
}

Geodetic ecef_to_geodetic(const Vec3& r) {
    const double p = (r.x * r.x + r.y * r.y) / kWgs84A2;
    const double q = kWgs84OneMinusE2 * r.z * r.z / kWgs84A2;
    const double rr = (p + q - kWgs84E4) / 6.0;
    if (rr <= 0.0) return {0.0, 0.0, -kWgs84A};  // only near the Earth's centre
    const double s = kWgs84E4 * p * q / (4.0 * rr * rr * rr);
    const double t = std::cbrt(1.0 + s + std::sqrt(s * (2.0 + s)));
    const double u = rr * (1.0 + t + 1.0 / t);
    const double v = std::sqrt(u * u + kWgs84E4 * q);
    const double w = kWgs84E2 * (u + v - q) / (2.0 * v);
    const double k = std::sqrt(u + v + w * w) - w;
    const double d = k * std::sqrt(r.x * r.x + r.y * r.y) / (k + kWgs84E2);
    const double l = std::sqrt(d * d + r.z * r.z);
    return {2.0 * std::atan2(r.z, d + l) * kDegreesPerRadian, std::atan2(r.y, r.x) * kDegreesPerRadian,
            (k + kWgs84E2 - 1.0) / k * l};
}

EnuFrame::EnuFrame(const Geodetic& observer)
    : origin_(geodetic_to_ecef(observer)),
      sin_lat_(std::sin(observer.latitude_deg * kRadiansPerDegree)),
      cos_lat_(std::cos(observer.latitude_deg * kRadiansPerDegree)),
      sin_lon_(std::sin(observer.longitude_deg * kRadiansPerDegree)),
      cos_lon_(std::cos(observer.longitude_deg * kRadiansPerDegree)) {}

StateVector EnuFrame::project(const StateVector& ecef) const {
    const auto rotate = [&](const Vec3& d) {
        return Vec3{-sin_lon_ * d.x + cos_lon_ * d.y,
                    -sin_lat_ * cos_lon_ * d.x - sin_lat_ * sin_lon_ * d.y + cos_lat_ * d.z,
                    cos_lat_ * cos_lon_ * d.x + cos_lat_ * sin_lon_ * d.y + sin_lat_ * d.z};
    };
    return {rotate(minus(ecef.position, origin_)), rotate(ecef.velocity)};
}

StateVector ecef_to_enu(const StateVector& ecef, const Geodetic& observer) { return EnuFrame(observer).project(ecef); }

StateVector teme_to_lvlh(const StateVector& satellite, const StateVector& target) {
    const Vec3& r = satellite.position;
    const Vec3 z = scaled(r, -1.0 / norm(r));
    const Vec3 h = cross(r, satellite.velocity);
    const Vec3 y = scaled(h, -1.0 / norm(h));
    const Vec3 x = cross(y, z);
    const Vec3 dr = minus(target.position, r);
    const Vec3 dv = minus(target.velocity, satellite.velocity);
    return {{dot(x, dr), dot(y, dr), dot(z, dr)}, {dot(x, dv), dot(y, dv), dot(z, dv)}};
}

}  // namespace orbweave::frames

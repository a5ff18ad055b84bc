#include "searches/visibility_bound.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "sgp4/sgp4.hpp"

// Why a satellite below the mask cannot reach it sooner than `seconds_below` says.
//
// The mask as a reach. Elevation is measured from the ellipsoid normal at the
// observer; the geocentric elevation, from the observer's radius vector, differs
// from it by at most the angle between the two verticals, so a satellite at or
// above the mask has a geocentric elevation e of at least the mask less that
// angle. In the plane through the Earth's centre C, the observer O (|CO| = R0) and
// the satellite S (|CS| = r) at the Earth-central angle psi from O, the angle at O
// is 90 deg + e, and the law of sines gives cos(psi + e) = R0 cos(e) / r. So psi =
// acos(R0 cos(e) / r) - e, which falls as e grows (its derivative in e is at most 0
// while R0 / r < 1) and grows with r: a satellite at or above the mask and no
// farther than r from the centre stands within reach(r) = acos(R0 cos(e_mask) / r)
// - e_mask of the observer. reach is concave in r, so reach(r + dr) <= reach(r) +
// reach'(r) dr.
//
// How the satellite moves. From the present state, the osculating conic (energy
// and angular momentum h) gives the apoapsis, raised by kRadiusMargin, and the
// largest radial speed, e sqrt(mu / p) raised by kRadialSpeedSlack of the circular
// speed. Over the next revolution SGP4's short-period and drag terms carry the
// satellite at most 0.32 % beyond that apoapsis, its radial speed at most 0.19 % of
// the circular speed beyond that bound, and its rate in the plane at most 0.85 %
// beyond the periapsis rate (measured against the published SGP4 code over days of
// near-circular, sun-synchronous, very low, eccentric, MEO, Molniya, transfer and
// geostationary orbits, with and without heavy drag); the margins are about three
// times those.
// So within t seconds the reach is at most the smaller of reach(apoapsis) and
// reach(r) + kappa t, kappa = reach'(r) times the radial speed. The satellite moves
// forward in its orbital plane at h / r^2, kept between the rates at periapsis and
// apoapsis widened by kRateMargin.
//
// Three necessary conditions for being within reach R, each with the time it takes
// at the least; the bound is the largest:
// - central: psi <= R. psi shrinks no faster than the satellite's direction turns
//   in the Earth-fixed frame: it turns at h / r^2 about the orbit normal n, and the
//   frame turns back at w_earth about the z axis, so at most |h / r^2 n - w_earth
//   z| (near zero for a geostationary orbit), as long as n stays put, and never
//   faster than h / r^2 + w_earth.
// - plane: beta <= R, with beta the observer's angular distance from the orbital
//   plane (psi >= beta, since the satellite lies in the plane). beta changes only
//   as the observer turns with the Earth (w_earth) and the plane turns: nodal
//   regression and short-period terms, both of the order of J2 (R_e / p)^2 times
//   the orbital rate (1.6e-6 rad/s measured in low orbits, 3e-7 for Molniya and
//   transfer orbits, 1e-9 for geostationary ones); kPlaneTurnPerJ2 allows about
//   four times that, and kPlaneTurnFloor covers the lunar and solar terms.
// - along-track: with du the angle in the plane from the satellite to the
//   observer's foot on the plane (its direction less its part along the normal),
//   cos(psi) = cos(beta) cos(du), so psi <= R < 90 deg needs |du| <= D(beta, R) =
//   acos(cos R / cos beta) <= R. The foot moves at most (w_earth + the plane's
//   turn) / cos(beta), plus the plane's turn, so at most foot_rate while beta
//   stays below R + kFootSlack; if beta rises past that, coming back down takes
//   kFootSlack more at the rate beta changes (plane_excursion). The gap ahead of the satellite
//   closes no faster than its fastest rate plus foot_rate. The gap behind it (once
//   it has passed the foot) grows at least at its slowest rate less foot_rate, so
//   it closes only if the foot outruns the satellite (over a geostationary orbit's
//   track) or the window D opens faster than the satellite recedes. D(t), with R
//   growing at kappa and beta falling at its largest rate, is concave in t, so it
//   stays below its tangent D0 + D0' t.
//
// A conic whose periapsis lies below the Earth's surface (a decaying orbit in its
// last revolutions, where the drag terms dominate) gives no bound: NaN, on which
// the scan takes its shortest step. kAngleSlack absorbs rounding.

namespace orbweave::searches {

namespace {

constexpr double kHalfPi = std::numbers::pi / 2.0;
constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kMu = sgp4::kMuKm3S2 * 1e9;  // m^3 / s^2

constexpr double kRadiusMargin = 0.01;
constexpr double kRadialSpeedSlack = 0.005;
constexpr double kRateMargin = 0.025;
constexpr double kEarthRadius = sgp4::kEarthRadiusKm * 1e3;  // m
constexpr double kPlaneTurnPerJ2 = 6.0;
constexpr double kPlaneTurnFloor = 1e-7;  // rad / s
constexpr double kFootSlack = 0.1;        // rad
constexpr double kAngleSlack = 1e-6;        // rad
constexpr double kLowestPeriapsis = 6.3e6;  // m, below the polar radius
constexpr double kFirstGuessSeconds = 10.0;

// The angle between two vectors, accurate at every size.
double angle_between(const Vec3& a, const Vec3& b) { return std::atan2(norm(cross(a, b)), dot(a, b)); }

// Seconds until `gap` closes to a window `window` wide when it closes at `rate`
// (net of the window's own growth): 0 when it is within the window already, never
// when it does not close.
double closing(double gap, double window, double rate) {
    if (gap <= window) return 0.0;
    return rate > 0.0 ? (gap - window) / rate : kInfinity;
}

// How fast the satellite's direction can turn in the Earth-fixed frame when it
// turns at `in_plane` about its orbit normal (z component `normal_z`), which the
// Earth's rotation turns back about the z axis: |in_plane n - w_earth z|.
double turn_rate(double in_plane, double normal_z) {
    const double w = frames::kEarthRotationRadPerS;
    return std::sqrt(std::max(in_plane * in_plane + w * w - 2.0 * in_plane * w * normal_z, 0.0));
}

// The window D(beta, R) = acos(cos R / cos beta) along the plane; R itself on it.
double along_window(double reach, double beta) {
    return beta == 0.0 ? reach : std::acos(std::min(std::cos(reach) / std::cos(beta), 1.0));
}

}  // namespace

VisibilityBound::VisibilityBound(const frames::Geodetic& observer, double mask_rad) {
    const Vec3 position = frames::geodetic_to_ecef(observer);
    observer_radius_ = norm(position);
    observer_direction_ = scaled(position, 1.0 / observer_radius_);
    const double phi = observer.latitude_deg * frames::kRadiansPerDegree;
    const double lambda = observer.longitude_deg * frames::kRadiansPerDegree;
    const Vec3 up{std::cos(phi) * std::cos(lambda), std::cos(phi) * std::sin(lambda), std::sin(phi)};
    // Above 90 deg no satellite can ever be seen: the mask stays out of reach.
    mask_ = mask_rad > kHalfPi ? mask_rad : std::max(mask_rad - angle_between(up, position), -kHalfPi);
}

double VisibilityBound::reach(double radius) const {
    const double k = observer_radius_ / radius;
    // A satellite no higher than the observer never rises above its geocentric
    // horizon; below it the formula does not apply, and everything is in reach.
    if (k >= 1.0) return mask_ >= 0.0 ? -kInfinity : std::numbers::pi;
    return std::acos(k * std::cos(mask_)) - mask_ + kAngleSlack;
}

double VisibilityBound::reach_slope(double radius) const {
    const double c = observer_radius_ * std::cos(mask_);
    if (!(observer_radius_ < radius) || !(c < radius)) return kInfinity;
    return c / (radius * std::sqrt(radius * radius - c * c));
}

// What one state tells: the osculating conic, the satellite's direction and plane,
// and where the observer stands relative to them.
struct VisibilityBound::Sighting {
    double r, h, radial_speed;
    double periapsis, farthest;  // the apoapsis with its margin
    double slowest;              // least rate in the plane
    double plane_turn;           // how fast the plane itself can turn
    double normal_z;             // of the orbit normal
    double psi, beta, ahead, behind;
    double sin_beta, cos_beta;   // of |beta|

    // How fast beta can change: the observer turns with the Earth, the plane turns.
    double plane_drift() const { return frames::kEarthRotationRadPerS + plane_turn; }

    // The largest rate in the plane within a stretch of `seconds`: the distance
    // falls at most at the radial speed, never below the periapsis.
    double fastest_within(double seconds) const {
        const double nearest = std::max(r - radial_speed * seconds, periapsis);
        return h / (nearest * nearest) * (1.0 + kRateMargin);
    }

    // How fast the satellite's direction can turn in the Earth-fixed frame within a
    // stretch of `seconds`: at most |rate n - w_earth z| for the rates in the plane
    // (the larger at either end), plus what the plane's turn adds to n over the
    // stretch, and never more than rate + w_earth.
    double turn_within(double seconds) const {
        const double fastest = fastest_within(seconds);
        const double plain = fastest + frames::kEarthRotationRadPerS;
        if (!(plane_turn * seconds < 2.0)) return plain;  // the normal may have turned anywhere
        return std::min(plain, std::max(turn_rate(fastest, normal_z), turn_rate(slowest, normal_z)) +
                                   fastest * plane_turn * seconds);
    }

    // How fast the observer's foot moves along the plane while beta stays below
    // reach + kFootSlack, measured in the turning plane.
    double foot_rate(double reach) const { return plane_drift() / std::cos(reach + kFootSlack) + plane_turn; }

    // Coming back below a reach after beta has risen past reach + kFootSlack.
    double plane_excursion(double reach) const { return (reach + 2.0 * kFootSlack - beta) / plane_drift(); }
};

double VisibilityBound::seconds_below(const Vec3& position, const Vec3& inertial_velocity, double horizon) const {
    if (mask_ > kHalfPi) return kInfinity;
    Sighting s{};
    s.r = norm(position);
    const Vec3 momentum = cross(position, inertial_velocity);
    s.h = norm(momentum);
    const double p = s.h * s.h / kMu;  // semi-latus rectum
    const double e = std::sqrt(std::max(1.0 - p * (2.0 / s.r - dot(inertial_velocity, inertial_velocity) / kMu), 0.0));
    s.periapsis = p / (1.0 + e);
    if (!(s.periapsis >= kLowestPeriapsis)) return std::numeric_limits<double>::quiet_NaN();
    s.farthest = (e < 1.0 ? p / (1.0 - e) : kInfinity) * (1.0 + kRadiusMargin);
    s.radial_speed = (e + kRadialSpeedSlack) * std::sqrt(kMu / p);
    s.slowest = s.h / (s.farthest * s.farthest) * (1.0 - kRateMargin);
    const double oblateness = kEarthRadius / p;
    s.plane_turn = kPlaneTurnPerJ2 * sgp4::kJ2 * oblateness * oblateness * s.fastest_within(kInfinity) + kPlaneTurnFloor;
    const Vec3 normal = scaled(momentum, 1.0 / s.h);
    s.normal_z = normal.z;
    const double sin_beta = std::clamp(dot(observer_direction_, normal), -1.0, 1.0);
    s.sin_beta = std::abs(sin_beta);
    s.cos_beta = std::sqrt(1.0 - sin_beta * sin_beta);
    s.beta = std::atan2(s.sin_beta, s.cos_beta);

    // The plane alone first: far from it, it settles the step cheaply.
    const double far_reach = reach(s.farthest);
    double bound = (s.beta - far_reach) / s.plane_drift();
    if (!(bound < horizon)) return bound;  // NaN too

    const Vec3 satellite = scaled(position, 1.0 / s.r);
    const Vec3 foot = minus(observer_direction_, scaled(normal, sin_beta));
    const double du = std::atan2(dot(cross(satellite, foot), normal), dot(satellite, foot));
    s.ahead = du >= 0.0 ? du : du + kTwoPi;
    s.behind = kTwoPi - s.ahead;
    s.psi = angle_between(satellite, observer_direction_);
    bound = std::max(bound, within(s, kInfinity, far_reach, 0.0));
    if (!(bound < horizon)) return bound;

    bound = std::max(bound, growing_window_bound(s, far_reach));
    // Stretches of a guessed length T: their worst reach and plane distance.
    double guess = 2.0 * std::max(bound, 0.0) + kFirstGuessSeconds;
    for (int round = 0; round < 2 && bound < horizon; ++round) {
        const double stretch_reach = reach(std::min(s.r + s.radial_speed * guess, s.farthest));
        const double least_beta = std::max(s.beta - s.plane_drift() * guess, 0.0);
        const double needed =
            least_beta > stretch_reach ? kInfinity : within(s, guess, stretch_reach, least_beta);
        bound = std::max(bound, std::min(needed, guess));
        if (!(needed > guess)) break;
        guess = std::min(needed, 2.0 * horizon);
    }
    return std::max(bound, 0.0);
}

// The time the three conditions take within a stretch of `seconds` over which the
// reach stays at most `reach` and beta at least `least_beta` (the result holds up
// to the stretch's length).
double VisibilityBound::within(const Sighting& s, double seconds, double reach, double least_beta) const {
    const double fastest = s.fastest_within(seconds);
    const double central = closing(s.psi, reach, s.turn_within(seconds));
    if (!(reach + kFootSlack < kHalfPi)) return central;  // no along-track bound
    const double foot_rate = s.foot_rate(reach);
    const double window = along_window(reach, least_beta);
    const double forward = closing(s.ahead, window, fastest + foot_rate);
    const double from_behind = closing(s.behind, window, foot_rate - s.slowest);
    return std::max(central, std::min({forward, from_behind, s.plane_excursion(reach)}));
}

// Bounds for every stretch at once: the reach grows at most at kappa from the
// reach at the present distance, and the window D at most along its tangent.
double VisibilityBound::growing_window_bound(const Sighting& s, double far_reach) const {
    const double near_reach = reach(s.r);
    const double kappa = reach_slope(s.r) * s.radial_speed;
    if (!std::isfinite(near_reach) || !std::isfinite(kappa)) return 0.0;
    const double fastest = s.fastest_within(kInfinity);
    const double central = closing(s.psi, near_reach, s.turn_within(kInfinity) + kappa);
    const double plane = closing(s.beta, near_reach, s.plane_drift() + kappa);
    if (!(far_reach + kFootSlack < kHalfPi)) return std::max(central, plane);
    const double foot_rate = s.foot_rate(far_reach);
    double forward = closing(s.ahead, near_reach, fastest + foot_rate + kappa);
    double from_behind = closing(s.behind, near_reach, foot_rate - s.slowest + kappa);
    if (s.beta < near_reach) {
        // dD/dt from dD/dR = sin R / (cos beta sin D) and dD/dbeta = -cos R sin beta / (cos^2 beta sin D).
        const double sin_reach = std::sin(near_reach), cos_reach = std::cos(near_reach);
        const double cos_window = std::min(cos_reach / s.cos_beta, 1.0);
        const double window = std::acos(cos_window);
        const double opening = (sin_reach * kappa + cos_reach * s.sin_beta / s.cos_beta * s.plane_drift()) /
                               (s.cos_beta * std::sqrt(1.0 - cos_window * cos_window));
        forward = std::max(forward, closing(s.ahead, window, fastest + foot_rate + opening));
        from_behind = std::max(from_behind, closing(s.behind, window, foot_rate - s.slowest + opening));
    }
    return std::max({central, plane, std::min({forward, from_behind, s.plane_excursion(far_reach)})});
}

}  // namespace orbweave::searches

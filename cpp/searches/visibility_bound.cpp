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
// satellite at most a few parts in a thousand beyond that apoapsis, and its radial
// speed at most 0.2 % of the circular speed beyond that bound (measured against
// the published SGP4 code for near-circular, sun-synchronous, very low, eccentric,
// MEO, Molniya, transfer and geostationary orbits, with and without heavy drag).
// So within t seconds the reach is at most the smaller of reach(apoapsis) and
// reach(r) + kappa t, kappa = reach'(r) times the radial speed. The satellite moves
// forward in its orbital plane at h / r^2, kept between the rates at periapsis and
// apoapsis widened by kRateMargin.
//
// Three necessary conditions for being within reach R, each with the time it takes
// at the least; the bound is the largest:
// - central: psi <= R. psi shrinks no faster than the satellite's direction turns
//   in the Earth-fixed frame, h / r^2 + w_earth.
// - plane: beta <= R, with beta the observer's angular distance from the orbital
//   plane (psi >= beta, since the satellite lies in the plane). beta changes only
//   as the observer turns with the Earth (w_earth) and the plane turns (nodal
//   regression and short-period terms, about 2e-6 rad/s in low orbits): kPlaneTurn
//   allows ten times that.
// - along-track: with du the angle in the plane from the satellite to the
//   observer's foot on the plane (its direction less its part along the normal),
//   cos(psi) = cos(beta) cos(du), so psi <= R < 90 deg needs |du| <= D(beta, R) =
//   acos(cos R / cos beta) <= R. The foot moves at most (w_earth + kPlaneTurn) /
//   cos(beta) plus the plane's turn, so at most foot_rate while beta stays below
//   R + kFootSlack; if beta rises past that, coming back down takes kFootSlack /
//   kPlaneDrift more (the plane_excursion term). The gap ahead of the satellite
//   closes no faster than its fastest rate plus foot_rate. The gap behind it (once
//   it has passed the foot) grows at least at its slowest rate less foot_rate, so
//   it closes only if the foot outruns the satellite (over a geostationary orbit's
//   track) or the window D opens faster than the satellite recedes. D(t), with R
//   growing at kappa and beta falling at kPlaneDrift, is concave in t, so it stays
//   below its tangent D0 + D0' t.
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
constexpr double kRadialSpeedSlack = 0.01;
constexpr double kRateMargin = 0.05;
constexpr double kPlaneTurn = 2e-5;  // rad / s
constexpr double kPlaneDrift = frames::kEarthRotationRadPerS + kPlaneTurn;
constexpr double kFootSlack = 0.1;          // rad
constexpr double kAngleSlack = 1e-6;        // rad
constexpr double kLowestPeriapsis = 6.3e6;  // m, below the polar radius

// The angle between two vectors, accurate at every size.
double angle_between(const Vec3& a, const Vec3& b) { return std::atan2(norm(cross(a, b)), dot(a, b)); }

// Seconds until `gap` closes to `window` at `rate`; never when the rate is not positive.
double closing(double gap, double window, double rate) { return rate > 0.0 ? (gap - window) / rate : kInfinity; }

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

double VisibilityBound::seconds_below(const Vec3& position, const Vec3& inertial_velocity, double horizon) const {
    if (mask_ > kHalfPi) return kInfinity;
    const double r = norm(position);
    const Vec3 momentum = cross(position, inertial_velocity);
    const double h = norm(momentum);
    const double p = h * h / kMu;  // semi-latus rectum
    const double e = std::sqrt(std::max(1.0 - p * (2.0 / r - dot(inertial_velocity, inertial_velocity) / kMu), 0.0));
    const double periapsis = p / (1.0 + e);
    if (!(periapsis >= kLowestPeriapsis)) return std::numeric_limits<double>::quiet_NaN();
    const double farthest = (e < 1.0 ? p / (1.0 - e) : kInfinity) * (1.0 + kRadiusMargin);
    const double fastest = h / (periapsis * periapsis) * (1.0 + kRateMargin);
    const double slowest = h / (farthest * farthest) * (1.0 - kRateMargin);
    const double far_reach = reach(farthest);

    // The plane alone first: far from the plane it settles the step cheaply.
    const Vec3 normal = scaled(momentum, 1.0 / h);
    const double sin_beta = std::clamp(dot(observer_direction_, normal), -1.0, 1.0);
    const double beta = std::asin(std::abs(sin_beta));
    double bound = (beta - far_reach) / kPlaneDrift;
    if (!(bound < horizon)) return bound;  // NaN too

    // Along the track, with the reach at the apoapsis (D <= R).
    const Vec3 satellite = scaled(position, 1.0 / r);
    const bool along_track = far_reach + kFootSlack < kHalfPi;
    const double foot_rate = along_track ? kPlaneDrift / std::cos(far_reach + kFootSlack) + kPlaneTurn : 0.0;
    const Vec3 foot = minus(observer_direction_, scaled(normal, sin_beta));
    const double du = std::atan2(dot(cross(satellite, foot), normal), dot(satellite, foot));
    const double ahead = du >= 0.0 ? du : du + kTwoPi, behind = kTwoPi - ahead;
    const double approach = fastest + foot_rate, recession = slowest - foot_rate;
    const double plane_excursion = (far_reach + 2.0 * kFootSlack - beta) / kPlaneDrift;
    const auto along = [&](double forward, double from_behind) {
        return along_track ? std::min({forward, from_behind, plane_excursion}) : 0.0;
    };
    const double from_behind_far = behind > far_reach && recession > 0.0 ? kInfinity
                                                                          : closing(behind, far_reach, -recession);
    bound = std::max(bound, along(closing(ahead, far_reach, approach), from_behind_far));
    if (!(bound < horizon)) return bound;

    // Near the observer: the reach from the present distance and its growth.
    const double psi = angle_between(satellite, observer_direction_);
    const double turn = fastest + frames::kEarthRotationRadPerS;
    bound = std::max(bound, (psi - far_reach) / turn);
    const double near_reach = reach(r);
    const double kappa = reach_slope(r) * (e + kRadialSpeedSlack) * std::sqrt(kMu / p);
    if (!std::isfinite(near_reach) || !std::isfinite(kappa)) return std::max(bound, 0.0);
    bound = std::max({bound, (psi - near_reach) / (turn + kappa), (beta - near_reach) / (kPlaneDrift + kappa)});
    double forward = std::max(closing(ahead, far_reach, approach), closing(ahead, near_reach, approach + kappa));
    double from_behind = recession > 0.0 ? (kappa < recession ? kInfinity : closing(behind, near_reach, kappa - recession))
                                         : std::max(from_behind_far, closing(behind, near_reach, kappa - recession));
    if (beta <= near_reach) {
        // The tangent of the window D(t) = D(beta - kPlaneDrift t, near_reach + kappa t).
        const double cos_beta = std::cos(beta);
        const double cos_window = std::min(std::cos(near_reach) / cos_beta, 1.0);
        const double window = std::acos(cos_window);
        const double sin_window = std::sqrt(1.0 - cos_window * cos_window);
        const double opening = (std::sin(near_reach) * kappa +
                                std::cos(near_reach) * std::abs(sin_beta) / cos_beta * kPlaneDrift) /
                               (cos_beta * sin_window);
        if (ahead <= window || behind <= window) return std::max(bound, 0.0);
        forward = std::max(forward, closing(ahead, window, approach + opening));
        from_behind = std::max(from_behind, closing(behind, window, opening - recession));
    }
    return std::max({bound, along(forward, from_behind), 0.0});
}

}  // namespace orbweave::searches

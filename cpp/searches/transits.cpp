#include "searches/transits.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "sgp4/sgp4.hpp"
#include "time/text.hpp"
#include "util/trace.hpp"

namespace orbweave::searches {

namespace {

constexpr double kRateGuardMetres = 1e-12;
constexpr double kHalfPi = std::numbers::pi / 2.0;

// Why a satellite below the mask cannot reach it sooner than `seconds_below` says.
//
// Elevation is measured from the ellipsoid normal at the observer. The geocentric
// elevation, measured from the observer's radius vector, differs from it by at
// most the angle between the two verticals, so an elevation at or above the mask
// means a geocentric elevation e of at least the mask less that angle.
//
// In the plane through the Earth's centre C, the observer O (|CO| = R) and the
// satellite S (|CS| = r), S at the Earth-central angle psi from O, the triangle's
// angle at O is 90 deg + e, and the law of sines gives cos(psi + e) = R cos(e) / r.
// So psi = acos(R cos(e) / r) - e, which falls as e grows (its derivative in e is
// at most 0 while R / r < 1) and grows with r. A satellite no farther than r_max with a geocentric elevation of at
// least e_mask therefore stands within reach(r_max) = acos(R cos(e_mask) / r_max)
// - e_mask of the observer.
//
// r_max is the apoapsis of the osculating conic of the present state (from its
// energy and angular momentum), raised by kRadiusMargin: over the next half
// revolution SGP4's short-period and drag terms carry the satellite at most a few
// parts in a thousand beyond it (measured against the published SGP4 code for
// near-circular, sun-synchronous, very low, eccentric, MEO, Molniya, transfer and
// geostationary orbits). No step lasts longer than half a revolution at the
// periapsis rate, or than the plane bound below, whose span is a few hours.
//
// Two rates bound how fast the gap to the reach can close:
// - psi cannot shrink faster than the satellite's direction turns in the
//   Earth-fixed frame: at most h / r^2 + w_earth <= h / r_p^2 + w_earth, with h the
//   angular momentum and r_p the periapsis of the same conic; h / r_p^2 is raised
//   by kRateMargin for the drift of the conic along the step.
// - The satellite lies in its orbital plane, so psi is at least the observer's
//   angular distance beta from that plane. beta changes only as the observer turns
//   with the Earth (at most w_earth) and as the plane itself turns (nodal
//   regression and short-period terms, about 2e-6 rad/s in low orbits);
//   kPlaneTurnRate allows ten times that.
// Either gap divided by its rate is a time during which the satellite stays below
// the mask; the larger of the two is the bound. kAngleSlack absorbs rounding.
//
// A conic whose periapsis lies below the Earth's surface (a decaying orbit in its
// last revolutions, where the drag terms dominate) gives no bound: NaN, on which
// the scan takes its shortest step.
constexpr double kMu = sgp4::kMuKm3S2 * 1e9;  // m^3 / s^2
constexpr double kRadiusMargin = 0.01;
constexpr double kRateMargin = 0.05;
constexpr double kPlaneTurnRate = 2e-5;     // rad / s
constexpr double kAngleSlack = 1e-6;        // rad
constexpr double kLowestPeriapsis = 6.3e6;  // m, below the polar radius

// The angle between two vectors, accurate at every size.
double angle_between(const Vec3& a, const Vec3& b) { return std::atan2(norm(cross(a, b)), dot(a, b)); }

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
    if (k >= 1.0) return mask_ >= 0.0 ? -std::numeric_limits<double>::infinity() : std::numbers::pi;
    return std::acos(k * std::cos(mask_)) - mask_ + kAngleSlack;
}

double VisibilityBound::seconds_below(const Vec3& position, const Vec3& inertial_velocity) const {
    if (mask_ > kHalfPi) return std::numeric_limits<double>::infinity();
    const double r = norm(position);
    const Vec3 momentum = cross(position, inertial_velocity);
    const double h = norm(momentum);
    // The osculating conic: semi-latus rectum p, eccentricity from the energy.
    const double p = h * h / kMu;
    const double inverse_a = 2.0 / r - dot(inertial_velocity, inertial_velocity) / kMu;
    const double e = std::sqrt(std::max(1.0 - p * inverse_a, 0.0));
    const double periapsis = p / (1.0 + e);
    if (!(periapsis >= kLowestPeriapsis)) return std::numeric_limits<double>::quiet_NaN();
    const double apoapsis = e < 1.0 ? p / (1.0 - e) : std::numeric_limits<double>::infinity();
    const double reach = this->reach(apoapsis * (1.0 + kRadiusMargin));

    const double turn_rate = h / (periapsis * periapsis) * (1.0 + kRateMargin) + frames::kEarthRotationRadPerS;
    const double central_gap = angle_between(position, observer_direction_) - reach;
    const double plane_distance = std::asin(std::min(std::abs(dot(observer_direction_, momentum)) / h, 1.0));
    const double plane_gap = plane_distance - reach;
    const double central = central_gap / turn_rate;
    const double plane = plane_gap / (frames::kEarthRotationRadPerS + kPlaneTurnRate);
    if (std::isnan(central) || std::isnan(plane)) return std::numeric_limits<double>::quiet_NaN();
    return std::max({central, plane, 0.0});
}

ObserverView::ObserverView(Predictor predictor, const frames::Geodetic& observer)
    : predictor_(std::move(predictor)),
      observer_ecef_(frames::geodetic_to_ecef(observer)),
      sin_lat_(std::sin(observer.latitude_deg * frames::kRadiansPerDegree)),
      cos_lat_(std::cos(observer.latitude_deg * frames::kRadiansPerDegree)),
      sin_lon_(std::sin(observer.longitude_deg * frames::kRadiansPerDegree)),
      cos_lon_(std::cos(observer.longitude_deg * frames::kRadiansPerDegree)) {}

std::expected<ObserverView::Elevation, CoreError> ObserverView::elevation(time::Instant t) const {
    const auto teme = predictor_.propagate(t);
    if (!teme) return std::unexpected(teme.error());
    return elevation(frames::teme_to_ecef(*teme, t));
}

ObserverView::Elevation ObserverView::elevation(const StateVector& ecef) const {
    const Vec3 d = minus(ecef.position, observer_ecef_);
    const Vec3& v = ecef.velocity;  // the observer is at rest in ECEF
    const auto east = [&](const Vec3& a) { return -sin_lon_ * a.x + cos_lon_ * a.y; };
    const auto north = [&](const Vec3& a) {
        return -sin_lat_ * cos_lon_ * a.x - sin_lat_ * sin_lon_ * a.y + cos_lat_ * a.z;
    };
    const auto up = [&](const Vec3& a) {
        return cos_lat_ * cos_lon_ * a.x + cos_lat_ * sin_lon_ * a.y + sin_lat_ * a.z;
    };
    const double e = east(d), n = north(d), u = up(d);
    const double de = east(v), dn = north(v), du = up(v);
    const double rho = std::sqrt(e * e + n * n);
    const double rate =
        rho > kRateGuardMetres ? (rho * rho * du - u * (e * de + n * dn)) / ((rho * rho + u * u) * rho) : 0.0;
    return Elevation{std::atan2(u, rho), rate};
}

ElevationCost::ElevationCost(Predictor predictor, const frames::Geodetic& observer, double min_elevation_deg)
    : view_(std::move(predictor), observer),
      bound_(observer, min_elevation_deg * std::numbers::pi / 180.0),
      mask_rad_(min_elevation_deg * std::numbers::pi / 180.0) {}

std::expected<detect::CostSample, CoreError> ElevationCost::operator()(time::Instant t) const {
    const auto elevation = view_.elevation(t);
    if (!elevation) return std::unexpected(elevation.error());
    return detect::CostSample{elevation->angle - mask_rad_, elevation->rate};
}

std::expected<detect::ScanSample, CoreError> ElevationCost::scan(time::Instant t) const {
    const auto teme = view_.predictor().propagate(t);
    if (!teme) return std::unexpected(teme.error());
    const StateVector ecef = frames::teme_to_ecef(*teme, t);
    const ObserverView::Elevation elevation = view_.elevation(ecef);
    const detect::CostSample cost{elevation.angle - mask_rad_, elevation.rate};
    if (!(cost.value < 0.0)) return detect::ScanSample{cost, std::nullopt};
    // The inertial velocity on Earth-fixed axes: the Earth-fixed velocity plus w x r.
    const Vec3& r = ecef.position;
    const Vec3 inertial{ecef.velocity.x - frames::kEarthRotationRadPerS * r.y,
                        ecef.velocity.y + frames::kEarthRotationRadPerS * r.x, ecef.velocity.z};
    return detect::ScanSample{cost, bound_.seconds_below(r, inertial)};
}

void trace_transit(time::Instant aos, time::Instant los) {
    trace::debug("orbweave::transits", "transit detected", [&](auto emit) {
        emit({{"aos", time::instant_text(aos)}, {"los", time::instant_text(los)}});
    });
}

}  // namespace orbweave::searches

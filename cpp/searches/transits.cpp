#include "searches/transits.hpp"

#include <cmath>
#include <numbers>

#include "time/text.hpp"
#include "util/trace.hpp"

namespace orbweave::searches {

namespace {

constexpr double kRateGuardMetres = 1e-12;

}  // namespace

ObserverView::ObserverView(Predictor predictor, const frames::Geodetic& observer)
    : propagator_(std::move(predictor)),
      observer_ecef_(frames::geodetic_to_ecef(observer)),
      sin_lat_(std::sin(observer.latitude_deg * frames::kRadiansPerDegree)),
      cos_lat_(std::cos(observer.latitude_deg * frames::kRadiansPerDegree)),
      sin_lon_(std::sin(observer.longitude_deg * frames::kRadiansPerDegree)),
      cos_lon_(std::cos(observer.longitude_deg * frames::kRadiansPerDegree)) {}

std::expected<ObserverView::Elevation, CoreError> ObserverView::elevation(time::Instant t) const {
    const auto teme = propagator_.propagate(t);
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

std::expected<detect::ScanSample, CoreError> ElevationCost::scan(time::Instant t, double horizon) const {
    const auto teme = view_.propagator().propagate(t);
    if (!teme) return std::unexpected(teme.error());
    const StateVector ecef = frames::teme_to_ecef(*teme, t);
    const ObserverView::Elevation elevation = view_.elevation(ecef);
    const detect::CostSample cost{elevation.angle - mask_rad_, elevation.rate};
    if (!(cost.value < 0.0)) return detect::ScanSample{cost, std::nullopt};
    // The inertial velocity on Earth-fixed axes: the Earth-fixed velocity plus w x r.
    const Vec3& r = ecef.position;
    const Vec3 inertial{ecef.velocity.x - frames::kEarthRotationRadPerS * r.y,
                        ecef.velocity.y + frames::kEarthRotationRadPerS * r.x, ecef.velocity.z};
    return detect::ScanSample{cost, bound_.seconds_below(r, inertial, horizon)};
}

void trace_transit(time::Instant aos, time::Instant los) {
    trace::debug("orbweave::transits", "transit detected", [&](auto emit) {
        emit({{"aos", time::instant_text(aos)}, {"los", time::instant_text(los)}});
    });
}

}  // namespace orbweave::searches

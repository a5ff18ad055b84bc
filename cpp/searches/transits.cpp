#include "searches/transits.hpp"

#include <cmath>
#include <numbers>

#include "time/text.hpp"
#include "detect/found.hpp"
#include "util/trace.hpp"

namespace orbweave::searches {

namespace {

constexpr double kRateGuardMetres = 1e-12;

}  // namespace

ObserverView::ObserverView(Predictor predictor, const frames::Geodetic& observer)
    : propagator_(std::move(predictor)), enu_(observer) {}

std::expected<ObserverView::Elevation, CoreError> ObserverView::elevation(time::Instant t) const {
    const auto teme = propagator_.propagate(t);
    if (!teme) return std::unexpected(teme.error());
    return elevation(frames::teme_to_ecef(*teme, t));
}

ObserverView::Elevation ObserverView::elevation(const StateVector& ecef) const {
    const StateVector enu = enu_.project(ecef);
    const double e = enu.position.x, n = enu.position.y, u = enu.position.z;
    const double de = enu.velocity.x, dn = enu.velocity.y, du = enu.velocity.z;
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

void trace_transit(const Transit& transit) {
    trace::debug("orbweave::transits", "transit detected", [&](auto emit) {
        emit({{"aos", time::instant_text(transit.start)}, {"los", time::instant_text(transit.end)}});
    });
}

namespace {

// A found pass, traced.
Transit traced(const time::Span& span) {
    const Transit transit{span};
    trace_transit(transit);
    return transit;
}

}  // namespace

std::expected<TransitSearch, CoreError> TransitSearch::over(const Predictor& predictor,
                                                            const frames::Geodetic& observer,
                                                            double min_elevation_deg, const time::Span& interval,
                                                            const TransitSettings& settings) {
    detect::WindowConfig<detect::AdaptiveStep> config;
    config.step_policy = {detect::floored(settings.min_step), detect::floored(settings.max_step)};
    config.refinement = predictor.refinement();
    config.walk_step = settings.walk_step;
    config.max_window_duration = settings.max_transit_duration;
    config.report_gaps = false;
    config.skip_leading_partial = settings.skip_leading_partial;
    config.clamp_to_interval = settings.clamp_to_interval;
    auto windows = detect::window_iter(config, ElevationCost(predictor, observer, min_elevation_deg))
                       .interval(interval.start, interval.end)
                       .build();
    if (!windows) return std::unexpected(windows.error());
    return TransitSearch(std::move(*windows));
}

std::expected<std::optional<Transit>, CoreError> TransitSearch::next() {
    return detect::map_found(windows_.next(), &traced);
}

std::expected<std::optional<Transit>, CoreError> detect_transit(const Predictor& predictor, time::Instant t,
                                                                 const frames::Geodetic& observer,
                                                                 double min_elevation_deg,
                                                                 const TransitSettings& settings) {
    return detect::map_found(detect::detect_window_at(t, ElevationCost(predictor, observer, min_elevation_deg),
                                                      settings.walk_step, settings.max_transit_duration,
                                                      predictor.refinement()),
                             &traced);
}

}  // namespace orbweave::searches

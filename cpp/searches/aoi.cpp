#include "searches/aoi.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/frames.hpp"
#include "detect/found.hpp"
#include "time/text.hpp"
#include "util/trace.hpp"

namespace orbweave::searches {

namespace {

constexpr double kEarthRotation = 7.292115e-5;  // rad/s
// 1.05 / (1 - e^2) of WGS-84: 5 % for perturbations, and the geodetic latitude
// turning faster than the geocentric one.
constexpr double kRateWidening = 1.0570764715793903;
constexpr double kSlowestRate = 1e-6;  // rad/s
constexpr double kLargestEccentricity = 0.999;
constexpr time::Duration kShortestStep = time::Duration::milliseconds(1);

AoiCost cost_of(const Predictor& predictor, const areas::Area& area, const AoiSettings& settings) {
    return AoiCost(predictor, area, clamp_off_nadir(settings.max_off_nadir), settings.coverage);
}

AoiWindow traced(const time::Span& span) {
    const AoiWindow window{span};
    trace_aoi_window(window);
    return window;
}

}  // namespace

detect::WindowConfig<detect::AdaptiveStep> engine_settings(const Predictor& predictor, const AoiSettings& settings) {
    const time::Duration min_step = detect::floored(settings.min_step, kShortestStep);
    detect::WindowConfig<detect::AdaptiveStep> config;
    config.step_policy = {min_step, std::max(settings.max_step, min_step)};
    config.refinement = predictor.refinement();
    config.walk_step = settings.walk_step;
    config.max_window_duration = settings.max_window_duration;
    config.report_gaps = false;
    config.skip_leading_partial = settings.skip_leading_partial;
    config.clamp_to_interval = settings.clamp_to_interval;
    return config;
}

double clamp_off_nadir(double max_off_nadir) {
    if (!(max_off_nadir > 0.0)) return 0.0;  // NaN too
    return std::min(max_off_nadir, areas::kLargestRadius);
}

double reach_angle(double eta, double r, double R) {
    const double horizon = std::acos(std::clamp(R / r, -1.0, 1.0));
    const double x = std::sin(eta) * r / R;
    if (x >= 1.0) return horizon;
    return areas::nan_min(std::asin(x) - eta, horizon);
}

double max_angular_rate(const sgp4::ElementRecord& elements) {
    const double e = std::clamp(elements.eccentricity, 0.0, kLargestEccentricity);
    const double n = elements.mean_motion * 2.0 * std::numbers::pi / 86400.0;
    const double rate = (std::sqrt(1.0 - e * e) * n / ((1.0 - e) * (1.0 - e)) + kEarthRotation) * kRateWidening;
    return std::max(rate, kSlowestRate);
}

AoiCost::AoiCost(Predictor predictor, areas::Area area, double max_off_nadir, Coverage coverage)
    : propagator_(std::move(predictor)),
      area_(std::move(area)),
      max_off_nadir_(max_off_nadir),
      coverage_(coverage),
      max_angular_rate_(max_angular_rate(propagator_.predictor().elements())) {}

std::expected<detect::CostSample, CoreError> AoiCost::operator()(time::Instant t) const {
    const auto teme = propagator_.propagate(t);
    if (!teme) return std::unexpected(teme.error());
    const Vec3 position = frames::teme_to_ecef(*teme, t).position;
    const frames::Geodetic below = frames::ecef_to_geodetic(position);
    const double r = norm(position);
    const double reach = reach_angle(max_off_nadir_, r, r - below.altitude);
    const double lat = below.latitude_deg, lon = below.longitude_deg;
    const double value = coverage_ == Coverage::Any ? reach + areas::signed_angular_offset(area_, lat, lon)
                                                    : reach - areas::max_angular_distance(area_, lat, lon);
    return detect::CostSample{value, std::nullopt};
}

std::expected<detect::ScanSample, CoreError> AoiCost::scan(time::Instant t, double) const {
    const auto sample = (*this)(t);
    if (!sample) return std::unexpected(sample.error());
    if (sample->value >= 0.0) return detect::ScanSample{*sample, std::nullopt};
    // The time the sub-satellite point needs, at the bounding rate, to close the
    // angular gap between the area and the edge of reach (NaN: no bound, min_step).
    return detect::ScanSample{*sample, std::abs(sample->value) / max_angular_rate_};
}

std::expected<AoiSearch, CoreError> AoiSearch::over(const Predictor& predictor, const areas::Area& area,
                                                    const time::Span& interval, const AoiSettings& settings) {
    auto windows = detect::window_iter(engine_settings(predictor, settings), cost_of(predictor, area, settings))
                       .interval(interval.start, interval.end)
                       .build();
    if (!windows) return std::unexpected(windows.error());
    return AoiSearch(std::move(*windows));
}

std::expected<std::optional<AoiWindow>, CoreError> AoiSearch::next() {
    return detect::map_found(windows_.next(), &traced);
}

std::expected<std::optional<AoiWindow>, CoreError> detect_aoi(const Predictor& predictor, time::Instant t,
                                                              const areas::Area& area, const AoiSettings& settings) {
    return detect::map_found(detect::detect_window_at(t, cost_of(predictor, area, settings), settings.walk_step,
                                                      settings.max_window_duration, predictor.refinement()),
                             &traced);
}

void trace_aoi_window(const AoiWindow& window) {
    trace::debug("orbweave::aoi", "aoi window detected", [&](auto emit) {
        emit({{"entry", time::instant_text(window.start)}, {"exit", time::instant_text(window.end)}});
    });
}

}  // namespace orbweave::searches

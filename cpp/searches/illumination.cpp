#include "searches/illumination.hpp"

#include <algorithm>
#include <cmath>

#include "core/frames.hpp"
#include "time/text.hpp"
#include "detect/found.hpp"
#include "util/trace.hpp"

namespace orbweave::searches {

namespace {

constexpr double kAstronomicalUnitMetres = 149'597'870'700.0;
constexpr double kUmbraRadiusMetres = 6378137.0;

double degrees_to_radians(double degrees) { return degrees * frames::kRadiansPerDegree; }

}  // namespace

Vec3 sun_position(time::Instant t) {
    const double n = t.to_unix_seconds_f64() / 86400.0 + 2440587.5 - 2451545.0;
    const double mean_longitude = 280.46 + 0.9856474 * n;
    const double g = degrees_to_radians(357.528 + 0.9856003 * n);
    const double lambda = degrees_to_radians(mean_longitude + 1.915 * std::sin(g) + 0.02 * std::sin(2.0 * g));
    const double epsilon = degrees_to_radians(23.439 - 4e-7 * n);
    const double r = (1.00014 - 0.01671 * std::cos(g) - 0.00014 * std::cos(2.0 * g)) * kAstronomicalUnitMetres;
    return {r * std::cos(lambda), r * std::cos(epsilon) * std::sin(lambda), r * std::sin(epsilon) * std::sin(lambda)};
}

std::expected<detect::CostSample, CoreError> ShadowCost::operator()(time::Instant t) const {
    const auto state = propagator_.propagate(t);
    if (!state) return std::unexpected(state.error());
    const Vec3& r = state->position;
    const Vec3 sun = sun_position(t);
    const double p = dot(r, sun) / norm(sun);
    const double r2 = dot(r, r);
    const double d = p < 0.0 ? std::sqrt(std::max(r2 - p * p, 0.0)) : std::sqrt(r2);
    return detect::CostSample{kUmbraRadiusMetres - d, std::nullopt};
}

std::expected<IlluminationState, CoreError> illumination_state(const Predictor& predictor, time::Instant t) {
    const auto sample = ShadowCost(predictor)(t);
    if (!sample) return std::unexpected(sample.error());
    return sample->value < 0.0 ? IlluminationState::Sunlit : IlluminationState::Eclipse;
}

void trace_illumination(const Illumination& window) {
    trace::debug("orbweave::illumination", "illumination window", [&](auto emit) {
        emit({{"state", window.state == IlluminationState::Sunlit ? "Sunlit" : "Eclipse"},
              {"start", time::instant_text(window.start)},
              {"end", time::instant_text(window.end)}});
    });
}

std::expected<IlluminationSearch, CoreError> IlluminationSearch::over(const Predictor& predictor,
                                                                      const time::Span& interval,
                                                                      const IlluminationSettings& settings) {
    detect::WindowConfig<detect::FixedStep> config;
    config.step_policy.step = detect::floored(settings.step);
    config.refinement = predictor.refinement();
    config.walk_step = settings.walk_step;
    config.max_window_duration = settings.max_window_duration;
    config.report_gaps = true;
    config.skip_leading_partial = false;
    config.clamp_to_interval = true;
    auto windows = detect::window_iter(config, ShadowCost(predictor)).interval(interval.start, interval.end).build();
    if (!windows) return std::unexpected(windows.error());
    return IlluminationSearch(std::move(*windows));
}

std::expected<std::optional<Illumination>, CoreError> IlluminationSearch::next() {
    return detect::map_found(windows_.next(), [](const detect::Window& window) {
        // Eclipses are the search's windows, sunlit stretches its gaps.
        const Illumination found{window, window.kind == detect::WindowKind::Positive ? IlluminationState::Eclipse
                                                                                     : IlluminationState::Sunlit};
        trace_illumination(found);
        return found;
    });
}

}  // namespace orbweave::searches

#pragma once
// Areas of interest: the payload's field of regard (a cone around the geocentric
// nadir, whose reach on the ground is an Earth-central angle), the cost that
// compares it with an area, and the search for the windows in which the area is
// within reach.
#include <cstdint>
#include <expected>
#include <optional>

#include "areas/area.hpp"
#include "core/core_error.hpp"
#include "core/predictor.hpp"
#include "detect/root_finder.hpp"
#include "detect/step_policy.hpp"
#include "detect/window_iter.hpp"
#include "time/duration.hpp"
#include "time/span.hpp"

namespace orbweave::searches {

// Whether some part of the area (Any) or all of it at once (Full) must be within reach.
enum class Coverage : uint8_t { Any = 0, Full = 1 };

// The half-angle in radians as used: NaN and anything below 0 become 0, anything
// above pi/2 - 1e-9 becomes pi/2 - 1e-9 (whose reach is the horizon).
double clamp_off_nadir(double max_off_nadir);

// The Earth-central angle from the sub-satellite point to the edge of a cone of
// half-angle `eta` from the geocentric nadir of a satellite at distance r above a
// surface of radius R: asin(sin(eta) r / R) - eta, never beyond the horizon
// acos(R / r); the horizon itself when the cone's edge misses the surface.
double reach_angle(double eta, double r, double R);

// A bound on how fast the sub-satellite point moves (rad/s): the orbit's angular
// rate at perigee plus the Earth's rotation, widened for perturbations and for the
// geodetic latitude; at least 1e-6.
double max_angular_rate(const sgp4::ElementRecord& elements);

// value = reach + signed offset of the sub-satellite point (Any), or reach -
// distance to the area's farthest point (Full), radians; no derivative. For the
// scan, a negative value bounds its time below zero by the rate above.
class AoiCost {
public:
    AoiCost(Predictor predictor, areas::Area area, double max_off_nadir, Coverage coverage);
    std::expected<detect::CostSample, CoreError> operator()(time::Instant t) const;
    std::expected<detect::ScanSample, CoreError> scan(time::Instant t, double horizon) const;

private:
    SearchPropagator propagator_;
    areas::Area area_;
    double max_off_nadir_;
    Coverage coverage_;
    double max_angular_rate_;
};

// A window in which the area is within reach.
struct AoiWindow : time::Span {};

// The knobs of an area search, with the library's defaults: min_step at or below
// 1 ms becomes 1 ms, max_step is raised to min_step, walk_step at or below 1 s
// becomes 1 s; `max_off_nadir` in radians, clamped as above.
struct AoiSettings {
    time::Duration min_step = time::Duration::seconds(1);  // also the shortest crossing always seen
    time::Duration max_step = time::Duration::seconds(600);
    time::Duration walk_step = time::Duration::seconds(5);
    time::Duration max_window_duration = time::Duration::seconds(3600);
    double max_off_nadir = 0.0;
    Coverage coverage = Coverage::Any;
    bool skip_leading_partial = true;
    bool clamp_to_interval = false;
};

// The window engine's settings of an area search, with the floors applied.
detect::WindowConfig<detect::AdaptiveStep> engine_settings(const Predictor& predictor, const AoiSettings& settings);

// The windows within an interval, one per call, each traced as "aoi window detected".
class AoiSearch {
public:
    // Evaluates nothing until the first call of next().
    static std::expected<AoiSearch, CoreError> over(const Predictor& predictor, const areas::Area& area,
                                                    const time::Span& interval, const AoiSettings& settings = {});
    std::expected<std::optional<AoiWindow>, CoreError> next();

private:
    using Windows = detect::WindowIter<AoiCost, detect::AdaptiveStep>;
    explicit AoiSearch(Windows windows) : windows_(std::move(windows)) {}
    Windows windows_;
};

// The window in progress at t, or none when the area is not within reach there.
// Only max_off_nadir, coverage, walk_step and max_window_duration apply.
std::expected<std::optional<AoiWindow>, CoreError> detect_aoi(const Predictor& predictor, time::Instant t,
                                                              const areas::Area& area,
                                                              const AoiSettings& settings = {});

// Emits the "aoi window detected" debug event of a found window.
void trace_aoi_window(const AoiWindow& window);

}  // namespace orbweave::searches

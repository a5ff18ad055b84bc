// Predictor: one core predictor, and every question asked of it. Its methods are
// declared here in one place, in the order of the class; each converts and hands
// over to the core or to a search, which owns the defaults of its knobs.
#include <tuple>

#include "binding/classes.hpp"
#include "binding/support/declare.hpp"
#include "searches/peak_elevation.hpp"

namespace orbweave::py {

namespace {

// A knob given as None or left out keeps the search's own default.
template <class T>
void given_or_default(T& knob, const std::optional<T>& given) {
    if (given) knob = *given;
}

std::expected<Predictor, CoreError> make(sgp4::ElementRecord elements) {
    return Predictor::from_elements(std::move(elements));
}

std::expected<Predictor, CoreError> from_tle(TleText tle) {
    return Predictor::from_tle(tle.satellite_name, tle.line_1, tle.line_2);
}

Predictor with_refinement(const Predictor& p, Refinement refinement) { return p.with_refinement(refinement); }

// A pickled predictor is its elements and refinement, built again as the constructor
// and `with_refinement` build it, so that the elements meet SGP4's checks again.
std::expected<Predictor, CoreError> unpickle(sgp4::ElementRecord elements, Refinement refinement) {
    auto made = Predictor::from_elements(std::move(elements));
    if (!made) return made;
    return made->with_refinement(refinement);
}

std::tuple<sgp4::ElementRecord, Refinement> pickle_state(const Predictor& p) {
    return {p.elements(), p.refinement()};
}

std::expected<FramedState<Frame::Teme>, CoreError> propagate(const Predictor& p, time::Instant t) {
    const auto state = p.propagate(t);
    if (!state) return std::unexpected(state.error());
    return FramedState<Frame::Teme>{*state};
}

std::expected<Observation, CoreError> observe_at(const Predictor& p, time::Instant t, frames::Geodetic observer) {
    return p.observe_at(t, observer);
}

std::expected<Pointing, CoreError> point_at(const Predictor& p, time::Instant t, frames::Geodetic target) {
    return p.point_at(t, target);
}

template <Sampled S>
SampledIter<S> sampled(const Predictor& p, const time::Span& interval, time::Duration step,
                       frames::Geodetic observer = {}) {
    return {SearchPropagator(p), time::Sampler(interval.start, interval.end, step), observer};
}

SampledIter<Sampled::States> prediction_iter(const Predictor& p, time::Span interval, time::Duration step) {
    return sampled<Sampled::States>(p, interval, step);
}

SampledIter<Sampled::Observations> observation_iter(const Predictor& p, frames::Geodetic observer,
                                                    time::Span interval, time::Duration step) {
    return sampled<Sampled::Observations>(p, interval, step, observer);
}

std::expected<searches::TransitSearch, CoreError> transits_iter(
    const Predictor& p, frames::Geodetic observer, time::Span interval, double min_elevation_deg,
    std::optional<time::Duration> min_step, std::optional<time::Duration> max_step,
    std::optional<time::Duration> walk_step, std::optional<time::Duration> max_transit_duration,
    std::optional<bool> skip_leading_partial, std::optional<bool> clamp_to_interval) {
    searches::TransitSettings settings;
    given_or_default(settings.min_step, min_step);
    given_or_default(settings.max_step, max_step);
    given_or_default(settings.walk_step, walk_step);
    given_or_default(settings.max_transit_duration, max_transit_duration);
    given_or_default(settings.skip_leading_partial, skip_leading_partial);
    given_or_default(settings.clamp_to_interval, clamp_to_interval);
    return searches::TransitSearch::over(p, observer, min_elevation_deg, interval, settings);
}

std::expected<frames::Geodetic, CoreError> sub_point(const Predictor& p, time::Instant t) { return p.sub_point(t); }

SampledIter<Sampled::GroundTrack> ground_track_iter(const Predictor& p, time::Span interval, time::Duration step) {
    return sampled<Sampled::GroundTrack>(p, interval, step);
}

// The area's knobs shared by aoi_iter and detect_aoi; the area itself is checked
// after every other argument has converted.
searches::AoiSettings aoi_settings(std::optional<double> max_off_nadir_deg, std::optional<searches::Coverage> coverage,
                                   std::optional<time::Duration> walk_step,
                                   std::optional<time::Duration> max_window_duration) {
    searches::AoiSettings settings;
    if (max_off_nadir_deg) settings.max_off_nadir = *max_off_nadir_deg * areas::kRadiansPerDegree;
    given_or_default(settings.coverage, coverage);
    given_or_default(settings.walk_step, walk_step);
    given_or_default(settings.max_window_duration, max_window_duration);
    return settings;
}

std::expected<searches::AoiSearch, CoreError> aoi_iter(
    const Predictor& p, PyObject* area, time::Span interval, std::optional<double> max_off_nadir_deg,
    std::optional<searches::Coverage> coverage, std::optional<time::Duration> min_step,
    std::optional<time::Duration> max_step, std::optional<time::Duration> walk_step,
    std::optional<time::Duration> max_window_duration, std::optional<bool> skip_leading_partial,
    std::optional<bool> clamp_to_interval) {
    searches::AoiSettings settings = aoi_settings(max_off_nadir_deg, coverage, walk_step, max_window_duration);
    given_or_default(settings.min_step, min_step);
    given_or_default(settings.max_step, max_step);
    given_or_default(settings.skip_leading_partial, skip_leading_partial);
    given_or_default(settings.clamp_to_interval, clamp_to_interval);
    return searches::AoiSearch::over(p, area_argument(area), interval, settings);
}

std::expected<std::optional<searches::AoiWindow>, CoreError> detect_aoi(
    const Predictor& p, time::Instant t, PyObject* area, std::optional<double> max_off_nadir_deg,
    std::optional<searches::Coverage> coverage, std::optional<time::Duration> walk_step,
    std::optional<time::Duration> max_window_duration) {
    const searches::AoiSettings settings = aoi_settings(max_off_nadir_deg, coverage, walk_step, max_window_duration);
    return searches::detect_aoi(p, t, area_argument(area), settings);
}

std::expected<searches::ApsisSearch, CoreError> apsis_iter(const Predictor& p, time::Span interval,
                                                           std::optional<time::Duration> step) {
    searches::ApsisSettings settings;
    given_or_default(settings.step, step);
    return searches::ApsisSearch::over(p, interval, settings);
}

std::expected<searches::IlluminationSearch, CoreError> illumination_iter(
    const Predictor& p, time::Span interval, std::optional<time::Duration> step,
    std::optional<time::Duration> walk_step, std::optional<time::Duration> max_window_duration) {
    searches::IlluminationSettings settings;
    given_or_default(settings.step, step);
    given_or_default(settings.walk_step, walk_step);
    given_or_default(settings.max_window_duration, max_window_duration);
    return searches::IlluminationSearch::over(p, interval, settings);
}

std::expected<std::optional<searches::Transit>, CoreError> detect_transit(
    const Predictor& p, time::Instant t, frames::Geodetic observer, double min_elevation_deg,
    std::optional<time::Duration> walk_step, std::optional<time::Duration> max_transit_duration) {
    searches::TransitSettings settings;
    given_or_default(settings.walk_step, walk_step);
    given_or_default(settings.max_transit_duration, max_transit_duration);
    return searches::detect_transit(p, t, observer, min_elevation_deg, settings);
}

std::expected<std::tuple<time::Instant, Observation>, CoreError> max_elevation(
    const Predictor& p, frames::Geodetic observer, time::Span interval, std::optional<time::Duration> scan_step) {
    searches::PeakSettings settings;
    given_or_default(settings.scan_step, scan_step);
    const auto peak = searches::max_elevation(p, observer, interval, settings);
    if (!peak) return std::unexpected(peak.error());
    return std::tuple{peak->t, peak->observation};
}

std::expected<searches::IlluminationState, CoreError> illumination_state(const Predictor& p, time::Instant t) {
    return searches::illumination_state(p, t);
}

time::Instant epoch(const Predictor& p) { return p.epoch(); }

double tle_age_seconds(const Predictor& p, time::Instant now) { return p.tle_age_seconds(now); }

}  // namespace

ClassBuilder PyClass<Predictor>::define() {
    return ClassDef<Predictor>(
               "Parsed TLE with pre-computed SGP4 constants, ready for propagation.\n\n"
               "Construct from a `Tle` or `Elements`; then use its methods to propagate state vectors,\n"
               "compute ground observations, detect passes, find apsides, and query illumination.")
        .constructor<"elements", &make>()
        .static_method<"from_tle", "tle", &from_tle>(
            "Parse TLE string lines and initialise SGP4 constants.\n\n"
            "Raises `ValueError` if the TLE is malformed.")
        .method<"with_refinement", "refinement", &with_refinement>(
            "Return a new `Predictor` with the given root-finder configuration.")
        .method<"propagate", "t", &propagate>(
            "Propagate the TLE to the given UTC time.\n\n"
            "Returns a state vector in the TEME frame.")
        .method<"observe_at", "t, observer", &observe_at>(
            "Calculate the observation from an observer at the given UTC time.")
        .method<"point_at", "t, target", &point_at>(
            "Where `target` lies as seen from the satellite at the given UTC time.\n\n"
            "Returns a `Pointing`: a unit vector in the satellite's LVLH frame, plus\n"
            "slant range and range rate.")
        .method<"prediction_iter", "interval, step", &prediction_iter>(
            "Iterate over state vectors in the TEME frame at regular intervals.\n\n"
            "`interval` must expose `.start` and `.end` datetime properties.\n"
            "Pass an `Interval`, `Transit`, or `Illumination` object.")
        .method<"observation_iter", "observer, interval, step", &observation_iter>(
            "Iterate over observations from the given observer at regular intervals.\n\n"
            "`interval` must expose `.start` and `.end` datetime properties.\n"
            "Pass an `Interval`, `Transit`, or `Illumination` object.")
        .method<"transits_iter",
                "observer, interval, min_elevation_deg, *, min_step=None, max_step=None, walk_step=None, "
                "max_transit_duration=None, skip_leading_partial=None, clamp_to_interval=None",
                &transits_iter>(
            "Iterate over satellite passes visible to the observer within the interval.\n\n"
            "`interval` must expose `.start` and `.end` datetime properties.\n"
            "`min_elevation_deg`: minimum elevation above the horizon in degrees.\n\n"
            "The keyword-only arguments tune the coarse scan; each defaults to the\n"
            "library's own value.\n\n"
            "`min_step` and `max_step` bound the adaptive scan step: `min_step` is\n"
            "also the shortest pass the scan is guaranteed to see, and `max_step` is\n"
            "raised to it where it is smaller. `walk_step` is the fixed step used to\n"
            "walk from a transit's start to its end. A transit longer than\n"
            "`max_transit_duration` raises `RuntimeError`.\n\n"
            "`skip_leading_partial` discards a transit already in progress at the\n"
            "interval start; set it to `False` to walk backward for its true AoS.\n"
            "`clamp_to_interval` clamps a transit still in progress at the interval\n"
            "end to the interval, instead of walking forward for its true LoS.")
        .method<"sub_point", "t", &sub_point>("The geodetic point directly beneath the satellite at time `t`.")
        .method<"ground_track_iter", "interval, step", &ground_track_iter>(
            "Trace the satellite's ground track at regular intervals.\n\n"
            "`interval` must expose `.start` and `.end` datetime properties.\n"
            "Yields `(datetime, GeodeticPoint)` sub-satellite points.")
        .method<"aoi_iter",
                "area, interval, *, max_off_nadir_deg=None, coverage=None, min_step=None, max_step=None, "
                "walk_step=None, max_window_duration=None, skip_leading_partial=None, clamp_to_interval=None",
                &aoi_iter>(
            "Iterate over the windows in which `area` is within the payload's reach.\n\n"
            "`area` is a `Polygon`, `Rectangle`, or `Circle`.\n"
            "`interval` must expose `.start` and `.end` datetime properties.\n\n"
            "The keyword-only arguments tune the reach and the coarse scan; each defaults\n"
            "to the library's own value.\n\n"
            "`max_off_nadir_deg` is the half-angle of the satellite's field of regard —\n"
            "the largest nadir angle the payload can be slewed to. It defaults to zero,\n"
            "which detects the sub-satellite point itself crossing into the area. This is\n"
            "a field of *regard*, not of view: it describes everything the payload could\n"
            "be pointed at, not the footprint of a single image. A non-finite value is\n"
            "taken as zero. `coverage` chooses whether any part of the area\n"
            "(`Coverage.Any`, the default) or all of it (`Coverage.Full`) must be within\n"
            "reach; `Coverage.Full` needs `max_off_nadir_deg` set wider than the area,\n"
            "since at the default of zero the reach is a single point and no window\n"
            "ever opens.\n\n"
            "`min_step` is the lower bound of the adaptive coarse-scan step, and also the\n"
            "shortest crossing the scan is guaranteed to see; lower it below the default\n"
            "second for an area the ground track can cross faster than that. Floored at\n"
            "1 ms. `max_step` is the upper bound, used when the ground track is far from\n"
            "the area, and is raised to `min_step` where it is smaller — so a `min_step`\n"
            "above it pins the whole scan at that step and a small area will be stepped\n"
            "straight over. `walk_step` is the fixed step used to walk from a window's\n"
            "start to its end.\n\n"
            "`max_window_duration` caps how long a single window may run; the default is\n"
            "one hour. A window longer than the cap raises `RuntimeError`, so raise it for\n"
            "a continental-scale area — a LEO satellite is inside something like\n"
            "`Rectangle.latitude_band(-90.0, 60.0)` for most of each orbit.\n\n"
            "`skip_leading_partial` discards a window already in progress at the interval\n"
            "start; set it to `False` to walk backward for its true beginning.\n"
            "`clamp_to_interval` clamps a window still in progress at the interval end to\n"
            "the interval, instead of walking forward for its true end.")
        .method<"detect_aoi", "t, area, *, max_off_nadir_deg=None, coverage=None, walk_step=None, max_window_duration=None",
                &detect_aoi>(
            "Detect whether `area` is within the payload's reach at time `t`.\n\n"
            "Returns `None` if it is not. Otherwise searches backward and forward to\n"
            "bracket the entry and exit crossings.\n\n"
            "Raises `RuntimeError` if the window turns out to be longer than\n"
            "`max_window_duration`, which defaults to one hour. See `aoi_iter`; the\n"
            "other knobs there do not apply to this single-point detection.")
        .method<"apsis_iter", "interval, *, step=None", &apsis_iter>(
            "Iterate over apogee and perigee events within the interval.\n\n"
            "`interval` must expose `.start` and `.end` datetime properties.\n"
            "`step` is the fixed step used to scan for radial-velocity sign changes,\n"
            "defaulting to the library's own value.")
        .method<"illumination_iter", "interval, *, step=None, walk_step=None, max_window_duration=None",
                &illumination_iter>(
            "Iterate over sunlit and eclipse windows within the interval.\n\n"
            "`interval` must expose `.start` and `.end` datetime properties.\n\n"
            "The keyword-only arguments tune the coarse scan; each defaults to the\n"
            "library's own value. `step` is the fixed step used to scan for\n"
            "shadow-boundary crossings and\n"
            "`walk_step` the one used to pin down a window's true start and end.\n"
            "An eclipse window longer than\n"
            "`max_window_duration` raises `RuntimeError`; sunlit windows are the gaps\n"
            "between eclipse windows and are never bounded by it.")
        .method<"detect_transit", "t, observer, min_elevation_deg, *, walk_step=None, max_transit_duration=None",
                &detect_transit>(
            "Detect whether a transit is in progress at time `t`.\n\n"
            "Returns `None` if the satellite is below `min_elevation_deg` at `t`.\n"
            "Searches backward and forward to bracket AoS and LoS.\n\n"
            "Raises `RuntimeError` if the transit turns out to be longer than\n"
            "`max_transit_duration`, which defaults to one hour. See `transits_iter`;\n"
            "the other knobs there do not apply to this single-point detection.")
        .method<"max_elevation", "observer, interval, *, scan_step=None", &max_elevation>(
            "Find the peak elevation of the satellite over an observer within the interval.\n\n"
            "`interval` must expose `.start` and `.end` datetime properties.\n"
            "Returns `(datetime, Observation)` at the peak.\n"
            "Raises `RuntimeError` if no peak is found in the interval.\n\n"
            "`scan_step` is the fixed step used to scan for elevation-rate zero\n"
            "crossings, defaulting to the library's own value.")
        .method<"illumination_state", "t", &illumination_state>(
            "Determine whether the satellite is sunlit or in eclipse at time `t`.")
        .property<&epoch>("epoch", "The epoch of the TLE (UTC).")
        .method<"tle_age_seconds", "now", &tle_age_seconds>(
            "Age of the TLE relative to `now` in seconds (positive = TLE is in the past).")
        .pickled<"elements, refinement", &unpickle, &pickle_state>();
}

}  // namespace orbweave::py

#pragma once
// Passes over a ground observer: the elevation cost function (elevation minus the
// mask, with the elevation rate as derivative, and for the scan the bound on how
// long a satellite below the mask stays there), the search over an interval and
// the detection of the pass in progress at one instant.
#include <expected>
#include <optional>

#include "core/core_error.hpp"
#include "core/frames.hpp"
#include "core/predictor.hpp"
#include "detect/root_finder.hpp"
#include "detect/step_policy.hpp"
#include "detect/window_iter.hpp"
#include "searches/visibility_bound.hpp"
#include "time/duration.hpp"
#include "time/span.hpp"

namespace orbweave::searches {

// The satellite's elevation over a ground observer and its rate of change.
class ObserverView {
public:
    ObserverView(Predictor predictor, const frames::Geodetic& observer);

    struct Elevation {
        double angle;  // radians
        double rate;   // radians per second; 0 straight overhead
    };
    std::expected<Elevation, CoreError> elevation(time::Instant t) const;
    // The same from an Earth-fixed state at hand.
    Elevation elevation(const StateVector& ecef) const;

    const SearchPropagator& propagator() const { return propagator_; }

private:
    SearchPropagator propagator_;
    frames::EnuFrame enu_;
};

// value = elevation - mask (radians); derivative = elevation rate (rad/s). The scan
// also learns how long a sample below the mask is certain to stay below it.
class ElevationCost {
public:
    ElevationCost(Predictor predictor, const frames::Geodetic& observer, double min_elevation_deg);
    std::expected<detect::CostSample, CoreError> operator()(time::Instant t) const;
    // `horizon`: the longest step the scan takes, in seconds (see VisibilityBound).
    std::expected<detect::ScanSample, CoreError> scan(time::Instant t, double horizon) const;

private:
    ObserverView view_;
    VisibilityBound bound_;
    double mask_rad_;
};

// A pass: the acquisition of signal (start) and the loss of signal (end).
struct Transit : time::Span {};

// The knobs of a pass search, with the library's defaults. Steps at or below one
// second become one second.
struct TransitSettings {
    time::Duration min_step = time::Duration::seconds(10);  // also the shortest pass always seen
    time::Duration max_step = time::Duration::seconds(600);
    time::Duration walk_step = time::Duration::seconds(30);
    time::Duration max_transit_duration = time::Duration::seconds(3600);
    bool skip_leading_partial = true;
    bool clamp_to_interval = false;
};

// The passes within an interval, one per call, each traced as "transit detected".
class TransitSearch {
public:
    static std::expected<TransitSearch, CoreError> over(const Predictor& predictor, const frames::Geodetic& observer,
                                                        double min_elevation_deg, const time::Span& interval,
                                                        const TransitSettings& settings = {});
    // The next pass, none when the interval is exhausted, or an error (the scan
    // continues after the failed sample on the next call).
    std::expected<std::optional<Transit>, CoreError> next();

private:
    using Windows = detect::WindowIter<ElevationCost, detect::AdaptiveStep>;
    explicit TransitSearch(Windows windows) : windows_(std::move(windows)) {}
    Windows windows_;
};

// The pass in progress at t, or none when the satellite is below the mask there.
// Only walk_step and max_transit_duration of the settings apply.
std::expected<std::optional<Transit>, CoreError> detect_transit(const Predictor& predictor, time::Instant t,
                                                                 const frames::Geodetic& observer,
                                                                 double min_elevation_deg,
                                                                 const TransitSettings& settings = {});

// Emits the "transit detected" debug event of a found pass.
void trace_transit(const Transit& transit);

}  // namespace orbweave::searches

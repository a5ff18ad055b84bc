#pragma once
// Passes over a ground observer: the elevation cost function (elevation minus the
// mask, with the elevation rate as derivative, and for the scan the bound on how
// long a satellite below the mask stays there), and the search knobs.
#include <expected>

#include "core/core_error.hpp"
#include "core/frames.hpp"
#include "core/predictor.hpp"
#include "detect/root_finder.hpp"
#include "detect/step_policy.hpp"
#include "searches/visibility_bound.hpp"
#include "time/duration.hpp"

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
    Vec3 observer_ecef_;
    double sin_lat_, cos_lat_, sin_lon_, cos_lon_;
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

// The knobs of a pass search, with the library's defaults.
struct TransitKnobs {
    time::Duration min_step = time::Duration::seconds(10);
    time::Duration max_step = time::Duration::seconds(600);
    time::Duration walk_step = time::Duration::seconds(30);
    time::Duration max_transit_duration = time::Duration::seconds(3600);
    bool skip_leading_partial = true;
    bool clamp_to_interval = false;
};

// Emits the "transit detected" debug event of a found pass.
void trace_transit(time::Instant aos, time::Instant los);

}  // namespace orbweave::searches

#pragma once
// The highest point of the satellite over an observer within an interval: the
// falling zero crossings of the elevation rate, plus the interval's ends.
#include <expected>

#include "core/core_error.hpp"
#include "core/observation.hpp"
#include "core/predictor.hpp"
#include "detect/root_finder.hpp"
#include "searches/transits.hpp"
#include "time/span.hpp"

namespace orbweave::searches {

// value = elevation rate (rad/s), no derivative.
class ElevationRateCost {
public:
    ElevationRateCost(Predictor predictor, const frames::Geodetic& observer) : view_(std::move(predictor), observer) {}
    std::expected<detect::CostSample, CoreError> operator()(time::Instant t) const;

private:
    ObserverView view_;
};

struct Peak {
    time::Instant t;
    Observation observation;
};

// The scan step of the peak search, raised to one second when at or below it.
struct PeakSettings {
    time::Duration scan_step = time::Duration::seconds(10);
};

// The highest observation within the interval, traced as "peak elevation found".
std::expected<Peak, CoreError> max_elevation(const Predictor& predictor, const frames::Geodetic& observer,
                                             const time::Span& interval, const PeakSettings& settings = {});

}  // namespace orbweave::searches

#include "searches/peak_elevation.hpp"

#include <compare>
#include <vector>

#include "detect/event_iter.hpp"
#include "time/text.hpp"
#include "util/number_text.hpp"
#include "util/trace.hpp"

namespace orbweave::searches {

std::expected<detect::CostSample, CoreError> ElevationRateCost::operator()(time::Instant t) const {
    const auto elevation = view_.elevation(t);
    if (!elevation) return std::unexpected(elevation.error());
    return detect::CostSample{elevation->rate, std::nullopt};
}

std::expected<Peak, CoreError> max_elevation(const Predictor& predictor, const frames::Geodetic& observer,
                                             const time::Span& interval, const PeakSettings& settings) {
    const time::Instant start = interval.start, end = interval.end;
    auto events = detect::event_iter(ElevationRateCost(predictor, observer))
                      .step(detect::floored(settings.scan_step))
                      .refinement(predictor.refinement())
                      .interval(start, end)
                      .build();
    if (!events) return std::unexpected(events.error());
    std::vector<time::Instant> candidates;
    while (true) {
        const auto event = events->next();
        if (!event) return std::unexpected(event.error());
        if (!*event) break;
        if (!(*event)->rising) candidates.push_back((*event)->t);  // a culmination
    }
    candidates.push_back(start);
    candidates.push_back(end);
    std::optional<Peak> best;
    for (const time::Instant t : candidates) {
        const auto observation = predictor.observe_at(t, observer);
        if (!observation) return std::unexpected(observation.error());
        // Total order on the elevations; on a tie the later candidate wins.
        if (!best || std::strong_order(observation->elevation, best->observation.elevation) >= 0)
            best = Peak{t, *observation};
    }
    trace::debug("orbweave::transits", "peak elevation found", [&](auto emit) {
        emit({{"time", time::instant_text(best->t)},
              {"elevation_deg", shortest_decimal(best->observation.elevation * frames::kDegreesPerRadian)}});
    });
    return *best;
}

}  // namespace orbweave::searches

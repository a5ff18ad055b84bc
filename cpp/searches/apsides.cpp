#include "searches/apsides.hpp"

#include <cmath>

#include "core/frames.hpp"
#include "time/text.hpp"
#include "util/number_text.hpp"
#include "detect/found.hpp"
#include "util/trace.hpp"

namespace orbweave::searches {

std::expected<detect::CostSample, CoreError> RadialCost::operator()(time::Instant t) const {
    const auto state = propagator_.propagate(t);
    if (!state) return std::unexpected(state.error());
    const Vec3& r = state->position;
    const Vec3& v = state->velocity;
    return detect::CostSample{dot(r, v), std::nullopt};
}

std::expected<ApsisSearch, CoreError> ApsisSearch::over(const Predictor& predictor, const time::Span& interval,
                                                        const ApsisSettings& settings) {
    auto events = detect::event_iter(RadialCost(predictor))
                      .step(detect::floored(settings.step))
                      .refinement(predictor.refinement())
                      .interval(interval.start, interval.end)
                      .build();
    if (!events) return std::unexpected(events.error());
    return ApsisSearch(std::move(*events));
}

std::expected<std::optional<Apsis>, CoreError> ApsisSearch::next() {
    return detect::map_found(events_.next(), [this](const detect::Event& event) -> std::expected<Apsis, CoreError> {
        const auto state = events_.cost().propagate(event.t);
        if (!state) return std::unexpected(state.error());
        const Apsis apsis{event.t, event.rising ? ApsisKind::Perigee : ApsisKind::Apogee,
                          norm(state->position) - frames::kWgs84A};
        trace::debug("orbweave::apsides", "apsis detected", [&](auto emit) {
            emit({{"event", apsis.event == ApsisKind::Perigee ? "Perigee" : "Apogee"},
                  {"time", time::instant_text(apsis.time)},
                  {"altitude_km", shortest_decimal(apsis.altitude / 1000.0)}});
        });
        return apsis;
    });
}

}  // namespace orbweave::searches

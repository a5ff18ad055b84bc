#pragma once
// Apogees and perigees: the sign changes of r . v (the radial velocity times |r|),
// refined by the root finder, with the altitude above the equatorial radius.
#include <expected>
#include <optional>

#include "core/core_error.hpp"
#include "core/predictor.hpp"
#include "time/span.hpp"
#include "detect/event_iter.hpp"

namespace orbweave::searches {

// value = r . v in m^2/s, no derivative.
class RadialCost {
public:
    explicit RadialCost(Predictor predictor) : propagator_(std::move(predictor)) {}
    std::expected<detect::CostSample, CoreError> operator()(time::Instant t) const;
    std::expected<StateVector, CoreError> propagate(time::Instant t) const { return propagator_.propagate(t); }

private:
    SearchPropagator propagator_;
};

enum class ApsisKind : uint8_t { Apogee = 0, Perigee = 1 };

struct Apsis {
    time::Instant time;
    ApsisKind event;
    double altitude;  // |r| - 6378137 m

    bool operator==(const Apsis&) const = default;
};

// The scan step of an apsis search, raised to one second when at or below it.
struct ApsisSettings {
    time::Duration step = time::Duration::seconds(60);
};

// Apogees and perigees within an interval, one per call, each traced as "apsis
// detected".
class ApsisSearch {
public:
    static std::expected<ApsisSearch, CoreError> over(const Predictor& predictor, const time::Span& interval,
                                                      const ApsisSettings& settings = {});
    // The next apsis, nullopt at the end of the interval, or an error (the scan
    // continues after it on the next call).
    std::expected<std::optional<Apsis>, CoreError> next();

private:
    explicit ApsisSearch(detect::EventIter<RadialCost> events) : events_(std::move(events)) {}
    detect::EventIter<RadialCost> events_;
};

}  // namespace orbweave::searches

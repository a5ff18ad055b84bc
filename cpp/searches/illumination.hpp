#pragma once
// Sunlight and the Earth's shadow: a low-precision solar ephemeris and a
// cylindrical umbra of the equatorial radius on the night side.
#include <expected>

#include "core/core_error.hpp"
#include "core/predictor.hpp"
#include "detect/window_iter.hpp"
#include "time/span.hpp"
#include "detect/root_finder.hpp"

namespace orbweave::searches {

// The Sun's position in metres on equatorial axes (used as TEME), UTC as time scale.
Vec3 sun_position(time::Instant t);

// value = 6378137 - distance from the shadow axis (metres) on the night side,
// 6378137 - |r| on the day side; no derivative. Not negative means eclipse.
class ShadowCost {
public:
    explicit ShadowCost(Predictor predictor) : propagator_(std::move(predictor)) {}
    std::expected<detect::CostSample, CoreError> operator()(time::Instant t) const;

private:
    SearchPropagator propagator_;
};

enum class IlluminationState : uint8_t { Sunlit = 0, Eclipse = 1 };

std::expected<IlluminationState, CoreError> illumination_state(const Predictor& predictor, time::Instant t);

// A stretch of constant illumination.
struct Illumination : time::Span {
    IlluminationState state = IlluminationState::Sunlit;

    bool operator==(const Illumination&) const = default;
};

// The knobs of an illumination search, with the library's defaults. A step at or
// below one second becomes one second.
struct IlluminationSettings {
    time::Duration step = time::Duration::seconds(60);
    time::Duration walk_step = time::Duration::seconds(30);
    time::Duration max_window_duration = time::Duration::seconds(3600);  // eclipses only
};

// Sunlit and eclipse windows tiling an interval, one per call, each traced as
// "illumination window".
class IlluminationSearch {
public:
    static std::expected<IlluminationSearch, CoreError> over(const Predictor& predictor, const time::Span& interval,
                                                             const IlluminationSettings& settings = {});
    std::expected<std::optional<Illumination>, CoreError> next();

private:
    using Windows = detect::WindowIter<ShadowCost, detect::FixedStep>;
    explicit IlluminationSearch(Windows windows) : windows_(std::move(windows)) {}
    Windows windows_;
};

void trace_illumination(const Illumination& window);

}  // namespace orbweave::searches

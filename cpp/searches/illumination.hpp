#pragma once
// Sunlight and the Earth's shadow: a low-precision solar ephemeris and a
// cylindrical umbra of the equatorial radius on the night side.
#include <expected>

#include "core/core_error.hpp"
#include "core/predictor.hpp"
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

void trace_illumination(IlluminationState state, time::Instant start, time::Instant end);

}  // namespace orbweave::searches

#include "core/predictor.hpp"

#include <string>

#include "sgp4/tle_reader.hpp"
#include "time/text.hpp"
#include "util/trace.hpp"

namespace orbweave {

namespace {

constexpr double kMetresPerKilometre = 1000.0;

void trace_construction(std::string_view message, std::string_view satellite, time::Instant epoch) {
    trace::debug("orbweave", message, [&](auto emit) {
        emit({{"satellite", std::string(satellite)}, {"epoch", time::instant_text(epoch)}});
    });
}

Vec3 metres(const std::array<double, 3>& km) {
    return {km[0] * kMetresPerKilometre, km[1] * kMetresPerKilometre, km[2] * kMetresPerKilometre};
}

}  // namespace

std::expected<Predictor, CoreError> Predictor::from_tle(std::string_view satellite_name, std::string_view line_1,
                                                        std::string_view line_2) {
    auto elements = sgp4::read_tle(satellite_name, line_1, line_2);
    if (!elements) return std::unexpected(CoreError{CoreError::Tle{elements.error()}});
    auto constants = sgp4::initialise(*elements);
    if (!constants) return std::unexpected(CoreError{CoreError::Elements{constants.error()}});
    Predictor predictor(std::move(*elements), *constants);
    trace_construction("predictor initialized from TLE", satellite_name, predictor.epoch());
    return predictor;
}

std::expected<Predictor, CoreError> Predictor::from_elements(sgp4::ElementRecord elements) {
    auto constants = sgp4::initialise(elements);
    if (!constants) return std::unexpected(CoreError{CoreError::Elements{constants.error()}});
    Predictor predictor(std::move(elements), *constants);
    if (trace::enabled()) {
        const auto& name = predictor.elements_.object_name;
        const std::string satellite = name ? *name : "NORAD " + std::to_string(predictor.elements_.norad_id);
        trace_construction("predictor initialized from OMM elements", satellite, predictor.epoch());
    }
    return predictor;
}

std::expected<StateVector, CoreError> Predictor::propagate(time::Instant t,
                                                           sgp4::ResonanceCheckpoint* checkpoint) const {
    return propagate_minutes(time::minutes_since(t, elements_.epoch), checkpoint);
}

std::expected<StateVector, CoreError> Predictor::propagate_minutes(double minutes_since_epoch,
                                                                   sgp4::ResonanceCheckpoint* checkpoint) const {
    auto prediction = sgp4::propagate(constants_, minutes_since_epoch, checkpoint);
    if (!prediction) return std::unexpected(CoreError{CoreError::Sgp4{prediction.error()}});
    return StateVector{metres(prediction->position_km), metres(prediction->velocity_km_s)};
}

std::expected<Observation, CoreError> Predictor::observe_at(time::Instant t, const frames::Geodetic& observer,
                                                            sgp4::ResonanceCheckpoint* checkpoint) const {
    const auto teme = propagate(t, checkpoint);
    if (!teme) return std::unexpected(teme.error());
    return observation_from_enu(frames::ecef_to_enu(frames::teme_to_ecef(*teme, t), observer));
}

std::expected<frames::Geodetic, CoreError> Predictor::sub_point(time::Instant t,
                                                                sgp4::ResonanceCheckpoint* checkpoint) const {
    const auto teme = propagate(t, checkpoint);
    if (!teme) return std::unexpected(teme.error());
    return frames::ecef_to_geodetic(frames::teme_to_ecef(*teme, t).position);
}

std::expected<Pointing, CoreError> Predictor::point_at(time::Instant t, const frames::Geodetic& target) const {
    const auto satellite = propagate(t);
    if (!satellite) return std::unexpected(satellite.error());
    // The ground point is at rest in ECEF; in TEME it moves with the Earth's rotation.
    const StateVector ground = frames::ecef_to_teme({frames::geodetic_to_ecef(target), {}}, t);
    return pointing_from_lvlh(frames::teme_to_lvlh(*satellite, ground));
}

Predictor Predictor::with_refinement(Refinement refinement) const {
    Predictor copy = *this;
    copy.refinement_ = refinement;
    return copy;
}

}  // namespace orbweave

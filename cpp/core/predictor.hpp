#pragma once
// The core predictor: an element record, the SGP4 constants made once from it, and
// the root-finder settings handed to every event search. Immutable; copies are deep.
#include <cstdint>
#include <expected>
#include <string_view>

#include "core/core_error.hpp"
#include "core/frames.hpp"
#include "core/observation.hpp"
#include "core/refinement.hpp"
#include "core/vectors.hpp"
#include "sgp4/elements.hpp"
#include "sgp4/sgp4.hpp"
#include "time/instant.hpp"

namespace orbweave {

class Predictor {
public:
    // Reads the TLE (the name is recorded even when empty) and initialises SGP4.
    static std::expected<Predictor, CoreError> from_tle(std::string_view satellite_name, std::string_view line_1,
                                                        std::string_view line_2);
    static std::expected<Predictor, CoreError> from_elements(sgp4::ElementRecord elements);

    // The evaluation step: minutes since epoch (whole milliseconds, toward zero),
    // one SGP4 propagation, kilometres scaled to metres. TEME frame. A checkpoint
    // (see sgp4::ResonanceCheckpoint) spares repeated resonance integration.
    std::expected<StateVector, CoreError> propagate(time::Instant t,
                                                    sgp4::ResonanceCheckpoint* checkpoint = nullptr) const;
    // The same step from its time argument, minutes since epoch already formed.
    std::expected<StateVector, CoreError> propagate_minutes(double minutes_since_epoch,
                                                            sgp4::ResonanceCheckpoint* checkpoint = nullptr) const;

    // The satellite seen from a ground observer at t (range rate relative to the
    // rotating ground).
    std::expected<Observation, CoreError> observe_at(time::Instant t, const frames::Geodetic& observer,
                                                     sgp4::ResonanceCheckpoint* checkpoint = nullptr) const;
    // The geodetic point beneath the satellite at t, with its height.
    std::expected<frames::Geodetic, CoreError> sub_point(time::Instant t,
                                                         sgp4::ResonanceCheckpoint* checkpoint = nullptr) const;
    // A ground target seen from the satellite at t, on its LVLH axes.
    std::expected<Pointing, CoreError> point_at(time::Instant t, const frames::Geodetic& target) const;

    time::Instant epoch() const { return elements_.epoch; }
    // now - epoch, whole milliseconds toward zero, in seconds.
    double tle_age_seconds(time::Instant now) const { return time::age_seconds(now, elements_.epoch); }

    Predictor with_refinement(Refinement refinement) const;
    const Refinement& refinement() const { return refinement_; }
    const sgp4::ElementRecord& elements() const { return elements_; }
    const sgp4::Sgp4Constants& constants() const { return constants_; }

private:
    Predictor(sgp4::ElementRecord elements, sgp4::Sgp4Constants constants)
        : elements_(std::move(elements)), constants_(constants) {}

    sgp4::ElementRecord elements_;
    sgp4::Sgp4Constants constants_;
    Refinement refinement_;
};

// The predictor of one search or sampled iterator, which asks for times that
// mostly increase: it keeps the resonance integration's checkpoint between
// propagations, with results equal to Predictor's. Owned by one search at a time.
class SearchPropagator {
public:
    explicit SearchPropagator(Predictor predictor) : predictor_(std::move(predictor)) {}

    std::expected<StateVector, CoreError> propagate(time::Instant t) const {
        return predictor_.propagate(t, &checkpoint_);
    }
    std::expected<Observation, CoreError> observe_at(time::Instant t, const frames::Geodetic& observer) const {
        return predictor_.observe_at(t, observer, &checkpoint_);
    }
    std::expected<frames::Geodetic, CoreError> sub_point(time::Instant t) const {
        return predictor_.sub_point(t, &checkpoint_);
    }
    const Predictor& predictor() const { return predictor_; }

private:
    Predictor predictor_;
    mutable sgp4::ResonanceCheckpoint checkpoint_;
};

}  // namespace orbweave

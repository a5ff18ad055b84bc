#include "binding/registry.hpp"

#include <array>

#include "binding/apsis.hpp"
#include "binding/elements.hpp"
#include "binding/illumination.hpp"
#include "binding/iterators.hpp"
#include "binding/observation.hpp"
#include "binding/predictor.hpp"
#include "binding/refinement.hpp"
#include "binding/tle.hpp"
#include "binding/transit.hpp"
#include "binding/vectors.hpp"
#include "binding/window.hpp"

namespace orbweave::py {

std::span<const ClassEntry> class_registry() {
    // Final order: Classification, Elements, Tle, LatLon, GeodeticPoint, Vec3,
    // StateVectorTeme, StateVectorEcef, StateVectorEnu, StateVectorLvlh, Interval,
    // Observation, Pointing, Transit, ApsisEvent, Apsis, IlluminationState,
    // Illumination, FillRule, Polygon, Rectangle, Circle, Coverage, AoiWindow,
    // Predictor, PredictionIter, ApsisIter, IlluminationIter, TransitIter,
    // ObservationIter, GroundTrackIter, AoiIter, Refinement.
    static const std::array entries{
        ClassEntry{"Classification", &classification_type},
        ClassEntry{"Elements", &elements_type},
        ClassEntry{"Tle", &tle_type},
        ClassEntry{"GeodeticPoint", &geodetic_point_type},
        ClassEntry{"Vec3", &vec3_type},
        ClassEntry{"StateVectorTeme", &state_vector_teme_type},
        ClassEntry{"StateVectorEcef", &state_vector_ecef_type},
        ClassEntry{"StateVectorEnu", &state_vector_enu_type},
        ClassEntry{"StateVectorLvlh", &state_vector_lvlh_type},
        ClassEntry{"Interval", &interval_type},
        ClassEntry{"Observation", &observation_type},
        ClassEntry{"Pointing", &pointing_type},
        ClassEntry{"Transit", &transit_type},
        ClassEntry{"ApsisEvent", &apsis_event_type},
        ClassEntry{"Apsis", &apsis_type},
        ClassEntry{"IlluminationState", &illumination_state_type},
        ClassEntry{"Illumination", &illumination_type},
        ClassEntry{"Predictor", &predictor_type},
        ClassEntry{"PredictionIter", &prediction_iter_type},
        ClassEntry{"ApsisIter", &apsis_iter_type},
        ClassEntry{"IlluminationIter", &illumination_iter_type},
        ClassEntry{"TransitIter", &transit_iter_type},
        ClassEntry{"ObservationIter", &observation_iter_type},
        ClassEntry{"GroundTrackIter", &ground_track_iter_type},
        ClassEntry{"Refinement", &refinement_type},
    };
    return entries;
}

}  // namespace orbweave::py

#include "binding/predictor.hpp"

#include <array>

#include "binding/binder.hpp"
#include "binding/class_def.hpp"
#include "binding/convert.hpp"
#include "binding/core_errors.hpp"
#include "binding/elements.hpp"
#include "binding/iterators.hpp"
#include "binding/observation.hpp"
#include "binding/refinement.hpp"
#include "binding/transit.hpp"
#include "binding/apsis.hpp"
#include "binding/illumination.hpp"
#include "searches/peak_elevation.hpp"
#include "binding/tle.hpp"
#include "binding/vectors.hpp"
#include "core/predictor.hpp"

namespace orbweave::py {

namespace {

constexpr const char* kPredictorDoc =
    "Parsed TLE with pre-computed SGP4 constants, ready for propagation.\n\n"
    "Construct from a `Tle` or `Elements`; then use its methods to propagate state vectors,\n"
    "compute ground observations, detect passes, find apsides, and query illumination.";

const Predictor& predictor_of(PyObject* self) { return value_of<Predictor>(self); }

PyObject* wrap(PyObject* type, std::expected<Predictor, CoreError> made) {
    if (!made) return raise_core_error(made.error());
    return new_instance<Predictor>(type, std::move(*made));
}

PyObject* predictor_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        static const Signature signature("Predictor()", {{"elements"}});
        sgp4::ElementRecord record;
        if (!parse_arguments(signature, TupleCall{args, kwargs}, into(record, to_element_record))) return nullptr;
        return wrap(reinterpret_cast<PyObject*>(type), Predictor::from_elements(std::move(record)));
    });
}

PyObject* predictor_from_tle(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        static const Signature signature("Predictor.from_tle()", {{"tle"}});
        TleValue tle;
        if (!parse_arguments(signature, FastCall{args, nargs, kwnames}, into(tle, to_tle_value))) return nullptr;
        return wrap(predictor_type(), Predictor::from_tle(tle.satellite_name, tle.line_1, tle.line_2));
    });
}

PyObject* predictor_with_refinement(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        static const Signature signature("Predictor.with_refinement()", {{"refinement"}});
        Refinement refinement;
        if (!parse_arguments(signature, FastCall{args, nargs, kwnames}, into(refinement, to_refinement)))
            return nullptr;
        return new_instance<Predictor>(predictor_type(), predictor_of(self).with_refinement(refinement));
    });
}

PyObject* predictor_propagate(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        static const Signature signature("Predictor.propagate()", {{"t"}});
        time::Instant t;
        if (!parse_arguments(signature, FastCall{args, nargs, kwnames}, into(t, to_instant))) return nullptr;
        auto state = predictor_of(self).propagate(t);
        if (!state) return raise_core_error(state.error());
        return new_state_vector_teme(*state);
    });
}

// observe_at(t, observer) and point_at(t, target).
template <class Result, std::expected<Result, CoreError> (Predictor::*Compute)(time::Instant, const frames::Geodetic&)
                            const,
          PyObject* (*Make)(const Result&)>
PyObject* at_ground_point(const Signature& signature, PyObject* self, const FastCall& call) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        time::Instant t;
        frames::Geodetic point;
        if (!parse_arguments(signature, call, into(t, to_instant), into(point, to_geodetic))) return nullptr;
        const auto result = (predictor_of(self).*Compute)(t, point);
        return result ? Make(*result) : raise_core_error(result.error());
    });
}

PyObject* predictor_observe_at(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static const Signature signature("Predictor.observe_at()", {{"t"}, {"observer"}});
    return at_ground_point<Observation, &Predictor::observe_at, &new_observation>(signature, self,
                                                                                 {args, nargs, kwnames});
}

PyObject* predictor_point_at(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static const Signature signature("Predictor.point_at()", {{"t"}, {"target"}});
    return at_ground_point<Pointing, &Predictor::point_at, &new_pointing>(signature, self, {args, nargs, kwnames});
}

PyObject* predictor_sub_point(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        static const Signature signature("Predictor.sub_point()", {{"t"}});
        time::Instant t;
        if (!parse_arguments(signature, FastCall{args, nargs, kwnames}, into(t, to_instant))) return nullptr;
        const auto point = predictor_of(self).sub_point(t);
        return point ? new_geodetic_point(*point) : raise_core_error(point.error());
    });
}

// prediction_iter and ground_track_iter: (interval, step).
PyObject* sampled_iter(const Signature& signature, PyObject* type, PyObject* self, const FastCall& call) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        InstantRange interval;
        time::Duration step;
        if (!parse_arguments(signature, call, into(interval, to_instant_range), into(step, to_duration)))
            return nullptr;
        return new_sampled_iter(type, {predictor_of(self), time::Sampler(interval.start, interval.end, step), {}});
    });
}

PyObject* predictor_prediction_iter(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static const Signature signature("Predictor.prediction_iter()", {{"interval"}, {"step"}});
    return sampled_iter(signature, prediction_iter_type(), self, {args, nargs, kwnames});
}

PyObject* predictor_ground_track_iter(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    static const Signature signature("Predictor.ground_track_iter()", {{"interval"}, {"step"}});
    return sampled_iter(signature, ground_track_iter_type(), self, {args, nargs, kwnames});
}

PyObject* predictor_observation_iter(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        static const Signature signature("Predictor.observation_iter()", {{"observer"}, {"interval"}, {"step"}});
        frames::Geodetic observer;
        InstantRange interval;
        time::Duration step;
        if (!parse_arguments(signature, FastCall{args, nargs, kwnames}, into(observer, to_geodetic),
                             into(interval, to_instant_range), into(step, to_duration)))
            return nullptr;
        return new_sampled_iter(observation_iter_type(),
                                {predictor_of(self), time::Sampler(interval.start, interval.end, step), observer});
    });
}

PyObject* predictor_max_elevation(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        static const Signature signature("Predictor.max_elevation()", {{"observer"}, {"interval"}, {"scan_step", false}},
                                         0, 2);
        frames::Geodetic observer;
        InstantRange interval;
        time::Duration scan_step = time::Duration::seconds(10);
        if (!parse_arguments(signature, FastCall{args, nargs, kwnames}, into(observer, to_geodetic),
                             into(interval, to_instant_range), into(scan_step, none_or<time::Duration, to_duration>)))
            return nullptr;
        const auto peak = searches::max_elevation(predictor_of(self), observer, interval.start, interval.end,
                                                  floored_step(scan_step));
        if (!peak) return raise_core_error(peak.error());
        Ref when = Ref::steal(from_instant(peak->t));
        Ref observation = when ? Ref::steal(new_observation(peak->observation)) : Ref();
        return observation ? PyTuple_Pack(2, when.get(), observation.get()) : nullptr;
    });
}

PyObject* predictor_tle_age_seconds(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        static const Signature signature("Predictor.tle_age_seconds()", {{"now"}});
        time::Instant now;
        if (!parse_arguments(signature, FastCall{args, nargs, kwnames}, into(now, to_instant))) return nullptr;
        return PyFloat_FromDouble(predictor_of(self).tle_age_seconds(now));
    });
}

PyObject* predictor_epoch(PyObject* self, void*) {
    return guarded<PyObject*>(nullptr, [&] { return from_instant(predictor_of(self).epoch()); });
}

}  // namespace

PyObject* predictor_type() {
    static PyObject* type = nullptr;
    if (type) return type;
    if (!elements_type() || !tle_type() || !state_vector_teme_type() || !prediction_iter_type() ||
        !observation_iter_type() || !ground_track_iter_type() || !observation_type() || !pointing_type() || !refinement_type() ||
        !transit_iter_type() || !apsis_iter_type() ||
        !illumination_iter_type())
        return nullptr;
    ClassBuilder builder = value_class<Predictor>("Predictor", kPredictorDoc);
    builder.constructor("Predictor(elements)", &predictor_new)
        .method("from_tle", &predictor_from_tle,
                "from_tle(tle)\n--\n\nParse TLE string lines and initialise SGP4 constants.\n\n"
                "Raises `ValueError` if the TLE is malformed.",
                METH_STATIC)
        .method("with_refinement", &predictor_with_refinement,
                "with_refinement($self, refinement)\n--\n\n"
                "Return a new `Predictor` with the given root-finder configuration.")
        .method("propagate", &predictor_propagate,
                "propagate($self, t)\n--\n\nPropagate the TLE to the given UTC time.\n\n"
                "Returns a state vector in the TEME frame.")
        .method("observe_at", &predictor_observe_at,
                "observe_at($self, t, observer)\n--\n\nCalculate the observation from an observer at the given UTC "
                "time.")
        .method("point_at", &predictor_point_at,
                "point_at($self, t, target)\n--\n\nWhere `target` lies as seen from the satellite at the given UTC "
                "time.\n\nReturns a `Pointing`: a unit vector in the satellite's LVLH frame, plus\nslant range and "
                "range rate.")
        .method("prediction_iter", &predictor_prediction_iter,
                "prediction_iter($self, interval, step)\n--\n\n"
                "Iterate over state vectors in the TEME frame at regular intervals.\n\n"
                "`interval` must expose `.start` and `.end` datetime properties.\n"
                "Pass an `Interval`, `Transit`, or `Illumination` object.")
        .method("observation_iter", &predictor_observation_iter,
                "observation_iter($self, observer, interval, step)\n--\n\n"
                "Iterate over observations from the given observer at regular intervals.\n\n"
                "`interval` must expose `.start` and `.end` datetime properties.\n"
                "Pass an `Interval`, `Transit`, or `Illumination` object.")
        .method("transits_iter", &predictor_transits_iter, kTransitsIterDoc)
        .method("sub_point", &predictor_sub_point,
                "sub_point($self, t)\n--\n\nThe geodetic point directly beneath the satellite at time `t`.")
        .method("ground_track_iter", &predictor_ground_track_iter,
                "ground_track_iter($self, interval, step)\n--\n\n"
                "Trace the satellite's ground track at regular intervals.\n\n"
                "`interval` must expose `.start` and `.end` datetime properties.\n"
                "Yields `(datetime, GeodeticPoint)` sub-satellite points.")
        .method("apsis_iter", &predictor_apsis_iter, kApsisIterDoc)
        .method("illumination_iter", &predictor_illumination_iter, kIlluminationIterDoc)
        .method("detect_transit", &predictor_detect_transit, kDetectTransitDoc)
        .method("max_elevation", &predictor_max_elevation,
                "max_elevation($self, observer, interval, *, scan_step=None)\n--\n\n"
                "Find the peak elevation of the satellite over an observer within the interval.\n\n"
                "`interval` must expose `.start` and `.end` datetime properties.\n"
                "Returns `(datetime, Observation)` at the peak.\n"
                "Raises `RuntimeError` if no peak is found in the interval.\n\n"
                "`scan_step` is the fixed step used to scan for elevation-rate zero\n"
                "crossings, defaulting to the library's own value.")
        .method("illumination_state", &predictor_illumination_state, kIlluminationStateDoc)
        .property("epoch", &predictor_epoch, "The epoch of the TLE (UTC).")
        .method("tle_age_seconds", &predictor_tle_age_seconds,
                "tle_age_seconds($self, now)\n--\n\n"
                "Age of the TLE relative to `now` in seconds (positive = TLE is in the past).");
    type = builder.build();
    return type;
}

}  // namespace orbweave::py

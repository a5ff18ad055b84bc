#include "binding/iterators.hpp"

#include "binding/class_def.hpp"
#include "binding/protocols.hpp"
#include "binding/convert.hpp"
#include "binding/core_errors.hpp"
#include "binding/observation.hpp"
#include "binding/ref.hpp"
#include "binding/vectors.hpp"

namespace orbweave::py {

namespace {

// (datetime of t, value), or null with the exception set.
PyObject* timed_item(time::Instant t, PyObject* value) {
    Ref item_value = Ref::steal(value);
    if (!item_value) return nullptr;
    Ref when = Ref::steal(from_instant(t));
    if (!when) return nullptr;
    return PyTuple_Pack(2, when.get(), item_value.get());
}

// The value of each item at t, or null with the exception set.
PyObject* state_at(const SampledIter& iter, time::Instant t) {
    const auto state = iter.predictor.propagate(t);
    return state ? new_state_vector_teme(*state) : raise_core_error(state.error());
}
PyObject* sub_point_at(const SampledIter& iter, time::Instant t) {
    const auto point = iter.predictor.sub_point(t);
    return point ? new_geodetic_point(*point) : raise_core_error(point.error());
}
PyObject* observation_at(const SampledIter& iter, time::Instant t) {
    const auto observation = iter.predictor.observe_at(t, iter.observer);
    return observation ? new_observation(*observation) : raise_core_error(observation.error());
}

// Advances the sampler and evaluates the satellite at the sample. A failed
// evaluation raises; the sampler has moved on, so the next call continues.
template <PyObject* (*ValueAt)(const SampledIter&, time::Instant)>
PyObject* next_sample(PyObject* self) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        SampledIter& iter = value_of<SampledIter>(self);
        const auto t = iter.sampler.next();
        if (!t) return nullptr;  // exhausted: no item, no exception
        return timed_item(*t, ValueAt(iter, *t));
    });
}

ClassBuilder iterator_class(const char* name, const char* doc, iternextfunc next) {
    ClassBuilder builder = value_class<SampledIter>(name, doc);
    with_iterator(builder, next);
    return builder;
}

}  // namespace

PyObject* prediction_iter_type() {
    static PyObject* type = nullptr;
    if (!type)
        type = iterator_class("PredictionIter",
                              "Lazy iterator yielding `(datetime, StateVectorTeme)` at regular intervals.",
                              &next_sample<&state_at>)
                   .build();
    return type;
}

PyObject* observation_iter_type() {
    static PyObject* type = nullptr;
    if (!type)
        type = iterator_class("ObservationIter",
                              "Lazy iterator yielding time-stamped observations at regular intervals.",
                              &next_sample<&observation_at>)
                   .build();
    return type;
}

PyObject* ground_track_iter_type() {
    static PyObject* type = nullptr;
    if (!type)
        type = iterator_class("GroundTrackIter",
                              "Lazy iterator yielding `(datetime, GeodeticPoint)` sub-satellite points at regular "
                              "intervals.",
                              &next_sample<&sub_point_at>)
                   .build();
    return type;
}

PyObject* new_sampled_iter(PyObject* type, SampledIter state) {
    return type ? new_instance<SampledIter>(type, std::move(state)) : nullptr;
}

}  // namespace orbweave::py

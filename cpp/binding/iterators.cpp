#include "binding/iterators.hpp"

#include "binding/class_def.hpp"
#include "binding/convert.hpp"
#include "binding/core_errors.hpp"
#include "binding/ref.hpp"
#include "binding/vectors.hpp"

namespace orbweave::py {

namespace {

struct SampledIter {
    Predictor predictor;
    time::Sampler sampler;
};

PyObject* iter_self(PyObject* self) {
    Py_INCREF(self);
    return self;
}

// (datetime of t, value), or null with the exception set.
PyObject* timed_item(time::Instant t, PyObject* value) {
    Ref item_value = Ref::steal(value);
    if (!item_value) return nullptr;
    Ref when = Ref::steal(from_instant(t));
    if (!when) return nullptr;
    return PyTuple_Pack(2, when.get(), item_value.get());
}

// Advances the sampler and evaluates the satellite at the sample. A failed
// evaluation raises; the sampler has moved on, so the next call continues.
template <PyObject* (*MakeValue)(const StateVector&)>
PyObject* next_sample(PyObject* self) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        SampledIter& iter = value_of<SampledIter>(self);
        const auto t = iter.sampler.next();
        if (!t) return nullptr;  // exhausted: no item, no exception
        auto state = iter.predictor.propagate(*t);
        if (!state) return raise_core_error(state.error());
        return timed_item(*t, MakeValue(*state));
    });
}

ClassBuilder iterator_class(const char* name, const char* doc, iternextfunc next) {
    ClassBuilder builder = value_class<SampledIter>(name, doc);
    builder.slot(Py_tp_iter, reinterpret_cast<void*>(&iter_self))
        .slot(Py_tp_iternext, reinterpret_cast<void*>(next));
    return builder;
}

}  // namespace

PyObject* prediction_iter_type() {
    static PyObject* type = nullptr;
    if (!type)
        type = iterator_class("PredictionIter",
                              "Lazy iterator yielding `(datetime, StateVectorTeme)` at regular intervals.",
                              &next_sample<&new_state_vector_teme>)
                   .build();
    return type;
}

PyObject* new_prediction_iter(const Predictor& predictor, const time::Sampler& sampler) {
    PyObject* type = prediction_iter_type();
    return type ? new_instance<SampledIter>(type, SampledIter{predictor, sampler}) : nullptr;
}

}  // namespace orbweave::py

#pragma once
// The regular-interval iterators: each owns a copy of the core predictor and a
// fixed-step sampler, and yields (datetime, value) items until the sampler ends.
#include <Python.h>

#include "core/predictor.hpp"
#include "time/sampler.hpp"

namespace orbweave::py {

struct SampledIter {
    Predictor predictor;
    time::Sampler sampler;
    frames::Geodetic observer;  // ObservationIter only
};

PyObject* prediction_iter_type();
PyObject* observation_iter_type();
PyObject* ground_track_iter_type();

// A new iterator of `type` (one of the three above) over `state`.
PyObject* new_sampled_iter(PyObject* type, SampledIter state);

}  // namespace orbweave::py

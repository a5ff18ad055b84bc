#pragma once
// The regular-interval iterators: each owns a copy of the core predictor and a
// fixed-step sampler, and yields (datetime, value) items until the sampler ends.
#include <Python.h>

#include "core/predictor.hpp"
#include "time/sampler.hpp"

namespace orbweave::py {

PyObject* prediction_iter_type();
PyObject* new_prediction_iter(const Predictor& predictor, const time::Sampler& sampler);

}  // namespace orbweave::py

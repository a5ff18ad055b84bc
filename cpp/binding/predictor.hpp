#pragma once
// The Predictor class: one core predictor, and every question asked of it.
#include <Python.h>

namespace orbweave::py {

PyObject* predictor_type();

}  // namespace orbweave::py

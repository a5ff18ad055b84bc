#pragma once
// The Refinement class: the root finder's two settings, readable and writable.
#include <Python.h>

#include "core/predictor.hpp"

namespace orbweave::py {

PyObject* refinement_type();
// A Refinement instance -> its settings; otherwise the wrong-type TypeError.
bool to_refinement(PyObject* value, Refinement& out);

}  // namespace orbweave::py

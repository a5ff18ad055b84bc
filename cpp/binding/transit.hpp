#pragma once
// The Transit class (a pass: AoS to LoS), TransitIter, and the pass searches of
// the Predictor.
#include <Python.h>

#include "binding/window.hpp"

namespace orbweave::py {

PyObject* transit_type();
PyObject* transit_iter_type();
PyObject* new_transit(const Window& window);

// Predictor.transits_iter and Predictor.detect_transit.
PyObject* predictor_transits_iter(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* predictor_detect_transit(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
extern const char* const kTransitsIterDoc;
extern const char* const kDetectTransitDoc;

}  // namespace orbweave::py

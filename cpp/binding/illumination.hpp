#pragma once
// IlluminationState, Illumination and IlluminationIter, and the Predictor's
// illumination_state and illumination_iter.
#include <Python.h>

namespace orbweave::py {

PyObject* illumination_state_type();
PyObject* illumination_type();
PyObject* illumination_iter_type();

PyObject* predictor_illumination_state(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* predictor_illumination_iter(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
extern const char* const kIlluminationStateDoc;
extern const char* const kIlluminationIterDoc;

}  // namespace orbweave::py

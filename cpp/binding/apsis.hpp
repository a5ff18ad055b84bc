#pragma once
// ApsisEvent, Apsis and ApsisIter, and Predictor.apsis_iter.
#include <Python.h>

namespace orbweave::py {

PyObject* apsis_event_type();
PyObject* apsis_type();
PyObject* apsis_iter_type();

PyObject* predictor_apsis_iter(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
extern const char* const kApsisIterDoc;

}  // namespace orbweave::py

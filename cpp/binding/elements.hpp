#pragma once
// The Elements and Classification classes, and conversions other classes need.
#include <Python.h>

#include "sgp4/elements.hpp"

namespace orbweave::py {

PyObject* classification_type();
PyObject* elements_type();

// A new Elements holding `record`.
PyObject* new_elements(sgp4::ElementRecord record);
// An Elements instance -> its record; otherwise the wrong-type TypeError.
bool to_element_record(PyObject* value, sgp4::ElementRecord& out);

}  // namespace orbweave::py

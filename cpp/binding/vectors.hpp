#pragma once
// Vec3 and the state-vector classes.
#include <Python.h>

#include "core/vectors.hpp"

namespace orbweave::py {

PyObject* vec3_type();
PyObject* state_vector_teme_type();
PyObject* state_vector_ecef_type();
PyObject* state_vector_enu_type();
PyObject* state_vector_lvlh_type();

PyObject* new_vec3(const Vec3& value);
PyObject* new_state_vector_teme(const StateVector& state);

}  // namespace orbweave::py

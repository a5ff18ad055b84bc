#pragma once
// GeodeticPoint, Observation and Pointing.
#include <Python.h>

#include "core/frames.hpp"
#include "core/observation.hpp"

namespace orbweave::py {

PyObject* geodetic_point_type();
PyObject* observation_type();
PyObject* pointing_type();

PyObject* new_geodetic_point(const frames::Geodetic& point);
PyObject* new_observation(const Observation& observation);
PyObject* new_pointing(const Pointing& pointing);

// Exactly a GeodeticPoint; anything else is the wrong-type TypeError.
bool to_geodetic(PyObject* value, frames::Geodetic& out);

}  // namespace orbweave::py

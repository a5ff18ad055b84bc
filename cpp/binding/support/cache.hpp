#pragma once
// Process-wide objects looked up once: the datetime types, timezone.utc, and the
// interned attribute names used on every conversion. All are created under the
// interpreter lock on first use and kept until the process ends.
#include <Python.h>

namespace orbweave::py {

struct DatetimeApi {
    PyObject* datetime_type;
    PyObject* timedelta_type;
    PyObject* utc;
};

// Imports `datetime` on first use; null with an exception set on failure.
const DatetimeApi* datetime_api();

// Interned attribute names.
struct Names {
    PyObject *year, *month, *day, *hour, *minute, *second, *microsecond, *tzinfo;
    PyObject *days, *seconds, *microseconds;
    PyObject *start, *end, *add_note, *name, *module, *reduce;
};
// Creates the names once; called by the module's execution step, so every later
// call of `names()` finds them. False with an exception set on failure.
bool init_names();
const Names& names();

}  // namespace orbweave::py

#pragma once
// Conversions between Python values and library values. Each `to_*` returns false
// with the Python exception set on failure; each `from_*` returns a new reference or
// null with the exception set. The datetime conversions are written out because
// the limited API has no datetime C API: they read and build datetime objects
// through attributes and calls, with the rounding and errors fixed for the module.
#include <Python.h>

#include <cstdint>

#include "binding/support/errors.hpp"
#include "time/instant.hpp"
#include "time/span.hpp"

namespace orbweave::py {

// Aware-UTC datetime -> instant (microsecond resolution).
bool to_instant(PyObject* value, time::Instant& out);
// Instant -> datetime with tzinfo=timezone.utc; a leap second warns and falls one
// second early.
PyObject* from_instant(time::Instant t);

bool to_duration(PyObject* value, time::Duration& out);
// Sub-microsecond parts are dropped toward zero.
PyObject* from_duration(time::Duration d);

// The exact form of an instant: a tuple (days since 1970, second of the day,
// nanosecond) of ints, as `from_instant_parts` writes it. Not a tuple of three
// ints is a TypeError; parts that name no instant, a ValueError.
bool to_instant_parts(PyObject* value, time::Instant& out);
PyObject* from_instant_parts(time::Instant t);

bool to_f64(PyObject* value, double& out);
bool to_u64(PyObject* value, uint64_t& out);
bool to_u8(PyObject* value, uint8_t& out);
// Exactly `bool`, or a NumPy boolean scalar.
bool to_bool(PyObject* value, bool& out);
// Exactly `str` (or a subclass), as UTF-8.
bool to_text(PyObject* value, std::string& out);

// Anything with `.start` and `.end` datetime attributes.
bool to_instant_range(PyObject* value, time::Span& out);

PyObject* from_f64(double value);
PyObject* from_u64(uint64_t value);
PyObject* from_text(std::string_view text);

}  // namespace orbweave::py

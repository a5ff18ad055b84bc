#pragma once
// The Tle class: a name and two TLE lines, read on request.
#include <Python.h>

#include <string>

#include "util/siphash.hpp"

namespace orbweave::py {

struct TleValue {
    std::string satellite_name, line_1, line_2;

    bool operator==(const TleValue&) const = default;
    void hash_fields(SipHasher13& hasher) const;
};

PyObject* tle_type();
// A Tle instance -> its texts; otherwise the wrong-type TypeError.
bool to_tle_value(PyObject* value, TleValue& out);

}  // namespace orbweave::py

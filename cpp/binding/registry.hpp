#pragma once
// The classes of the module in the order the execution step adds them (also the
// order of __all__). Each entry creates its type on first use and returns it
// (borrowed; types live for the whole process), or null with an exception set.
#include <Python.h>

#include <span>

namespace orbweave::py {

struct ClassEntry {
    const char* name;
    PyObject* (*type)();
};

std::span<const ClassEntry> class_registry();

}  // namespace orbweave::py

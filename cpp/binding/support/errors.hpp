#pragma once
// Raising exceptions at the boundary: wrong-type errors, argument notes, core errors,
// and the guard that turns internal faults into PanicException.
#include <Python.h>

#include <new>
#include <source_location>
#include <string>
#include <string_view>

#include "util/panic.hpp"

namespace orbweave::py {

// TypeError "'<type>' object is not an instance of '<expected>'" (or "'None' is not
// an instance of '<expected>'"). Always returns false, for `return wrong_type(...)`.
bool wrong_type(PyObject* value, const char* expected);

// Attaches "while processing '<argument>'" to the pending exception through its
// add_note method, where the interpreter has one.
void add_argument_note(const char* argument);

// Raises `type` with a text; returns false / null for convenient returns.
bool raise(PyObject* type, std::string_view message);

// The name of an object's type, as the interpreter shows it.
std::string type_name(PyObject* value);

// Reports an internal fault on stderr and raises PanicException with its message.
void raise_panic(std::string_view message, const std::source_location* where);

// Thrown by an implementation that has set a Python exception itself (the error
// of a Python iterator it consumed, a type check of its own): the guard returns
// the failure value with that exception in place.
struct PythonErrorSet {};

// A ValueError with `message` (thrown as PythonErrorSet) unless `holds`.
inline void require(bool holds, std::string_view message) {
    if (holds) return;
    raise(PyExc_ValueError, message);
    throw PythonErrorSet{};
}

// Runs `body` and converts any C++ failure it throws into a Python exception, so that
// nothing escapes into the interpreter. `failed` is what the slot returns on error.
template <class Result, class Body>
Result guarded(Result failed, Body&& body) noexcept {
    try {
        return body();
    } catch (const PythonErrorSet&) {
        // The exception is set already.
    } catch (const Panic& fault) {
        raise_panic(fault.message, &fault.where);
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
    } catch (const std::exception& fault) {
        raise_panic(fault.what(), nullptr);
    } catch (...) {
        raise_panic("", nullptr);
    }
    return failed;
}

}  // namespace orbweave::py

#pragma once
// Protocol slots shared by the value classes: equality (== and != only), the hash
// form of a SipHash-1-3 digest, the iterator protocol, and the deprecated-property
// warning.
#include <Python.h>

#include <cstdint>

#include "binding/support/class_builder.hpp"
#include "binding/support/convert.hpp"
#include "util/siphash.hpp"

namespace orbweave::py {

// A Python hash from a 64-bit digest: never -1, which the interpreter reserves.
inline Py_hash_t to_python_hash(uint64_t digest) {
    const auto hash = static_cast<Py_hash_t>(digest);
    return hash == -1 ? -2 : hash;
}

// == and != by T::operator== for two instances of the same class; every other
// operator and every other operand type is declined (NotImplemented).
template <class T>
PyObject* richcompare_values(PyObject* self, PyObject* other, int op) {
    if ((op != Py_EQ && op != Py_NE) || Py_TYPE(other) != Py_TYPE(self)) Py_RETURN_NOTIMPLEMENTED;
    const bool equal = value_of<T>(self) == value_of<T>(other);
    return PyBool_FromLong(equal == (op == Py_EQ));
}

template <class T>
ClassBuilder& with_equality(ClassBuilder& builder) {
    return builder.slot(Py_tp_richcompare, reinterpret_cast<void*>(&richcompare_values<T>));
}

// The iterator protocol: __iter__ returns the iterator itself, __next__ is `next`
// (null without an exception set ends the iteration).
PyObject* iter_self(PyObject* self);
inline ClassBuilder& with_iterator(ClassBuilder& builder, iternextfunc next) {
    return builder.slot(Py_tp_iter, reinterpret_cast<void*>(&iter_self))
        .slot(Py_tp_iternext, reinterpret_cast<void*>(next));
}

// Issues the DeprecationWarning of a deprecated property (stack level 1); false when
// the warning machinery turned it into an exception.
bool warn_deprecated(const char* message);

}  // namespace orbweave::py

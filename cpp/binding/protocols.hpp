#pragma once
// Protocol slots shared by the value classes: equality (== and != only), stable
// SipHash-1-3 hashes, reprs built by the value itself, and the deprecated-property
// warning.
#include <Python.h>

#include <cstdint>

#include "binding/class_def.hpp"
#include "binding/convert.hpp"
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

// Hash of the fields that equality compares, fed by T::hash_fields(SipHasher13&).
template <class T>
Py_hash_t hash_value(PyObject* self) {
    SipHasher13 hasher;
    value_of<T>(self).hash_fields(hasher);
    return to_python_hash(hasher.finish());
}

// repr from T::repr() -> std::string.
template <class T>
PyObject* repr_value(PyObject* self) {
    return guarded<PyObject*>(nullptr, [&] { return from_text(value_of<T>(self).repr()); });
}

template <class T>
ClassBuilder& with_equality(ClassBuilder& builder) {
    return builder.slot(Py_tp_richcompare, reinterpret_cast<void*>(&richcompare_values<T>));
}
template <class T>
ClassBuilder& with_hash(ClassBuilder& builder) {
    return builder.slot(Py_tp_hash, reinterpret_cast<void*>(&hash_value<T>));
}
template <class T>
ClassBuilder& with_repr(ClassBuilder& builder) {
    return builder.slot(Py_tp_repr, reinterpret_cast<void*>(&repr_value<T>));
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

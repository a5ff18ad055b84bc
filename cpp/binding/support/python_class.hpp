#pragma once
// The per-class trait of the binding and the conversions built on it.
//
// Every Python class of the module is a C++ value type V with a specialisation of
// PyClass<V> (all of them in binding/classes.hpp) that names the class and defines
// it. From the trait come the type object, created on first use and kept for the
// life of the process; wrapping a value in a new instance; and unwrapping an
// instance of exactly that class. An enumeration E lists its members instead of
// defining itself.
//
// On top of that, one conversion per C++ type in each direction: `from_python`
// fills a C++ argument from a Python object (false with the exception set), and
// `to_python` turns a C++ result into a new reference (null with the exception
// set). Method declarations (binding/support/declare.hpp) pick them by type.
#include <Python.h>

#include <concepts>
#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "binding/support/class_builder.hpp"
#include "binding/support/convert.hpp"
#include "binding/support/core_errors.hpp"
#include "binding/support/enums.hpp"
#include "binding/support/ref.hpp"
#include "core/core_error.hpp"

namespace orbweave::py {

// { static constexpr const char* name; static ClassBuilder define(); } for a class;
// { name, doc, members } for an enumeration.
template <class V>
struct PyClass;

template <class V>
concept PythonClass = requires {
    { PyClass<V>::name } -> std::convertible_to<const char*>;
};

template <class E>
concept PythonEnum = PythonClass<E> && std::is_enum_v<E>;

// The enumeration's member table, shared by its type and its conversions.
template <PythonEnum E>
EnumInfo& enum_info() {
    static EnumInfo info{PyClass<E>::name,
                         std::vector<const char*>(std::begin(PyClass<E>::members), std::end(PyClass<E>::members)),
                         {}};
    return info;
}

// The type object of V, created on first use; null with the exception set.
template <PythonClass V>
PyObject* type_of() {
    static PyObject* type = nullptr;
    if (!type) {
        if constexpr (std::is_enum_v<V>)
            type = build_enum_type(enum_info<V>(), PyClass<V>::doc);
        else
            type = PyClass<V>::define().build();
    }
    return type;
}

// A new instance of V's class holding `value`.
template <PythonClass V>
    requires(!std::is_enum_v<V>)
PyObject* wrap(V value) {
    PyObject* type = type_of<V>();
    return type ? new_instance<V>(type, std::move(value)) : nullptr;
}

// The value of an instance of exactly V's class; otherwise TypeError "'<type>'
// object is not an instance of '<class>'".
template <PythonClass V>
    requires(!std::is_enum_v<V>)
bool unwrap(PyObject* object, V& out) {
    PyObject* type = type_of<V>();
    if (!type) return false;
    if (reinterpret_cast<PyObject*>(Py_TYPE(object)) != type) return wrong_type(object, PyClass<V>::name);
    out = value_of<V>(object);
    return true;
}

// The class builder for V, with its name and size.
template <PythonClass V>
ClassBuilder class_of(std::string doc) {
    return ClassBuilder(PyClass<V>::name, static_cast<int>(sizeof(Boxed<V>)), &dealloc_instance<V>, std::move(doc));
}

// ---------------------------------------------------------------- Python -> C++

inline bool from_python(PyObject* value, double& out) { return to_f64(value, out); }
inline bool from_python(PyObject* value, uint64_t& out) { return to_u64(value, out); }
inline bool from_python(PyObject* value, uint8_t& out) { return to_u8(value, out); }
inline bool from_python(PyObject* value, bool& out) { return to_bool(value, out); }
inline bool from_python(PyObject* value, std::string& out) { return to_text(value, out); }
inline bool from_python(PyObject* value, time::Instant& out) { return to_instant(value, out); }
inline bool from_python(PyObject* value, time::Duration& out) { return to_duration(value, out); }
// Any object with `.start` and `.end`, not only an Interval.
inline bool from_python(PyObject* value, time::Span& out) { return to_instant_range(value, out); }
// An instant to the nanosecond, leap seconds included, where a datetime would lose
// its sub-microsecond part: the tuple of `to_instant_parts`.
struct ExactInstant {
    time::Instant value;
};
inline bool from_python(PyObject* value, ExactInstant& out) { return to_instant_parts(value, out.value); }

// The argument object itself, borrowed for the call.
inline bool from_python(PyObject* value, PyObject*& out) {
    out = value;
    return true;
}

template <PythonClass V>
bool from_python(PyObject* value, V& out) {
    if constexpr (std::is_enum_v<V>) {
        uint8_t index = 0;
        if (!type_of<V>() || !to_enum_index(value, enum_info<V>(), index)) return false;
        out = static_cast<V>(index);
        return true;
    } else {
        return unwrap(value, out);
    }
}

// None (or an absent optional argument) is no value.
template <class T>
bool from_python(PyObject* value, std::optional<T>& out) {
    if (value == Py_None) {
        out.reset();
        return true;
    }
    T converted{};
    if (!from_python(value, converted)) return false;
    out = std::move(converted);
    return true;
}

// Every item of a list or tuple (a finite sequence: no iterator that never ends),
// taken from a snapshot that converting an item cannot change.
template <class T>
bool from_python(PyObject* value, std::vector<T>& out) {
    if (!PyList_Check(value) && !PyTuple_Check(value)) return wrong_type(value, "list");
    Ref items = Ref::steal(PySequence_Tuple(value));
    if (!items) return false;
    const Py_ssize_t count = PyTuple_Size(items.get());
    out.clear();
    out.reserve(static_cast<size_t>(count));
    for (Py_ssize_t i = 0; i < count; ++i) {
        T converted{};
        if (!from_python(PyTuple_GetItem(items.get(), i), converted)) return false;
        out.push_back(std::move(converted));
    }
    return true;
}

template <class T>
concept FromPython = requires(PyObject* value, T& out) {
    { from_python(value, out) } -> std::same_as<bool>;
};

// ---------------------------------------------------------------- C++ -> Python

inline PyObject* to_python(double value) { return from_f64(value); }
inline PyObject* to_python(uint64_t value) { return from_u64(value); }
inline PyObject* to_python(uint8_t value) { return from_u64(value); }
inline PyObject* to_python(bool value) { return PyBool_FromLong(value); }
inline PyObject* to_python(const std::string& value) { return from_text(value); }
inline PyObject* to_python(time::Instant value) { return from_instant(value); }
inline PyObject* to_python(time::Duration value) { return from_duration(value); }
// A new reference made by the implementation itself.
inline PyObject* to_python(PyObject* value) { return value; }
inline PyObject* to_python(ExactInstant value) { return from_instant_parts(value.value); }

template <PythonClass V>
PyObject* to_python(const V& value) {
    if constexpr (std::is_enum_v<V>) {
        if (!type_of<V>()) return nullptr;
        return enum_member(enum_info<V>(), static_cast<uint8_t>(value));
    } else {
        return wrap<V>(value);
    }
}

template <class T>
PyObject* to_python(const std::optional<T>& value) {
    if (!value) Py_RETURN_NONE;
    return to_python(*value);
}

template <class T>
PyObject* to_python(const std::expected<T, CoreError>& value) {
    if (!value) return raise_core_error(value.error());
    return to_python(*value);
}

template <class T>
PyObject* to_python(const std::vector<T>& items);

// A tuple of the converted items.
template <class... T>
PyObject* to_python(const std::tuple<T...>& items) {
    Ref tuple = Ref::steal(PyTuple_New(sizeof...(T)));
    if (!tuple) return nullptr;
    Py_ssize_t index = 0;
    const auto set_next = [&](const auto& item) {
        PyObject* converted = to_python(item);
        return converted && PyTuple_SetItem(tuple.get(), index++, converted) == 0;  // steals `converted`
    };
    const bool complete = std::apply([&](const T&... item) { return (set_next(item) && ...); }, items);
    return complete ? tuple.release() : nullptr;
}

// A new list of the converted items.
template <class T>
PyObject* to_python(const std::vector<T>& items) {
    Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(items.size())));
    if (!list) return nullptr;
    for (size_t i = 0; i < items.size(); ++i) {
        PyObject* item = to_python(items[i]);
        if (!item) return nullptr;
        PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), item);  // steals `item`
    }
    return list.release();
}

template <class T>
concept ToPython = requires(const T& value) {
    { to_python(value) } -> std::same_as<PyObject*>;
};

// Moves a value into a new instance (for values that are costly to copy).
template <PythonClass V>
    requires(!std::is_enum_v<V>)
PyObject* to_python(V&& value) {
    return wrap<V>(std::move(value));
}

template <class T>
PyObject* to_python(std::expected<T, CoreError>&& value) {
    if (!value) return raise_core_error(value.error());
    return to_python(std::move(*value));
}

}  // namespace orbweave::py

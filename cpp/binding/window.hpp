#pragma once
// The protocol shared by Interval and the window classes (Transit, Illumination,
// AoiWindow): start, end, duration, mid_point, intersection, equality and a hash
// stable across processes. A window class's value type T exposes
// `const Window& window() const`, `operator==` and `hash_fields`.
#include <Python.h>

#include <string>

#include "binding/binder.hpp"
#include "binding/class_def.hpp"
#include "binding/convert.hpp"
#include "binding/protocols.hpp"
#include "time/instant.hpp"

namespace orbweave::py {

struct Window {
    static constexpr const char* kClassName = "Interval";
    time::Instant start, end;

    const Window& window() const { return *this; }
    bool operator==(const Window&) const = default;
    void hash_fields(SipHasher13& hasher) const;
    // "start=<instant>, end=<instant>"
    std::string fields_text() const;
    time::Duration duration() const { return end - start; }
    // start + (end - start) / 2, halved toward zero at the nanosecond.
    time::Instant mid_point() const { return start + duration().half(); }
    std::string repr() const { return "Interval(" + fields_text() + ")"; }
};

void hash_instant(SipHasher13& hasher, time::Instant t);

// The Interval class (also the result type of every intersection).
PyObject* interval_type();
PyObject* new_interval(const Window& window);

namespace window_detail {

PyObject* intersection(const Signature& signature, const Window& self, PyObject* const* args, Py_ssize_t nargs,
                       PyObject* kwnames);
PyObject* duration_seconds(const Window& window);

inline constexpr const char* kDurationDoc = "Length of the interval.";
inline constexpr const char* kMidPointDoc = "The instant halfway between `start` and `end`.";
inline constexpr const char* kIntersectionDoc =
    "intersection($self, other)\n--\n\nThe overlap with `other`, or None if the two do not overlap.";

}  // namespace window_detail

// Adds start, end, duration, mid_point, intersection, equality and hash.
template <class T>
ClassBuilder& with_window_protocol(ClassBuilder& builder, const char* start_doc, const char* end_doc) {
    builder
        .property("start", [](PyObject* self, void*) {
            return guarded<PyObject*>(nullptr, [&] { return from_instant(value_of<T>(self).window().start); });
        }, start_doc)
        .property("end", [](PyObject* self, void*) {
            return guarded<PyObject*>(nullptr, [&] { return from_instant(value_of<T>(self).window().end); });
        }, end_doc)
        .property("duration", [](PyObject* self, void*) {
            return guarded<PyObject*>(nullptr, [&] { return from_duration(value_of<T>(self).window().duration()); });
        }, window_detail::kDurationDoc)
        .property("mid_point", [](PyObject* self, void*) {
            return guarded<PyObject*>(nullptr, [&] { return from_instant(value_of<T>(self).window().mid_point()); });
        }, window_detail::kMidPointDoc)
        .method("intersection", [](PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
            static const Signature signature(std::string(T::kClassName) + ".intersection()", {{"other"}});
            return window_detail::intersection(signature, value_of<T>(self).window(), args, nargs, kwnames);
        }, window_detail::kIntersectionDoc);
    with_equality<T>(builder);
    return with_hash<T>(builder);
}

// Adds the deprecated float property `duration_seconds`.
template <class T>
ClassBuilder& with_duration_seconds(ClassBuilder& builder, const char* doc) {
    return builder.property("duration_seconds", [](PyObject* self, void*) {
        return window_detail::duration_seconds(value_of<T>(self).window());
    }, doc);
}

}  // namespace orbweave::py

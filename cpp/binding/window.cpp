#include "binding/window.hpp"

#include <array>
#include <algorithm>

#include "binding/binder.hpp"
#include "time/text.hpp"

namespace orbweave::py {

namespace {

constexpr const char* kIntervalDoc = "A concrete `[start, end)` interval.";
constexpr const char* kDeprecatedDurationSeconds = "duration_seconds is deprecated; use duration instead";

PyObject* interval_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        static const Signature signature("Interval()", {{"start"}, {"end"}});
        Window window;
        if (!parse_arguments(signature, TupleCall{args, kwargs}, into(window.start, to_instant),
                             into(window.end, to_instant)))
            return nullptr;
        return new_instance<Window>(reinterpret_cast<PyObject*>(type), window);
    });
}

}  // namespace

void hash_instant(SipHasher13& hasher, time::Instant t) {
    hasher.write_i64(t.days_since_1970());
    hasher.write_u32(t.second_of_day());
    hasher.write_u32(t.nanosecond());
}

void Window::hash_fields(SipHasher13& hasher) const {
    hash_instant(hasher, start);
    hash_instant(hasher, end);
}

std::string Window::fields_text() const {
    return "start=" + time::instant_text(start) + ", end=" + time::instant_text(end);
}

PyObject* interval_type() {
    static PyObject* type = nullptr;
    if (type) return type;
    ClassBuilder builder = value_class<Window>("Interval", kIntervalDoc);
    builder.constructor("Interval(start, end)", &interval_new);
    with_window_protocol<Window>(builder, "Inclusive start of the interval.", "Exclusive end of the interval.");
    with_repr<Window>(builder);
    type = builder.build();
    return type;
}

PyObject* new_interval(const Window& window) {
    PyObject* type = interval_type();
    return type ? new_instance<Window>(type, window) : nullptr;
}

namespace window_detail {

PyObject* intersection(const Signature& signature, const Window& self, PyObject* const* args, Py_ssize_t nargs,
                       PyObject* kwnames) {
    return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
        InstantRange other;
        if (!parse_arguments(signature, FastCall{args, nargs, kwnames}, into(other, to_instant_range))) return nullptr;
        const Window overlap{std::max(self.start, other.start), std::min(self.end, other.end)};
        if (!(overlap.start < overlap.end)) Py_RETURN_NONE;
        return new_interval(overlap);
    });
}

PyObject* duration_seconds(const Window& window) {
    if (!warn_deprecated(kDeprecatedDurationSeconds)) return nullptr;
    return PyFloat_FromDouble(static_cast<double>(window.duration().whole_milliseconds()) / 1000.0);
}

}  // namespace window_detail

}  // namespace orbweave::py

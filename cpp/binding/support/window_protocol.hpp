#pragma once
// The protocol shared by Interval and the window classes (Transit, Illumination,
// AoiWindow), whose values are time spans: start, end, duration, mid_point,
// intersection, equality and a hash stable across processes. A window class whose
// value holds more than its span hashes that too (`hash_fields`).
#include <algorithm>
#include <optional>
#include <string>

#include "binding/support/declare.hpp"
#include "time/span.hpp"
#include "time/text.hpp"
#include "util/siphash.hpp"

namespace orbweave::py {

void hash_instant(SipHasher13& hasher, time::Instant t);
void hash_span(SipHasher13& hasher, const time::Span& span);

// "start=<instant>, end=<instant>"
std::string span_fields_text(const time::Span& span);

// "<class>(start=<instant>, end=<instant>, duration=<seconds, one decimal>s)", the
// seconds being whole milliseconds / 1000.
std::string timed_window_repr(const char* class_name, const time::Span& span);

// The overlap with anything that has `.start` and `.end`, or None; touching spans
// do not overlap. Always an Interval.
inline std::optional<time::Span> intersection(const time::Span& self, time::Span other) {
    const time::Span overlap{std::max(self.start, other.start), std::min(self.end, other.end)};
    if (!(overlap.start < overlap.end)) return std::nullopt;
    return overlap;
}

// The deprecated float duration: a DeprecationWarning, then whole milliseconds / 1000.
PyObject* deprecated_duration_seconds(const time::Span& span);

template <class V>
void hash_window(SipHasher13& hasher, const V& window) {
    hash_span(hasher, window);
}

template <class V>
ClassDef<V>& with_window_protocol(ClassDef<V>& def, const char* start_doc, const char* end_doc) {
    return def.template property<[](const V& w) { return w.start; }>("start", start_doc)
        .template property<[](const V& w) { return w.end; }>("end", end_doc)
        .template property<[](const V& w) { return w.duration(); }>("duration", "Length of the interval.")
        .template property<[](const V& w) { return w.mid_point(); }>("mid_point",
                                                                      "The instant halfway between `start` and `end`.")
        .template method<"intersection", "other", [](const V& w, time::Span other) { return intersection(w, other); }>(
            "The overlap with `other`, or None if the two do not overlap.")
        .equality()
        .template hash<&hash_window<V>>();
}

// A pickled span, exact to the nanosecond: (start, end).
inline std::tuple<ExactInstant, ExactInstant> span_state(const time::Span& span) {
    return {ExactInstant{span.start}, ExactInstant{span.end}};
}

// The span of a pickled window: a search never finds one that ends before it starts.
time::Span window_span(ExactInstant start, ExactInstant end);

// Pickling for a window that is its span alone (Transit, AoiWindow).
template <class V>
ClassDef<V>& with_span_pickling(ClassDef<V>& def) {
    return def.template pickled<"start, end",
                                [](ExactInstant start, ExactInstant end) { return V{window_span(start, end)}; },
                                [](const V& w) { return span_state(w); }>();
}

template <class V>
ClassDef<V>& with_duration_seconds(ClassDef<V>& def, const char* doc) {
    return def.template property<[](const V& w) { return deprecated_duration_seconds(w); }>("duration_seconds", doc);
}

}  // namespace orbweave::py

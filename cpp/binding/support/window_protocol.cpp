#include "binding/support/window_protocol.hpp"

#include "binding/support/protocols.hpp"
#include "util/number_text.hpp"

namespace orbweave::py {

namespace {

constexpr const char* kDeprecatedDurationSeconds = "duration_seconds is deprecated; use duration instead";

}  // namespace

void hash_instant(SipHasher13& hasher, time::Instant t) {
    hasher.write_i64(t.days_since_1970());
    hasher.write_u32(t.second_of_day());
    hasher.write_u32(t.nanosecond());
}

void hash_span(SipHasher13& hasher, const time::Span& span) {
    hash_instant(hasher, span.start);
    hash_instant(hasher, span.end);
}

std::string span_fields_text(const time::Span& span) {
    return "start=" + time::instant_text(span.start) + ", end=" + time::instant_text(span.end);
}

std::string timed_window_repr(const char* class_name, const time::Span& span) {
    return std::string(class_name) + "(" + span_fields_text(span) +
           printf_text(", duration=%.1fs)", static_cast<double>(span.duration().whole_milliseconds()) / 1000.0);
}

time::Span window_span(ExactInstant start, ExactInstant end) {
    require(!(end.value < start.value), "a window cannot end before it starts");
    return {start.value, end.value};
}

PyObject* deprecated_duration_seconds(const time::Span& span) {
    if (!warn_deprecated(kDeprecatedDurationSeconds)) return nullptr;
    return PyFloat_FromDouble(static_cast<double>(span.duration().whole_milliseconds()) / 1000.0);
}

}  // namespace orbweave::py

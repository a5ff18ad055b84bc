// Interval: a half-open stretch of UTC time [start, end), and the result of every
// intersection.
#include "binding/classes.hpp"
#include "binding/support/window_protocol.hpp"

namespace orbweave::py {

namespace {

time::Span make(time::Instant start, time::Instant end) { return {start, end}; }

std::string repr(const time::Span& span) { return "Interval(" + span_fields_text(span) + ")"; }

}  // namespace

ClassBuilder PyClass<time::Span>::define() {
    ClassDef<time::Span> def("A concrete `[start, end)` interval.");
    def.constructor<"start, end", &make>()
        .repr<&repr>()
        .pickled<"start, end", [](ExactInstant start, ExactInstant end) { return make(start.value, end.value); },
                 &span_state>();
    return with_window_protocol(def, "Inclusive start of the interval.", "Exclusive end of the interval.");
}

}  // namespace orbweave::py

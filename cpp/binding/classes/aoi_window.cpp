// AoiWindow: a window in which an area is within the payload's reach.
#include "binding/classes.hpp"
#include "binding/support/window_protocol.hpp"

namespace orbweave::py {

namespace {

std::string repr(const searches::AoiWindow& w) { return timed_window_repr("AoiWindow", w); }

}  // namespace

ClassBuilder PyClass<searches::AoiWindow>::define() {
    ClassDef<searches::AoiWindow> def("The window during which an area is within the payload's reach.");
    with_window_protocol(def, "When the area comes within reach.", "When it passes back out of reach.");
    with_duration_seconds(def, "Duration of the window in seconds.\n\nDeprecated: use `duration`, which is a `timedelta`.");
    return with_span_pickling(def).repr<&repr>();
}

}  // namespace orbweave::py

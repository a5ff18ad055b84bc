// Transit: one pass, from acquisition (start) to loss of signal (end).
#include "binding/classes.hpp"
#include "binding/support/window_protocol.hpp"

namespace orbweave::py {

namespace {

std::string repr(const searches::Transit& w) { return timed_window_repr("Transit", w); }

}  // namespace

ClassBuilder PyClass<searches::Transit>::define() {
    ClassDef<searches::Transit> def(
        "A satellite pass — the window during which the satellite is above the minimum elevation.");
    with_window_protocol(def, "Acquisition of Signal: when the satellite rises above `min_elevation`.",
                         "Loss of Signal: when the satellite drops below `min_elevation`.");
    with_duration_seconds(def, "Duration of the transit in seconds.\n\nDeprecated: use `duration`, which is a `timedelta`.");
    return with_span_pickling(def).repr<&repr>();
}

}  // namespace orbweave::py

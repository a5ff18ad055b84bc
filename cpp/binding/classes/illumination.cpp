// Illumination: a stretch of constant illumination, sunlit or in eclipse.
#include "binding/classes.hpp"
#include "binding/support/window_protocol.hpp"

namespace orbweave::py {

namespace {

std::string repr(const searches::Illumination& w) {
    return std::string("Illumination(state=") + member_name(w.state) + ", " + span_fields_text(w) + ")";
}

searches::Illumination unpickle(searches::IlluminationState state, ExactInstant start, ExactInstant end) {
    return {window_span(start, end), state};
}

std::tuple<searches::IlluminationState, ExactInstant, ExactInstant> pickle_state(const searches::Illumination& w) {
    return {w.state, ExactInstant{w.start}, ExactInstant{w.end}};
}

}  // namespace

// The state is part of the value, so of the hash too.
template <>
void hash_window(SipHasher13& hasher, const searches::Illumination& window) {
    hash_span(hasher, window);
    hasher.write_u32(static_cast<uint32_t>(window.state));
}

ClassBuilder PyClass<searches::Illumination>::define() {
    ClassDef<searches::Illumination> def("A contiguous window of constant illumination state.");
    with_window_protocol(def, "Start of the illumination window (UTC).", "End of the illumination window (UTC).");
    with_duration_seconds(def, "Duration of the window in seconds.\n\nDeprecated: use `duration`, which is a `timedelta`.");
    return def.property<&searches::Illumination::state>("state", "Illumination state (Sunlit or Eclipse).")
        .repr<&repr>()
        .pickled<"state, start, end", &unpickle, &pickle_state>();
}

}  // namespace orbweave::py

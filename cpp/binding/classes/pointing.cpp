// Pointing: the satellite's view of a target on the ground.
#include "binding/classes.hpp"
#include "binding/support/declare.hpp"
#include "util/number_text.hpp"

namespace orbweave::py {

namespace {

double off_nadir_deg(const Pointing& p) { return p.off_nadir_deg(); }

std::string repr(const Pointing& p) {
    return printf_text("Pointing(off_nadir=%.2f°, range=%.0fm, range_rate=%.1fm/s)", p.off_nadir_deg(), p.range,
                       p.range_rate);
}

}  // namespace

ClassBuilder PyClass<Pointing>::define() {
    return ClassDef<Pointing>(
               "The satellite's view of a target on the ground.\n\n"
               "`direction` is a unit vector in the spacecraft's LVLH frame — Z along nadir,\n"
               "Y along the negative orbit normal, X along-track — which composes directly\n"
               "with an antenna or instrument mounting rotation. Range is in metres, range\n"
               "rate in m/s (positive = receding).")
        .property<&Pointing::direction>("direction",
                                        "Unit vector from the satellite to the target, in the LVLH frame.\n\n"
                                        "Zero — not a unit vector — for a target at the satellite's own\n"
                                        "position, where there is no direction to report and `range` is zero\n"
                                        "too. Check `range` before composing this with a mounting rotation.")
        .property<&Pointing::range>("range")
        .property<&Pointing::range_rate>("range_rate")
        .property<&off_nadir_deg>("off_nadir_deg",
                                  "Angle between `direction` and nadir, in degrees.\n\n"
                                  "Nadir is geocentric, the same convention as the `max_off_nadir` field of\n"
                                  "regard, so the two compare directly.\n\n"
                                  "Reports `0.0` for the degenerate zero-range state, which is\n"
                                  "indistinguishable from a target exactly at nadir — check `range` to\n"
                                  "tell them apart.")
        .repr<&repr>()
        .equality();
}

}  // namespace orbweave::py

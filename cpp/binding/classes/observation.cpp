// Observation: what a ground observer sees of the satellite.
#include "binding/classes.hpp"
#include "binding/support/declare.hpp"
#include "util/number_text.hpp"

namespace orbweave::py {

namespace {

double azimuth_deg(const Observation& o) { return o.azimuth * frames::kDegreesPerRadian; }
double elevation_deg(const Observation& o) { return o.elevation * frames::kDegreesPerRadian; }

std::string repr(const Observation& o) {
    return printf_text("Observation(az=%.2f°, el=%.2f°, range=%.0fm, range_rate=%.1fm/s)", azimuth_deg(o),
                       elevation_deg(o), o.range, o.range_rate);
}

}  // namespace

ClassBuilder PyClass<Observation>::define() {
    return ClassDef<Observation>(
               "A point observation of a satellite from a ground location.\n\n"
               "Use `azimuth_deg` and `elevation_deg` for angular values.\n"
               "Range is in metres, range rate in m/s (positive = receding).")
        .property<&azimuth_deg>("azimuth_deg", "Azimuth in degrees from north, measured clockwise, in `(-180, 180]`.")
        .property<&elevation_deg>("elevation_deg", "Elevation above the horizon in degrees.")
        .property<&Observation::range>("range")
        .property<&Observation::range_rate>("range_rate")
        .repr<&repr>()
        .equality();
}

}  // namespace orbweave::py

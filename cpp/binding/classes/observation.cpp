// Observation: what a ground observer sees of the satellite.
#include <cmath>

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

// Stored as computed, in radians. Only what no observation can hold is refused: an
// angle beyond its range, a negative or undefined range, an infinite range rate.
// (An observer at the satellite's own position has an undefined elevation and
// range rate.)
Observation unpickle(double azimuth, double elevation, double range, double range_rate) {
    constexpr double kPi = 3.141592653589793, kHalfPi = 1.5707963267948966;
    require(std::abs(azimuth) <= kPi, "an observation's azimuth must lie in [-pi, pi] radians");
    require(!(std::abs(elevation) > kHalfPi), "an observation's elevation must lie in [-pi/2, pi/2] radians");
    require(range >= 0.0 && std::isfinite(range), "an observation's range must be finite and not negative");
    require(!std::isinf(range_rate), "an observation's range rate must not be infinite");
    return {azimuth, elevation, range, range_rate};
}

std::tuple<double, double, double, double> pickle_state(const Observation& o) {
    return {o.azimuth, o.elevation, o.range, o.range_rate};
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
        .equality()
        .pickled<"azimuth, elevation, range, range_rate", &unpickle, &pickle_state>();
}

}  // namespace orbweave::py

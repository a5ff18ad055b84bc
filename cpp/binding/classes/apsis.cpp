// Apsis: an apogee or perigee with its refined time and altitude.
#include <cmath>

#include "binding/classes.hpp"
#include "binding/support/declare.hpp"
#include "time/text.hpp"
#include "util/number_text.hpp"

namespace orbweave::py {

namespace {

std::string repr(const searches::Apsis& a) {
    return std::string("Apsis(event=") + member_name(a.event) + ", time=" + time::instant_text(a.time) +
           printf_text(", altitude=%.0fm)", a.altitude);
}

searches::Apsis unpickle(searches::ApsisKind event, ExactInstant time, double altitude) {
    require(std::isfinite(altitude), "an apsis altitude must be finite");
    return {time.value, event, altitude};
}

std::tuple<searches::ApsisKind, ExactInstant, double> pickle_state(const searches::Apsis& a) {
    return {a.event, ExactInstant{a.time}, a.altitude};
}

}  // namespace

ClassBuilder PyClass<searches::Apsis>::define() {
    return ClassDef<searches::Apsis>("A detected apsis event with refined time and altitude.")
        .property<&searches::Apsis::time>("time", "Time of the apsis event (UTC).")
        .property<&searches::Apsis::event>("event", "Whether this is an apogee or perigee.")
        .property<&searches::Apsis::altitude>("altitude", "Altitude above the WGS-84 equatorial radius in metres.")
        .repr<&repr>()
        .equality()
        .pickled<"event, time, altitude", &unpickle, &pickle_state>();
}

}  // namespace orbweave::py

#pragma once
// The SGP4/SDP4 propagator in its improved mode with the WGS-84 geopotential:
// mean elements at an epoch in, TEME position (km) and velocity (km/s) out.
//
// `initialise` runs once per element set and yields plain constants; `propagate`
// is a pure function of those constants and the minutes since epoch. It keeps no
// state between calls (the deep-space resonance is integrated from the epoch on
// every call) and allocates nothing, so one set of constants can be shared freely.
//
// Non-finite inputs never crash or hang. A mean motion, eccentricity or
// inclination that is NaN or infinite is refused by `initialise` (the mean motion
// or the eccentricity it implies is meaningless). A non-finite drag term, node,
// argument of perigee or mean anomaly, or a non-finite time, flows through the
// equations and yields NaN components (or one of the propagation errors when a
// checked quantity becomes infinite). The resonance integration is only carried
// out up to `kMaxResonanceMinutes` (about 1900 years) from the epoch, so a call
// takes well under a second whatever its time; beyond it a resonant orbit yields
// NaN components or a propagation error.
#include <array>
#include <cstdint>
#include <expected>
#include <string>
#include <variant>

#include "sgp4/elements.hpp"

namespace orbweave::sgp4 {

// WGS-84 geopotential.
inline constexpr double kEarthRadiusKm = 6378.137;
inline constexpr double kMuKm3S2 = 398600.5;
// sqrt(mu) in Earth radii^1.5 per minute: 60 / sqrt(ae^3 / mu).
inline constexpr double kKe = 0.07436685316871385;
inline constexpr double kJ2 = 0.00108262998905;
inline constexpr double kJ3 = -0.00000253215306;
inline constexpr double kJ4 = -0.00000161098761;

// Orbits with a period of this many minutes or more take the deep-space branch.
inline constexpr double kDeepSpacePeriodMinutes = 225.0;
// Resonance integration step and the farthest time it is carried out to.
inline constexpr double kResonanceStepMinutes = 720.0;
inline constexpr double kMaxResonanceMinutes = 1.0e9;

// ---------------------------------------------------------------- errors

// The two failures of the mean-motion recovery, reported as one group.
enum class KozaiElementsError : uint8_t { NegativeKozaiMeanMotion, NegativeBrouwerMeanMotion };

struct OutOfRangeEpochEccentricity {
    double eccentricity;
};

// An angle or the drag term that is infinite or NaN, which would make every
// propagated state NaN; `name` is the element's name in words.
struct NonFiniteElement {
    const char* name;
    double value;

    bool operator==(const NonFiniteElement&) const = default;
};

struct Sgp4InitError {
    std::variant<KozaiElementsError, OutOfRangeEpochEccentricity, NonFiniteElement> kind;

    std::string text() const;
    // Structured rendering for diagnostics, e.g. "Kozai(NegativeKozaiMeanMotion)".
    std::string debug_text() const;
    bool operator==(const Sgp4InitError&) const = default;
};

struct Sgp4PropagationError {
    enum class Kind : uint8_t {
        OutOfRangeEccentricity,           // secular eccentricity, before third-body terms
        OutOfRangePerturbedEccentricity,  // after the lunar-solar periodics
        NegativeSemiLatusRectum,
        NonFiniteState,  // a position or velocity that is not finite (overflowing elements)
    };
    Kind kind;
    double eccentricity;  // meaningful for the two eccentricity kinds, else 0
    double t;             // minutes after epoch

    std::string text() const;
    std::string debug_text() const;
    bool operator==(const Sgp4PropagationError&) const = default;
};

// ---------------------------------------------------------------- constants

enum class Resonance : uint8_t { None, OneDay, HalfDay };

// Lunar-solar periodic coefficients and secular rates of the deep-space branch.
struct LunarSolarTerms {
    // Solar (s*) and lunar (x*, e3, ee2) periodic coefficients.
    double se2, se3, si2, si3, sl2, sl3, sl4, sgh2, sgh3, sgh4, sh2, sh3;
    double ee2, e3, xi2, xi3, xl2, xl3, xl4, xgh2, xgh3, xgh4, xh2, xh3;
    double zmos, zmol;  // solar and lunar mean anomalies at epoch
    // Secular rates (per minute) of e, i, M, node and perigee.
    double dedt, didt, dmdt, dnodt, domdt;
};

// Geopotential resonance data of the deep-space branch.
struct ResonanceTerms {
    Resonance kind;
    double xlamo;  // mean longitude relative to Greenwich at epoch
    double xfact;  // mean longitude rate offset
    // One-day resonance coefficients.
    double del1, del2, del3;
    // Half-day resonance coefficients.
    double d2201, d2211, d3210, d3222, d4410, d4422, d5220, d5232, d5421, d5433;
};

// Everything `propagate` needs, computed once by `initialise`. A plain value.
struct Sgp4Constants {
    // Mean elements at epoch (radians, radians per minute).
    double bstar, ecco, inclo, nodeo, argpo, mo;
    double no_unkozai;  // Brouwer mean motion
    // Recomputed by every near-earth propagation from the elements alone, so kept:
    // (ke / no_unkozai)^(2/3) and the sine and cosine of the inclination.
    double ao, sinio, cosio;
    // Secular rates and drag coefficients.
    double mdot, argpdot, nodedot, nodecf;
    double cc1, cc4, cc5, t2cof;
    double omgcof, xmcof, eta, delmo, sinmao;  // full drag model only
    double d2, d3, d4, t3cof, t4cof, t5cof;    // full drag model only
    // Long- and short-period coefficients (near-earth; deep space recomputes them).
    double con41, x1mth2, x7thm1, xlcof, aycof;
    double gsto;  // Greenwich sidereal angle at epoch, radians
    bool simplified_drag;  // perigee below 220 km or deep space
    bool deep_space;       // period of 225 minutes or more
    LunarSolarTerms lunar_solar;  // deep space only
    ResonanceTerms resonance;     // deep space only
};

// The resonance integration's last whole step, kept by a caller that propagates
// one element set at times that mostly increase (a search), so that each call
// integrates only the steps since the previous one. The state after a given
// number of steps is the same however the integration got there, so results are
// identical to a fresh integration from the epoch; a time behind the last step
// starts afresh. Belongs to one set of constants.
struct ResonanceCheckpoint {
    double atime = 0.0;  // minutes since epoch, a whole number of steps
    double xni = 0.0;    // mean motion
    double xli = 0.0;    // mean longitude
    bool valid = false;
};

struct TemePrediction {
    std::array<double, 3> position_km;
    std::array<double, 3> velocity_km_s;
};

// ---------------------------------------------------------------- operations

std::expected<Sgp4Constants, Sgp4InitError> initialise(const ElementRecord& elements);

// `minutes_since_epoch` is negative before the epoch. A checkpoint, when given, is
// read and updated by resonant deep-space orbits.
std::expected<TemePrediction, Sgp4PropagationError> propagate(const Sgp4Constants& constants,
                                                              double minutes_since_epoch,
                                                              ResonanceCheckpoint* checkpoint = nullptr);

// The epoch as days since 1949-12-31 00:00 UTC, formed the way the published
// reference forms it (Julian date of midnight plus the day fraction, less
// 2433281.5), so that the epoch-dependent deep-space terms agree with it.
double epoch_days_since_1950(time::Instant epoch);

// Greenwich mean sidereal angle (IAU-82), radians in [0, 2pi), of a UT1 Julian date.
double greenwich_sidereal_angle(double julian_date);

}  // namespace orbweave::sgp4

#include "sgp4/sgp4.hpp"

#include <cmath>
#include <initializer_list>
#include <numbers>
#include <optional>
#include <utility>
#include <string_view>

#include "sgp4/sgp4_deep_space.hpp"
#include "util/number_text.hpp"

// The expressions below keep the operand order of the published equations, so
// that results agree with the reference implementation to the last bits.

namespace orbweave::sgp4 {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kTwoPi = 2.0 * kPi;
constexpr double kDegToRad = kPi / 180.0;
constexpr double kRevPerDayToRadPerMin = 2.0 * kPi / 1440.0;
constexpr double kX2o3 = 2.0 / 3.0;
constexpr double kJ3oj2 = kJ3 / kJ2;
// Velocity unit: Earth radii per minute in km/s.
constexpr double kVkmPerSec = kEarthRadiusKm * kKe / 60.0;
// Divisor standing in for 1 + cos(i) at an inclination of 180 degrees.
constexpr double kRetrogradeDivisor = 1.5e-12;

// Julian dates of the instants used for the epoch.
constexpr double kJulianDate1970 = 2440587.5;
constexpr double kJulianDate1950 = 2433281.5;  // 1949-12-31 00:00 UTC
constexpr double kJulianDate2000 = 2451545.0;  // 2000-01-01 12:00

// Coefficient of the long-period periodics in the mean longitude.
double long_period_xlcof(double sinio, double cosio) {
    const double denominator = std::fabs(cosio + 1.0) > kRetrogradeDivisor ? 1.0 + cosio : kRetrogradeDivisor;
    return -0.25 * kJ3oj2 * sinio * (3.0 + 5.0 * cosio) / denominator;
}

// The Brouwer mean motion and semi-major axis recovered from the Kozai mean
// motion, with the epoch quantities derived along the way.
struct EpochQuantities {
    double eccsq, omeosq, rteosq, cosio, cosio2, sinio;
    double no_unkozai, ao, con41, con42, posq, rp;
};

EpochQuantities recover_brouwer(double no_kozai, double ecco, double inclo) {
    EpochQuantities q{};
    q.eccsq = ecco * ecco;
    q.omeosq = 1.0 - q.eccsq;
    q.rteosq = std::sqrt(q.omeosq);
    q.cosio = std::cos(inclo);
    q.cosio2 = q.cosio * q.cosio;

    const double ak = std::pow(kKe / no_kozai, kX2o3);
    const double d1 = 0.75 * kJ2 * (3.0 * q.cosio2 - 1.0) / (q.rteosq * q.omeosq);
    double del = d1 / (ak * ak);
    const double adel = ak * (1.0 - del * del - del * (1.0 / 3.0 + 134.0 * del * del / 81.0));
    del = d1 / (adel * adel);
    q.no_unkozai = no_kozai / (1.0 + del);

    q.ao = std::pow(kKe / q.no_unkozai, kX2o3);
    q.sinio = std::sin(inclo);
    const double po = q.ao * q.omeosq;
    q.con42 = 1.0 - 5.0 * q.cosio2;
    q.con41 = -q.con42 - q.cosio2 - q.cosio2;
    q.posq = po * po;
    q.rp = q.ao * (1.0 - ecco);
    return q;
}

// Secular gravity and drag coefficients of the near-earth model.
void initialise_near_earth(Sgp4Constants& c, const EpochQuantities& q) {
    constexpr double ss = 78.0 / kEarthRadiusKm + 1.0;
    constexpr double qzms2ttemp = (120.0 - 78.0) / kEarthRadiusKm;
    constexpr double qzms2t = qzms2ttemp * qzms2ttemp * qzms2ttemp * qzms2ttemp;

    c.simplified_drag = q.rp < 220.0 / kEarthRadiusKm + 1.0;
    // Density parameter: lowered for perigees below 156 km, fixed below 98 km.
    double sfour = ss;
    double qzms24 = qzms2t;
    const double perige = (q.rp - 1.0) * kEarthRadiusKm;
    if (perige < 156.0) {
        sfour = perige - 78.0;
        if (perige < 98.0) sfour = 20.0;
        const double qzms24temp = (120.0 - sfour) / kEarthRadiusKm;
        qzms24 = qzms24temp * qzms24temp * qzms24temp * qzms24temp;
        sfour = sfour / kEarthRadiusKm + 1.0;
    }
    const double pinvsq = 1.0 / q.posq;
    const double ao = q.ao;
    const double ecco = c.ecco;
    const double no = c.no_unkozai;

    const double tsi = 1.0 / (ao - sfour);
    c.eta = ao * ecco * tsi;
    const double etasq = c.eta * c.eta;
    const double eeta = ecco * c.eta;
    const double psisq = std::fabs(1.0 - etasq);
    const double coef = qzms24 * std::pow(tsi, 4.0);
    const double coef1 = coef / std::pow(psisq, 3.5);
    const double cc2 = coef1 * no *
                       (ao * (1.0 + 1.5 * etasq + eeta * (4.0 + etasq)) +
                        0.375 * kJ2 * tsi / psisq * q.con41 * (8.0 + 3.0 * etasq * (8.0 + etasq)));
    c.cc1 = c.bstar * cc2;
    double cc3 = 0.0;
    if (ecco > 1.0e-4) cc3 = -2.0 * coef * tsi * kJ3oj2 * no * q.sinio / ecco;
    c.x1mth2 = 1.0 - q.cosio2;
    c.cc4 = 2.0 * no * coef1 * ao * q.omeosq *
            (c.eta * (2.0 + 0.5 * etasq) + ecco * (0.5 + 2.0 * etasq) -
             kJ2 * tsi / (ao * psisq) *
                 (-3.0 * q.con41 * (1.0 - 2.0 * eeta + etasq * (1.5 - 0.5 * eeta)) +
                  0.75 * c.x1mth2 * (2.0 * etasq - eeta * (1.0 + etasq)) * std::cos(2.0 * c.argpo)));
    c.cc5 = 2.0 * coef1 * ao * q.omeosq * (1.0 + 2.75 * (etasq + eeta) + eeta * etasq);

    const double cosio2 = q.cosio2;
    const double cosio4 = cosio2 * cosio2;
    const double temp1 = 1.5 * kJ2 * pinvsq * no;
    const double temp2 = 0.5 * temp1 * kJ2 * pinvsq;
    const double temp3 = -0.46875 * kJ4 * pinvsq * pinvsq * no;
    c.mdot = no + 0.5 * temp1 * q.rteosq * q.con41 +
             0.0625 * temp2 * q.rteosq * (13.0 - 78.0 * cosio2 + 137.0 * cosio4);
    c.argpdot = -0.5 * temp1 * q.con42 + 0.0625 * temp2 * (7.0 - 114.0 * cosio2 + 395.0 * cosio4) +
                temp3 * (3.0 - 36.0 * cosio2 + 49.0 * cosio4);
    const double xhdot1 = -temp1 * q.cosio;
    c.nodedot = xhdot1 + (0.5 * temp2 * (4.0 - 19.0 * cosio2) + 2.0 * temp3 * (3.0 - 7.0 * cosio2)) * q.cosio;
    c.omgcof = c.bstar * cc3 * std::cos(c.argpo);
    c.xmcof = 0.0;
    if (ecco > 1.0e-4) c.xmcof = -kX2o3 * coef * c.bstar / eeta;
    c.nodecf = 3.5 * q.omeosq * xhdot1 * c.cc1;
    c.t2cof = 1.5 * c.cc1;
    c.xlcof = long_period_xlcof(q.sinio, q.cosio);
    c.aycof = -0.5 * kJ3oj2 * q.sinio;
    const double delmotemp = 1.0 + c.eta * std::cos(c.mo);
    c.delmo = delmotemp * delmotemp * delmotemp;
    c.sinmao = std::sin(c.mo);
    c.x7thm1 = 7.0 * cosio2 - 1.0;
    c.con41 = q.con41;

    // Higher-order drag terms of the full model; `deep_space::initialise` may
    // still switch to the simplified model, which ignores them.
    const double cc1sq = c.cc1 * c.cc1;
    c.d2 = 4.0 * ao * tsi * cc1sq;
    const double temp = c.d2 * tsi * c.cc1 / 3.0;
    c.d3 = (17.0 * ao + sfour) * temp;
    c.d4 = 0.5 * temp * ao * tsi * (221.0 * ao + 31.0 * sfour) * c.cc1;
    c.t3cof = c.d2 + 2.0 * cc1sq;
    c.t4cof = 0.25 * (3.0 * c.d3 + c.cc1 * (12.0 * c.d2 + 10.0 * cc1sq));
    c.t5cof = 0.2 * (3.0 * c.d4 + 12.0 * c.cc1 * c.d3 + 6.0 * c.d2 * c.d2 + 15.0 * cc1sq * (2.0 * c.d2 + cc1sq));
}

Sgp4InitError kozai_error(KozaiElementsError kind) { return Sgp4InitError{kind}; }

}  // namespace

double epoch_days_since_1950(time::Instant epoch) {
    const double midnight = kJulianDate1970 + static_cast<double>(epoch.days_since_1970());
    const double seconds = static_cast<double>(epoch.second_of_day()) + static_cast<double>(epoch.nanosecond()) * 1e-9;
    return (midnight + seconds / 86400.0) - kJulianDate1950;
}

double greenwich_sidereal_angle(double julian_date) {
    const double tut1 = (julian_date - kJulianDate2000) / 36525.0;
    double temp = -6.2e-6 * tut1 * tut1 * tut1 + 0.093104 * tut1 * tut1 +
                  (876600.0 * 3600 + 8640184.812866) * tut1 + 67310.54841;  // seconds of time
    temp = std::fmod(temp * kDegToRad / 240.0, kTwoPi);
    if (temp < 0.0) temp += kTwoPi;
    return temp;
}

namespace {

// The first of the angles and the drag term that is not finite; the mean motion,
// eccentricity and inclination are refused by the checks before.
std::optional<Sgp4InitError> non_finite_element(const ElementRecord& e) {
    const std::pair<const char*, double> read[] = {{"right ascension", e.right_ascension},
                                                   {"argument of perigee", e.argument_of_perigee},
                                                   {"mean anomaly", e.mean_anomaly},
                                                   {"drag term", e.drag_term}};
    for (const auto& [name, value] : read)
        if (!std::isfinite(value)) return Sgp4InitError{NonFiniteElement{name, value}};
    return std::nullopt;
}

}  // namespace

std::expected<Sgp4Constants, Sgp4InitError> initialise(const ElementRecord& elements) {
    const double no_kozai = elements.mean_motion * kRevPerDayToRadPerMin;
    if (!(no_kozai > 0.0)) return std::unexpected(kozai_error(KozaiElementsError::NegativeKozaiMeanMotion));

    Sgp4Constants c{};
    c.bstar = elements.drag_term;
    c.ecco = elements.eccentricity;
    c.inclo = elements.inclination * kDegToRad;
    c.nodeo = elements.right_ascension * kDegToRad;
    c.argpo = elements.argument_of_perigee * kDegToRad;
    c.mo = elements.mean_anomaly * kDegToRad;

    const EpochQuantities q = recover_brouwer(no_kozai, c.ecco, c.inclo);
    if (q.no_unkozai <= 0.0) return std::unexpected(kozai_error(KozaiElementsError::NegativeBrouwerMeanMotion));
    if (!(c.ecco >= 0.0 && c.ecco < 1.0))
        return std::unexpected(Sgp4InitError{OutOfRangeEpochEccentricity{c.ecco}});
    // An eccentricity in range and a Brouwer mean motion that is still not a
    // number: the Kozai value or the inclination was not finite.
    if (std::isnan(q.no_unkozai))
        return std::unexpected(kozai_error(KozaiElementsError::NegativeBrouwerMeanMotion));
    if (auto error = non_finite_element(elements)) return std::unexpected(*error);
    c.no_unkozai = q.no_unkozai;
    c.ao = q.ao;
    c.sinio = q.sinio;
    c.cosio = q.cosio;

    const double epoch_days = epoch_days_since_1950(elements.epoch);
    c.gsto = greenwich_sidereal_angle(epoch_days + kJulianDate1950);
    initialise_near_earth(c, q);

    c.deep_space = kTwoPi / c.no_unkozai >= kDeepSpacePeriodMinutes;
    if (c.deep_space) {
        c.simplified_drag = true;
        deep_space::initialise(c, {epoch_days, q.eccsq, c.argpdot + c.nodedot});
    }
    if (c.simplified_drag) c.d2 = c.d3 = c.d4 = c.t3cof = c.t4cof = c.t5cof = 0.0;
    return c;
}

namespace {

Sgp4PropagationError propagation_error(Sgp4PropagationError::Kind kind, double eccentricity, double t) {
    return Sgp4PropagationError{kind, eccentricity, t};
}


}  // namespace

std::expected<TemePrediction, Sgp4PropagationError> propagate(const Sgp4Constants& c, double t,
                                                              ResonanceCheckpoint* checkpoint) {
    using Kind = Sgp4PropagationError::Kind;

    // Secular gravity and atmospheric drag.
    const double xmdf = c.mo + c.mdot * t;
    const double argpdf = c.argpo + c.argpdot * t;
    const double nodedf = c.nodeo + c.nodedot * t;
    double argpm = argpdf;
    double mm = xmdf;
    const double t2 = t * t;
    double nodem = nodedf + c.nodecf * t2;
    double tempa = 1.0 - c.cc1 * t;
    double tempe = c.bstar * c.cc4 * t;
    double templ = c.t2cof * t2;
    if (!c.simplified_drag) {
        const double delomg = c.omgcof * t;
        const double delmtemp = 1.0 + c.eta * std::cos(xmdf);
        const double delm = c.xmcof * (delmtemp * delmtemp * delmtemp - c.delmo);
        const double temp = delomg + delm;
        mm = xmdf + temp;
        argpm = argpdf - temp;
        const double t3 = t2 * t;
        const double t4 = t3 * t;
        tempa = tempa - c.d2 * t2 - c.d3 * t3 - c.d4 * t4;
        tempe = tempe + c.bstar * c.cc5 * (std::sin(mm) - c.sinmao);
        templ = templ + c.t3cof * t3 + t4 * (c.t4cof + t * c.t5cof);
    }

    double nm = c.no_unkozai;
    double em = c.ecco;
    double inclm = c.inclo;
    if (c.deep_space) {
        deep_space::MeanElements m{em, argpm, inclm, mm, nodem, nm};
        deep_space::apply_secular(c, t, m, checkpoint);
        em = m.em, argpm = m.argpm, inclm = m.inclm, mm = m.mm, nodem = m.nodem, nm = m.nm;
    }
    // A mean motion that is not positive leaves no real semi-major axis, hence no
    // positive semi-latus rectum.
    if (nm <= 0.0) return std::unexpected(propagation_error(Kind::NegativeSemiLatusRectum, 0.0, t));

    // Near the Earth nm is still the Brouwer mean motion, whose power is kept.
    const double am = (c.deep_space ? std::pow(kKe / nm, kX2o3) : c.ao) * tempa * tempa;
    nm = kKe / std::pow(am, 1.5);
    em = em - tempe;
    if (em >= 1.0 || em < -0.001) return std::unexpected(propagation_error(Kind::OutOfRangeEccentricity, em, t));
    if (em < 1.0e-6) em = 1.0e-6;
    mm = mm + c.no_unkozai * templ;
    double xlm = mm + argpm + nodem;
    nodem = std::fmod(nodem, kTwoPi);
    argpm = std::fmod(argpm, kTwoPi);
    xlm = std::fmod(xlm, kTwoPi);
    mm = std::fmod(xlm - argpm - nodem, kTwoPi);

    // Lunar-solar periodics.
    double ep = em;
    double xincp = inclm;
    double argpp = argpm;
    double nodep = nodem;
    double mp = mm;
    double sinip = c.sinio;  // the deep-space branch replaces both
    double cosip = c.cosio;
    double aycof = c.aycof;
    double xlcof = c.xlcof;
    if (c.deep_space) {
        deep_space::PeriodicElements p{ep, xincp, nodep, argpp, mp};
        deep_space::apply_periodics(c.lunar_solar, t, p);
        ep = p.ep, xincp = p.inclp, nodep = p.nodep, argpp = p.argpp, mp = p.mp;
        if (xincp < 0.0) {
            xincp = -xincp;
            nodep = nodep + kPi;
            argpp = argpp - kPi;
        }
        if (ep < 0.0 || ep > 1.0)
            return std::unexpected(propagation_error(Kind::OutOfRangePerturbedEccentricity, ep, t));
        sinip = std::sin(xincp);
        cosip = std::cos(xincp);
        aycof = -0.5 * kJ3oj2 * sinip;
        xlcof = long_period_xlcof(sinip, cosip);
    }

    // Long-period periodics.
    const double axnl = ep * std::cos(argpp);
    double temp = 1.0 / (am * (1.0 - ep * ep));
    const double aynl = ep * std::sin(argpp) + temp * aycof;
    const double xl = mp + argpp + nodep + temp * xlcof * axnl;

    // Kepler's equation in the equinoctial form, corrections limited to 0.95 rad.
    const double u = std::fmod(xl - nodep, kTwoPi);
    double eo1 = u;
    double tem5 = 9999.9;
    double sineo1 = 0.0;
    double coseo1 = 0.0;
    for (int iteration = 0; iteration < 10 && std::fabs(tem5) >= 1.0e-12; ++iteration) {
        sineo1 = std::sin(eo1);
        coseo1 = std::cos(eo1);
        tem5 = 1.0 - coseo1 * axnl - sineo1 * aynl;
        tem5 = (u - aynl * coseo1 + axnl * sineo1 - eo1) / tem5;
        if (std::fabs(tem5) >= 0.95) tem5 = tem5 > 0.0 ? 0.95 : -0.95;
        eo1 = eo1 + tem5;
    }

    // Short-period preliminary quantities.
    const double ecose = axnl * coseo1 + aynl * sineo1;
    const double esine = axnl * sineo1 - aynl * coseo1;
    const double el2 = axnl * axnl + aynl * aynl;
    const double pl = am * (1.0 - el2);
    if (pl < 0.0) return std::unexpected(propagation_error(Kind::NegativeSemiLatusRectum, 0.0, t));

    const double rl = am * (1.0 - ecose);
    const double rdotl = std::sqrt(am) * esine / rl;
    const double rvdotl = std::sqrt(pl) / rl;
    const double betal = std::sqrt(1.0 - el2);
    temp = esine / (1.0 + betal);
    const double sinu = am / rl * (sineo1 - aynl - axnl * temp);
    const double cosu = am / rl * (coseo1 - axnl + aynl * temp);
    double su = std::atan2(sinu, cosu);
    const double sin2u = (cosu + cosu) * sinu;
    const double cos2u = 1.0 - 2.0 * sinu * sinu;
    temp = 1.0 / pl;
    const double temp1 = 0.5 * kJ2 * temp;
    const double temp2 = temp1 * temp;

    // Short-period periodics.
    double con41 = c.con41;
    double x1mth2 = c.x1mth2;
    double x7thm1 = c.x7thm1;
    if (c.deep_space) {
        const double cosisq = cosip * cosip;
        con41 = 3.0 * cosisq - 1.0;
        x1mth2 = 1.0 - cosisq;
        x7thm1 = 7.0 * cosisq - 1.0;
    }
    const double mrt = rl * (1.0 - 1.5 * temp2 * betal * con41) + 0.5 * temp1 * x1mth2 * cos2u;
    su = su - 0.25 * temp2 * x7thm1 * sin2u;
    const double xnode = nodep + 1.5 * temp2 * cosip * sin2u;
    const double xinc = xincp + 1.5 * temp2 * cosip * sinip * cos2u;
    const double mvt = rdotl - nm * temp1 * x1mth2 * sin2u / kKe;
    const double rvdot = rvdotl + nm * temp1 * (x1mth2 * cos2u + 1.5 * con41) / kKe;

    // Orientation vectors.
    const double sinsu = std::sin(su);
    const double cossu = std::cos(su);
    const double snod = std::sin(xnode);
    const double cnod = std::cos(xnode);
    const double sini = std::sin(xinc);
    const double cosi = std::cos(xinc);
    const double xmx = -snod * cosi;
    const double xmy = cnod * cosi;
    const double ux = xmx * sinsu + cnod * cossu;
    const double uy = xmy * sinsu + snod * cossu;
    const double uz = sini * sinsu;
    const double vx = xmx * cossu - cnod * sinsu;
    const double vy = xmy * cossu - snod * sinsu;
    const double vz = sini * cossu;

    const double x = (mrt * ux) * kEarthRadiusKm, y = (mrt * uy) * kEarthRadiusKm, z = (mrt * uz) * kEarthRadiusKm;
    const double vx_km_s = (mvt * ux + rvdot * vx) * kVkmPerSec, vy_km_s = (mvt * uy + rvdot * vy) * kVkmPerSec,
                 vz_km_s = (mvt * uz + rvdot * vz) * kVkmPerSec;
    // Elements whose terms overflow (a drag term of 1e308) give NaN or infinite
    // states, which no caller could tell from a real position. One test covers all
    // six components: a NaN or infinite one makes their sum so too (as would
    // components beyond 1e307 km, which are no position either).
    if (!std::isfinite(x + y + z + vx_km_s + vy_km_s + vz_km_s)) [[unlikely]]
        return std::unexpected(propagation_error(Kind::NonFiniteState, 0.0, t));
    return TemePrediction{{x, y, z}, {vx_km_s, vy_km_s, vz_km_s}};
}

// ---------------------------------------------------------------- error texts

namespace {

// Concatenates text pieces (appending avoids a spurious GCC 12 -Wrestrict).
std::string join(std::initializer_list<std::string_view> pieces) {
    std::string out;
    for (std::string_view piece : pieces) out.append(piece);
    return out;
}

std::string_view kozai_kind_name(KozaiElementsError kind) {
    return kind == KozaiElementsError::NegativeKozaiMeanMotion ? "NegativeKozaiMeanMotion"
                                                               : "NegativeBrouwerMeanMotion";
}

}  // namespace

std::string Sgp4InitError::text() const {
    if (const auto* kozai = std::get_if<KozaiElementsError>(&kind)) {
        return *kozai == KozaiElementsError::NegativeKozaiMeanMotion
                   ? "The Kozai mean motion calculated from epoch elements is negative"
                   : "The Brouwer mean motion calculated from epoch elements is negative";
    }
    if (const auto* element = std::get_if<NonFiniteElement>(&kind))
        return join({"The epoch ", element->name, " (", shortest_decimal(element->value), ") is not finite"});
    const double e = std::get<OutOfRangeEpochEccentricity>(kind).eccentricity;
    return join({"The epoch eccentricity (", shortest_decimal(e), ") is outside the range [0, 1["});
}

std::string Sgp4InitError::debug_text() const {
    if (const auto* kozai = std::get_if<KozaiElementsError>(&kind)) return join({"Kozai(", kozai_kind_name(*kozai), ")"});
    if (const auto* element = std::get_if<NonFiniteElement>(&kind))
        return join({"NonFiniteElement { name: ", element->name, ", value: ", shortest_decimal(element->value), " }"});
    const double e = std::get<OutOfRangeEpochEccentricity>(kind).eccentricity;
    return join({"OutOfRangeEpochEccentricity { eccentricity: ", shortest_decimal(e), " }"});
}

std::string Sgp4PropagationError::text() const {
    const std::string minutes = shortest_decimal(t);
    switch (kind) {
        case Kind::OutOfRangeEccentricity:
        case Kind::OutOfRangePerturbedEccentricity:
            return join({"The propagated eccentricity (", shortest_decimal(eccentricity),
                         ") is outside the range [0, 1[ ", minutes, " minutes after epoch ",
                         kind == Kind::OutOfRangeEccentricity ? "(before adding third-body perturbations)"
                                                              : "(after adding third-body perturbations)"});
        case Kind::NegativeSemiLatusRectum:
            return join({"The propagated semi-latus rectum is negative ", minutes, " minutes after epoch"});
        case Kind::NonFiniteState:
            return join({"The propagated state is not finite ", minutes, " minutes after epoch"});
    }
    return {};
}

std::string Sgp4PropagationError::debug_text() const {
    const std::string minutes = shortest_decimal(t);
    switch (kind) {
        case Kind::OutOfRangeEccentricity:
            return join({"OutOfRangeEccentricity { eccentricity: ", shortest_decimal(eccentricity), ", t: ", minutes, " }"});
        case Kind::OutOfRangePerturbedEccentricity:
            return join({"OutOfRangePerturbedEccentricity { eccentricity: ", shortest_decimal(eccentricity),
                         ", t: ", minutes, " }"});
        case Kind::NegativeSemiLatusRectum:
            return join({"NegativeSemiLatusRectum { t: ", minutes, " }"});
        case Kind::NonFiniteState:
            return join({"NonFiniteState { t: ", minutes, " }"});
    }
    return {};
}

}  // namespace orbweave::sgp4

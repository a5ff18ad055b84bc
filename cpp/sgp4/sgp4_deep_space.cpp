#include "sgp4/sgp4_deep_space.hpp"

#include <cmath>
#include <numbers>

// The expressions below keep the operand order of the published equations, so
// that results agree with the reference implementation to the last bits.

namespace orbweave::sgp4::deep_space {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kTwoPi = 2.0 * kPi;

// Solar and lunar constants: eccentricities, mean motions (rad/min) and the
// perturbation strengths of the two bodies.
constexpr double kZes = 0.01675;
constexpr double kZel = 0.05490;
constexpr double kZns = 1.19459e-5;
constexpr double kZnl = 1.5835218e-4;
constexpr double kC1ss = 2.9864797e-6;
constexpr double kC1l = 4.7968065e-7;
// Orientation of the ecliptic and of the solar perigee.
constexpr double kZsinis = 0.39785416;
constexpr double kZcosis = 0.91744867;
constexpr double kZcosgs = 0.1945905;
constexpr double kZsings = -0.98088458;

// Earth rotation rate, rad/min.
constexpr double kRptim = 4.37526908801129966e-3;
// Inclinations closer than this to 0 or pi drop the node rate terms.
constexpr double kNearEquatorial = 5.2359877e-2;

// Orientation of a perturbing body's orbit against the satellite's node.
struct BodyOrientation {
    double cosg, sing, cosi, sini, cosh, sinh, cc;
};

// Angles of the satellite's mean orbit at epoch.
struct OrbitGeometry {
    double sinim, cosim, sinomm, cosomm;
    double em, emsq, betasq, rtemsq, xnoi;
};

// Per-body coefficients of the lunar-solar expansion.
struct BodyCoefficients {
    double s1, s2, s3, s4, s5, s6, s7;
    double z1, z2, z3, z11, z12, z13, z21, z22, z23, z31, z32, z33;
};

BodyCoefficients body_coefficients(const BodyOrientation& b, const OrbitGeometry& o) {
    const double a1 = b.cosg * b.cosh + b.sing * b.cosi * b.sinh;
    const double a3 = -b.sing * b.cosh + b.cosg * b.cosi * b.sinh;
    const double a7 = -b.cosg * b.sinh + b.sing * b.cosi * b.cosh;
    const double a8 = b.sing * b.sini;
    const double a9 = b.sing * b.sinh + b.cosg * b.cosi * b.cosh;
    const double a10 = b.cosg * b.sini;
    const double a2 = o.cosim * a7 + o.sinim * a8;
    const double a4 = o.cosim * a9 + o.sinim * a10;
    const double a5 = -o.sinim * a7 + o.cosim * a8;
    const double a6 = -o.sinim * a9 + o.cosim * a10;

    const double x1 = a1 * o.cosomm + a2 * o.sinomm;
    const double x2 = a3 * o.cosomm + a4 * o.sinomm;
    const double x3 = -a1 * o.sinomm + a2 * o.cosomm;
    const double x4 = -a3 * o.sinomm + a4 * o.cosomm;
    const double x5 = a5 * o.sinomm;
    const double x6 = a6 * o.sinomm;
    const double x7 = a5 * o.cosomm;
    const double x8 = a6 * o.cosomm;

    const double emsq = o.emsq;
    BodyCoefficients k{};
    k.z31 = 12.0 * x1 * x1 - 3.0 * x3 * x3;
    k.z32 = 24.0 * x1 * x2 - 6.0 * x3 * x4;
    k.z33 = 12.0 * x2 * x2 - 3.0 * x4 * x4;
    k.z1 = 3.0 * (a1 * a1 + a2 * a2) + k.z31 * emsq;
    k.z2 = 6.0 * (a1 * a3 + a2 * a4) + k.z32 * emsq;
    k.z3 = 3.0 * (a3 * a3 + a4 * a4) + k.z33 * emsq;
    k.z11 = -6.0 * a1 * a5 + emsq * (-24.0 * x1 * x7 - 6.0 * x3 * x5);
    k.z12 = -6.0 * (a1 * a6 + a3 * a5) + emsq * (-24.0 * (x2 * x7 + x1 * x8) - 6.0 * (x3 * x6 + x4 * x5));
    k.z13 = -6.0 * a3 * a6 + emsq * (-24.0 * x2 * x8 - 6.0 * x4 * x6);
    k.z21 = 6.0 * a2 * a5 + emsq * (24.0 * x1 * x5 - 6.0 * x3 * x7);
    k.z22 = 6.0 * (a4 * a5 + a2 * a6) + emsq * (24.0 * (x2 * x5 + x1 * x6) - 6.0 * (x4 * x7 + x3 * x8));
    k.z23 = 6.0 * a4 * a6 + emsq * (24.0 * x2 * x6 - 6.0 * x4 * x8);
    k.z1 = k.z1 + k.z1 + o.betasq * k.z31;
    k.z2 = k.z2 + k.z2 + o.betasq * k.z32;
    k.z3 = k.z3 + k.z3 + o.betasq * k.z33;
    k.s3 = b.cc * o.xnoi;
    k.s2 = -0.5 * k.s3 / o.rtemsq;
    k.s4 = k.s3 * o.rtemsq;
    k.s1 = -15.0 * o.em * k.s4;
    k.s5 = x1 * x3 + x2 * x4;
    k.s6 = x2 * x3 + x1 * x4;
    k.s7 = x2 * x4 - x1 * x3;
    return k;
}

// Periodic coefficients of one body; `ecc` is the body's orbital eccentricity.
struct PeriodicCoefficients {
    double e2, e3, i2, i3, l2, l3, l4, gh2, gh3, gh4, h2, h3;
};

PeriodicCoefficients periodic_coefficients(const BodyCoefficients& k, double emsq, double ecc) {
    return {
        .e2 = 2.0 * k.s1 * k.s6,
        .e3 = 2.0 * k.s1 * k.s7,
        .i2 = 2.0 * k.s2 * k.z12,
        .i3 = 2.0 * k.s2 * (k.z13 - k.z11),
        .l2 = -2.0 * k.s3 * k.z2,
        .l3 = -2.0 * k.s3 * (k.z3 - k.z1),
        .l4 = -2.0 * k.s3 * (-21.0 - 9.0 * emsq) * ecc,
        .gh2 = 2.0 * k.s4 * k.z32,
        .gh3 = 2.0 * k.s4 * (k.z33 - k.z31),
        .gh4 = -18.0 * k.s4 * ecc,
        .h2 = -2.0 * k.s2 * k.z22,
        .h3 = -2.0 * k.s2 * (k.z23 - k.z21),
    };
}

// Secular rates of the lunar-solar terms.
void set_secular_rates(LunarSolarTerms& ls, const BodyCoefficients& sun, const BodyCoefficients& moon,
                       const OrbitGeometry& o, double inclo) {
    const bool near_equatorial = inclo < kNearEquatorial || inclo > kPi - kNearEquatorial;
    const double ses = sun.s1 * kZns * sun.s5;
    const double sis = sun.s2 * kZns * (sun.z11 + sun.z13);
    const double sls = -kZns * sun.s3 * (sun.z1 + sun.z3 - 14.0 - 6.0 * o.emsq);
    const double sghs = sun.s4 * kZns * (sun.z31 + sun.z33 - 6.0);
    double shs = -kZns * sun.s2 * (sun.z21 + sun.z23);
    if (near_equatorial) shs = 0.0;
    if (o.sinim != 0.0) shs = shs / o.sinim;
    const double sgs = sghs - o.cosim * shs;

    ls.dedt = ses + moon.s1 * kZnl * moon.s5;
    ls.didt = sis + moon.s2 * kZnl * (moon.z11 + moon.z13);
    ls.dmdt = sls - kZnl * moon.s3 * (moon.z1 + moon.z3 - 14.0 - 6.0 * o.emsq);
    const double sghl = moon.s4 * kZnl * (moon.z31 + moon.z33 - 6.0);
    double shll = -kZnl * moon.s2 * (moon.z21 + moon.z23);
    if (near_equatorial) shll = 0.0;
    ls.domdt = sgs + sghl;
    ls.dnodt = shs;
    if (o.sinim != 0.0) {
        ls.domdt = ls.domdt - o.cosim / o.sinim * shll;
        ls.dnodt = ls.dnodt + shll / o.sinim;
    }
}

// Half-day resonance coefficients (orbits of about 12 h with e >= 0.5).
void initialise_half_day(ResonanceTerms& r, const Sgp4Constants& c, const OrbitGeometry& o, double eccsq,
                         double aonv, double theta) {
    const double em = c.ecco;
    const double emsq = eccsq;
    const double cosim = o.cosim;
    const double sinim = o.sinim;
    const double cosisq = cosim * cosim;
    const double eoc = em * emsq;
    const double g201 = -0.306 - (em - 0.64) * 0.440;
    double g211, g310, g322, g410, g422, g520;
    if (em <= 0.65) {
        g211 = 3.616 - 13.2470 * em + 16.2900 * emsq;
        g310 = -19.302 + 117.3900 * em - 228.4190 * emsq + 156.5910 * eoc;
        g322 = -18.9068 + 109.7927 * em - 214.6334 * emsq + 146.5816 * eoc;
        g410 = -41.122 + 242.6940 * em - 471.0940 * emsq + 313.9530 * eoc;
        g422 = -146.407 + 841.8800 * em - 1629.014 * emsq + 1083.4350 * eoc;
        g520 = -532.114 + 3017.977 * em - 5740.032 * emsq + 3708.2760 * eoc;
    } else {
        g211 = -72.099 + 331.819 * em - 508.738 * emsq + 266.724 * eoc;
        g310 = -346.844 + 1582.851 * em - 2415.925 * emsq + 1246.113 * eoc;
        g322 = -342.585 + 1554.908 * em - 2366.899 * emsq + 1215.972 * eoc;
        g410 = -1052.797 + 4758.686 * em - 7193.992 * emsq + 3651.957 * eoc;
        g422 = -3581.690 + 16178.110 * em - 24462.770 * emsq + 12422.520 * eoc;
        if (em > 0.715)
            g520 = -5149.66 + 29936.92 * em - 54087.36 * emsq + 31324.56 * eoc;
        else
            g520 = 1464.74 - 4664.75 * em + 3763.64 * emsq;
    }
    double g533, g521, g532;
    if (em < 0.7) {
        g533 = -919.22770 + 4988.6100 * em - 9064.7700 * emsq + 5542.21 * eoc;
        g521 = -822.71072 + 4568.6173 * em - 8491.4146 * emsq + 5337.524 * eoc;
        g532 = -853.66600 + 4690.2500 * em - 8624.7700 * emsq + 5341.4 * eoc;
    } else {
        g533 = -37995.780 + 161616.52 * em - 229838.20 * emsq + 109377.94 * eoc;
        g521 = -51752.104 + 218913.95 * em - 309468.16 * emsq + 146349.42 * eoc;
        g532 = -40023.880 + 170470.89 * em - 242699.48 * emsq + 115605.82 * eoc;
    }

    const double sini2 = sinim * sinim;
    const double f220 = 0.75 * (1.0 + 2.0 * cosim + cosisq);
    const double f221 = 1.5 * sini2;
    const double f321 = 1.875 * sinim * (1.0 - 2.0 * cosim - 3.0 * cosisq);
    const double f322 = -1.875 * sinim * (1.0 + 2.0 * cosim - 3.0 * cosisq);
    const double f441 = 35.0 * sini2 * f220;
    const double f442 = 39.3750 * sini2 * sini2;
    const double f522 = 9.84375 * sinim *
                        (sini2 * (1.0 - 2.0 * cosim - 5.0 * cosisq) + 0.33333333 * (-2.0 + 4.0 * cosim + 6.0 * cosisq));
    const double f523 = sinim * (4.92187512 * sini2 * (-2.0 - 4.0 * cosim + 10.0 * cosisq) +
                                 6.56250012 * (1.0 + 2.0 * cosim - 3.0 * cosisq));
    const double f542 = 29.53125 * sinim * (2.0 - 8.0 * cosim + cosisq * (-12.0 + 8.0 * cosim + 10.0 * cosisq));
    const double f543 = 29.53125 * sinim * (-2.0 - 8.0 * cosim + cosisq * (12.0 + 8.0 * cosim - 10.0 * cosisq));

    constexpr double root22 = 1.7891679e-6, root32 = 3.7393792e-7, root44 = 7.3636953e-9;
    constexpr double root52 = 1.1428639e-7, root54 = 2.1765803e-9;
    const double nm = c.no_unkozai;
    const double xno2 = nm * nm;
    const double ainv2 = aonv * aonv;
    double temp1 = 3.0 * xno2 * ainv2;
    double temp = temp1 * root22;
    r.d2201 = temp * f220 * g201;
    r.d2211 = temp * f221 * g211;
    temp1 = temp1 * aonv;
    temp = temp1 * root32;
    r.d3210 = temp * f321 * g310;
    r.d3222 = temp * f322 * g322;
    temp1 = temp1 * aonv;
    temp = 2.0 * temp1 * root44;
    r.d4410 = temp * f441 * g410;
    r.d4422 = temp * f442 * g422;
    temp1 = temp1 * aonv;
    temp = temp1 * root52;
    r.d5220 = temp * f522 * g520;
    r.d5232 = temp * f523 * g532;
    temp = 2.0 * temp1 * root54;
    r.d5421 = temp * f542 * g521;
    r.d5433 = temp * f543 * g533;
    r.xlamo = std::fmod(c.mo + c.nodeo + c.nodeo - theta - theta, kTwoPi);
    const LunarSolarTerms& ls = c.lunar_solar;
    r.xfact = c.mdot + ls.dmdt + 2.0 * (c.nodedot + ls.dnodt - kRptim) - c.no_unkozai;
}

// One-day (geosynchronous) resonance coefficients.
void initialise_one_day(ResonanceTerms& r, const Sgp4Constants& c, const OrbitGeometry& o, double aonv,
                        double theta, double xpidot) {
    constexpr double q22 = 1.7891679e-6, q31 = 2.1460748e-6, q33 = 2.2123015e-7;
    const double emsq = o.emsq;
    const double cosim = o.cosim;
    const double sinim = o.sinim;
    const double g200 = 1.0 + emsq * (-2.5 + 0.8125 * emsq);
    const double g310 = 1.0 + 2.0 * emsq;
    const double g300 = 1.0 + emsq * (-6.0 + 6.60937 * emsq);
    const double f220 = 0.75 * (1.0 + cosim) * (1.0 + cosim);
    const double f311 = 0.9375 * sinim * sinim * (1.0 + 3.0 * cosim) - 0.75 * (1.0 + cosim);
    double f330 = 1.0 + cosim;
    f330 = 1.875 * f330 * f330 * f330;
    const double nm = c.no_unkozai;
    double del1 = 3.0 * nm * nm * aonv * aonv;
    r.del2 = 2.0 * del1 * f220 * g200 * q22;
    r.del3 = 3.0 * del1 * f330 * g300 * q33 * aonv;
    r.del1 = del1 * f311 * g310 * q31 * aonv;
    r.xlamo = std::fmod(c.mo + c.nodeo + c.argpo - theta, kTwoPi);
    const LunarSolarTerms& ls = c.lunar_solar;
    r.xfact = c.mdot + xpidot - kRptim + ls.dmdt + ls.domdt + ls.dnodt - c.no_unkozai;
}

Resonance classify_resonance(double nm, double em) {
    if (nm >= 8.26e-3 && nm <= 9.24e-3 && em >= 0.5) return Resonance::HalfDay;
    if (nm < 0.0052359877 && nm > 0.0034906585) return Resonance::OneDay;
    return Resonance::None;
}

}  // namespace

void initialise(Sgp4Constants& c, const EpochContext& epoch) {
    OrbitGeometry o{};
    o.sinim = std::sin(c.inclo);
    o.cosim = std::cos(c.inclo);
    o.sinomm = std::sin(c.argpo);
    o.cosomm = std::cos(c.argpo);
    o.em = c.ecco;
    o.emsq = o.em * o.em;
    o.betasq = 1.0 - o.emsq;
    o.rtemsq = std::sqrt(o.betasq);
    o.xnoi = 1.0 / c.no_unkozai;
    const double snodm = std::sin(c.nodeo);
    const double cnodm = std::cos(c.nodeo);

    // Lunar orbit at epoch: node, inclination to the equator and mean longitude.
    const double day = epoch.epoch_days + 18261.5;
    const double xnodce = std::fmod(4.5236020 - 9.2422029e-4 * day, kTwoPi);
    const double stem = std::sin(xnodce);
    const double ctem = std::cos(xnodce);
    const double zcosil = 0.91375164 - 0.03568096 * ctem;
    const double zsinil = std::sqrt(1.0 - zcosil * zcosil);
    const double zsinhl = 0.089683511 * stem / zsinil;
    const double zcoshl = std::sqrt(1.0 - zsinhl * zsinhl);
    const double gam = 5.8351514 + 0.0019443680 * day;
    double zx = 0.39785416 * stem / zsinil;
    const double zy = zcoshl * ctem + 0.91744867 * zsinhl * stem;
    zx = std::atan2(zx, zy);
    zx = gam + zx - xnodce;

    const BodyOrientation sun_orientation{kZcosgs, kZsings, kZcosis, kZsinis, cnodm, snodm, kC1ss};
    const BodyOrientation moon_orientation{std::cos(zx),
                                           std::sin(zx),
                                           zcosil,
                                           zsinil,
                                           zcoshl * cnodm + zsinhl * snodm,
                                           snodm * zcoshl - cnodm * zsinhl,
                                           kC1l};
    const BodyCoefficients sun = body_coefficients(sun_orientation, o);
    const BodyCoefficients moon = body_coefficients(moon_orientation, o);

    LunarSolarTerms& ls = c.lunar_solar;
    ls.zmol = std::fmod(4.7199672 + 0.22997150 * day - gam, kTwoPi);
    ls.zmos = std::fmod(6.2565837 + 0.017201977 * day, kTwoPi);
    const PeriodicCoefficients s = periodic_coefficients(sun, o.emsq, kZes);
    const PeriodicCoefficients l = periodic_coefficients(moon, o.emsq, kZel);
    ls.se2 = s.e2, ls.se3 = s.e3, ls.si2 = s.i2, ls.si3 = s.i3, ls.sl2 = s.l2, ls.sl3 = s.l3, ls.sl4 = s.l4;
    ls.sgh2 = s.gh2, ls.sgh3 = s.gh3, ls.sgh4 = s.gh4, ls.sh2 = s.h2, ls.sh3 = s.h3;
    ls.ee2 = l.e2, ls.e3 = l.e3, ls.xi2 = l.i2, ls.xi3 = l.i3, ls.xl2 = l.l2, ls.xl3 = l.l3, ls.xl4 = l.l4;
    ls.xgh2 = l.gh2, ls.xgh3 = l.gh3, ls.xgh4 = l.gh4, ls.xh2 = l.h2, ls.xh3 = l.h3;
    set_secular_rates(ls, sun, moon, o, c.inclo);

    ResonanceTerms& r = c.resonance;
    r = ResonanceTerms{};
    r.kind = classify_resonance(c.no_unkozai, c.ecco);
    if (r.kind == Resonance::None) return;
    const double aonv = std::pow(c.no_unkozai / kKe, 2.0 / 3.0);
    const double theta = std::fmod(c.gsto, kTwoPi);
    if (r.kind == Resonance::HalfDay)
        initialise_half_day(r, c, o, epoch.eccsq, aonv, theta);
    else
        initialise_one_day(r, c, o, aonv, theta, epoch.xpidot);
}

namespace {

// Rates of the resonance integrator at one state.
struct ResonanceRates {
    double xndt, xnddt, xldot;
};

ResonanceRates resonance_rates(const Sgp4Constants& c, double xli, double xni, double atime) {
    constexpr double fasx2 = 0.13130908, fasx4 = 2.8843198, fasx6 = 0.37448087;
    constexpr double g22 = 5.7686396, g32 = 0.95240898, g44 = 1.8014998, g52 = 1.0508330, g54 = 4.4108898;
    const ResonanceTerms& r = c.resonance;
    ResonanceRates q{};
    q.xldot = xni + r.xfact;
    if (r.kind == Resonance::OneDay) {
        q.xndt = r.del1 * std::sin(xli - fasx2) + r.del2 * std::sin(2.0 * (xli - fasx4)) +
                 r.del3 * std::sin(3.0 * (xli - fasx6));
        q.xnddt = r.del1 * std::cos(xli - fasx2) + 2.0 * r.del2 * std::cos(2.0 * (xli - fasx4)) +
                  3.0 * r.del3 * std::cos(3.0 * (xli - fasx6));
    } else {
        const double xomi = c.argpo + c.argpdot * atime;
        const double x2omi = xomi + xomi;
        const double x2li = xli + xli;
        q.xndt = r.d2201 * std::sin(x2omi + xli - g22) + r.d2211 * std::sin(xli - g22) +
                 r.d3210 * std::sin(xomi + xli - g32) + r.d3222 * std::sin(-xomi + xli - g32) +
                 r.d4410 * std::sin(x2omi + x2li - g44) + r.d4422 * std::sin(x2li - g44) +
                 r.d5220 * std::sin(xomi + xli - g52) + r.d5232 * std::sin(-xomi + xli - g52) +
                 r.d5421 * std::sin(xomi + x2li - g54) + r.d5433 * std::sin(-xomi + x2li - g54);
        q.xnddt = r.d2201 * std::cos(x2omi + xli - g22) + r.d2211 * std::cos(xli - g22) +
                  r.d3210 * std::cos(xomi + xli - g32) + r.d3222 * std::cos(-xomi + xli - g32) +
                  r.d5220 * std::cos(xomi + xli - g52) + r.d5232 * std::cos(-xomi + xli - g52) +
                  2.0 * (r.d4410 * std::cos(x2omi + x2li - g44) + r.d4422 * std::cos(x2li - g44) +
                         r.d5421 * std::cos(xomi + x2li - g54) + r.d5433 * std::cos(-xomi + x2li - g54));
    }
    q.xnddt = q.xnddt * q.xldot;
    return q;
}

// Integrates the resonance from the epoch to `t` (Euler-Maclaurin steps of 720
// minutes) and returns the mean motion and mean longitude at `t`. The steps from
// the epoch toward `t` pass through the checkpoint when it lies between the two,
// so the integration starts there; the last whole step becomes the checkpoint.
struct ResonanceState {
    double nm, xl;
};

ResonanceState integrate_resonance(const Sgp4Constants& c, double t, ResonanceCheckpoint* checkpoint) {
    constexpr double step2 = 0.5 * kResonanceStepMinutes * kResonanceStepMinutes;
    if (!(std::fabs(t) <= kMaxResonanceMinutes)) return {NAN, NAN};
    const double delt = t > 0.0 ? kResonanceStepMinutes : -kResonanceStepMinutes;
    double atime = 0.0;
    double xni = c.no_unkozai;
    double xli = c.resonance.xlamo;
    if (checkpoint && checkpoint->valid && checkpoint->atime * delt >= 0.0 && (t - checkpoint->atime) * delt >= 0.0) {
        atime = checkpoint->atime;
        xni = checkpoint->xni;
        xli = checkpoint->xli;
    }
    // Bounded by kMaxResonanceMinutes / 720 steps.
    while (true) {
        const ResonanceRates q = resonance_rates(c, xli, xni, atime);
        if (!(std::fabs(t - atime) >= kResonanceStepMinutes)) {
            if (checkpoint) *checkpoint = {atime, xni, xli, true};
            const double ft = t - atime;
            return {xni + q.xndt * ft + q.xnddt * ft * ft * 0.5, xli + q.xldot * ft + q.xndt * ft * ft * 0.5};
        }
        xli = xli + q.xldot * delt + q.xndt * step2;
        xni = xni + q.xndt * delt + q.xnddt * step2;
        atime = atime + delt;
    }
}

}  // namespace

void apply_secular(const Sgp4Constants& c, double t, MeanElements& m, ResonanceCheckpoint* checkpoint) {
    const LunarSolarTerms& ls = c.lunar_solar;
    m.em = m.em + ls.dedt * t;
    m.inclm = m.inclm + ls.didt * t;
    m.argpm = m.argpm + ls.domdt * t;
    m.nodem = m.nodem + ls.dnodt * t;
    m.mm = m.mm + ls.dmdt * t;
    if (c.resonance.kind == Resonance::None) return;

    const double theta = std::fmod(c.gsto + t * kRptim, kTwoPi);
    const ResonanceState s = integrate_resonance(c, t, checkpoint);
    if (c.resonance.kind == Resonance::HalfDay)
        m.mm = s.xl - 2.0 * m.nodem + 2.0 * theta;
    else
        m.mm = s.xl - m.nodem - m.argpm + theta;
    const double dndt = s.nm - c.no_unkozai;
    m.nm = c.no_unkozai + dndt;
}

void apply_periodics(const LunarSolarTerms& ls, double t, PeriodicElements& p) {
    // Solar terms.
    double zm = ls.zmos + kZns * t;
    double zf = zm + 2.0 * kZes * std::sin(zm);
    double sinzf = std::sin(zf);
    double f2 = 0.5 * sinzf * sinzf - 0.25;
    double f3 = -0.5 * sinzf * std::cos(zf);
    const double ses = ls.se2 * f2 + ls.se3 * f3;
    const double sis = ls.si2 * f2 + ls.si3 * f3;
    const double sls = ls.sl2 * f2 + ls.sl3 * f3 + ls.sl4 * sinzf;
    const double sghs = ls.sgh2 * f2 + ls.sgh3 * f3 + ls.sgh4 * sinzf;
    const double shs = ls.sh2 * f2 + ls.sh3 * f3;
    // Lunar terms.
    zm = ls.zmol + kZnl * t;
    zf = zm + 2.0 * kZel * std::sin(zm);
    sinzf = std::sin(zf);
    f2 = 0.5 * sinzf * sinzf - 0.25;
    f3 = -0.5 * sinzf * std::cos(zf);
    const double sel = ls.ee2 * f2 + ls.e3 * f3;
    const double sil = ls.xi2 * f2 + ls.xi3 * f3;
    const double sll = ls.xl2 * f2 + ls.xl3 * f3 + ls.xl4 * sinzf;
    const double sghl = ls.xgh2 * f2 + ls.xgh3 * f3 + ls.xgh4 * sinzf;
    const double shll = ls.xh2 * f2 + ls.xh3 * f3;

    const double pe = ses + sel;
    const double pinc = sis + sil;
    const double pl = sls + sll;
    double pgh = sghs + sghl;
    double ph = shs + shll;

    p.inclp = p.inclp + pinc;
    p.ep = p.ep + pe;
    const double sinip = std::sin(p.inclp);
    const double cosip = std::cos(p.inclp);

    if (p.inclp >= 0.2) {
        ph = ph / sinip;
        pgh = pgh - cosip * ph;
        p.argpp = p.argpp + pgh;
        p.nodep = p.nodep + ph;
        p.mp = p.mp + pl;
        return;
    }
    // Low inclination: apply the node and perigee periodics through the
    // equinoctial-like components (Lyddane's modification).
    const double sinop = std::sin(p.nodep);
    const double cosop = std::cos(p.nodep);
    double alfdp = sinip * sinop;
    double betdp = sinip * cosop;
    const double dalf = ph * cosop + pinc * cosip * sinop;
    const double dbet = -ph * sinop + pinc * cosip * cosop;
    alfdp = alfdp + dalf;
    betdp = betdp + dbet;
    p.nodep = std::fmod(p.nodep, kTwoPi);
    double xls = p.mp + p.argpp + cosip * p.nodep;
    const double dls = pl + pgh - pinc * p.nodep * sinip;
    xls = xls + dls;
    const double xnoh = p.nodep;
    p.nodep = std::atan2(alfdp, betdp);
    if (std::fabs(xnoh - p.nodep) > kPi) p.nodep = p.nodep < xnoh ? p.nodep + kTwoPi : p.nodep - kTwoPi;
    p.mp = p.mp + pl;
    p.argpp = xls - p.mp - cosip * p.nodep;
}

}  // namespace orbweave::sgp4::deep_space

#pragma once
// The near-earth SGP4 propagation of several lanes at once, written once over an
// instruction set's vector type and included only by the per-instruction-set
// translation units (kernel_avx2.cpp, kernel_avx512.cpp). Everything here has
// internal linkage, so no function compiled for one instruction set can stand in
// for another's at link time.
//
// The equations are the scalar engine's, in the same order. The vector sine and
// cosine come from glibc's libmvec (within 4 ulp), square roots are the
// instruction's, and the reduction modulo 2 pi is exact as std::fmod's is; the
// argument of latitude is turned by the short-period correction through the
// angle-sum identities rather than an arctangent. The results therefore differ
// from the scalar engine's by rounding only (well below a micrometre), and a lane
// that fails one of the engine's checks, or comes close enough to one that
// rounding could decide it, is flagged for the scalar engine to answer.
#include <immintrin.h>

#include <cstdint>

#include "sgp4/batch/lane_block.hpp"

namespace orbweave::sgp4::batch {
namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;
constexpr double kX2o3 = 2.0 / 3.0;
constexpr double kJ3oj2 = kJ3 / kJ2;
constexpr double kVkmPerSec = kEarthRadiusKm * kKe / 60.0;
// How close to an error threshold a lane's value may come before the scalar
// engine decides it: far above the kernel's rounding, far below any real orbit's
// margin.
constexpr double kCheckMargin = 1.0e-9;
constexpr double kLargestFinite = 1.7976931348623157e308;
// Radius (Earth radii) beyond which a state is handed to the scalar engine: no
// near-earth orbit reaches it, and only such runaway states (a decaying orbit
// taken far back in time) are large enough for rounding to reach a micrometre.
constexpr double kRunawayRadius = 16.0;

// The kernel over one instruction set's operations `V` (see kernel_avx2.cpp).
template <class V>
struct Kernel {
    using D = typename V::D;
    using M = typename V::M;

    static D splat(double x) { return V::splat(x); }
    static D select(M mask, D yes, D no) { return V::select(mask, yes, no); }
    static D fabs(D x) { return V::fabs(x); }

    // x - k 2pi with the k that std::fmod takes: the product is subtracted with a
    // single rounding, which leaves the exactly representable remainder exact.
    static D fmod_two_pi(D x) {
        const D k = V::trunc(x / kTwoPi);
        D r = V::fnmadd(k, splat(kTwoPi), x);
        r = select((x >= 0.0) & (r < 0.0), r + kTwoPi, r);
        r = select((x < 0.0) & (r > 0.0), r - kTwoPi, r);
        return r;
    }

    // Kepler's equation in equinoctial form, as the scalar loop iterates it: each
    // lane stops once its correction falls below 1e-12, or after ten.
    static void solve_kepler(D u, D axnl, D aynl, D& sineo1, D& coseo1) {
        D eo1 = u;
        D tem5 = splat(9999.9);
        sineo1 = splat(0.0);
        coseo1 = splat(0.0);
        M active = splat(0.0) == splat(0.0);  // every lane
        for (int iteration = 0; iteration < 10; ++iteration) {
            active = active & (fabs(tem5) >= 1.0e-12);
            if (!V::any(active)) break;
            const D s = V::sin(eo1);
            const D c = V::cos(eo1);
            D step = 1.0 - c * axnl - s * aynl;
            step = (u - aynl * c + axnl * s - eo1) / step;
            step = select(fabs(step) >= 0.95, select(step > 0.0, splat(0.95), splat(-0.95)), step);
            sineo1 = select(active, s, sineo1);
            coseo1 = select(active, c, coseo1);
            tem5 = select(active, step, tem5);
            eo1 = select(active, eo1 + step, eo1);
        }
    }

    // Lanes `first` to `first` + width of the block; `first` is a multiple of the width.
    static void run(const LaneBlock& b, int first, const double* minutes, BlockStates& out) {
        const auto row = [first](const double* values) { return V::load(values + first); };
        const D t = V::load_unaligned(minutes + first);

        // Secular gravity and atmospheric drag.
        const D xmdf = row(b.mo) + row(b.mdot) * t;
        const D argpdf = row(b.argpo) + row(b.argpdot) * t;
        const D nodedf = row(b.nodeo) + row(b.nodedot) * t;
        D argpm = argpdf;
        D mm = xmdf;
        const D t2 = t * t;
        D nodem = nodedf + row(b.nodecf) * t2;
        D tempa = 1.0 - row(b.cc1) * t;
        D tempe = row(b.bstar) * row(b.cc4) * t;
        D templ = row(b.t2cof) * t2;
        const M full_drag = row(b.full_drag) != 0.0;
        if (V::any(full_drag)) {
            const D delomg = row(b.omgcof) * t;
            const D delmtemp = 1.0 + row(b.eta) * V::cos(xmdf);
            const D delm = row(b.xmcof) * (delmtemp * delmtemp * delmtemp - row(b.delmo));
            const D temp = delomg + delm;
            const D mm_full = xmdf + temp;
            argpm = select(full_drag, argpdf - temp, argpm);
            const D t3 = t2 * t;
            const D t4 = t3 * t;
            tempa = select(full_drag, tempa - row(b.d2) * t2 - row(b.d3) * t3 - row(b.d4) * t4, tempa);
            tempe = select(full_drag, tempe + row(b.bstar) * row(b.cc5) * (V::sin(mm_full) - row(b.sinmao)), tempe);
            templ = select(full_drag, templ + row(b.t3cof) * t3 + t4 * (row(b.t4cof) + t * row(b.t5cof)), templ);
            mm = select(full_drag, mm_full, mm);
        }

        const D no_unkozai = row(b.no_unkozai);
        const D am = row(b.ao) * tempa * tempa;
        const D nm = kKe / (am * V::sqrt(am));
        D em = row(b.ecco) - tempe;
        M needs_scalar = (em >= 1.0 - kCheckMargin) | (em < -0.001 + kCheckMargin);
        em = select(em < 1.0e-6, splat(1.0e-6), em);
        mm = mm + no_unkozai * templ;
        D xlm = mm + argpm + nodem;
        nodem = fmod_two_pi(nodem);
        argpm = fmod_two_pi(argpm);
        xlm = fmod_two_pi(xlm);
        mm = fmod_two_pi(xlm - argpm - nodem);

        // Long-period periodics.
        const D sinio = row(b.sinio);
        const D cosio = row(b.cosio);
        const D axnl = em * V::cos(argpm);
        D temp = 1.0 / (am * (1.0 - em * em));
        const D aynl = em * V::sin(argpm) + temp * row(b.aycof);
        const D xl = mm + argpm + nodem + temp * row(b.xlcof) * axnl;

        D sineo1, coseo1;
        solve_kepler(fmod_two_pi(xl - nodem), axnl, aynl, sineo1, coseo1);

        // Short-period preliminary quantities.
        const D ecose = axnl * coseo1 + aynl * sineo1;
        const D esine = axnl * sineo1 - aynl * coseo1;
        const D el2 = axnl * axnl + aynl * aynl;
        const D pl = am * (1.0 - el2);
        needs_scalar = needs_scalar | (pl < kCheckMargin);
        const D rl = am * (1.0 - ecose);
        const D rdotl = V::sqrt(am) * esine / rl;
        const D rvdotl = V::sqrt(pl) / rl;
        const D betal = V::sqrt(1.0 - el2);
        temp = esine / (1.0 + betal);
        const D sinu = am / rl * (sineo1 - aynl - axnl * temp);
        const D cosu = am / rl * (coseo1 - axnl + aynl * temp);
        const D sin2u = (cosu + cosu) * sinu;
        const D cos2u = 1.0 - 2.0 * sinu * sinu;
        temp = 1.0 / pl;
        const D temp1 = 0.5 * kJ2 * temp;
        const D temp2 = temp1 * temp;

        // Short-period periodics; su = atan2(sinu, cosu) - delta is kept as its sine
        // and cosine.
        const D con41 = row(b.con41);
        const D x1mth2 = row(b.x1mth2);
        const D mrt = rl * (1.0 - 1.5 * temp2 * betal * con41) + 0.5 * temp1 * x1mth2 * cos2u;
        needs_scalar = needs_scalar | !(mrt < kRunawayRadius);
        const D delta = 0.25 * temp2 * row(b.x7thm1) * sin2u;
        const D xnode = nodem + 1.5 * temp2 * cosio * sin2u;
        const D xinc = row(b.inclo) + 1.5 * temp2 * cosio * sinio * cos2u;
        const D mvt = rdotl - nm * temp1 * x1mth2 * sin2u / kKe;
        const D rvdot = rvdotl + nm * temp1 * (x1mth2 * cos2u + 1.5 * con41) / kKe;

        // Orientation vectors.
        const D inverse_norm = 1.0 / V::sqrt(sinu * sinu + cosu * cosu);
        const D sin_delta = V::sin(delta);
        const D cos_delta = V::cos(delta);
        const D sinsu = (sinu * cos_delta - cosu * sin_delta) * inverse_norm;
        const D cossu = (cosu * cos_delta + sinu * sin_delta) * inverse_norm;
        const D snod = V::sin(xnode);
        const D cnod = V::cos(xnode);
        const D sini = V::sin(xinc);
        const D cosi = V::cos(xinc);
        const D xmx = -snod * cosi;
        const D xmy = cnod * cosi;
        const D ux = xmx * sinsu + cnod * cossu;
        const D uy = xmy * sinsu + snod * cossu;
        const D uz = sini * sinsu;
        const D vx = xmx * cossu - cnod * sinsu;
        const D vy = xmy * cossu - snod * sinsu;
        const D vz = sini * cossu;

        const D x = (mrt * ux) * kEarthRadiusKm, y = (mrt * uy) * kEarthRadiusKm, z = (mrt * uz) * kEarthRadiusKm;
        const D vx_km_s = (mvt * ux + rvdot * vx) * kVkmPerSec, vy_km_s = (mvt * uy + rvdot * vy) * kVkmPerSec,
                vz_km_s = (mvt * uz + rvdot * vz) * kVkmPerSec;
        const D sum = x + y + z + vx_km_s + vy_km_s + vz_km_s;
        needs_scalar = needs_scalar | !(fabs(sum) <= kLargestFinite);

        V::store(out.x + first, x), V::store(out.y + first, y), V::store(out.z + first, z);
        V::store(out.vx + first, vx_km_s), V::store(out.vy + first, vy_km_s), V::store(out.vz + first, vz_km_s);
        V::store_mask(out.needs_scalar + first, needs_scalar);
    }
};

// Runs the kernel over the first `lanes` lanes, a vector's width at a time.
template <class V>
void propagate_lanes(const LaneBlock& block, const double* minutes, int lanes, BlockStates& out) {
    static_assert(kMaxLanes % V::kWidth == 0);
    for (int first = 0; first < lanes; first += V::kWidth) Kernel<V>::run(block, first, minutes, out);
}

}  // namespace
}  // namespace orbweave::sgp4::batch

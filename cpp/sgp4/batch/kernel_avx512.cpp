// The batched kernel for AVX-512 (F and DQ): eight lanes per vector. Built with
// -mavx512f -mavx512dq for this file alone; called only when the processor has
// both.
#include "sgp4/batch/kernel.hpp"

// glibc's libmvec: sine and cosine of eight doubles (AVX-512 variants).
extern "C" __m512d _ZGVeN8v_sin(__m512d);
extern "C" __m512d _ZGVeN8v_cos(__m512d);

namespace orbweave::sgp4::batch {
namespace {

struct Avx512 {
    static constexpr int kWidth = 8;
    using D = __m512d;
    using M = decltype(D{} < D{});

    static D splat(double x) { return _mm512_set1_pd(x); }
    static D load(const double* p) { return _mm512_load_pd(p); }
    static D load_unaligned(const double* p) { return _mm512_loadu_pd(p); }
    static void store(double* p, D x) { _mm512_store_pd(p, x); }
    static void store_mask(int64_t* p, M m) { _mm512_store_si512(p, __m512i(m)); }
    static __mmask8 bits(M m) { return _mm512_test_epi64_mask(__m512i(m), __m512i(m)); }
    static D select(M m, D yes, D no) { return _mm512_mask_blend_pd(bits(m), no, yes); }
    static bool any(M m) { return bits(m) != 0; }
    static D fabs(D x) { return _mm512_abs_pd(x); }
    static D trunc(D x) { return _mm512_mask_roundscale_pd(x, 0xff, x, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC); }
    static D fnmadd(D a, D b, D c) { return _mm512_fnmadd_pd(a, b, c); }
    static D sqrt(D x) { return _mm512_mask_sqrt_pd(x, 0xff, x); }  // unmasked forms: GCC 12 warns
    static D sin(D x) { return _ZGVeN8v_sin(x); }
    static D cos(D x) { return _ZGVeN8v_cos(x); }
};

}  // namespace

void propagate_avx512(const LaneBlock& block, const double* minutes, int lanes, BlockStates& out) {
    propagate_lanes<Avx512>(block, minutes, lanes, out);
}

}  // namespace orbweave::sgp4::batch

// The batched kernel for AVX2 with FMA: four lanes per vector. Built with
// -mavx2 -mfma for this file alone; called only when the processor has both.
#include "sgp4/batch/kernel.hpp"

// glibc's libmvec: sine and cosine of four doubles (AVX2 variants).
extern "C" __m256d _ZGVdN4v_sin(__m256d);
extern "C" __m256d _ZGVdN4v_cos(__m256d);

namespace orbweave::sgp4::batch {
namespace {

struct Avx2 {
    static constexpr int kWidth = 4;
    using D = __m256d;
    using M = decltype(D{} < D{});

    static D splat(double x) { return _mm256_set1_pd(x); }
    static D load(const double* p) { return _mm256_load_pd(p); }
    static D load_unaligned(const double* p) { return _mm256_loadu_pd(p); }
    static void store(double* p, D x) { _mm256_store_pd(p, x); }
    static void store_mask(int64_t* p, M m) { _mm256_store_si256(reinterpret_cast<__m256i*>(p), __m256i(m)); }
    static D select(M m, D yes, D no) { return _mm256_blendv_pd(no, yes, D(m)); }
    static bool any(M m) { return _mm256_movemask_pd(D(m)) != 0; }
    static D fabs(D x) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), x); }
    static D trunc(D x) { return _mm256_round_pd(x, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC); }
    static D fnmadd(D a, D b, D c) { return _mm256_fnmadd_pd(a, b, c); }
    static D sqrt(D x) { return _mm256_sqrt_pd(x); }
    static D sin(D x) { return _ZGVdN4v_sin(x); }
    static D cos(D x) { return _ZGVdN4v_cos(x); }
};

}  // namespace

void propagate_avx2(const LaneBlock& block, const double* minutes, int lanes, BlockStates& out) {
    propagate_lanes<Avx2>(block, minutes, lanes, out);
}

}  // namespace orbweave::sgp4::batch

#pragma once
// The structure-of-arrays form of the near-earth SGP4 constants that the batched
// kernels read: one row of up to kMaxLanes values per constant. Plain data only,
// because the kernels' translation units are compiled for other instruction sets
// and must share no inline code with the rest of the library.
#include <cstdint>

namespace orbweave::sgp4::batch {

// The widest kernel's lane count (AVX-512: eight doubles).
inline constexpr int kMaxLanes = 8;

// The geopotential constants the kernels use; batch.cpp checks them against the
// scalar engine's.
inline constexpr double kEarthRadiusKm = 6378.137;
inline constexpr double kKe = 0.07436685316871385;
inline constexpr double kJ2 = 0.00108262998905;
inline constexpr double kJ3 = -0.00000253215306;

// Every constant a near-earth propagation reads, named as in Sgp4Constants.
#define ORBWEAVE_NEAR_EARTH_FIELDS(X)                                                                  \
    X(mo) X(mdot) X(argpo) X(argpdot) X(nodeo) X(nodedot) X(nodecf) X(cc1) X(bstar) X(cc4) X(t2cof)   \
    X(omgcof) X(eta) X(xmcof) X(delmo) X(d2) X(d3) X(d4) X(cc5) X(sinmao) X(t3cof)       \
    X(t4cof) X(t5cof) X(no_unkozai) X(ecco) X(inclo) X(ao) X(sinio) X(cosio) X(aycof) X(xlcof)        \
    X(con41) X(x1mth2) X(x7thm1)

// Constants of up to kMaxLanes near-earth element sets, one row per constant,
// and `full_drag`: 1 where the full drag model applies, 0 where the simplified
// one does.
struct alignas(64) LaneBlock {
#define ORBWEAVE_ROW(name) double name[kMaxLanes];
    ORBWEAVE_NEAR_EARTH_FIELDS(ORBWEAVE_ROW)
#undef ORBWEAVE_ROW
    double full_drag[kMaxLanes];
};

// A kernel's results: TEME position (km) and velocity (km/s) per lane, and per
// lane whether the scalar engine must give the answer instead: the lane failed
// one of the engine's checks, came within a hair of one, or is not finite.
struct alignas(64) BlockStates {
    double x[kMaxLanes], y[kMaxLanes], z[kMaxLanes];
    double vx[kMaxLanes], vy[kMaxLanes], vz[kMaxLanes];
    int64_t needs_scalar[kMaxLanes];
};

// One kernel per instruction set; each propagates the first `lanes` lanes of
// `block` at `minutes[lane]` since their epochs. `minutes` holds kMaxLanes
// values and every row of the block is filled (a partial block repeats a lane),
// since a kernel may compute whole vectors past `lanes`.
void propagate_avx2(const LaneBlock& block, const double* minutes, int lanes, BlockStates& out);
void propagate_avx512(const LaneBlock& block, const double* minutes, int lanes, BlockStates& out);

}  // namespace orbweave::sgp4::batch

#include "sgp4/batch/batch.hpp"

#include <atomic>
#include <cstdlib>

#include "util/panic.hpp"

namespace orbweave::sgp4::batch {

static_assert(kEarthRadiusKm == sgp4::kEarthRadiusKm && kKe == sgp4::kKe && kJ2 == sgp4::kJ2 && kJ3 == sgp4::kJ3,
              "the kernels' constants differ from the scalar engine's");

namespace {

Kernel widest_supported() {
    if (supported(Kernel::Avx512)) return Kernel::Avx512;
    if (supported(Kernel::Avx2)) return Kernel::Avx2;
    return Kernel::Scalar;
}

// The widest kernel, or the one ORBWEAVE_BATCH names when the processor has it.
Kernel initial_kernel() {
    const char* wanted = std::getenv("ORBWEAVE_BATCH");
    if (wanted) {
        const auto named = kernel_named(wanted);
        if (named && supported(*named)) return *named;
    }
    return widest_supported();
}

std::atomic<Kernel>& kernel_in_use() {
    static std::atomic<Kernel> kernel{initial_kernel()};
    return kernel;
}

}  // namespace

bool supported(Kernel kernel) {
    switch (kernel) {
        case Kernel::Scalar: return true;
        case Kernel::Avx2: return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
        case Kernel::Avx512: return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq");
    }
    return false;
}

Kernel active_kernel() { return kernel_in_use().load(std::memory_order_relaxed); }

bool use_kernel(Kernel kernel) {
    if (!supported(kernel)) return false;
    kernel_in_use().store(kernel, std::memory_order_relaxed);
    return true;
}

std::string_view kernel_name(Kernel kernel) {
    switch (kernel) {
        case Kernel::Scalar: return "scalar";
        case Kernel::Avx2: return "avx2";
        case Kernel::Avx512: return "avx512";
    }
    return "scalar";
}

std::optional<Kernel> kernel_named(std::string_view name) {
    for (Kernel kernel : {Kernel::Scalar, Kernel::Avx2, Kernel::Avx512})
        if (kernel_name(kernel) == name) return kernel;
    return std::nullopt;
}

int kernel_width(Kernel kernel) {
    return kernel == Kernel::Avx512 ? 8 : kernel == Kernel::Avx2 ? 4 : 1;
}

bool batchable(const Sgp4Constants& constants) { return !constants.deep_space; }

void load_lane(LaneBlock& block, int lane, const Sgp4Constants& c) {
    if (c.deep_space || lane < 0 || lane >= kMaxLanes) panic("a lane the kernels cannot take");
#define ORBWEAVE_ROW(name) block.name[lane] = c.name;
    ORBWEAVE_NEAR_EARTH_FIELDS(ORBWEAVE_ROW)
#undef ORBWEAVE_ROW
    block.full_drag[lane] = c.simplified_drag ? 0.0 : 1.0;
}

void repeat_lane(LaneBlock& block, int from) {
#define ORBWEAVE_ROW(name) \
    for (int lane = from + 1; lane < kMaxLanes; ++lane) block.name[lane] = block.name[from];
    ORBWEAVE_NEAR_EARTH_FIELDS(ORBWEAVE_ROW)
    ORBWEAVE_ROW(full_drag)
#undef ORBWEAVE_ROW
}

void propagate(Kernel kernel, const LaneBlock& block, const double (&minutes)[kMaxLanes], int lanes,
               BlockStates& out) {
    if (kernel == Kernel::Avx512)
        propagate_avx512(block, minutes, lanes, out);
    else if (kernel == Kernel::Avx2)
        propagate_avx2(block, minutes, lanes, out);
    else
        panic("the scalar engine has no block kernel");
}

}  // namespace orbweave::sgp4::batch

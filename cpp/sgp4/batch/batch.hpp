#pragma once
// Batched SGP4: near-earth element sets propagated several lanes at a time, each
// lane its own element set and its own time, by a kernel compiled for AVX-512 or
// AVX2. The kernel is chosen once, as the widest the processor supports; the
// environment variable ORBWEAVE_BATCH (`scalar`, `avx2` or `avx512`) read at that
// moment narrows the choice, and `use_kernel` changes it later (for tests and
// benchmarks). `Kernel::Scalar` means no batching: callers use the scalar engine.
//
// The kernels agree with the scalar engine to rounding (well within a micrometre
// and a micrometre per second); every lane that fails one of the engine's checks,
// or comes near one, is handed back for the scalar engine to answer, so error
// outcomes are the engine's own. Deep-space element sets are not batched.
#include <cstdint>
#include <optional>
#include <string_view>

#include "sgp4/batch/lane_block.hpp"
#include "sgp4/sgp4.hpp"

namespace orbweave::sgp4::batch {

enum class Kernel : uint8_t { Scalar, Avx2, Avx512 };

// Whether this processor (and its operating system) can run the kernel.
bool supported(Kernel kernel);
// The kernel in use, chosen on the first call.
Kernel active_kernel();
// Makes `kernel` the one in use; false, with nothing changed, when unsupported.
bool use_kernel(Kernel kernel);

std::string_view kernel_name(Kernel kernel);  // "scalar", "avx2", "avx512"
std::optional<Kernel> kernel_named(std::string_view name);
// Lanes per vector: 1, 4 or 8.
int kernel_width(Kernel kernel);

// Whether the kernels propagate this element set (near-earth orbits).
bool batchable(const Sgp4Constants& constants);

// Writes one near-earth element set's constants into lane `lane` of the block.
void load_lane(LaneBlock& block, int lane, const Sgp4Constants& constants);
// Copies lane `from` into every lane after it, so that a partial block is full.
void repeat_lane(LaneBlock& block, int from);

// Propagates the first `lanes` lanes of a full block with a vector kernel (not
// Kernel::Scalar); see BlockStates for what comes back.
void propagate(Kernel kernel, const LaneBlock& block, const double (&minutes)[kMaxLanes], int lanes,
               BlockStates& out);

}  // namespace orbweave::sgp4::batch

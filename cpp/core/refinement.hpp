#pragma once
// The root finder's settings. The predictor carries them to every search it starts.
#include <cstdint>

namespace orbweave {

struct Refinement {
    double time_tolerance = 0.001;  // seconds
    uint64_t max_iter = 100;

    bool operator==(const Refinement&) const = default;
};

}  // namespace orbweave

#pragma once
// Fixed-step sampler over [start, end): start, start + step, ... while strictly
// before end. The step is added to the previous sample, so samples are exact.
#include <optional>

#include "time/instant.hpp"

namespace orbweave::time {

class Sampler {
public:
    // A zero or negative step becomes one second; start and end are not reordered.
    Sampler(Instant start, Instant end, Duration step)
        : start_(start), end_(end), step_(step.is_positive() ? step : Duration::seconds(1)), current_(start) {}

    // The next sample, or nullopt once exhausted. Overflow of the following sample
    // is an internal fault raised before this one is delivered.
    std::optional<Instant> next() {
        if (!(start_ <= current_ && current_ < end_)) return std::nullopt;
        const Instant sample = current_;
        current_ = current_ + step_;
        return sample;
    }

    Duration step() const { return step_; }

private:
    Instant start_, end_;
    Duration step_;
    Instant current_;
};

}  // namespace orbweave::time

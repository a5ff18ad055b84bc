#pragma once
// Signed duration with nanosecond resolution: whole seconds (the floor) plus a
// nanosecond part always in [0, 1e9). So -1.5 s is {-2, 500'000'000}.
#include <compare>
#include <cstdint>
#include <optional>

#include "util/panic.hpp"

namespace orbweave::time {

inline constexpr int64_t kNanosPerSecond = 1'000'000'000;

class Duration {
public:
    constexpr Duration() = default;

    // Normalising factory; `nanos` may be any value.
    static constexpr Duration from_parts(int64_t seconds, int64_t nanos) {
        seconds += nanos / kNanosPerSecond;
        nanos %= kNanosPerSecond;
        if (nanos < 0) {
            nanos += kNanosPerSecond;
            seconds -= 1;
        }
        return Duration(seconds, static_cast<int32_t>(nanos));
    }
    static constexpr Duration zero() { return Duration(); }
    static constexpr Duration max() { return Duration(kMaxMillis / 1000, (kMaxMillis % 1000) * 1'000'000); }
    static constexpr Duration min() { return -max(); }

    // Whole seconds / milliseconds; an internal fault outside the duration range.
    static constexpr Duration seconds(int64_t s) {
        if (s > kMaxMillis / 1000 || s < -(kMaxMillis / 1000)) panic("TimeDelta::seconds out of bounds");
        return from_parts(s, 0);
    }
    static constexpr Duration milliseconds(int64_t ms) {
        // Every int64 but INT64_MIN lies within +-(2^63 - 1) ms.
        if (ms == INT64_MIN) panic("TimeDelta::milliseconds out of bounds");
        return from_parts(ms / 1000, (ms % 1000) * 1'000'000);
    }
    // Nanosecond count (every int64 fits the range).
    static constexpr Duration nanoseconds(int64_t ns) { return from_parts(0, ns); }

    constexpr int64_t floor_seconds() const { return seconds_; }
    constexpr int32_t subsec_nanos() const { return nanos_; }

    // Whole milliseconds, truncated toward zero.
    constexpr int64_t whole_milliseconds() const {
        int64_t s = seconds_, n = nanos_;
        if (s < 0 && n > 0) {
            s += 1;
            n -= kNanosPerSecond;
        }
        return s * 1000 + n / 1'000'000;
    }
    // Whole seconds and the sub-second rest, both carrying the duration's sign.
    constexpr int64_t truncated_seconds() const { return seconds_ < 0 && nanos_ > 0 ? seconds_ + 1 : seconds_; }
    constexpr int64_t truncated_subsec_nanos() const {
        return seconds_ < 0 && nanos_ > 0 ? nanos_ - kNanosPerSecond : nanos_;
    }
    double as_seconds_f64() const { return static_cast<double>(seconds_) + nanos_ * 1e-9; }

    // Half of the duration, truncated toward zero at the nanosecond.
    constexpr Duration half() const {
        const int64_t s = truncated_seconds();
        const int64_t n = truncated_subsec_nanos();
        // s / 2 truncates; the odd second's half moves into the nanoseconds.
        return from_parts(s / 2, (s % 2) * (kNanosPerSecond / 2) + n / 2);
    }

    constexpr Duration operator-() const { return from_parts(-seconds_, -static_cast<int64_t>(nanos_)); }
    constexpr Duration operator+(Duration o) const {
        return from_parts(seconds_ + o.seconds_, static_cast<int64_t>(nanos_) + o.nanos_);
    }
    constexpr Duration operator-(Duration o) const { return *this + -o; }
    constexpr auto operator<=>(const Duration&) const = default;

    constexpr bool is_positive() const { return seconds_ > 0 || (seconds_ == 0 && nanos_ > 0); }

private:
    static constexpr int64_t kMaxMillis = INT64_MAX;
    constexpr Duration(int64_t s, int32_t n) : seconds_(s), nanos_(n) {}
    int64_t seconds_ = 0;
    int32_t nanos_ = 0;
};

}  // namespace orbweave::time

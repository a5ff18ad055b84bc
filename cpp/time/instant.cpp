#include "time/instant.hpp"

#include <cmath>

#include "util/panic.hpp"

namespace orbweave::time {

namespace {

// Largest |seconds| of a duration: (2^63 - 1) milliseconds.

bool day_in_range(int64_t days) { return days >= kMinDay && days <= kMaxDay; }

// Builds an instant from a second count since 1970 and a nanosecond in [0, 1e9).
std::optional<Instant> from_unix_parts(int64_t seconds, uint32_t nanos) {
    int64_t days = seconds / kSecondsPerDay;
    int64_t sod = seconds % kSecondsPerDay;
    if (sod < 0) {
        sod += kSecondsPerDay;
        days -= 1;
    }
    if (!day_in_range(days)) return std::nullopt;
    return Instant::from_day_parts(days, static_cast<uint32_t>(sod), nanos);
}

}  // namespace

std::optional<Instant> Instant::from_civil(int64_t year, unsigned month, unsigned day, unsigned hour,
                                           unsigned minute, unsigned second, uint32_t nanosecond) {
    if (year < kMinYear || year > kMaxYear || month < 1 || month > 12) return std::nullopt;
    if (day < 1 || day > days_in_month(year, month)) return std::nullopt;
    if (hour > 23 || minute > 59 || second > 59) return std::nullopt;
    if (nanosecond >= 2 * kNanosPerSecond) return std::nullopt;
    if (nanosecond >= kNanosPerSecond && second != 59) return std::nullopt;
    return Instant(days_from_civil(year, month, day), hour * 3600 + minute * 60 + second, nanosecond);
}

std::optional<Instant> Instant::from_checked_day_parts(int64_t days, uint32_t second_of_day, uint32_t nanosecond) {
    if (days < kMinDay || days > kMaxDay || second_of_day >= kSecondsPerDay) return std::nullopt;
    if (nanosecond >= 2 * kNanosPerSecond) return std::nullopt;
    if (nanosecond >= kNanosPerSecond && second_of_day % 60 != 59) return std::nullopt;
    return Instant(days, second_of_day, nanosecond);
}

CivilTime Instant::civil() const {
    const CivilDate date = civil_from_days(days_);
    return {date.year, date.month, date.day, second_of_day_ / 3600, second_of_day_ / 60 % 60,
            second_of_day_ % 60, nanosecond_};
}

double Instant::to_unix_seconds_f64() const {
    const int64_t seconds = days_ * kSecondsPerDay + second_of_day_;
    return static_cast<double>(seconds) + static_cast<double>(nanosecond_) * 1e-9;
}

Instant Instant::from_unix_seconds_f64(double seconds) {
    const double scaled = seconds * 1e9;
    int64_t nanos;
    if (std::isnan(scaled)) {
        nanos = 0;
    } else if (scaled >= 9223372036854775807.0) {  // 2^63 as a double
        nanos = INT64_MAX;
    } else if (scaled <= -9223372036854775808.0) {
        nanos = INT64_MIN;
    } else {
        nanos = static_cast<int64_t>(scaled);  // truncation toward zero
    }
    int64_t secs = nanos / kNanosPerSecond;
    int64_t rest = nanos % kNanosPerSecond;
    if (rest < 0) {
        rest += kNanosPerSecond;
        secs -= 1;
    }
    return *from_unix_parts(secs, static_cast<uint32_t>(rest));
}

std::optional<Instant> Instant::checked_add(Duration d) const {
    int64_t base_seconds = days_ * kSecondsPerDay + second_of_day_;
    int64_t base_nanos = nanosecond_;
    if (is_leap_second()) {
        // Inside a leap second: stay there while the sum does; otherwise leave it
        // at its end (forward) or its start (backward), counting it as one second.
        const Duration remaining = Duration::nanoseconds(2 * kNanosPerSecond - nanosecond_);
        const Duration elapsed = Duration::nanoseconds(nanosecond_);
        if (d >= remaining) {
            d = d - remaining;
            base_seconds += 1;
            base_nanos = 0;
        } else if (d < -elapsed) {
            d = d + elapsed;
            base_nanos = 0;
        } else {
            const Duration inside = elapsed + d;
            return Instant(days_, second_of_day_, static_cast<uint32_t>(inside.floor_seconds() * kNanosPerSecond +
                                                                          inside.subsec_nanos()));
        }
    }
    // Any larger step leaves the range; the bound keeps the sum inside int64.
    const int64_t seconds_limit = (kMaxDay - kMinDay + 2) * kSecondsPerDay;
    if (d.floor_seconds() > seconds_limit || d.floor_seconds() < -seconds_limit) return std::nullopt;
    const Duration sum = Duration::from_parts(base_seconds + d.floor_seconds(), base_nanos + d.subsec_nanos());
    return from_unix_parts(sum.floor_seconds(), static_cast<uint32_t>(sum.subsec_nanos()));
}

Instant Instant::operator+(Duration d) const {
    auto result = checked_add(d);
    if (!result) panic("`DateTime + TimeDelta` overflowed");
    return *result;
}

Instant Instant::operator-(Duration d) const {
    auto result = checked_add(-d);
    if (!result) panic("`DateTime - TimeDelta` overflowed");
    return *result;
}

Duration Instant::operator-(const Instant& other) const {
    const int64_t self_seconds = days_ * kSecondsPerDay + second_of_day_;
    const int64_t other_seconds = other.days_ * kSecondsPerDay + other.second_of_day_;
    int64_t seconds = self_seconds - other_seconds;
    // The labels count a leap instant's extra nanoseconds into the following second,
    // which places it after the midnight it precedes. When the other instant lies
    // beyond that leap second, the leap second itself lies between the two and
    // counts as one more second.
    if (other.is_leap_second() && self_seconds > other_seconds) seconds += 1;
    if (is_leap_second() && other_seconds > self_seconds) seconds -= 1;
    return Duration::from_parts(seconds, static_cast<int64_t>(nanosecond_) - static_cast<int64_t>(other.nanosecond_));
}

}  // namespace orbweave::time

#pragma once
// UTC instants on the proleptic Gregorian calendar, years -262143 to 262142,
// nanosecond resolution. A nanosecond field of 1e9 or more marks an instant inside
// a leap second (only epochs read from text carry one).
#include <compare>
#include <cstdint>
#include <optional>
#include <string>

#include "time/duration.hpp"

namespace orbweave::time {

inline constexpr int32_t kMinYear = -262143;
inline constexpr int32_t kMaxYear = 262142;
inline constexpr int64_t kSecondsPerDay = 86400;

// Days since 1970-01-01 of a proleptic Gregorian date (no range check).
constexpr int64_t days_from_civil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

struct CivilDate {
    int64_t year;
    unsigned month;
    unsigned day;
};

constexpr CivilDate civil_from_days(int64_t z) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<int64_t>(yoe) + era * 400 + (m <= 2), m, d};
}

constexpr bool is_leap_year(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
constexpr unsigned days_in_month(int64_t y, unsigned m) {
    constexpr unsigned table[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && is_leap_year(y) ? 29 : table[m - 1];
}

inline constexpr int64_t kMinDay = days_from_civil(kMinYear, 1, 1);
inline constexpr int64_t kMaxDay = days_from_civil(kMaxYear, 12, 31);

// Calendar fields of an instant; `nanosecond` keeps the leap-second marking.
struct CivilTime {
    int64_t year;
    unsigned month, day, hour, minute, second;
    uint32_t nanosecond;
};

class Instant {
public:
    // 1970-01-01 00:00:00 UTC.
    constexpr Instant() = default;
    // Validated construction from calendar fields; nullopt when a field is out of
    // range. `nanosecond` may reach 1'999'999'999 only at second 59 (a leap second).
    static std::optional<Instant> from_civil(int64_t year, unsigned month, unsigned day, unsigned hour,
                                             unsigned minute, unsigned second, uint32_t nanosecond);
    // Validated construction from the day parts that `days_since_1970`,
    // `second_of_day` and `nanosecond` read back; nullopt outside the instant range
    // or the day, and for a leap-second nanosecond outside a minute's last second.
    static std::optional<Instant> from_checked_day_parts(int64_t days, uint32_t second_of_day, uint32_t nanosecond);
    // Unchecked construction for values already known to be valid.
    static constexpr Instant from_day_parts(int64_t days, uint32_t second_of_day, uint32_t nanosecond) {
        return Instant(days, second_of_day, nanosecond);
    }
    static constexpr Instant unix_epoch() { return Instant(0, 0, 0); }

    // Seconds since 1970 as the root finder's time axis, and back (saturating).
    double to_unix_seconds_f64() const;
    static Instant from_unix_seconds_f64(double seconds);

    constexpr int64_t days_since_1970() const { return days_; }
    constexpr uint32_t second_of_day() const { return second_of_day_; }
    constexpr uint32_t nanosecond() const { return nanosecond_; }
    constexpr bool is_leap_second() const { return nanosecond_ >= kNanosPerSecond; }
    CivilTime civil() const;

    // Exact; nullopt outside the instant range.
    std::optional<Instant> checked_add(Duration d) const;
    std::optional<Instant> checked_sub(Duration d) const { return checked_add(-d); }
    // Internal fault outside the instant range.
    Instant operator+(Duration d) const;
    Instant operator-(Duration d) const;
    // Exact difference; a leap second that lies between the two counts as the
    // extra second it is.
    Duration operator-(const Instant& other) const;

    constexpr auto operator<=>(const Instant&) const = default;

private:
    constexpr Instant(int64_t days, uint32_t sod, uint32_t ns) : days_(days), second_of_day_(sod), nanosecond_(ns) {}
    int64_t days_ = 0;
    uint32_t second_of_day_ = 0;
    uint32_t nanosecond_ = 0;
};

// Minutes since `epoch` as the propagator's time argument: whole milliseconds of
// (t - epoch), truncated toward zero, divided by 60000.
inline double minutes_since(Instant t, Instant epoch) {
    return static_cast<double>((t - epoch).whole_milliseconds()) / 60000.0;
}
// Age of `epoch` at `now` in seconds, truncated toward zero to whole milliseconds.
inline double age_seconds(Instant now, Instant epoch) {
    return static_cast<double>((now - epoch).whole_milliseconds()) / 1000.0;
}

}  // namespace orbweave::time

#include "time/text.hpp"

#include <cstdio>

namespace orbweave::time {

namespace {

std::string year_text(int64_t year) {
    char buffer[32];
    if (year >= 0 && year <= 9999)
        std::snprintf(buffer, sizeof buffer, "%04lld", static_cast<long long>(year));
    else
        std::snprintf(buffer, sizeof buffer, "%+05lld", static_cast<long long>(year));
    return buffer;
}

std::string fraction_text(uint32_t nanos) {
    char buffer[16];
    if (nanos == 0) return "";
    if (nanos % 1'000'000 == 0)
        std::snprintf(buffer, sizeof buffer, ".%03u", nanos / 1'000'000);
    else if (nanos % 1'000 == 0)
        std::snprintf(buffer, sizeof buffer, ".%06u", nanos / 1'000);
    else
        std::snprintf(buffer, sizeof buffer, ".%09u", nanos);
    return buffer;
}

void append_part(std::string& out, uint64_t value, const char* unit, bool plural_s) {
    if (value == 0) return;
    if (!out.empty()) out += ' ';
    out += std::to_string(value);
    out += unit;
    if (plural_s && value > 1) out += 's';
}

}  // namespace

std::string instant_text(Instant t) {
    const CivilTime c = t.civil();
    const bool leap = t.is_leap_second();
    char clock[32];
    std::snprintf(clock, sizeof clock, "-%02u-%02u %02u:%02u:%02u", c.month, c.day, c.hour, c.minute,
                  c.second + (leap ? 1u : 0u));
    return year_text(c.year) + clock + fraction_text(c.nanosecond % static_cast<uint32_t>(kNanosPerSecond)) + " UTC";
}

std::string compact_duration_text(Duration d) {
    if (d < Duration::zero()) return "-" + compact_duration_text(-d);
    uint64_t seconds = static_cast<uint64_t>(d.floor_seconds());
    const uint32_t nanos = static_cast<uint32_t>(d.subsec_nanos());
    if (seconds == 0 && nanos == 0) return "0s";
    std::string out;
    append_part(out, seconds / 31'557'600, "year", true);
    seconds %= 31'557'600;
    append_part(out, seconds / 2'630'016, "month", true);
    seconds %= 2'630'016;
    append_part(out, seconds / 86'400, "day", true);
    seconds %= 86'400;
    append_part(out, seconds / 3600, "h", false);
    append_part(out, seconds / 60 % 60, "m", false);
    append_part(out, seconds % 60, "s", false);
    append_part(out, nanos / 1'000'000, "ms", false);
    append_part(out, nanos / 1'000 % 1'000, "us", false);
    append_part(out, nanos % 1'000, "ns", false);
    return out;
}

}  // namespace orbweave::time

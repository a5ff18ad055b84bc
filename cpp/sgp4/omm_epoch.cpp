#include "sgp4/omm_epoch.hpp"

#include <cstddef>
#include <cstdint>
#include <iterator>

namespace orbweave::sgp4 {

namespace {

struct FieldSpec {
    size_t width;
    unsigned min, max;
    char separator;  // after the field; '\0' for the seconds
};

// Year, month, day, hour, minute, second.
constexpr FieldSpec kFields[] = {{4, 0, 9999, '-'}, {2, 1, 12, '-'}, {2, 1, 31, 'T'},
                                 {2, 0, 23, ':'},   {2, 0, 59, ':'}, {2, 0, 60, '\0'}};
constexpr size_t kFieldCount = std::size(kFields);
constexpr size_t kDayField = 2;
constexpr unsigned kLeapSecond = 60;
constexpr int kFractionDigits = 9;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

std::unexpected<std::string_view> fail(std::string_view text) { return std::unexpected(text); }

// The nanoseconds of an optional fraction starting at `i`, which moves past it.
std::expected<uint32_t, std::string_view> read_fraction(std::string_view text, size_t& i) {
    if (i == text.size() || text[i] != '.') return 0;
    ++i;
    if (i == text.size()) return fail(epoch_fault::kPrematureEnd);
    if (!is_digit(text[i])) return fail(epoch_fault::kInvalidCharacters);
    uint32_t nanos = 0;
    int digits = 0;
    for (; i < text.size() && is_digit(text[i]); ++i) {
        if (digits == kFractionDigits) continue;
        nanos = nanos * 10 + static_cast<uint32_t>(text[i] - '0');
        ++digits;
    }
    for (; digits < kFractionDigits; ++digits) nanos *= 10;
    return nanos;
}

}  // namespace

std::expected<time::Instant, std::string_view> parse_omm_epoch(std::string_view text) {
    unsigned values[kFieldCount] = {};
    size_t i = 0;
    for (size_t field = 0; field < kFieldCount; ++field) {
        const FieldSpec& spec = kFields[field];
        unsigned value = 0;
        for (size_t digit = 0; digit < spec.width; ++digit, ++i) {
            if (i == text.size()) return fail(epoch_fault::kPrematureEnd);
            if (!is_digit(text[i])) return fail(epoch_fault::kInvalidCharacters);
            value = value * 10 + static_cast<unsigned>(text[i] - '0');
        }
        if (value < spec.min || value > spec.max) return fail(epoch_fault::kOutOfRange);
        values[field] = value;
        if (spec.separator == '\0') break;
        if (i == text.size()) return fail(field == kDayField ? epoch_fault::kNotEnough : epoch_fault::kPrematureEnd);
        if (text[i] != spec.separator) return fail(epoch_fault::kInvalidCharacters);
        ++i;
    }
    auto nanos = read_fraction(text, i);
    if (!nanos) return std::unexpected(nanos.error());
    if (i != text.size()) return fail(epoch_fault::kTrailingInput);

    unsigned second = values[5];
    if (second == kLeapSecond) {
        second = 59;
        *nanos += static_cast<uint32_t>(time::kNanosPerSecond);
    }
    const auto instant =
        time::Instant::from_civil(values[0], values[1], values[2], values[3], values[4], second, *nanos);
    if (!instant) return fail(epoch_fault::kImpossible);
    return *instant;
}

}  // namespace orbweave::sgp4

#include "sgp4/text_numbers.hpp"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
#include <limits>
#include <optional>
#include <type_traits>

namespace orbweave::sgp4 {

namespace {

using Kind = NumberTextErrorKind;

std::unexpected<NumberTextError> fail(Kind kind) { return std::unexpected(NumberTextError{kind}); }

bool is_digit(char c) { return c >= '0' && c <= '9'; }

template <class T>
std::expected<T, NumberTextError> parse_integer(std::string_view text) {
    if (text.empty()) return fail(Kind::EmptyInteger);
    bool negative = false;
    if (text[0] == '+' || text[0] == '-') {
        if (text.size() == 1) return fail(Kind::InvalidDigit);
        if (text[0] == '+') {
            text.remove_prefix(1);
        } else if constexpr (std::is_signed_v<T>) {
            negative = true;
            text.remove_prefix(1);
        }
        // An unsigned type keeps the `-`, which then fails as a digit.
    }
    T value = 0;
    for (const char c : text) {
        if (!is_digit(c)) return fail(Kind::InvalidDigit);
        const T digit = static_cast<T>(c - '0');
        bool overflow = __builtin_mul_overflow(value, T{10}, &value);
        overflow = overflow || (negative ? __builtin_sub_overflow(value, digit, &value)
                                         : __builtin_add_overflow(value, digit, &value));
        if (overflow) return fail(negative ? Kind::NegOverflow : Kind::PosOverflow);
    }
    return value;
}

bool equals_ignoring_case(std::string_view text, std::string_view lower_word) {
    if (text.size() != lower_word.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
        if (c != lower_word[i]) return false;
    }
    return true;
}

// Eight ASCII digits at once, the first in the lowest byte (little-endian load).
bool is_eight_digits(uint64_t chunk) {
    return ((chunk & 0xF0F0F0F0F0F0F0F0) | (((chunk + 0x0606060606060606) & 0xF0F0F0F0F0F0F0F0) >> 4)) ==
           0x3333333333333333;
}

uint64_t eight_digits_value(uint64_t chunk) {
    constexpr uint64_t kMask = 0x000000FF000000FF;
    constexpr uint64_t kMul1 = 0x000F424000000064;  // 100 + (1000000 << 32)
    constexpr uint64_t kMul2 = 0x0000271000000001;  // 1 + (10000 << 32)
    chunk -= 0x3030303030303030;
    chunk = (chunk * 10) + (chunk >> 8);  // pairs of digits
    return (((chunk & kMask) * kMul1) + (((chunk >> 16) & kMask) * kMul2)) >> 32;
}

size_t decimal_length(uint64_t value) {
    size_t length = 0;
    for (; value != 0; value /= 10) ++length;
    return length;
}

// A literal digits[.digits][(e|E)[sign]digits], read in one pass that also gathers
// what the fast conversion and the range check need.
struct DecimalLiteral {
    uint64_t significand = 0;        // all mantissa digits; meaningful up to kMaxExactDigits
    size_t significant_digits = 0;   // digits from the first non-zero one on
    size_t integer_significant = 0;  // of which before the point
    size_t fraction_digits = 0;
    int64_t exponent = 0;            // saturated far beyond any double's range

    static constexpr size_t kMaxExactDigits = 15;  // below 2^53

    // Accumulates digits from `at`, returning where they stop. A significand that
    // wraps past 2^64 has more than kMaxExactDigits digits and is never used.
    const char* read_digits(const char* at, const char* end) {
        // Locals, not members: stores through `this` could alias the text and
        // would force a reload per digit.
        uint64_t value = significand;
        size_t significant = significant_digits;
        if constexpr (std::endian::native == std::endian::little) {
            uint64_t chunk = 0;
            while (end - at >= 8 && (std::memcpy(&chunk, at, 8), is_eight_digits(chunk))) {
                const uint64_t eight = eight_digits_value(chunk);
                value = value * 100'000'000 + eight;
                significant = significant > 0 ? significant + 8 : decimal_length(eight);
                at += 8;
            }
        }
        for (; at != end; ++at) {
            const unsigned digit = static_cast<unsigned>(static_cast<unsigned char>(*at)) - '0';
            if (digit > 9) break;
            value = value * 10 + digit;
            significant += significant > 0 || digit != 0;
        }
        significand = value;
        significant_digits = significant;
        return at;
    }

    // Decimal exponent of the leading significant digit; tells an overflow from an
    // underflow when the value leaves the double range.
    int64_t leading_digit_exponent() const {
        if (integer_significant > 0) return exponent + static_cast<int64_t>(integer_significant) - 1;
        const size_t leading_fraction_zeros = fraction_digits - significant_digits;
        return exponent - static_cast<int64_t>(leading_fraction_zeros) - 1;
    }

    // Clinger's fast path: when the significant digits fit in 53 bits and the power
    // of ten is itself exact in a double, one correctly rounded multiplication or
    // division gives the correctly rounded value.
    std::optional<double> exact_value() const {
        static constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                       1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                       1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
        constexpr int64_t kLargestExactPower = 22;
        const int64_t power = exponent - static_cast<int64_t>(fraction_digits);
        if (significant_digits > kMaxExactDigits || power < -kLargestExactPower || power > kLargestExactPower)
            return std::nullopt;
        const double value = static_cast<double>(significand);
        return power < 0 ? value / kExactPowersOfTen[-power] : value * kExactPowersOfTen[power];
    }
};

std::optional<DecimalLiteral> scan_decimal(std::string_view text) {
    DecimalLiteral literal;
    const char* at = text.data();
    const char* const end = at + text.size();
    const char* const integer_end = literal.read_digits(at, end);
    bool any_digit = integer_end != at;
    literal.integer_significant = literal.significant_digits;
    at = integer_end;
    if (at != end && *at == '.') {
        const char* const fraction_end = literal.read_digits(++at, end);
        literal.fraction_digits = static_cast<size_t>(fraction_end - at);
        any_digit = any_digit || fraction_end != at;
        at = fraction_end;
    }
    if (!any_digit) return std::nullopt;
    if (at == end) return literal;
    if (*at != 'e' && *at != 'E') return std::nullopt;
    ++at;
    const bool negative_exponent = at != end && *at == '-';
    if (at != end && (*at == '+' || *at == '-')) ++at;
    if (at == end) return std::nullopt;
    constexpr int64_t kSaturated = int64_t{1} << 40;
    for (; at != end; ++at) {
        if (!is_digit(*at)) return std::nullopt;
        literal.exponent = std::min(kSaturated, literal.exponent * 10 + (*at - '0'));
    }
    if (negative_exponent) literal.exponent = -literal.exponent;
    return literal;
}

}  // namespace

std::string_view NumberTextError::text() const {
    switch (kind) {
        case Kind::EmptyInteger: return "cannot parse integer from empty string";
        case Kind::InvalidDigit: return "invalid digit found in string";
        case Kind::PosOverflow: return "number too large to fit in target type";
        case Kind::NegOverflow: return "number too small to fit in target type";
        case Kind::EmptyFloat: return "cannot parse float from empty string";
        case Kind::InvalidFloat: return "invalid float literal";
    }
    return "invalid float literal";
}

std::expected<uint64_t, NumberTextError> parse_u64(std::string_view text) { return parse_integer<uint64_t>(text); }
std::expected<uint8_t, NumberTextError> parse_u8(std::string_view text) { return parse_integer<uint8_t>(text); }
std::expected<int8_t, NumberTextError> parse_i8(std::string_view text) { return parse_integer<int8_t>(text); }

std::expected<double, NumberTextError> parse_f64(std::string_view text) {
    if (text.empty()) return fail(Kind::EmptyFloat);
    const bool negative = text[0] == '-';
    if (text[0] == '+' || text[0] == '-') text.remove_prefix(1);
    const auto sign = [negative](double magnitude) { return negative ? -magnitude : magnitude; };

    if (!text.empty() && !is_digit(text[0]) && text[0] != '.') {
        if (equals_ignoring_case(text, "inf") || equals_ignoring_case(text, "infinity"))
            return sign(std::numeric_limits<double>::infinity());
        if (equals_ignoring_case(text, "nan")) return sign(std::numeric_limits<double>::quiet_NaN());
        return fail(Kind::InvalidFloat);
    }

    const auto literal = scan_decimal(text);
    if (!literal) return fail(Kind::InvalidFloat);
    if (literal->significant_digits == 0) return sign(0.0);
    if (const auto exact = literal->exact_value()) return sign(*exact);

    double magnitude = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude);
    if (error == std::errc::result_out_of_range)
        magnitude = literal->leading_digit_exponent() > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    else if (error != std::errc{} || end != text.data() + text.size())
        return fail(Kind::InvalidFloat);  // unreachable once the shape is checked
    return sign(magnitude);
}

}  // namespace orbweave::sgp4

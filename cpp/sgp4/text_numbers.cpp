#include "sgp4/text_numbers.hpp"

#include <algorithm>
#include <charconv>
#include <limits>
#include <optional>
#include <type_traits>

namespace orbweave::sgp4 {

namespace {

using Kind = NumberTextErrorKind;

std::unexpected<NumberTextError> fail(Kind kind) { return std::unexpected(NumberTextError{kind}); }

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Decimal significands up to 15 digits are exact in a double (below 2^53), and so
// are the powers of ten up to 10^22: one correctly rounded multiplication or
// division of the two gives the correctly rounded value (Clinger's fast path).
constexpr size_t kMaxExactDigits = 15;
constexpr int64_t kLargestExactPower = 22;
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                        1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

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
    if (text.size() <= static_cast<size_t>(std::numeric_limits<T>::digits10)) {
        // Too few digits to leave the type's range: no overflow checks needed.
        for (const char c : text) {
            if (!is_digit(c)) return fail(Kind::InvalidDigit);
            const T digit = static_cast<T>(c - '0');
            value = static_cast<T>(negative ? value * T{10} - digit : value * T{10} + digit);
        }
        return value;
    }
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

size_t count_leading_zeros(std::string_view digits) {
    size_t zeros = 0;
    while (zeros < digits.size() && digits[zeros] == '0') ++zeros;
    return zeros;
}

// A literal digits[.digits][(e|E)[sign]digits], read in one pass that also
// accumulates the mantissa digits for the fast conversion.
struct DecimalLiteral {
    std::string_view integer_digits;
    std::string_view fraction_digits;
    uint64_t significand = 0;  // all mantissa digits; wraps when there are too many to use
    int64_t exponent = 0;      // saturated far beyond any double's range

    // Digits from the first non-zero one on, and the decimal exponent of that digit
    // (which tells an overflow from an underflow when the value leaves the double
    // range). No significant digits means the value is zero.
    struct Significance {
        size_t digits = 0;
        int64_t leading_exponent = 0;
    };

    Significance significance() const {
        const size_t integer_zeros = count_leading_zeros(integer_digits);
        if (integer_zeros < integer_digits.size()) {
            const size_t integer_significant = integer_digits.size() - integer_zeros;
            return {integer_significant + fraction_digits.size(),
                    exponent + static_cast<int64_t>(integer_significant) - 1};
        }
        const size_t fraction_zeros = count_leading_zeros(fraction_digits);
        if (fraction_zeros == fraction_digits.size()) return {};
        return {fraction_digits.size() - fraction_zeros, exponent - static_cast<int64_t>(fraction_zeros) - 1};
    }

    // Clinger's fast path, for literals with an exponent or leading zeros.
    std::optional<double> exact_value(size_t significant_digits) const {
        const int64_t power = exponent - static_cast<int64_t>(fraction_digits.size());
        if (significant_digits > kMaxExactDigits || power < -kLargestExactPower || power > kLargestExactPower)
            return std::nullopt;
        const double value = static_cast<double>(significand);
        return power < 0 ? value / kExactPowersOfTen[-power] : value * kExactPowersOfTen[power];
    }
};

// Reads decimal digits from `at`, accumulating them into `value` (which may wrap;
// leading zeros add nothing), and returns where they stop.
const char* accumulate_digits(const char* at, const char* end, uint64_t& value) {
    uint64_t accumulated = value;  // a local: stores through the reference could alias the text
    for (; at != end; ++at) {
        const unsigned digit = static_cast<unsigned>(static_cast<unsigned char>(*at)) - '0';
        if (digit > 9) break;
        accumulated = accumulated * 10 + digit;
    }
    value = accumulated;
    return at;
}

// The common plain form, an optional sign and digits with at most one point and no
// exponent, holding at most 15 significant digits and 22 decimals: converted exactly
// in one loop. Anything else, faults included, returns nullopt and takes the general
// path, which is kept out of line so that this one stays small.
std::optional<double> plain_short_decimal(std::string_view text) {
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) text.remove_prefix(1);
    uint64_t significand = 0;
    const char* point = nullptr;
    const char* const end = text.data() + text.size();
    for (const char* at = text.data(); at != end; ++at) {
        const unsigned digit = static_cast<unsigned>(static_cast<unsigned char>(*at)) - '0';
        if (digit <= 9) {
            significand = significand * 10 + digit;
        } else if (*at == '.' && point == nullptr) {
            point = at;
        } else {
            return std::nullopt;
        }
    }
    // Every character is a digit except at most one point.
    const size_t digits = text.size() - (point != nullptr);
    const size_t fraction_digits = point != nullptr ? static_cast<size_t>(end - point - 1) : 0;
    if (digits == 0 || fraction_digits > static_cast<size_t>(kLargestExactPower)) return std::nullopt;
    if (digits > kMaxExactDigits) {
        // Only significant digits count; the significand may have wrapped otherwise.
        size_t leading_zeros = 0;
        for (const char c : text) {
            if (c != '0' && c != '.') break;
            leading_zeros += c == '0';
        }
        if (digits - leading_zeros > kMaxExactDigits) return std::nullopt;
    }
    const double magnitude = static_cast<double>(significand) / kExactPowersOfTen[fraction_digits];
    return negative ? -magnitude : magnitude;
}

std::optional<DecimalLiteral> scan_decimal(std::string_view text) {
    DecimalLiteral literal;
    const char* at = text.data();
    const char* const end = at + text.size();
    const char* const integer_end = accumulate_digits(at, end, literal.significand);
    literal.integer_digits = std::string_view(at, integer_end);
    at = integer_end;
    if (at != end && *at == '.') {
        const char* const fraction_end = accumulate_digits(++at, end, literal.significand);
        literal.fraction_digits = std::string_view(at, fraction_end);
        at = fraction_end;
    }
    if (literal.integer_digits.empty() && literal.fraction_digits.empty()) return std::nullopt;
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

// Everything but the plain short form: words, exponents, long literals, faults.
[[gnu::noinline]] std::expected<double, NumberTextError> parse_f64_general(std::string_view text) {
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
    const auto significance = literal->significance();
    if (significance.digits == 0) return sign(0.0);
    if (const auto exact = literal->exact_value(significance.digits)) return sign(*exact);

    double magnitude = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude);
    if (error == std::errc::result_out_of_range)
        magnitude = significance.leading_exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    else if (error != std::errc{} || end != text.data() + text.size())
        return fail(Kind::InvalidFloat);  // unreachable once the shape is checked
    return sign(magnitude);
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
    if (const auto plain = plain_short_decimal(text)) return *plain;
    return parse_f64_general(text);
}

}  // namespace orbweave::sgp4

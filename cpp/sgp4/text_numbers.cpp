#include "sgp4/text_numbers.hpp"

#include <algorithm>
#include <charconv>
#include <limits>
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

// Where a decimal literal's digits and exponent are, once its shape is known valid.
struct DecimalShape {
    std::string_view integer_digits;
    std::string_view fraction_digits;
    int64_t exponent = 0;  // saturated far beyond any double's range
};

size_t count_digits(std::string_view text, size_t from) {
    size_t i = from;
    while (i < text.size() && is_digit(text[i])) ++i;
    return i - from;
}

// Checks digits[.digits][(e|E)[sign]digits] with at least one mantissa digit.
bool read_decimal_shape(std::string_view text, DecimalShape& shape) {
    size_t i = 0;
    const size_t integer_count = count_digits(text, i);
    shape.integer_digits = text.substr(i, integer_count);
    i += integer_count;
    if (i < text.size() && text[i] == '.') {
        ++i;
        const size_t fraction_count = count_digits(text, i);
        shape.fraction_digits = text.substr(i, fraction_count);
        i += fraction_count;
    }
    if (shape.integer_digits.empty() && shape.fraction_digits.empty()) return false;
    if (i == text.size()) return true;
    if (text[i] != 'e' && text[i] != 'E') return false;
    ++i;
    bool negative_exponent = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative_exponent = text[i++] == '-';
    const size_t exponent_count = count_digits(text, i);
    if (exponent_count == 0 || i + exponent_count != text.size()) return false;
    constexpr int64_t kSaturated = int64_t{1} << 40;
    for (const char c : text.substr(i)) shape.exponent = std::min(kSaturated, shape.exponent * 10 + (c - '0'));
    if (negative_exponent) shape.exponent = -shape.exponent;
    return true;
}

// Decimal exponent of the literal's leading non-zero digit; used only to tell an
// overflow from an underflow when the value leaves the double range.
int64_t leading_digit_exponent(const DecimalShape& shape) {
    const size_t first_integer = shape.integer_digits.find_first_not_of('0');
    if (first_integer != std::string_view::npos)
        return shape.exponent + static_cast<int64_t>(shape.integer_digits.size() - first_integer) - 1;
    const size_t first_fraction = shape.fraction_digits.find_first_not_of('0');
    return shape.exponent - static_cast<int64_t>(first_fraction) - 1;
}

bool all_zero(const DecimalShape& shape) {
    return shape.integer_digits.find_first_not_of('0') == std::string_view::npos &&
           shape.fraction_digits.find_first_not_of('0') == std::string_view::npos;
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

    if (equals_ignoring_case(text, "inf") || equals_ignoring_case(text, "infinity"))
        return sign(std::numeric_limits<double>::infinity());
    if (equals_ignoring_case(text, "nan")) return sign(std::numeric_limits<double>::quiet_NaN());

    DecimalShape shape;
    if (!read_decimal_shape(text, shape)) return fail(Kind::InvalidFloat);
    if (all_zero(shape)) return sign(0.0);

    double magnitude = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude);
    if (error == std::errc::result_out_of_range)
        magnitude = leading_digit_exponent(shape) > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    else if (error != std::errc{} || end != text.data() + text.size())
        return fail(Kind::InvalidFloat);  // unreachable once the shape is checked
    return sign(magnitude);
}

}  // namespace orbweave::sgp4

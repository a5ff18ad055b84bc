#pragma once
// Numbers read from text fields (TLE columns, OMM string values), with one grammar
// and one set of error texts for every reader.
//
// Integers: an optional `+` (and `-` for signed types) followed by decimal digits,
// nothing else: no blanks, no point. Digits are read left to right; the first
// character that is not a digit gives InvalidDigit, unless the value already left
// the type's range at an earlier digit, which gives PosOverflow / NegOverflow.
//
// Floats: optional sign, then either decimal digits with an optional point (at
// least one digit on either side of it) and an optional exponent (`e` or `E`,
// optional sign, at least one digit), or one of the words `inf`, `infinity`, `nan`
// in any letter case. The value is the correctly rounded double; magnitudes beyond
// the double range give infinity, those below the smallest subnormal give zero.
#include <cstdint>
#include <expected>
#include <string_view>

namespace orbweave::sgp4 {

enum class NumberTextErrorKind : uint8_t {
    EmptyInteger,  // "cannot parse integer from empty string"
    InvalidDigit,  // "invalid digit found in string"
    PosOverflow,   // "number too large to fit in target type"
    NegOverflow,   // "number too small to fit in target type"
    EmptyFloat,    // "cannot parse float from empty string"
    InvalidFloat,  // "invalid float literal"
};

struct NumberTextError {
    NumberTextErrorKind kind;
    std::string_view text() const;
    friend bool operator==(const NumberTextError&, const NumberTextError&) = default;
};

std::expected<uint64_t, NumberTextError> parse_u64(std::string_view text);
std::expected<uint8_t, NumberTextError> parse_u8(std::string_view text);
std::expected<int8_t, NumberTextError> parse_i8(std::string_view text);
std::expected<double, NumberTextError> parse_f64(std::string_view text);

}  // namespace orbweave::sgp4

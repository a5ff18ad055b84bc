#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "sgp4/text_numbers.hpp"

using namespace orbweave::sgp4;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// The error text of a failed parse, or "ok" for a success.
template <class T>
std::string outcome(const std::expected<T, NumberTextError>& result) {
    return result ? "ok" : std::string(result.error().text());
}

struct IntegerCase {
    std::string_view text;
    std::string expected;  // decimal value, or the error text
};

template <class T>
std::string integer_outcome(const std::expected<T, NumberTextError>& result) {
    return result ? std::to_string(static_cast<int64_t>(*result)) : outcome(result);
}

}  // namespace

TEST(TextNumbers, UnsignedIntegers) {
    const IntegerCase cases[] = {
        {"0", "0"},
        {"+42", "42"},
        {"0000000000000000000000000007", "7"},
        {"18446744073709551615", "-1"},  // u64 max, shown through int64
        {"", "cannot parse integer from empty string"},
        {"+", "invalid digit found in string"},
        {"-", "invalid digit found in string"},
        {" 1", "invalid digit found in string"},
        {"1.0", "invalid digit found in string"},
        {"18446744073709551616", "number too large to fit in target type"},
        // Overflow at an earlier digit wins over a later bad character.
        {"99999999999999999999x", "number too large to fit in target type"},
        {"1x99999999999999999999", "invalid digit found in string"},
    };
    for (const auto& c : cases) EXPECT_EQ(integer_outcome(parse_u64(c.text)), c.expected) << c.text;
}

TEST(TextNumbers, NarrowIntegers) {
    EXPECT_EQ(integer_outcome(parse_u8("255")), "255");
    EXPECT_EQ(integer_outcome(parse_u8("256")), "number too large to fit in target type");
    EXPECT_EQ(integer_outcome(parse_u8("+0255")), "255");
    const IntegerCase signed_cases[] = {
        {"-0", "0"}, {"+0", "0"},   {"00", "0"},    {"-9", "-9"},  {"127", "127"}, {"-128", "-128"},
        {"128", "number too large to fit in target type"},
        {"-129", "number too small to fit in target type"},
        {"-", "invalid digit found in string"},
        {" 5", "invalid digit found in string"},
        {"--5", "invalid digit found in string"},
        {"", "cannot parse integer from empty string"},
    };
    for (const auto& c : signed_cases) EXPECT_EQ(integer_outcome(parse_i8(c.text)), c.expected) << c.text;
}

TEST(TextNumbers, FloatsThatParse) {
    // Shapes and ranges; ordinary literals are checked against the C library below.
    const std::pair<std::string_view, double> cases[] = {
        {"1.", 1.0},          {".5", 0.5},          {"+1.5", 1.5},       {"1.E-3", 0.001},
        {"1e400", kInf},      {"-1e400", -kInf},    {"1e-400", 0.0},     {"4.9e-324", 4.9e-324},
        {"1e99999999999999999999999", kInf},        {"0e99999999999999999", 0.0},
        {"0.000000000000000000000000000000000000000000000001e400", kInf},
        {"100000000000000000000000000000000000000000e-400", 0.0},
        {"inf", kInf},        {"-Infinity", -kInf}, {"+INF", kInf},
    };
    for (const auto& [text, value] : cases) {
        const auto parsed = parse_f64(text);
        ASSERT_TRUE(parsed.has_value()) << text;
        EXPECT_EQ(*parsed, value) << text;
    }
    EXPECT_TRUE(std::isnan(*parse_f64("NaN")));
    EXPECT_TRUE(std::signbit(*parse_f64("-0.0")));
}

TEST(TextNumbers, FloatsThatFail) {
    EXPECT_EQ(outcome(parse_f64("")), "cannot parse float from empty string");
    for (std::string_view text : {"+", "-", ".", "-.", "e5", ".e5", "1e", "1e+", "1.5.", "1 ", " 1", "0x10",
                                  "infinit", "nan(1)", "in", "1,5", "--1", "+-1", "1e5.0", "1d5"})
        EXPECT_EQ(outcome(parse_f64(text)), "invalid float literal") << text;
}

// Random literals of every shape the fast paths distinguish (leading zeros, up to
// 25 digits on either side of the point, small exponents) read exactly as the C
// library reads them.
TEST(TextNumbers, FloatsMatchTheCLibraryOnRandomLiterals) {
    std::mt19937 random(7);
    const auto digits = [&](int count) {
        std::string text;
        for (int i = 0; i < count; ++i) text += static_cast<char>('0' + random() % 10);
        if (count > 1 && random() % 3 == 0) text[0] = '0';
        return text;
    };
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        if (random() % 3 == 0) text += random() % 2 ? '-' : '+';
        const std::string integer = digits(static_cast<int>(random() % 26));
        const std::string fraction = digits(static_cast<int>(random() % 26));
        if (integer.empty() && fraction.empty()) continue;
        text += integer;
        if (!fraction.empty() || random() % 2) text += '.' + fraction;
        if (random() % 4 == 0) text += "e" + std::to_string(static_cast<int>(random() % 61) - 30);
        const auto parsed = parse_f64(text);
        ASSERT_TRUE(parsed.has_value()) << text;
        const double expected = std::strtod(text.c_str(), nullptr);
        EXPECT_EQ(std::memcmp(&*parsed, &expected, sizeof expected), 0) << text << " " << *parsed << " " << expected;
    }
}

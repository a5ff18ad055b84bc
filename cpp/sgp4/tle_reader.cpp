#include "sgp4/tle_reader.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <optional>
#include <type_traits>

#include "sgp4/text_numbers.hpp"

namespace orbweave::sgp4 {

namespace {

using Kind = TleErrorKind;

constexpr size_t kLineLength = 69;
constexpr size_t kChecksumPosition = 68;
constexpr std::array<size_t, 8> kLine1Spaces = {1, 8, 17, 32, 43, 52, 61, 63};
constexpr std::array<size_t, 7> kLine2Spaces = {1, 7, 16, 25, 33, 42, 51};
constexpr size_t kMaxAssumedPointText = 16;
constexpr uint64_t kNanosPerSecond = time::kNanosPerSecond;
constexpr uint64_t kSecondsPerDay = time::kSecondsPerDay;

bool is_ascii_whitespace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }

std::string_view trim_leading_whitespace(std::string_view text) {
    while (!text.empty() && is_ascii_whitespace(text.front())) text.remove_prefix(1);
    return text;
}

// ---- UTF-8 ------------------------------------------------------------------

struct CodePoint {
    char32_t value;
    size_t length;  // 0 when the bytes are not valid UTF-8
};

// Decodes the code point starting at `text[at]`, refusing overlong forms,
// surrogates and values beyond U+10FFFF.
CodePoint decode_utf8(std::string_view text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return {lead, 1};
    size_t length = 0;
    char32_t value = 0;
    char32_t smallest = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1F, smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0F, smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07, smallest = 0x10000;
    } else {
        return {0, 0};
    }
    if (at + length > text.size()) return {0, 0};
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return {0, 0};
        value = (value << 6) | (byte(at + i) & 0x3F);
    }
    if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return {0, 0};
    return {value, length};
}

bool is_ascii(char c) { return static_cast<unsigned char>(c) < 0x80; }

bool is_valid_utf8(std::string_view text) {
    for (size_t at = 0; at < text.size();) {
        const size_t length = is_ascii(text[at]) ? 1 : decode_utf8(text, at).length;
        if (length == 0) return false;
        at += length;
    }
    return true;
}

// Characters with the Unicode White_Space property.
bool is_unicode_whitespace(char32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
           c == 0x3000;
}

// Trims Unicode whitespace at both ends of text already known to be valid UTF-8.
std::string_view trim_unicode_whitespace(std::string_view text) {
    const auto whitespace_at = [&text](size_t at) {
        return is_ascii(text[at]) ? is_unicode_whitespace(static_cast<char32_t>(text[at]))
                                  : is_unicode_whitespace(decode_utf8(text, at).value);
    };
    while (!text.empty() && whitespace_at(0)) text.remove_prefix(is_ascii(text[0]) ? 1 : decode_utf8(text, 0).length);
    while (!text.empty()) {
        size_t last = text.size() - 1;
        while (last > 0 && (static_cast<unsigned char>(text[last]) & 0xC0) == 0x80) --last;
        if (!whitespace_at(last)) break;
        text.remove_suffix(text.size() - last);
    }
    return text;
}

// ---- numeric helpers --------------------------------------------------------

// Float to unsigned 32-bit as a saturating cast: NaN and negatives give 0.
uint32_t saturate_to_u32(double value) {
    if (!(value > 0.0)) return 0;
    if (value >= 4294967295.0) return 4294967295U;
    return static_cast<uint32_t>(value);
}

// Digits weigh their value, '-' weighs 1, everything else nothing.
unsigned checksum_weight(char c) {
    const unsigned digit = static_cast<unsigned>(static_cast<unsigned char>(c)) - '0';
    return digit <= 9 ? digit : static_cast<unsigned>(c == '-');
}

// The weights of the checksummed columns, summed sixteen bytes at a time in byte
// lanes (four weights of at most 9 per lane cannot overflow), then the rest.
unsigned checksum_sum(std::string_view text) {
    using Bytes = uint8_t __attribute__((vector_size(16)));
    constexpr size_t kLanes = sizeof(Bytes);
    constexpr size_t kBlocks = 4;
    size_t at = 0;
    unsigned sum = 0;
    if (text.size() >= kBlocks * kLanes) {
        Bytes lanes{};
        for (; at < kBlocks * kLanes; at += kLanes) {
            Bytes block;
            std::memcpy(&block, text.data() + at, kLanes);
            const Bytes digit = block - '0';
            const auto is_digit = reinterpret_cast<Bytes>(digit <= 9);  // all ones or zero
            const auto is_minus = reinterpret_cast<Bytes>(block == '-');
            lanes += (digit & is_digit) | (is_minus & 1);
        }
        for (size_t lane = 0; lane < kLanes; ++lane) sum += lanes[lane];
    }
    for (; at < text.size(); ++at) sum += checksum_weight(text[at]);
    return sum;
}

// Nearest integer to a value in [0, 2^53), halves rounded up.
uint64_t round_half_away_from_zero(double non_negative) {
    const auto whole = static_cast<int64_t>(non_negative);  // signed: the cheaper conversion
    return static_cast<uint64_t>(non_negative - static_cast<double>(whole) >= 0.5 ? whole + 1 : whole);
}

// 10^exponent for every signed 8-bit exponent, from the C library's pow once.
double power_of_ten(int8_t exponent) {
    constexpr int kOffset = 128;
    static const std::array<double, 256> table = [] {
        std::array<double, 256> powers{};
        for (int e = -kOffset; e < kOffset; ++e) powers[static_cast<size_t>(e + kOffset)] = std::pow(10.0, e);
        return powers;
    }();
    return table[static_cast<size_t>(exponent + kOffset)];
}

// Two-digit years: below 57 are 2000s, the rest 1900s.
int64_t year_from_two_digits(uint8_t two_digits) {
    return two_digits < 57 ? 2000 + int64_t{two_digits} : 1900 + int64_t{two_digits};
}

// Value of the first character of a five-character Alpha-5 number: a digit, or an
// upper-case letter other than I and O standing for 10 to 33.
std::optional<uint64_t> alpha5_leading_value(char c) {
    if (c >= '0' && c <= '9') return static_cast<uint64_t>(c - '0');
    if (c < 'A' || c > 'Z' || c == 'I' || c == 'O') return std::nullopt;
    uint64_t value = static_cast<uint64_t>(c - 'A') + 10;
    if (c > 'I') --value;
    if (c > 'O') --value;
    return value;
}

// ---- the reader -------------------------------------------------------------

struct InternationalDesignator {
    int64_t year = 0;  // 0 when the designator is absent
    std::string_view piece;

    // "1998-067A"; the year always has four digits (1957 to 2056).
    void write_to(std::optional<std::string>& target) const {
        if (year == 0) return;
        std::string& designator = target.emplace(5 + piece.size(), '-');
        const auto within_century = static_cast<int>(year % 100);
        designator[0] = year < 2000 ? '1' : '2';
        designator[1] = year < 2000 ? '9' : '0';
        designator[2] = static_cast<char>('0' + within_century / 10);
        designator[3] = static_cast<char>('0' + within_century % 10);
        piece.copy(designator.data() + 5, piece.size());
    }
};

struct Line {
    std::string_view text;
    TleErrorLine which;

    // Unchecked: fields are read only after the line's length has been checked.
    std::string_view field(size_t start, size_t end) const { return {text.data() + start, end - start}; }
};

// Reads fields in order and keeps the first fault. Once a fault is recorded every
// later read returns a default value without looking at the text, so the caller
// can read the whole record straight through and check once at the end, and no
// read happens on lines whose layout was refused.
class FieldReader {
public:
    const std::optional<TleError>& fault() const { return fault_; }

    void check_length(const Line& line) {
        if (ok() && line.text.size() != kLineLength) fail(Kind::BadLength, line.which, 0, line.text.size());
    }

    void check_first_character(const Line& line, char expected) {
        if (ok() && line.text[0] != expected) fail(Kind::BadFirstCharacter, line.which, 0, 1);
    }

    template <size_t N>
    void check_spaces(const Line& line, const std::array<size_t, N>& positions) {
        for (const size_t at : positions)
            if (ok() && line.text[at] != ' ') fail(Kind::ExpectedSpace, line.which, at, at + 1);
    }

    void check_checksum(const Line& line) {
        if (!ok()) return;
        const unsigned sum = checksum_sum(line.text.substr(0, kChecksumPosition));
        if (line.text[kChecksumPosition] != static_cast<char>('0' + sum % 10))
            fail(Kind::BadChecksum, line.which, kChecksumPosition, kChecksumPosition + 1);
    }

    uint64_t catalogue_number(const Line& line) {
        constexpr size_t start = 2, end = 7;
        if (!ok()) return 0;
        const std::string_view digits = trim_leading_whitespace(line.field(start, end));
        std::optional<uint64_t> number;
        if (digits.size() < 5) {
            if (const auto parsed = parse_u64(digits)) number = *parsed;
        } else if (const auto leading = alpha5_leading_value(digits[0])) {
            if (const auto rest = parse_u64(digits.substr(1))) number = *leading * 10000 + *rest;
        }
        if (!number) fail(Kind::ExpectedAlpha5, line.which, start, end);
        return number.value_or(0);
    }

    void check_same_catalogue_number(uint64_t line1_number, uint64_t line2_number) {
        if (ok() && line1_number != line2_number) fail(Kind::NoradIdMismatch, TleErrorLine::Both, 2, 7);
    }

    Classification classification(const Line& line) {
        constexpr size_t at = 7;
        if (!ok()) return Classification::Unclassified;
        switch (line.text[at]) {
            case 'U': return Classification::Unclassified;
            case 'C': return Classification::Classified;
            case 'S': return Classification::Secret;
            default: fail(Kind::UnknownClassification, line.which, at, at + 1); return Classification::Unclassified;
        }
    }

    // Launch year (two digits, pivoted), launch number and piece: "98067A  " becomes
    // "1998-067A"; blank columns mean no designator.
    InternationalDesignator international_designator(const Line& line) {
        constexpr size_t start = 9, year_end = 11, end = 17;
        if (!ok() || trim_leading_whitespace(line.field(start, end)).empty()) return {};
        const auto two_digit_year = two_digit_field(line, start, Kind::ExpectedInteger);
        const std::string_view piece = line.field(year_end, end);
        if (ok() && !is_valid_utf8(piece)) fail(Kind::ExpectedString, line.which, year_end, end);
        if (!ok()) return {};
        return {year_from_two_digits(two_digit_year), trim_unicode_whitespace(piece)};
    }

    // Two-digit year and day of year with its fraction; the fraction of the day
    // becomes whole seconds and nanoseconds rounded half away from zero.
    time::Instant epoch(const Line& line) {
        constexpr size_t year_start = 18, day_start = 20, day_end = 32;
        const double day = float_field(line, day_start, day_end);
        const auto two_digit_year = two_digit_field(line, year_start, Kind::ExpectedFloat);
        if (!ok()) return time::Instant::unix_epoch();

        const int64_t year = year_from_two_digits(two_digit_year);
        const uint32_t ordinal = saturate_to_u32(day);  // the cast truncates toward zero
        if (ordinal < 1 || ordinal > (time::is_leap_year(year) ? 366U : 365U)) {
            fail(Kind::FromYoOptFailed, line.which, year_start, day_start);
            return time::Instant::unix_epoch();
        }

        // With a valid ordinal the day lies in [1, 367), so its fraction, the seconds
        // in [0, 86400) and their fraction are all exact differences.
        const double seconds = (day - ordinal) * 86400.0;
        uint64_t second_of_day = static_cast<uint32_t>(seconds);
        uint64_t nanosecond = round_half_away_from_zero((seconds - static_cast<double>(second_of_day)) * 1e9);
        if (nanosecond >= kNanosPerSecond) {
            second_of_day += 1;
            nanosecond -= kNanosPerSecond;
        }
        if (second_of_day >= kSecondsPerDay) {
            fail(Kind::FromNumSecondsFromMidnightFailed, line.which, day_start, day_end);
            return time::Instant::unix_epoch();
        }
        const int64_t days = time::days_from_civil(year, 1, 1) + ordinal - 1;
        return time::Instant::from_day_parts(days, static_cast<uint32_t>(second_of_day),
                                             static_cast<uint32_t>(nanosecond));
    }

    // Leading whitespace dropped, the rest must be a float.
    double float_field(const Line& line, size_t start, size_t end) {
        if (!ok()) return 0.0;
        const auto value = parse_f64(trim_leading_whitespace(line.field(start, end)));
        if (!value) fail(Kind::ExpectedFloat, line.which, start, end);
        return value.value_or(0.0);
    }

    // Leading whitespace dropped, the rest must be an unsigned number.
    template <class T>
    T unsigned_field(const Line& line, size_t start, size_t end) {
        if (!ok()) return 0;
        return unsigned_number<T>(line, trim_leading_whitespace(line.field(start, end)), start, end,
                                  Kind::ExpectedInteger);
    }

    // Exactly two characters, not trimmed, read as an unsigned number.
    uint8_t two_digit_field(const Line& line, size_t start, Kind kind) {
        if (!ok()) return 0;
        return unsigned_number<uint8_t>(line, line.field(start, start + 2), start, start + 2, kind);
    }

    // Digits with an implied leading decimal point and an optional sign:
    // "12345" is 0.12345, "-12345" is -0.12345.
    double assumed_point_field(const Line& line, size_t start, size_t end) {
        if (!ok()) return 0.0;
        const std::string_view digits = trim_leading_whitespace(line.field(start, end));
        if (digits.empty()) {
            fail(Kind::ExpectedFloatWithAssumedDecimalPoint, line.which, start, end);
            return 0.0;
        }
        const bool has_sign = digits[0] == '-' || digits[0] == '+';
        const std::string_view unsigned_digits = has_sign ? digits.substr(1) : digits;
        const std::string_view prefix = digits[0] == '-' ? "-." : ".";
        if (prefix.size() + unsigned_digits.size() > kMaxAssumedPointText) {
            fail(Kind::FloatWithAssumedDecimalPointTooLong, line.which, start, end);
            return 0.0;
        }
        std::array<char, kMaxAssumedPointText> text{};
        const auto text_end = std::copy(unsigned_digits.begin(), unsigned_digits.end(),
                                        std::copy(prefix.begin(), prefix.end(), text.begin()));
        const auto value = parse_f64(std::string_view(text.begin(), text_end));
        if (!value) fail(Kind::ExpectedFloatWithAssumedDecimalPoint, line.which, start, end);
        return value.value_or(0.0);
    }

    // Mantissa with an assumed point followed by a two-character power of ten
    // (sign and digit, or two digits): " 49645-4" is 0.49645e-4.
    double exponential_field(const Line& line, size_t start, size_t exponent_start, size_t end) {
        const double mantissa = assumed_point_field(line, start, exponent_start);
        if (!ok()) return 0.0;
        const auto exponent = parse_i8(line.field(exponent_start, end));
        if (!exponent) {
            fail(Kind::ExpectedFloat, line.which, exponent_start, end);
            return 0.0;
        }
        return mantissa * power_of_ten(*exponent);
    }

private:
    template <class T>
    T unsigned_number(const Line& line, std::string_view text, size_t start, size_t end, Kind kind) {
        std::expected<T, NumberTextError> value;
        if constexpr (std::is_same_v<T, uint8_t>) {
            value = parse_u8(text);
        } else {
            value = parse_u64(text);
        }
        if (!value) fail(kind, line.which, start, end);
        return value.value_or(0);
    }

    bool ok() const { return !fault_.has_value(); }
    void fail(Kind what, TleErrorLine line, size_t start, size_t end) { fault_ = TleError{what, line, start, end}; }

    std::optional<TleError> fault_;
};

}  // namespace

std::string_view tle_error_kind_text(TleErrorKind kind) {
    switch (kind) {
        case Kind::BadChecksum: return "Bad line checksum";
        case Kind::BadLength: return "Bad line length";
        case Kind::BadFirstCharacter: return "Bad first character";
        case Kind::ExpectedFloat: return "Parsing a float field failed";
        case Kind::ExpectedFloatWithAssumedDecimalPoint:
            return "Parsing a float field failed (special TLE float representation with assumed decimal point)";
        case Kind::ExpectedInteger: return "Parsing an integer field failed";
        case Kind::ExpectedAlpha5: return "Parsing an Alpha-5 field failed";
        case Kind::ExpectedSpace: return "Found a non-space character between fields";
        case Kind::ExpectedString: return "Parsing a string field failed";
        case Kind::FloatWithAssumedDecimalPointTooLong:
            return "Tried to parse a float (special TLE float representation with assumed decimal point) with "
                   "more than 16 ASCII characters";
        case Kind::NoradIdMismatch: return "NORAD mismatch between TLE lines";
        case Kind::UnknownClassification: return "Unknown classification code";
        case Kind::FromYoOptFailed: return "Date generation failed due to an error in the year";
        case Kind::FromNumSecondsFromMidnightFailed:
            return "Date generation failed due to an error in the seconds from midnight";
    }
    return "";
}

std::string_view tle_error_line_text(TleErrorLine line) {
    switch (line) {
        case TleErrorLine::Line1: return "on TLE line 1";
        case TleErrorLine::Line2: return "on TLE line 2";
        case TleErrorLine::Both: return "(TLE lines mismatch)";
    }
    return "";
}

std::string TleError::text() const {
    std::string message = "TLE parse error: ";
    message += tle_error_kind_text(what);
    message += ' ';
    message += tle_error_line_text(line);
    message += " between characters ";
    message += std::to_string(start);
    message += " and ";
    message += std::to_string(end);
    return message;
}

std::expected<ElementRecord, TleError> read_tle(std::string_view name, std::string_view line1,
                                                std::string_view line2) {
    const Line first{line1, TleErrorLine::Line1};
    const Line second{line2, TleErrorLine::Line2};
    FieldReader read;

    read.check_length(first);
    read.check_length(second);
    read.check_first_character(first, '1');
    read.check_first_character(second, '2');
    read.check_spaces(first, kLine1Spaces);
    read.check_spaces(second, kLine2Spaces);
    const uint64_t norad_id = read.catalogue_number(first);
    read.check_same_catalogue_number(norad_id, read.catalogue_number(second));
    read.check_checksum(first);
    read.check_checksum(second);

    const Classification classification = read.classification(first);
    const InternationalDesignator international_designator = read.international_designator(first);
    const time::Instant epoch = read.epoch(first);
    const double mean_motion_dot = read.float_field(first, 33, 43);
    const double mean_motion_ddot = read.exponential_field(first, 44, 50, 52);
    const double drag_term = read.exponential_field(first, 53, 59, 61);
    const uint8_t ephemeris_type = read.unsigned_field<uint8_t>(first, 62, 63);
    const uint64_t element_set_number = read.unsigned_field<uint64_t>(first, 64, 68);
    const double inclination = read.float_field(second, 8, 16);
    const double right_ascension = read.float_field(second, 17, 25);
    const double eccentricity = read.assumed_point_field(second, 26, 33);
    const double argument_of_perigee = read.float_field(second, 34, 42);
    const double mean_anomaly = read.float_field(second, 43, 51);
    const double mean_motion = read.float_field(second, 52, 63);
    const uint64_t revolution_number = read.unsigned_field<uint64_t>(second, 63, 68);
    if (read.fault()) return std::unexpected(*read.fault());

    // Filled in the returned object itself: a finished record moved into the result
    // would copy both strings again, and a function with two kinds of return gets no
    // return-value optimisation, while this lambda with its one named result does.
    return [&] {
        std::expected<ElementRecord, TleError> result;
        ElementRecord& record = *result;
        record.object_name.emplace(name);
        international_designator.write_to(record.international_designator);
        record.norad_id = norad_id;
        record.classification = classification;
        record.epoch = epoch;
        record.mean_motion_dot = mean_motion_dot;
        record.mean_motion_ddot = mean_motion_ddot;
        record.drag_term = drag_term;
        record.element_set_number = element_set_number;
        record.inclination = inclination;
        record.right_ascension = right_ascension;
        record.eccentricity = eccentricity;
        record.argument_of_perigee = argument_of_perigee;
        record.mean_anomaly = mean_anomaly;
        record.mean_motion = mean_motion;
        record.revolution_number = revolution_number;
        record.ephemeris_type = ephemeris_type;
        return result;
    }();
}

}  // namespace orbweave::sgp4

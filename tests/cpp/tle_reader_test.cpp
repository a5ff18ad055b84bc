#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "sgp4/tle_reader.hpp"
#include "time/text.hpp"

using namespace orbweave;
using namespace orbweave::sgp4;

namespace {

const std::string kName = "ISS (ZARYA)";
const std::string kLine1 = "1 25544U 98067A   20194.05494444  .00289036  00000-0  49645-2 0  9998";
const std::string kLine2 = "2 25544  51.6435 225.4004 0001771  44.9625   5.1087 15.49560532235875";

// Rewrites the checksum digit of a 69-byte line so that only the edited field is wrong.
std::string with_checksum(std::string line) {
    if (line.size() != 69) return line;
    unsigned sum = 0;
    for (size_t i = 0; i < 68; ++i) {
        if (line[i] >= '0' && line[i] <= '9') sum += static_cast<unsigned>(line[i] - '0');
        if (line[i] == '-') sum += 1;
    }
    line[68] = static_cast<char>('0' + sum % 10);
    return line;
}

// One edit of the ISS lines: replace `count` bytes of line `line` at `at` by `text`.
struct Edit {
    int line;
    size_t at;
    size_t count;
    std::string text;
};

struct EditedTle {
    std::string line1 = kLine1;
    std::string line2 = kLine2;
};

EditedTle apply(std::initializer_list<Edit> edits, bool fix_checksums) {
    EditedTle tle;
    for (const Edit& e : edits) (e.line == 1 ? tle.line1 : tle.line2).replace(e.at, e.count, e.text);
    if (fix_checksums) {
        tle.line1 = with_checksum(tle.line1);
        tle.line2 = with_checksum(tle.line2);
    }
    return tle;
}

std::string outcome(const EditedTle& tle) {
    const auto result = read_tle(kName, tle.line1, tle.line2);
    return result ? "ok" : result.error().text();
}

ElementRecord read_edited(std::initializer_list<Edit> edits) {
    const EditedTle tle = apply(edits, true);
    const auto result = read_tle(kName, tle.line1, tle.line2);
    if (!result) ADD_FAILURE() << result.error().text();
    return result.value_or(ElementRecord{});
}

std::string fault(std::string_view what, int line, size_t start, size_t end) {
    return "TLE parse error: " + std::string(what) + " on TLE line " + std::to_string(line) + " between characters " +
           std::to_string(start) + " and " + std::to_string(end);
}

const std::string kLength = "Bad line length";
const std::string kFirst = "Bad first character";
const std::string kSpace = "Found a non-space character between fields";
const std::string kAlpha5 = "Parsing an Alpha-5 field failed";
const std::string kChecksum = "Bad line checksum";
const std::string kFloat = "Parsing a float field failed";
const std::string kAssumed =
    "Parsing a float field failed (special TLE float representation with assumed decimal point)";
const std::string kInteger = "Parsing an integer field failed";
const std::string kYear = "Date generation failed due to an error in the year";

struct FaultCase {
    std::string label;
    std::initializer_list<Edit> edits;
    bool fix_checksums;
    std::string expected;
};

}  // namespace

TEST(TleReader, ReadsEveryFieldOfTheIssExample) {
    const auto result = read_tle(kName, kLine1, kLine2);
    ASSERT_TRUE(result.has_value()) << result.error().text();
    const ElementRecord& r = *result;
    EXPECT_EQ(r.object_name, "ISS (ZARYA)");
    EXPECT_EQ(r.international_designator, "1998-067A");
    EXPECT_EQ(r.norad_id, 25544U);
    EXPECT_EQ(r.classification, Classification::Unclassified);
    EXPECT_EQ(time::instant_text(r.epoch), "2020-07-12 01:19:07.199616001 UTC");
    EXPECT_EQ(r.mean_motion_dot, 0.00289036);
    EXPECT_EQ(r.mean_motion_ddot, 0.0);
    EXPECT_EQ(r.drag_term, 0.49645 * std::pow(10.0, -2));
    EXPECT_EQ(r.element_set_number, 999U);
    EXPECT_EQ(r.inclination, 51.6435);
    EXPECT_EQ(r.right_ascension, 225.4004);
    EXPECT_EQ(r.eccentricity, 0.0001771);
    EXPECT_EQ(r.argument_of_perigee, 44.9625);
    EXPECT_EQ(r.mean_anomaly, 5.1087);
    EXPECT_EQ(r.mean_motion, 15.49560532);
    EXPECT_EQ(r.revolution_number, 23587U);
    EXPECT_EQ(r.ephemeris_type, 0U);
}

TEST(TleReader, NameIsKeptAsGivenEvenWhenEmpty) {
    EXPECT_EQ(read_tle("", kLine1, kLine2)->object_name, "");
    EXPECT_EQ(read_tle(" \tname\n", kLine1, kLine2)->object_name, " \tname\n");
}

TEST(TleReader, ReportsTheFirstFaultWithItsRange) {
    const std::string invalid_utf8(1, '\xFF');
    const FaultCase cases[] = {
        // Lengths count bytes; the range ends at the actual length; line 1 first.
        {"carriage return", {{1, 69, 0, "\r"}}, false, fault(kLength, 1, 0, 70)},
        {"short line 2", {{2, 68, 1, ""}}, false, fault(kLength, 2, 0, 68)},
        {"both lengths wrong", {{1, 1, 68, ""}, {2, 0, 69, ""}}, false, fault(kLength, 1, 0, 1)},
        {"two-byte character", {{1, 9, 1, "\xC3\xA9"}}, true, fault(kLength, 1, 0, 70)},
        // Fixed characters.
        {"line 1 starts with 2", {{1, 0, 1, "2"}}, true, fault(kFirst, 1, 0, 1)},
        {"line 2 starts with 1", {{2, 0, 1, "1"}}, true, fault(kFirst, 2, 0, 1)},
        {"tab is not a space", {{1, 8, 1, "\t"}}, true, fault(kSpace, 1, 8, 9)},
        {"first of two spaces", {{1, 63, 1, "0"}, {1, 17, 1, "x"}}, true, fault(kSpace, 1, 17, 18)},
        {"line 2 last space", {{2, 51, 1, "0"}}, true, fault(kSpace, 2, 51, 52)},
        // Catalogue numbers, then their agreement, then checksums.
        {"letter I", {{1, 2, 5, "I0001"}, {2, 2, 5, "I0001"}}, true, fault(kAlpha5, 1, 2, 7)},
        {"letter O on line 2", {{2, 2, 5, "O0001"}}, true, fault(kAlpha5, 2, 2, 7)},
        {"blank number", {{1, 2, 5, "     "}}, true, fault(kAlpha5, 1, 2, 7)},
        {"trailing blank number", {{1, 2, 5, "255  "}}, true, fault(kAlpha5, 1, 2, 7)},
        {"inner blank", {{2, 2, 5, "A 001"}}, true, fault(kAlpha5, 2, 2, 7)},
        {"mismatch before checksums",
         {{2, 2, 5, "25545"}, {1, 68, 1, "0"}},
         false,
         "TLE parse error: NORAD mismatch between TLE lines (TLE lines mismatch) between characters 2 and 7"},
        {"line 2 checksum", {{2, 68, 1, "6"}}, false, fault(kChecksum, 2, 68, 69)},
        {"non-digit checksum", {{1, 68, 1, "x"}}, false, fault(kChecksum, 1, 68, 69)},
        {"minus weighs one", {{1, 50, 1, "+"}}, false, fault(kChecksum, 1, 68, 69)},
        // Line 1 fields in order.
        {"classification",
         {{1, 7, 1, "u"}},
         true,
         "TLE parse error: Unknown classification code on TLE line 1 between characters 7 and 8"},
        {"launch year", {{1, 9, 2, "9X"}}, true, fault(kInteger, 1, 9, 11)},
        {"launch year not trimmed", {{1, 9, 2, " 8"}}, true, fault(kInteger, 1, 9, 11)},
        {"piece not UTF-8",
         {{1, 14, 1, invalid_utf8}},
         true,
         "TLE parse error: Parsing a string field failed on TLE line 1 between characters 11 and 17"},
        {"piece cut inside a character",
         {{1, 11, 6, "067  \xC3"}},
         true,
         "TLE parse error: Parsing a string field failed on TLE line 1 between characters 11 and 17"},
        {"day before year", {{1, 18, 2, "XX"}, {1, 31, 1, "X"}}, true, fault(kFloat, 1, 20, 32)},
        {"epoch year", {{1, 18, 2, "2X"}}, true, fault(kFloat, 1, 18, 20)},
        {"day zero", {{1, 20, 3, "000"}}, true, fault(kYear, 1, 18, 20)},
        {"negative day", {{1, 20, 12, "-1.500000000"}}, true, fault(kYear, 1, 18, 20)},
        {"day not a number", {{1, 20, 12, "         nan"}}, true, fault(kYear, 1, 18, 20)},
        {"day 366 of 2021", {{1, 18, 5, "21366"}}, true, fault(kYear, 1, 18, 20)},
        {"first derivative", {{1, 42, 1, "X"}}, true, fault(kFloat, 1, 33, 43)},
        {"blank mantissa", {{1, 44, 6, "      "}}, true, fault(kAssumed, 1, 44, 50)},
        {"lone sign mantissa", {{1, 44, 6, "     -"}}, true, fault(kAssumed, 1, 44, 50)},
        {"sign inside mantissa", {{1, 44, 6, "+-1234"}}, true, fault(kAssumed, 1, 44, 50)},
        {"blank exponent", {{1, 50, 2, " 0"}}, true, fault(kFloat, 1, 50, 52)},
        {"drag mantissa", {{1, 54, 1, "x"}}, true, fault(kAssumed, 1, 53, 59)},
        {"drag exponent", {{1, 59, 2, "-x"}}, true, fault(kFloat, 1, 59, 61)},
        {"blank ephemeris type", {{1, 62, 1, " "}}, true, fault(kInteger, 1, 62, 63)},
        {"element set number", {{1, 64, 4, " 9x9"}}, true, fault(kInteger, 1, 64, 68)},
        // Line 2 fields in order; trailing characters are not trimmed.
        {"inclination", {{2, 8, 8, "51.6435 "}}, true, fault(kFloat, 2, 8, 16)},
        {"right ascension", {{2, 17, 8, "225,4004"}}, true, fault(kFloat, 2, 17, 25)},
        {"eccentricity", {{2, 26, 7, "000177x"}}, true, fault(kAssumed, 2, 26, 33)},
        {"mean anomaly", {{2, 43, 8, "  5.10.7"}}, true, fault(kFloat, 2, 43, 51)},
        {"mean motion", {{2, 52, 11, "15.4956053x"}}, true, fault(kFloat, 2, 52, 63)},
        {"revolution number", {{2, 63, 5, "2358 "}}, true, fault(kInteger, 2, 63, 68)},
    };
    for (const FaultCase& c : cases) EXPECT_EQ(outcome(apply(c.edits, c.fix_checksums)), c.expected) << c.label;
}

TEST(TleReader, CatalogueNumbers) {
    const std::pair<std::string, uint64_t> cases[] = {
        {"A0001", 100001}, {"J0000", 180000}, {"P0000", 230000}, {"Z9999", 339999}, {"   25", 25},
    };
    for (const auto& [field, number] : cases)
        EXPECT_EQ(read_edited({{1, 2, 5, field}, {2, 2, 5, field}}).norad_id, number) << field;
}

TEST(TleReader, ChecksumWeighsOnlyDigitsAndMinus) {
    // Letters, '+', '.' and blanks change nothing; '-' for '+' moves the sum by one.
    EXPECT_EQ(outcome(apply({{1, 7, 1, "S"}, {1, 50, 2, "+0"}, {1, 68, 1, "7"}}, false)), "ok");
    EXPECT_EQ(read_edited({{1, 7, 1, "S"}}).classification, Classification::Secret);
    EXPECT_EQ(read_edited({{1, 7, 1, "C"}}).classification, Classification::Classified);
}

TEST(TleReader, InternationalDesignator) {
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"        ", std::nullopt},
        {"56001A  ", "2056-001A"},
        {"57001A  ", "1957-001A"},
        {"98 67A  ", "1998-67A"},
        {"98\xC2\xA0" "067 ", "1998-067"},  // no-break space trimmed like a blank
        {"9806\xC3\xA9  ", "1998-06\xC3\xA9"},
    };
    for (const auto& [field, designator] : cases)
        EXPECT_EQ(read_edited({{1, 9, 8, field}}).international_designator, designator) << field;
}

TEST(TleReader, Epochs) {
    const std::pair<std::string, std::string> cases[] = {
        {"56001.00000000", "2056-01-01 00:00:00 UTC"},
        {"57001.00000000", "1957-01-01 00:00:00 UTC"},
        {"20366.50000000", "2020-12-31 12:00:00 UTC"},
        {"21365.75000000", "2021-12-31 18:00:00 UTC"},
        {"20060.00000000", "2020-02-29 00:00:00 UTC"},
        {"00366.99999999", "2000-12-31 23:59:59.999135999 UTC"},
        {"20   1.5e-0000", "2020-01-01 12:00:00 UTC"},
    };
    for (const auto& [field, text] : cases)
        EXPECT_EQ(time::instant_text(read_edited({{1, 18, field.size(), field}}).epoch), text) << field;
}

TEST(TleReader, FieldsWithAssumedDecimalPointAndExponent) {
    struct Case {
        std::string mantissa_and_exponent;
        double ddot;
    };
    const Case cases[] = {
        {" 12345-0", 0.12345}, {"-12345+0", -0.12345}, {"+1234500", 0.12345},
        {"-12345-3", -0.12345 * std::pow(10.0, -3)}, {" 12345+1", 0.12345 * std::pow(10.0, 1)}, {"     1-9", 0.1 * std::pow(10.0, -9)},
    };
    for (const auto& [field, ddot] : cases)
        EXPECT_EQ(read_edited({{1, 44, 8, field}}).mean_motion_ddot, ddot) << field;
    EXPECT_EQ(read_edited({{1, 53, 8, "-11606-4"}}).drag_term, -0.11606 * std::pow(10.0, -4));
    EXPECT_EQ(read_edited({{2, 26, 7, "-001771"}}).eccentricity, -0.001771);
    EXPECT_EQ(read_edited({{2, 26, 7, "   1e-1"}}).eccentricity, 0.01);
}

// Random byte edits of a valid TLE never crash and always give either a record or
// an error whose range lies inside the line it names.
TEST(TleReader, SurvivesRandomByteMutations) {
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> byte(0, 255);
    size_t records = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string lines[2] = {kLine1, kLine2};
        const int edits = 1 + static_cast<int>(random() % 3);
        for (int e = 0; e < edits; ++e) {
            std::string& line = lines[random() % 2];
            const size_t at = random() % (line.size() + 1);
            const char value = static_cast<char>(byte(random));
            switch (random() % 16) {
                case 0: line.insert(at, 1, value); break;
                case 1: if (at < line.size()) line.erase(at, 1); break;
                case 2: line.resize(at); break;
                default: if (at < line.size()) line[at] = value;
            }
        }
        if (random() % 2) {
            lines[0] = with_checksum(lines[0]);
            lines[1] = with_checksum(lines[1]);
        }
        const auto result = read_tle(kName, lines[0], lines[1]);
        if (result) {
            ++records;
            continue;
        }
        const TleError& error = result.error();
        const size_t length = error.line == TleErrorLine::Line2 ? lines[1].size() : lines[0].size();
        EXPECT_LE(error.end, length);
        EXPECT_LT(error.start, std::max<size_t>(error.end, 1));
    }
    EXPECT_GT(records, 200U);  // the mutations also reach the field readers
}

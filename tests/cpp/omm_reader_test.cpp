#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "sgp4/omm_epoch.hpp"
#include "sgp4/omm_reader.hpp"
#include "time/text.hpp"
#include "util/number_text.hpp"

using namespace orbweave;
using namespace orbweave::sgp4;

namespace {

// Celestrak style: numbers as numbers.
constexpr std::string_view kCelestrak =
    R"json({"OBJECT_NAME":"ISS (ZARYA)","OBJECT_ID":"1998-067A","EPOCH":"2020-07-12T01:19:07.402656",)json"
    R"json("MEAN_MOTION":15.49560532,"ECCENTRICITY":0.0001771,"INCLINATION":51.6435,"RA_OF_ASC_NODE":225.4004,)json"
    R"json("ARG_OF_PERICENTER":44.9625,"MEAN_ANOMALY":5.1087,"EPHEMERIS_TYPE":0,"CLASSIFICATION_TYPE":"U",)json"
    R"json("NORAD_CAT_ID":25544,"ELEMENT_SET_NO":999,"REV_AT_EPOCH":23587,"BSTAR":0.0049645,)json"
    R"json("MEAN_MOTION_DOT":0.00289036,"MEAN_MOTION_DDOT":0})json";

// Space-Track style: every value a string, keys the record does not hold, pretty-printed.
constexpr std::string_view kSpaceTrack = R"json({
    "CCSDS_OMM_VERS": "2.0",
    "COMMENT": "GENERATED VIA SPACE-TRACK.ORG API",
    "OBJECT_NAME": "ISS (ZARYA)",
    "OBJECT_ID": "1998-067A",
    "CENTER_NAME": "EARTH",
    "REF_FRAME": "TEME",
    "EPOCH": "2020-07-12T01:19:07.402656",
    "MEAN_MOTION": "15.49560532",
    "ECCENTRICITY": "0.00017710",
    "INCLINATION": "51.6435",
    "RA_OF_ASC_NODE": "225.4004",
    "ARG_OF_PERICENTER": "44.9625",
    "MEAN_ANOMALY": "5.1087",
    "EPHEMERIS_TYPE": "0",
    "CLASSIFICATION_TYPE": "U",
    "NORAD_CAT_ID": "25544",
    "ELEMENT_SET_NO": "999",
    "REV_AT_EPOCH": "23587",
    "BSTAR": "0.00496450000000",
    "MEAN_MOTION_DOT": "0.00289036",
    "MEAN_MOTION_DDOT": "0.0000000000000",
    "DECAY_DATE": null,
    "EXTRA": {"nested": [1, 2.5, {"deep": [true, false, null]}]},
    "TLE_LINE1": "1 25544U 98067A   20194.05494679  .00289036  00000-0  49645-2 0  9995"
})json";

// The array form: the 17 values in record order.
constexpr std::string_view kArrayForm =
    R"json(["ISS (ZARYA)","1998-067A",25544,"U","2020-07-12T01:19:07.402656",0.00289036,0,0.0049645,999,)json"
    R"json(51.6435,225.4004,0.0001771,44.9625,5.1087,15.49560532,23587,0])json";

std::string optional_text(const std::optional<std::string>& text) { return text ? "\"" + *text + "\"" : "None"; }

// Every field of a record, for comparisons with readable differences.
std::string record_text(const ElementRecord& r) {
    std::string out;
    const auto add = [&out](std::string_view name, const std::string& value) {
        out.append(name).append("=").append(value).append(" ");
    };
    add("object_name", optional_text(r.object_name));
    add("international_designator", optional_text(r.international_designator));
    add("norad_id", std::to_string(r.norad_id));
    add("classification", std::to_string(static_cast<int>(r.classification)));
    add("epoch", time::instant_text(r.epoch));
    add("mean_motion_dot", shortest_decimal(r.mean_motion_dot));
    add("mean_motion_ddot", shortest_decimal(r.mean_motion_ddot));
    add("drag_term", shortest_decimal(r.drag_term));
    add("element_set_number", std::to_string(r.element_set_number));
    add("inclination", shortest_decimal(r.inclination));
    add("right_ascension", shortest_decimal(r.right_ascension));
    add("eccentricity", shortest_decimal(r.eccentricity));
    add("argument_of_perigee", shortest_decimal(r.argument_of_perigee));
    add("mean_anomaly", shortest_decimal(r.mean_anomaly));
    add("mean_motion", shortest_decimal(r.mean_motion));
    add("revolution_number", std::to_string(r.revolution_number));
    add("ephemeris_type", std::to_string(r.ephemeris_type));
    return out;
}

constexpr std::string_view kIssRecord =
    "object_name=\"ISS (ZARYA)\" international_designator=\"1998-067A\" norad_id=25544 classification=0 "
    "epoch=2020-07-12 01:19:07.402656 UTC mean_motion_dot=0.00289036 mean_motion_ddot=0 drag_term=0.0049645 "
    "element_set_number=999 inclination=51.6435 right_ascension=225.4004 eccentricity=0.0001771 "
    "argument_of_perigee=44.9625 mean_anomaly=5.1087 mean_motion=15.49560532 revolution_number=23587 "
    "ephemeris_type=0 ";

std::string read_outcome(std::string_view text) {
    const auto result = read_omm_json(text);
    return result ? record_text(*result) : result.error().text();
}

// `text` with one key's value replaced by `raw` JSON, or the key removed when
// `raw` is empty. The fixture's values hold neither `,` nor `}`.
std::string with_value(std::string text, std::string_view key, std::string_view raw) {
    const std::string quoted = "\"" + std::string(key) + "\":";
    const size_t start = text.find(quoted);
    const size_t value_start = start + quoted.size();
    const size_t end = text.find_first_of(",}", value_start);
    if (!raw.empty()) return text.replace(value_start, end - value_start, raw);
    if (text[end] == ',') return text.erase(start, end + 1 - start);
    return text.erase(start - 1, end - start + 1);  // the last member takes the comma before it
}

std::string celestrak_with(std::string_view key, std::string_view raw) {
    return with_value(std::string(kCelestrak), key, raw);
}

TEST(OmmReader, ReadsCelestrakSpaceTrackAndArrayFormsToTheSameRecord) {
    EXPECT_EQ(read_outcome(kCelestrak), kIssRecord);
    EXPECT_EQ(read_outcome(kSpaceTrack), kIssRecord);
    EXPECT_EQ(read_outcome(kArrayForm), kIssRecord);
}

TEST(OmmReader, KeepsTheEpochToTheNanosecond) {
    const auto record = read_omm_json(celestrak_with("EPOCH", "\"2020-07-12T01:19:07.199616\""));
    ASSERT_TRUE(record);
    EXPECT_EQ(record->epoch.nanosecond(), 199'616'000u);
    EXPECT_EQ(record->epoch.second_of_day(), 1 * 3600 + 19 * 60 + 7u);
}

TEST(OmmReader, ReportsEachMissingRequiredKeyInOrder) {
    const std::vector<std::string> required = {
        "NORAD_CAT_ID", "CLASSIFICATION_TYPE", "EPOCH", "MEAN_MOTION_DOT", "MEAN_MOTION_DDOT",
        "BSTAR", "ELEMENT_SET_NO", "INCLINATION", "RA_OF_ASC_NODE", "ECCENTRICITY",
        "ARG_OF_PERICENTER", "MEAN_ANOMALY", "MEAN_MOTION", "REV_AT_EPOCH", "EPHEMERIS_TYPE"};
    // Without this key and every later one, the reader names this one.
    for (size_t i = 0; i < required.size(); ++i) {
        std::string text(kCelestrak);
        for (size_t j = i; j < required.size(); ++j) text = with_value(text, required[j], "");
        const auto result = read_omm_json(text);
        ASSERT_FALSE(result) << text;
        EXPECT_EQ(result.error().message, "missing field `" + required[i] + "`");
    }
}

TEST(OmmReader, NamesMayBeAbsentOrNull) {
    for (const std::string& text :
         {celestrak_with("OBJECT_NAME", ""), celestrak_with("OBJECT_NAME", "null")}) {
        const auto record = read_omm_json(text);
        ASSERT_TRUE(record) << record.error().text();
        EXPECT_FALSE(record->object_name);
        EXPECT_EQ(record->international_designator, "1998-067A");
    }
}

// One field's value, read from the Celestrak record with that value replaced.
struct ValueCase {
    std::string key;
    std::string raw;
    std::string expected;  // the field as record_text shows it
};

void PrintTo(const ValueCase& c, std::ostream* os) { *os << c.key << ": " << c.raw; }

class OmmValueForms : public testing::TestWithParam<ValueCase> {};

TEST_P(OmmValueForms, ReadEveryAcceptedForm) {
    const auto record = read_omm_json(celestrak_with(GetParam().key, GetParam().raw));
    ASSERT_TRUE(record) << record.error().text();
    EXPECT_NE(record_text(*record).find(GetParam().expected + " "), std::string::npos) << record_text(*record);
}

INSTANTIATE_TEST_SUITE_P(All, OmmValueForms, testing::Values(
    ValueCase{"NORAD_CAT_ID", "\"+0025544\"", "norad_id=25544"},
    ValueCase{"NORAD_CAT_ID", "-0", "norad_id=0"},
    ValueCase{"NORAD_CAT_ID", "18446744073709551615", "norad_id=18446744073709551615"},
    ValueCase{"REV_AT_EPOCH", "\"18446744073709551615\"", "revolution_number=18446744073709551615"},
    ValueCase{"EPHEMERIS_TYPE", "255", "ephemeris_type=255"},
    ValueCase{"EPHEMERIS_TYPE", "\"+4\"", "ephemeris_type=4"},
    ValueCase{"BSTAR", "\"-1.5E-5\"", "drag_term=-0.000015"},
    ValueCase{"BSTAR", "\"-Infinity\"", "drag_term=-inf"},
    ValueCase{"BSTAR", "\"NaN\"", "drag_term=NaN"},
    ValueCase{"BSTAR", "\"1e400\"", "drag_term=inf"},
    ValueCase{"BSTAR", "1e-400", "drag_term=0"},
    ValueCase{"BSTAR", "-12", "drag_term=-12"},
    ValueCase{"CLASSIFICATION_TYPE", "\"C\"", "classification=1"},
    ValueCase{"CLASSIFICATION_TYPE", "\"\\u0053\"", "classification=2"},
    ValueCase{"OBJECT_NAME", "\"\\u00c9T\\u00c9\\t\"", "object_name=\"\xC3\x89T\xC3\x89\t\""},
    ValueCase{"EPOCH", "\"2016-12-31T23:59:60.25\"", "epoch=2016-12-31 23:59:60.250 UTC"}));

struct FaultCase {
    std::string text;
    std::string error;
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << testing::PrintToString(c.text); }

class OmmFaults : public testing::TestWithParam<FaultCase> {};

TEST_P(OmmFaults, ReportTheTextAtTheOffendingValue) { EXPECT_EQ(read_outcome(GetParam().text), GetParam().error); }

INSTANTIATE_TEST_SUITE_P(Unsigned, OmmFaults, testing::Values(
    FaultCase{R"json({"NORAD_CAT_ID":25544.0})json", "parsing the number as u64 failed at line 1 column 23"},
    FaultCase{R"json({"NORAD_CAT_ID":-1})json", "parsing the number as u64 failed at line 1 column 18"},
    FaultCase{R"json({"NORAD_CAT_ID":1e3})json", "parsing the number as u64 failed at line 1 column 19"},
    FaultCase{R"json({"NORAD_CAT_ID":18446744073709551616})json", "number too large to fit in target type at line 1 column 36"},
    FaultCase{R"json({"NORAD_CAT_ID":" 25544"})json", "invalid digit found in string at line 1 column 24"},
    FaultCase{R"json({"NORAD_CAT_ID":"-1"})json", "invalid digit found in string at line 1 column 20"},
    FaultCase{R"json({"NORAD_CAT_ID":""})json", "cannot parse integer from empty string at line 1 column 18"},
    FaultCase{R"json({"NORAD_CAT_ID":"18446744073709551616"})json", "number too large to fit in target type at line 1 column 38"},
    FaultCase{R"json({"NORAD_CAT_ID":null})json", "expected a u64 or string at line 1 column 20"},
    FaultCase{R"json({"NORAD_CAT_ID":true})json", "expected a u64 or string at line 1 column 20"},
    FaultCase{R"json({"NORAD_CAT_ID":[1]})json", "expected a u64 or string at line 1 column 17"},
    FaultCase{R"json({"EPHEMERIS_TYPE":256})json", "number too large to fit in target type at line 1 column 21"},
    FaultCase{R"json({"EPHEMERIS_TYPE":"256"})json", "number too large to fit in target type at line 1 column 23"},
    FaultCase{R"json({"EPHEMERIS_TYPE":0.5})json", "parsing the number as u64 failed at line 1 column 21"}));

INSTANTIATE_TEST_SUITE_P(Float, OmmFaults, testing::Values(
    FaultCase{R"json({"BSTAR":""})json", "cannot parse float from empty string at line 1 column 11"},
    FaultCase{R"json({"BSTAR":"1e-4x"})json", "invalid float literal at line 1 column 16"},
    FaultCase{R"json({"BSTAR":" 1"})json", "invalid float literal at line 1 column 13"},
    FaultCase{R"json({"BSTAR":1e400})json", "number out of range at line 1 column 14"},
    FaultCase{R"json({"BSTAR":null})json", "expected a f64 or string at line 1 column 13"},
    FaultCase{R"json({"BSTAR":{}})json", "expected a f64 or string at line 1 column 10"}));

INSTANTIATE_TEST_SUITE_P(TypesAndVariants, OmmFaults, testing::Values(
    FaultCase{R"json({"CLASSIFICATION_TYPE":"u"})json", "unknown variant `u`, expected one of `U`, `C`, `S` at line 1 column 26"},
    FaultCase{R"json({"CLASSIFICATION_TYPE":""})json", "unknown variant ``, expected one of `U`, `C`, `S` at line 1 column 25"},
    FaultCase{R"json({"CLASSIFICATION_TYPE":1})json", "invalid type: integer `1`, expected one of `U`, `C`, `S` at line 1 column 24"},
    FaultCase{R"json({"EPOCH":5})json", "invalid type: integer `5`, expected a string at line 1 column 10"},
    FaultCase{R"json({"EPOCH":-2.5})json", "invalid type: floating point `-2.5`, expected a string at line 1 column 13"},
    FaultCase{R"json({"EPOCH":1E2})json", "invalid type: floating point `100.0`, expected a string at line 1 column 12"},
    FaultCase{R"json({"EPOCH":1E999})json", "number out of range at line 1 column 14"},
    FaultCase{R"json({"EPOCH":null})json", "invalid type: null, expected a string at line 1 column 13"},
    FaultCase{R"json({"EPOCH":false})json", "invalid type: boolean `false`, expected a string at line 1 column 14"},
    FaultCase{R"json({"EPOCH":[]})json", "invalid type: sequence, expected a string at line 1 column 10"},
    FaultCase{R"json({"EPOCH":"2020-07-12T01:19:07Z"})json", "trailing input at line 1 column 31"},
    FaultCase{R"json({"EPOCH":"2021-02-29T00:00:00"})json", "no possible date and time matching input at line 1 column 30"},
    FaultCase{R"json({"OBJECT_NAME":5})json", "invalid type: integer `5`, expected a string at line 1 column 16"},
    FaultCase{R"json({"OBJECT_ID":{"a":1}})json", "invalid type: map, expected a string at line 1 column 14"}));

INSTANTIATE_TEST_SUITE_P(Structure, OmmFaults, testing::Values(
    FaultCase{"", "EOF while parsing a value at line 1 column 0"},
    FaultCase{"{}", "missing field `NORAD_CAT_ID` at line 1 column 2"},
    FaultCase{R"json({"OBJECT_NAME":"x","OBJECT_NAME":"y"})json", "duplicate field `OBJECT_NAME` at line 1 column 32"},
    FaultCase{R"json({"BSTAR":1,"X":[1,]})json", "trailing comma at line 1 column 19"},
    FaultCase{R"json({"BSTAR":1,})json", "trailing comma at line 1 column 12"},
    FaultCase{R"json({"BSTAR" 1})json", "expected `:` at line 1 column 10"},
    FaultCase{"{\n  \"BSTAR\": 1,\n  \"EPOCH\": \"2020-07-12\"\n}", "input is not enough for unique date and time at line 3 column 23"},
    FaultCase{"5", "invalid type: integer `5`, expected struct Elements at line 1 column 1"},
    FaultCase{"\"x\"", "invalid type: string \"x\", expected struct Elements at line 1 column 3"},
    FaultCase{"null", "invalid type: null, expected struct Elements at line 1 column 4"},
    FaultCase{"[]", "invalid length 0, expected struct Elements with 17 elements at line 1 column 2"},
    FaultCase{"[null, null, 1]", "invalid length 3, expected struct Elements with 17 elements at line 1 column 15"},
    FaultCase{"[5]", "invalid type: integer `5`, expected a string at line 1 column 2"},
    FaultCase{"[{\"OBJECT_NAME\":\"x\"}]", "invalid type: map, expected a string at line 1 column 2"},
    FaultCase{std::string(kArrayForm).insert(kArrayForm.size() - 1, ",[1]"),
              "invalid length 18, expected struct Elements with 17 elements at line 1 column 159"},
    FaultCase{std::string(kCelestrak) + " x", "trailing characters at line 1 column 417"},
    FaultCase{std::string(kArrayForm).insert(kArrayForm.size() - 1, ",[1,]"), "trailing comma at line 1 column 159"}));

INSTANTIATE_TEST_SUITE_P(MissingFromFullRecord, OmmFaults, testing::Values(
    FaultCase{celestrak_with("BSTAR", ""), "missing field `BSTAR` at line 1 column 397"},
    FaultCase{celestrak_with("EPHEMERIS_TYPE", ""), "missing field `EPHEMERIS_TYPE` at line 1 column 396"}));

struct EpochCase {
    std::string text;
    std::string outcome;  // the instant's text or the fault
};

class OmmEpochs : public testing::TestWithParam<EpochCase> {};

TEST_P(OmmEpochs, ReadOrRefuse) {
    const auto epoch = parse_omm_epoch(GetParam().text);
    EXPECT_EQ(epoch ? time::instant_text(*epoch) : std::string(epoch.error()), GetParam().outcome);
}

INSTANTIATE_TEST_SUITE_P(All, OmmEpochs, testing::Values(
    EpochCase{"2020-07-12T01:19:07", "2020-07-12 01:19:07 UTC"},
    EpochCase{"2020-07-12T01:19:07.199616", "2020-07-12 01:19:07.199616 UTC"},
    EpochCase{"2020-07-12T01:19:07.1234567899999", "2020-07-12 01:19:07.123456789 UTC"},
    EpochCase{"0000-01-01T00:00:00.000000001", "0000-01-01 00:00:00.000000001 UTC"},
    EpochCase{"2020-02-29T23:59:59", "2020-02-29 23:59:59 UTC"},
    EpochCase{"2016-12-31T23:59:60", "2016-12-31 23:59:60 UTC"},
    EpochCase{"2020-07-12T01:19:07Z", "trailing input"},
    EpochCase{"2020-07-12T01:19:07+00:00", "trailing input"},
    EpochCase{"2020-07-12T01:19:07 ", "trailing input"},
    EpochCase{"2020-07-12 01:19:07", "input contains invalid characters"},
    EpochCase{"2020-07-12t01:19:07", "input contains invalid characters"},
    EpochCase{"2020-7-12T01:19:07", "input contains invalid characters"},
    EpochCase{"+2020-07-12T01:19:07", "input contains invalid characters"},
    EpochCase{"2020-07-12T01:19:07.Z", "input contains invalid characters"},
    EpochCase{"", "premature end of input"},
    EpochCase{"2020-07-1", "premature end of input"},
    EpochCase{"2020-07-12T01:19", "premature end of input"},
    EpochCase{"2020-07-12T01:19:07.", "premature end of input"},
    EpochCase{"2020-07-12", "input is not enough for unique date and time"},
    EpochCase{"2020-13-12T01:19:07", "input is out of range"},
    EpochCase{"2020-00-12T01:19:07", "input is out of range"},
    EpochCase{"2020-07-32", "input is out of range"},
    EpochCase{"2020-07-12T24:00:00", "input is out of range"},
    EpochCase{"2020-07-12T01:60:00", "input is out of range"},
    EpochCase{"2020-07-12T01:19:61", "input is out of range"},
    EpochCase{"2021-02-29T00:00:00", "no possible date and time matching input"},
    EpochCase{"2020-04-31T00:00:00", "no possible date and time matching input"}));

// Byte-level mutations of valid texts must give a record or an error placed
// inside the text, never a crash or an exception.
TEST(OmmReader, SurvivesRandomMutations) {
    const std::vector<std::string> seeds = {std::string(kCelestrak), std::string(kSpaceTrack), std::string(kArrayForm)};
    constexpr std::string_view kInteresting = "{}[]\":,\\-+.0123456789eEnulltrfasUCSTZ \n\t\x80\xC3\xA9\xF0";
    std::mt19937 random(20240501);
    const auto below = [&random](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); };
    int records = 0, errors = 0;
    for (int round = 0; round < 4000; ++round) {
        std::string text = seeds[below(seeds.size())];
        const size_t edits = 1 + below(4);
        for (size_t e = 0; e < edits && !text.empty(); ++e) {
            const size_t at = below(text.size());
            switch (below(5)) {
                case 0: text[at] = kInteresting[below(kInteresting.size())]; break;
                case 1: text[at] = static_cast<char>(below(256)); break;
                case 2: text.erase(at, 1 + below(8)); break;
                case 3: text.insert(at, 1, kInteresting[below(kInteresting.size())]); break;
                case 4: text.resize(at); break;
            }
        }
        std::expected<ElementRecord, OmmError> result;
        ASSERT_NO_THROW(result = read_omm_json(text)) << text;
        if (result) {
            ++records;
            continue;
        }
        ++errors;
        const OmmError& error = result.error();
        ASSERT_FALSE(error.message.empty()) << text;
        const auto lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
        ASSERT_GE(error.line, 1u) << text;
        ASSERT_LE(error.line, lines) << text;
        ASSERT_LE(error.column, text.size()) << text;
    }
    EXPECT_GT(records, 100);
    EXPECT_GT(errors, 1000);
}

}  // namespace

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "sgp4/json_reader.hpp"

using namespace orbweave::json;

namespace {

// "ok" or the full error text.
std::string syntax_outcome(std::string_view text) {
    const auto result = check_syntax(text);
    return result ? "ok" : result.error().text();
}

std::string nested_arrays(size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); }

// 2 * pairs open levels: {"a":[{"a":[...
std::string nested_objects_and_arrays(int pairs) {
    std::string text;
    for (int i = 0; i < pairs; ++i) text += "{\"a\":[";
    return text;
}

struct SyntaxCase {
    std::string text;
    std::string outcome;
};

void PrintTo(const SyntaxCase& c, std::ostream* os) { *os << testing::PrintToString(c.text); }

class JsonSyntax : public testing::TestWithParam<SyntaxCase> {};

TEST_P(JsonSyntax, ReportsTheFaultAndItsPlace) { EXPECT_EQ(syntax_outcome(GetParam().text), GetParam().outcome); }

INSTANTIATE_TEST_SUITE_P(Accepted, JsonSyntax, testing::Values(
    SyntaxCase{"0", "ok"},
    SyntaxCase{"-0", "ok"},
    SyntaxCase{" \t\r\n[ 1E+2 , -0.5e-7 ] \n", "ok"},
    SyntaxCase{"1e400", "ok"},  // the grammar has no range; callers check it
    SyntaxCase{"{\"\":{},\"a\":[null,true,false]}", "ok"},
    SyntaxCase{"\"\\u0000\\uD83D\\uDE00\\\"\\\\\\/\\b\\f\\n\\r\\t\"", "ok"},
    SyntaxCase{"\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\x7F\"", "ok"},
    SyntaxCase{"{\"a\":1,\"a\":2}", "ok"},  // duplicate keys are the caller's concern
    SyntaxCase{nested_arrays(128), "ok"}));

INSTANTIATE_TEST_SUITE_P(Structure, JsonSyntax, testing::Values(
    SyntaxCase{"", "EOF while parsing a value at line 1 column 0"},
    SyntaxCase{"  ", "EOF while parsing a value at line 1 column 2"},
    SyntaxCase{"{", "EOF while parsing an object at line 1 column 1"},
    SyntaxCase{"{\"a\"", "EOF while parsing an object at line 1 column 4"},
    SyntaxCase{"{\"a\":", "EOF while parsing a value at line 1 column 5"},
    SyntaxCase{"{\"a\":1,", "EOF while parsing an object at line 1 column 7"},
    SyntaxCase{"{\"a\" 1}", "expected `:` at line 1 column 6"},
    SyntaxCase{"{\"a\":1 \"b\":2}", "expected `,` or `}` at line 1 column 8"},
    SyntaxCase{"{\"a\":1,}", "trailing comma at line 1 column 8"},
    SyntaxCase{"{1:2}", "key must be a string at line 1 column 2"},
    SyntaxCase{"{\"a\":1,,}", "key must be a string at line 1 column 8"},
    SyntaxCase{"[", "EOF while parsing a list at line 1 column 1"},
    SyntaxCase{"[1,", "EOF while parsing a value at line 1 column 3"},
    SyntaxCase{"[1 2]", "expected `,` or `]` at line 1 column 4"},
    SyntaxCase{"[1,]", "trailing comma at line 1 column 4"},
    SyntaxCase{"[,1]", "expected value at line 1 column 2"},
    SyntaxCase{"[] x", "trailing characters at line 1 column 4"},
    SyntaxCase{"\xEF\xBB\xBF{}", "expected value at line 1 column 1"},
    SyntaxCase{"NaN", "expected value at line 1 column 1"},
    SyntaxCase{"[Infinity]", "expected value at line 1 column 2"},
    SyntaxCase{"tru", "EOF while parsing a value at line 1 column 3"},
    SyntaxCase{"[trux]", "expected ident at line 1 column 5"},
    SyntaxCase{nested_arrays(129), "recursion limit exceeded at line 1 column 129"},
    SyntaxCase{nested_objects_and_arrays(64) + "{", "recursion limit exceeded at line 1 column 385"}));

INSTANTIATE_TEST_SUITE_P(Numbers, JsonSyntax, testing::Values(
    SyntaxCase{"01", "invalid number at line 1 column 2"},
    SyntaxCase{"-01", "invalid number at line 1 column 3"},
    SyntaxCase{"-", "EOF while parsing a value at line 1 column 1"},
    SyntaxCase{"-a", "invalid number at line 1 column 2"},
    SyntaxCase{"+1", "expected value at line 1 column 1"},
    SyntaxCase{".5", "expected value at line 1 column 1"},
    SyntaxCase{"1.", "EOF while parsing a value at line 1 column 2"},
    SyntaxCase{"1.e3", "invalid number at line 1 column 3"},
    SyntaxCase{"1e+", "EOF while parsing a value at line 1 column 3"},
    SyntaxCase{"[1e+]", "invalid number at line 1 column 5"},
    SyntaxCase{"0x1", "trailing characters at line 1 column 2"}));

INSTANTIATE_TEST_SUITE_P(Strings, JsonSyntax, testing::Values(
    SyntaxCase{"\"abc", "EOF while parsing a string at line 1 column 4"},
    SyntaxCase{"\"\\", "EOF while parsing a string at line 1 column 2"},
    SyntaxCase{"\"\\x\"", "invalid escape at line 1 column 3"},
    SyntaxCase{"\"\\u12G4\"", "invalid escape at line 1 column 6"},
    SyntaxCase{"\"a\tb\"", "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 3"},
    SyntaxCase{std::string("\"\0\"", 3), "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 2"},
    SyntaxCase{"\"\\uD800\"", "lone leading surrogate in hex escape at line 1 column 8"},
    SyntaxCase{"\"\\uD800\\n\"", "lone leading surrogate in hex escape at line 1 column 9"},
    SyntaxCase{"\"\\uD800\\u0041\"", "lone leading surrogate in hex escape at line 1 column 13"},
    SyntaxCase{"\"\\uDC00\"", "lone trailing surrogate in hex escape at line 1 column 7"},
    SyntaxCase{"\"\\uD800", "EOF while parsing a string at line 1 column 7"},
    SyntaxCase{"\"\xC3\x28\"", "invalid UTF-8 in string at line 1 column 2"},
    SyntaxCase{"\"\xC0\xAF\"", "invalid UTF-8 in string at line 1 column 2"},          // overlong
    SyntaxCase{"\"\xE0\x80\xAF\"", "invalid UTF-8 in string at line 1 column 2"},      // overlong
    SyntaxCase{"\"\xED\xA0\x80\"", "invalid UTF-8 in string at line 1 column 2"},      // a surrogate
    SyntaxCase{"\"\xF4\x90\x80\x80\"", "invalid UTF-8 in string at line 1 column 2"},  // beyond U+10FFFF
    SyntaxCase{"\"\xC3\xA9\x80\"", "invalid UTF-8 in string at line 1 column 3"},      // stray continuation
    SyntaxCase{"\"\xE2\x82", "EOF while parsing a string at line 1 column 2"}));

// Lines count line feeds; columns count characters, a line feed ending its line.
INSTANTIATE_TEST_SUITE_P(Positions, JsonSyntax, testing::Values(
    SyntaxCase{"{\n  \"a\": 1,\n  \"b\" 2\n}", "expected `:` at line 3 column 7"},
    SyntaxCase{"[1]\n\n  ]", "trailing characters at line 3 column 3"},
    SyntaxCase{"{\n", "EOF while parsing an object at line 1 column 2"},
    SyntaxCase{"[\n1,\n", "EOF while parsing a value at line 2 column 3"},
    SyntaxCase{"[\"new\nline\"]", "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 6"},
    SyntaxCase{"\r\n\r\n x", "expected value at line 3 column 2"},
    SyntaxCase{"[\"\xC3\xA9\xF0\x9F\x98\x80\", tru]", "expected ident at line 1 column 11"}));

TEST(JsonReader, DecodesStringsAndKeys) {
    Reader reader("{\"k\\u0065y\": \"a\\u00e9\\uD83D\\uDE00\\n\\/\\\"\", \"plain\": \"x\xC3\xA9\"}");
    ASSERT_TRUE(reader.begin_object());
    auto key = reader.next_key();
    ASSERT_TRUE(key && *key);
    EXPECT_EQ(**key, "key");
    auto value = reader.read_scalar();
    ASSERT_TRUE(value);
    EXPECT_EQ(value->text, "a\xC3\xA9\xF0\x9F\x98\x80\n/\"");
    key = reader.next_key();
    ASSERT_TRUE(key && *key);
    EXPECT_EQ(**key, "plain");
    value = reader.read_scalar();
    ASSERT_TRUE(value);
    EXPECT_EQ(value->text, "x\xC3\xA9");
    key = reader.next_key();
    ASSERT_TRUE(key);
    EXPECT_FALSE(*key);
    EXPECT_TRUE(reader.finish());
}

TEST(JsonReader, ReadsScalarsAndLeavesContainersAtTheirBracket) {
    Reader reader(" [ -2.5e3 , 7, -0, true, null, \"s\", {\"s\": [[]]}, [1] ] ");
    ASSERT_TRUE(reader.begin_array());
    std::vector<std::string> seen;
    while (true) {
        auto more = reader.next_item();
        ASSERT_TRUE(more);
        if (!*more) break;
        auto value = reader.read_scalar();
        ASSERT_TRUE(value);
        seen.push_back(std::to_string(static_cast<int>(value->kind)) + ":" + std::string(value->text) +
                       (value->negative ? " neg" : "") + (value->integral ? " int" : ""));
        if (value->kind == Kind::Object || value->kind == Kind::Array) {
            ASSERT_TRUE(reader.skip_value());
        }
    }
    EXPECT_TRUE(reader.finish());
    EXPECT_EQ(seen, (std::vector<std::string>{"3:-2.5e3 neg", "3:7 int", "3:-0 neg int", "4:true", "5:null", "2:s",
                                              "0:", "1:"}));
}

// The conformance corpus: y_ files must be accepted, n_ files refused at a place
// inside the text, i_ files answered either way.
class JsonConformance : public testing::Test {
protected:
    // The corpus lives outside the repository; ORBWEAVE_SHARED_DATA names its folder.
    void SetUp() override {
        const char* shared = std::getenv("ORBWEAVE_SHARED_DATA");
        if (!shared || !*shared) GTEST_SKIP() << "ORBWEAVE_SHARED_DATA is not set: no JSON conformance corpus";
        directory_ = std::filesystem::path(shared) / "json-test-suite" / "test_parsing";
        if (!std::filesystem::is_directory(directory_)) GTEST_SKIP() << "no corpus at " << directory_;
    }

    std::vector<std::filesystem::path> files(char prefix) const {
        std::vector<std::filesystem::path> found;
        for (const auto& entry : std::filesystem::directory_iterator(directory_))
            if (entry.path().filename().string().starts_with(std::string(1, prefix) + "_")) found.push_back(entry.path());
        std::sort(found.begin(), found.end());
        return found;
    }

    static std::string contents(const std::filesystem::path& path) {
        std::ifstream file(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }

    std::filesystem::path directory_;
};

// Characters of each line, a line feed counted on the line it ends.
std::vector<size_t> line_lengths(std::string_view text) {
    std::vector<size_t> lengths{0};
    for (const char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++lengths.back();
        if (c == '\n') lengths.push_back(0);
    }
    return lengths;
}

TEST_F(JsonConformance, AcceptsEveryValidText) {
    const auto paths = files('y');
    EXPECT_GT(paths.size(), 90u);
    for (const auto& path : paths) EXPECT_EQ(syntax_outcome(contents(path)), "ok") << path.filename();
}

TEST_F(JsonConformance, RefusesEveryInvalidTextAtAPlaceInsideIt) {
    const auto paths = files('n');
    EXPECT_GT(paths.size(), 180u);
    for (const auto& path : paths) {
        const std::string text = contents(path);
        const auto result = check_syntax(text);
        ASSERT_FALSE(result) << path.filename();
        const auto lengths = line_lengths(text);
        const Error& error = result.error();
        ASSERT_GE(error.line, 1u) << path.filename();
        ASSERT_LE(error.line, lengths.size()) << path.filename();
        EXPECT_LE(error.column, lengths[error.line - 1]) << path.filename();
        EXPECT_TRUE(error.column >= 1 || text.empty()) << path.filename();
    }
}

TEST_F(JsonConformance, AnswersEveryImplementationDefinedText) {
    for (const auto& path : files('i')) {
        const auto result = check_syntax(contents(path));
        EXPECT_TRUE(result || !result.error().message.empty()) << path.filename();
    }
}

}  // namespace

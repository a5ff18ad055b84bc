#pragma once
// A strict RFC 8259 JSON reader with a pull interface: the caller walks the text
// value by value (begin an object, take the next key, read a scalar value, skip
// a value of any type) and decides what each value means.
// There is no document tree; strings are handed out as views into the text, or
// into one reused buffer when they hold escapes.
// Written by hand because every fault must carry its own fixed text with the line
// and column where it was found, which general JSON libraries word differently.
//
// Accepted: exactly the JSON grammar. Whitespace is space, tab, line feed and
// carriage return. Strings must be valid UTF-8 without raw control characters;
// \u escapes must pair surrogates correctly. Nesting deeper than 128 arrays and
// objects is refused. Numbers are checked for their grammar only; what range a
// number must have is the caller's concern.
//
// Every fault carries a message and the place where it was found: the line and
// column of the last character read, both 1-based, the column counting the
// characters (code points, not bytes) of its line, a line feed being the last
// character of the line it ends. A character that reveals a fault counts as read,
// so a bad character is reported at its own place, and a fault at the end of the
// input at the input's last character. Empty input gives line 1 column 0.
#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>

namespace orbweave::json {

// Fault texts.
namespace fault {
inline constexpr std::string_view kEofInObject = "EOF while parsing an object";
inline constexpr std::string_view kEofInList = "EOF while parsing a list";
inline constexpr std::string_view kEofInString = "EOF while parsing a string";
inline constexpr std::string_view kEofInValue = "EOF while parsing a value";
inline constexpr std::string_view kExpectedValue = "expected value";
inline constexpr std::string_view kExpectedIdent = "expected ident";
inline constexpr std::string_view kExpectedColon = "expected `:`";
inline constexpr std::string_view kExpectedObjectCommaOrEnd = "expected `,` or `}`";
inline constexpr std::string_view kExpectedListCommaOrEnd = "expected `,` or `]`";
inline constexpr std::string_view kKeyMustBeString = "key must be a string";
inline constexpr std::string_view kInvalidNumber = "invalid number";
inline constexpr std::string_view kNumberOutOfRange = "number out of range";
inline constexpr std::string_view kInvalidEscape = "invalid escape";
inline constexpr std::string_view kControlCharacter =
    "control character (\\u0000-\\u001F) found while parsing a string";
inline constexpr std::string_view kLoneLeadingSurrogate = "lone leading surrogate in hex escape";
inline constexpr std::string_view kLoneTrailingSurrogate = "lone trailing surrogate in hex escape";
inline constexpr std::string_view kInvalidUtf8 = "invalid UTF-8 in string";
inline constexpr std::string_view kTrailingCharacters = "trailing characters";
inline constexpr std::string_view kTrailingComma = "trailing comma";
inline constexpr std::string_view kRecursionLimit = "recursion limit exceeded";
}  // namespace fault

inline constexpr int kMaxDepth = 128;

struct Error {
    std::string message;
    size_t line = 1;
    size_t column = 0;

    // "<message> at line L column C"
    std::string text() const;
    friend bool operator==(const Error&, const Error&) = default;
};

// A failed step. The reader keeps the error itself (see Reader::error()), so that
// the results of its many small steps stay small and cheap to pass back.
struct Failed {};
inline constexpr std::unexpected<Failed> kFailed{Failed{}};

template <class T>
using Result = std::expected<T, Failed>;

enum class Kind : uint8_t { Object, Array, String, Number, Bool, Null };

// A scalar value: a string's decoded text, or a number, `true`, `false` or `null`
// as written (a number's grammar already checked). For an object or an array
// only the kind is given.
struct Scalar {
    Kind kind = Kind::Null;
    std::string_view text;
    bool negative = false;  // a number written with a minus sign
    bool integral = false;  // a number with neither a fraction nor an exponent
};

class Reader {
public:
    explicit Reader(std::string_view text) noexcept : text_(text) {}

    // Reads the next value when it is a scalar; its text is valid until the next
    // call on the reader. For an object or array only its kind is returned and the
    // reader stays at the opening bracket, for begin_object(), begin_array() or
    // skip_value() to go on.
    Result<Scalar> read_scalar();

    // Enter an object; then next_key() until it returns nullopt (the object has
    // closed), reading or skipping one value after each key. The key view is valid
    // until the next call on the reader.
    Result<void> begin_object();
    Result<std::optional<std::string_view>> next_key();
    // Enter an array; then next_item() until it returns false, reading or skipping
    // one value each time it returns true.
    Result<void> begin_array();
    Result<bool> next_item();

    Result<void> skip_value();
    // After the top-level value: only whitespace may follow.
    Result<void> finish();

    // The first fault found, once a step has failed.
    const Error& error() const { return error_; }
    Error take_error() { return std::move(error_); }
    // Record a fault found after the last character read, or at the next
    // character (the bracket where read_scalar() stopped); for the caller's own
    // checks of the values it reads.
    std::unexpected<Failed> fail(std::string_view message);
    std::unexpected<Failed> fail_at_next(std::string_view message);

private:
    bool at_end() const { return pos_ >= text_.size(); }
    unsigned char current() const { return static_cast<unsigned char>(text_[pos_]); }
    // Most values follow their separator directly or after one blank, so those
    // cases stay inline.
    void skip_whitespace() {
        if (!at_end() && current() == ' ') ++pos_;
        if (!at_end() && current() > ' ') return;
        skip_whitespace_run();
    }
    void skip_whitespace_run();
    size_t run_end(uint8_t byte_class) const;  // end of the run of bytes of a class at pos_
    Error located(std::string_view message) const;

    // The kind of the next value, found from its first character; reads the `:`
    // after a key and the whitespace before the value.
    Result<Kind> peek();
    Result<void> enter(Kind wanted);
    Result<void> read_pending_colon();
    Result<void> expect_word(std::string_view word);
    Result<void> read_number_body(Scalar& number);
    Result<void> read_integer_part();
    Result<void> read_digits();
    Result<std::string_view> read_string_body();
    Result<std::string_view> read_string_rest(size_t start);
    Result<void> read_escape();
    Result<uint32_t> read_hex4();
    Result<void> read_utf8_sequence();

    std::string_view text_;
    size_t pos_ = 0;  // next byte to read
    int depth_ = 0;
    bool after_open_ = false;     // a `{` or `[` has just been read
    bool pending_colon_ = false;  // a key has been read, its `:` not yet
    std::string scratch_;         // decoded text of a string holding escapes
    Error error_;
};

// Reads one JSON text completely and reports its first fault.
std::expected<void, Error> check_syntax(std::string_view text);

}  // namespace orbweave::json

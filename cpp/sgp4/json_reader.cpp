#include "sgp4/json_reader.hpp"

#include <algorithm>
#include <array>
#include <bit>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <utility>

#include "util/panic.hpp"

namespace orbweave::json {

// The steps marked always_inline run for nearly every byte or value; inlining
// them into their few callers keeps the position in a register and makes the
// OMM reader about a quarter faster.

namespace {

bool is_digit(unsigned char c) { return c >= '0' && c <= '9'; }

int hex_value(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Bytes of the character that starts at `i`: a lead byte with the continuation
// bytes it announces and that are present, or a lone byte that starts nothing.
size_t character_length(std::string_view bytes, size_t i) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const size_t announced = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF8 ? 4 : 1;
    size_t length = 1;
    while (length < announced && i + length < bytes.size() &&
           (static_cast<unsigned char>(bytes[i + length]) & 0xC0) == 0x80)
        ++length;
    return length;
}

size_t count_characters(std::string_view bytes) {
    size_t count = 0;
    for (size_t i = 0; i < bytes.size(); i += character_length(bytes, i)) ++count;
    return count;
}

void append_utf8(std::string& out, uint32_t code_point) {
    if (code_point < 0x80) {
        out += static_cast<char>(code_point);
    } else if (code_point < 0x800) {
        out += static_cast<char>(0xC0 | (code_point >> 6));
        out += static_cast<char>(0x80 | (code_point & 0x3F));
    } else if (code_point < 0x10000) {
        out += static_cast<char>(0xE0 | (code_point >> 12));
        out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code_point & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code_point >> 18));
        out += static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code_point & 0x3F));
    }
}

// Character classes for the loops that step over runs of bytes.
enum ByteClass : uint8_t { kWhitespace = 1, kDigit = 2, kPlainInString = 4 };

constexpr auto kByteClasses = [] {
    std::array<uint8_t, 256> classes{};
    for (const char c : {' ', '\t', '\n', '\r'}) classes[static_cast<unsigned char>(c)] |= kWhitespace;
    for (int c = '0'; c <= '9'; ++c) classes[static_cast<size_t>(c)] |= kDigit;
    // Bytes that stand for themselves inside a string: printable ASCII but `"` and `\`.
    for (int c = 0x20; c < 0x80; ++c)
        if (c != '"' && c != '\\') classes[static_cast<size_t>(c)] |= kPlainInString;
    return classes;
}();

// The kind of value each byte starts, if any.
constexpr auto kValueStarts = [] {
    std::array<std::optional<Kind>, 256> kinds{};
    kinds['{'] = Kind::Object;
    kinds['['] = Kind::Array;
    kinds['"'] = Kind::String;
    kinds['t'] = kinds['f'] = Kind::Bool;
    kinds['n'] = Kind::Null;
    kinds['-'] = Kind::Number;
    for (int c = '0'; c <= '9'; ++c) kinds[static_cast<size_t>(c)] = Kind::Number;
    return kinds;
}();

std::optional<Kind> kind_starting_with(unsigned char c) { return kValueStarts[c]; }

#if defined(__SSE2__)
// Bit i is set when byte i of `block` is not of `byte_class`. Signed comparisons
// put the bytes from 0x80 up below every ASCII bound.
unsigned outside_class(__m128i block, uint8_t byte_class) {
    const auto equal = [block](char c) { return _mm_cmpeq_epi8(block, _mm_set1_epi8(c)); };
    __m128i outside;
    if (byte_class == kDigit) {
        outside = _mm_or_si128(_mm_cmplt_epi8(block, _mm_set1_epi8('0')), _mm_cmpgt_epi8(block, _mm_set1_epi8('9')));
    } else if (byte_class == kPlainInString) {
        outside = _mm_or_si128(_mm_or_si128(equal('"'), equal('\\')), _mm_cmplt_epi8(block, _mm_set1_epi8(0x20)));
    } else {
        const __m128i inside =
            _mm_or_si128(_mm_or_si128(equal(' '), equal('\t')), _mm_or_si128(equal('\n'), equal('\r')));
        outside = _mm_xor_si128(inside, _mm_set1_epi8(-1));
    }
    return static_cast<unsigned>(_mm_movemask_epi8(outside));
}
#endif

bool is_leading_surrogate(uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool is_trailing_surrogate(uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

std::string Error::text() const {
    return message + " at line " + std::to_string(line) + " column " + std::to_string(column);
}

Error Reader::located(std::string_view message) const {
    if (pos_ == 0) return Error{std::string(message), 1, 0};
    // A line feed belongs to the line it ends.
    const std::string_view before_last = text_.substr(0, pos_ - 1);
    const size_t last_newline = before_last.rfind('\n');
    const size_t line_start = last_newline == std::string_view::npos ? 0 : last_newline + 1;
    const auto newlines = static_cast<size_t>(std::count(before_last.begin(), before_last.end(), '\n'));
    return Error{std::string(message), newlines + 1, count_characters(text_.substr(line_start, pos_ - line_start))};
}

std::unexpected<Failed> Reader::fail(std::string_view message) {
    error_ = located(message);
    return kFailed;
}

std::unexpected<Failed> Reader::fail_at_next(std::string_view message) {
    if (!at_end()) ++pos_;
    return fail(message);
}

// Sixteen bytes at a time where SSE2 is at hand, then byte by byte. Works on a
// local copy of the position: stores to `pos_` through `this` would otherwise be
// repeated for every byte, since the text's chars may alias it.
[[gnu::always_inline]] inline size_t Reader::run_end(uint8_t byte_class) const {
    const char* const data = text_.data();
    const size_t size = text_.size();
    size_t pos = pos_;
#if defined(__SSE2__)
    constexpr size_t kBlock = sizeof(__m128i);
    for (; pos + kBlock <= size; pos += kBlock) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + pos));
        if (const unsigned outside = outside_class(block, byte_class); outside != 0)
            return pos + static_cast<size_t>(std::countr_zero(outside));
    }
#endif
    while (pos < size && (kByteClasses[static_cast<unsigned char>(data[pos])] & byte_class) != 0) ++pos;
    return pos;
}

void Reader::skip_whitespace_run() { pos_ = run_end(kWhitespace); }

[[gnu::always_inline]] inline Result<void> Reader::read_pending_colon() {
    skip_whitespace();
    if (at_end()) return fail(fault::kEofInObject);
    if (current() != ':') return fail_at_next(fault::kExpectedColon);
    ++pos_;
    pending_colon_ = false;
    return {};
}

[[gnu::always_inline]] inline Result<Kind> Reader::peek() {
    if (pending_colon_) {
        if (!read_pending_colon()) return kFailed;
    }
    skip_whitespace();
    if (at_end()) return fail(fault::kEofInValue);
    if (const auto kind = kind_starting_with(current())) return *kind;
    return fail_at_next(fault::kExpectedValue);
}

// Steps over the opening bracket of a container of the kind the caller expects.
Result<void> Reader::enter(Kind wanted) {
    auto kind = peek();
    if (!kind) return kFailed;
    if (*kind != wanted) panic("JSON reader: container entered where there is none");
    if (depth_ == kMaxDepth) return fail_at_next(fault::kRecursionLimit);
    ++depth_;
    ++pos_;
    after_open_ = true;
    return {};
}

Result<void> Reader::begin_object() { return enter(Kind::Object); }

Result<void> Reader::begin_array() { return enter(Kind::Array); }

Result<std::optional<std::string_view>> Reader::next_key() {
    skip_whitespace();
    if (at_end()) return fail(fault::kEofInObject);
    const bool first = std::exchange(after_open_, false);
    if (current() == '}') {
        ++pos_;
        --depth_;
        return std::nullopt;
    }
    if (!first) {
        if (current() != ',') return fail_at_next(fault::kExpectedObjectCommaOrEnd);
        ++pos_;
        skip_whitespace();
        if (at_end()) return fail(fault::kEofInObject);
        if (current() == '}') return fail_at_next(fault::kTrailingComma);
    }
    if (current() != '"') return fail_at_next(fault::kKeyMustBeString);
    auto key = read_string_body();
    if (!key) return kFailed;
    pending_colon_ = true;
    return *key;
}

Result<bool> Reader::next_item() {
    skip_whitespace();
    if (at_end()) return fail(fault::kEofInList);
    const bool first = std::exchange(after_open_, false);
    if (current() == ']') {
        ++pos_;
        --depth_;
        return false;
    }
    if (!first) {
        if (current() != ',') return fail_at_next(fault::kExpectedListCommaOrEnd);
        ++pos_;
        skip_whitespace();
        if (!at_end() && current() == ']') return fail_at_next(fault::kTrailingComma);
    }
    return true;
}

Result<Scalar> Reader::read_scalar() {
    auto kind = peek();
    if (!kind) return kFailed;
    Scalar scalar;
    scalar.kind = *kind;
    const size_t start = pos_;
    switch (*kind) {
        case Kind::Object:
        case Kind::Array: return scalar;
        case Kind::String: {
            auto text = read_string_body();
            if (!text) return kFailed;
            scalar.text = *text;
            return scalar;
        }
        case Kind::Number:
            if (!read_number_body(scalar)) return kFailed;
            break;
        case Kind::Bool:
            if (!expect_word(current() == 't' ? "true" : "false")) return kFailed;
            break;
        case Kind::Null:
            if (!expect_word("null")) return kFailed;
            break;
    }
    scalar.text = text_.substr(start, pos_ - start);
    return scalar;
}

// Reads from the opening quote to the closing one. A string of plain bytes only
// is handed out as a view into the input at once.
[[gnu::always_inline]] inline Result<std::string_view> Reader::read_string_body() {
    const size_t start = ++pos_;
    pos_ = run_end(kPlainInString);
    if (at_end() || current() != '"') return read_string_rest(start);
    return text_.substr(start, pos_++ - start);
}

// The rest of a string that holds escapes or multi-byte characters, or is faulty.
// Once an escape appears the decoded text is built in `scratch_`.
Result<std::string_view> Reader::read_string_rest(size_t start) {
    bool decoded = false;
    while (true) {
        if (at_end()) return fail(fault::kEofInString);
        const unsigned char c = current();
        if (c == '"') {
            const std::string_view body = decoded ? std::string_view(scratch_) : text_.substr(start, pos_ - start);
            ++pos_;
            return body;
        }
        size_t copy_from = pos_;
        if (c == '\\') {
            if (!decoded) scratch_.assign(text_.substr(start, pos_ - start));
            decoded = true;
            ++pos_;
            if (!read_escape()) return kFailed;
            copy_from = pos_;
        } else if (c < 0x20) {
            return fail_at_next(fault::kControlCharacter);
        } else if (auto sequence = read_utf8_sequence(); !sequence) {
            return kFailed;
        }
        pos_ = run_end(kPlainInString);
        if (decoded) scratch_.append(text_.substr(copy_from, pos_ - copy_from));
    }
}

// Reads the escape after a backslash and appends what it stands for to `scratch_`.
Result<void> Reader::read_escape() {
    if (at_end()) return fail(fault::kEofInString);
    const unsigned char c = current();
    ++pos_;
    switch (c) {
        case '"': scratch_ += '"'; return {};
        case '\\': scratch_ += '\\'; return {};
        case '/': scratch_ += '/'; return {};
        case 'b': scratch_ += '\b'; return {};
        case 'f': scratch_ += '\f'; return {};
        case 'n': scratch_ += '\n'; return {};
        case 'r': scratch_ += '\r'; return {};
        case 't': scratch_ += '\t'; return {};
        case 'u': break;
        default: return fail(fault::kInvalidEscape);
    }
    auto unit = read_hex4();
    if (!unit) return kFailed;
    uint32_t code_point = *unit;
    if (is_trailing_surrogate(code_point)) return fail(fault::kLoneTrailingSurrogate);
    if (is_leading_surrogate(code_point)) {
        for (const char expected : {'\\', 'u'}) {
            if (at_end()) return fail(fault::kEofInString);
            if (current() != static_cast<unsigned char>(expected)) return fail_at_next(fault::kLoneLeadingSurrogate);
            ++pos_;
        }
        auto low = read_hex4();
        if (!low) return kFailed;
        if (!is_trailing_surrogate(*low)) return fail(fault::kLoneLeadingSurrogate);
        code_point = 0x10000 + ((code_point - 0xD800) << 10) + (*low - 0xDC00);
    }
    append_utf8(scratch_, code_point);
    return {};
}

Result<uint32_t> Reader::read_hex4() {
    uint32_t unit = 0;
    for (int i = 0; i < 4; ++i) {
        if (at_end()) return fail(fault::kEofInString);
        const int digit = hex_value(current());
        if (digit < 0) return fail_at_next(fault::kInvalidEscape);
        unit = unit * 16 + static_cast<uint32_t>(digit);
        ++pos_;
    }
    return unit;
}

// Reads one multi-byte UTF-8 character (RFC 3629: no overlong forms, no encoded
// surrogates, nothing above U+10FFFF). A bad sequence is reported at its first byte.
Result<void> Reader::read_utf8_sequence() {
    const size_t lead_at = pos_;
    const unsigned char lead = current();
    size_t length = 0;
    unsigned char second_min = 0x80, second_max = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) second_min = 0xA0;
        if (lead == 0xED) second_max = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) second_min = 0x90;
        if (lead == 0xF4) second_max = 0x8F;
    } else {
        ++pos_;
        return fail(fault::kInvalidUtf8);
    }
    for (size_t n = 1; n < length; ++n) {
        if (lead_at + n >= text_.size()) {
            pos_ = text_.size();
            return fail(fault::kEofInString);
        }
        const auto byte = static_cast<unsigned char>(text_[lead_at + n]);
        const bool fits = n == 1 ? byte >= second_min && byte <= second_max : (byte & 0xC0) == 0x80;
        if (!fits) {
            pos_ = lead_at + 1;
            return fail(fault::kInvalidUtf8);
        }
    }
    pos_ = lead_at + length;
    return {};
}

[[gnu::always_inline]] inline Result<void> Reader::read_number_body(Scalar& number) {
    number.negative = current() == '-';
    if (number.negative) ++pos_;
    if (!read_integer_part()) return kFailed;
    number.integral = true;
    if (!at_end() && current() == '.') {
        ++pos_;
        number.integral = false;
        if (!read_digits()) return kFailed;
    }
    if (!at_end() && (current() == 'e' || current() == 'E')) {
        ++pos_;
        number.integral = false;
        if (!at_end() && (current() == '+' || current() == '-')) ++pos_;
        if (!read_digits()) return kFailed;
    }
    return {};
}

// Zero, or digits without a leading zero.
[[gnu::always_inline]] inline Result<void> Reader::read_integer_part() {
    if (at_end()) return fail(fault::kEofInValue);
    if (current() != '0') return read_digits();
    ++pos_;
    if (!at_end() && is_digit(current())) return fail_at_next(fault::kInvalidNumber);
    return {};
}

// One or more digits.
[[gnu::always_inline]] inline Result<void> Reader::read_digits() {
    if (at_end()) return fail(fault::kEofInValue);
    if (!is_digit(current())) return fail_at_next(fault::kInvalidNumber);
    pos_ = run_end(kDigit);
    return {};
}

[[gnu::always_inline]] inline Result<void> Reader::expect_word(std::string_view word) {
    for (const char c : word) {
        if (at_end()) return fail(fault::kEofInValue);
        if (current() != static_cast<unsigned char>(c)) return fail_at_next(fault::kExpectedIdent);
        ++pos_;
    }
    return {};
}

Result<void> Reader::skip_value() {
    auto value = read_scalar();
    if (!value) return kFailed;
    if (value->kind == Kind::Object) {
        if (!begin_object()) return kFailed;
        while (true) {
            auto key = next_key();
            if (!key) return kFailed;
            if (!*key) return {};
            if (!skip_value()) return kFailed;
        }
    }
    if (value->kind == Kind::Array) {
        if (!begin_array()) return kFailed;
        while (true) {
            auto more = next_item();
            if (!more) return kFailed;
            if (!*more) return {};
            if (!skip_value()) return kFailed;
        }
    }
    return {};
}

Result<void> Reader::finish() {
    skip_whitespace();
    if (!at_end()) return fail_at_next(fault::kTrailingCharacters);
    return {};
}

std::expected<void, Error> check_syntax(std::string_view text) {
    Reader reader(text);
    if (!reader.skip_value() || !reader.finish()) return std::unexpected(reader.take_error());
    return {};
}

}  // namespace orbweave::json

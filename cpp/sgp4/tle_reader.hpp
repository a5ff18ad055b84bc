#pragma once
// The strict two-line element set reader. It turns a name line and two 69-byte
// data lines into an element record, checking every length, fixed character,
// checksum and field, and stops at the first fault with an error naming the fault,
// the line and the byte range.
//
// Lines are byte strings: lengths and positions count bytes, not characters, so a
// line holding a multi-byte UTF-8 character is longer than it looks. The reader
// never reads outside the given lines.
#include <cstddef>
#include <cstdint>
#include <expected>
#include <string>
#include <string_view>

#include "sgp4/elements.hpp"

namespace orbweave::sgp4 {

enum class TleErrorKind : uint8_t {
    BadChecksum,
    BadLength,
    BadFirstCharacter,
    ExpectedFloat,
    ExpectedFloatWithAssumedDecimalPoint,
    ExpectedInteger,
    ExpectedAlpha5,
    ExpectedSpace,
    ExpectedString,
    FloatWithAssumedDecimalPointTooLong,
    NoradIdMismatch,
    UnknownClassification,
    FromYoOptFailed,
    FromNumSecondsFromMidnightFailed,
};

enum class TleErrorLine : uint8_t { Line1, Line2, Both };

std::string_view tle_error_kind_text(TleErrorKind kind);
std::string_view tle_error_line_text(TleErrorLine line);

// A reader fault: which check failed, on which line, over which half-open byte
// range [start, end) counted from 0.
struct TleError {
    TleErrorKind what;
    TleErrorLine line;
    size_t start;
    size_t end;

    // "TLE parse error: <what> <line> between characters <start> and <end>"
    std::string text() const;
    friend bool operator==(const TleError&, const TleError&) = default;
};

// Reads one TLE. The name is recorded as given, even when empty; nothing else of
// the record is optional except the international designator (absent when its
// columns are blank).
std::expected<ElementRecord, TleError> read_tle(std::string_view name, std::string_view line1,
                                                std::string_view line2);

}  // namespace orbweave::sgp4

#pragma once
// The EPOCH value of an OMM: YYYY-MM-DDTHH:MM:SS with an optional fraction of a
// second (a point and one or more digits; digits beyond the ninth are dropped),
// read as UTC. Every field has its fixed width; the separators are exactly `-`,
// `T` and `:`; no zone designator or offset may follow. Second 60 is a leap
// second and becomes the instant's leap form (second 59 plus one second of
// nanoseconds), at whatever minute it stands, as instants allow.
//
// The first fault in reading order decides the text:
// - a character that is not the digit or separator expected: "input contains
//   invalid characters";
// - a field outside its own range (month 1-12, day 1-31, hour 0-23, minute 0-59,
//   second 0-60): "input is out of range";
// - a date that ends where the time should start: "input is not enough for unique
//   date and time"; any other text that stops early (inside a field, after
//   another separator, after a bare point): "premature end of input";
// - anything after the seconds and fraction: "trailing input";
// - fields each in range that name no day (February 30, February 29 of a common
//   year): "no possible date and time matching input".
#include <expected>
#include <string_view>

#include "time/instant.hpp"

namespace orbweave::sgp4 {

namespace epoch_fault {
inline constexpr std::string_view kInvalidCharacters = "input contains invalid characters";
inline constexpr std::string_view kPrematureEnd = "premature end of input";
inline constexpr std::string_view kOutOfRange = "input is out of range";
inline constexpr std::string_view kImpossible = "no possible date and time matching input";
inline constexpr std::string_view kNotEnough = "input is not enough for unique date and time";
inline constexpr std::string_view kTrailingInput = "trailing input";
}  // namespace epoch_fault

// The instant, or the fault text.
std::expected<time::Instant, std::string_view> parse_omm_epoch(std::string_view text);

}  // namespace orbweave::sgp4

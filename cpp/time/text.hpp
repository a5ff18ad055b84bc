#pragma once
// Texts of time values used in reprs and error messages.
#include <string>

#include "time/duration.hpp"
#include "time/instant.hpp"

namespace orbweave::time {

// "2024-05-01 10:00:00 UTC"; a fractional second of 3, 6 or 9 digits (the fewest
// that are exact) only when it is not zero; a leap second shows as second 60.
// Years outside 0..9999 carry a sign and at least four digits ("+10000", "-0001").
std::string instant_text(Instant t);

// Compact unit form of a duration: "0s", "1h", "1m 30s", "2days",
// "1year 2months 3days 4h 5m 6s 7ms 8us 9ns"; a negative one is "-" and the form
// of its magnitude.
std::string compact_duration_text(Duration d);

}  // namespace orbweave::time

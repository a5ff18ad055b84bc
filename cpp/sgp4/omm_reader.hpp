#pragma once
// The OMM JSON reader: one CCSDS Orbit Mean-Elements Message, as published by
// Celestrak (numbers) or Space-Track (every value a string), read into an element
// record. The text is streamed through the JSON reader straight into the record.
//
// The value is an object keyed by the 17 OMM names (matched exactly; other keys
// are skipped whatever their value, a repeated OMM key is refused), or an array
// of exactly 17 values in record order. Only OBJECT_NAME and OBJECT_ID may be
// absent; no default applies to any other field. Values:
// - names: a string, or null for absent;
// - NORAD_CAT_ID, ELEMENT_SET_NO, REV_AT_EPOCH, EPHEMERIS_TYPE: a JSON integer
//   that is not negative (-0 reads as 0), or a string of an optional `+` and
//   digits; an integer beyond the field's type, in either form, is "number too
//   large to fit in target type" (so EPHEMERIS_TYPE 256 is refused);
// - the nine doubles: a JSON number within the double range, or a string of
//   decimal float text (where inf, infinity and nan are words too);
// - CLASSIFICATION_TYPE: the string "U", "C" or "S";
// - EPOCH: a string as parse_omm_epoch reads it.
// A value fault is reported at the value's last character, or at the opening
// bracket when an array or object stands where a field wants a scalar.
#include <expected>
#include <string_view>

#include "sgp4/elements.hpp"
#include "sgp4/json_reader.hpp"

namespace orbweave::sgp4 {

// message, line, column and text() "<message> at line L column C"; positions
// follow the JSON reader's convention.
using OmmError = json::Error;

std::expected<ElementRecord, OmmError> read_omm_json(std::string_view text);

}  // namespace orbweave::sgp4

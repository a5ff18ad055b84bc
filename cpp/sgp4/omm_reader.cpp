#include "sgp4/omm_reader.hpp"

#include <algorithm>
#include <array>
#include <bitset>
#include <cmath>
#include <optional>
#include <string>

#include "sgp4/omm_epoch.hpp"
#include "sgp4/text_numbers.hpp"
#include "util/number_text.hpp"

namespace orbweave::sgp4 {

namespace {

using json::kFailed;
using json::Kind;
using json::Reader;
using json::Result;
using json::Scalar;

// The OMM fields in record order, which is also the order of the array form.
enum class Field : uint8_t {
    ObjectName, ObjectId, NoradCatId, ClassificationType, Epoch, MeanMotionDot, MeanMotionDdot, Bstar,
    ElementSetNo, Inclination, RaOfAscNode, Eccentricity, ArgOfPericenter, MeanAnomaly, MeanMotion,
    RevAtEpoch, EphemerisType,
};
constexpr size_t kFieldCount = 17;

constexpr std::array<std::string_view, kFieldCount> kKeys = {
    "OBJECT_NAME",    "OBJECT_ID",      "NORAD_CAT_ID", "CLASSIFICATION_TYPE", "EPOCH",
    "MEAN_MOTION_DOT", "MEAN_MOTION_DDOT", "BSTAR",      "ELEMENT_SET_NO",      "INCLINATION",
    "RA_OF_ASC_NODE", "ECCENTRICITY",   "ARG_OF_PERICENTER", "MEAN_ANOMALY",   "MEAN_MOTION",
    "REV_AT_EPOCH",   "EPHEMERIS_TYPE",
};

// Every field but the two names must be present; the first absent one in this
// order is reported.
constexpr std::array kRequired = {
    Field::NoradCatId,   Field::ClassificationType, Field::Epoch,        Field::MeanMotionDot,
    Field::MeanMotionDdot, Field::Bstar,            Field::ElementSetNo, Field::Inclination,
    Field::RaOfAscNode,  Field::Eccentricity,       Field::ArgOfPericenter, Field::MeanAnomaly,
    Field::MeanMotion,   Field::RevAtEpoch,         Field::EphemerisType,
};

constexpr std::string_view kNotU64 = "parsing the number as u64 failed";
constexpr std::string_view kExpectedU64 = "expected a u64 or string";
constexpr std::string_view kExpectedF64 = "expected a f64 or string";
constexpr std::string_view kClassificationLetters = "one of `U`, `C`, `S`";

size_t index_of(Field field) { return static_cast<size_t>(field); }

// Keys are found through a small hash table: the slot of every OMM key is
// distinct, so one comparison decides.
constexpr size_t kKeySlots = 64;
constexpr size_t key_slot(std::string_view key) {
    return (key.size() * 5 + static_cast<unsigned char>(key.front()) + static_cast<unsigned char>(key.back()) * 2) %
           kKeySlots;
}
constexpr uint8_t kNoField = 0xFF;
constexpr auto kFieldBySlot = [] {
    std::array<uint8_t, kKeySlots> fields{};
    fields.fill(kNoField);
    for (size_t i = 0; i < kFieldCount; ++i) fields[key_slot(kKeys[i])] = static_cast<uint8_t>(i);
    return fields;
}();
static_assert(std::ranges::count(kFieldBySlot, kNoField) == kKeySlots - kFieldCount, "two OMM keys share a slot");

std::optional<Field> field_of(std::string_view key) {
    if (key.empty()) return std::nullopt;
    const uint8_t field = kFieldBySlot[key_slot(key)];
    if (field == kNoField || kKeys[field] != key) return std::nullopt;
    return static_cast<Field>(field);
}

std::string backquoted(std::string_view text) {
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted.append(1, '`').append(text).append(1, '`');
    return quoted;
}

bool is_container(Kind kind) { return kind == Kind::Object || kind == Kind::Array; }

// A fault in a value: after a scalar, which has been read, or at the opening
// bracket of an object or array, which has not.
std::unexpected<json::Failed> refuse(Reader& reader, const Scalar& value, std::string_view message) {
    return is_container(value.kind) ? reader.fail_at_next(message) : reader.fail(message);
}

// A double as the type errors show it: always with a point ("5.0", "0.25").
std::string float_text(double value) {
    std::string text = shortest_decimal(value);
    if (text.find('.') == std::string::npos) text += ".0";
    return text;
}

// A number value as a double; JSON number grammar is a subset of float text.
double number_value(const Scalar& number) { return *parse_f64(number.text); }

// "invalid type: <what the value is>, expected <expected>".
std::unexpected<json::Failed> invalid_type(Reader& reader, const Scalar& value, std::string_view expected) {
    std::string what;
    switch (value.kind) {
        case Kind::Object: what = "map"; break;
        case Kind::Array: what = "sequence"; break;
        case Kind::Null: what = "null"; break;
        case Kind::Bool: what = "boolean " + backquoted(value.text); break;
        case Kind::String: what = "string \"" + std::string(value.text) + "\""; break;
        case Kind::Number:
            if (value.integral) {
                what = "integer " + backquoted(value.text);
            } else {
                const double number = number_value(value);
                if (std::isinf(number)) return reader.fail(json::fault::kNumberOutOfRange);
                what = "floating point " + backquoted(float_text(number));
            }
            break;
    }
    return refuse(reader, value, "invalid type: " + what + ", expected " + std::string(expected));
}

// OBJECT_NAME, OBJECT_ID: a string, or null for absent.
Result<std::optional<std::string>> optional_text(Reader& reader, const Scalar& value) {
    if (value.kind == Kind::Null) return std::nullopt;
    if (value.kind != Kind::String) return invalid_type(reader, value, "a string");
    return std::string(value.text);
}

template <class T>
std::expected<T, NumberTextError> parse_unsigned(std::string_view text) {
    if constexpr (std::is_same_v<T, uint8_t>)
        return parse_u8(text);
    else
        return parse_u64(text);
}

// A non-negative JSON integer (-0 included), or a string of an optional `+` and
// digits. Integers beyond the type, in either form, are too large.
template <class T>
Result<T> unsigned_value(Reader& reader, const Scalar& value) {
    std::string_view digits = value.text;
    if (value.kind == Kind::Number) {
        if (!value.integral || (value.negative && value.text != "-0")) return reader.fail(kNotU64);
        if (value.negative) digits.remove_prefix(1);
    } else if (value.kind != Kind::String) {
        return refuse(reader, value, kExpectedU64);
    }
    auto number = parse_unsigned<T>(digits);
    if (!number) return reader.fail(number.error().text());
    return *number;
}

// Any JSON number within the double range, or a string of decimal float text.
Result<double> double_value(Reader& reader, const Scalar& value) {
    if (value.kind == Kind::Number) {
        const double number = number_value(value);
        if (std::isinf(number)) return reader.fail(json::fault::kNumberOutOfRange);
        return number;
    }
    if (value.kind != Kind::String) return refuse(reader, value, kExpectedF64);
    auto number = parse_f64(value.text);
    if (!number) return reader.fail(number.error().text());
    return *number;
}

Result<Classification> classification_value(Reader& reader, const Scalar& value) {
    if (value.kind != Kind::String) return invalid_type(reader, value, kClassificationLetters);
    if (value.text == "U") return Classification::Unclassified;
    if (value.text == "C") return Classification::Classified;
    if (value.text == "S") return Classification::Secret;
    return reader.fail("unknown variant " + backquoted(value.text) + ", expected " +
                       std::string(kClassificationLetters));
}

Result<time::Instant> epoch_value(Reader& reader, const Scalar& value) {
    if (value.kind != Kind::String) return invalid_type(reader, value, "a string");
    auto epoch = parse_omm_epoch(value.text);
    if (!epoch) return reader.fail(epoch.error());
    return *epoch;
}

template <class T>
Result<void> store(Result<T> value, T& into) {
    if (!value) return kFailed;
    into = std::move(*value);
    return {};
}

Result<void> read_field(Reader& reader, Field field, ElementRecord& record) {
    const auto scalar = reader.read_scalar();
    if (!scalar) return kFailed;
    const Scalar& value = *scalar;
    switch (field) {
        case Field::ObjectName: return store(optional_text(reader, value), record.object_name);
        case Field::ObjectId: return store(optional_text(reader, value), record.international_designator);
        case Field::NoradCatId: return store(unsigned_value<uint64_t>(reader, value), record.norad_id);
        case Field::ClassificationType: return store(classification_value(reader, value), record.classification);
        case Field::Epoch: return store(epoch_value(reader, value), record.epoch);
        case Field::MeanMotionDot: return store(double_value(reader, value), record.mean_motion_dot);
        case Field::MeanMotionDdot: return store(double_value(reader, value), record.mean_motion_ddot);
        case Field::Bstar: return store(double_value(reader, value), record.drag_term);
        case Field::ElementSetNo: return store(unsigned_value<uint64_t>(reader, value), record.element_set_number);
        case Field::Inclination: return store(double_value(reader, value), record.inclination);
        case Field::RaOfAscNode: return store(double_value(reader, value), record.right_ascension);
        case Field::Eccentricity: return store(double_value(reader, value), record.eccentricity);
        case Field::ArgOfPericenter: return store(double_value(reader, value), record.argument_of_perigee);
        case Field::MeanAnomaly: return store(double_value(reader, value), record.mean_anomaly);
        case Field::MeanMotion: return store(double_value(reader, value), record.mean_motion);
        case Field::RevAtEpoch: return store(unsigned_value<uint64_t>(reader, value), record.revolution_number);
        case Field::EphemerisType: return store(unsigned_value<uint8_t>(reader, value), record.ephemeris_type);
    }
    return {};
}

Result<ElementRecord> read_object_form(Reader& reader) {
    if (!reader.begin_object()) return kFailed;
    ElementRecord record;
    std::bitset<kFieldCount> seen;
    while (true) {
        auto key = reader.next_key();
        if (!key) return kFailed;
        if (!*key) break;
        const auto field = field_of(**key);
        if (!field) {
            if (!reader.skip_value()) return kFailed;
            continue;
        }
        if (seen[index_of(*field)]) return reader.fail("duplicate field " + backquoted(**key));
        seen.set(index_of(*field));
        if (!read_field(reader, *field, record)) return kFailed;
    }
    for (const Field field : kRequired)
        if (!seen[index_of(field)]) return reader.fail("missing field " + backquoted(kKeys[index_of(field)]));
    return record;
}

// The 17 values in record order, each read by its key's rules. Items beyond the
// 17th are read over so that the length can be reported as it is.
Result<ElementRecord> read_array_form(Reader& reader) {
    if (!reader.begin_array()) return kFailed;
    ElementRecord record;
    size_t count = 0;
    while (true) {
        auto more = reader.next_item();
        if (!more) return kFailed;
        if (!*more) break;
        const bool wanted = count < kFieldCount;
        if (!(wanted ? read_field(reader, static_cast<Field>(count), record) : reader.skip_value())) return kFailed;
        ++count;
    }
    if (count != kFieldCount)
        return reader.fail("invalid length " + std::to_string(count) + ", expected struct Elements with 17 elements");
    return record;
}

}  // namespace

std::expected<ElementRecord, OmmError> read_omm_json(std::string_view text) {
    Reader reader(text);
    const auto value = reader.read_scalar();
    if (!value) return std::unexpected(reader.take_error());
    Result<ElementRecord> record = value->kind == Kind::Object  ? read_object_form(reader)
                                   : value->kind == Kind::Array ? read_array_form(reader)
                                                                : invalid_type(reader, *value, "struct Elements");
    if (!record || !reader.finish()) return std::unexpected(reader.take_error());
    return std::move(*record);
}

}  // namespace orbweave::sgp4

#include "core/core_error.hpp"

#include <type_traits>

#include "time/text.hpp"
#include "util/number_text.hpp"

namespace orbweave {

namespace {

template <class... Fs>
struct Overloaded : Fs... {
    using Fs::operator()...;
};

const char* variant_name(const CoreError::Variant& kind) {
    constexpr const char* names[] = {"TleFormat", "Tle", "Elements", "Sgp4", "Interval",
                                     "Roots", "Detect", "Aoi", "Custom", "Cancelled"};
    return names[kind.index()];
}

// What the variant carries, as text, without the variant's prefix.
std::string inner_text(const CoreError::Variant& kind) {
    return std::visit(Overloaded{
                          [](const CoreError::TleFormat& e) { return e.text; },
                          [](const CoreError::Interval& e) { return e.text; },
                          [](const CoreError::Custom& e) { return e.text; },
                          [](const CoreError::Cancelled&) { return std::string("stopped by its host"); },
                          [](const auto& e) { return e.error.text(); },
                      },
                      kind);
}

}  // namespace

std::string CoreError::text() const {
    constexpr const char* prefixes[] = {"TLE format error: invalid TLE: ",
                                        "TLE parse error: ",
                                        "SGP4 elements error: ",
                                        "SGP4 propagation error: ",
                                        "Interval error: ",
                                        "Roots error: ",
                                        "Detection error: ",
                                        "Area of interest error: ",
                                        "",
                                        "Cancelled: "};
    return prefixes[kind.index()] + inner_text(kind);
}

std::string CoreError::debug_text() const { return std::string(variant_name(kind)) + "(" + inner_text(kind) + ")"; }

bool CoreError::is_input_error() const {
    return std::holds_alternative<TleFormat>(kind) || std::holds_alternative<Tle>(kind) ||
           std::holds_alternative<Elements>(kind) || std::holds_alternative<Interval>(kind) ||
           std::holds_alternative<Aoi>(kind);
}

std::string RootError::text() const {
    return std::visit(Overloaded{
                          [](const FailedToConverge& e) {
                              return "failed to converge after " + std::to_string(e.iterations) + " iterations";
                          },
                          [](const Unbracketed&) { return std::string("root is not bracketed"); },
                          [](const CostFn& e) { return "cost function error: " + e.inner->text(); },
                      },
                      kind);
}

std::string DetectError::text() const {
    const auto& e = std::get<WindowTooLong>(kind);
    return "window too long: the positive window containing " + time::instant_text(e.at) + " exceeds the " +
           time::compact_duration_text(e.max_window_duration) + " maximum";
}

std::string AreaError::text() const {
    const auto number = [](double v) { return shortest_decimal(v); };
    return std::visit(
        Overloaded{
            [](const TooFewVertices& e) {
                return "polygon needs at least 3 distinct vertices, got " + std::to_string(e.count);
            },
            [&](const Latitude& e) { return "latitude " + number(e.latitude_deg) + " is outside [-90, 90]"; },
            [&](const NotFinite& e) { return e.what + " is not finite: " + number(e.value); },
            [](const AntipodalEdge& e) {
                return "polygon edge " + std::to_string(e.index) +
                       " joins antipodal vertices; no unique great-circle arc joins them";
            },
            [](const LargerThanHemisphere& e) {
                char radius[64];
                std::snprintf(radius, sizeof radius, "%.1f", e.radius_deg);
                return std::string("polygon spans ") + radius +
                       "° from its centre and does not fit within a hemisphere; split it into smaller polygons, "
                       "or describe the complementary region instead";
            },
            [&](const EmptyRectangle& e) {
                return "rectangle is empty: south " + number(e.south) + "° must lie below north " + number(e.north) +
                       "°, and the corners must differ in longitude — note that -180° and 180° are the same "
                       "meridian, so use `Rectangle::latitude_band` for a box spanning every longitude";
            },
            [&](const CircleRadius& e) { return "circle radius must lie in (0, 90°), got " + number(e.radius_deg) + "°"; },
            [&](const OutOfRange& e) { return e.what + " is out of range: " + number(e.value); },
        },
        kind);
}

}  // namespace orbweave

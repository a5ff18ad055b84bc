#pragma once
// The error of building an area of interest (polygon, rectangle or circle).
#include <cstddef>
#include <string>
#include <variant>

namespace orbweave {

struct AreaError {
    struct TooFewVertices { size_t count; };
    struct Latitude { double latitude_deg; };
    struct NotFinite { std::string what; double value; };
    struct AntipodalEdge { size_t index; };
    struct LargerThanHemisphere { double radius_deg; };
    struct EmptyRectangle { double south, north; };
    struct CircleRadius { double radius_deg; };

    std::variant<TooFewVertices, Latitude, NotFinite, AntipodalEdge, LargerThanHemisphere, EmptyRectangle,
                 CircleRadius>
        kind;

    std::string text() const;
};

}  // namespace orbweave

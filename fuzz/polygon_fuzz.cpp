// Builds an area from arbitrary bytes and measures points against it, checking
// what must hold for any input: a failed build has a message; for a point with
// finite coordinates the offset is a number in [-pi, pi] and the farthest distance
// lies in [0, pi]; for any other point both are -infinity; and a polygon given in
// reverse order is the same area.
//
// Byte 0 picks the shape (bits 0-1: polygon, box, band, circle), the fill rule
// (bit 2) and how numbers are read (bit 3: raw 8-byte doubles, else 2-byte
// integers in hundredths of a degree, which land on vertices and edges exactly).
// Byte 1 is a polygon's vertex count. The numbers that follow give the shape,
// then the points, two numbers each.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <vector>

#include "areas/area.hpp"
#include "core/core_error.hpp"

namespace {

using namespace orbweave;
using namespace orbweave::areas;

class Numbers {
public:
    Numbers(const uint8_t* data, size_t size, bool raw) : data_(data), size_(size), raw_(raw) {}

    bool empty() const { return size_ < (raw_ ? 8u : 2u); }

    // The next number, 0 once the bytes run out.
    double next() {
        if (empty()) return 0.0;
        double value;
        if (raw_) {
            std::memcpy(&value, data_, 8);
        } else {
            int16_t hundredths;
            std::memcpy(&hundredths, data_, 2);
            value = hundredths / 100.0;
        }
        const size_t used = raw_ ? 8 : 2;
        data_ += used;
        size_ -= used;
        return value;
    }

    LatLon next_point() {
        const double latitude = next();
        return {latitude, next()};
    }

private:
    const uint8_t* data_;
    size_t size_;
    bool raw_;
};

void require(bool holds) {
    if (!holds) std::abort();
}

// The measures at one point obey their ranges; returns the offset.
double checked_offset(const Area& area, const LatLon& p) {
    const double offset = signed_angular_offset(area, p.latitude_deg, p.longitude_deg);
    const double farthest = max_angular_distance(area, p.latitude_deg, p.longitude_deg);
    if (has_position(p.latitude_deg, p.longitude_deg)) {
        require(std::abs(offset) <= std::numbers::pi);
        require(farthest >= 0.0 && farthest <= std::numbers::pi);
    } else {
        require(offset == -INFINITY && farthest == -INFINITY);
    }
    return offset;
}

template <class Shape>
bool built(const std::expected<Shape, AreaError>& shape) {
    if (!shape) require(!CoreError{CoreError::Aoi{shape.error()}}.text().empty());
    return shape.has_value();
}

void measure_polygon(Numbers& numbers, size_t count, FillRule rule) {
    std::vector<LatLon> ring(count);
    for (LatLon& vertex : ring) vertex = numbers.next_point();
    const auto forward = Polygon::build(ring, rule);
    std::reverse(ring.begin(), ring.end());
    const auto backward = Polygon::build(ring, rule);
    if (!built(forward) || !built(backward)) return;
    // Dropping near-duplicates in the other direction may keep other vertices
    // within 1e-9 rad of them; otherwise the reversed ring is the same, exactly.
    const auto& there = forward->vertices();
    const auto& back = backward->vertices();
    const bool same_vertices =
        there.size() == back.size() && std::equal(there.rbegin(), there.rend(), back.begin());
    while (!numbers.empty()) {
        const LatLon p = numbers.next_point();
        const double offset = checked_offset(*forward, p);
        const double reversed = checked_offset(*backward, p);
        if (!has_position(p.latitude_deg, p.longitude_deg)) continue;
        require(same_vertices ? offset == reversed : std::abs(offset - reversed) <= 1e-7);
    }
}

template <class Shape>
void measure(Numbers& numbers, const std::expected<Shape, AreaError>& shape) {
    if (!built(shape)) return;
    const Area area = *shape;
    while (!numbers.empty()) checked_offset(area, numbers.next_point());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint8_t selector = data[0];
    Numbers numbers(data + 2, size - 2, selector & 8);
    switch (selector & 3) {
        case 0:
            measure_polygon(numbers, data[1] % 64, selector & 4 ? FillRule::EvenOdd : FillRule::NonZero);
            break;
        case 1: {
            const LatLon south_west = numbers.next_point();
            measure(numbers, Rectangle::build(south_west, numbers.next_point()));
            break;
        }
        case 2: {
            const double south = numbers.next();
            measure(numbers, Rectangle::latitude_band(south, numbers.next()));
            break;
        }
        default: {
            const LatLon centre = numbers.next_point();
            measure(numbers, Circle::build(centre, numbers.next()));
        }
    }
    return 0;
}

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "detect/walk.hpp"
#include "fixtures.hpp"
#include "searches/illumination.hpp"
#include "searches/transits.hpp"
#include "util/trace.hpp"

using namespace orbweave;
using time::Duration;
using time::Instant;

namespace {

Predictor iss() { return *Predictor::from_elements(fixtures::iss_elements()); }

std::vector<std::string> g_fields;
void record(const trace::Event& event) {
    g_fields.push_back(std::string(event.target) + "|" + std::string(event.message));
    for (const auto& field : event.fields) g_fields.push_back(std::string(field.name) + "=" + field.value);
}

}  // namespace

TEST(ElevationCost, DerivativeMatchesTheElevationSlope) {
    const searches::ElevationCost cost(iss(), {40.0, -75.0, 50.0}, 10.0);
    const Instant start = iss().epoch();
    for (int minutes = 0; minutes < 24 * 60; minutes += 37) {
        const Instant t = start + Duration::seconds(60 * minutes);
        const auto here = cost(t);
        const auto later = cost(t + Duration::milliseconds(500));
        const auto earlier = cost(t - Duration::milliseconds(500));
        ASSERT_TRUE(here && later && earlier);
        const double slope = (later->value - earlier->value) / 1.0;
        EXPECT_NEAR(*here->derivative, slope, 1e-6 + 1e-3 * std::abs(slope)) << minutes;
    }
}

TEST(ElevationCost, MaskShiftsTheValue) {
    const Instant t = iss().epoch() + Duration::seconds(5000);
    const auto zero_mask = searches::ElevationCost(iss(), {40.0, -75.0, 50.0}, 0.0)(t);
    const auto ten_mask = searches::ElevationCost(iss(), {40.0, -75.0, 50.0}, 10.0)(t);
    EXPECT_NEAR(zero_mask->value - ten_mask->value, 10.0 * M_PI / 180.0, 1e-15);
}

TEST(ElevationCost, TransitEventCarriesAosAndLos) {
    g_fields.clear();
    trace::install_sink(&record);
    searches::trace_transit(*Instant::from_civil(2024, 5, 1, 10, 0, 0, 0),
                            *Instant::from_civil(2024, 5, 1, 10, 5, 0, 500'000'000));
    trace::install_sink(nullptr);
    EXPECT_EQ(g_fields, (std::vector<std::string>{"orbweave::transits|transit detected",
                                                  "aos=2024-05-01 10:00:00 UTC", "los=2024-05-01 10:05:00.500 UTC"}));
}

TEST(SolarEphemeris, EquinoxAndDistance) {
    // Near the March 2024 equinox the Sun lies close to the +x axis, about 1 AU away.
    const Vec3 sun = searches::sun_position(*Instant::from_civil(2024, 3, 20, 3, 6, 0, 0));
    const double distance = std::sqrt(sun.x * sun.x + sun.y * sun.y + sun.z * sun.z);
    EXPECT_NEAR(distance / 149'597'870'700.0, 0.996, 0.002);
    EXPECT_LT(std::abs(sun.y) / distance, 1e-3);
    EXPECT_LT(std::abs(sun.z) / distance, 1e-3);
    // At the June solstice the declination is about +23.44 degrees.
    const Vec3 june = searches::sun_position(*Instant::from_civil(2024, 6, 20, 20, 51, 0, 0));
    const double declination = std::asin(june.z / std::sqrt(june.x * june.x + june.y * june.y + june.z * june.z));
    EXPECT_NEAR(declination * 180.0 / M_PI, 23.44, 0.01);
}

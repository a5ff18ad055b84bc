#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>
#include <string>
#include <vector>

#include "detect/walk.hpp"
#include "detect/window_iter.hpp"
#include "fixtures.hpp"
#include "searches/illumination.hpp"
#include "searches/transits.hpp"
#include "time/text.hpp"
#include "util/trace.hpp"

using namespace orbweave;
using time::Duration;
using time::Instant;

namespace {

Predictor iss() { return *Predictor::from_elements(fixtures::iss_elements()); }

Predictor molniya() { return *Predictor::from_elements(fixtures::molniya_elements()); }

// Every pass over a day through the search's own surface, with windows of up to a day.
std::vector<searches::Transit> passes(const Predictor& predictor, const frames::Geodetic& observer, double mask,
                                      Instant start, Instant end) {
    searches::TransitSettings settings;
    settings.max_transit_duration = Duration::seconds(86400);
    auto search = *searches::TransitSearch::over(predictor, observer, mask, {start, end}, settings);
    std::vector<searches::Transit> found;
    while (auto transit = *search.next()) found.push_back(*transit);
    return found;
}

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
    searches::trace_transit({{*Instant::from_civil(2024, 5, 1, 10, 0, 0, 0),
                              *Instant::from_civil(2024, 5, 1, 10, 5, 0, 500'000'000)}});
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

struct PeakCase {
    const char* name;
    Predictor (*predictor)();
    frames::Geodetic observer;
    double seconds;  // how long the window around each peak lasts above its mask
    int peaks;       // at least this many are checked
};

class PassScanAtPeaks : public testing::TestWithParam<PeakCase> {};

// For every peak of the elevation over a day, the window around it at the mask at
// which it lasts a little longer than min_step (a pass that just clears the mask,
// or the lower of two peaks of a Molniya pass) is found with the default knobs.
// The Molniya's peaks are so flat that windows of seconds would lie in the
// propagator's rounding noise; their windows last minutes, still far shorter than
// max_step.
TEST_P(PassScanAtPeaks, FindsAPassThatJustClearsTheMask) {
    const Predictor predictor = GetParam().predictor();
    const frames::Geodetic& observer = GetParam().observer;
    const Instant start = predictor.epoch(), end = start + Duration::seconds(86400);
    const searches::ElevationCost horizon(predictor, observer, 0.0);
    const auto elevation = [&](Instant t) { return (*horizon(t)).value; };
    int checked = 0;
    for (Instant t = start + Duration::seconds(60); t < end - Duration::seconds(60); t = t + Duration::seconds(1)) {
        if (!(elevation(t) > 0.0 && elevation(t) > elevation(t - Duration::seconds(1)) &&
              elevation(t) >= elevation(t + Duration::seconds(1))))
            continue;
        Instant peak = t - Duration::seconds(1);
        for (Instant u = peak; u < t + Duration::seconds(1); u = u + Duration::milliseconds(10))
            if (elevation(u) > elevation(peak)) peak = u;
        const auto duration_at = [&](double mask) {
            const auto window = *detect::detect_window_at(peak, searches::ElevationCost(predictor, observer, mask),
                                                          Duration::seconds(1), Duration::seconds(86400), {});
            return window ? (window->end - window->start).as_seconds_f64() : 0.0;
        };
        double low = 0.0, high = elevation(peak) * 180.0 / M_PI;
        while (high - low > 1e-10) {
            const double mid = (low + high) / 2.0;
            (duration_at(mid) > GetParam().seconds ? low : high) = mid;
        }
        // A peak barely above a neighbouring dip merges with the next one first.
        if (duration_at(low) > GetParam().seconds + 1.0) continue;
        ASSERT_GT(duration_at(low), GetParam().seconds - 0.5);
        const auto found = passes(predictor, observer, low, start, end);
        EXPECT_TRUE(std::any_of(found.begin(), found.end(), [&](const auto& w) { return w.start <= peak && peak <= w.end; }))
            << "the pass peaking at " << time::instant_text(peak) << " at a mask of " << low;
        ++checked;
    }
    EXPECT_GE(checked, GetParam().peaks);
}

INSTANTIATE_TEST_SUITE_P(
    Orbits, PassScanAtPeaks,
    testing::Values(PeakCase{"Iss", iss, {40.0, -75.0, 50.0}, 11.0, 5},
                    // Double-peaked passes: peaks near 62 and 67 degrees with a dip to 57.6
                    // between; peaks of 68.92 and 68.31 with a dip to 68.30.
                    PeakCase{"MolniyaTwoPeaks", molniya, {40.0, 90.0, 0.0}, 300.0, 3},
                    PeakCase{"MolniyaShallowDip", molniya, {55.0, 150.0, 0.0}, 300.0, 3}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IlluminationSearch, WindowsTileTheIntervalAndAlternate) {
    const Predictor predictor = iss();
    const time::Span day{predictor.epoch(), predictor.epoch() + Duration::seconds(86400)};
    auto search = *searches::IlluminationSearch::over(predictor, day);
    std::vector<searches::Illumination> windows;
    while (auto window = *search.next()) windows.push_back(*window);
    ASSERT_GT(windows.size(), 20u);
    EXPECT_EQ(windows.front().start, day.start);
    EXPECT_EQ(windows.back().end, day.end);
    for (size_t i = 0; i < windows.size(); ++i) {
        // Half a second inside each window the satellite is in that window's state.
        const Instant inside = windows[i].start + Duration::milliseconds(500);
        EXPECT_EQ(*searches::illumination_state(predictor, inside), windows[i].state) << i;
        if (i == 0) continue;
        EXPECT_EQ(windows[i].start, windows[i - 1].end) << i;
        EXPECT_NE(windows[i].state, windows[i - 1].state) << i;
    }
}

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "detect/step_policy.hpp"
#include "fixtures.hpp"
#include "searches/aoi.hpp"
#include "time/text.hpp"
#include "util/trace.hpp"

using namespace orbweave;
using time::Duration;
using time::Instant;

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;

Predictor predictor_of(const sgp4::ElementRecord& elements) { return *Predictor::from_elements(elements); }

areas::Area circle(double latitude, double longitude, double radius) {
    return *areas::Circle::build({latitude, longitude}, radius);
}

// (first second in reach, first second out of reach) of each window that opens
// before `end`, from the cost sampled every second.
std::vector<std::pair<Instant, Instant>> brute_force(const searches::AoiCost& cost, Instant start, Instant end) {
    std::vector<std::pair<Instant, Instant>> windows;
    std::optional<Instant> opened;
    for (Instant t = start; t < end || opened; t = t + Duration::seconds(1)) {
        const bool inside = (*cost(t)).value >= 0.0;
        if (inside && !opened) opened = t;
        if (!inside && opened) windows.emplace_back(*std::exchange(opened, std::nullopt), t);
    }
    return windows;
}

std::vector<std::string> g_events;
void record(const trace::Event& event) {
    g_events.push_back(std::string(event.target) + "|" + std::string(event.message));
    for (const auto& field : event.fields) g_events.push_back(std::string(field.name) + "=" + field.value);
}

}  // namespace

TEST(AoiSearch, EveryWindowFoundIsTracedWithItsEntryAndExit) {
    const Predictor iss = predictor_of(fixtures::iss_elements());
    const areas::Area country = *areas::Polygon::build(fixtures::country_ring());
    const Instant start = iss.epoch();
    auto search = *searches::AoiSearch::over(iss, country, {start, start + Duration::seconds(86400)});
    g_events.clear();
    trace::install_sink(&record);
    const auto first = **search.next();
    const auto detected = **searches::detect_aoi(iss, first.mid_point(), country);
    trace::install_sink(nullptr);
    const auto traced = [](const searches::AoiWindow& w) {
        return std::vector<std::string>{"orbweave::aoi|aoi window detected", "entry=" + time::instant_text(w.start),
                                        "exit=" + time::instant_text(w.end)};
    };
    auto expected = traced(first);
    for (auto& line : traced(detected)) expected.push_back(line);
    EXPECT_EQ(g_events, expected);
}

TEST(AoiStep, RateBoundAndStepOfACircularOrbit) {
    sgp4::ElementRecord elements = fixtures::iss_elements();
    elements.mean_motion = 15.0;
    elements.eccentricity = 0.0;
    const double rate = searches::max_angular_rate(elements);
    EXPECT_DOUBLE_EQ(rate, 0.0012301747865970504);
    const detect::AdaptiveStep rule{Duration::seconds(1), Duration::seconds(600)};
    const Instant c = elements.epoch;
    const auto step_after = [&](double value) {
        return rule.next_step(c, detect::LastSample{c, {{value}, std::abs(value) / rate}});
    };
    EXPECT_EQ(step_after(-0.1), Duration::milliseconds(81'289));
    EXPECT_EQ(step_after(-1.0), Duration::seconds(600));
    EXPECT_EQ(step_after(-1e-6), Duration::seconds(1));
}

TEST(AoiStep, KnobFloors) {
    const Predictor iss = predictor_of(fixtures::iss_elements());
    for (const Duration shortest : {Duration::seconds(0), Duration::seconds(-5), Duration::milliseconds(1)}) {
        searches::AoiSettings settings;
        settings.min_step = shortest;
        settings.max_step = Duration::nanoseconds(10);
        const auto engine = searches::engine_settings(iss, settings);
        EXPECT_EQ(engine.step_policy.min_step, Duration::milliseconds(1));
        EXPECT_EQ(engine.step_policy.max_step, Duration::milliseconds(1));  // raised to min_step
    }
}

TEST(AoiReach, ConeEdgeOrHorizon) {
    const double R = 6371e3;
    EXPECT_NEAR(searches::reach_angle(20 * kDegree, 2 * R, R), std::asin(2 * std::sin(20 * kDegree)) - 20 * kDegree,
                1e-15);
    EXPECT_NEAR(searches::reach_angle(20 * kDegree, 2 * R, R) / kDegree, 23.16, 0.01);
    EXPECT_DOUBLE_EQ(searches::reach_angle(45 * kDegree, 2 * R, R), std::acos(0.5));
    EXPECT_EQ(searches::reach_angle(0.0, 2 * R, R), 0.0);
    EXPECT_LT(searches::reach_angle(0.1, R - 1000, R), 0.0);  // below the surface: no reach
}

TEST(AoiReach, HalfAngleClamp) {
    const double inf = std::numeric_limits<double>::infinity();
    for (const double zero : {std::nan(""), -inf, -1.0, 0.0}) EXPECT_EQ(searches::clamp_off_nadir(zero), 0.0);
    EXPECT_EQ(searches::clamp_off_nadir(inf), 1.5707963257948965);
    EXPECT_EQ(searches::clamp_off_nadir(0.5), 0.5);
}

// Every window longer than min_step is found, each edge within the second the brute
// force puts it in: a low orbit, and an eccentric one whose reach swells and shrinks
// along the orbit, with and without an off-nadir reach.
class AoiScanPromise : public testing::TestWithParam<std::tuple<bool, double, searches::Coverage>> {};

TEST_P(AoiScanPromise, FindsEveryWindowOfABruteForceScan) {
    const auto [eccentric, off_nadir_deg, coverage] = GetParam();
    const Predictor predictor = predictor_of(eccentric ? fixtures::molniya_elements() : fixtures::iss_elements());
    const Instant start = predictor.epoch(), end = start + Duration::seconds(2 * 86400);
    for (const auto& area : {circle(46.0, 2.0, 4.0), circle(-20.0, 140.0, 0.5), circle(60.0, -100.0, 10.0)}) {
        searches::AoiSettings settings;
        settings.max_off_nadir = off_nadir_deg * kDegree;
        settings.coverage = coverage;
        settings.max_window_duration = Duration::seconds(86400);
        auto search = *searches::AoiSearch::over(predictor, area, {start, end}, settings);
        const auto expected = brute_force(
            searches::AoiCost(predictor, area, searches::clamp_off_nadir(settings.max_off_nadir), coverage), start, end);
        std::vector<searches::AoiWindow> found;
        while (auto window = *search.next()) found.push_back(*window);
        std::string listed;
        for (const auto& w : found) listed += time::instant_text(w.start) + " - " + time::instant_text(w.end) + "\n";
        for (const auto& [a, b] : expected) listed += "brute " + time::instant_text(a) + " - " + time::instant_text(b) + "\n";
        ASSERT_EQ(found.size(), expected.size()) << listed;
        for (size_t i = 0; i < found.size(); ++i) {
            EXPECT_LT(expected[i].first - Duration::seconds(1), found[i].start);
            EXPECT_LE(found[i].start, expected[i].first + Duration::milliseconds(1));
            EXPECT_LT(expected[i].second - Duration::seconds(1), found[i].end);
            EXPECT_LE(found[i].end, expected[i].second + Duration::milliseconds(1));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Orbits, AoiScanPromise,
                         testing::Values(std::tuple{false, 0.0, searches::Coverage::Any},
                                         std::tuple{false, 30.0, searches::Coverage::Any},
                                         std::tuple{true, 0.0, searches::Coverage::Any},
                                         std::tuple{true, 30.0, searches::Coverage::Any},
                                         std::tuple{true, 60.0, searches::Coverage::Full}));

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/core_error.hpp"
#include "fixtures.hpp"
#include "core/predictor.hpp"
#include "time/text.hpp"
#include "util/trace.hpp"

using namespace orbweave;
using time::Duration;
using time::Instant;

namespace {

sgp4::ElementRecord iss() { return fixtures::iss_elements(); }

// Collects the events of one test; installed only for its duration.
struct RecordedEvent {
    std::string target, message, satellite, epoch;
};
std::vector<RecordedEvent> g_events;

void record(const trace::Event& event) {
    RecordedEvent out{std::string(event.target), std::string(event.message), "", ""};
    for (const auto& field : event.fields) (field.name == "satellite" ? out.satellite : out.epoch) = field.value;
    g_events.push_back(out);
}

struct TraceSink {
    TraceSink() { g_events.clear(), trace::install_sink(&record); }
    ~TraceSink() { trace::install_sink(nullptr); }
};

}  // namespace

TEST(CoreError, TextsCarryTheirPrefixes) {
    EXPECT_EQ((CoreError{CoreError::Custom{"plain"}}).text(), "plain");
    EXPECT_EQ((CoreError{CoreError::TleFormat{"x"}}).text(), "TLE format error: invalid TLE: x");
    EXPECT_EQ((CoreError{CoreError::Interval{"EventIter requires an interval"}}).text(),
              "Interval error: EventIter requires an interval");
    const CoreError roots{CoreError::Roots{RootError{RootError::FailedToConverge{100, 0.001, 0.0, 1.0}}}};
    EXPECT_EQ(roots.text(), "Roots error: failed to converge after 100 iterations");
    EXPECT_EQ(roots.debug_text(), "Roots(failed to converge after 100 iterations)");
    const CoreError nested{CoreError::Roots{RootError{RootError::CostFn{std::make_shared<const CoreError>(
        CoreError{CoreError::Custom{"inner"}})}}}};
    EXPECT_EQ(nested.text(), "Roots error: cost function error: inner");
    const CoreError detect{CoreError::Detect{DetectError{DetectError::WindowTooLong{
        *Instant::from_civil(2024, 5, 1, 10, 0, 0, 0), Duration::seconds(3600)}}}};
    EXPECT_EQ(detect.text(),
              "Detection error: window too long: the positive window containing 2024-05-01 10:00:00 UTC exceeds "
              "the 1h maximum");
    EXPECT_EQ((CoreError{CoreError::Aoi{AreaError{AreaError::TooFewVertices{2}}}}).text(),
              "Area of interest error: polygon needs at least 3 distinct vertices, got 2");
    EXPECT_EQ((CoreError{CoreError::Aoi{AreaError{AreaError::CircleRadius{90.0}}}}).text(),
              "Area of interest error: circle radius must lie in (0, 90°), got 90°");
    EXPECT_EQ((CoreError{CoreError::Aoi{AreaError{AreaError::LargerThanHemisphere{91.25}}}}).text().substr(0, 44),
              "Area of interest error: polygon spans 91.2°");
}

TEST(CoreError, InputErrorsAreValueErrors) {
    const std::vector<std::pair<CoreError, bool>> cases = {
        {{CoreError::TleFormat{""}}, true},
        {{CoreError::Interval{""}}, true},
        {{CoreError::Aoi{AreaError{AreaError::TooFewVertices{0}}}}, true},
        {{CoreError::Roots{RootError{RootError::Unbracketed{}}}}, false},
        {{CoreError::Custom{""}}, false},
    };
    for (const auto& [error, input] : cases) EXPECT_EQ(error.is_input_error(), input) << error.debug_text();
}

TEST(Predictor, PropagatesWithMillisecondTruncation) {
    const auto predictor = Predictor::from_elements(iss());
    ASSERT_TRUE(predictor);
    const Instant epoch = predictor->epoch();
    const auto at_epoch = predictor->propagate(epoch);
    ASSERT_TRUE(at_epoch);
    EXPECT_EQ(*predictor->propagate(epoch + Duration::nanoseconds(900'000)), *at_epoch);
    EXPECT_EQ(*predictor->propagate(epoch - Duration::nanoseconds(1'500'000)),
              *predictor->propagate(epoch - Duration::milliseconds(1)));
    const auto raw = sgp4::propagate(predictor->constants(), 0.0);
    EXPECT_EQ(at_epoch->position.x, raw->position_km[0] * 1000.0);
    EXPECT_EQ(at_epoch->velocity.z, raw->velocity_km_s[2] * 1000.0);
}

TEST(Predictor, AgeAndRefinement) {
    const auto predictor = *Predictor::from_elements(iss());
    const Instant epoch = predictor.epoch();
    EXPECT_EQ(predictor.tle_age_seconds(epoch + Duration::nanoseconds(400'000)), 0.0);
    EXPECT_EQ(predictor.tle_age_seconds(epoch - Duration::seconds(86400)), -86400.0);
    EXPECT_EQ(predictor.refinement(), (Refinement{0.001, 100}));
    const auto refined = predictor.with_refinement({0.5, 10});
    EXPECT_EQ(refined.refinement(), (Refinement{0.5, 10}));
    EXPECT_EQ(predictor.refinement(), (Refinement{0.001, 100}));
    EXPECT_EQ(*refined.propagate(epoch), *predictor.propagate(epoch));
}

TEST(Predictor, ConstructionEventsCarryTheirFields) {
    TraceSink sink;
    auto record = iss();
    ASSERT_TRUE(Predictor::from_elements(record));
    record.object_name = "ISS (ZARYA)";
    ASSERT_TRUE(Predictor::from_elements(record));
    ASSERT_EQ(g_events.size(), 2u);
    EXPECT_EQ(g_events[0].target, "orbweave");
    EXPECT_EQ(g_events[0].message, "predictor initialized from OMM elements");
    EXPECT_EQ(g_events[0].satellite, "NORAD 25544");
    EXPECT_EQ(g_events[0].epoch, "2020-07-12 01:19:07.199616 UTC");
    EXPECT_EQ(g_events[1].satellite, "ISS (ZARYA)");
}

TEST(Predictor, TleConstructionEventAndErrors) {
    TraceSink sink;
    const std::string line_1 = "1 25544U 98067A   20194.05494444  .00289036  00000-0  49645-2 0  9998";
    const std::string line_2 = "2 25544  51.6435 225.4004 0001771  44.9625   5.1087 15.49560532235875";
    const auto predictor = Predictor::from_tle("", line_1, line_2);
    ASSERT_TRUE(predictor) << predictor.error().text();
    ASSERT_EQ(g_events.size(), 1u);
    EXPECT_EQ(g_events[0].message, "predictor initialized from TLE");
    EXPECT_EQ(g_events[0].satellite, "");
    const auto bad = Predictor::from_tle("ISS", line_1, line_2.substr(0, 68) + "2");
    ASSERT_FALSE(bad);
    EXPECT_EQ(bad.error().text(),
              "TLE parse error: TLE parse error: Bad line checksum on TLE line 2 between characters 68 and 69");
    EXPECT_TRUE(bad.error().is_input_error());
    EXPECT_EQ(g_events.size(), 1u);  // failures emit nothing
}

TEST(Predictor, ElementsErrorsAndPropagationErrors) {
    auto record = iss();
    record.eccentricity = 1.0;
    const auto refused = Predictor::from_elements(record);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().text(), "SGP4 elements error: The epoch eccentricity (1) is outside the range [0, 1[");
    record = iss();
    record.drag_term = 0.5;
    record.mean_motion_dot = 0.01;
    const auto decaying = *Predictor::from_elements(record);
    const auto failed = decaying.propagate(decaying.epoch() + Duration::seconds(60 * 86400));
    ASSERT_FALSE(failed);
    EXPECT_FALSE(failed.error().is_input_error());
    EXPECT_EQ(failed.error().text().rfind("SGP4 propagation error: ", 0), 0u);
    EXPECT_TRUE(decaying.propagate(decaying.epoch()));
}

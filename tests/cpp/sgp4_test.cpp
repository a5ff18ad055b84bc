#include "sgp4/sgp4.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <vector>
#include <functional>
#include <limits>
#include <numbers>
#include <string>

namespace orbweave::sgp4 {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Epoch from a two-digit-year TLE epoch field: day of year with its fraction.
time::Instant tle_epoch(int64_t year, double day_of_year) {
    const double whole_day = std::trunc(day_of_year);
    const double seconds = (day_of_year - whole_day) * 86400.0;
    const double whole_seconds = std::trunc(seconds);
    const auto nanos = static_cast<uint32_t>(std::llround((seconds - whole_seconds) * 1e9));
    const int64_t days = time::days_from_civil(year, 1, 1) + static_cast<int64_t>(whole_day) - 1;
    return time::Instant::from_day_parts(days, static_cast<uint32_t>(whole_seconds), nanos);
}

struct Orbit {
    int64_t year;
    double day, bstar, inclination, raan, eccentricity, argp, mean_anomaly, mean_motion;
};

ElementRecord record(const Orbit& o) {
    ElementRecord r;
    r.epoch = tle_epoch(o.year, o.day);
    r.drag_term = o.bstar;
    r.inclination = o.inclination;
    r.right_ascension = o.raan;
    r.eccentricity = o.eccentricity;
    r.argument_of_perigee = o.argp;
    r.mean_anomaly = o.mean_anomaly;
    r.mean_motion = o.mean_motion;
    return r;
}

// Records of the published SGP4 verification catalogue.
const Orbit kSat00005{2000, 179.78495062, 0.28098e-4, 34.2682, 348.7242, 0.1859667, 331.7664, 19.3264, 10.82419157};
const Orbit kSat06251{2006, 176.82412014, 0.12808e-3, 58.0579, 54.0425, 0.0030035, 139.1568, 221.1854, 15.56387291};
// One-day (geosynchronous) resonance.
const Orbit kSat14128{2006, 176.02844893, 0.1e-3, 11.4384, 35.2134, 0.0011562, 26.4582, 333.5652, 0.98870114};
// Half-day (Molniya-like) resonance.
const Orbit kSat09880{2006, 176.56157475, 0.1e-3, 64.5968, 349.3786, 0.7069051, 270.0229, 16.3320, 2.00813614};
// Decays within a day.
const Orbit kSat29141{2006, 170.26783845, 0.13519, 82.4288, 273.4882, 0.0015848, 277.2124, 83.9133, 15.93343074};
// Mean motion so low that the lunar-solar terms push the eccentricity out of range.
const Orbit kSat33334{2006, 174.85818871, 0.1e-3, 68.4714, 236.1303, 0.5602877, 123.7484, 302.5767, 0.00001};

Sgp4Constants constants_of(const Orbit& o) {
    auto c = initialise(record(o));
    EXPECT_TRUE(c.has_value()) << c.error().text();
    return *c;
}

// ---------------------------------------------------------------- initialisation

struct InitCase {
    const char* name;
    std::function<void(ElementRecord&)> change;
    const char* text;
    bool kozai_group;
};

class Sgp4InitErrors : public ::testing::TestWithParam<InitCase> {};

TEST_P(Sgp4InitErrors, RefusesWithText) {
    ElementRecord r = record(kSat00005);
    GetParam().change(r);
    const auto c = initialise(r);
    ASSERT_FALSE(c.has_value());
    EXPECT_EQ(c.error().text(), GetParam().text);
    EXPECT_EQ(std::holds_alternative<KozaiElementsError>(c.error().kind), GetParam().kozai_group);
}

constexpr const char* kKozaiText = "The Kozai mean motion calculated from epoch elements is negative";
constexpr const char* kBrouwerText = "The Brouwer mean motion calculated from epoch elements is negative";

INSTANTIATE_TEST_SUITE_P(
    Cases, Sgp4InitErrors,
    ::testing::Values(
        InitCase{"ZeroMeanMotion", [](ElementRecord& r) { r.mean_motion = 0.0; }, kKozaiText, true},
        InitCase{"NegativeMeanMotion", [](ElementRecord& r) { r.mean_motion = -1.0; }, kKozaiText, true},
        InitCase{"NaNMeanMotion", [](ElementRecord& r) { r.mean_motion = kNaN; }, kKozaiText, true},
        InitCase{"InfiniteMeanMotion", [](ElementRecord& r) { r.mean_motion = kInf; }, kBrouwerText, true},
        InitCase{"NaNInclination", [](ElementRecord& r) { r.inclination = kNaN; }, kBrouwerText, true},
        InitCase{"EccentricityOne", [](ElementRecord& r) { r.eccentricity = 1.0; },
                 "The epoch eccentricity (1) is outside the range [0, 1[", false},
        InitCase{"EccentricityNegative", [](ElementRecord& r) { r.eccentricity = -0.0001; },
                 "The epoch eccentricity (-0.0001) is outside the range [0, 1[", false},
        InitCase{"EccentricityHyperbolic", [](ElementRecord& r) { r.eccentricity = 1.5; },
                 "The epoch eccentricity (1.5) is outside the range [0, 1[", false},
        InitCase{"EccentricityNaN", [](ElementRecord& r) { r.eccentricity = kNaN; },
                 "The epoch eccentricity (NaN) is outside the range [0, 1[", false},
        // The Kozai check comes first.
        InitCase{"ZeroMeanMotionAndBadEccentricity",
                 [](ElementRecord& r) {
                     r.mean_motion = 0.0;
                     r.eccentricity = 2.0;
                 },
                 kKozaiText, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Sgp4Init, AcceptsCircularOrbit) {
    ElementRecord r = record(kSat00005);
    r.eccentricity = 0.0;
    const auto c = initialise(r);
    ASSERT_TRUE(c.has_value());
    const auto p = propagate(*c, 0.0);
    ASSERT_TRUE(p.has_value());
    EXPECT_NEAR(std::hypot(p->position_km[0], p->position_km[1], p->position_km[2]), 8700.0, 300.0);
}

TEST(Sgp4Init, DebugTextNamesTheGroup) {
    EXPECT_EQ(Sgp4InitError{KozaiElementsError::NegativeBrouwerMeanMotion}.debug_text(),
              "Kozai(NegativeBrouwerMeanMotion)");
    EXPECT_EQ(Sgp4InitError{OutOfRangeEpochEccentricity{1.0}}.debug_text(),
              "OutOfRangeEpochEccentricity { eccentricity: 1 }");
}

TEST(Sgp4Init, GeopotentialConstant) { EXPECT_EQ(kKe, 60.0 / std::sqrt(kEarthRadiusKm * kEarthRadiusKm * kEarthRadiusKm / kMuKm3S2)); }

// Sidereal angles at epoch, values from the published reference implementation.
TEST(Sgp4Init, SiderealAngleAtEpoch) {
    EXPECT_NEAR(constants_of(kSat00005).gsto, 3.4691723423794016, 1e-12);
    EXPECT_NEAR(constants_of(kSat14128).gsto, 4.943902851904689, 1e-12);
    EXPECT_NEAR(constants_of(kSat09880).gsto, 2.0196171169817347, 1e-12);
}

// ---------------------------------------------------------------- branch choice

double mean_motion_for_period(double minutes) { return 1440.0 / minutes; }

TEST(Sgp4Branch, ChosenOnBrouwerPeriod) {
    // Near the equator the Brouwer period exceeds the Kozai one, near the poles
    // it falls short; a choice made on the Kozai value gets both wrong.
    ElementRecord equatorial = record(kSat00005);
    equatorial.inclination = 0.0;
    equatorial.mean_motion = mean_motion_for_period(224.95);
    EXPECT_TRUE(initialise(equatorial)->deep_space);

    ElementRecord polar = record(kSat00005);
    polar.inclination = 90.0;
    polar.mean_motion = mean_motion_for_period(225.02);
    EXPECT_FALSE(initialise(polar)->deep_space);
}

TEST(Sgp4Branch, BoundaryAtBrouwerPeriodOf225Minutes) {
    // Bisect the recorded mean motion down to the two neighbouring doubles where
    // the branch flips: the deep-space side has a Brouwer period of at least 225
    // minutes, the other side less.
    ElementRecord r = record(kSat00005);
    double deep = 6.3, near = 6.5;  // rev/day
    while (std::nextafter(deep, near) != near) {
        r.mean_motion = deep + (near - deep) / 2;
        if (r.mean_motion == deep || r.mean_motion == near) break;
        (initialise(r)->deep_space ? deep : near) = r.mean_motion;
    }
    r.mean_motion = deep;
    const Sgp4Constants d = *initialise(r);
    r.mean_motion = near;
    const Sgp4Constants n = *initialise(r);
    EXPECT_TRUE(d.deep_space);
    EXPECT_FALSE(n.deep_space);
    EXPECT_GE(2.0 * std::numbers::pi / d.no_unkozai, 225.0);
    EXPECT_LT(2.0 * std::numbers::pi / n.no_unkozai, 225.0);
}

// ---------------------------------------------------------------- reference states

struct ReferenceState {
    const char* name;
    const Orbit* orbit;
    double t;
    std::array<double, 3> r, v;
};

class Sgp4Reference : public ::testing::TestWithParam<ReferenceState> {};

TEST_P(Sgp4Reference, MatchesPublishedState) {
    const ReferenceState& s = GetParam();
    const auto p = propagate(constants_of(*s.orbit), s.t);
    ASSERT_TRUE(p.has_value()) << p.error().text();
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(p->position_km[i], s.r[i], 1e-6) << "axis " << i;
        EXPECT_NEAR(p->velocity_km_s[i], s.v[i], 1e-9) << "axis " << i;
    }
}

// Values from the published reference implementation (WGS-84, improved mode).
INSTANTIATE_TEST_SUITE_P(
    Catalogue, Sgp4Reference,
    ::testing::Values(
        ReferenceState{"NearEarthAtEpoch", &kSat00005, 0.0,
                       {7022.46647249137, -1400.0665618178339, 0.05106558274635007},
                       {1.8938310806788694, 6.405894872518269, 4.534806700953066}},
        ReferenceState{"NearEarthThreeDays", &kSat00005, 4320.0,
                       {-9060.478175076545, 4658.697917019259, 813.6926008473886},
                       {-2.232823140968453, -4.110456334189285, -3.157344043920063}},
        ReferenceState{"NearEarthBeforeEpoch", &kSat00005, -1440.0,
                       {3758.8029032275135, 6348.449126664062, 4644.604092994955},
                       {-5.4045497078324525, 3.546685155187241, 1.8662167401186291}},
        ReferenceState{"FullDragModel", &kSat06251, 2880.0,
                       {1159.2314980231529, 5056.573761747399, 4353.556005565646},
                       {-5.968077574242286, -2.314826140911645, 4.230649247244845}},
        ReferenceState{"OneDayResonance", &kSat14128, 10000.0,
                       {41072.79430553337, -9150.179223469286, -6314.727325590185},
                       {0.7155514245341774, 2.948627763234198, 0.40505500360660057}},
        ReferenceState{"OneDayResonanceBackward", &kSat14128, -5000.0,
                       {-21920.195494546908, -36376.59520175483, -3459.56306657027},
                       {2.5977078141483543, -1.5129974134049506, -0.5535805694744106}},
        ReferenceState{"HalfDayResonance", &kSat09880, 10000.0,
                       {-4130.978353982859, -2351.047490711724, -6583.610194709197},
                       {8.409650898861097, -2.770334138577115, -2.1804790100679883}},
        ReferenceState{"HalfDayResonanceBackward", &kSat09880, -5000.0,
                       {16773.629786760917, -260.0402596571056, 5714.263407698966},
                       {2.2805982628978354, 1.8246514873592885, 4.6298479196628985}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Sgp4Resonance, ResultDoesNotDependOnEarlierCalls) {
    for (const Orbit* orbit : {&kSat14128, &kSat09880}) {
        const Sgp4Constants c = constants_of(*orbit);
        const auto first = propagate(c, 10000.0);
        const auto back = propagate(c, -5000.0);
        const auto again = propagate(c, 10000.0);
        ASSERT_TRUE(first && back && again);
        EXPECT_EQ(first->position_km, again->position_km);
        EXPECT_EQ(first->velocity_km_s, again->velocity_km_s);
    }
}

TEST(Sgp4Resonance, CheckpointGivesTheFreshResultBitForBit) {
    // Times that walk forward, step back across whole integration steps, cross the
    // epoch and jump; every result equals a fresh integration's.
    std::vector<double> times;
    for (double t = -3000.0; t < 9000.0; t += 97.3) times.push_back(t);
    for (double t = 9000.0; t > -9000.0; t -= 1543.1) times.push_back(t);
    times.insert(times.end(), {0.0, 719.99, 720.0, 720.01, -720.0, 1e5, 3.0, 1e5 + 1.0});
    for (const Orbit* orbit : {&kSat14128, &kSat09880}) {
        const Sgp4Constants c = constants_of(*orbit);
        ResonanceCheckpoint checkpoint;
        for (const double t : times) {
            const auto kept = propagate(c, t, &checkpoint);
            const auto fresh = propagate(c, t);
            ASSERT_TRUE(kept && fresh) << t;
            EXPECT_EQ(kept->position_km, fresh->position_km) << t;
            EXPECT_EQ(kept->velocity_km_s, fresh->velocity_km_s) << t;
        }
    }
}

// ---------------------------------------------------------------- propagation errors

TEST(Sgp4Errors, DecayedOrbitFailsWithTime) {
    const Sgp4Constants c = constants_of(kSat29141);
    const auto collapsed = propagate(c, 1380.0);
    ASSERT_FALSE(collapsed.has_value());
    EXPECT_EQ(collapsed.error().kind, Sgp4PropagationError::Kind::NegativeSemiLatusRectum);
    EXPECT_EQ(collapsed.error().text(), "The propagated semi-latus rectum is negative 1380 minutes after epoch");

    const auto far = propagate(c, 10000.5);
    ASSERT_FALSE(far.has_value());
    EXPECT_EQ(far.error().kind, Sgp4PropagationError::Kind::OutOfRangeEccentricity);
    EXPECT_TRUE(far.error().text().ends_with(
        ") is outside the range [0, 1[ 10000.5 minutes after epoch (before adding third-body perturbations)"))
        << far.error().text();

    // The constants stay usable.
    EXPECT_TRUE(propagate(c, 0.0).has_value());
}

TEST(Sgp4Errors, LunarSolarTermsPushEccentricityOutOfRange) {
    const auto p = propagate(constants_of(kSat33334), 0.0);
    ASSERT_FALSE(p.has_value());
    EXPECT_EQ(p.error().kind, Sgp4PropagationError::Kind::OutOfRangePerturbedEccentricity);
    EXPECT_TRUE(p.error().text().starts_with("The propagated eccentricity ("));
    EXPECT_TRUE(p.error().text().ends_with(
        ") is outside the range [0, 1[ 0 minutes after epoch (after adding third-body perturbations)"));
}

TEST(Sgp4Errors, Texts) {
    using Kind = Sgp4PropagationError::Kind;
    EXPECT_EQ((Sgp4PropagationError{Kind::OutOfRangeEccentricity, 1.25, -0.5}.text()),
              "The propagated eccentricity (1.25) is outside the range [0, 1[ -0.5 minutes after epoch "
              "(before adding third-body perturbations)");
    EXPECT_EQ((Sgp4PropagationError{Kind::OutOfRangePerturbedEccentricity, -0.0000001, 2.0}.text()),
              "The propagated eccentricity (-0.0000001) is outside the range [0, 1[ 2 minutes after epoch "
              "(after adding third-body perturbations)");
    EXPECT_EQ((Sgp4PropagationError{Kind::NegativeSemiLatusRectum, 0.0, 1e-3}.debug_text()),
              "NegativeSemiLatusRectum { t: 0.001 }");
}

// ---------------------------------------------------------------- non-finite input

// A time that is not finite or far out fails with an error, promptly; no state
// that is not finite is ever returned.
void expect_prompt_error(const Sgp4Constants& c, double t) {
    const auto start = std::chrono::steady_clock::now();
    const auto p = propagate(c, t);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_FALSE(p.has_value()) << "t = " << t;
}

struct NonFiniteCase {
    const char* name;
    std::function<void(ElementRecord&)> change;
    const char* text;
};

class Sgp4NonFinite : public ::testing::TestWithParam<NonFiniteCase> {};

// An angle or drag term that is not finite would make every state NaN: refused at
// initialisation, naming the element.
TEST_P(Sgp4NonFinite, IsRefusedByInitialisation) {
    for (const Orbit* orbit : {&kSat06251, &kSat14128, &kSat09880}) {
        ElementRecord r = record(*orbit);
        GetParam().change(r);
        const auto c = initialise(r);
        ASSERT_FALSE(c.has_value());
        EXPECT_EQ(c.error().text(), GetParam().text);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Elements, Sgp4NonFinite,
    ::testing::Values(
        NonFiniteCase{"DragNaN", [](ElementRecord& r) { r.drag_term = kNaN; }, "The epoch drag term (NaN) is not finite"},
        NonFiniteCase{"DragInfinite", [](ElementRecord& r) { r.drag_term = kInf; },
                      "The epoch drag term (inf) is not finite"},
        NonFiniteCase{"NodeNaN", [](ElementRecord& r) { r.right_ascension = kNaN; },
                      "The epoch right ascension (NaN) is not finite"},
        NonFiniteCase{"PerigeeInfinite", [](ElementRecord& r) { r.argument_of_perigee = -kInf; },
                      "The epoch argument of perigee (-inf) is not finite"},
        NonFiniteCase{"MeanAnomalyNaN", [](ElementRecord& r) { r.mean_anomaly = kNaN; },
                      "The epoch mean anomaly (NaN) is not finite"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Sgp4NonFinite, OverflowingElementsFailToPropagate) {
    ElementRecord r = record(kSat06251);
    r.drag_term = 1e308;
    const auto c = initialise(r);
    ASSERT_TRUE(c.has_value());
    const auto p = propagate(*c, 0.0);
    ASSERT_FALSE(p.has_value());
    EXPECT_EQ(p.error().text(), "The propagated state is not finite 0 minutes after epoch");
    EXPECT_EQ(p.error().debug_text(), "NonFiniteState { t: 0 }");
}

TEST(Sgp4NonFinite, NonFiniteOrHugeTimeFailsPromptly) {
    for (const Orbit* orbit : {&kSat06251, &kSat14128, &kSat09880}) {
        const Sgp4Constants c = constants_of(*orbit);
        for (double t : {kNaN, kInf, -kInf, 1e300, -1e300}) expect_prompt_error(c, t);
    }
}

}  // namespace
}  // namespace orbweave::sgp4

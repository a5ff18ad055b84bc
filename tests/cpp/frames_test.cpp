#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "core/frames.hpp"
#include "core/observation.hpp"
#include "util/fast_fmod.hpp"

using namespace orbweave;
using namespace orbweave::frames;
using time::Instant;

namespace {

Instant at(int64_t y, unsigned mo, unsigned d, unsigned h = 0, unsigned mi = 0, unsigned s = 0) {
    return *Instant::from_civil(y, mo, d, h, mi, s, 0);
}

double distance(const Vec3& a, const Vec3& b) { return std::hypot(a.x - b.x, a.y - b.y, a.z - b.z); }

const StateVector kLeo{{-763924.0163191973, -5374645.660342083, 4078513.2981632533},
                       {6299.7565218220625, 2041.4808409393809, 3859.694032691943}};

}  // namespace

TEST(Frames, SiderealAngleAtJ2000IsTheConstantTerm) {
    // At 2000-01-01 12:00 UTC, T = 0 and GMST is 67310.54841 s of time.
    EXPECT_NEAR(gmst(at(2000, 1, 1, 12)), 67310.54841 / 86400.0 * 2.0 * std::numbers::pi, 1e-12);
    for (const Instant t : {at(1957, 10, 4), at(2024, 5, 1, 10), at(2100, 12, 31, 23, 59, 59)}) {
        const double theta = gmst(t);
        EXPECT_GE(theta, 0.0);
        EXPECT_LT(theta, 2.0 * std::numbers::pi);
    }
}

TEST(Frames, SiderealAngleIsTheFormulaBitForBit) {
    // The formula reduced with std::fmod, at instants from year 1 to 9999 and
    // near every whole day around today, must equal the library's fast reduction.
    const auto formula = [](Instant t) {
        const double centuries = (t.to_unix_seconds_f64() / 86400.0 + 2440587.5 - 2451545.0) / 36525.0;
        const double g = 3164400184.812866 * centuries + 67310.54841 + 0.093104 * centuries * centuries -
                         6.2e-6 * centuries * centuries * centuries;
        return std::fmod(std::fmod(g, 86400.0) + 86400.0, 86400.0) * 2.0 * std::numbers::pi / 86400.0;
    };
    for (int64_t year = 1; year <= 9999; year += 7) EXPECT_EQ(gmst(at(year, 3, 1, 5)), formula(at(year, 3, 1, 5)));
    for (int64_t ms = -400'000'000; ms < 400'000'000; ms += 3'999'997) {
        const Instant t = at(2024, 5, 1) + time::Duration::milliseconds(ms);
        EXPECT_EQ(gmst(t), formula(t)) << ms;
    }
}

TEST(FastFmod, EqualsFmodBitForBit) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (int i = 0; i < 200000; ++i) {
        const double y = i % 2 ? 86400.0 : 2.0 * std::numbers::pi;
        const double x = i % 3 ? std::ldexp(unit(rng), i % 60) : y * std::round(unit(rng) * 1e6);
        const double expected = std::fmod(x, y), got = fast_fmod(x, y);
        ASSERT_EQ(std::signbit(expected), std::signbit(got)) << x;
        ASSERT_EQ(expected, got) << x;
    }
    EXPECT_TRUE(std::isnan(fast_fmod(INFINITY, 3.0)));
}

TEST(Frames, TemeEcefRoundTripAndEarthRotationTerm) {
    const Instant t = at(2020, 7, 12, 1, 19, 7);
    const StateVector back = ecef_to_teme(teme_to_ecef(kLeo, t), t);
    EXPECT_LT(distance(back.position, kLeo.position), 1e-8);
    EXPECT_LT(distance(back.velocity, kLeo.velocity), 1e-11);
    // A point at rest in TEME moves backwards in the rotating frame: v = -omega x r.
    const StateVector ecef = teme_to_ecef({kLeo.position, {}}, t);
    EXPECT_NEAR(ecef.velocity.x, kEarthRotationRadPerS * ecef.position.y, 1e-9);
    EXPECT_NEAR(ecef.velocity.y, -kEarthRotationRadPerS * ecef.position.x, 1e-9);
    EXPECT_EQ(ecef.velocity.z, 0.0);
    EXPECT_EQ(ecef.position.z, kLeo.position.z);
}

struct GeodeticCase {
    Vec3 ecef;
    Geodetic expected;
};

TEST(Frames, EcefToGeodeticSpecialPoints) {
    const GeodeticCase cases[] = {
        {{6378137.0, 0, 0}, {0, 0, 0}},
        {{0, 0, 0}, {0, 0, -6378137.0}},
        {{0, -7000000.0, 0}, {0, -90, 7000000.0 - 6378137.0}},
        {{0, 0, 6356752.314245179}, {90, 0, 0}},
    };
    for (const auto& c : cases) {
        const Geodetic g = ecef_to_geodetic(c.ecef);
        EXPECT_NEAR(g.latitude_deg, c.expected.latitude_deg, 1e-9);
        EXPECT_NEAR(g.longitude_deg, c.expected.longitude_deg, 1e-9);
        EXPECT_NEAR(g.altitude, c.expected.altitude, 1e-6);
    }
}

TEST(Frames, GeodeticRoundTripFromBelowTheSurfaceToFarAbove) {
    for (double latitude : {-89.9, -45.0, 0.0, 12.5, 60.0, 89.9})
        for (double longitude : {-179.0, -90.0, 0.0, 45.0, 179.0})
            for (double altitude : {-5000.0, 0.0, 400e3, 36e6, 1e8}) {
                const Geodetic back = ecef_to_geodetic(geodetic_to_ecef({latitude, longitude, altitude}));
                EXPECT_NEAR(back.latitude_deg, latitude, 1e-9);
                EXPECT_NEAR(back.longitude_deg, longitude, 1e-9);
                EXPECT_NEAR(back.altitude, altitude, 1e-6 * std::max(1.0, altitude / 1e6));
            }
}

TEST(Frames, EnuAtTheSatellitesOwnPointAndBelowIt) {
    const StateVector ecef = teme_to_ecef(kLeo, at(2020, 7, 12));
    const Geodetic own = ecef_to_geodetic(ecef.position);
    EXPECT_LT(distance(ecef_to_enu(ecef, own).position, {}), 1e-6);
    const StateVector below = ecef_to_enu(ecef, {own.latitude_deg, own.longitude_deg, 0.0});
    EXPECT_NEAR(below.position.x, 0.0, 1e-6);
    EXPECT_NEAR(below.position.y, 0.0, 1e-6);
    EXPECT_NEAR(below.position.z, own.altitude, 1e-6);
}

TEST(Frames, LvlhAxes) {
    const StateVector self = teme_to_lvlh(kLeo, kLeo);
    EXPECT_EQ(self.position, Vec3{});
    EXPECT_EQ(self.velocity, Vec3{});
    const StateVector below =
        teme_to_lvlh(kLeo, {{kLeo.position.x * 0.9, kLeo.position.y * 0.9, kLeo.position.z * 0.9}, kLeo.velocity});
    EXPECT_GT(below.position.z, 0.0);
    EXPECT_NEAR(below.position.x, 0.0, 1e-6);
    EXPECT_NEAR(below.position.y, 0.0, 1e-6);
    const StateVector ahead = teme_to_lvlh(kLeo, {{kLeo.position.x + kLeo.velocity.x, kLeo.position.y + kLeo.velocity.y,
                                                   kLeo.position.z + kLeo.velocity.z},
                                                  kLeo.velocity});
    EXPECT_GT(ahead.position.x, 0.0);  // X points along-track
}

struct ObservationCase {
    Vec3 enu;
    double azimuth_deg, elevation_deg;
};

TEST(Observations, AzimuthQuadrantsAndZenith) {
    const ObservationCase cases[] = {
        {{1000, 0, 0}, 90, 0},  {{-1000, 0, 0}, -90, 0}, {{0.0, -1000, 0}, 180, 0},
        {{0, 1000, 0}, 0, 0},   {{0, 0, 1000}, 0, 90},
    };
    for (const auto& c : cases) {
        const Observation o = observation_from_enu({c.enu, {}});
        EXPECT_DOUBLE_EQ(o.azimuth * kDegreesPerRadian, c.azimuth_deg);
        EXPECT_DOUBLE_EQ(o.elevation * kDegreesPerRadian, c.elevation_deg);
        EXPECT_DOUBLE_EQ(o.range, 1000.0);
    }
    EXPECT_DOUBLE_EQ(observation_from_enu({{0, 0, 1000}, {0, 0, 7}}).range_rate, 7.0);
}

TEST(Observations, PointingZeroRangeAndNadir) {
    const Pointing tiny = pointing_from_lvlh({{5e-10, 5e-10, 5e-10}, {1, 2, 3}});
    EXPECT_EQ(tiny, Pointing{});
    EXPECT_EQ(tiny.off_nadir_deg(), 0.0);
    const Pointing nadir = pointing_from_lvlh({{0, 0, 400e3}, {0, 0, -5}});
    EXPECT_EQ(nadir.direction, (Vec3{0, 0, 1}));
    EXPECT_EQ(nadir.off_nadir_deg(), 0.0);
    EXPECT_DOUBLE_EQ(nadir.range_rate, -5.0);
    EXPECT_DOUBLE_EQ(pointing_from_lvlh({{100, 0, 0}, {}}).off_nadir_deg(), 90.0);
    EXPECT_DOUBLE_EQ(pointing_from_lvlh({{0, 0, -1}, {}}).off_nadir_deg(), 180.0);
}

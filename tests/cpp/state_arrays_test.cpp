#include "core/state_arrays.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "fixtures.hpp"
#include "sgp4/batch/batch.hpp"
#include "util/panic.hpp"

namespace orbweave {
namespace {

using time::Duration;
using time::Instant;

const Predictor kIss = *Predictor::from_elements(fixtures::iss_elements());
const Instant kEpoch = kIss.epoch();

int64_t unix_nanos(Instant t) {
    return (t.days_since_1970() * 86400 + t.second_of_day()) * 1'000'000'000LL + t.nanosecond();
}

TEST(StateArrays, TicksGiveTheMinutesOfTheInstant) {
    for (const int64_t ns : {0LL, 999'999LL, -999'999LL, -1'500'000LL, 86'400'000'000'123LL}) {
        const Instant t = kEpoch + Duration::nanoseconds(ns);
        EXPECT_EQ(minutes_since_epoch(unix_nanos(t), {1, 1}, kEpoch), time::minutes_since(t, kEpoch)) << ns;
    }
    // Whole seconds, and picoseconds just past a millisecond before the epoch.
    EXPECT_EQ(minutes_since_epoch(unix_nanos(kEpoch) / 1'000'000'000, {1'000'000'000, 1}, kEpoch),
              time::minutes_since(Instant::unix_epoch() + Duration::seconds(unix_nanos(kEpoch) / 1'000'000'000),
                                  kEpoch));
    const Instant epoch_1970 = Instant::unix_epoch() + Duration::seconds(5);
    EXPECT_EQ(minutes_since_epoch(4'999'000'000'001LL, {1, 1000}, epoch_1970), 0.0);
    EXPECT_EQ(minutes_since_epoch(4'998'999'999'999LL, {1, 1000}, epoch_1970), -1.0 / 60000.0);
    // An epoch in a leap second: the second counts between it and any later time.
    const Instant leap = *Instant::from_civil(2016, 12, 31, 23, 59, 59, 1'500'000'000);
    for (const int64_t ns : {-2'000'000'000LL, 0LL, 400'000'000LL, 3'000'000'000LL}) {
        const Instant t = *Instant::from_civil(2017, 1, 1, 0, 0, 0, 0) + Duration::nanoseconds(ns);
        EXPECT_EQ(minutes_since_epoch(unix_nanos(t), {1, 1}, leap), time::minutes_since(t, leap)) << ns;
    }
}

TEST(StateArrays, UnusableTimesAreNaN) {
    EXPECT_TRUE(std::isnan(minutes_since_epoch(kNoTicks, {1, 1}, kEpoch)));
    EXPECT_TRUE(std::isnan(minutes_since_epoch(INT64_MAX, {604'800'000'000'000LL, 1}, kEpoch)));
    EXPECT_TRUE(std::isnan(minutes_since_epoch(NAN)));
    EXPECT_TRUE(std::isnan(minutes_since_epoch(1e10)));
    EXPECT_EQ(minutes_since_epoch(-0.0015), -1.0 / 60000.0);
    EXPECT_EQ(minutes_since_epoch(0.0029999999999), 3.0 / 60000.0);  // nearest nanosecond first
}

TEST(StateArrays, LanesEqualPropagateAndRecordFailures) {
    // The scalar engine's lanes, bit for bit (the batched kernels have their own test).
    const sgp4::batch::Kernel kernel = sgp4::batch::active_kernel();
    ASSERT_TRUE(sgp4::batch::use_kernel(sgp4::batch::Kernel::Scalar));
    const std::vector<const Predictor*> one{&kIss};
    const std::vector<double> minutes{0.0, 90.0, NAN, -1440.0};
    std::vector<double> positions(12), velocities(12);
    std::vector<int32_t> errors(4, -1);
    propagate_lanes(one, minutes, {positions, velocities, errors});
    EXPECT_EQ(errors, (std::vector<int32_t>{0, 0, 8, 0}));
    const StateVector at_90 = *kIss.propagate_minutes(90.0);
    EXPECT_EQ(positions[3], at_90.position.x);
    EXPECT_EQ(velocities[5], at_90.velocity.z);
    EXPECT_TRUE(std::isnan(positions[6]) && std::isnan(velocities[8]));

    std::vector<double> short_positions(3);
    EXPECT_THROW(propagate_lanes(one, minutes, {short_positions, velocities, errors}), Panic);
    sgp4::batch::use_kernel(kernel);
}

}  // namespace
}  // namespace orbweave

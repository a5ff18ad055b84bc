#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "time/instant.hpp"
#include "time/sampler.hpp"
#include "time/text.hpp"
#include "util/number_text.hpp"
#include "util/panic.hpp"
#include "util/siphash.hpp"

using namespace orbweave;
using namespace orbweave::time;

namespace {

Instant at(int64_t y, unsigned mo, unsigned d, unsigned h = 0, unsigned mi = 0, unsigned s = 0, uint32_t ns = 0) {
    auto t = Instant::from_civil(y, mo, d, h, mi, s, ns);
    EXPECT_TRUE(t.has_value());
    return *t;
}

std::string panic_text(auto&& action) {
    try {
        action();
    } catch (const Panic& p) {
        return p.message;
    }
    return "no panic";
}

}  // namespace

TEST(Calendar, RoundTripsEveryDayAcrossTheWholeRange) {
    for (int64_t day = kMinDay; day <= kMaxDay; day += 997) {
        const CivilDate c = civil_from_days(day);
        ASSERT_EQ(days_from_civil(c.year, c.month, c.day), day);
    }
    EXPECT_EQ(civil_from_days(kMinDay).year, kMinYear);
    EXPECT_EQ(civil_from_days(kMaxDay).year, kMaxYear);
    EXPECT_EQ(days_from_civil(2000, 3, 1) - days_from_civil(2000, 2, 28), 2);  // 2000 is leap
    EXPECT_EQ(days_from_civil(1900, 3, 1) - days_from_civil(1900, 2, 28), 1);  // 1900 is not
}

TEST(Instant, RejectsInvalidCivilFields) {
    EXPECT_FALSE(Instant::from_civil(2023, 2, 29, 0, 0, 0, 0));
    EXPECT_FALSE(Instant::from_civil(2024, 13, 1, 0, 0, 0, 0));
    EXPECT_FALSE(Instant::from_civil(2024, 1, 1, 24, 0, 0, 0));
    EXPECT_FALSE(Instant::from_civil(kMaxYear + 1, 1, 1, 0, 0, 0, 0));
    EXPECT_FALSE(Instant::from_civil(2016, 12, 31, 23, 59, 58, 1'000'000'000));  // leap only at :59
    EXPECT_TRUE(Instant::from_civil(2016, 12, 31, 23, 59, 59, 1'500'000'000));
}

TEST(Instant, CheckedDayPartsReadBackAndRefuseWhatNoInstantHas) {
    const Instant leap = Instant::from_civil(2016, 12, 31, 23, 59, 59, 1'500'000'000).value();
    EXPECT_EQ(Instant::from_checked_day_parts(leap.days_since_1970(), leap.second_of_day(), leap.nanosecond()), leap);
    EXPECT_TRUE(Instant::from_checked_day_parts(kMinDay, 0, 0));
    EXPECT_TRUE(Instant::from_checked_day_parts(kMaxDay, 86399, 999'999'999));
    EXPECT_FALSE(Instant::from_checked_day_parts(kMinDay - 1, 0, 0));
    EXPECT_FALSE(Instant::from_checked_day_parts(kMaxDay + 1, 0, 0));
    EXPECT_FALSE(Instant::from_checked_day_parts(0, 86400, 0));
    EXPECT_FALSE(Instant::from_checked_day_parts(0, 58, 1'000'000'000));  // leap only at a minute's last second
    EXPECT_FALSE(Instant::from_checked_day_parts(0, 59, 2'000'000'000));
}

TEST(Instant, DifferenceIsExactAndOrdered) {
    const Instant a = at(2024, 5, 1, 10, 0, 0, 250);
    const Instant b = at(1969, 12, 31, 23, 59, 59, 500'000'000);
    const Duration d = a - b;
    EXPECT_EQ(b + d, a);
    EXPECT_EQ(a - d, b);
    EXPECT_EQ((b - a), -d);
    EXPECT_LT(b, a);
    EXPECT_EQ((at(1970, 1, 1, 0, 0, 1) - at(1970, 1, 1, 0, 0, 0, 500'000'000)).whole_milliseconds(), 500);
}

TEST(Instant, LeapSecondCountsAsOneSecond) {
    const Instant leap = at(2016, 12, 31, 23, 59, 59, 1'500'000'000);  // 23:59:60.5
    EXPECT_EQ(leap - at(2016, 12, 31, 23, 59, 59), Duration::milliseconds(1500));
    EXPECT_EQ(leap + Duration::milliseconds(250), at(2016, 12, 31, 23, 59, 59, 1'750'000'000));
    EXPECT_EQ(leap + Duration::milliseconds(500), at(2017, 1, 1));
    EXPECT_EQ(leap - Duration::milliseconds(2000), at(2016, 12, 31, 23, 59, 58, 500'000'000));
    EXPECT_EQ(instant_text(leap), "2016-12-31 23:59:60.500 UTC");
    // Across the following midnight the leap second counts once, both ways round.
    EXPECT_EQ(at(2017, 1, 1) - leap, Duration::milliseconds(500));
    EXPECT_EQ(leap - at(2017, 1, 1), Duration::milliseconds(-500));
    EXPECT_EQ(at(2017, 1, 2) - leap, Duration::milliseconds(86'400'500));
    const Instant earlier_leap = at(2015, 6, 30, 23, 59, 59, 1'000'000'000);
    EXPECT_EQ(leap - earlier_leap, at(2017, 1, 1) - at(2015, 7, 1) + Duration::milliseconds(1500));
    for (int64_t ms : {-2500, -1500, -500, 0, 250, 499, 500, 1500, 86'400'000})
        EXPECT_EQ((leap + Duration::milliseconds(ms)) - leap, Duration::milliseconds(ms)) << ms;
}

TEST(Instant, ArithmeticOverflowPanicsWithItsText) {
    const Instant last = Instant::from_day_parts(kMaxDay, 86399, 999'999'999);
    const Instant first = Instant::from_day_parts(kMinDay, 0, 0);
    EXPECT_EQ(panic_text([&] { (void)(last + Duration::nanoseconds(1)); }), "`DateTime + TimeDelta` overflowed");
    EXPECT_EQ(panic_text([&] { (void)(first - Duration::nanoseconds(1)); }), "`DateTime - TimeDelta` overflowed");
    EXPECT_EQ(first + (last - first), last);
    EXPECT_FALSE(last.checked_add(Duration::max()));
    EXPECT_FALSE(first.checked_add(Duration::min()));
}

TEST(Duration, OutOfBoundsFactoriesPanic) {
    EXPECT_EQ(panic_text([] { (void)Duration::seconds(INT64_MAX); }), "TimeDelta::seconds out of bounds");
    EXPECT_EQ(panic_text([] { (void)Duration::seconds(-INT64_MAX / 1000 - 1); }), "TimeDelta::seconds out of bounds");
    EXPECT_EQ(panic_text([] { (void)Duration::milliseconds(INT64_MIN); }), "TimeDelta::milliseconds out of bounds");
    EXPECT_EQ(Duration::milliseconds(INT64_MAX), Duration::max());
    EXPECT_EQ(Duration::seconds(INT64_MAX / 1000).floor_seconds(), INT64_MAX / 1000);
}

TEST(Duration, FloorStorageAndTruncatingViews) {
    const Duration d = Duration::from_parts(0, -1'500'000'000);
    EXPECT_EQ(d.floor_seconds(), -2);
    EXPECT_EQ(d.subsec_nanos(), 500'000'000);
    EXPECT_EQ(d.whole_milliseconds(), -1500);
    EXPECT_EQ(Duration::nanoseconds(-1'500'000).whole_milliseconds(), -1);
    EXPECT_EQ(Duration::nanoseconds(1'999'999).whole_milliseconds(), 1);
    EXPECT_EQ(Duration::nanoseconds(-3).half(), Duration::nanoseconds(-1));
    EXPECT_EQ(Duration::from_parts(3, 1).half(), Duration::from_parts(1, 500'000'000));
    EXPECT_EQ(Duration::from_parts(-3, 0).half(), Duration::from_parts(-2, 500'000'000));
}

TEST(TimeViews, MinutesSinceEpochTruncateTowardZero) {
    const Instant epoch = at(2024, 1, 1, 12);
    EXPECT_EQ(minutes_since(epoch - Duration::nanoseconds(1'500'000), epoch), -1.0 / 60000.0);
    EXPECT_EQ(minutes_since(epoch + Duration::nanoseconds(900'000), epoch), 0.0);
    EXPECT_EQ(minutes_since(epoch, epoch), 0.0);
    EXPECT_EQ(age_seconds(epoch - Duration::seconds(86400), epoch), -86400.0);
    EXPECT_EQ(age_seconds(epoch + Duration::nanoseconds(400'000), epoch), 0.0);
}

TEST(TimeViews, UnixSecondsBothWays) {
    const Instant half = at(1970, 1, 1, 0, 0, 0, 500'000'000);
    EXPECT_EQ(half.to_unix_seconds_f64(), 0.5);
    EXPECT_EQ(Instant::from_unix_seconds_f64(0.5), half);
    EXPECT_EQ(Instant::from_unix_seconds_f64(-0.5), at(1969, 12, 31, 23, 59, 59, 500'000'000));
    EXPECT_EQ(Instant::from_unix_seconds_f64(std::nan("")), Instant::unix_epoch());
    EXPECT_EQ(instant_text(Instant::from_unix_seconds_f64(1e300)), "2262-04-11 23:47:16.854775807 UTC");
    EXPECT_EQ(instant_text(Instant::from_unix_seconds_f64(-1e300)), "1677-09-21 00:12:43.145224192 UTC");
    EXPECT_EQ(Instant::from_unix_seconds_f64(std::numeric_limits<double>::infinity()),
              Instant::from_unix_seconds_f64(1e300));
}

std::vector<std::string> samples(Instant start, Instant end, Duration step) {
    std::vector<std::string> out;
    Sampler sampler(start, end, step);
    while (auto t = sampler.next()) out.push_back(instant_text(*t));
    EXPECT_FALSE(sampler.next());  // stays exhausted
    return out;
}

TEST(Sampler, EndIsExclusiveAndStepsAreExact) {
    const Instant noon = at(2024, 5, 1, 12), ten = at(2024, 5, 1, 12, 0, 10);
    using V = std::vector<std::string>;
    EXPECT_EQ(samples(noon, ten, Duration::seconds(5)), (V{"2024-05-01 12:00:00 UTC", "2024-05-01 12:00:05 UTC"}));
    EXPECT_EQ(samples(noon, ten, Duration::seconds(3)).size(), 4u);
    EXPECT_EQ(samples(noon, ten, Duration::zero()).size(), 10u);
    EXPECT_EQ(samples(noon, ten, Duration::seconds(-4)).size(), 10u);
    EXPECT_TRUE(samples(noon, noon, Duration::seconds(1)).empty());
    EXPECT_TRUE(samples(ten, noon, Duration::seconds(1)).empty());
    EXPECT_EQ(samples(noon, ten, Duration::nanoseconds(3'333'333'333)).back(), "2024-05-01 12:00:09.999999999 UTC");
}

TEST(Sampler, OverflowOfTheNextSamplePanicsBeforeDelivery) {
    const Instant last = Instant::from_day_parts(kMaxDay, 86399, 0);
    Sampler sampler(last, Instant::from_day_parts(kMaxDay, 86399, 999'999'999), Duration::seconds(1));
    EXPECT_EQ(panic_text([&] { (void)sampler.next(); }), "`DateTime + TimeDelta` overflowed");
}

struct InstantTextCase {
    Instant t;
    const char* text;
};

TEST(Text, InstantTextFractionDigits) {
    const InstantTextCase cases[] = {
        {at(2024, 5, 1, 10), "2024-05-01 10:00:00 UTC"},
        {at(2024, 5, 1, 10, 0, 0, 120'000'000), "2024-05-01 10:00:00.120 UTC"},
        {at(2024, 5, 1, 10, 0, 0, 123'400'000), "2024-05-01 10:00:00.123400 UTC"},
        {at(2024, 5, 1, 10, 0, 0, 1), "2024-05-01 10:00:00.000000001 UTC"},
        {at(1, 1, 1), "0001-01-01 00:00:00 UTC"},
        {at(12345, 1, 1), "+12345-01-01 00:00:00 UTC"},
        {at(-1, 1, 1), "-0001-01-01 00:00:00 UTC"},
    };
    for (const auto& c : cases) EXPECT_EQ(instant_text(c.t), c.text);
}

TEST(Text, CompactDuration) {
    EXPECT_EQ(compact_duration_text(Duration::zero()), "0s");
    EXPECT_EQ(compact_duration_text(Duration::seconds(3600)), "1h");
    EXPECT_EQ(compact_duration_text(Duration::seconds(90)), "1m 30s");
    EXPECT_EQ(compact_duration_text(Duration::seconds(172800)), "2days");
    EXPECT_EQ(compact_duration_text(Duration::seconds(86400)), "1day");
    EXPECT_EQ(compact_duration_text(Duration::seconds(-1)), "-1s");
    EXPECT_EQ(compact_duration_text(Duration::nanoseconds(-1'500'000)), "-1ms 500us");
    EXPECT_EQ(compact_duration_text(Duration::from_parts(31'557'600 + 2 * 2'630'016 + 3661, 7'008'009)),
              "1year 2months 1h 1m 1s 7ms 8us 9ns");
}

TEST(Text, ShortestDecimal) {
    EXPECT_EQ(shortest_decimal(2.0), "2");
    EXPECT_EQ(shortest_decimal(0.5), "0.5");
    EXPECT_EQ(shortest_decimal(1e-7), "0.0000001");
    EXPECT_EQ(shortest_decimal(std::ldexp(1.0, 60)), "1152921504606847000");
    EXPECT_EQ(shortest_decimal(-1440.5), "-1440.5");
    EXPECT_EQ(shortest_decimal(123.456), "123.456");
}

TEST(SipHash, MatchesTheReferenceVectorFor24) {
    // Reference SipHash-2-4 vector: key 00..0f, message 00..0e.
    SipHasher<2, 4> h(0x0706050403020100ULL, 0x0f0e0d0c0b0a0908ULL);
    unsigned char message[15];
    for (int i = 0; i < 15; ++i) message[i] = static_cast<unsigned char>(i);
    h.write(message, 7);
    h.write(message + 7, 8);  // split writes hash like one
    EXPECT_EQ(h.finish(), 0xa129ca6149be45e5ULL);
}

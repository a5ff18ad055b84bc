#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <limits>
#include <numbers>
#include <random>
#include <utility>
#include <vector>

#include "detect/event_iter.hpp"
#include "detect/window_iter.hpp"
#include "util/cancel.hpp"

using namespace orbweave;
using detect::CostSample;
using detect::WindowKind;
using time::Duration;
using time::Instant;

namespace {

const Instant kBase = *Instant::from_civil(2024, 5, 1, 0, 0, 0, 0);
constexpr double kTolerance = 1e-3;
constexpr auto G = WindowKind::Gap;

Instant at(double seconds) { return kBase + Duration::nanoseconds(std::llround(seconds * 1e9)); }
double offset(Instant t) { return (t - kBase).as_seconds_f64(); }

// Every evaluation, and the offsets at which the cost fails once.
struct Probe {
    std::vector<double> times;
    std::vector<double> fail_once;
};

// A cost function of seconds since kBase that records where it is evaluated.
struct TestCost {
    std::function<CostSample(double)> f;
    std::shared_ptr<Probe> probe = std::make_shared<Probe>();

    std::expected<CostSample, CoreError> operator()(Instant t) const {
        const double s = offset(t);
        probe->times.push_back(s);
        const auto failing = std::find(probe->fail_once.begin(), probe->fail_once.end(), s);
        if (failing == probe->fail_once.end()) return f(s);
        probe->fail_once.erase(failing);
        return std::unexpected(CoreError{CoreError::Custom{"boom"}});
    }
};

// Positive inside each [start, end), negative between: the larger of the tents.
TestCost windows(std::vector<std::pair<double, double>> spans) {
    return {[spans](double t) {
        double value = -1e9;
        for (const auto& [s, e] : spans) value = std::max(value, std::min(t - s, e - t));
        return CostSample{value};
    }};
}

// A test cost that also bounds its time below zero by its largest rate of change.
struct Bounded {
    TestCost cost;
    double max_rate;

    std::expected<CostSample, CoreError> operator()(Instant t) const { return cost(t); }
    std::expected<detect::ScanSample, CoreError> scan(Instant t, double) const {
        auto sample = cost(t);
        if (!sample) return std::unexpected(sample.error());
        return detect::ScanSample{*sample, -sample->value / max_rate};
    }
};

// sin(2πt/6000) − 1/2 with its derivative: windows [500, 2500), [6500, 8500), ...
TestCost sine_windows() {
    return {[](double t) {
        const double w = 2.0 * std::numbers::pi / 6000.0;
        return CostSample{std::sin(w * t) - 0.5, w * std::cos(w * t)};
    }};
}

struct Span {
    double start, end;
    WindowKind kind = WindowKind::Positive;
};

template <class Iter>
std::vector<Span> drain(Iter& iter) {
    std::vector<Span> out;
    while (true) {
        auto item = iter.next();
        EXPECT_TRUE(item.has_value()) << item.error().text();
        if (!item || !*item) return out;
        out.push_back({offset((*item)->start), offset((*item)->end), (*item)->kind});
    }
}

// Refined crossings within the tolerance; a gap and its neighbours share their
// instants exactly.
void expect_spans(const std::vector<Span>& got, const std::vector<Span>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_NEAR(got[i].start, want[i].start, kTolerance) << "item " << i;
        EXPECT_NEAR(got[i].end, want[i].end, kTolerance) << "item " << i;
        EXPECT_EQ(got[i].kind, want[i].kind) << "item " << i;
        if (i > 0 && got[i].kind != got[i - 1].kind) EXPECT_EQ(got[i].start, got[i - 1].end) << "item " << i;
    }
}

template <class Step = detect::FixedStep, class Cost = TestCost>
auto build(detect::WindowConfig<Step> config, Cost cost, double start, double end) {
    return *detect::window_iter(std::move(config), std::move(cost)).interval(at(start), at(end)).build();
}

}  // namespace

TEST(EventIter, SineCrossingsAreRefinedWithTheirDirection) {
    // sin(2πt/1000) crosses zero every 500 s; the zero sample at 0 is no crossing.
    TestCost cost{[](double t) {
        const double w = 2.0 * std::numbers::pi / 1000.0;
        return CostSample{std::sin(w * t), w * std::cos(w * t)};
    }};
    auto iter = *detect::event_iter(cost).interval(at(0), at(3000)).build();
    for (int k = 1; k <= 5; ++k) {
        auto event = iter.next();
        ASSERT_TRUE(event.has_value() && event->has_value());
        EXPECT_NEAR(offset((*event)->t), 500.0 * k, kTolerance);
        EXPECT_EQ((*event)->rising, k % 2 == 0);
    }
    EXPECT_FALSE(iter.next()->has_value());
    EXPECT_FALSE(iter.next()->has_value());
}

// A host check that asks to stop at its n-th call, counting from installation.
int g_checks_until_stop = 0;
bool stop_at_countdown() { return --g_checks_until_stop == 0; }

// Drains an iterator while the host stops each call once, at its `stop_at`-th check,
// and the call is then made again; the items must be those of an undisturbed run.
template <class Iter>
std::vector<Span> drain_with_stops(Iter& iter, int stop_at) {
    std::vector<Span> out;
    cancel::install(&stop_at_countdown);
    for (bool retrying = false;;) {
        g_checks_until_stop = retrying ? -1 : stop_at;
        auto item = iter.next();
        retrying = !item;
        if (!item) {
            EXPECT_TRUE(item.error().is_cancelled()) << item.error().text();
            continue;
        }
        if (!*item) break;
        if constexpr (requires { (*item)->rising; })
            out.push_back({offset((*item)->t), (*item)->rising ? 1.0 : 0.0, WindowKind::Positive});
        else
            out.push_back({offset((*item)->start), offset((*item)->end), (*item)->kind});
    }
    cancel::install(nullptr);
    return out;
}

TEST(Cancel, AStoppedCallLeavesTheIteratorAsItWas) {
    for (const int stop_at : {1, 2, 3, 7}) {
        auto events = *detect::event_iter(sine_windows()).step(Duration::seconds(700)).interval(at(0), at(20000)).build();
        auto calm_events = *detect::event_iter(sine_windows()).step(Duration::seconds(700)).interval(at(0), at(20000)).build();
        const auto stopped = drain_with_stops(events, stop_at);
        std::vector<Span> calm;
        while (auto e = *calm_events.next()) calm.push_back({offset(e->t), e->rising ? 1.0 : 0.0, WindowKind::Positive});
        ASSERT_EQ(stopped.size(), calm.size());
        for (size_t i = 0; i < calm.size(); ++i) EXPECT_EQ(stopped[i].start, calm[i].start);

        const detect::WindowConfig<detect::AdaptiveStep> config{.step_policy = {Duration::seconds(10), Duration::seconds(600)},
                                                                .report_gaps = true};
        auto windows = build<detect::AdaptiveStep>(config, Bounded{sine_windows(), 1e-3}, 0, 20000);
        auto calm_windows = build<detect::AdaptiveStep>(config, Bounded{sine_windows(), 1e-3}, 0, 20000);
        const auto calm_spans = drain(calm_windows);
        const auto stopped_spans = drain_with_stops(windows, stop_at);
        ASSERT_EQ(stopped_spans.size(), calm_spans.size());
        for (size_t i = 0; i < calm_spans.size(); ++i) {
            EXPECT_EQ(stopped_spans[i].start, calm_spans[i].start);
            EXPECT_EQ(stopped_spans[i].end, calm_spans[i].end);
        }
    }
}

TEST(EventIter, NoEventWithoutAStrictSignChangeOrAfterTheLastSample) {
    for (const auto& f : std::vector<std::function<CostSample(double)>>{
             [](double t) { return CostSample{-(t - 100) * (t - 100)}; },  // touches zero between samples
             [](double t) { return CostSample{(t - 120) * (t - 120)}; },   // touches zero on a sample
             [](double t) { return CostSample{-(t - 540) * (t - 540)}; },  // ... on the last sample
             [](double t) { return CostSample{t - 570}; },                 // crosses after the last sample
         }) {
        auto iter = *detect::event_iter(TestCost{f}).interval(at(0), at(600)).build();
        EXPECT_FALSE(iter.next()->has_value());
    }
}

struct ZeroCase {
    const char* name;
    std::function<CostSample(double)> f;
    double end;
    double at;
    bool rising;
};

class EventIterZeroSamples : public testing::TestWithParam<ZeroCase> {};

// A crossing that lands exactly on a sample is one event at that sample.
TEST_P(EventIterZeroSamples, CountOnceAtTheFirstZero) {
    const ZeroCase& c = GetParam();
    TestCost cost{c.f};
    auto iter = *detect::event_iter(cost).interval(at(0), at(c.end)).build();
    const auto event = iter.next();
    ASSERT_TRUE(event.has_value() && event->has_value());
    EXPECT_EQ((*event)->t, at(c.at));
    EXPECT_EQ((*event)->rising, c.rising);
    EXPECT_FALSE(iter.next()->has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Crossings, EventIterZeroSamples,
    testing::Values(ZeroCase{"Rising", [](double t) { return CostSample{t - 120}; }, 600, 120, true},
                    ZeroCase{"Falling", [](double t) { return CostSample{120 - t}; }, 600, 120, false},
                    ZeroCase{"ZeroStretch", [](double t) { return CostSample{t < 100 ? t - 100 : std::max(t - 250, 0.0)}; },
                             600, 120, true},
                    // The last sample (120) is zero: the interval end tells the crossing from a touch.
                    ZeroCase{"OnTheLastSample", [](double t) { return CostSample{t - 120}; }, 150, 120, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EventIter, ErrorMidScanLeavesTheIteratorUsable) {
    TestCost cost{[](double t) { return CostSample{t - 150}; }};
    cost.probe->fail_once = {120};
    auto iter = *detect::event_iter(cost).interval(at(0), at(600)).build();
    EXPECT_EQ(iter.next().error().text(), "boom");
    auto next = iter.next();  // 60 s is still the previous sample
    ASSERT_TRUE(next.has_value() && next->has_value());
    EXPECT_NEAR(offset((*next)->t), 150, kTolerance);
}

TEST(ScanBuilders, MissingIntervalIsAnIntervalError) {
    EXPECT_EQ(detect::event_iter(windows({})).build().error().text(),
              "Interval error: EventIter requires an interval — call .interval(start..end)");
    EXPECT_EQ(detect::window_iter(detect::WindowConfig<>{}, windows({})).build().error().text(),
              "Interval error: WindowIter requires an interval — call .interval(start..end)");
}

TEST(ScanBuilders, EmptyOrReversedIntervalYieldsNothingAndEvaluatesNothing) {
    for (const auto& [start, end] : std::vector<std::pair<double, double>>{{100, 100}, {200, 100}}) {
        TestCost cost = windows({{0, 1000}});
        auto events = *detect::event_iter(cost).interval(at(start), at(end)).build();
        EXPECT_FALSE(events.next()->has_value());
        auto wins = build({.report_gaps = true, .skip_leading_partial = false}, cost, start, end);
        EXPECT_TRUE(drain(wins).empty());
        EXPECT_TRUE(cost.probe->times.empty());
    }
}

struct WindowCase {
    const char* name;
    double start, end;
    bool skip_leading_partial, clamp, report_gaps;
    std::vector<Span> want;
};

class WindowIterModes : public testing::TestWithParam<WindowCase> {};

TEST_P(WindowIterModes, YieldsTheExpectedItems) {
    const WindowCase& c = GetParam();
    auto iter = build({.report_gaps = c.report_gaps, .skip_leading_partial = c.skip_leading_partial,
                       .clamp_to_interval = c.clamp},
                      sine_windows(), c.start, c.end);
    expect_spans(drain(iter), c.want);
}

INSTANTIATE_TEST_SUITE_P(
    Sine, WindowIterModes,
    testing::Values(
        WindowCase{"Defaults", 0, 14000, true, false, false, {{500, 2500}, {6500, 8500}, {12500, 14500}}},
        WindowCase{"LeadingPartialSkipped", 1000, 9000, true, false, false, {{6500, 8500}}},
        WindowCase{"LeadingPartialKept", 1000, 9000, false, false, false, {{500, 2500}, {6500, 8500}}},
        WindowCase{"ClampedBothEnds", 1000, 7000, false, true, false, {{1000, 2500}, {6500, 7000}}},
        WindowCase{"GapsFromOutsideAWindow", 0, 9000, false, true, true,
                   {{0, 500, G}, {500, 2500}, {2500, 6500, G}, {6500, 8500}, {8500, 9000, G}}},
        WindowCase{"GapsFromInsideAWindow", 1234.5, 7000, false, true, true,
                   {{1234.5, 2500}, {2500, 6500, G}, {6500, 7000}}},
        // A window opening after the last scan sample (480) is found at the end.
        WindowCase{"FinishFindsLateWindow", 0, 530, true, false, false, {{500, 2500}}},
        WindowCase{"FinishFindsLateWindowClamped", 0, 530, true, true, false, {{500, 530}}},
        WindowCase{"FinishFindsLateWindowInGapMode", 0, 530, false, true, true, {{0, 500, G}, {500, 530}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WindowIter, CloseWindowsAndCrossingsOnSamplePoints) {
    // Edges at 100 and 135 fall on scan and walk samples (zero counts as inside);
    // [141, 142) lies between two scan samples.
    auto iter = build({.step_policy = {Duration::seconds(10)}, .walk_step = Duration::seconds(5)},
                      windows({{100, 112}, {118, 135}, {141, 142}}), 50, 300);
    expect_spans(drain(iter), {{100, 112}, {118, 135}});
}

TEST(WindowIter, AGapShorterThanTheWalkStepDoesNotLeadBackIntoTheWindowBefore) {
    // The gap [130, 133) is shorter than a walk step: the backward walk from the scan
    // sample at 133 must stop at the negative sample at 131, where the first window's
    // forward walk ended, rather than step over the gap into that window.
    auto iter = build({.step_policy = {Duration::seconds(2)}, .walk_step = Duration::seconds(5)},
                      windows({{100, 130}, {133, 160}}), 91, 300);
    const auto got = drain(iter);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_NEAR(got[1].start, 133, kTolerance);
    EXPECT_GE(got[1].start, got[0].end);
}

TEST(WindowIter, AScanSampleOfExactlyZeroOpensTheWholeWindow) {
    // Zero at the sample at 100, positive up to 108, negative at the walk's 130.
    TestCost cost{[](double t) { return CostSample{(t - 100) * (108 - t)}; }};
    auto iter = build({.step_policy = {Duration::seconds(50)}}, cost, 0, 300);
    expect_spans(drain(iter), {{100, 108}});
}

TEST(WindowIter, TooLongWindowIsADetectError) {
    for (const auto& [max, text] : {std::pair{Duration::seconds(3600), "1h"}, {Duration::seconds(1000), "16m 40s"}}) {
        auto iter = build({.max_window_duration = max}, windows({{500, 7700}}), 0, 20000);
        EXPECT_EQ(iter.next().error().text(),
                  std::string("Detection error: window too long: the positive window containing "
                              "2024-05-01 00:09:00 UTC exceeds the ") + text + " maximum");
    }
}

TEST(WindowIter, CostErrorsDuringTheScanAreReportedAndTheScanContinues) {
    TestCost cost = sine_windows();
    cost.probe->fail_once = {300, 540};  // a negative sample, then the first inside the window
    auto iter = build({}, cost, 0, 9000);
    EXPECT_EQ(iter.next().error().text(), "boom");
    EXPECT_EQ(iter.next().error().text(), "boom");
    expect_spans(drain(iter), {{500, 2500}, {6500, 8500}});
}

TEST(WindowIter, CostErrorAtTheIntervalEndEndsTheSearch) {
    TestCost cost = sine_windows();
    cost.probe->fail_once = {530};
    auto iter = build({}, cost, 0, 530);
    EXPECT_EQ(iter.next().error().text(), "boom");
    EXPECT_FALSE(iter.next()->has_value());
}

TEST(WindowIter, AdaptiveStepFollowsTheCostsBoundTowardsTheCrossing) {
    TestCost cost{[](double t) { return t < 1250 ? CostSample{(t - 1000) / 100} : CostSample{(1500 - t) / 100}; }};
    auto iter = build<detect::AdaptiveStep>({.step_policy = {Duration::seconds(10), Duration::seconds(600)}},
                                            Bounded{cost, 0.01}, 0, 1800);
    expect_spans(drain(iter), {{1000, 1500}});
    // 0 → 600 (capped at max_step), 600 → 1000 (400 s below zero at most), then the walk.
    EXPECT_EQ(std::vector<double>(cost.probe->times.begin(), cost.probe->times.begin() + 3),
              (std::vector<double>{0, 600, 1000}));
}

TEST(WindowIter, AdaptiveStepSeesEveryWindowLongerThanMinStep) {
    // 400 windows of 10.001 s at random places, between stretches of rate 1.
    std::mt19937 rng(5);
    std::vector<std::pair<double, double>> spans;
    for (double t = 0; spans.size() < 400; t += 11 + std::uniform_real_distribution<double>(0, 900)(rng))
        spans.push_back({t + 0.5, t + 10.501});
    TestCost cost = windows(spans);
    auto iter = build<detect::AdaptiveStep>({.step_policy = {Duration::seconds(10), Duration::seconds(600)},
                                             .walk_step = Duration::seconds(5), .skip_leading_partial = false},
                                            Bounded{cost, 1.0}, 0, spans.back().second + 100);
    const std::vector<Span> found = drain(iter);
    EXPECT_EQ(found.size(), spans.size());
    // Far from the windows the scan still takes long steps.
    EXPECT_LT(cost.probe->times.size(), 40 * spans.size());
}

TEST(WindowIter, CustomStepRuleSeesTheLastNegativeSampleAtTheCursor) {
    int calls = 0;
    detect::CustomStep rule{[&calls](Instant cursor, const std::optional<detect::LastSample>& last) {
        ++calls;
        return last && last->t == cursor ? Duration::seconds(100) : Duration::seconds(7);
    }};
    TestCost cost = windows({});
    auto iter = build<decltype(rule)>({rule}, cost, 0, 450);
    EXPECT_TRUE(drain(iter).empty());
    EXPECT_EQ(cost.probe->times, (std::vector<double>{0, 100, 200, 300, 400, 450}));  // then the end
    EXPECT_EQ(calls, 5);
}

TEST(WindowIter, HugeScanStepEndsTheScanInsteadOfOverflowing) {
    auto iter = build({.step_policy = {Duration::max()}, .report_gaps = true}, windows({}), 0, 600);
    expect_spans(drain(iter), {{0, 600, G}});
}

TEST(AdaptiveStep, ChoosesTheStepFromTheBoundAtTheCursor) {
    const detect::AdaptiveStep rule{Duration::seconds(10), Duration::seconds(600)};
    const Instant c = at(0);
    const auto sample = [](std::optional<double> negative_for) { return detect::ScanSample{{-1.0}, negative_for}; };
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<std::pair<std::optional<detect::LastSample>, int64_t>> cases = {
        {std::nullopt, 600'000},
        {detect::LastSample{c, sample(std::nullopt)}, 600'000},  // a cost without bounds
        {detect::LastSample{at(-60), sample(100.0)}, 600'000},   // not at the cursor
        {detect::LastSample{c, sample(123.4567)}, 123'456},      // truncated to milliseconds
        {detect::LastSample{c, sample(0.5)}, 10'000},            // raised to min_step
        {detect::LastSample{c, sample(-5.0)}, 10'000},
        {detect::LastSample{c, sample(std::nan(""))}, 10'000},   // no bound here: the shortest step
        {detect::LastSample{c, sample(1e300)}, 600'000},         // capped at max_step
        {detect::LastSample{c, sample(inf)}, 600'000},
    };
    for (const auto& [last, ms] : cases) EXPECT_EQ(rule.next_step(c, last), Duration::milliseconds(ms));
    EXPECT_EQ((detect::AdaptiveStep{Duration::seconds(90), Duration::seconds(30)}.next_step(c, std::nullopt)),
              Duration::seconds(90));
    EXPECT_EQ((detect::AdaptiveStep{Duration::seconds(1), Duration::max()}.next_step(c, detect::LastSample{c, sample(inf)})),
              Duration::milliseconds(Duration::max().whole_milliseconds()));
}

TEST(DetectWindowAt, FindsTheWindowAroundAnInstantOrNone) {
    const auto detect = [](double t) {
        return *detect::detect_window_at(at(t), sine_windows(), Duration::seconds(30), Duration::seconds(3600), {});
    };
    EXPECT_FALSE(detect(3000).has_value());
    const auto inside = detect(1234.5);
    ASSERT_TRUE(inside.has_value());
    EXPECT_NEAR(offset(inside->start), 500, kTolerance);
    EXPECT_NEAR(offset(inside->end), 2500, kTolerance);
}

TEST(DetectWindowAt, WalkStepsOfOneSecondOrLessBecomeOneSecond) {
    for (const Duration step : {Duration::milliseconds(500), Duration::zero(), Duration::seconds(-5)}) {
        TestCost cost = windows({{97.5, 102.5}});
        auto found = detect::detect_window_at(at(100), cost, step, Duration::seconds(3600), {});
        ASSERT_TRUE(found.has_value() && found->has_value());
        EXPECT_NEAR(offset((*found)->start), 97.5, kTolerance);
        EXPECT_EQ(std::vector<double>(cost.probe->times.begin() + 1, cost.probe->times.begin() + 4),
                  (std::vector<double>{99, 98, 97}));
    }
}

TEST(DetectWindowAt, InstantArithmeticLeavingTheRangeIsAnError) {
    // A window that never closes, walked in 317-year steps with no effective cap.
    TestCost inside{[](double) { return CostSample{1.0}; }};
    auto found = detect::detect_window_at(at(0), inside, Duration::seconds(10'000'000'000), Duration::max(), {});
    EXPECT_TRUE(found.error().text().starts_with("instant arithmetic out of range: ")) << found.error().text();
    // A negative cap fails at the first step of the backward walk.
    auto negative = detect::detect_window_at(at(0), inside, Duration::seconds(30), Duration::seconds(-1), {});
    EXPECT_TRUE(std::holds_alternative<CoreError::Detect>(negative.error().kind));
}

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "detect/root_finder.hpp"

using namespace orbweave;
using detect::CostSample;
using time::Instant;

namespace {

constexpr double kBase = 1.7e9;  // seconds since 1970, a 2023 instant

// A cost function of seconds since kBase that counts its evaluations.
struct Counted {
    std::function<CostSample(double)> f;
    int* calls;
    std::expected<CostSample, CoreError> operator()(Instant t) const {
        ++*calls;
        return f(t.to_unix_seconds_f64() - kBase);
    }
};

std::expected<double, CoreError> solve(double a, double b, Refinement r, std::function<CostSample(double)> f,
                                       int* calls) {
    return detect::solve(kBase + a, kBase + b, r, Counted{std::move(f), calls});
}

std::string error_text(const std::expected<double, CoreError>& result) {
    return result ? "no error" : result.error().text();
}

}  // namespace

TEST(RootFinder, ZeroAtTheFirstEndReturnsItWithoutEvaluatingTheOther) {
    int calls = 0;
    const auto root = solve(0, 30, {}, [](double t) { return CostSample{t}; }, &calls);
    EXPECT_EQ(*root, kBase);
    EXPECT_EQ(calls, 1);
}

TEST(RootFinder, SameSignsAreNotBracketed) {
    int calls = 0;
    EXPECT_EQ(error_text(solve(0, 30, {}, [](double) { return CostSample{-1.0}; }, &calls)),
              "Roots error: root is not bracketed");
    EXPECT_EQ(error_text(solve(0, 30, {}, [](double) { return CostSample{std::nan("")}; }, &calls)),
              "Roots error: root is not bracketed");
}

TEST(RootFinder, ZeroIterationsFailAfterTheTwoEnds) {
    int calls = 0;
    const auto result = solve(0, 30, {0.001, 0}, [](double t) { return CostSample{t - 10.5}; }, &calls);
    EXPECT_EQ(error_text(result), "Roots error: failed to converge after 0 iterations");
    EXPECT_EQ(calls, 2);
    const auto& failed = std::get<RootError::FailedToConverge>(std::get<CoreError::Roots>(result.error().kind).error.kind);
    EXPECT_EQ(failed.result, kBase + 15.0);
    EXPECT_EQ(failed.error, 19.5);
}

TEST(RootFinder, LinearFunctionIsSolvedByItsFirstSecantStep) {
    int calls = 0;
    const auto root = solve(0, 30, {}, [](double t) { return CostSample{t - 12.25}; }, &calls);
    EXPECT_NEAR(*root - kBase, 12.25, 1e-6);
    EXPECT_LE(calls, 4);
}

TEST(RootFinder, NarrowBracketReturnsTheSmallerEndWithoutMoreEvaluations) {
    int calls = 0;
    const auto root = solve(0, 0.0005, {}, [](double t) { return CostSample{t - 0.0004}; }, &calls);
    EXPECT_EQ(*root, kBase + 0.0005);
    EXPECT_EQ(calls, 2);
}

TEST(RootFinder, DefaultsPinACrossingToAMillisecond) {
    for (double crossing : {0.3, 7.77, 14.999, 29.4}) {
        int calls = 0;
        // Non-linear, decreasing through the crossing, with and without a derivative.
        const auto no_derivative = solve(0, 30, {}, [&](double t) { return CostSample{std::atan(crossing - t)}; }, &calls);
        EXPECT_NEAR(*no_derivative - kBase, crossing, 1e-3);
        const auto newton = solve(30, 0, {}, [&](double t) {
            return CostSample{std::atan(crossing - t), -1.0 / (1.0 + (crossing - t) * (crossing - t))};
        }, &calls);
        EXPECT_NEAR(*newton - kBase, crossing, 1e-3);
    }
}

TEST(RootFinder, NonPositiveToleranceEndsAtTheIterationCap) {
    int calls = 0;
    const auto result = solve(0, 30, {0.0, 7}, [](double t) { return CostSample{std::cbrt(t - 10.123456789)}; }, &calls);
    EXPECT_EQ(error_text(result), "Roots error: failed to converge after 7 iterations");
    EXPECT_EQ(calls, 9);
}

TEST(RootFinder, CostFunctionErrorsPassThrough) {
    int calls = 0;
    const auto result = detect::solve(kBase, kBase + 30, Refinement{}, [&](Instant) -> std::expected<CostSample, CoreError> {
        return std::unexpected(CoreError{CoreError::Custom{"no state"}});
    });
    EXPECT_EQ(error_text(result), "Roots error: cost function error: no state");
    (void)calls;
}

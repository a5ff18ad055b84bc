// Cost of the pass search: cost evaluations per pass, split into the coarse scan,
// the walks through each pass and the root finder, and the time per search, for
// the ISS over 40 N 75 W during 30 days at 10 and 45 degree masks.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "detect/window_iter.hpp"
#include "searches/transits.hpp"

namespace {

using namespace orbweave;
using time::Duration;
using time::Instant;

struct Counts {
    long scan = 0, walk = 0, solve = 0;
};

// Counts each evaluation: scan samples through `scan`; the walk's samples lie a
// whole number of walk steps from the scan sample it started at, the root finder's
// anywhere between.
struct Counted {
    searches::ElevationCost cost;
    Counts* counts;
    Instant* last_scan;

    std::expected<detect::CostSample, CoreError> operator()(Instant t) const {
        const int64_t offset_ms = (t - *last_scan).whole_milliseconds();
        const bool on_grid = t == *last_scan + Duration::milliseconds(offset_ms) && offset_ms % 30'000 == 0;
        ++(on_grid ? counts->walk : counts->solve);
        return cost(t);
    }
    std::expected<detect::ScanSample, CoreError> scan(Instant t, double horizon) const {
        ++counts->scan;
        *last_scan = t;
        return cost.scan(t, horizon);
    }
};

sgp4::ElementRecord iss() {
    sgp4::ElementRecord r;
    r.norad_id = 25544;
    r.epoch = *Instant::from_civil(2020, 7, 12, 1, 19, 7, 199'616'000);
    r.mean_motion = 15.49560532;
    r.eccentricity = 0.0001771;
    r.inclination = 51.6435;
    r.right_ascension = 225.4004;
    r.argument_of_perigee = 44.9625;
    r.mean_anomaly = 5.1087;
    r.mean_motion_dot = 0.00289036;
    r.drag_term = 0.0049645;
    return r;
}

template <class Cost>
long passes(const Cost& cost, Instant start, Instant end) {
    auto search = *detect::window_iter(detect::WindowConfig<detect::AdaptiveStep>{}, cost).interval(start, end).build();
    long count = 0;
    while (true) {
        const auto item = search.next();
        if (!item || !*item) return count;
        ++count;
    }
}

void run(double mask, int repeats) {
    const Predictor predictor = *Predictor::from_elements(iss());
    const frames::Geodetic site{40.0, -75.0, 50.0};
    const Instant start = predictor.epoch(), end = start + Duration::seconds(30 * 86400);
    const searches::ElevationCost cost(predictor, site, mask);
    Counts counts;
    Instant last_scan = start;
    const long found = passes(Counted{cost, &counts, &last_scan}, start, end);
    double best = 1e300;
    for (int repeat = 0; repeat < repeats; ++repeat) {
        const auto begin = std::chrono::steady_clock::now();
        if (passes(cost, start, end) != found) std::printf("unstable\n");
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
    }
    const double per_pass = 1.0 / static_cast<double>(found);
    const long total = counts.scan + counts.walk + counts.solve;
    std::printf("mask %2.0f deg: %3ld passes, %6.1f evaluations per pass (scan %5.1f, walk %4.1f, solve %4.1f), "
                "%5.3f ms per 30-day search, %3.0f ns per evaluation\n",
                mask, found, total * per_pass, counts.scan * per_pass, counts.walk * per_pass,
                counts.solve * per_pass, best * 1e3, best / static_cast<double>(total) * 1e9);
}

}  // namespace

// `pass_scan_bench once [MASK]` runs each search (or one) once, for an instruction count under
// valgrind --tool=callgrind, which a shared machine cannot disturb.
int main(int argc, char** argv) {
    const bool once = argc > 1 && std::string_view(argv[1]) == "once";
    for (const double mask : {10.0, 45.0})
        if (argc < 3 || std::atof(argv[2]) == mask) run(mask, once ? 1 : 20);
}

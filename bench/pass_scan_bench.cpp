// Cost of the pass search: cost evaluations per pass, split into the coarse scan,
// the walks through each pass and the root finder, and the time per search, for
// the ISS over 40 N 75 W during 30 days at 10 and 45 degree masks; with
// `catalogue [KIND]`, per kind of orbit over one day.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string_view>

#include "detect/window_iter.hpp"
#include "fixtures.hpp"
#include "searches/transits.hpp"

namespace {

using namespace orbweave;
using time::Duration;
using time::Instant;

struct Counts {
    long scan = 0, walk = 0, solve = 0;
};

// Counts each evaluation. A sample inside a window starts the walks: after it, up
// to the forward walk's first negative sample, evaluations a whole number of walk
// steps from it are the walks', the others the root finder's. Outside the walks,
// scan samples lie a whole number of milliseconds from the interval start (the
// root finder's anywhere).
struct Counted {
    searches::ElevationCost cost;
    Counts* counts;
    Instant start;
    Instant* opened;  // the sample that opened the window being walked
    bool* walking;

    static bool whole_steps(Duration d, int64_t step_ms) {
        const int64_t ms = d.whole_milliseconds();
        return d == Duration::milliseconds(ms) && ms % step_ms == 0;
    }
    std::expected<detect::CostSample, CoreError> operator()(Instant t) const {
        if (*walking)
            ++(whole_steps(t - *opened, 30'000) ? counts->walk : counts->solve);
        else
            ++(whole_steps(t - start, 1) ? counts->scan : counts->solve);
        return cost(t);
    }
    std::expected<detect::ScanSample, CoreError> scan(Instant t, double horizon) const {
        auto sample = cost.scan(t, horizon);
        ++(*walking ? counts->walk : counts->scan);
        if (sample && !*walking && sample->cost.value >= 0.0) *opened = t;
        if (sample) *walking = sample->cost.value >= 0.0;
        return sample;
    }
};

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
    const Predictor predictor = *Predictor::from_elements(fixtures::iss_elements());
    const frames::Geodetic site{40.0, -75.0, 50.0};
    const Instant start = predictor.epoch(), end = start + Duration::seconds(30 * 86400);
    const searches::ElevationCost cost(predictor, site, mask);
    Counts counts;
    Instant opened = start;
    bool walking = false;
    const long found = passes(Counted{cost, &counts, start, &opened, &walking}, start, end);
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

// One day of 10 degree passes over the same site for 500 element sets of each kind
// of orbit: the evaluations per satellite.
void catalogue(int only_kind) {
    const Instant epoch = *Instant::from_civil(2020, 7, 12, 1, 19, 7, 0);
    std::mt19937_64 rng(20201208);
    const auto uniform = [&](double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng); };
    const char* kinds[] = {"low", "medium", "geostationary", "molniya"};
    for (int kind = 0; kind < 4; ++kind) {
        if (only_kind >= 0 && kind != only_kind) continue;
        Counts counts;
        long found = 0, failed = 0;
        double seconds = 0.0;
        for (int n = 0; n < 500; ++n) {
            sgp4::ElementRecord r;
            r.norad_id = static_cast<uint64_t>(n + 1);
            r.epoch = epoch - Duration::seconds(static_cast<int64_t>(uniform(0.0, 3 * 86400.0)));
            const double motion[4][2] = {{13.0, 16.3}, {1.8, 2.2}, {0.99, 1.01}, {1.9, 2.1}};
            const double eccentricity[4][2] = {{0.0, 0.02}, {0.0, 0.03}, {0.0, 0.001}, {0.6, 0.75}};
            const double inclination[4][2] = {{0.0, 100.0}, {50.0, 65.0}, {0.0, 5.0}, {60.0, 66.0}};
            r.mean_motion = uniform(motion[kind][0], motion[kind][1]);
            r.eccentricity = uniform(eccentricity[kind][0], eccentricity[kind][1]);
            r.inclination = uniform(inclination[kind][0], inclination[kind][1]);
            r.right_ascension = uniform(0.0, 360.0);
            r.argument_of_perigee = uniform(0.0, 360.0);
            r.mean_anomaly = uniform(0.0, 360.0);
            r.drag_term = uniform(0.0, 0.0005);
            const Predictor predictor = *Predictor::from_elements(r);
            const searches::ElevationCost cost(predictor, {40.0, -75.0, 50.0}, 10.0);
            const auto begin = std::chrono::steady_clock::now();
            auto timed = *detect::window_iter(detect::WindowConfig<detect::AdaptiveStep>{}, cost)
                              .interval(epoch, epoch + Duration::seconds(86400))
                              .build();
            while (true) {
                const auto item = timed.next();
                if (!item || !*item) break;
            }
            seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
            Instant opened = epoch;
            bool walking = false;
            auto search = *detect::window_iter(detect::WindowConfig<detect::AdaptiveStep>{},
                                               Counted{cost, &counts, epoch, &opened, &walking})
                               .interval(epoch, epoch + Duration::seconds(86400))
                               .build();
            while (true) {
                const auto item = search.next();
                if (!item) ++failed;
                if (!item || !*item) break;
                ++found;
                if (std::getenv("DUMP"))
                    std::printf("%d %d %.3f %.3f\n", kind, n, ((*item)->start - epoch).as_seconds_f64(),
                                ((*item)->end - epoch).as_seconds_f64());
            }
        }
        std::printf("%-13s %4ld passes, %4ld too long; per satellite: scan %6.1f, walk %5.1f, solve %5.1f, %6.1f us\n",
                    kinds[kind], found, failed, counts.scan / 500.0, counts.walk / 500.0, counts.solve / 500.0,
                    seconds / 500.0 * 1e6);
    }
}

// `pass_scan_bench once [MASK]` runs each search (or one) once, for an instruction count under
// valgrind --tool=callgrind, which a shared machine cannot disturb.
int main(int argc, char** argv) {
    if (argc > 1 && std::string_view(argv[1]) == "catalogue") return catalogue(argc > 2 ? std::atoi(argv[2]) : -1), 0;
    const bool once = argc > 1 && std::string_view(argv[1]) == "once";
    for (const double mask : {10.0, 45.0})
        if (argc < 3 || std::atof(argv[2]) == mask) run(mask, once ? 1 : 20);
}

// The ISS's windows over a country-sized 50-vertex polygon across 30 days, with
// the payload pointing straight down and with a 30-degree field of regard: time per
// search (best of five), windows found, and propagations per window, split into
// the scan, the walks and the refinement as the engine spends them.
#include <chrono>
#include <cstdio>

#include "fixtures.hpp"
#include "searches/aoi.hpp"

namespace {

using namespace orbweave;
using time::Duration;
using time::Instant;

// The area cost, counting its evaluations: a scan sample goes through scan(),
// walks and the root finder through the plain call.
struct Counted {
    searches::AoiCost cost;
    long* scans;
    long* others;

    std::expected<detect::CostSample, CoreError> operator()(Instant t) const {
        ++*others;
        return cost(t);
    }
    std::expected<detect::ScanSample, CoreError> scan(Instant t, double horizon) const {
        ++*scans;
        return cost.scan(t, horizon);
    }
};

void measure(const Predictor& predictor, const areas::Area& area, double off_nadir_deg) {
    const Instant start = predictor.epoch(), end = start + Duration::seconds(30 * 86400);
    searches::AoiSettings settings;
    settings.max_off_nadir = off_nadir_deg * areas::kRadiansPerDegree;

    double best = 1e9;
    long windows = 0;
    for (int round = 0; round < 5; ++round) {
        const auto begin = std::chrono::steady_clock::now();
        auto search = *searches::AoiSearch::over(predictor, area, {start, end}, settings);
        windows = 0;
        while (*search.next()) ++windows;
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count());
    }

    long scans = 0, others = 0;
    const searches::AoiCost cost(predictor, area, searches::clamp_off_nadir(settings.max_off_nadir), settings.coverage);
    auto counted = *detect::window_iter(searches::engine_settings(predictor, settings), Counted{cost, &scans, &others})
                        .interval(start, end)
                        .build();
    while (*counted.next()) {
    }
    const double per_window = windows ? 1.0 / static_cast<double>(windows) : 0.0;
    std::printf("off-nadir %4.1f deg: %6.2f ms, %ld windows, %.1f propagations per window "
                "(%.1f scan, %.1f walk and refinement)\n",
                off_nadir_deg, best * 1e3, windows, static_cast<double>(scans + others) * per_window,
                static_cast<double>(scans) * per_window, static_cast<double>(others) * per_window);
}

}  // namespace

int main() {
    const Predictor iss = *Predictor::from_elements(fixtures::iss_elements());
    const areas::Area country = *areas::Polygon::build(fixtures::country_ring());
    for (const double off_nadir : {0.0, 30.0}) measure(iss, country, off_nadir);
}

// Nanoseconds per propagation: the scalar engine beside each batched kernel the
// processor has, for a 2,000-satellite low-earth catalogue (every satellite at
// each of 100 instants over a day), the ISS alone (86,400 instants, one second
// apart) and 2,000 deep-space satellites (geostationary and Molniya, which the
// kernels hand to the scalar engine). Kernel rows time the kernel on blocks
// transposed once beforehand; "lanes" rows time propagate_lanes, the array path,
// which gathers and transposes per call and writes metres.
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "core/state_arrays.hpp"
#include "fixtures.hpp"
#include "sgp4/batch/batch.hpp"

namespace {

using namespace orbweave;
using sgp4::batch::Kernel;

std::vector<Predictor> catalogue(bool deep_space) {
    std::mt19937_64 rng(20201208);
    const auto uniform = [&](double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng); };
    std::vector<Predictor> satellites;
    for (int n = 0; n < 2000; ++n) {
        sgp4::ElementRecord r = fixtures::iss_elements();
        const bool molniya = deep_space && n % 2 == 1;
        r.mean_motion = !deep_space ? uniform(13.0, 16.3) : molniya ? uniform(1.9, 2.1) : uniform(0.99, 1.01);
        r.eccentricity = !deep_space ? uniform(0.0, 0.02) : molniya ? uniform(0.6, 0.75) : uniform(0.0, 0.001);
        r.inclination = !deep_space ? uniform(0.0, 100.0) : molniya ? uniform(60.0, 66.0) : uniform(0.0, 5.0);
        r.right_ascension = uniform(0.0, 360.0);
        r.argument_of_perigee = uniform(0.0, 360.0);
        r.mean_anomaly = uniform(0.0, 360.0);
        r.drag_term = uniform(0.0, 0.0005);
        satellites.push_back(*Predictor::from_elements(r));
    }
    return satellites;
}

template <class F>
double best_ns(F&& run, double propagations) {
    double best = 1e300;
    for (int round = 0; round < 5; ++round) {
        const auto start = std::chrono::steady_clock::now();
        run();
        const std::chrono::duration<double, std::nano> elapsed = std::chrono::steady_clock::now() - start;
        best = std::min(best, elapsed.count() / propagations);
    }
    return best;
}

volatile double sink;

// Lane i is satellite i % count at times[i / count].
struct Workload {
    std::vector<const Predictor*> satellites;
    std::vector<double> minutes;
};

Workload every_satellite_at(const std::vector<Predictor>& satellites, const std::vector<double>& times) {
    Workload w;
    for (double t : times)
        for (const Predictor& s : satellites) w.satellites.push_back(&s), w.minutes.push_back(t);
    return w;
}

double scalar_ns(const Workload& w) {
    return best_ns([&] {
        double sum = 0.0;
        for (size_t i = 0; i < w.minutes.size(); ++i) {
            const auto p = sgp4::propagate(w.satellites[w.satellites.size() == 1 ? 0 : i]->constants(), w.minutes[i]);
            if (p) sum += p->position_km[0];
        }
        sink = sum;
    }, static_cast<double>(w.minutes.size()));
}

// The kernel alone, on blocks of eight lanes transposed beforehand.
double kernel_ns(Kernel kernel, const Workload& w) {
    const size_t blocks = (w.minutes.size() + 7) / 8;
    std::vector<sgp4::batch::LaneBlock> soa(blocks);
    std::vector<std::array<double, 8>> minutes(blocks);
    for (size_t i = 0; i < w.minutes.size(); ++i) {
        sgp4::batch::load_lane(soa[i / 8], static_cast<int>(i % 8),
                               w.satellites[w.satellites.size() == 1 ? 0 : i]->constants());
        minutes[i / 8][i % 8] = w.minutes[i];
    }
    sgp4::batch::BlockStates states;
    return best_ns([&] {
        double sum = 0.0;
        for (size_t b = 0; b < blocks; ++b) {
            sgp4::batch::propagate(kernel, soa[b], reinterpret_cast<const double(&)[8]>(*minutes[b].data()), 8,
                                   states);
            sum += states.x[0];
        }
        sink = sum;
    }, static_cast<double>(blocks * 8));
}

double lanes_ns(Kernel kernel, const Workload& w) {
    const size_t n = w.minutes.size();
    std::vector<double> positions(3 * n), velocities(3 * n);
    std::vector<int32_t> errors(n);
    sgp4::batch::use_kernel(kernel);
    return best_ns([&] { propagate_lanes(w.satellites, w.minutes, {positions, velocities, errors}); },
                   static_cast<double>(n));
}

void report(const char* name, const Workload& w, bool kernel_rows) {
    std::printf("%-40s scalar engine %6.1f", name, scalar_ns(w));
    std::printf(" | lanes scalar %6.1f", lanes_ns(Kernel::Scalar, w));
    for (Kernel kernel : {Kernel::Avx2, Kernel::Avx512}) {
        if (!sgp4::batch::supported(kernel)) continue;
        const char* isa = sgp4::batch::kernel_name(kernel).data();
        if (kernel_rows) std::printf(" | %s kernel %6.1f", isa, kernel_ns(kernel, w));
        std::printf(" | %s lanes %6.1f", isa, lanes_ns(kernel, w));
    }
    std::printf("  ns per propagation\n");
}

}  // namespace

int main() {
    std::vector<double> day(100);
    for (size_t i = 0; i < day.size(); ++i) day[i] = 1440.0 * static_cast<double>(i) / 100.0;
    const std::vector<Predictor> leo = catalogue(false);
    const std::vector<Predictor> deep = catalogue(true);
    const Predictor iss = *Predictor::from_elements(fixtures::iss_elements());
    Workload iss_day{{&iss}, {}};
    for (int s = 0; s < 86'400; ++s) iss_day.minutes.push_back(s / 60.0);

    for (int round = 0; round < 2; ++round) {  // the first round warms caches and clocks
        std::printf("round %d\n", round + 1);
        report("2,000 LEO satellites x 100 instants", every_satellite_at(leo, day), true);
        report("ISS x 86,400 instants", iss_day, true);
        report("2,000 deep-space satellites x 100 instants", every_satellite_at(deep, day), false);
    }
}

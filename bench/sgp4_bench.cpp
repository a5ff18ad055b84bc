// Cost of one SGP4 propagation for a near-earth orbit and for deep-space orbits
// with one-day and half-day resonance. Times are spread evenly over -1 to +1 day
// from the epoch, so the resonant orbits integrate up to two 720-minute steps.
#include <chrono>
#include <cstdio>
#include <vector>

#include "sgp4/sgp4.hpp"

namespace {

using orbweave::sgp4::ElementRecord;

ElementRecord orbit(double inclination, double raan, double eccentricity, double argp, double mean_anomaly,
                    double mean_motion, double bstar) {
    ElementRecord r;
    r.epoch = orbweave::time::Instant::from_day_parts(orbweave::time::days_from_civil(2006, 6, 25), 2462, 0);
    r.inclination = inclination;
    r.right_ascension = raan;
    r.eccentricity = eccentricity;
    r.argument_of_perigee = argp;
    r.mean_anomaly = mean_anomaly;
    r.mean_motion = mean_motion;
    r.drag_term = bstar;
    return r;
}

void run(const char* name, const ElementRecord& elements, const std::vector<double>& times) {
    const auto constants = orbweave::sgp4::initialise(elements);
    if (!constants) {
        std::printf("%s: %s\n", name, constants.error().text().c_str());
        return;
    }
    double sink = 0.0;
    size_t failures = 0;
    const auto start = std::chrono::steady_clock::now();
    for (double t : times) {
        const auto p = orbweave::sgp4::propagate(*constants, t);
        if (p)
            sink += p->position_km[0];
        else
            ++failures;
    }
    const std::chrono::duration<double, std::nano> elapsed = std::chrono::steady_clock::now() - start;
    std::printf("%-28s %8.1f ns per propagation (%zu points, %zu failures, checksum %.6g)\n", name,
                elapsed.count() / static_cast<double>(times.size()), times.size(), failures, sink);
}

}  // namespace

int main() {
    constexpr size_t kPoints = 2'000'000;
    std::vector<double> times(kPoints);
    for (size_t i = 0; i < kPoints; ++i) times[i] = -1440.0 + 2880.0 * static_cast<double>(i) / kPoints;

    const ElementRecord near_earth = orbit(58.0579, 54.0425, 0.0030035, 139.1568, 221.1854, 15.56387291, 0.12808e-3);
    const ElementRecord one_day = orbit(11.4384, 35.2134, 0.0011562, 26.4582, 333.5652, 0.98870114, 0.1e-3);
    const ElementRecord half_day = orbit(64.5968, 349.3786, 0.7069051, 270.0229, 16.3320, 2.00813614, 0.1e-3);
    for (int round = 0; round < 2; ++round) {  // the first round warms caches and clocks
        run("near-earth (full drag)", near_earth, times);
        run("deep space, one-day resonance", one_day, times);
        run("deep space, half-day resonance", half_day, times);
    }
}

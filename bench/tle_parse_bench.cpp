// Time to read one TLE: a valid two-line set (with a name and a designator) and a
// set that fails at the last field, read many times over; prints thread CPU ns per TLE.
#include <cstdio>
#include <ctime>
#include <string_view>

#include "sgp4/tle_reader.hpp"

namespace {

constexpr std::string_view kName = "ISS (ZARYA)";
constexpr std::string_view kLine1 = "1 25544U 98067A   20194.05494444  .00289036  00000-0  49645-2 0  9998";
constexpr std::string_view kLine2 = "2 25544  51.6435 225.4004 0001771  44.9625   5.1087 15.49560532235875";
constexpr std::string_view kLine2BadRevolution = "2 25544  51.6435 225.4004 0001771  44.9625   5.1087 15.495605322358x8";

// CPU time of this thread, so that other processes on a busy machine do not count.
double thread_cpu_nanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

double nanoseconds_per_read(std::string_view line2, int rounds) {
    size_t sink = 0;
    const double start = thread_cpu_nanoseconds();
    for (int i = 0; i < rounds; ++i) {
        const auto result = orbweave::sgp4::read_tle(kName, kLine1, line2);
        sink += result ? result->norad_id : result.error().start;
        asm volatile("" : : "r"(sink) : "memory");
    }
    return (thread_cpu_nanoseconds() - start) / rounds;
}

}  // namespace

int main() {
    constexpr int kRounds = 2'000'000;
    nanoseconds_per_read(kLine2, kRounds / 10);  // warm up
    for (int repeat = 0; repeat < 3; ++repeat) {
        std::printf("valid TLE:                %.1f ns per TLE\n", nanoseconds_per_read(kLine2, kRounds));
        std::printf("fault in the last field:  %.1f ns per TLE\n", nanoseconds_per_read(kLine2BadRevolution, kRounds));
    }
}

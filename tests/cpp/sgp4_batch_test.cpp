// The batched kernels against the scalar engine, through propagate_lanes: every
// state component within a micrometre (per second) and every error code the same,
// over the verification catalogue and 10,000 random element sets of every kind.
#include "sgp4/batch/batch.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "core/state_arrays.hpp"
#include "fixtures.hpp"
#include "verification_catalogue.hpp"

namespace orbweave {
namespace {

using sgp4::batch::Kernel;

constexpr double kTolerance = 1e-6;  // metres, metres per second

// Makes a kernel the one in use for a scope.
class KernelInUse {
public:
    explicit KernelInUse(Kernel kernel) : previous_(sgp4::batch::active_kernel()) {
        ok_ = sgp4::batch::use_kernel(kernel);
    }
    ~KernelInUse() { sgp4::batch::use_kernel(previous_); }
    bool ok() const { return ok_; }

private:
    Kernel previous_;
    bool ok_;
};

struct Lanes {
    std::vector<const Predictor*> satellites;
    std::vector<double> minutes;
};

struct Worst {
    double position = 0.0, velocity = 0.0;
    int failed_lanes = 0;
};

// Propagates the lanes with `kernel` and checks each against the scalar engine.
void expect_agreement(Kernel kernel, const Lanes& lanes, Worst& worst) {
    const size_t n = lanes.minutes.size();
    std::vector<double> positions(3 * n), velocities(3 * n);
    std::vector<int32_t> errors(n);
    const KernelInUse in_use(kernel);
    ASSERT_TRUE(in_use.ok());
    propagate_lanes(lanes.satellites, lanes.minutes, {positions, velocities, errors});
    for (size_t lane = 0; lane < n; ++lane) {
        const Predictor& satellite = *lanes.satellites[lanes.satellites.size() == 1 ? 0 : lane];
        const auto want = satellite.propagate_minutes(lanes.minutes[lane]);
        const int32_t code = want ? 0 : static_cast<int32_t>(lane_error(
                                            std::get<CoreError::Sgp4>(want.error().kind).error.kind));
        ASSERT_EQ(errors[lane], code) << "lane " << lane << " at " << lanes.minutes[lane] << " min";
        if (!want) {
            ++worst.failed_lanes;
            continue;
        }
        const double r[] = {want->position.x, want->position.y, want->position.z};
        const double v[] = {want->velocity.x, want->velocity.y, want->velocity.z};
        for (int i = 0; i < 3; ++i) {
            const double dr = std::fabs(positions[3 * lane + i] - r[i]);
            const double dv = std::fabs(velocities[3 * lane + i] - v[i]);
            ASSERT_LE(dr, kTolerance) << "lane " << lane << " of " << satellite.elements().norad_id << " at "
                                      << lanes.minutes[lane] << " min, x " << r[0];
            ASSERT_LE(dv, kTolerance) << "lane " << lane << " of " << satellite.elements().norad_id << " at "
                                      << lanes.minutes[lane] << " min, v " << v[0];
            worst.position = std::max(worst.position, dr);
            worst.velocity = std::max(worst.velocity, dv);
        }
    }
}

std::vector<Kernel> vector_kernels() {
    std::vector<Kernel> kernels;
    for (Kernel kernel : {Kernel::Avx2, Kernel::Avx512})
        if (sgp4::batch::supported(kernel)) kernels.push_back(kernel);
    return kernels;
}

class BatchKernel : public ::testing::TestWithParam<Kernel> {
protected:
    void TearDown() override {
        std::printf("[ %s ] worst difference %.3g m, %.3g m/s\n", sgp4::batch::kernel_name(GetParam()).data(),
                    worst_.position, worst_.velocity);
    }
    Worst worst_;
};

// Each record on its catalogue span and around it: one satellite, many times.
TEST_P(BatchKernel, AgreesOverTheVerificationCatalogue) {
    int propagated = 0;
    for (const auto& record : fixtures::kVerificationCatalogue) {
        const auto satellite = Predictor::from_tle("", record.line1, record.line2);
        if (!satellite) continue;
        Lanes lanes{{&*satellite}, {}};
        for (double t = record.start_minutes; t <= record.stop_minutes; t += record.step_minutes / 7.0)
            lanes.minutes.push_back(t);
        for (double t : {-4320.0, -1.5, 0.0, 0.001, 1e4, 1e5}) lanes.minutes.push_back(t);
        expect_agreement(GetParam(), lanes, worst_);
        ++propagated;
    }
    EXPECT_GE(propagated, 29);  // the others are made to be refused
}

// A random element set: near-earth (full and simplified drag, some decaying),
// deep-space and resonant, with ordinary and extreme drag terms.
sgp4::ElementRecord random_elements(std::mt19937_64& random) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    sgp4::ElementRecord r = fixtures::iss_elements();
    const double kind = unit(random);
    r.mean_motion = kind < 0.6   ? 11.0 + 6.0 * unit(random)   // low earth orbit
                    : kind < 0.8 ? 6.5 + 4.5 * unit(random)    // medium, still near-earth
                    : kind < 0.9 ? 0.9 + 1.2 * unit(random)    // deep space, resonances included
                                 : 1.0 + 6.0 * unit(random);
    r.eccentricity = unit(random) < 0.5 ? 0.02 * unit(random) : 0.75 * unit(random);
    r.inclination = 180.0 * unit(random);
    r.right_ascension = 360.0 * unit(random);
    r.argument_of_perigee = 360.0 * unit(random);
    r.mean_anomaly = 360.0 * unit(random);
    r.drag_term = unit(random) < 0.9 ? 1e-3 * (unit(random) - 0.2) : 0.5 * unit(random);
    return r;
}

TEST_P(BatchKernel, AgreesOverRandomElementSets) {
    std::mt19937_64 random(20261208);
    std::uniform_real_distribution<double> days(-10.0, 10.0);
    std::vector<Predictor> satellites;
    while (satellites.size() < 10'000) {
        if (auto satellite = Predictor::from_elements(random_elements(random)))
            satellites.push_back(std::move(*satellite));
    }
    Lanes lanes;
    for (const Predictor& satellite : satellites) {
        lanes.satellites.push_back(&satellite);
        lanes.minutes.push_back(std::round(days(random) * 1440.0 * 60000.0) / 60000.0);
    }
    expect_agreement(GetParam(), lanes, worst_);
    EXPECT_GT(worst_.failed_lanes, 100);  // decaying orbits among them
    const int batchable = static_cast<int>(std::count_if(satellites.begin(), satellites.end(), [](const auto& s) {
        return sgp4::batch::batchable(s.constants());
    }));
    EXPECT_GT(batchable, 5'000);
}

INSTANTIATE_TEST_SUITE_P(Kernels, BatchKernel, ::testing::ValuesIn(vector_kernels()),
                         [](const auto& info) { return std::string(sgp4::batch::kernel_name(info.param)); });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(BatchKernel);

TEST(BatchDispatch, NamesAndChoice) {
    for (Kernel kernel : {Kernel::Scalar, Kernel::Avx2, Kernel::Avx512})
        EXPECT_EQ(sgp4::batch::kernel_named(sgp4::batch::kernel_name(kernel)), kernel);
    EXPECT_FALSE(sgp4::batch::kernel_named("sse2"));
    EXPECT_TRUE(sgp4::batch::supported(sgp4::batch::active_kernel()));
    EXPECT_TRUE(sgp4::batch::supported(Kernel::Scalar));
}

}  // namespace
}  // namespace orbweave

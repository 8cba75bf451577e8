#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "ikfunc.h"
#include "robotKinematics.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Sample {
    std::array<double, 6> libJoints;
    double trans[3];
    double rot[9];
    wayPoint_S waypoint;  // SDK signs
};

// A fixed set of reachable poses: forward kinematics of random joint vectors.
const std::vector<Sample> &samples() {
    static const std::vector<Sample> set = [] {
        std::mt19937 rng(2024);
        std::uniform_real_distribution<double> angle(-kPi, kPi);
        std::vector<Sample> out(1024);
        for (Sample &s : out) {
            for (double &q : s.libJoints) {
                q = angle(rng);
            }
            ComputeFk_QMV(s.libJoints.data(), s.trans, s.rot);
            s.waypoint = {};
            for (int j = 0; j < 6; ++j) {
                s.waypoint.jointpos[j] = -s.libJoints[j];
            }
            Ikfunc::ArmFk(s.waypoint);
        }
        return out;
    }();
    return set;
}

void BM_ComputeFk_QMV(benchmark::State &state) {
    const std::vector<Sample> &set = samples();
    std::size_t i = 0;
    double trans[3], rot[9];
    for (auto _ : state) {
        ComputeFk_QMV(set[i].libJoints.data(), trans, rot);
        benchmark::DoNotOptimize(trans);
        benchmark::DoNotOptimize(rot);
        i = (i + 1) % set.size();
    }
}
BENCHMARK(BM_ComputeFk_QMV);

void BM_ComputeIkLib(benchmark::State &state) {
    const std::vector<Sample> &set = samples();
    std::size_t i = 0;
    double table[6][8];
    for (auto _ : state) {
        const Sample &s = set[i];
        double rot[9], trans[3];
        for (int k = 0; k < 9; ++k) {
            rot[k] = s.rot[k];
        }
        trans[0] = s.trans[0];
        trans[1] = s.trans[1];
        trans[2] = s.trans[2];
        std::array<double, 6> ref = s.libJoints;
        benchmark::DoNotOptimize(ComputeIkLib(ref.data(), rot, trans, table));
        benchmark::ClobberMemory();
        i = (i + 1) % set.size();
    }
}
BENCHMARK(BM_ComputeIkLib);

void BM_IkfuncArmIk(benchmark::State &state) {
    const std::vector<Sample> &set = samples();
    std::size_t i = 0;
    for (auto _ : state) {
        wayPoint_S wp = set[i].waypoint;
        benchmark::DoNotOptimize(Ikfunc::ArmIk(wp, nullptr, false, false));
        benchmark::DoNotOptimize(wp);
        i = (i + 1) % set.size();
    }
}
BENCHMARK(BM_IkfuncArmIk);

}  // namespace

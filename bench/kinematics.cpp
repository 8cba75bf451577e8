#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "../tests/RobotSDK/util/armikreference.h"
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

// ArmIk beside the plain composition of the pieces it stands for (every solution checked by the
// full forward kinematics, then the nearest survivor): the same choice, bit for bit.
template <bool (*solve)(wayPoint_S &)>
void armIk(benchmark::State &state) {
    const std::vector<Sample> &set = samples();
    std::size_t i = 0;
    for (auto _ : state) {
        wayPoint_S wp = set[i].waypoint;
        benchmark::DoNotOptimize(solve(wp));
        benchmark::DoNotOptimize(wp);
        i = (i + 1) % set.size();
    }
}
bool ikfuncArmIk(wayPoint_S &wp) { return Ikfunc::ArmIk(wp, nullptr, false, false); }
bool plainArmIk(wayPoint_S &wp) { return kinref::armIk(wp, nullptr); }
BENCHMARK(armIk<ikfuncArmIk>)->Name("BM_IkfuncArmIk");
BENCHMARK(armIk<plainArmIk>)->Name("BM_ArmIkPlainComposition");

}  // namespace

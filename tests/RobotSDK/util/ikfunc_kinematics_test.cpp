#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <numeric>

#include "../../yrl_alg/kinematicstestutil.h"
#include "ikfunc.h"

static std::atomic<long> gAllocations{0};

// Counts every allocation of this test program, so a test can see that a call allocates nothing.
// GCC pairs the replaced operators with malloc and free and flags them as mismatched.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void *operator new(std::size_t size) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void *p = std::malloc(size ? size : 1)) {
        return p;
    }
    throw std::bad_alloc();
}
void operator delete(void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }

namespace {

using kintest::Joints;
using kintest::maxDiff;

wayPoint_S targetOf(const Joints &sdk) {
    wayPoint_S wp = {};
    std::copy(sdk.begin(), sdk.end(), wp.jointpos);
    Ikfunc::ArmFk(wp);
    return wp;
}

class ArmIkPerModel : public kintest::PerModelTest {};

// SDK joints are the negated library joints; snapped angles near +-pi/2 may move a solution by
// a few 1e-4 rad, other solutions lie far apart.
TEST_P(ArmIkPerModel, ReturnsTheJointsThatProducedThePoseAndOnlyVerifiedSolutions) {
    std::mt19937 rng(500 + GetParam());
    for (int i = 0; i < 300; ++i) {
        Joints q = kintest::randomGenericJoints(rng);
        std::transform(q.begin(), q.end(), q.begin(), [](double v) { return -v; });
        wayPoint_S wp = targetOf(q), other = wp;
        ASSERT_TRUE(Ikfunc::ArmIk(wp, nullptr, false, false)) << i;
        EXPECT_LT(maxDiff(wp.jointpos, q.data(), 6), 1e-3) << i;
        std::fill(other.jointpos, other.jointpos + 6, 0.0);  // reference passed separately
        ASSERT_TRUE(Ikfunc::ArmIk(other, q.data(), true, true));
        EXPECT_LT(maxDiff(other.jointpos, q.data(), 6), 1e-3) << i;
        double table[6][8];
        const int n = Ikfunc::ComputeIk_new(other, table);
        for (int k = 0; k < n; ++k) {
            const wayPoint_S reached = targetOf(kintest::column(table, k));
            EXPECT_LT(kintest::posGap(reached.cartPos.position, wp.cartPos.position) +
                          kintest::rotGap(reached.orientation, wp.orientation),
                      1e-4);
        }
    }
}

TEST_P(ArmIkPerModel, ForwardAndInverseKinematicsDoNotAllocate) {
    std::mt19937 rng(700 + GetParam());
    wayPoint_S wp = targetOf(kintest::randomGenericJoints(rng));
    const long before = gAllocations.load();
    const bool solved = Ikfunc::ArmFk(wp) && Ikfunc::ArmIk(wp, nullptr, false, false);
    EXPECT_EQ(gAllocations.load(), before);
    EXPECT_TRUE(solved);
}

INSTANTIATE_TEST_SUITE_P(AllModels, ArmIkPerModel, ::testing::ValuesIn(kintest::kAllModels));

class ArmIk : public kintest::ModelTest {
protected:
    const Joints generic{-0.3, -0.2, -1.6, -0.3, -0.8, -0.2};  // eight solutions
    const wayPoint_S target = targetOf(generic);
    double table[6][8];

    void SetUp() override {
        wayPoint_S wp = target;
        ASSERT_EQ(Ikfunc::ComputeIk_new(wp, table), 8);
    }
    double distance(const double *ref, int k) const {  // as the choice measures it
        const Joints c = kintest::column(table, k);
        return std::inner_product(c.begin(), c.end(), ref, 0.0, std::plus<>(),
                                  [](double a, double b) { return std::fabs(a - b); });
    }
    void expectChoice(const double *ref, int k) const {
        wayPoint_S wp = target;
        ASSERT_TRUE(Ikfunc::ArmIk(wp, ref, false, false));
        EXPECT_EQ(maxDiff(wp.jointpos, kintest::column(table, k).data(), 6), 0.0) << k;
    }
};

TEST_F(ArmIk, ChoosesTheNearestSolutionByPlainDifferencesKeepingTheEarlierOfATie) {
    // One full turn above solution 3 in every joint: without wrapping, the nearest solution
    // is the one with the largest joint sum. Columns 0 and 1 differ in joints 2..4 only: start
    // halfway between them, then nudge joint 3 to an exact tie.
    double ref[6], tie[6];
    for (int j = 0; j < 6; ++j) {
        ref[j] = table[j][3] + 2 * kintest::kPi;
        tie[j] = (table[j][0] + table[j][1]) / 2;
    }
    int nearest = 0;
    for (int k = 1; k < 8; ++k) {
        nearest = distance(ref, k) < distance(ref, nearest) ? k : nearest;
    }
    ASSERT_NE(nearest, 3);
    expectChoice(ref, nearest);
    for (int guard = 0; guard < 1000 && distance(tie, 0) != distance(tie, 1); ++guard) {
        const bool up = (distance(tie, 0) > distance(tie, 1)) == (table[2][0] > tie[2]);
        tie[2] = std::nextafter(tie[2], up ? 10.0 : -10.0);
    }
    ASSERT_EQ(distance(tie, 0), distance(tie, 1));
    expectChoice(tie, 0);
}

TEST_F(ArmIk, FailsWithoutTouchingTheWaypointWhenNoSolutionQualifies) {
    for (double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL, 20000.0}) {  // no distance below 10000
        const double ref[6] = {0, 0, 0, bad, 0, 0};
        wayPoint_S wp = target;
        EXPECT_FALSE(Ikfunc::ArmIk(wp, ref, false, false)) << bad;
        EXPECT_EQ(std::memcmp(&wp, &target, sizeof wp), 0);
    }
    wayPoint_S zeroOri = kintest::waypoint({0.3, -0.2, 0.5}, {0, 0, 0, 0});  // NaN distances
    EXPECT_FALSE(Ikfunc::ArmIk(zeroOri, nullptr, false, false));
    EXPECT_EQ(Ikfunc::ComputeIk_new(zeroOri, table), 0);
    EXPECT_FALSE(Ikfunc::ArmFk(zeroOri.cartPos.position, zeroOri.orientation, nullptr));
    kintest::Pose p = kintest::forwardPose(generic.data());
    EXPECT_EQ(ComputeIkLib(nullptr, p.rot, p.trans, table), 0);
}

}  // namespace

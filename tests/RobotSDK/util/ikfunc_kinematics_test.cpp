#include <atomic>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "ikfunctestutil.h"

namespace {
std::atomic<long> gAllocations{0};
}  // namespace

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

using SetDhParameters = kintest::ModelTest;

TEST_F(SetDhParameters, InstallsGivenLengthsThroughSinglePrecisionDifferences) {
    setDhParaLen(kezu_qz);
    Ikfunc::setDhParameters(kezu_qx, 0.408, 0.376, 0.0985, 0.1215, 0.1025, 0.094);
    const double row[] = {0.408, 0.376, 0.0985, 0.1215, -0.019, 0.1025, 0.094};
    const double now[] = {a2, a3, d1, d2, d4, d5, d6};
    EXPECT_EQ(kintest::maxDiff(now, row, 7), 0.0);  // the row itself comes back bit for bit

    const double given = 0.408 + 1e-9;  // a difference that float cannot hold exactly
    Ikfunc::setDhParameters(kezu_qx, given, 0.376, 0.0985, 0.1215, 0.1025, 0.094);
    EXPECT_EQ(a2, 0.408 + static_cast<float>(given - 0.408));
    EXPECT_NE(a2, given);

    Ikfunc::setDhParameters(static_cast<kezu_robot_type>(9), 0.5, 0.4, 0.1, 0.13, 0.11, 0.2);
    EXPECT_EQ(getRobotType(), kezu_qx);
    EXPECT_EQ(d4, -0.019);
    const double lengths[] = {a2, a3, d1, d2, d5, d6},
                 expected[] = {0.5, 0.4, 0.1, 0.13, 0.11, 0.2};
    EXPECT_LT(kintest::maxDiff(lengths, expected, 6), 1e-8);
}

TEST(ArmFk, ZeroJointsGiveTheUprightFlangeAndNullJointsFail) {
    Pos p;
    Ori o;
    const double q[6] = {};
    ASSERT_TRUE(Ikfunc::ArmFk(p, o, q));
    iktest::expectSamePose(
        iktest::waypoint(p, o),
        iktest::waypoint({0, -0.2155, 0.985}, {std::sqrt(0.5), std::sqrt(0.5), 0, 0}), 1e-15);
    EXPECT_FALSE(Ikfunc::ArmFk(p, o, nullptr));
}

wayPoint_S targetOf(const Joints &sdk) {
    wayPoint_S wp = {};
    std::copy(sdk.begin(), sdk.end(), wp.jointpos);
    Ikfunc::ArmFk(wp);
    return wp;
}

double jointGap(const double *a, const double *b) { return kintest::maxDiff(a, b, 6); }

class ArmIkPerModel : public kintest::PerModelTest {};

// SDK joints are the negated library joints; snapped angles near +-pi/2 may move a solution by
// a few 1e-4 rad, other solutions lie far apart.
TEST_P(ArmIkPerModel, ReturnsTheJointsThatProducedThePoseAndOnlyVerifiedSolutions) {
    std::mt19937 rng(500 + GetParam());
    for (int i = 0; i < 1500; ++i) {
        Joints q = kintest::randomGenericJoints(rng);
        for (double &v : q) {
            v = -v;
        }
        wayPoint_S wp = targetOf(q), other = targetOf(q);
        ASSERT_TRUE(Ikfunc::ArmIk(wp, nullptr, false, false)) << i;
        EXPECT_LT(jointGap(wp.jointpos, q.data()), 1e-3) << i;
        std::fill(other.jointpos, other.jointpos + 6, 0.0);  // reference passed separately
        ASSERT_TRUE(Ikfunc::ArmIk(other, q.data(), true, true));
        EXPECT_LT(jointGap(other.jointpos, q.data()), 1e-3) << i;

        double table[6][8];
        const int n = Ikfunc::ComputeIk_new(other, table);
        for (int k = 0; k < n && i % 5 == 0; ++k) {
            const wayPoint_S reached = targetOf(kintest::column(table, k));
            EXPECT_LE(iktest::positionGap(reached.cartPos.position, wp.cartPos.position), 1e-4);
            EXPECT_LT(iktest::quaternionGap(reached.orientation, wp.orientation), 1e-4);
        }
    }
}

TEST_P(ArmIkPerModel, ForwardAndInverseKinematicsDoNotAllocate) {
    std::mt19937 rng(700 + GetParam());
    Joints q = kintest::randomGenericJoints(rng);
    wayPoint_S wp = targetOf(q);
    double table[6][8], trans[3], rot[9];
    const long before = gAllocations.load();
    for (int i = 0; i < 100; ++i) {
        ComputeFk_QMV(q.data(), trans, rot);
        ComputeIkLib(q.data(), rot, trans, table);
        Ikfunc::ArmFk(wp);
        Ikfunc::ArmIk(wp, nullptr, false, false);
    }
    EXPECT_EQ(gAllocations.load(), before);
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
        double sum = 0.0;
        for (int j = 0; j < 6; ++j) {
            sum += std::fabs(table[j][k] - ref[j]);
        }
        return sum;
    }
    void expectChoice(const double *ref, int k) const {
        wayPoint_S wp = target;
        ASSERT_TRUE(Ikfunc::ArmIk(wp, ref, false, false));
        for (int j = 0; j < 6; ++j) {
            EXPECT_EQ(wp.jointpos[j], table[j][k]) << "solution " << k;
        }
    }
};

TEST_F(ArmIk, ChoosesTheNearestSolutionByPlainDifferences) {
    for (int k = 0; k < 8; ++k) {
        double ref[6];
        for (int j = 0; j < 6; ++j) {
            ref[j] = table[j][k] + (j % 2 ? 0.05 : -0.05);
        }
        expectChoice(ref, k);
    }
    // One full turn above solution 3 in every joint: without wrapping, the nearest solution
    // is the one with the largest joint sum.
    double ref[6], best = -100.0;
    int largest = 0;
    for (int j = 0; j < 6; ++j) {
        ref[j] = table[j][3] + 2 * kintest::kPi;
    }
    for (int k = 0; k < 8; ++k) {
        if (-distance(ref, k) > best) {
            best = -distance(ref, k);
            largest = k;
        }
    }
    ASSERT_NE(largest, 3);
    expectChoice(ref, largest);
}

TEST_F(ArmIk, KeepsTheEarlierOfTwoEquallyNearSolutions) {
    // Columns 0 and 1 differ in joints 2..4 only: start halfway, nudge joint 3 to an exact tie.
    double ref[6];
    for (int j = 0; j < 6; ++j) {
        ref[j] = (table[j][0] + table[j][1]) / 2;
    }
    for (int guard = 0; guard < 1000 && distance(ref, 0) != distance(ref, 1); ++guard) {
        const bool up = (distance(ref, 0) > distance(ref, 1)) == (table[2][0] > ref[2]);
        ref[2] = std::nextafter(ref[2], up ? 10.0 : -10.0);
    }
    ASSERT_EQ(distance(ref, 0), distance(ref, 1));
    expectChoice(ref, 0);
}

TEST_F(ArmIk, FailsWithoutTouchingTheWaypointWhenNoSolutionQualifies) {
    const double inf = std::numeric_limits<double>::infinity();
    for (double bad : {std::nan(""), inf, -inf, 20000.0}) {  // no distance below 10000
        const double ref[6] = {0, 0, 0, bad, 0, 0};
        wayPoint_S wp = target;
        EXPECT_FALSE(Ikfunc::ArmIk(wp, ref, false, false)) << bad;
        EXPECT_EQ(std::memcmp(&wp, &target, sizeof wp), 0);
    }
    wayPoint_S zeroOri = iktest::waypoint({0.3, -0.2, 0.5}, {0, 0, 0, 0});
    EXPECT_FALSE(Ikfunc::ArmIk(zeroOri, nullptr, false, false));
}

TEST_F(ArmIk, ForwardCheckDropsMissesAndFillsTheGapWithTheLastSolution) {
    // Singular wrist with a reference that does not fit: the singular-branch solution takes
    // joints 2 and 3 from the reference and misses, the other shoulder's solutions are exact.
    wayPoint_S wp = targetOf({-0.3, -0.5, -0.7, 0.4, 0.0, -0.9});
    wp.jointpos[1] = -0.2;
    wp.jointpos[2] = -0.3;
    double rot[9], pos[3], ref[6], lib[6][8];
    for (int j = 0; j < 6; ++j) {
        ref[j] = -wp.jointpos[j];
    }
    Ikfunc::posOri2homoArr(wp.cartPos, wp.orientation, rot, pos);
    const int n = ComputeIkLib(ref, rot, pos, lib);
    int missing = -1, misses = 0;
    for (int k = 0; k < n; ++k) {
        Joints sdk = kintest::column(lib, k);
        for (double &v : sdk) {
            v = -v;
        }
        if (iktest::positionGap(targetOf(sdk).cartPos.position, wp.cartPos.position) > 1e-4) {
            missing = k;
            ++misses;
        }
    }
    ASSERT_EQ(misses, 1);
    ASSERT_LT(missing, n - 1);
    ASSERT_EQ(Ikfunc::ComputeIk_new(wp, table), n - 1);
    for (int k = 0; k < n - 1; ++k) {
        for (int j = 0; j < 6; ++j) {
            EXPECT_EQ(table[j][k], -lib[j][k == missing ? n - 1 : k]) << k;
        }
    }
}

TEST_F(ArmIk, BeyondReachOnlyNearMissesSurviveTheForwardCheck) {
    const Joints straight = {-0.3, -0.5, 0.0, -0.4, -0.8, -0.2};
    auto beyond = [&](double extra) {  // a longer upper arm puts the target beyond reach
        const double saved = a2;
        a2 += extra;
        const wayPoint_S wp = targetOf(straight);
        a2 = saved;
        return wp;
    };
    wayPoint_S nearMiss = beyond(5e-5), farMiss = beyond(0.005);
    ASSERT_TRUE(Ikfunc::ArmIk(nearMiss, nullptr, false, false));
    EXPECT_EQ(nearMiss.jointpos[2], 0.0);  // straightened by the second pass
    double rot[9], pos[3], ref[6] = {}, lib[6][8];
    Ikfunc::posOri2homoArr(farMiss.cartPos, farMiss.orientation, rot, pos);
    ASSERT_GE(ComputeIkLib(ref, rot, pos, lib), 1);  // solved, but 5 mm off
    EXPECT_FALSE(Ikfunc::ArmIk(farMiss, nullptr, false, false));
}

TEST_F(ArmIk, ProtectAndApiCopyTheSolutionIntoTheReference) {
    double ref[6];
    for (int j = 0; j < 6; ++j) {
        ref[j] = table[j][5] + 0.01;
    }
    wayPoint_S wp = target;
    ASSERT_TRUE(Ikfunc::ArmIkProtect(wp, ref, false, true));
    EXPECT_EQ(jointGap(ref, wp.jointpos), 0.0);
    EXPECT_EQ(ref[0], table[0][5]);

    double joints[6];
    for (int j = 0; j < 6; ++j) {
        joints[j] = generic[j] + 0.02;
    }
    ASSERT_TRUE(Ikfunc::api_arm_ik(target.cartPos.position, target.orientation, joints));
    EXPECT_LT(jointGap(joints, generic.data()), 1e-9);
    EXPECT_FALSE(Ikfunc::api_arm_ik(target.cartPos.position, target.orientation, nullptr));
    const double before = joints[0];
    EXPECT_FALSE(Ikfunc::api_arm_ik({2.0, 0.0, 0.5}, {1, 0, 0, 0}, joints));  // out of reach
    wayPoint_S unreachable = iktest::waypoint({2.0, 0.0, 0.5}, {1, 0, 0, 0});
    EXPECT_FALSE(Ikfunc::ArmIkProtect(unreachable, joints, false, true));
    EXPECT_EQ(joints[0], before);
}

}  // namespace

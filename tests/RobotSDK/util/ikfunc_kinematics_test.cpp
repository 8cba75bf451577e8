#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "../../yrl_alg/kinematicstestutil.h"
#include "ikfunctestutil.h"

namespace {

using kintest::Joints;

// ---------------------------------------------------------------- DH installation

using SetDhParameters = kintest::KinematicsModelTest;

TEST_F(SetDhParameters, RowValuesAreReproducedBitForBit) {
    setDhParaLen(kezu_qz);
    Ikfunc::setDhParameters(kezu_qx, 0.408, 0.376, 0.0985, 0.1215, 0.1025, 0.094);
    EXPECT_EQ(getRobotType(), kezu_qx);
    EXPECT_EQ(a2, 0.408);
    EXPECT_EQ(a3, 0.376);
    EXPECT_EQ(d1, 0.0985);
    EXPECT_EQ(d2, 0.1215);
    EXPECT_EQ(d4, -0.019);
    EXPECT_EQ(d5, 0.1025);
    EXPECT_EQ(d6, 0.094);
}

TEST_F(SetDhParameters, DifferencesPassThroughSinglePrecision) {
    const double given = 0.408 + 1e-9;  // a difference float cannot hold exactly
    Ikfunc::setDhParameters(kezu_qx, given, 0.376, 0.0985, 0.1215, 0.1025, 0.094);
    EXPECT_EQ(a2, 0.408 + static_cast<double>(static_cast<float>(given - 0.408)));
    EXPECT_NE(a2, given);
    EXPECT_NEAR(a2, given, 1e-15);
}

TEST_F(SetDhParameters, InstallsGivenLengthsOverTheSelectedRow) {
    Ikfunc::setDhParameters(kezu_qv_a, 0.6, 0.5, 0.16, 0.19, 0.13, 0.11);
    EXPECT_EQ(getRobotType(), kezu_qv_a);
    EXPECT_NEAR(a2, 0.6, 1e-8);
    EXPECT_NEAR(a3, 0.5, 1e-8);
    EXPECT_NEAR(d1, 0.16, 1e-8);
    EXPECT_NEAR(d2, 0.19, 1e-8);
    EXPECT_NEAR(d5, 0.13, 1e-8);
    EXPECT_NEAR(d6, 0.11, 1e-8);
    EXPECT_EQ(d4, 0.0);
}

TEST_F(SetDhParameters, UnknownModelKeepsGivenLengthsOnTheQxRow) {
    Ikfunc::setDhParameters(static_cast<kezu_robot_type>(9), 0.5, 0.4, 0.1, 0.13, 0.11, 0.1);
    EXPECT_EQ(getRobotType(), kezu_qx);
    EXPECT_EQ(d4, -0.019);
    EXPECT_NEAR(a2, 0.5, 1e-8);
    EXPECT_NEAR(d6, 0.1, 1e-8);
}

// ---------------------------------------------------------------- forward kinematics

TEST(ArmFk, ZeroJointsGiveTheUprightFlangePose) {
    Pos p;
    Ori o;
    const double q[6] = {};
    ASSERT_TRUE(Ikfunc::ArmFk(p, o, q));
    EXPECT_NEAR(p.x, 0.0, 1e-15);
    EXPECT_NEAR(p.y, -0.2155, 1e-15);
    EXPECT_NEAR(p.z, 0.985, 1e-15);
    EXPECT_NEAR(o.w, std::sqrt(0.5), 1e-15);
    EXPECT_NEAR(o.x, std::sqrt(0.5), 1e-15);
    EXPECT_NEAR(o.y, 0.0, 1e-15);
    EXPECT_NEAR(o.z, 0.0, 1e-15);
}

TEST(ArmFk, UsesNegatedLibraryJointsAndMatchesTheWaypointForm) {
    std::mt19937 rng(41);
    for (int i = 0; i < 100; ++i) {
        const Joints lib = kintest::randomGenericJoints(rng);
        wayPoint_S wp = {};
        for (int j = 0; j < 6; ++j) {
            wp.jointpos[j] = -lib[j];
        }
        ASSERT_TRUE(Ikfunc::ArmFk(wp));
        const kintest::Pose pose = kintest::forwardPose(lib.data());
        EXPECT_EQ(wp.cartPos.position.x, pose.trans[0]);
        EXPECT_EQ(wp.cartPos.position.z, pose.trans[2]);
        double R[9];
        Ikfunc::QuaternionToOriMatrix(wp.orientation, R);
        EXPECT_LT(kintest::maxDiff(R, pose.rot, 9), 1e-12);
        EXPECT_GE(wp.orientation.w, 0.0);
    }
}

TEST(ArmFk, RefusesMissingJoints) {
    Pos p = {1, 2, 3};
    Ori o = {1, 0, 0, 0};
    EXPECT_FALSE(Ikfunc::ArmFk(p, o, nullptr));
    EXPECT_EQ(p.x, 1.0);
}

// ---------------------------------------------------------------- inverse kinematics

wayPoint_S targetOf(const Joints &sdk) {
    wayPoint_S wp = {};
    for (int j = 0; j < 6; ++j) {
        wp.jointpos[j] = sdk[j];
    }
    Ikfunc::ArmFk(wp);
    return wp;
}

Joints sdkJoints(std::mt19937 &rng) {
    Joints q = kintest::randomGenericJoints(rng);
    for (double &v : q) {
        v = -v;
    }
    return q;
}

double jointGap(const double *a, const double *b) {
    double gap = 0.0;
    for (int j = 0; j < 6; ++j) {
        gap = std::fmax(gap, std::fabs(a[j] - b[j]));
    }
    return gap;
}

class ArmIkPerModel : public kintest::KinematicsModelParamTest {};

// antiSinCos snaps angles within 1.75e-5 of +-pi/2, which can shift a solution by up to a
// few 1e-4 rad (still within the 0.1 mm check); other solutions lie much further apart.
constexpr double kSameConfiguration = 1e-3;

TEST_P(ArmIkPerModel, ReturnsTheJointsThatProducedThePose) {
    std::mt19937 rng(500 + GetParam());
    for (int i = 0; i < 1500; ++i) {
        const Joints q = sdkJoints(rng);
        wayPoint_S wp = targetOf(q);
        ASSERT_TRUE(Ikfunc::ArmIk(wp, nullptr, false, false)) << i;
        EXPECT_LT(jointGap(wp.jointpos, q.data()), kSameConfiguration) << i;

        // The same through a separate reference, with unrelated joints in the waypoint.
        wayPoint_S other = targetOf(q);
        for (double &v : other.jointpos) {
            v = 0.0;
        }
        ASSERT_TRUE(Ikfunc::ArmIk(other, q.data(), true, true));
        EXPECT_LT(jointGap(other.jointpos, q.data()), kSameConfiguration) << i;
    }
}

TEST_P(ArmIkPerModel, EveryVerifiedSolutionReachesTheTargetPose) {
    std::mt19937 rng(600 + GetParam());
    for (int i = 0; i < 300; ++i) {
        wayPoint_S target = targetOf(sdkJoints(rng));
        for (double &v : target.jointpos) {
            v = 0.0;
        }
        double table[6][8];
        const int n = Ikfunc::ComputeIk_new(target, table);
        ASSERT_GE(n, 1);
        for (int k = 0; k < n; ++k) {
            wayPoint_S reached = {};
            for (int j = 0; j < 6; ++j) {
                reached.jointpos[j] = table[j][k];
            }
            Ikfunc::ArmFk(reached);
            EXPECT_LE(iktest::positionGap(reached.cartPos.position, target.cartPos.position), 1e-4);
            EXPECT_LT(iktest::quaternionGap(reached.orientation, target.orientation), 1e-4);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllModels, ArmIkPerModel, ::testing::ValuesIn(kintest::kAllModels));

class ArmIk : public kintest::KinematicsModelTest {
protected:
    // A pose with eight solutions (SDK signs).
    const Joints generic{-0.3, -0.2, -1.6, -0.3, -0.8, -0.2};

    int solutions(const Joints &q, double table[6][8]) {
        wayPoint_S wp = targetOf(q);
        return Ikfunc::ComputeIk_new(wp, table);
    }
};

TEST_F(ArmIk, ChoosesTheSolutionNearestTheReference) {
    double table[6][8];
    ASSERT_EQ(solutions(generic, table), 8);
    for (int k = 0; k < 8; ++k) {
        double ref[6];
        for (int j = 0; j < 6; ++j) {
            ref[j] = table[j][k] + 0.05 * ((j % 2) ? 1 : -1);
        }
        wayPoint_S wp = targetOf(generic);
        ASSERT_TRUE(Ikfunc::ArmIk(wp, ref, false, false));
        for (int j = 0; j < 6; ++j) {
            EXPECT_EQ(wp.jointpos[j], table[j][k]) << "solution " << k;
        }
    }
}

TEST_F(ArmIk, MeasuresDistanceWithoutWrappingAngles) {
    double table[6][8];
    ASSERT_EQ(solutions(generic, table), 8);
    // Every solution lies in (-pi, pi], so a reference one full turn above solution 3 is
    // nearest, by plain differences, to the solution with the largest joint sum.
    int largest = 0;
    double largestSum = -100.0;
    for (int k = 0; k < 8; ++k) {
        double sum = 0.0;
        for (int j = 0; j < 6; ++j) {
            sum += table[j][k];
        }
        if (sum > largestSum) {
            largestSum = sum;
            largest = k;
        }
    }
    ASSERT_NE(largest, 3);
    double ref[6];
    for (int j = 0; j < 6; ++j) {
        ref[j] = table[j][3] + 2 * kintest::kPi;
    }
    wayPoint_S wp = targetOf(generic);
    ASSERT_TRUE(Ikfunc::ArmIk(wp, ref, false, false));
    for (int j = 0; j < 6; ++j) {
        EXPECT_EQ(wp.jointpos[j], table[j][largest]);
    }
}

TEST_F(ArmIk, KeepsTheEarlierOfTwoEquallyNearSolutions) {
    double table[6][8];
    ASSERT_EQ(solutions(generic, table), 8);
    // Columns 0 and 1 differ only in joints 2..4; a reference halfway between them, nudged
    // until both distance sums are equal in floating point.
    auto distance = [&](const double *ref, int k) {
        double sum = 0.0;
        for (int j = 0; j < 6; ++j) {
            sum += std::fabs(table[j][k] - ref[j]);
        }
        return sum;
    };
    double ref[6];
    for (int j = 0; j < 6; ++j) {
        ref[j] = (table[j][0] + table[j][1]) / 2;
    }
    int guard = 0;
    while (distance(ref, 0) != distance(ref, 1) && guard++ < 1000) {
        const bool nearerFirst = distance(ref, 0) < distance(ref, 1);
        const bool firstAbove = table[2][0] > table[2][1];
        ref[2] = std::nextafter(ref[2], (nearerFirst == firstAbove) ? -10.0 : 10.0);
    }
    ASSERT_EQ(distance(ref, 0), distance(ref, 1)) << "no exact tie found";
    for (int k = 2; k < 8; ++k) {
        ASSERT_GT(distance(ref, k), distance(ref, 0));
    }
    wayPoint_S wp = targetOf(generic);
    ASSERT_TRUE(Ikfunc::ArmIk(wp, ref, false, false));
    for (int j = 0; j < 6; ++j) {
        EXPECT_EQ(wp.jointpos[j], table[j][0]);
    }
}

TEST_F(ArmIk, FailsWithoutTouchingTheWaypointWhenNoSolutionQualifies) {
    wayPoint_S unreachable = iktest::waypoint({2.0, 0.0, 0.5}, {1, 0, 0, 0});
    for (int j = 0; j < 6; ++j) {
        unreachable.jointpos[j] = 0.1 * j;
    }
    const wayPoint_S before = unreachable;
    EXPECT_FALSE(Ikfunc::ArmIk(unreachable, nullptr, false, false));
    EXPECT_EQ(std::memcmp(&before, &unreachable, sizeof before), 0);

    // Reachable, but the reference is not finite or too far for any solution to qualify.
    const double inf = std::numeric_limits<double>::infinity();
    for (double bad : {std::nan(""), inf, -inf, 20000.0}) {
        wayPoint_S wp = targetOf(generic);
        const wayPoint_S start = wp;
        double ref[6] = {0, 0, 0, 0, 0, 0};
        ref[3] = bad;
        EXPECT_FALSE(Ikfunc::ArmIk(wp, ref, false, false)) << bad;
        EXPECT_EQ(std::memcmp(&start, &wp, sizeof wp), 0);
    }
}

TEST_F(ArmIk, ZeroQuaternionHasNoSolution) {
    wayPoint_S wp = iktest::waypoint({0.3, -0.2, 0.5}, {0, 0, 0, 0});
    EXPECT_FALSE(Ikfunc::ArmIk(wp, nullptr, false, false));
}

TEST_F(ArmIk, ForwardCheckKeepsOnlyNearMissesBeyondReach) {
    // Straight elbow: stretching the upper arm for the forward pose puts the target beyond
    // reach by the stretch.
    const Joints lib = {0.3, 0.5, 0.0, 0.4, 0.8, 0.2};
    Joints sdk;
    for (int j = 0; j < 6; ++j) {
        sdk[j] = -lib[j];
    }
    auto beyond = [&](double extra) {
        const double saved = a2;
        a2 += extra;
        wayPoint_S wp = targetOf(sdk);
        a2 = saved;
        return wp;
    };
    wayPoint_S nearMiss = beyond(5e-5);
    ASSERT_TRUE(Ikfunc::ArmIk(nearMiss, nullptr, false, false));
    EXPECT_EQ(nearMiss.jointpos[2], 0.0);

    wayPoint_S farMiss = beyond(0.005);
    double libTable[6][8];
    double rot[9], pos[3], ref[6] = {};
    Ikfunc::posOri2homoArr(farMiss.cartPos, farMiss.orientation, rot, pos);
    ASSERT_GE(ComputeIkLib(ref, rot, pos, libTable), 1);  // found, but 5 mm off
    double table[6][8];
    EXPECT_EQ(Ikfunc::ComputeIk_new(farMiss, table), 0);
    EXPECT_FALSE(Ikfunc::ArmIk(farMiss, nullptr, false, false));
}

TEST_F(ArmIk, ForwardCheckFillsTheGapWithTheLastSolution) {
    // Singular wrist with a reference that does not fit: the singular-branch solution takes
    // joint 2 from the reference and misses; the other shoulder's solutions are regular.
    const Joints sdk = {-0.3, -0.5, -0.7, 0.4, 0.0, -0.9};
    wayPoint_S target = targetOf(sdk);
    target.jointpos[1] = -0.2;
    target.jointpos[2] = -0.3;
    double rot[9], pos[3], ref[6];
    for (int j = 0; j < 6; ++j) {
        ref[j] = -target.jointpos[j];
    }
    Ikfunc::posOri2homoArr(target.cartPos, target.orientation, rot, pos);
    double libTable[6][8];
    const int libCount = ComputeIkLib(ref, rot, pos, libTable);
    // Find the columns that miss the target.
    int missing = -1, misses = 0;
    for (int k = 0; k < libCount; ++k) {
        wayPoint_S wp = {};
        for (int j = 0; j < 6; ++j) {
            wp.jointpos[j] = -libTable[j][k];
        }
        Ikfunc::ArmFk(wp);
        if (iktest::positionGap(wp.cartPos.position, target.cartPos.position) > 1e-4) {
            missing = k;
            ++misses;
        }
    }
    ASSERT_EQ(misses, 1);
    ASSERT_LT(missing, libCount - 1) << "the missing solution should not be the last";
    double table[6][8];
    ASSERT_EQ(Ikfunc::ComputeIk_new(target, table), libCount - 1);
    for (int k = 0; k < libCount - 1; ++k) {
        const int source = (k == missing) ? libCount - 1 : k;
        for (int j = 0; j < 6; ++j) {
            EXPECT_EQ(table[j][k], -libTable[j][source]) << k << ',' << j;
        }
    }
}

TEST_F(ArmIk, ProtectCopiesTheSolutionIntoTheReference) {
    double table[6][8];
    ASSERT_EQ(solutions(generic, table), 8);
    double ref[6];
    for (int j = 0; j < 6; ++j) {
        ref[j] = table[j][5] + 0.01;
    }
    wayPoint_S wp = targetOf(generic);
    ASSERT_TRUE(Ikfunc::ArmIkProtect(wp, ref, false, true));
    for (int j = 0; j < 6; ++j) {
        EXPECT_EQ(ref[j], table[j][5]);
        EXPECT_EQ(wp.jointpos[j], table[j][5]);
    }
    wayPoint_S self = targetOf(generic);
    ASSERT_TRUE(Ikfunc::ArmIkProtect(self, nullptr, false, true));
    EXPECT_LT(jointGap(self.jointpos, generic.data()), 1e-9);

    wayPoint_S unreachable = iktest::waypoint({2.0, 0.0, 0.5}, {1, 0, 0, 0});
    const double keep = ref[0];
    EXPECT_FALSE(Ikfunc::ArmIkProtect(unreachable, ref, false, true));
    EXPECT_EQ(ref[0], keep);
}

TEST_F(ArmIk, ApiSolvesAPoseGivenByValue) {
    const wayPoint_S target = targetOf(generic);
    double joints[6];
    for (int j = 0; j < 6; ++j) {
        joints[j] = generic[j] + 0.02;
    }
    ASSERT_TRUE(Ikfunc::api_arm_ik(target.cartPos.position, target.orientation, joints));
    EXPECT_LT(jointGap(joints, generic.data()), 1e-9);

    EXPECT_FALSE(Ikfunc::api_arm_ik(target.cartPos.position, target.orientation, nullptr));
    double keep[6] = {1, 2, 3, 4, 5, 6};
    EXPECT_FALSE(Ikfunc::api_arm_ik({2.0, 0.0, 0.5}, {1, 0, 0, 0}, keep));
    EXPECT_EQ(keep[5], 6.0);
}

}  // namespace

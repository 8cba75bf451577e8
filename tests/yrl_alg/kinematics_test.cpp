#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "kinematicstestutil.h"

namespace {

using kintest::Joints;
using kintest::kPi;
using kintest::Pose;

// ---------------------------------------------------------------- antiSinCos

struct AngleCase {
    double s, c, expected;
};

class AntiSinCos : public ::testing::TestWithParam<AngleCase> {};

TEST_P(AntiSinCos, RecoversTheAngleInHalfOpenRange) {
    const AngleCase &tc = GetParam();
    EXPECT_NEAR(antiSinCos(tc.s, tc.c), tc.expected, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(Quadrants, AntiSinCos,
                         ::testing::Values(AngleCase{0.0, -1.0, kPi}, AngleCase{1e-6, 0.0, kPi / 2},
                                           AngleCase{-2.0, 1e-5, -kPi / 2},
                                           AngleCase{0.0, 1.0, 0.0}, AngleCase{3.0, 3.0, kPi / 4},
                                           AngleCase{2.0, -2.0, 3 * kPi / 4},
                                           AngleCase{-5.0, -5.0, -3 * kPi / 4},
                                           AngleCase{-1.0, 1.0, -kPi / 4}));

TEST(AntiSinCosRange, NeverReturnsMinusPiAndIsScaleFree) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> angle(-kPi, kPi);
    for (int i = 0; i < 2000; ++i) {
        const double a = angle(rng);
        const double r = antiSinCos(3.5 * std::sin(a), 3.5 * std::cos(a));
        EXPECT_GT(r, -kPi);
        EXPECT_LE(r, kPi);
        // Within the 1.75e-5 band around +-pi/2 the angle is snapped.
        EXPECT_LT(kintest::angleGap(r, a), 2e-5);
    }
}

// ---------------------------------------------------------------- forward kinematics

using ForwardKinematics = kintest::KinematicsModelTest;

TEST_F(ForwardKinematics, ZeroJointsStretchTheArmUpright) {
    const double q[6] = {};
    const Pose p = kintest::forwardPose(q);
    EXPECT_NEAR(p.trans[0], 0.0, 1e-15);
    EXPECT_NEAR(p.trans[1], -0.2155, 1e-15);
    EXPECT_NEAR(p.trans[2], 0.985, 1e-15);
    const double rows[9] = {1, 0, 0, 0, 0, -1, 0, 1, 0};
    EXPECT_LT(kintest::maxDiff(p.rot, rows, 9), 1e-15);
}

TEST_F(ForwardKinematics, IgnoresMissingOutputs) {
    const double q[6] = {};
    double trans[3] = {7, 7, 7};
    double rot[9] = {7, 7, 7, 7, 7, 7, 7, 7, 7};
    ComputeFk_QMV(q, trans, nullptr);
    ComputeFk_QMV(q, nullptr, rot);
    EXPECT_EQ(trans[0], 7.0);
    EXPECT_EQ(rot[0], 7.0);
}

TEST_F(ForwardKinematics, RotationIsOrthonormalAndRightHanded) {
    std::mt19937 rng(11);
    for (int i = 0; i < 500; ++i) {
        const Joints q = kintest::randomGenericJoints(rng);
        const Pose p = kintest::forwardPose(q.data());
        for (int a = 0; a < 3; ++a) {
            for (int b = 0; b < 3; ++b) {
                double d = 0.0;
                for (int k = 0; k < 3; ++k) {
                    d += p.rot[3 * k + a] * p.rot[3 * k + b];
                }
                EXPECT_NEAR(d, a == b ? 1.0 : 0.0, 1e-12);
            }
        }
        const double *R = p.rot;
        const double det = R[0] * (R[4] * R[8] - R[5] * R[7]) - R[1] * (R[3] * R[8] - R[5] * R[6]) +
                           R[2] * (R[3] * R[7] - R[4] * R[6]);
        EXPECT_NEAR(det, 1.0, 1e-12);
    }
}

// ---------------------------------------------------------------- inverse kinematics

int solve(const double *ref, const Pose &target, double table[6][8]) {
    Pose copy = target;
    return ComputeIkLib(ref, copy.rot, copy.trans, table);
}

class InverseKinematicsPerModel : public kintest::KinematicsModelParamTest {};

TEST_P(InverseKinematicsPerModel, InverseOfForwardPoseContainsTheJoints) {
    std::mt19937 rng(1000 + GetParam());
    for (int i = 0; i < 2000; ++i) {
        const Joints q = kintest::randomGenericJoints(rng);
        const Pose target = kintest::forwardPose(q.data());
        double table[6][8];
        const int n = solve(q.data(), target, table);
        ASSERT_GE(n, 1);
        ASSERT_LE(n, 8);
        // Snapped angles near +-pi/2 (antiSinCos) may shift a solution by a few 1e-4 rad.
        EXPECT_TRUE(kintest::tableContains(table, n, q.data(), 1e-3))
            << "sample " << i << " q = " << q[0] << ' ' << q[1] << ' ' << q[2] << ' ' << q[3] << ' '
            << q[4] << ' ' << q[5];
    }
}

// The elbow limit lets a cosine slightly beyond +-1 through with a straightened elbow; such
// solutions miss the position a little (the SDK layer filters them), all others are exact.
TEST_P(InverseKinematicsPerModel, SolutionsReproduceThePoseUnlessTheElbowWasSnapped) {
    std::mt19937 rng(2000 + GetParam());
    for (int i = 0; i < 300; ++i) {
        const Joints q = kintest::randomGenericJoints(rng);
        const Pose target = kintest::forwardPose(q.data());
        double table[6][8];
        const double zero[6] = {};
        const int n = solve(zero, target, table);
        for (int k = 0; k < n; ++k) {
            const Joints s = kintest::column(table, k);
            const Pose reached = kintest::forwardPose(s.data());
            const bool snapped = s[2] == 0.0 || s[2] == kPi;
            if (!snapped) {
                EXPECT_LT(kintest::maxDiff(reached.trans, target.trans, 3), 1e-4);
            }
            EXPECT_LT(kintest::maxDiff(reached.rot, target.rot, 9), 1e-4);
            for (double v : s) {
                EXPECT_GT(v, -kPi - 1e-12);
                EXPECT_LE(v, kPi + 1e-12);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllModels, InverseKinematicsPerModel,
                         ::testing::ValuesIn(kintest::kAllModels));

using InverseKinematics = kintest::KinematicsModelTest;

TEST_F(InverseKinematics, NegatesItsRotationAndPositionArgumentsInPlace) {
    const double q[6] = {0.1, 0.2, 0.3, 0.4, 0.5, 0.6};
    const Pose target = kintest::forwardPose(q);
    Pose arg = target;
    double table[6][8];
    ComputeIkLib(q, arg.rot, arg.trans, table);
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(arg.rot[k], -target.rot[k]);
    }
    for (int k = 6; k < 9; ++k) {
        EXPECT_EQ(arg.rot[k], target.rot[k]);
    }
    EXPECT_EQ(arg.trans[0], -target.trans[0]);
    EXPECT_EQ(arg.trans[1], -target.trans[1]);
    EXPECT_EQ(arg.trans[2], target.trans[2]);
}

TEST_F(InverseKinematics, ZeroPoseHasTheSingleStretchedSolution) {
    const double q[6] = {};
    double table[6][8];
    ASSERT_EQ(solve(q, kintest::forwardPose(q), table), 1);
    for (int j = 0; j < 6; ++j) {
        EXPECT_NEAR(table[j][0], 0.0, 1e-12) << "joint " << j;
    }
}

TEST_F(InverseKinematics, GenericPoseListsEightSolutionsInShoulderWristElbowOrder) {
    const double q[6] = {0.3, 0.2, 1.6, 0.3, 0.8, 0.2};
    double table[6][8];
    ASSERT_EQ(solve(q, kintest::forwardPose(q), table), 8);
    for (int k = 0; k < 8; ++k) {
        const bool firstShoulder = k < 4;
        EXPECT_EQ(table[0][k], table[0][firstShoulder ? 0 : 4]) << k;
        EXPECT_EQ(table[4][k] > 0.0, (k % 4) < 2) << "wrist sign of column " << k;
        EXPECT_EQ(table[2][k] > 0.0, (k % 2) == 0) << "elbow sign of column " << k;
    }
    // The first shoulder candidate is alpha + acos(d2 / r), the second alpha - acos(d2 / r).
    EXPECT_GT(kintest::angleGap(table[0][0], table[0][4]), 1e-3);
    EXPECT_TRUE(kintest::tableContains(table, 8, q, 1e-9));
}

TEST_F(InverseKinematics, WristCentreOnTheBaseAxisHasNoSolution) {
    const double q[6] = {0.3, 0.4, 0.9, -0.5, 0.8, 0.2};
    Pose target = kintest::forwardPose(q);
    target.trans[0] = d6 * target.rot[2];
    target.trans[1] = d6 * target.rot[5] + (d2 - 0.0126);
    double table[6][8];
    EXPECT_EQ(solve(q, target, table), 0);
}

TEST_F(InverseKinematics, SingularWristStretchedAlongSReturnsQuarterTurnShoulder) {
    const double q[6] = {0.4, kPi / 2, 0.0, 0.0, 0.0, 0.7};
    const Pose target = kintest::forwardPose(q);
    const double ref[6] = {0.0, -1.0, 0.5, 0.2, 0.0, 0.0};
    double table[6][8];
    const int n = solve(ref, target, table);
    ASSERT_GE(n, 1);
    bool found = false;
    for (int k = 0; k < n; ++k) {
        if (kintest::angleGap(table[0][k], q[0]) > 1e-9) {
            continue;
        }
        found = true;
        EXPECT_EQ(table[1][k], kPi / 2);
        EXPECT_EQ(table[2][k], 0.0);
        EXPECT_EQ(table[3][k], 0.0);
        EXPECT_EQ(table[4][k], 0.0);
        const Joints s = kintest::column(table, k);
        const Pose reached = kintest::forwardPose(s.data());
        EXPECT_LT(kintest::maxDiff(reached.rot, target.rot, 9), 1e-9);
        EXPECT_LT(kintest::maxDiff(reached.trans, target.trans, 3), 1e-9);
    }
    EXPECT_TRUE(found);
}

TEST_F(InverseKinematics, SingularWristKeepsTheReferenceConfiguration) {
    for (double j5 : {0.0, kPi}) {
        SCOPED_TRACE(j5);
        const double q[6] = {0.3, 0.5, 0.7, -0.4, j5, 0.9};
        double table[6][8];
        const int n = solve(q, kintest::forwardPose(q), table);
        EXPECT_TRUE(kintest::tableContains(table, n, q, 1e-9));
    }
}

TEST_F(InverseKinematics, SingularWristWithAnotherReferenceStillMatchesOrientation) {
    const double q[6] = {0.3, 0.5, 0.7, -0.4, 0.0, 0.9};
    const Pose target = kintest::forwardPose(q);
    const double ref[6] = {0.3, 0.45, 0.8, 0.0, 0.0, 0.0};
    double table[6][8];
    const int n = solve(ref, target, table);
    ASSERT_GE(n, 1);
    for (int k = 0; k < n; ++k) {
        const Joints s = kintest::column(table, k);
        const Pose reached = kintest::forwardPose(s.data());
        EXPECT_LT(kintest::maxDiff(reached.rot, target.rot, 9), 1e-9) << k;
    }
}

// Lengthens the upper arm by `extra` for one forward pose: with a straight elbow the target
// then lies `extra` beyond full reach of the real arm.
Pose poseBeyondReach(const double *q, double extra) {
    const double saved = a2;
    a2 += extra;
    const Pose p = kintest::forwardPose(q);
    a2 = saved;
    return p;
}

TEST_F(InverseKinematics, SecondPassSnapsTheElbowJustBeyondReach) {
    const double q[6] = {0.3, 0.5, 0.0, 0.4, 0.8, 0.2};
    double table[6][8];
    const int n = solve(q, poseBeyondReach(q, 0.005), table);
    ASSERT_GE(n, 1);
    for (int k = 0; k < n; ++k) {
        EXPECT_TRUE(table[2][k] == 0.0 || table[2][k] == kPi) << table[2][k];
    }
    EXPECT_TRUE(kintest::tableContains(table, n, q, 1e-2));
}

TEST_F(InverseKinematics, FarBeyondReachHasNoSolution) {
    const double q[6] = {0.3, 0.5, 0.0, 0.4, 0.8, 0.2};
    double table[6][8];
    EXPECT_EQ(solve(q, poseBeyondReach(q, 0.03), table), 0);
}

TEST_F(InverseKinematics, RejectsNullArguments) {
    const double q[6] = {};
    Pose p = kintest::forwardPose(q);
    double table[6][8];
    EXPECT_EQ(ComputeIkLib(nullptr, p.rot, p.trans, table), 0);
    EXPECT_EQ(ComputeIkLib(q, p.rot, p.trans, nullptr), 0);
}

// ---------------------------------------------------------------- Jacobian

class JacobianPerModel : public kintest::KinematicsModelParamTest {};

TEST_P(JacobianPerModel, MatchesFiniteDifferencesOfForwardKinematics) {
    std::mt19937 rng(3000 + GetParam());
    const double h = 1e-6;
    for (int i = 0; i < 200; ++i) {
        const Joints q = kintest::randomGenericJoints(rng);
        double J[6][6];
        getJacobiLib(J, q.data());
        const Pose base = kintest::forwardPose(q.data());
        for (int joint = 0; joint < 6; ++joint) {
            Joints plus = q, minus = q;
            plus[joint] += h;
            minus[joint] -= h;
            const Pose pp = kintest::forwardPose(plus.data());
            const Pose pm = kintest::forwardPose(minus.data());
            for (int r = 0; r < 3; ++r) {
                EXPECT_NEAR(J[r][joint], (pp.trans[r] - pm.trans[r]) / (2 * h), 1e-7);
            }
            // Angular velocity from dR/dq * R^T (skew-symmetric).
            double W[9];
            for (int r = 0; r < 3; ++r) {
                for (int c = 0; c < 3; ++c) {
                    double s = 0.0;
                    for (int k = 0; k < 3; ++k) {
                        s +=
                            (pp.rot[3 * r + k] - pm.rot[3 * r + k]) / (2 * h) * base.rot[3 * c + k];
                    }
                    W[3 * r + c] = s;
                }
            }
            EXPECT_NEAR(J[3][joint], W[7], 1e-7);
            EXPECT_NEAR(J[4][joint], W[2], 1e-7);
            EXPECT_NEAR(J[5][joint], W[3], 1e-7);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllModels, JacobianPerModel, ::testing::ValuesIn(kintest::kAllModels));

TEST(DampedLeastSquare, SolvesTheDampedNormalEquations) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    for (int i = 0; i < 50; ++i) {
        const Joints q = kintest::randomGenericJoints(rng);
        double J[6][6];
        getJacobiLib(J, q.data());
        double diff[6];
        for (double &d : diff) {
            d = value(rng);
        }
        double step[6];
        ASSERT_TRUE(dampedLeastSquare(J, diff, step));
        // (J^T J + 1000 I) step = J^T diff.
        for (int r = 0; r < 6; ++r) {
            double lhs = 1000.0 * step[r];
            double rhs = 0.0;
            for (int c = 0; c < 6; ++c) {
                double jtj = 0.0;
                for (int k = 0; k < 6; ++k) {
                    jtj += J[k][r] * J[k][c];
                }
                lhs += jtj * step[c];
                rhs += J[c][r] * diff[c];
            }
            EXPECT_NEAR(lhs, rhs, 1e-10);
        }
    }
}

TEST(DampedLeastSquare, RejectsNullArguments) {
    double J[6][6] = {};
    const double diff[6] = {1, 1, 1, 1, 1, 1};
    double step[6] = {5, 5, 5, 5, 5, 5};
    EXPECT_FALSE(dampedLeastSquare(J, diff, nullptr));
    EXPECT_FALSE(dampedLeastSquare(J, nullptr, step));
    EXPECT_EQ(step[0], 5.0);
}

}  // namespace

#include "kinematicstestutil.h"

namespace {

using kintest::Joints;
using kintest::kPi;
using kintest::Pose;

int solve(Joints ref, Pose target, double table[6][8]) {  // the library alters its arguments
    return ComputeIkLib(ref.data(), target.rot, target.trans, table);
}

// Whether a column lies within `tol` of q, angles compared modulo 2 pi.
bool hasColumn(const double table[6][8], int n, const Joints &q, double tol) {
    for (int k = 0; k < n; ++k) {
        double gap = 0.0;
        for (int j = 0; j < 6; ++j) {
            gap = std::fmax(gap, std::fabs(std::remainder(table[j][k] - q[j], 2 * kPi)));
        }
        if (gap < tol) {
            return true;
        }
    }
    return false;
}

class KinematicsPerModel : public kintest::PerModelTest {};

// Rows 3..5 are the angular rate: the skew matrix dR/dq R^T at (2, 1), (0, 2) and (1, 0).
TEST_P(KinematicsPerModel, JacobianMatchesFiniteDifferencesOfForwardKinematics) {
    std::mt19937 rng(200 + GetParam());
    const double h = 1e-6;
    for (int i = 0; i < 30; ++i) {
        Joints q = kintest::randomGenericJoints(rng);
        double J[6][6];
        getJacobiLib(J, q.data());
        const Pose base = kintest::forwardPose(q.data());
        for (int joint = 0; joint < 6; ++joint) {
            Joints plus = q, minus = q;
            plus[joint] += h;
            minus[joint] -= h;
            const Pose pp = kintest::forwardPose(plus.data()),
                       pm = kintest::forwardPose(minus.data());
            for (int r = 0; r < 6; ++r) {
                double d = r < 3 ? pp.trans[r] - pm.trans[r] : 0.0;
                for (int k = 0, a = 3 * ((r + 2) % 3), b = 3 * ((r + 1) % 3); r >= 3 && k < 3;
                     ++k) {
                    d += (pp.rot[a + k] - pm.rot[a + k]) * base.rot[b + k];
                }
                EXPECT_NEAR(J[r][joint], d / (2 * h), 1e-7) << r << ',' << joint;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllModels, KinematicsPerModel, ::testing::ValuesIn(kintest::kAllModels));

using Kinematics = kintest::ModelTest;

TEST_F(Kinematics, SingularWristTakesJointsFromTheReference) {
    double table[6][8];
    const Joints zero = {};  // stretched along C
    ASSERT_EQ(solve(zero, kintest::forwardPose(zero.data()), table), 1);
    EXPECT_TRUE(hasColumn(table, 1, zero, 1e-12));
    Pose p = kintest::forwardPose(zero.data());
    EXPECT_EQ(ComputeIkLib(nullptr, p.rot, p.trans, table), 0);
    for (double j5 : {0.0, kPi}) {
        const Joints q = {0.3, 0.5, 0.7, -0.4, j5, 0.9};
        EXPECT_TRUE(hasColumn(table, solve(q, kintest::forwardPose(q.data()), table), q, 1e-9));
    }
    // A wrist centre closer than d2 - 0.0125 to the base axis has no solution.
    p = kintest::forwardPose(zero.data());
    p.trans[0] = d6 * p.rot[2];
    p.trans[1] = d6 * p.rot[5] + d2 - 0.0126;
    EXPECT_EQ(solve(zero, p, table), 0);
}

}  // namespace
